#pragma once
// The two writers of song texts: the editor's first draft of a song and the rewrite of the
// "#VIDEO:" line of an existing song. Pure functions over text; lines end with CR LF.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::songs {

struct EditorNoteRow {
    std::int32_t start = 0;
    std::int32_t length = 0;
    std::int32_t pitch = 0; // written as given, negative values included
    std::string syllable;   // "-" as the placeholder the user replaces
};

// What the editor writes; the files may be given as full paths, only their names are written.
struct EditorSongText {
    std::string title;
    std::string artist;
    std::string mp3File;                  // empty when none was picked
    std::optional<std::string> videoFile; // no "#VIDEO:" line when none was picked
    std::string bpmText;
    std::int32_t gapValue = 0;
    std::vector<EditorNoteRow> notes;
};

// The last component of a path with "/" as separator.
std::string_view bareFileName(std::string_view path);

// "#TITLE:", "#ARTIST:", "#MP3:", the optional "#VIDEO:", "#BPM:", "#GAP:", one ": start length
// pitch syllable" line per row and "E". Throws std::invalid_argument for a text holding a line
// break or a zero byte, or an empty syllable, which would not read back as written.
std::string composeEditorSongText(const EditorSongText& song);

// Deletes the last line among lines 0 to count - 5 that starts with "#V", if any, and inserts
// "#VIDEO:" + the file's bare name as line index 2 (the end of a text of two lines). A leading
// byte-order mark stays. Throws ESongFileError for a text of fewer than two lines, which is no
// song, and std::invalid_argument for a name holding a line break or a zero byte.
std::string rewriteVideoLine(std::string_view songText, std::string_view videoFile);

} // namespace cantorix::songs
