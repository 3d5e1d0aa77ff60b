#include "songs/song_identity.h"

#include "songs/song_catalog.h"

namespace cantorix::songs {

namespace {

// Folded, with blanks trimmed and every run of them made one space, so "The  Band " and
// "the band" are the same artist.
std::string foldedWords(std::string_view text) {
    const std::string folded = foldForSearch(text);
    std::string out;
    out.reserve(folded.size());
    bool blank = false;
    for (const char c : folded) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

} // namespace

std::string songIdentity(std::string_view artist, std::string_view title) {
    return foldedWords(artist) + '\x1f' + foldedWords(title);
}

} // namespace cantorix::songs
