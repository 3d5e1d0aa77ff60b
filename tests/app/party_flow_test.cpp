// The walk from song to song on a clock of the test's: score page, Next up, the song, and what
// the host's keys and the queue's changes do to it.

#include "app/party_flow.h"

#include <gtest/gtest.h>

namespace cantorix::app {
namespace {

using Clock = std::chrono::steady_clock;
using Stage = PartyFlow::Stage;
using namespace std::chrono_literals;

songs::SongSummary song(const std::string& title) {
    songs::SongSummary s;
    s.folder = "/songs/" + title;
    s.songFile = s.folder + "/song.txt";
    s.artist = "Band";
    s.title = title;
    return s;
}

class PartyFlowTest : public ::testing::Test {
protected:
    PartyFlowTest() {
        party.restore({});
        party.openSongBook(std::make_shared<const party::SongBook>(
            std::vector<songs::SongSummary>{song("Alpha"), song("Beta"), song("Gamma")}, 1));
        const party::GuestId ann = *party.addGuest("Ann"), ben = *party.addGuest("Ben");
        party.addSong(ann, song("Alpha").songFile);
        party.addSong(ben, song("Beta").songFile);
        party.setTakeFromQueue(true);
    }

    std::string shownTitle() const {
        return flow.entry() ? party.songOf(*flow.entry())->title : "";
    }
    void pass(std::chrono::milliseconds time) {
        now += time;
        flow.tick();
    }

    Clock::time_point now{};
    PartyHost party{{.hall = nullptr, .now = [] { return std::int64_t{1000}; }}};
    bool idle = true;
    bool startWorks = true;
    int scorePagesLeft = 0, nextUpsHidden = 0;
    std::vector<std::string> shown, started;
    std::vector<int> countdowns;
    PartyFlow flow{
        party,
        {.idle = [this] { return idle; },
         .leaveScorePage = [this] { ++scorePagesLeft; },
         .showNextUp =
             [this](const party::QueueEntry& e) { shown.push_back(party.songOf(e)->title); },
         .showCountdown = [this](int seconds) { countdowns.push_back(seconds); },
         .hideNextUp = [this] { ++nextUpsHidden; },
         .start =
             [this](const party::QueueEntry& e) {
                 started.push_back(party.songOf(e)->title);
                 flow.sessionStarted(); // as the window's session tells it
                 return startWorks;
             }},
        [this] { return now; }};
};

TEST_F(PartyFlowTest, TheScorePageStaysItsSecondsThenNextUpCountsDownToTheSong) {
    idle = false;
    flow.scorePageShown();
    EXPECT_EQ(flow.stage(), Stage::ScorePage);
    pass(14900ms);
    EXPECT_EQ(flow.stage(), Stage::ScorePage);
    pass(200ms);
    EXPECT_EQ(scorePagesLeft, 1);
    ASSERT_EQ(flow.stage(), Stage::NextUp);
    EXPECT_EQ(shown, std::vector<std::string>{"Alpha"});
    pass(1000ms);
    pass(1000ms);
    EXPECT_EQ(countdowns, (std::vector<int>{20, 19, 18}));
    // The host puts Beta first meanwhile: Next up follows.
    party.playNext(party.queue().order().back());
    flow.tick();
    EXPECT_EQ(shownTitle(), "Beta");
    pass(18000ms);
    EXPECT_EQ(started, std::vector<std::string>{"Beta"});
    EXPECT_EQ(flow.stage(), Stage::Singing) << "its own start is no song chosen by hand";
    EXPECT_EQ(party.queue().order().size(), 1u) << "the song sung left the queue";
    EXPECT_EQ(party.queue().guest(2)->lastSangAt, 1000);
}

TEST_F(PartyFlowTest, TheHostsKeysSkipStopAndStartAndAHandChosenSongLeavesTheWalk) {
    flow.tick();
    ASSERT_EQ(flow.stage(), Stage::NextUp) << "idle with songs waiting: Next up at once";
    EXPECT_EQ(shownTitle(), "Alpha");
    flow.skip();
    EXPECT_EQ(shownTitle(), "Beta") << "Alpha went back one place";
    flow.stop();
    EXPECT_EQ(flow.stage(), Stage::Waiting);
    EXPECT_EQ(nextUpsHidden, 1);
    pass(60s);
    EXPECT_EQ(flow.stage(), Stage::Waiting) << "stopped until Take songs is turned on again";
    party.setTakeFromQueue(false);
    flow.tick();
    party.setTakeFromQueue(true);
    flow.tick();
    ASSERT_EQ(flow.stage(), Stage::NextUp);
    EXPECT_EQ(shownTitle(), "Beta");
    // A song chosen at the keyboard is sung outside the queue.
    flow.sessionStarted();
    EXPECT_EQ(flow.stage(), Stage::Waiting);
    EXPECT_EQ(party.queue().order().size(), 2u);
    idle = false;
    flow.scorePageShown();
    flow.moveOn(); // a click on the score page
    ASSERT_EQ(flow.stage(), Stage::NextUp);
    flow.moveOn(); // Enter on Next up
    EXPECT_EQ(started, std::vector<std::string>{"Beta"});
}

TEST_F(PartyFlowTest, ASongThatCannotStartIsSkippedAndNothingRunsWithoutSongsOrWhilePaused) {
    startWorks = false;
    flow.tick();
    flow.moveOn();
    EXPECT_EQ(started, std::vector<std::string>{"Alpha"});
    EXPECT_EQ(flow.stage(), Stage::Waiting);
    EXPECT_EQ(party.queue().entry(party.queue().order().at(1))->skips, 1) << "Alpha went back";
    party.setPaused(true);
    pass(60s);
    EXPECT_EQ(flow.stage(), Stage::Waiting);
    party.setPaused(false);
    party.clear();
    flow.scorePageShown();
    EXPECT_EQ(flow.stage(), Stage::Waiting) << "an empty queue leaves the score page as it is";
}

} // namespace
} // namespace cantorix::app
