#include "jpeg_decoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jerror.h>
#include <jpeglib.h>
#include <string>
#include <vector>

namespace cantorix::platform {

namespace {

using scene::EImageError;
using scene::Image;

// Without maxSide a picture must fit a texture; the limit also bounds the output buffer.
constexpr unsigned kMaxSide = 16384;
// Progressive pictures keep all their coefficients in memory; a forged header must not be able
// to claim more than this (libjpeg then fails with an error instead of allocating).
constexpr long kMaxDecoderMemory = 512L * 1024 * 1024;

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

// libjpeg pads missing data with grey and only warns; a cut-off picture is an error for us.
// Other warnings (a bad Huffman code, stray bytes between markers) still give a picture.
void onMessage(j_common_ptr cinfo, int level) {
    const int code = cinfo->err->msg_code;
    if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER))
        onFatal(cinfo);
}

unsigned ceilDiv(unsigned a, unsigned b) {
    return (a + b - 1) / b;
}

// The mildest DCT reduction (1, 1/2, 1/4, 1/8) that brings both sides within maxSide.
unsigned dctDenominator(unsigned width, unsigned height, int maxSide) {
    if (maxSide <= 0)
        return 1;
    const auto limit = static_cast<unsigned>(maxSide);
    for (unsigned d : {1u, 2u, 4u, 8u})
        if (ceilDiv(width, d) <= limit && ceilDiv(height, d) <= limit)
            return d;
    return 8;
}

// In place, four bytes per pixel. Adobe writes CMYK inverted (0 = full ink).
void cmykToRgba(std::uint8_t* row, unsigned width, bool inverted) {
    for (unsigned x = 0; x < width; ++x, row += 4) {
        const unsigned k = inverted ? row[3] : 255u - row[3];
        for (int c = 0; c < 3; ++c) {
            const unsigned ink = inverted ? row[c] : 255u - row[c];
            row[c] = static_cast<std::uint8_t>((ink * k + 127) / 255);
        }
        row[3] = 255;
    }
}

// One decode. The libjpeg state and every buffer live in this object, outside the frame that
// calls setjmp, so a long jump out of libjpeg skips no destructor.
class Decompression {
public:
    Decompression() {
        m_cinfo.err = jpeg_std_error(&m_err.pub);
        m_err.pub.error_exit = onFatal;
        m_err.pub.emit_message = onMessage;
        m_err.message[0] = '\0';
    }
    ~Decompression() { jpeg_destroy_decompress(&m_cinfo); }
    Decompression(const Decompression&) = delete;
    Decompression& operator=(const Decompression&) = delete;

    bool run(const std::uint8_t* data, std::size_t size, int maxSide);
    const char* message() const { return m_err.message; }
    Image takeImage() { return std::move(m_image); }

private:
    void configure();
    void allocate();
    void addRow(unsigned y);

    jpeg_decompress_struct m_cinfo{};
    ErrorManager m_err{};
    int m_maxSide = 0;
    bool m_cmyk = false;
    unsigned m_factor = 1; // block averaging after DCT scaling
    std::vector<std::uint8_t> m_row;
    std::vector<std::uint64_t> m_sums;
    Image m_image;
};

bool Decompression::run(const std::uint8_t* data, std::size_t size, int maxSide) {
    m_maxSide = maxSide;
    if (setjmp(m_err.jump) != 0)
        return false;
    jpeg_create_decompress(&m_cinfo);
    m_cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    jpeg_mem_src(&m_cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&m_cinfo, TRUE);
    configure();
    jpeg_start_decompress(&m_cinfo);
    allocate();
    while (m_cinfo.output_scanline < m_cinfo.output_height) {
        JSAMPROW row = m_row.data();
        if (jpeg_read_scanlines(&m_cinfo, &row, 1) != 1) {
            std::strcpy(m_err.message, "decoder returned no pixel row");
            return false;
        }
        addRow(m_cinfo.output_scanline - 1);
    }
    // Whatever follows the last row cannot change the picture, so it is not read.
    return true;
}

void Decompression::configure() {
    m_cinfo.scale_num = 1;
    m_cinfo.scale_denom = dctDenominator(m_cinfo.image_width, m_cinfo.image_height, m_maxSide);
    m_cmyk = m_cinfo.jpeg_color_space == JCS_CMYK || m_cinfo.jpeg_color_space == JCS_YCCK;
    m_cinfo.out_color_space = m_cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_calc_output_dimensions(&m_cinfo);
    const unsigned ow = m_cinfo.output_width;
    const unsigned oh = m_cinfo.output_height;
    if (m_maxSide > 0) {
        const auto limit = static_cast<unsigned>(m_maxSide);
        m_factor = std::max({1u, ceilDiv(ow, limit), ceilDiv(oh, limit)});
    } else if (ow > kMaxSide || oh > kMaxSide) {
        throw EImageError("picture too large (" + std::to_string(ow) + " x " + std::to_string(oh) +
                          ")");
    }
}

void Decompression::allocate() {
    const unsigned ow = m_cinfo.output_width;
    const unsigned width = ceilDiv(ow, m_factor);
    const unsigned height = ceilDiv(m_cinfo.output_height, m_factor);
    m_row.assign(static_cast<std::size_t>(ow) * 4, 0);
    m_sums.assign(static_cast<std::size_t>(width) * 4, 0);
    m_image.width = static_cast<int>(width);
    m_image.height = static_cast<int>(height);
    // Reserved, not filled: rows are appended as they decode, so a picture cut short after
    // its header costs no more than the rows it really had.
    m_image.rgba.reserve(static_cast<std::size_t>(width) * height * 4);
}

void Decompression::addRow(unsigned y) {
    const unsigned ow = m_cinfo.output_width;
    if (m_cmyk)
        cmykToRgba(m_row.data(), ow, m_cinfo.saw_Adobe_marker != 0);
    if (m_factor == 1) {
        m_image.rgba.insert(m_image.rgba.end(), m_row.begin(), m_row.end());
        return;
    }
    for (unsigned x = 0; x < ow; ++x)
        for (unsigned c = 0; c < 4; ++c)
            m_sums[(x / m_factor) * 4 + c] += m_row[x * 4 + c];
    if ((y + 1) % m_factor != 0 && y + 1 != m_cinfo.output_height)
        return;
    const std::uint64_t rows = y % m_factor + 1;
    for (std::size_t bx = 0; bx < m_sums.size() / 4; ++bx) {
        const std::uint64_t cols = std::min<std::uint64_t>(m_factor, ow - bx * m_factor);
        const std::uint64_t count = rows * cols;
        for (unsigned c = 0; c < 4; ++c)
            m_image.rgba.push_back(
                static_cast<std::uint8_t>((m_sums[bx * 4 + c] + count / 2) / count));
    }
    std::fill(m_sums.begin(), m_sums.end(), 0);
}

} // namespace

Image LibJpegDecoder::decode(const std::uint8_t* data, std::size_t size, int maxSide) {
    if (data == nullptr || size == 0)
        throw EImageError("empty file");
    Decompression decompression;
    if (!decompression.run(data, size, maxSide))
        throw EImageError(decompression.message());
    return decompression.takeImage();
}

} // namespace cantorix::platform
