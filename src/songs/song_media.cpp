#include "songs/song_media.h"

#include "base/regular_file.h"
#include "songs/song_media_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace cantorix::songs {

namespace {

namespace fs = std::filesystem;

// A picture the game can show, told by its first bytes: song folders hold covers named ".jpg"
// that are PNG and the other way round, and text files named like pictures. Only a regular file
// is read: a named pipe called "cover.jpg" would hold the scan for ever.
bool isShownPicture(const fs::path& file, base::FileKind known = base::FileKind::Unknown) {
    std::string reason;
    const base::UniqueFd fd = base::openRegularFile(file, known, reason);
    if (!fd)
        return false;
    std::array<unsigned char, 8> head{};
    std::size_t got = 0;
    while (got < head.size()) {
        const ssize_t n = ::read(fd.get(), head.data() + got, head.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
        return true;
    static constexpr std::array<unsigned char, 8> kPng = {0x89, 'P',  'N',  'G',
                                                          '\r', '\n', 0x1A, '\n'};
    return got == head.size() && head == kPng;
}

// The named file when it lies in the folder and is a picture the game can show.
std::optional<fs::path> shownPicture(const SongFolder& folder, std::string_view name) {
    SongMediaLookup found = folder.find(name);
    if (!found.file.empty() &&
        isShownPicture(found.file,
                       found.entryRegular ? base::FileKind::Regular : base::FileKind::Unknown))
        return std::move(found.file);
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
    const SongFolder folder(songFolder);
    if (auto tagged = shownPicture(folder, coverTag))
        return *tagged;
    if (auto classic = shownPicture(folder, "cover.jpg"))
        return *classic;
    std::vector<fs::path> candidates;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(songFolder, error))
        if (namesACover(entry.path().filename().string()) && entry.is_regular_file(error) &&
            (!entry.is_symlink(error) || folder.resolvesInside(entry.path())))
            candidates.push_back(entry.path());
    std::sort(candidates.begin(), candidates.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
    for (const fs::path& candidate : candidates)
        if (isShownPicture(candidate))
            return candidate;
    return {};
}

fs::path findGameSongCover(const fs::path& songFolder) {
    return SongFolder(songFolder).find("cover.jpg").file;
}

} // namespace cantorix::songs
