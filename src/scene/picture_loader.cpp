#include "picture_loader.h"

#include "base/regular_file.h"
#include "tga_reader.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <optional>
#include <string_view>

namespace cantorix::scene {

namespace {

enum class PictureType { Tga, Jpeg, Png };

[[noreturn]] void failFor(const std::filesystem::path& file, const std::string& reason) {
    throw EImageError("Cannot read picture '" + file.string() + "': " + reason);
}

std::string lowerExtension(const std::filesystem::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::optional<PictureType> typeByName(const std::filesystem::path& file) {
    const std::string ext = lowerExtension(file);
    if (ext == ".tga")
        return PictureType::Tga;
    if (ext == ".jpg" || ext == ".jpeg")
        return PictureType::Jpeg;
    if (ext == ".png")
        return PictureType::Png;
    return std::nullopt;
}

[[noreturn]] void failForName(const std::filesystem::path& file) {
    const std::string ext = lowerExtension(file);
    failFor(file, ext.empty() ? std::string("no file extension to tell the picture type")
                              : "unsupported picture type '" + ext + "'");
}

// JPEG and PNG say what they are in their first bytes; song folders hold covers whose names
// do not match their content.
std::optional<PictureType> typeByContent(const std::vector<std::uint8_t>& bytes) {
    static constexpr std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return PictureType::Jpeg;
    if (bytes.size() >= sizeof kPng && std::equal(std::begin(kPng), std::end(kPng), bytes.begin()))
        return PictureType::Png;
    return std::nullopt;
}

// Far above any cover or background people keep (a 50-megapixel JPEG is some 20 MiB); a picture
// file larger than this is refused before it takes the memory.
constexpr std::size_t kMaxPictureFileBytes = 64 * 1024 * 1024;

std::vector<std::uint8_t> readBytes(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        failFor(file, std::filesystem::exists(file, ec) ? "not a file" : "file not found");
    // Opened again as a regular file: what was looked at may have been replaced by a pipe since.
    std::string bytes, reason;
    if (base::readRegularFileInto(file, kMaxPictureFileBytes, bytes, reason) !=
        base::ReadOutcome::Read)
        failFor(file, reason);
    return {bytes.begin(), bytes.end()};
}

} // namespace

Image PictureFileLoader::load(const std::filesystem::path& file) {
    const std::optional<PictureType> byName = typeByName(file);
    std::error_code ec;
    if (!byName && !std::filesystem::is_regular_file(file, ec))
        failForName(file);
    const std::vector<std::uint8_t> bytes = readBytes(file);
    const std::optional<PictureType> byContent = typeByContent(bytes);
    if (!byContent && !byName)
        failForName(file);
    const PictureType type = byContent ? *byContent : *byName;
    try {
        switch (type) {
        case PictureType::Tga:
            return readTga(bytes.data(), bytes.size());
        case PictureType::Png:
            if (!m_png)
                failFor(file, "PNG pictures cannot be read here");
            return m_png->decode(bytes.data(), bytes.size(), m_maxJpegSide);
        case PictureType::Jpeg:
            break;
        }
        return m_jpeg.decode(bytes.data(), bytes.size(), m_maxJpegSide);
    } catch (const EImageError& e) {
        if (std::string_view(e.what()).starts_with("Cannot read picture '"))
            throw;
        failFor(file, e.what());
    }
}

} // namespace cantorix::scene
