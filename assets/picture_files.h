#pragma once
// Writes the generated pictures into the program directory: TGA (our own writer, so the game's
// reader sees both of its encodings), JPEG and PNG through Qt. Build-time tool; single thread.

#include <QImage>
#include <filesystem>

namespace cantorix::assets {

enum class TgaEncoding { Uncompressed, RunLength };

// 32-bit with alpha, or 24-bit when withAlpha is false; rows top-down (some viewers ignore the
// origin bit and show bottom-up files upside down). Creates missing directories; throws
// std::runtime_error on failure.
void writeTga(const QImage& image, const std::filesystem::path& file, TgaEncoding encoding,
              bool withAlpha = true);
void writeJpeg(const QImage& image, const std::filesystem::path& file, int quality);
void writePng(const QImage& image, const std::filesystem::path& file);

} // namespace cantorix::assets
