#include "party/party_queue.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <random>

namespace cantorix::party {
namespace {

std::vector<std::string> songsInOrder(const PartyQueue& queue) {
    std::vector<std::string> songs;
    for (const EntryId id : queue.order())
        songs.push_back(queue.entry(id)->songId);
    return songs;
}

TEST(PartyQueueTest, EachRoundEveryoneSingsOnceLongestWaitingFirst) {
    PartyQueue queue;
    const GuestId ann = *queue.join("Ann", 0), ben = *queue.join("Ben", 1),
                  cyd = *queue.join("Cyd", 2);
    for (const auto& [guest, song] : std::vector<std::pair<GuestId, std::string>>{
             {ann, "a1"}, {ann, "a2"}, {ann, "a3"}, {ben, "b1"}, {cyd, "c1"}, {cyd, "c2"}})
        ASSERT_EQ(queue.add({guest, song}, 10).answer, QueueAnswer::Accepted) << song;
    EXPECT_EQ(songsInOrder(queue), (std::vector<std::string>{"a1", "b1", "c1", "a2", "c2", "a3"}));

    // Ann sings; Dee, who joins now and has never sung, goes before Ann's second song but after
    // those who waited longer than her.
    EXPECT_EQ(queue.takeNext(100)->songId, "a1");
    const GuestId dee = *queue.join("Dee", 101);
    ASSERT_EQ(queue.add({dee, "d1"}, 102).answer, QueueAnswer::Accepted);
    EXPECT_EQ(songsInOrder(queue), (std::vector<std::string>{"b1", "c1", "d1", "a2", "c2", "a3"}));

    // A duet is a turn for both: Ben's duet with Cyd is her second turn, so her own second song
    // waits a round more.
    EXPECT_EQ(queue.takeNext(200)->songId, "b1");
    ASSERT_EQ(queue.add({ben, "b2", cyd}, 201).answer, QueueAnswer::Accepted);
    EXPECT_EQ(songsInOrder(queue), (std::vector<std::string>{"c1", "d1", "a2", "b2", "a3", "c2"}));
    // A guest's own song goes after their next one.
    ASSERT_EQ(queue.moveLater(queue.order()[2], ann), QueueAnswer::Accepted);
    EXPECT_EQ(songsInOrder(queue), (std::vector<std::string>{"c1", "d1", "a3", "b2", "a2", "c2"}));

    // First come, first served when the rotation is off.
    queue.settings().rotation = false;
    EXPECT_EQ(songsInOrder(queue), (std::vector<std::string>{"a3", "a2", "c1", "c2", "d1", "b2"}));
}

TEST(PartyQueueTest, RequestsAreCheckedAndRefusedWithTheirReasons) {
    PartyQueue queue;
    const GuestId ann = *queue.join("  Ann \x01 ", 0), ben = *queue.join("Ben", 0);
    EXPECT_EQ(queue.guest(ann)->name, "Ann");
    EXPECT_FALSE(queue.join(" \t\x7f ", 0)) << "nothing left of the name";
    ASSERT_EQ(queue.add({ann, "s1"}, 0).answer, QueueAnswer::Accepted);
    const std::tuple<const char*, PartyQueue::SongRequest, std::optional<std::int64_t>, QueueAnswer>
        rows[] = {
            {"a guest who left", {99, "x"}, std::nullopt, QueueAnswer::UnknownGuest},
            {"oneself as partner", {ann, "x", ann}, std::nullopt, QueueAnswer::UnknownPartner},
            {"a partner not in line", {ann, "x", 42}, std::nullopt, QueueAnswer::UnknownPartner},
            {"a song already waiting", {ben, "s1"}, std::nullopt, QueueAnswer::AlreadyWaiting},
            {"sung 59 minutes ago", {ben, "x"}, 1000 - 59 * 60, QueueAnswer::SungRecently},
            {"sung an hour ago", {ben, "y"}, 1000 - 60 * 60, QueueAnswer::Accepted},
            {"a medley of no songs",
             {ben, "", std::nullopt, "", std::nullopt, QueuedMedley{}},
             std::nullopt,
             QueueAnswer::UnknownEntry},
            // A medley is no song: its songs may wait or have been sung on their own.
            {"a medley of waiting songs",
             {ben, "", std::nullopt, "", std::nullopt, QueuedMedley{{"s1", "x"}, "random"}},
             1000 - 60,
             QueueAnswer::Accepted},
        };
    for (const auto& [name, request, lastSung, answer] : rows)
        EXPECT_EQ(queue.add(request, 1000, lastSung).answer, answer) << name;
    EXPECT_EQ(queue.waitingOf(ben), 2) << "a song and a medley";
    queue.settings().allowSungRecently = true;
    EXPECT_EQ(queue.add({ben, "x"}, 1000, 999).answer, QueueAnswer::Accepted);
    EXPECT_EQ(queue.add({ben, "z"}, 1000).answer, QueueAnswer::TooManyWaiting)
        << "a medley is one of the guest's three";

    // At most three waiting a guest (the host may change it), 200 in all.
    for (const std::string song : {"s2", "s3"})
        ASSERT_EQ(queue.add({ann, song}, 0).answer, QueueAnswer::Accepted);
    EXPECT_EQ(queue.add({ann, "s4"}, 0).answer, QueueAnswer::TooManyWaiting);
    EXPECT_EQ(answerText(QueueAnswer::TooManyWaiting, 3), "You already have 3 songs waiting.");
    queue.settings().mostWaitingPerGuest = 1000;
    for (int i = 0; queue.entries().size() < PartyQueue::kMostEntries; ++i)
        ASSERT_EQ(queue.add({ann, "n" + std::to_string(i)}, 0).answer, QueueAnswer::Accepted);
    EXPECT_EQ(queue.add({ben, "one more"}, 0).answer, QueueAnswer::QueueFull);

    // A guest takes out only their own songs; the host any.
    const EntryId annsFirst = queue.order().front();
    EXPECT_EQ(queue.remove(annsFirst, ben), QueueAnswer::NotYours);
    EXPECT_EQ(queue.remove(annsFirst), QueueAnswer::Accepted);
    EXPECT_EQ(queue.remove(annsFirst), QueueAnswer::UnknownEntry);
    // A guest who leaves takes their songs along; a duet they were the partner of keeps their
    // name.
    queue.clear();
    ASSERT_EQ(queue.add({ann, "duet", ben}, 0).answer, QueueAnswer::Accepted);
    ASSERT_EQ(queue.add({ben, "solo"}, 0).answer, QueueAnswer::Accepted);
    EXPECT_EQ(queue.removeGuest(ben), QueueAnswer::Accepted);
    ASSERT_EQ(songsInOrder(queue), std::vector<std::string>{"duet"});
    EXPECT_EQ(queue.entries().front().partnerName, "Ben");
    EXPECT_FALSE(queue.entries().front().partner);
}

// How many turns (own songs and duets) each guest has before each entry of the order, for the
// entry's owner: in a fair rotation it never goes down along the queue.
std::vector<int> ownersTurns(const PartyQueue& queue) {
    std::map<GuestId, int> turns;
    std::vector<int> out;
    for (const EntryId id : queue.order()) {
        const QueueEntry& e = *queue.entry(id);
        out.push_back(turns[e.owner]++);
        if (e.partner)
            ++turns[*e.partner];
    }
    return out;
}

// Evenings of many guests joining, adding solos and duets, taking songs out, singing and
// leaving, in random order.
TEST(PartyQueueTest, GeneratedEveningsStayFairAndHostMovesStandWhereTheHostPutThem) {
    std::mt19937 random(20261210);
    for (int evening = 0; evening < 300; ++evening) {
        PartyQueue queue;
        queue.settings().mostWaitingPerGuest = 1 + static_cast<int>(random() % 4);
        const bool hostMoves = evening % 2 == 1;
        std::vector<GuestId> guests;
        int song = 0;
        for (std::int64_t now = 0; now < 200; ++now) {
            const unsigned roll = random() % 100;
            if (roll < 15 || guests.empty()) {
                guests.push_back(*queue.join("Guest " + std::to_string(now), now));
            } else if (roll < 60) {
                const GuestId guest = guests[random() % guests.size()];
                std::optional<GuestId> partner;
                if (random() % 4 == 0) {
                    partner = guests[random() % guests.size()];
                    if (*partner == guest)
                        partner.reset();
                }
                const auto before = queue.order();
                const auto added =
                    queue.add({guest, "song " + std::to_string(song++), partner}, now);
                if (added.answer == QueueAnswer::Accepted && !queue.hostOrder().empty()) {
                    // Into the host's list an addition only goes in between.
                    auto after = queue.order();
                    std::erase(after, added.entry);
                    ASSERT_EQ(after, before) << "evening " << evening;
                }
            } else if (roll < 70 && !queue.entries().empty()) {
                const auto& entries = queue.entries();
                queue.remove(entries[random() % entries.size()].id);
            } else if (roll < 85) {
                queue.takeNext(now);
            } else if (roll < 90 && guests.size() > 1) {
                const std::size_t leaving = random() % guests.size();
                queue.removeGuest(guests[leaving]);
                guests.erase(guests.begin() + static_cast<std::ptrdiff_t>(leaving));
            } else if (hostMoves && !queue.entries().empty()) {
                const auto before = queue.order();
                const EntryId moved = before[random() % before.size()];
                const std::size_t place = random() % before.size();
                ASSERT_EQ(queue.hostMove(moved, place), QueueAnswer::Accepted);
                auto after = queue.order();
                ASSERT_EQ(after[place], moved) << "evening " << evening;
                std::erase(after, moved);
                auto others = before;
                std::erase(others, moved);
                ASSERT_EQ(after, others) << "evening " << evening;
            }
            if (queue.hostOrder().empty()) {
                const std::vector<int> turns = ownersTurns(queue);
                ASSERT_TRUE(std::is_sorted(turns.begin(), turns.end()))
                    << "evening " << evening << " at " << now << ": "
                    << ::testing::PrintToString(turns);
            }
            ASSERT_EQ(queue.order().size(), queue.entries().size());
        }
    }
}

TEST(PartyQueueTest, ASkippedSongGoesBackOncePlayNextHoldsAndAKeptQueueComesBack) {
    PartyQueue queue;
    const GuestId ann = *queue.join("Ann", 0), ben = *queue.join("Ben", 1);
    for (const auto& [guest, song] : std::vector<std::pair<GuestId, std::string>>{
             {ann, "a1"}, {ben, "b1"}, {ann, "a2"}, {ben, "b2"}})
        queue.add({guest, song}, 2);
    const EntryId b2 = queue.order()[3];
    ASSERT_EQ(queue.hostMove(b2, 0), QueueAnswer::Accepted) << "play next";
    // A newcomer who never sang goes where the rotation puts her, but not before the host's pick.
    const GuestId cyd = *queue.join("Cyd", 3);
    queue.add({cyd, "c1"}, 3);
    EXPECT_EQ(songsInOrder(queue), (std::vector<std::string>{"b2", "a1", "b1", "c1", "a2"}));

    EXPECT_TRUE(queue.skip(b2));
    EXPECT_EQ(songsInOrder(queue), (std::vector<std::string>{"a1", "b2", "b1", "c1", "a2"}));
    EXPECT_FALSE(queue.skip(b2)) << "skipped twice, it leaves";
    EXPECT_EQ(queue.entry(b2), nullptr);

    PartyQueue kept;
    kept.restore(queue.kept());
    EXPECT_EQ(kept.kept(), queue.kept());
    EXPECT_EQ(songsInOrder(kept), songsInOrder(queue));
    EXPECT_GT(*kept.join("Dee", 4), cyd) << "new ids follow the kept ones";

    // Once the host's entries are sung, the rotation orders the queue again.
    while (queue.takeNext(10))
        ;
    EXPECT_TRUE(queue.hostOrder().empty());
    queue.settings().paused = true;
    queue.add({ann, "a3"}, 11);
    EXPECT_FALSE(queue.takeNext(12)) << "paused";
}

} // namespace
} // namespace cantorix::party
