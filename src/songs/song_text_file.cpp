#include "songs/song_text_file.h"

#include "base/regular_file.h"
#include "songs/song_errors.h"

namespace cantorix::songs {

std::string readSongFileBytes(const std::filesystem::path& file) {
    return readSongFileBytes(file, base::FileKind::Unknown, nullptr);
}

std::string readSongFileBytes(const std::filesystem::path& file, base::FileKind known,
                              base::OpenedFile* opened) {
    // The longest song texts people keep are some tens of kilobytes; anything near the cap is no
    // song, and a library of such files must not fill the memory of the scan that reads it.
    constexpr std::size_t kMaxSongFileBytes = 4 * 1024 * 1024;
    std::string bytes, reason;
    const base::ReadOutcome outcome =
        base::readRegularFileInto(file, kMaxSongFileBytes, bytes, reason, known, opened);
    if (outcome == base::ReadOutcome::Read)
        return bytes;
    const char* verb = outcome == base::ReadOutcome::NotOpened ? "open" : "read";
    throw ESongFileError(std::string("Cannot ") + verb + " the song file '" + file.string() +
                         "': " + reason);
}

} // namespace cantorix::songs
