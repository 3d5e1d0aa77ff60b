#include "songs/song_media_file.h"

#include "songs/standard_song_lines.h"

#include <string>

namespace cantorix::songs {

namespace {

namespace fs = std::filesystem;

// The entry of the folder whose name equals the component ignoring case; a folder that cannot be
// read has none.
std::optional<fs::path> entryIgnoringCase(const fs::path& folder, const std::string& component) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (standard::equalsIgnoringCase(entry.path().filename().native(), component))
            return entry.path();
    return std::nullopt;
}

} // namespace

std::optional<fs::path> findSongMediaFile(const fs::path& songFolder, std::string_view name) {
    const fs::path relative{std::string(name)};
    if (name.empty() || relative.is_absolute() || relative.has_root_path())
        return std::nullopt;
    for (const fs::path& component : relative)
        if (component == "..")
            return std::nullopt;
    std::error_code error;
    const fs::path exact = songFolder / relative;
    if (fs::is_regular_file(exact, error))
        return exact;
    fs::path found = songFolder;
    for (const fs::path& component : relative) {
        if (component.empty() || component == ".")
            continue;
        const std::optional<fs::path> entry = entryIgnoringCase(found, component.native());
        if (!entry)
            return std::nullopt;
        found = *entry;
    }
    if (!fs::is_regular_file(found, error))
        return std::nullopt;
    return found;
}

fs::path songAudioFile(const fs::path& songFolder, std::string_view name) {
    if (std::optional<fs::path> found = findSongMediaFile(songFolder, name))
        return *found;
    const fs::path relative(name);
    if (name.empty() || relative.has_root_path())
        return {};
    for (const fs::path& part : relative)
        if (part == "..")
            return {};
    return songFolder / relative;
}

} // namespace cantorix::songs
