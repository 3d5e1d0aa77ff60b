#pragma once
// The program directory's layout and the start-up checks: where the program is, that its
// pictures are there, and that there are songs to sing.

#include <QImage>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace cantorix::app {

// A program directory the game cannot start from; the message names what is missing.
class EProgramFilesError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The executable's own file with every link resolved: selfLink (/proc/self/exe) when it can be
// read, else argv0 made absolute. A game started through PATH or a symbolic link then still
// finds the data/ and songs/ beside its real file.
std::filesystem::path executablePath(const std::filesystem::path& selfLink,
                                     const std::filesystem::path& argv0);

// The program directory of a game started without --root. A build tree or an unpacked folder
// keeps data/ beside the executable; an installed game keeps it in <prefix>/share/cantorix
// beside <prefix>/bin, where the executable sits. The executable's own folder wins when it
// holds data/; when neither holds it, the executable's folder is returned and start-up names
// what is missing there.
std::filesystem::path locateProgramDirectory(const std::filesystem::path& executableDir);

// Throws EProgramFilesError when programDir holds no data/ folder: without its pictures the
// game cannot show a single screen.
void requireDataDirectory(const std::filesystem::path& programDir);

// A picture the start-up cannot do without; scene::EImageError naming the file when it cannot
// be read.
QImage requiredPicture(const std::filesystem::path& file);

// Counts what the song folder enumeration sees in songsDir: folders and plain files, hidden
// entries (names starting with ".") left out, plus the two navigation entries "." and "..",
// which every listing on the original platform returned first. A missing directory counts 0;
// one that cannot be read throws std::filesystem::filesystem_error naming it.
int countSongEntries(const std::filesystem::path& songsDir);

// True when start-up must stop with the "add songs" message: the directory holds nothing but the
// navigation entries, or does not exist at all.
bool songsDirectoryIsEmpty(const std::filesystem::path& songsDir);

inline constexpr const char* kAddSongsMessage = "Please add songs to Your Songs\\ directory";

// What the selection screen says when the folders hold song texts but none can be played: the
// folders searched, one a line, and how many songs cannot be played, with where to see why.
std::vector<std::string> noPlayableSongsLines(const std::vector<std::filesystem::path>& roots,
                                              std::size_t unplayable);

} // namespace cantorix::app
