#include "editor/file_names.h"

#include <algorithm>
#include <cctype>

namespace cantorix::editor {

namespace {

// Bytes of the UTF-8 sequence that starts with `lead`, or 1 when it is not a valid lead byte.
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2)
        return 2;
    return 1;
}

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

} // namespace

std::string firstCharacters(std::string_view utf8, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t n = 0; n < count && at < utf8.size(); ++n) {
        std::size_t length = sequenceLength(static_cast<unsigned char>(utf8[at]));
        if (at + length > utf8.size())
            length = 1;
        for (std::size_t k = 1; k < length; ++k)
            if (!isContinuation(static_cast<unsigned char>(utf8[at + k])))
                length = 1;
        at += length;
    }
    return std::string(utf8.substr(0, at));
}

std::string withTxtExtension(std::string_view fileName) {
    constexpr std::string_view kExtension = ".txt";
    const bool hasIt =
        fileName.size() >= kExtension.size() &&
        std::equal(kExtension.begin(), kExtension.end(), fileName.end() - kExtension.size(),
                   [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
    return hasIt ? std::string(fileName) : std::string(fileName) + std::string(kExtension);
}

} // namespace cantorix::editor
