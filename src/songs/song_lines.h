#pragma once
// Splitting a song file's bytes into lines, shared by the reader and the rewriters. Stateless
// functions; the views point into the caller's bytes.

#include <string_view>
#include <vector>

namespace cantorix::songs {

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// The text the file holds: a leading UTF-8 byte-order mark dropped, and everything from the
// first zero byte on cut off.
std::string_view songTextOf(std::string_view bytes);

// Lines ended by CR, LF or CR LF; a final terminator makes no extra empty line, so "" gives no
// line and "\r\n" one empty line.
std::vector<std::string_view> splitSongLines(std::string_view text);

} // namespace cantorix::songs
