#include "editor/video_attach.h"

#include "editor/atomic_file.h"
#include "songs/song_lines.h"
#include "songs/song_text_writer.h"

#include <stdexcept>

namespace cantorix::editor {

void attachVideo(const std::filesystem::path& songFile, std::string_view videoFile) {
    if (songFile.empty())
        throw EFOpenError("Cannot open file \"\". No song file has been read yet");
    const std::string text = readWholeFile(songFile);
    // The new line goes in at index 2, which a list of fewer than two lines does not have.
    if (songs::splitSongLines(songs::songTextOf(text)).size() < 2)
        throw std::out_of_range("List index out of bounds (2)");
    writeFileAtomically(songFile, songs::rewriteVideoLine(text, videoFile));
}

} // namespace cantorix::editor
