#include "party/jukebox_picks.h"

#include <gtest/gtest.h>
#include <random>

namespace cantorix::party {
namespace {

// An evening of songs of three to five minutes, played back to back: the queue's songs come
// first in their order, and no song plays twice within the hour, until none is left.
TEST(JukeboxPicksTest, QueuedSongsFirstAndNoSongTwiceWithinTheHour) {
    std::mt19937 random(7);
    for (int evening = 0; evening < 50; ++evening) {
        JukeboxChoice choice;
        const std::size_t songs = 1 + random() % 40;
        for (std::size_t i = 0; i < songs; ++i)
            choice.library.push_back("song" + std::to_string(i));
        choice.queued = {"song0", "queued-elsewhere"};
        std::vector<std::string> played;
        for (int pick = 0; pick < 200; ++pick) {
            const auto next = nextJukeboxSong(
                choice, [&](std::size_t n) { return static_cast<std::size_t>(random()) % n; });
            if (!next) {
                // Only when every song played within the hour.
                for (const std::string& song : choice.library)
                    ASSERT_LT(choice.now - choice.playedAt.at(song), kJukeboxRepeatSeconds);
                break;
            }
            if (const auto last = choice.playedAt.find(*next); last != choice.playedAt.end()) {
                ASSERT_GE(choice.now - last->second, kJukeboxRepeatSeconds) << *next;
            }
            played.push_back(*next);
            choice.playedAt[*next] = choice.now;
            choice.now += 180 + static_cast<std::int64_t>(random() % 120);
        }
        ASSERT_GE(played.size(), 2u);
        EXPECT_EQ(played[0], "song0");
        EXPECT_EQ(played[1], "queued-elsewhere");
    }
}

} // namespace
} // namespace cantorix::party
