// The seats phones hold: claims, refusals, dropouts kept through a session or a grace time, the
// token that gives a seat back, and what stays true whatever guests do.

#include "phones/phone_seats.h"

#include <gtest/gtest.h>
#include <random>
#include <set>

using namespace cantorix::phones;
using namespace std::chrono_literals;

namespace {

class PhoneSeatsTest : public ::testing::Test {
protected:
    // What a claim gave: "3 t1" (a new seat), "3 t1 back" (taken back), "… from 7" (the
    // connection 7 lost it), or the refusal.
    std::string claim(PhoneId phone, std::size_t slot, std::string_view token = "") {
        const auto result = seats.claim(phone, slot, "Guest", token, start);
        if (const auto* refusal = std::get_if<std::string>(&result))
            return *refusal;
        const SeatTaken& taken = std::get<SeatTaken>(result);
        std::string said = std::to_string(taken.seat.slot) + " " + taken.seat.resumeToken;
        if (taken.resumed)
            said += " back";
        if (taken.displaced)
            said += " from " + std::to_string(*taken.displaced);
        EXPECT_EQ(seats.slotOf(phone), taken.seat.slot);
        return said;
    }

    int tokens = 0;
    PhoneSeats seats{[this] { return "t" + std::to_string(++tokens); }};
    const PhoneSeats::Clock::time_point start{};
};

} // namespace

TEST_F(PhoneSeatsTest, ClaimsFollowTheRules) {
    EXPECT_EQ(claim(1, 3), "3 t1");
    EXPECT_EQ(claim(2, 3), "Slot 3 is taken: scan the code of another slot.");
    EXPECT_EQ(claim(2, 0), "That code names no singer slot.");
    EXPECT_EQ(claim(2, 9), "That code names no singer slot.");
    EXPECT_EQ(claim(2, 4, "t1x"), "4 t2"); // a wrong token is a first join
    EXPECT_EQ(claim(2, 4), "4 t2 back");   // the same connection asking again
    seats.dropped(1, start);
    EXPECT_EQ(claim(3, 3), "Slot 3 is taken: scan the code of another slot.");
    EXPECT_EQ(claim(3, 3, "t1"), "3 t1 back");
    EXPECT_EQ(claim(4, 3, "t1"), "3 t1 back from 3"); // back before the old socket closed
    EXPECT_EQ(seats.slotOf(3), std::nullopt);
    EXPECT_EQ(claim(5, 6, "t1"), "6 t3 from 4"); // the guest moves to another slot
    EXPECT_FALSE(seats.seat(3));
    for (PhoneId phone = 10; phone < 18; ++phone)
        claim(phone, phone - 9);
    EXPECT_EQ(seats.held(), kPhoneSlots);
    EXPECT_EQ(claim(20, 2), "The game is full: eight phones sing already.");
    EXPECT_EQ(claim(2, 6), "Slot 6 is taken: scan the code of another slot.");
}

// A slot the host holds (a microphone or a player of theirs) is refused to every phone with the
// host's reason, but a seat a phone held there before keeps coming back with its token.
TEST_F(PhoneSeatsTest, TheHostsSlotsAreRefusedWithTheirReason) {
    EXPECT_EQ(claim(1, 2), "2 t1");
    seats.reserve(1, "Slot 1 is Anna's.");
    seats.reserve(2, "Slot 2 is Ben's.");
    EXPECT_EQ(claim(3, 1), "Slot 1 is Anna's.");
    EXPECT_EQ(claim(3, 1, "t1"), "Slot 1 is Anna's."); // a token of another slot opens no door
    seats.dropped(1, start);
    EXPECT_EQ(claim(4, 2, "t1"), "2 t1 back");
    EXPECT_EQ(claim(5, 2), "Slot 2 is Ben's.");
    seats.left(4);
    EXPECT_EQ(claim(5, 2), "Slot 2 is Ben's.");
    EXPECT_EQ(claim(4, 2, "t1"), "Slot 2 is Ben's."); // left: the token is spent
    seats.reserve(1, "");
    EXPECT_EQ(claim(5, 1), "1 t2");
}

// The host frees a slot: whoever held it is named for closing, its token opens nothing after,
// and the slot is offered to phones again unless the host keeps it.
TEST_F(PhoneSeatsTest, TheHostFreesASlotAndItsTokenWithIt) {
    EXPECT_EQ(claim(1, 3), "3 t1");
    EXPECT_EQ(claim(2, 4), "4 t2");
    seats.dropped(2, start);
    std::string offered;
    for (std::size_t slot = 1; slot <= kPhoneSlots; ++slot)
        offered += seats.isFree(slot) ? std::to_string(slot) : "";
    EXPECT_EQ(offered, "125678");
    EXPECT_EQ(seats.release(3), PhoneId{1});
    EXPECT_EQ(seats.release(4), std::nullopt); // dropped out: nobody to close
    EXPECT_EQ(seats.release(5), std::nullopt);
    EXPECT_EQ(seats.release(0), std::nullopt);
    EXPECT_TRUE(seats.isFree(3));
    EXPECT_TRUE(seats.isFree(4));
    EXPECT_FALSE(seats.isFree(9));
    EXPECT_EQ(claim(3, 3, "t1"), "3 t3"); // the old token is no seat: a first join
    seats.reserve(4, "Slot 4 is Anna's.");
    EXPECT_FALSE(seats.isFree(4));
}

TEST_F(PhoneSeatsTest, DroppedSeatsWaitForTheSessionsEndOrTheGraceTime) {
    claim(1, 1);
    claim(2, 2);
    claim(3, 3);
    seats.dropped(1, start);
    seats.dropped(99, start);
    EXPECT_FALSE(seats.expire(start + kDroppedSeatGrace));
    EXPECT_TRUE(seats.expire(start + kDroppedSeatGrace + 1ms));
    EXPECT_FALSE(seats.seat(1));
    seats.sessionStarted();
    seats.dropped(2, start);
    EXPECT_FALSE(seats.expire(start + 1h));
    EXPECT_TRUE(seats.seat(2));
    EXPECT_TRUE(seats.seat(2)->droppedDuringSession);
    seats.sessionEnded();
    EXPECT_FALSE(seats.seat(2));
    seats.left(3);
    EXPECT_EQ(seats.held(), 0u);
}

TEST(PhoneSeatsSecretTest, ComparesWholeTexts) {
    const std::tuple<std::string, std::string, bool> cases[] = {
        {"abc", "abc", true}, {"abc", "abd", false}, {"abc", "abcd", false},
        {"", "", true},       {"", "a", false},      {std::string("a\0", 2), "a", false}};
    for (const auto& [a, b, same] : cases) {
        EXPECT_EQ(sameSecret(a, b), same) << a << " / " << b;
        EXPECT_EQ(sameSecret(b, a), same) << b << " / " << a;
    }
}

// Random guests claim, drop, leave and come back: a seat sits in its own slot with a token of
// its own, and a connection holds one seat at most.
TEST_F(PhoneSeatsTest, SeatsStayConsistentWhateverGuestsDo) {
    std::mt19937 random(11);
    std::vector<std::string> known{""};
    auto now = start;
    for (int step = 0; step < 5000; ++step) {
        const PhoneId phone = random() % 12;
        now += std::chrono::seconds(random() % 20);
        switch (random() % 6) {
        case 0:
        case 1: {
            const auto result =
                seats.claim(phone, random() % 10, "G", known[random() % known.size()], now);
            if (const auto* taken = std::get_if<SeatTaken>(&result))
                known.push_back(taken->seat.resumeToken);
            break;
        }
        case 2:
            seats.dropped(phone, now);
            break;
        case 3:
            seats.left(phone);
            break;
        case 4:
            seats.expire(now);
            break;
        default:
            random() % 2 ? seats.sessionStarted() : seats.sessionEnded();
            break;
        }
        std::set<PhoneId> phones;
        std::set<std::string> tokensHeld;
        for (std::size_t slot = 1; slot <= kPhoneSlots; ++slot) {
            if (const auto& seat = seats.seat(slot)) {
                ASSERT_EQ(seat->slot, slot);
                ASSERT_TRUE(tokensHeld.insert(seat->resumeToken).second);
                if (seat->phone) {
                    ASSERT_TRUE(phones.insert(*seat->phone).second) << "step " << step;
                }
            }
        }
    }
}
