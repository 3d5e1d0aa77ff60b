#pragma once
// The guests' song book: the library's playable songs as phones browse them, searched as the
// library search folds text (case, accents, runs of blanks) and handed out a page at a time.
// Each song is known to phones by an opaque identifier, never its path. Built whole from a list
// of songs, then only read: searching it from several threads at once is safe.

#include "songs/song_catalog.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace cantorix::party {

struct BookSong {
    std::string id;       // opaque to phones: 16 hexadecimal digits
    std::string songFile; // where the library has it; the queue keeps this
    std::string artist, title;
    bool duet = false;
    bool hasCover = false;
    std::string cover;             // the library's cover file, served only as a thumbnail by `id`
    songs::FileStamp coverStamp;   // a thumbnail made of the cover holds while this does
    std::int64_t lengthMs = 0;     // the audio's length once known, else the text's; 0: unknown
    std::int64_t medleyPartMs = 0; // how long its medley part sings; 0: it has none
};

struct BookPage {
    std::size_t total = 0; // songs matching the query
    std::size_t page = 0;
    std::vector<const BookSong*> songs; // at most a page, sorted by artist then title
};

class SongBook {
public:
    static constexpr std::size_t kPageSize = 50;

    // `salt` makes the identifiers of one run of the game: a phone cannot tell a path from them.
    SongBook(const std::vector<songs::SongSummary>& library, std::uint64_t salt);
    SongBook() = default;

    // Page `page` (from 0) of the songs whose artist or title holds every word of the query.
    BookPage search(std::string_view query, std::size_t page) const;
    const BookSong* byId(std::string_view id) const;
    const BookSong* bySongFile(const std::string& songFile) const;
    std::size_t size() const { return m_songs.size(); }

private:
    std::vector<BookSong> m_songs;
    // Each song's artist and title folded, a line apart, in the order of m_songs.
    std::vector<std::string> m_folded;
    std::unordered_map<std::string, std::size_t> m_byId, m_bySongFile;
};

} // namespace cantorix::party
