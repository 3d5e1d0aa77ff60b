#pragma once
// Which song a song is, whatever folder it sits in and however its audio is encoded: its artist
// and title folded as the library's search folds them (case and accents), blanks made single.
// Two different songs with the same artist and title are one song to the records. Pure; any
// thread.

#include <string>
#include <string_view>

namespace cantorix::songs {

// "<folded artist>\x1f<folded title>", blanks trimmed and runs of blanks made one.
std::string songIdentity(std::string_view artist, std::string_view title);

} // namespace cantorix::songs
