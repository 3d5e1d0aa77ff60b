#include "picture_loader.h"

#include "tga_reader.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

namespace cantorix::scene {

namespace {

enum class PictureType { Tga, Jpeg };

[[noreturn]] void failFor(const std::filesystem::path& file, const std::string& reason) {
    throw EImageError("Cannot read picture '" + file.string() + "': " + reason);
}

PictureType typeOf(const std::filesystem::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".tga")
        return PictureType::Tga;
    if (ext == ".jpg" || ext == ".jpeg")
        return PictureType::Jpeg;
    failFor(file, ext.empty() ? std::string("no file extension to tell the picture type")
                              : "unsupported picture type '" + ext + "'");
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        failFor(file, std::filesystem::exists(file, ec) ? "not a file" : "file not found");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        failFor(file, "cannot open the file");
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad())
        failFor(file, "read error");
    return bytes;
}

} // namespace

Image PictureFileLoader::load(const std::filesystem::path& file) {
    const PictureType type = typeOf(file);
    const std::vector<std::uint8_t> bytes = readBytes(file);
    try {
        if (type == PictureType::Tga)
            return readTga(bytes.data(), bytes.size());
        return m_jpeg.decode(bytes.data(), bytes.size(), m_maxJpegSide);
    } catch (const EImageError& e) {
        failFor(file, e.what());
    }
}

} // namespace cantorix::scene
