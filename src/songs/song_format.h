#pragma once
// Which of the two song formats a song file is in: the game's own or the standard format of
// people's song collections. The one place that decides; everything else asks it. Stateless.

#include <string>
#include <string_view>

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

} // namespace cantorix::songs
