#include "picture_files.h"

#include <QString>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace cantorix::assets {

namespace {

using Bytes = std::vector<unsigned char>;

void prepareDirectory(const std::filesystem::path& file) {
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path());
}

void appendPixel(Bytes& out, QRgb p, bool withAlpha) {
    out.insert(out.end(),
               {static_cast<unsigned char>(qBlue(p)), static_cast<unsigned char>(qGreen(p)),
                static_cast<unsigned char>(qRed(p))});
    if (withAlpha)
        out.push_back(static_cast<unsigned char>(qAlpha(p)));
}

// Packets stay within one row, as the format's later revision asks of writers.
void appendRleRow(Bytes& out, const QRgb* row, int width, bool withAlpha) {
    int x = 0;
    while (x < width) {
        int run = 1;
        while (x + run < width && run < 128 && row[x + run] == row[x])
            ++run;
        if (run >= 2) {
            out.push_back(static_cast<unsigned char>(0x80 | (run - 1)));
            appendPixel(out, row[x], withAlpha);
            x += run;
            continue;
        }
        int raw = 1;
        while (x + raw < width && raw < 128 &&
               !(x + raw + 1 < width && row[x + raw] == row[x + raw + 1]))
            ++raw;
        out.push_back(static_cast<unsigned char>(raw - 1));
        for (int i = 0; i < raw; ++i)
            appendPixel(out, row[x + i], withAlpha);
        x += raw;
    }
}

} // namespace

void writeTga(const QImage& image, const std::filesystem::path& file, TgaEncoding encoding,
              bool withAlpha) {
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
    const int w = pixels.width(), h = pixels.height();
    const bool rle = encoding == TgaEncoding::RunLength;
    Bytes out(18, 0);
    out[2] = rle ? 10 : 2;
    out[12] = static_cast<unsigned char>(w & 0xff);
    out[13] = static_cast<unsigned char>(w >> 8);
    out[14] = static_cast<unsigned char>(h & 0xff);
    out[15] = static_cast<unsigned char>(h >> 8);
    out[16] = withAlpha ? 32 : 24;
    out[17] = static_cast<unsigned char>((withAlpha ? 8 : 0) | 0x20); // rows top-down
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        if (rle) {
            appendRleRow(out, row, w, withAlpha);
        } else {
            for (int x = 0; x < w; ++x)
                appendPixel(out, row[x], withAlpha);
        }
    }
    prepareDirectory(file);
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(out.data()),
                 static_cast<std::streamsize>(out.size()));
    if (!stream)
        throw std::runtime_error("cannot write " + file.string());
}

void writeJpeg(const QImage& image, const std::filesystem::path& file, int quality) {
    prepareDirectory(file);
    if (!image.convertToFormat(QImage::Format_RGB888)
             .save(QString::fromStdString(file.string()), "JPG", quality))
        throw std::runtime_error("cannot write " + file.string() + " (is Qt's JPEG plugin there?)");
}

void writePng(const QImage& image, const std::filesystem::path& file) {
    prepareDirectory(file);
    if (!image.save(QString::fromStdString(file.string()), "PNG"))
        throw std::runtime_error("cannot write " + file.string());
}

} // namespace cantorix::assets
