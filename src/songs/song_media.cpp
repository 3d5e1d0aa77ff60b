#include "songs/song_media.h"

#include "songs/song_media_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::songs {

namespace {

namespace fs = std::filesystem;

// A picture the game can show, told by its first bytes: song folders hold covers named ".jpg"
// that are PNG and the other way round, and text files named like pictures.
bool isShownPicture(const fs::path& file) {
    std::array<char, 8> head{};
    std::ifstream in(file, std::ios::binary);
    in.read(head.data(), head.size());
    const auto got = static_cast<std::size_t>(in.gcount());
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(head[i]); };
    if (got >= 3 && byte(0) == 0xFF && byte(1) == 0xD8 && byte(2) == 0xFF)
        return true;
    static constexpr unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return got == 8 && std::equal(std::begin(kPng), std::end(kPng), head.begin(),
                                  [](unsigned char a, char b) { return a == static_cast<unsigned char>(b); });
}

std::optional<fs::path> resolvedPicture(const fs::path& folder, std::string_view name) {
    const std::optional<fs::path> file = findSongMediaFile(folder, name);
    if (file && isShownPicture(*file))
        return file;
    return std::nullopt;
}

bool namesACover(const std::string& name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find("[co]") != std::string::npos || lower.find("cover") != std::string::npos;
}

} // namespace

fs::path findCoverFile(const fs::path& songFolder, std::string_view coverTag) {
    if (const auto tagged = resolvedPicture(songFolder, coverTag))
        return *tagged;
    if (const auto classic = resolvedPicture(songFolder, "cover.jpg"))
        return *classic;
    std::vector<fs::path> candidates;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(songFolder, error))
        if (namesACover(entry.path().filename().string()) && entry.is_regular_file(error))
            candidates.push_back(entry.path());
    std::sort(candidates.begin(), candidates.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
    for (const fs::path& candidate : candidates)
        if (isShownPicture(candidate))
            return candidate;
    return {};
}

} // namespace cantorix::songs
