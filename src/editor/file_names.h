#pragma once
// File-name rules of the editor: the name displays show a short form, and a lyric file always
// ends in ".txt" so the song library finds it. Pure.

#include <cstddef>
#include <string>
#include <string_view>

namespace cantorix::editor {

// Name displays and track buttons show at most this many characters.
inline constexpr std::size_t kDisplayNameLength = 14;

// The first `count` characters (code points) of a UTF-8 text; a broken sequence counts its
// bytes one by one.
std::string firstCharacters(std::string_view utf8, std::size_t count = kDisplayNameLength);

// The name with ".txt" appended unless it already ends in ".txt" in any letter case.
std::string withTxtExtension(std::string_view fileName);

} // namespace cantorix::editor
