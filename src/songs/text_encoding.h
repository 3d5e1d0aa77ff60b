#pragma once
// How the single-byte texts of a song file (titles, artists, syllables, file names) are shown:
// the file's bytes are kept as read and converted to UTF-8 only for display. Stateless.

#include <cstddef>
#include <string>
#include <string_view>

namespace cantorix::songs {

enum class TextEncoding { Windows1252, Utf8 };

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// A text that is valid UTF-8 as a whole is taken as UTF-8, anything else as Windows-1252.
TextEncoding detectTextEncoding(std::string_view text);

// Windows-1252 to UTF-8 with the full table; the five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become their C1 control code points, as the platform the
// files come from converts them, so no byte is lost.
std::string windows1252ToUtf8(std::string_view bytes);

// The display (UTF-8) form of bytes taken from a text of the given encoding. Bytes that are not
// valid UTF-8 are read as Windows-1252 whatever the encoding says.
std::string toDisplayText(std::string_view bytes, TextEncoding encoding);

// Appends the UTF-8 form of a code point (at most U+10FFFF).
void appendUtf8(std::string& out, char32_t c);

// The longest valid start of a UTF-8 sequence at byte i (length 1 for a lone bad byte) and
// whether it is a whole sequence. Strict as isValidUtf8(); a caller replacing bad input turns
// each broken start into one U+FFFD, as Unicode recommends.
struct Utf8Prefix {
    std::size_t length = 0;
    bool whole = false;
};
Utf8Prefix utf8Prefix(std::string_view bytes, std::size_t i);

} // namespace cantorix::songs
