#include "songs/song_media_file.h"

#include "songs/standard_song_lines.h"

#include <utility>

namespace cantorix::songs {

namespace {

namespace fs = std::filesystem;

// Where a name led: the path, the kind of its last component as lstat sees it, and whether a
// link was met on the way (which makes the path's spelling say nothing about where it lies).
struct Reached {
    fs::path file;
    fs::file_status last;
    bool throughLink = false;
};

std::string quoted(std::string_view name) {
    return "'" + std::string(name) + "'";
}

bool namesOutside(const fs::path& relative) {
    if (relative.has_root_path())
        return true;
    for (const fs::path& component : relative)
        if (component == "..")
            return true;
    return false;
}

bool addsNothing(const fs::path& component) {
    return component.empty() || component == ".";
}

// The entry of the folder whose name equals the component ignoring case; a folder that cannot be
// read has none.
std::optional<fs::directory_entry> entryIgnoringCase(const fs::path& folder,
                                                     const std::string& component) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (standard::equalsIgnoringCase(entry.path().filename().native(), component))
            return entry;
    return std::nullopt;
}

// Both paths canonical: `file` lies below `folder`, not at it.
bool liesInside(const std::string& file, const std::string& folder) {
    if (folder == "/")
        return file.size() > 1;
    return file.size() > folder.size() + 1 && file.compare(0, folder.size(), folder) == 0 &&
           file[folder.size()] == '/';
}

// The name spelt as written, each component looked at without following it.
std::optional<Reached> reachExactly(const fs::path& folder, const fs::path& relative) {
    Reached reached{folder / relative, fs::file_status(fs::file_type::not_found), false};
    fs::path at = folder;
    for (const fs::path& component : relative) {
        if (addsNothing(component))
            continue;
        at /= component;
        std::error_code error;
        reached.last = fs::symlink_status(at, error);
        if (!fs::exists(reached.last))
            return std::nullopt;
        reached.throughLink = reached.throughLink || fs::is_symlink(reached.last);
    }
    if (!fs::exists(reached.last))
        return std::nullopt;
    return reached;
}

std::optional<Reached> reachIgnoringCase(const fs::path& folder, const fs::path& relative) {
    Reached reached{folder, fs::file_status(fs::file_type::not_found), false};
    for (const fs::path& component : relative) {
        if (addsNothing(component))
            continue;
        const std::optional<fs::directory_entry> entry =
            entryIgnoringCase(reached.file, component.native());
        if (!entry)
            return std::nullopt;
        // The kinds the folder listing gave: no further look at the entry.
        std::error_code error;
        const bool link = entry->is_symlink(error);
        reached.last = fs::file_status(link                            ? fs::file_type::symlink
                                       : entry->is_regular_file(error) ? fs::file_type::regular
                                                                       : fs::file_type::unknown);
        reached.throughLink = reached.throughLink || fs::is_symlink(reached.last);
        reached.file = entry->path();
    }
    if (!fs::exists(reached.last))
        return std::nullopt;
    return reached;
}

bool isRegular(const Reached& reached) {
    if (!fs::is_symlink(reached.last))
        return fs::is_regular_file(reached.last);
    std::error_code error;
    return fs::is_regular_file(reached.file, error);
}

} // namespace

SongFolder::SongFolder(fs::path folder) : m_path(std::move(folder)) {}

bool SongFolder::resolvesInside(const fs::path& file) const {
    std::error_code error;
    if (!m_canonical)
        m_canonical = fs::canonical(m_path, error);
    if (m_canonical->empty())
        return false;
    const fs::path resolved = fs::canonical(file, error);
    return !error && liesInside(resolved.native(), m_canonical->native());
}

SongMediaLookup SongFolder::find(std::string_view name) const {
    if (name.empty())
        return {};
    const fs::path relative{std::string(name)};
    if (namesOutside(relative))
        return {{}, quoted(name) + " leads outside the song folder"};
    for (const bool ignoringCase : {false, true}) {
        const std::optional<Reached> reached =
            ignoringCase ? reachIgnoringCase(m_path, relative) : reachExactly(m_path, relative);
        if (!reached)
            continue;
        if (reached->throughLink && !resolvesInside(reached->file)) {
            // A link that leads nowhere names no file; one that leads somewhere is refused
            // whatever it leads to, so nothing outside is even looked at.
            std::error_code error;
            if (fs::exists(reached->file, error))
                return {{}, quoted(name) + " is a link that leads outside the song folder"};
            continue;
        }
        if (isRegular(*reached))
            return {reached->file, {}, !reached->throughLink && fs::is_regular_file(reached->last)};
    }
    return {};
}

SongMediaLookup SongFolder::audio(std::string_view name) const {
    SongMediaLookup found = find(name);
    if (found.file.empty() && found.refusal.empty() && !name.empty())
        found.file = m_path / fs::path(std::string(name));
    return found;
}

std::optional<fs::path> findSongMediaFile(const fs::path& songFolder, std::string_view name) {
    fs::path file = SongFolder(songFolder).find(name).file;
    if (file.empty())
        return std::nullopt;
    return file;
}

fs::path songAudioFile(const fs::path& songFolder, std::string_view name) {
    return SongFolder(songFolder).audio(name).file;
}

} // namespace cantorix::songs
