#include "jpeg_encoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jerror.h>
#include <jpeglib.h>
#include <vector>

namespace cantorix::platform {

namespace {

using scene::EImageError;

struct ErrorManager {
    jpeg_error_mgr pub; // first member: libjpeg hands us back a pointer to it
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onFatal(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void onMessage(j_common_ptr, int) {}

std::uint8_t over(std::uint8_t colour, std::uint8_t alpha, std::uint8_t backdrop) {
    return static_cast<std::uint8_t>((colour * alpha + backdrop * (255 - alpha) + 127) / 255);
}

// One encode. The libjpeg state and its output live in this object, outside the frame that
// calls setjmp, so a long jump out of libjpeg skips no destructor.
class Compression {
public:
    Compression() {
        m_cinfo.err = jpeg_std_error(&m_err.pub);
        m_err.pub.error_exit = onFatal;
        m_err.pub.emit_message = onMessage;
        m_err.message[0] = '\0';
    }
    ~Compression() {
        jpeg_destroy_compress(&m_cinfo);
        std::free(m_output);
    }
    Compression(const Compression&) = delete;
    Compression& operator=(const Compression&) = delete;

    std::string run(const scene::Image& picture, int quality, std::uint32_t backdrop) {
        m_row.resize(static_cast<std::size_t>(picture.width) * 3);
        if (setjmp(m_err.jump))
            throw EImageError(std::string("Cannot encode JPEG: ") + m_err.message);
        jpeg_create_compress(&m_cinfo);
        jpeg_mem_dest(&m_cinfo, &m_output, &m_outputSize);
        m_cinfo.image_width = static_cast<JDIMENSION>(picture.width);
        m_cinfo.image_height = static_cast<JDIMENSION>(picture.height);
        m_cinfo.input_components = 3;
        m_cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&m_cinfo);
        jpeg_set_quality(&m_cinfo, std::clamp(quality, 1, 100), TRUE);
        jpeg_start_compress(&m_cinfo, TRUE);
        const std::uint8_t back[3] = {static_cast<std::uint8_t>(backdrop >> 16),
                                      static_cast<std::uint8_t>(backdrop >> 8),
                                      static_cast<std::uint8_t>(backdrop)};
        for (int y = 0; y < picture.height; ++y) {
            const std::uint8_t* in = picture.pixel(0, y);
            for (int x = 0; x < picture.width; ++x, in += 4)
                for (int c = 0; c < 3; ++c)
                    m_row[static_cast<std::size_t>(x) * 3 + c] = over(in[c], in[3], back[c]);
            JSAMPROW row = m_row.data();
            jpeg_write_scanlines(&m_cinfo, &row, 1);
        }
        jpeg_finish_compress(&m_cinfo);
        return {reinterpret_cast<const char*>(m_output), m_outputSize};
    }

private:
    jpeg_compress_struct m_cinfo{};
    ErrorManager m_err{};
    unsigned char* m_output = nullptr;
    unsigned long m_outputSize = 0;
    std::vector<std::uint8_t> m_row;
};

} // namespace

std::string encodeJpeg(const scene::Image& picture, int quality, std::uint32_t backdrop) {
    if (picture.empty() ||
        picture.rgba.size() != static_cast<std::size_t>(picture.width) * picture.height * 4)
        throw EImageError("Cannot encode JPEG: the picture is empty or its pixels do not fit it");
    return Compression().run(picture, quality, backdrop);
}

} // namespace cantorix::platform
