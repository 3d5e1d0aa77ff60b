#pragma once
// Which of the two song formats a song file is in: the game's own or the standard format of
// people's song collections. The one place that decides; everything else asks it. Stateless.

#include <string>
#include <string_view>
#include <vector>

namespace cantorix::songs {

enum class SongFormat { Game, Standard };

// Decides from the file's raw bytes (decoded as the standard reader would decode them first).
SongFormat detectSongFormat(std::string_view bytes);

// A song file's bytes as UTF-8 text, with the name of the encoding used ("utf-8", "utf-16-le",
// "utf-16-be", "cp1252", …). Bytes that do not decode become U+FFFD.
struct DecodedSongText {
    std::string text;
    std::string encoding;
};
DecodedSongText decodeSongText(std::string_view bytes);

// A song file's text decoded once and cut into lines (as the standard reader cuts them), for the
// format detection and the standard reader to share: a library scan does both for every song.
struct SongTextLines {
    explicit SongTextLines(std::string_view bytes);
    SongTextLines(const SongTextLines&) = delete; // the lines point into the text
    SongTextLines& operator=(const SongTextLines&) = delete;
    ~SongTextLines() = default;

    DecodedSongText decoded;
    std::vector<std::string_view> lines;
};

// As above, from text already decoded and cut.
SongFormat detectSongFormat(const SongTextLines& text);

} // namespace cantorix::songs
