#include "party/song_book.h"

#include <gtest/gtest.h>
#include <set>

namespace cantorix::party {
namespace {

songs::SongSummary song(const std::string& artist, const std::string& title,
                        const std::string& unplayable = "") {
    songs::SongSummary s;
    s.folder = "/songs/" + artist + " - " + title;
    s.songFile = s.folder + "/song.txt";
    s.artist = artist;
    s.title = title;
    s.unplayable = unplayable;
    return s;
}

std::vector<std::string> titles(const BookPage& page) {
    std::vector<std::string> out;
    for (const BookSong* s : page.songs)
        out.push_back(s->title);
    return out;
}

TEST(SongBookTest, SearchFoldsAsTheLibraryDoesAndOffersOnlyPlayableSongs) {
    const SongBook book({song("Zoë Keating", "Escape Artist"), song("ABBA", "Dancing Queen"),
                         song("Björk", "Jóga"), song("Queen", "Bohemian  Rhapsody"),
                         song("Queen", "Broken", "no audio file: broken.ogg")},
                        7);
    EXPECT_EQ(book.size(), 4u) << "the song without audio is not offered";
    const std::tuple<const char*, std::vector<std::string>> rows[] = {
        {"", {"Dancing Queen", "Jóga", "Bohemian  Rhapsody", "Escape Artist"}},
        {"queen", {"Dancing Queen", "Bohemian  Rhapsody"}},
        {"  QUEEN   rhap ", {"Bohemian  Rhapsody"}},
        {"bjork joga", {"Jóga"}},
        {"zoe", {"Escape Artist"}},
        {"keating escape", {"Escape Artist"}},
        {"queen\nbohemian", {"Bohemian  Rhapsody"}},
        {"n d", {"Dancing Queen", "Bohemian  Rhapsody"}},
        {"broken", {}},
    };
    for (const auto& [query, expected] : rows)
        EXPECT_EQ(titles(book.search(query, 0)), expected) << '"' << query << '"';
}

TEST(SongBookTest, PagesOfFiftyAndIdentifiersThatAreNoPaths) {
    std::vector<songs::SongSummary> library;
    for (int i = 0; i < 120; ++i)
        library.push_back(song("Artist " + std::to_string(1000 + i), "Song"));
    const SongBook book(library, 42);
    std::set<std::string> ids;
    for (std::size_t page = 0; page < 3; ++page) {
        const BookPage shown = book.search("artist", page);
        EXPECT_EQ(shown.total, 120u);
        ASSERT_EQ(shown.songs.size(), page < 2 ? 50u : 20u) << page;
        EXPECT_EQ(shown.songs.front()->artist, "Artist " + std::to_string(1000 + 50 * page));
        for (const BookSong* s : shown.songs) {
            EXPECT_EQ(s->id.size(), 16u);
            EXPECT_EQ(s->id.find_first_not_of("0123456789abcdef"), std::string::npos);
            EXPECT_EQ(book.byId(s->id), s);
            EXPECT_EQ(book.bySongFile(s->songFile), s);
            ids.insert(s->id);
        }
    }
    EXPECT_EQ(ids.size(), 120u);
    EXPECT_TRUE(book.search("artist", 3).songs.empty());
    EXPECT_EQ(book.byId("/songs/Artist 1000 - Song/song.txt"), nullptr);
    // The same run names a song alike; another run does not.
    EXPECT_EQ(SongBook(library, 42).search("", 0).songs[7]->id, book.search("", 0).songs[7]->id);
    EXPECT_NE(SongBook(library, 43).search("", 0).songs[7]->id, book.search("", 0).songs[7]->id);
}

// A row tells how long the song lasts: its audio's length once the game opened it, else its
// text's, else nothing; and whether it has a cover to show.
TEST(SongBookTest, ARowsLengthIsTheAudiosOnceKnownElseTheTexts) {
    const struct {
        const char* title;
        std::int64_t textMs, audioMs, shownMs;
        const char* cover;
    } rows[] = {
        {"Text only", 183000, 0, 183000, ""},
        {"Audio known", 183000, 221000, 221000, "/songs/b/cover.jpg"},
        {"Unknown", 0, 0, 0, ""},
    };
    std::vector<songs::SongSummary> library;
    for (const auto& row : rows) {
        songs::SongSummary& s = library.emplace_back(song("Artist", row.title));
        s.textLengthMs = row.textMs;
        s.audioLengthMs = row.audioMs;
        s.cover = row.cover;
    }
    const SongBook book(library, 1);
    for (const auto& row : rows) {
        const BookPage page = book.search(row.title, 0);
        ASSERT_EQ(page.songs.size(), 1u) << row.title;
        EXPECT_EQ(page.songs[0]->lengthMs, row.shownMs) << row.title;
        EXPECT_EQ(page.songs[0]->hasCover, *row.cover != '\0') << row.title;
    }
}

} // namespace
} // namespace cantorix::party
