#include "party/queue_view.h"

#include <gtest/gtest.h>
#include <map>

namespace cantorix::party {
namespace {

TEST(QueueViewTest, EachRowSaysWhoSingsWhatAndWhenItStarts) {
    PartyQueue queue;
    const GuestId ann = *queue.join("Ann", 0), ben = *queue.join("Ben", 1);
    queue.add({ann, "songs/long.txt"}, 2);
    queue.add({ben, "songs/duet.txt", ann}, 3);
    queue.add({ann, "songs/gone.txt"}, 4);
    queue.add({ben, "songs/unknown.txt", std::nullopt, "Cleo"}, 5);
    const std::map<std::string, SongFacts> library = {
        {"songs/long.txt", {"Artist", "Long", 240'000}},
        {"songs/duet.txt", {"Two", "Duet", 180'000}},
        {"songs/unknown.txt", {"Who", "Unknown", 0}},
    };
    const auto facts = [&](const std::string& song) -> std::optional<SongFacts> {
        const auto found = library.find(song);
        return found == library.end() ? std::nullopt : std::optional(found->second);
    };
    // A song is being sung for another 100 s: the first waits for it and the changeover.
    const std::vector<QueueRow> rows = queueRows(queue, facts, 100'000, ben);
    ASSERT_EQ(rows.size(), 4u);
    // Ben's duet is Ann's second turn, so her song that left the library comes last; it is
    // shown, and takes no time.
    const std::tuple<const char*, std::vector<std::string>, std::int64_t, bool, bool> expected[] = {
        {"Long", {"Ann"}, 130'000, false, false},
        {"Duet", {"Ben", "Ann"}, 400'000, true, false},
        {"Unknown", {"Ben", "Cleo"}, 610'000, true, false},
        {"", {"Ann"}, 850'000, false, true}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& [title, singers, startsIn, mine, gone] = expected[i];
        EXPECT_EQ(rows[i].title, title) << i;
        EXPECT_EQ(rows[i].singers, singers) << i;
        EXPECT_EQ(rows[i].startsInMs, startsIn) << i;
        EXPECT_EQ(rows[i].mine, mine) << i;
        EXPECT_EQ(rows[i].gone, gone) << i;
    }
    // With nothing being sung the first starts now.
    EXPECT_EQ(queueRows(queue, facts, 0, std::nullopt).front().startsInMs, 0);
    EXPECT_EQ(nextNotice(rows.front()), "You're next: Long \xE2\x80\x94 get ready");
}

TEST(QueueViewTest, AMedleyIsOneRowOfItsSongsStillInTheLibraryWithAPart) {
    PartyQueue queue;
    const GuestId ann = *queue.join("Ann", 0), ben = *queue.join("Ben", 1);
    const QueuedMedley four{{"a.txt", "gone.txt", "b.txt", "c.txt"}, "random"};
    const QueuedMedley withTooFew{{"a.txt", "no part.txt", "gone.txt"}, "marked"};
    ASSERT_EQ(queue.add({.guest = ann, .songId = {}, .medley = four}, 2).answer,
              QueueAnswer::Accepted);
    ASSERT_EQ(queue.add({.guest = ben, .songId = {}, .medley = withTooFew}, 3).answer,
              QueueAnswer::Accepted);
    queue.add({ann, "b.txt"}, 4);
    const std::map<std::string, SongFacts> library = {
        {"a.txt", {"A", "Alpha", 200'000, 20'000}},
        {"b.txt", {"B", "Beta", 180'000, 30'000}},
        {"c.txt", {"C", "Gamma", 0, 16'000}},
        {"no part.txt", {"N", "None", 150'000, 0}},
    };
    const auto facts = [&](const std::string& song) -> std::optional<SongFacts> {
        const auto found = library.find(song);
        return found == library.end() ? std::nullopt : std::optional(found->second);
    };
    const std::vector<QueueRow> rows = queueRows(queue, facts, 0, std::nullopt);
    ASSERT_EQ(rows.size(), 3u);
    // Three parts with their 4 s lead-ins and the last fade: 66 + 12 + 2 s.
    EXPECT_EQ(rows[0].title, "Medley \xC2\xB7 4 songs \xC2\xB7 random");
    EXPECT_EQ(rows[0].artist, "Alpha, Beta, Gamma");
    EXPECT_FALSE(rows[0].gone);
    EXPECT_EQ(rows[1].startsInMs, 80'000 + kChangeoverMs);
    // Only one song with a part is left of Ben's: it will be skipped, and takes no time.
    EXPECT_TRUE(rows[1].gone);
    EXPECT_EQ(rows[2].startsInMs, rows[1].startsInMs);
    EXPECT_EQ(nextNotice(rows[0]),
              "You're next: Medley \xC2\xB7 4 songs \xC2\xB7 random \xE2\x80\x94 get ready");
}

} // namespace
} // namespace cantorix::party
