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

} // namespace
} // namespace cantorix::party
