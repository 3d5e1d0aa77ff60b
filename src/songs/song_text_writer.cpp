#include "songs/song_text_writer.h"

#include "songs/song_errors.h"
#include "songs/song_lines.h"

#include <stdexcept>

namespace cantorix::songs {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string_view checkedLineText(std::string_view text, std::string_view what) {
    if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        throw std::invalid_argument("The " + std::string(what) +
                                    " must not hold a line break or a zero byte");
    return text;
}

void addLine(std::string& out, std::string_view tag, std::string_view value) {
    out.append(tag).append(value).append(kLineEnd);
}

} // namespace

std::string_view bareFileName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string composeEditorSongText(const EditorSongText& song) {
    std::string out;
    addLine(out, "#TITLE:", checkedLineText(song.title, "title"));
    addLine(out, "#ARTIST:", checkedLineText(song.artist, "artist"));
    addLine(out, "#MP3:", checkedLineText(bareFileName(song.mp3File), "MP3 file name"));
    if (song.videoFile)
        addLine(out, "#VIDEO:", checkedLineText(bareFileName(*song.videoFile), "video file name"));
    addLine(out, "#BPM:", checkedLineText(song.bpmText, "BPM text"));
    addLine(out, "#GAP:", std::to_string(song.gapValue));
    for (const EditorNoteRow& note : song.notes) {
        if (note.syllable.empty())
            throw std::invalid_argument("A note needs a syllable");
        addLine(out, ": ",
                std::to_string(note.start) + ' ' + std::to_string(note.length) + ' ' +
                    std::to_string(note.pitch) + ' ' +
                    std::string(checkedLineText(note.syllable, "syllable")));
    }
    addLine(out, "E", "");
    return out;
}

std::string rewriteVideoLine(std::string_view songText, std::string_view videoFile) {
    const std::string_view name = checkedLineText(bareFileName(videoFile), "video file name");
    std::vector<std::string_view> lines = splitSongLines(songTextOf(songText));
    if (lines.size() < 2)
        throw ESongFileError("The song file has fewer than two lines");
    // Lines 0 to count - 5: the search never reaches the last four lines of the song.
    for (std::size_t i = lines.size() >= 5 ? lines.size() - 4 : 0; i-- > 0;) {
        if (lines[i].starts_with("#V")) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    const std::string videoLine = "#VIDEO:" + std::string(name);
    lines.insert(lines.begin() + 2, videoLine); // at the end of a text of two lines

    std::string out(songText.starts_with(kUtf8ByteOrderMark) ? kUtf8ByteOrderMark : "");
    for (const std::string_view line : lines)
        out.append(line).append(kLineEnd);
    return out;
}

} // namespace cantorix::songs
