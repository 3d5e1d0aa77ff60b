#include "tga_reader.h"

#include <algorithm>
#include <string>
#include <vector>

namespace cantorix::scene {

namespace {

constexpr std::size_t kHeaderSize = 18;
// Larger pictures could not become a texture anyway; the limit also keeps a forged header from
// asking for gigabytes.
constexpr int kMaxSide = 16384;

enum TgaType : std::uint8_t { kTrueColour = 2, kTrueColourRle = 10 };

struct TgaHeader {
    std::size_t idLength = 0;
    std::size_t colourMapBytes = 0;
    int type = 0;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 0;
    bool topDown = false;
    bool rightToLeft = false;
};

int readU16(const std::uint8_t* p) {
    return p[0] | (p[1] << 8);
}

[[noreturn]] void fail(const std::string& message) {
    throw EImageError(message);
}

TgaHeader parseHeader(const std::uint8_t* data, std::size_t size) {
    if (size < kHeaderSize)
        fail("truncated header");
    TgaHeader h;
    h.idLength = data[0];
    h.type = data[2];
    if (data[1] == 1) // a palette may precede true-colour pixels; it is skipped
        h.colourMapBytes = static_cast<std::size_t>(readU16(data + 5)) * ((data[7] + 7) / 8);
    else if (data[1] != 0)
        fail("invalid colour map type " + std::to_string(data[1]));
    h.width = readU16(data + 12);
    h.height = readU16(data + 14);
    const int depth = data[16];
    h.rightToLeft = (data[17] & 0x10) != 0;
    h.topDown = (data[17] & 0x20) != 0;

    if (h.type == 1 || h.type == 9)
        fail("colour-mapped pictures are not supported (type " + std::to_string(h.type) + ")");
    if (h.type == 3 || h.type == 11)
        fail("greyscale pictures are not supported (type " + std::to_string(h.type) + ")");
    if (h.type != kTrueColour && h.type != kTrueColourRle)
        fail("unsupported picture type " + std::to_string(h.type));
    if (depth != 24 && depth != 32)
        fail("unsupported pixel depth " + std::to_string(depth) + " (only 24 and 32 bits)");
    h.bytesPerPixel = depth / 8;
    if (h.width == 0 || h.height == 0)
        fail("picture has no pixels (" + std::to_string(h.width) + " x " +
             std::to_string(h.height) + ")");
    if (h.width > kMaxSide || h.height > kMaxSide)
        fail("picture too large (" + std::to_string(h.width) + " x " + std::to_string(h.height) +
             ")");
    return h;
}

// Unpacks the run-length packets into pixels in file order. Packets may run across rows.
std::vector<std::uint8_t> unpackRle(const std::uint8_t* p, const std::uint8_t* end,
                                    std::size_t pixelCount, int bpp) {
    const auto avail = static_cast<std::size_t>(end - p);
    // No packet yields more than 128 pixels, so a short file cannot claim a vast picture.
    if (pixelCount > avail / static_cast<std::size_t>(1 + bpp) * 128)
        fail("truncated pixel data");
    std::vector<std::uint8_t> out(pixelCount * static_cast<std::size_t>(bpp));
    std::uint8_t* dst = out.data();
    std::size_t done = 0;
    while (done < pixelCount) {
        if (p >= end)
            fail("truncated pixel data");
        const std::uint8_t packet = *p++;
        const std::size_t count = (packet & 0x7f) + 1u;
        if (count > pixelCount - done)
            fail("run-length packet runs past the end of the picture");
        const bool run = (packet & 0x80) != 0;
        const std::size_t need = (run ? 1 : count) * static_cast<std::size_t>(bpp);
        if (static_cast<std::size_t>(end - p) < need)
            fail("truncated pixel data");
        if (run) {
            for (std::size_t i = 0; i < count; ++i, dst += bpp)
                std::copy(p, p + bpp, dst);
        } else {
            dst = std::copy(p, p + need, dst);
        }
        p += need;
        done += count;
    }
    return out;
}

// Turns BGR(A) pixels in file order into RGBA rows top-down.
Image toRgba(const TgaHeader& h, const std::uint8_t* pixels) {
    Image image(h.width, h.height);
    const auto bpp = static_cast<std::size_t>(h.bytesPerPixel);
    for (int row = 0; row < h.height; ++row) {
        const int y = h.topDown ? row : h.height - 1 - row;
        const std::uint8_t* src = pixels + static_cast<std::size_t>(row) * h.width * bpp;
        for (int col = 0; col < h.width; ++col, src += bpp) {
            const int x = h.rightToLeft ? h.width - 1 - col : col;
            std::uint8_t* dst = image.pixel(x, y);
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            dst[3] = bpp == 4 ? src[3] : 255;
        }
    }
    return image;
}

} // namespace

Image readTga(const std::uint8_t* data, std::size_t size) {
    const TgaHeader h = parseHeader(data, size);
    const std::size_t skip = kHeaderSize + h.idLength + h.colourMapBytes;
    if (size < skip)
        fail("truncated header");
    const std::uint8_t* p = data + skip;
    const std::uint8_t* end = data + size;
    const std::size_t pixelCount = static_cast<std::size_t>(h.width) * h.height;

    if (h.type == kTrueColourRle) {
        const std::vector<std::uint8_t> unpacked = unpackRle(p, end, pixelCount, h.bytesPerPixel);
        return toRgba(h, unpacked.data());
    }
    if (static_cast<std::size_t>(end - p) / static_cast<std::size_t>(h.bytesPerPixel) < pixelCount)
        fail("truncated pixel data");
    return toRgba(h, p);
}

} // namespace cantorix::scene
