#pragma once
// Where a media name of a song points: a file in the song folder, found even when the letter case
// of the name differs (songs are often made on systems that ignore case), and never a file outside
// the folder, whether named so or reached through a link. Reads the folder; any thread.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace cantorix::songs {

// A media name resolved in its song folder.
struct SongMediaLookup {
    std::filesystem::path file; // the file; empty when there is none or the name is refused
    std::string refusal;        // why the name may not be used, in one line; empty unless refused
    // The file's own entry, reached without a link, is a regular file: whoever opens it need
    // not look at it again first.
    bool entryRegular = false;
};

// One song folder, against which the media names of its song are resolved. A file counts as the
// folder's only when its canonical path (every link resolved) lies inside the folder's canonical
// path; the folder's is taken at most once, and only when a link is met on the way to a file, so
// a folder without links costs no more than a look at each file. One thread at a time.
class SongFolder {
public:
    explicit SongFolder(std::filesystem::path folder);

    const std::filesystem::path& path() const { return m_path; }

    // The regular file the name gives, relative to the folder: the exact name when it exists,
    // else the entries whose names match ignoring ASCII case, one path component at a time.
    // Refused: an absolute name, one that climbs ("..") and one that a link leads out of the
    // folder. Nothing for an empty name and for a name that names no regular file.
    SongMediaLookup find(std::string_view name) const;

    // As find(), but a name that names nothing keeps its name in the folder, so the player's
    // message says which file it could not open.
    SongMediaLookup audio(std::string_view name) const;

    // Whether `file`, an entry reached below the folder through a link, resolves inside it.
    bool resolvesInside(const std::filesystem::path& file) const;

private:
    std::filesystem::path m_path;
    mutable std::optional<std::filesystem::path> m_canonical; // empty path: cannot be resolved
};

// SongFolder(songFolder).find(name).file, empty when none.
std::optional<std::filesystem::path> findSongMediaFile(const std::filesystem::path& songFolder,
                                                       std::string_view name);

// SongFolder(songFolder).audio(name).file: a song's audio file, or the path its name would have
// in the folder; empty for an empty name and for a refused one.
std::filesystem::path songAudioFile(const std::filesystem::path& songFolder, std::string_view name);

} // namespace cantorix::songs
