// Join codes through libqrencode: its modules come as one byte each, bit 0 telling dark from
// light (the other bits say which kind of module it is, of no use to the drawing).

#include "platform/phones/qr_code.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <qrencode.h>
#include <stdexcept>
#include <string>

namespace cantorix::platform {

namespace {

struct QrCodeFree {
    void operator()(QRcode* code) const { QRcode_free(code); }
};

} // namespace

app::JoinCode encodeJoinCode(std::string_view url) {
    // libqrencode reads a C string; a text with a NUL inside would be cut short without a word.
    if (url.find('\0') != std::string_view::npos)
        throw std::runtime_error("Cannot draw a join code of a text holding a NUL character");
    const std::string text(url);
    errno = 0;
    std::unique_ptr<QRcode, QrCodeFree> code(
        QRcode_encodeString8bit(text.c_str(), 0, QR_ECLEVEL_M));
    if (!code) {
        const int error = errno;
        throw std::runtime_error(
            "Cannot draw a join code of " + std::to_string(text.size()) + " characters: " +
            (error == ERANGE || error == 0 ? "it is longer than a QR code holds"
                                           : std::strerror(error)));
    }
    app::JoinCode joinCode;
    joinCode.size = code->width;
    const auto moduleCount = static_cast<std::size_t>(code->width) * code->width;
    joinCode.modules.resize(moduleCount);
    for (std::size_t i = 0; i < moduleCount; ++i)
        joinCode.modules[i] = (code->data[i] & 1U) != 0;
    joinCode.url = text;
    return joinCode;
}

} // namespace cantorix::platform
