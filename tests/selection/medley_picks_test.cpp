#include "selection/medley_picks.h"
#include "songs/song_identity.h"

#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>

namespace cantorix::selection {
namespace {

// Songs 0 … 13: standard with a part except every fourth (no part) and 13 (the game's format);
// 5 and 9 do not play; every third is a duet; songs 0, 1 and 2 were sung before.
std::vector<songs::SongSummary> library() {
    std::vector<songs::SongSummary> songs(14);
    for (std::size_t i = 0; i < songs.size(); ++i) {
        songs::SongSummary& s = songs[i];
        s.title = "Song " + std::to_string(i);
        s.artist = "Artist";
        s.songFile = "/songs/" + std::to_string(i) + "/song.txt";
        s.format = i == 13 ? songs::SongFormat::Game : songs::SongFormat::Standard;
        s.duet = i % 3 == 0;
        s.unplayable = i == 5 || i == 9 ? "no audio file: song.mp3" : "";
        s.audioLengthMs = 200'000;
        if (i % 4 != 3)
            s.medley = {30'000, 50'000, songs::MedleySource::Refrain};
    }
    return songs;
}
// Candidates: 0 1 2 4 6 8 10 12 (duets among them: 0 6 12; sung before: 0 1 2).

songs::SongPopularity popularity(std::string_view identity) {
    for (int i = 0; i < 3; ++i)
        if (identity == songs::songIdentity("Artist", "Song " + std::to_string(i)))
            return {2, 1000};
    return {};
}

TEST(MedleyPicks, TheMarkedSongsOrTheRightSongsAtRandom) {
    const std::vector<songs::SongSummary> songs = library();
    const auto file = [&](std::size_t i) { return songs[i].songFile; };
    struct Case {
        const char* name;
        MedleyRequest request;
        std::vector<std::string> marked;
        std::set<std::size_t> from; // the songs it may pick
        std::size_t count;          // 0: none, with a problem
    };
    const Case cases[] = {
        {"five at random", {}, {}, {0, 1, 2, 4, 6, 8, 10, 12}, 5},
        {"more than the most asked for", {.songs = 20}, {}, {0, 1, 2, 4, 6, 8, 10, 12}, 8},
        {"only duets: all three", {.onlyDuets = true}, {}, {0, 6, 12}, 3},
        {"only songs sung before", {.onlySungBefore = true}, {}, {0, 1, 2}, 3},
        {"duets sung before: too few", {.onlySungBefore = true, .onlyDuets = true}, {}, {}, 0},
        {"marked, the others passed over",
         {.songs = 4, .fromMarked = true},
         {file(12), file(3), file(5), file(1), file(12), file(13), file(4), file(8), file(10)},
         {12, 1, 4, 8},
         4},
        {"two marked that can be sung", {.fromMarked = true}, {file(2), file(7), file(4)}, {}, 0},
    };
    std::mt19937 random(7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MedleyPick pick =
            pickMedleySongs(songs, c.marked, c.request, popularity, [&](std::size_t n) {
                return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
            });
        if (c.count == 0) {
            EXPECT_TRUE(pick.songs.empty());
            EXPECT_FALSE(pick.problem.empty());
            continue;
        }
        EXPECT_TRUE(pick.problem.empty()) << pick.problem;
        ASSERT_EQ(pick.songs.size(), c.count);
        EXPECT_EQ(std::set<std::size_t>(pick.songs.begin(), pick.songs.end()).size(), c.count);
        for (const std::size_t song : pick.songs)
            EXPECT_TRUE(c.from.count(song)) << song;
        if (c.request.fromMarked) {
            EXPECT_EQ(pick.songs, (std::vector<std::size_t>{12, 1, 4, 8})) << "in marking order";
        }
    }
}

TEST(MedleyPicks, EveryCandidateIsDrawnSometimes) {
    const std::vector<songs::SongSummary> songs = library();
    std::mt19937 random(11);
    std::map<std::size_t, int> drawn;
    for (int run = 0; run < 400; ++run)
        for (const std::size_t song :
             pickMedleySongs(songs, {}, {.songs = 3}, popularity, [&](std::size_t n) {
                 return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
             }).songs)
            ++drawn[song];
    ASSERT_EQ(drawn.size(), 8u);
    for (const auto& [song, times] : drawn)
        EXPECT_GT(times, 100) << "song " << song << " of 8 drawn 3 at a time, 400 times";
}

} // namespace
} // namespace cantorix::selection
