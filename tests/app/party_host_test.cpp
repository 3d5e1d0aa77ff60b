#include "app/party_host.h"
#include "fakes/fake_phone_hall.h"

#include <gtest/gtest.h>
#include <ranges>

namespace cantorix::app {
namespace {

using testing::FakePhoneHall;

songs::SongSummary song(const std::string& artist, const std::string& title, bool duet = false) {
    songs::SongSummary s;
    s.folder = "/songs/" + artist + " - " + title;
    s.songFile = s.folder + "/song.txt";
    s.artist = artist;
    s.title = title;
    s.duet = duet;
    return s;
}

class PartyHostTest : public ::testing::Test {
protected:
    PartyHostTest() {
        host.openSongBook(std::make_shared<const party::SongBook>(
            std::vector<songs::SongSummary>{song("ABBA", "Waterloo"), song("Queen", "Bicycle"),
                                            song("Duo", "Together", true)},
            9));
    }

    std::string idOf(const std::string& title) const {
        return host.songBook()->search(title, 0).songs.at(0)->id;
    }
    template <class News> std::vector<News> told(PhoneHall::GuestConnection connection) const {
        std::vector<News> found;
        const auto phone = hall.toldGuests.find(connection);
        if (phone != hall.toldGuests.end())
            for (const party::GuestNews& news : phone->second)
                if (const auto* one = std::get_if<News>(&news))
                    found.push_back(*one);
        return found;
    }
    std::string lastAnswer(PhoneHall::GuestConnection connection) const {
        const auto answers = told<party::GuestAnswer>(connection);
        return answers.empty() ? "" : answers.back().text;
    }
    party::QueueNews lastQueue(PhoneHall::GuestConnection connection) const {
        return told<party::QueueNews>(connection).back();
    }

    FakePhoneHall hall;
    std::int64_t now = 1000;
    int tokens = 0;
    std::vector<party::KeptQueue> kept;
    PartyHost host{{.hall = &hall,
                    .now = [this] { return now; },
                    .newToken = [this] { return "a0" + std::to_string(++tokens); },
                    .keep = [this](const party::KeptQueue& queue) { kept.push_back(queue); },
                    .lastSungAt = {},
                    .drawMedley = [this](std::size_t) { return medleyDraw; }}};
    std::vector<std::string> medleyDraw; // what a medley asked for draws
};

TEST_F(PartyHostTest, AGuestJoinsAddsSongsAndFindsThemAgainFromTheSamePhone) {
    // Phones may speak before the kept queue is read: what they ask waits for it.
    hall.guestSays(1, party::GuestHello{"Ann", "", ""});
    hall.guestSays(1, party::AddSongRequest{idOf("Waterloo"), std::nullopt, "", std::nullopt});
    EXPECT_TRUE(hall.toldGuests.empty());
    party::KeptQueue earlier;
    earlier.guests.push_back({7, "Ben", std::nullopt, 500, std::nullopt, "b07"});
    party::QueueEntry bensSong;
    bensSong.id = 70;
    bensSong.songId = song("Queen", "Bicycle").songFile;
    bensSong.owner = 7;
    earlier.entries.push_back(bensSong);
    host.restore(earlier);

    const auto welcome = told<party::GuestWelcome>(1);
    ASSERT_EQ(welcome.size(), 1u);
    EXPECT_EQ(welcome[0].name, "Ann");
    EXPECT_EQ(welcome[0].token, "a01");
    EXPECT_EQ(lastAnswer(1), "Added: Waterloo");
    ASSERT_EQ(host.queue().entries().size(), 2u) << "Ben's song from before is kept";
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(kept.back(), host.queue().kept()) << "every change is kept";

    // Ben's page opened again on his phone: his song is his.
    hall.guestSays(2, party::GuestHello{"", "b07", ""});
    EXPECT_EQ(told<party::GuestWelcome>(2).at(0).guest, 7);
    const party::QueueNews bens = lastQueue(2);
    ASSERT_EQ(bens.rows.size(), 2u);
    EXPECT_EQ(bens.rows[0].title, "Bicycle") << "Ben waited longer";
    EXPECT_TRUE(bens.rows[0].mine);
    EXPECT_FALSE(bens.rows[1].mine);
    EXPECT_EQ(bens.next, "You're next: Bicycle \xE2\x80\x94 get ready");
    EXPECT_EQ(lastQueue(1).next, "") << "Ann is not next, and sees Ben's change too";

    // Refusals, each with its reason, and nothing changes.
    const std::size_t keptBefore = kept.size();
    const std::pair<party::GuestRequest, std::string> refused[] = {
        {party::AddSongRequest{"0123456789abcdef", {}, "", {}},
         "That song is not in the song book."},
        {party::AddSongRequest{idOf("Waterloo"), {}, "", {}}, "That song is already in the queue."},
        {party::EntryRequest{party::EntryRequest::Kind::Remove, 70}, "That is not your song."},
        {party::HostRequest{party::HostRequest::Action::Clear}, "Only the host can do that."},
    };
    for (const auto& [request, reason] : refused) {
        hall.guestSays(1, request);
        EXPECT_EQ(lastAnswer(1), reason);
    }
    hall.guestSays(3, party::GuestHello{"", "", ""});
    hall.guestSays(3, party::AddSongRequest{idOf("Bicycle"), {}, "", {}});
    EXPECT_EQ(lastAnswer(3), "Type your name first.") << "a phone that only looks";
    EXPECT_EQ(kept.size(), keptBefore);
}

TEST_F(PartyHostTest, TheHostsPhoneMovesSongsAndStartsTheNextOne) {
    host.restore({});
    hall.guestSays(1, party::GuestHello{"Ann", "", ""});
    hall.guestSays(2, party::GuestHello{"Ben", "", ""});
    hall.guestSays(1, party::AddSongRequest{idOf("Waterloo"), {}, "", {}});
    hall.guestSays(2, party::AddSongRequest{idOf("Together"), 1, "", 1});
    const party::EntryId duet = host.queue().order().back();
    EXPECT_EQ(host.queue().entry(duet)->partner, 1) << "Ann is Ben's partner";
    EXPECT_EQ(host.singersOf(*host.queue().entry(duet)), (std::vector<std::string>{"Ben", "Ann"}));

    std::vector<party::HostRequest::Action> flow;
    host.onHostFlow([&](party::HostRequest::Action action) { flow.push_back(action); });
    hall.guestSays(9, party::GuestHello{"", "", "", true});
    hall.guestSays(9, party::HostRequest{party::HostRequest::Action::PlayNext, duet});
    EXPECT_EQ(host.queue().order().front(), duet);
    hall.guestSays(9, party::HostRequest{party::HostRequest::Action::StartNow});
    EXPECT_EQ(flow, std::vector{party::HostRequest::Action::StartNow});
    hall.guestSays(9, party::HostRequest{party::HostRequest::Action::Remove, 999});
    EXPECT_EQ(lastAnswer(9), "That song is no longer in the queue.");
}

TEST_F(PartyHostTest, TheNextSongSkipsWhatLeftTheLibraryAndWhatWasSkippedTwice) {
    // Until the library is known, a kept song is not taken for gone.
    PartyHost starting{{.hall = nullptr, .now = [this] { return now; }}};
    party::KeptQueue kept;
    kept.guests.push_back({1, "Ann", std::nullopt, 500, std::nullopt, ""});
    kept.entries.push_back({});
    kept.entries.back().id = 5;
    kept.entries.back().songId = "/songs/somewhere/song.txt";
    kept.entries.back().owner = 1;
    starting.restore(kept);
    EXPECT_FALSE(starting.nextUp());
    EXPECT_EQ(starting.queue().entries().size(), 1u);

    host.restore({});
    hall.guestSays(1, party::GuestHello{"Ann", "", ""});
    hall.guestSays(1, party::AddSongRequest{idOf("Waterloo"), {}, "", {}});
    hall.guestSays(1, party::AddSongRequest{idOf("Bicycle"), {}, "", {}});
    hall.guestSays(2, party::GuestHello{"Ben", "", ""});
    hall.guestSays(2, party::AddSongRequest{idOf("Together"), {}, "Cleo", {}});

    // Waterloo leaves the library while it waits.
    host.openSongBook(std::make_shared<const party::SongBook>(
        std::vector<songs::SongSummary>{song("Queen", "Bicycle"), song("Duo", "Together", true)},
        9));
    EXPECT_TRUE(host.rows().front().gone);
    std::optional<party::QueueEntry> next = host.nextUp();
    ASSERT_TRUE(next);
    EXPECT_EQ(host.songOf(*next)->title, "Bicycle") << "Ann's first song is gone: her second";
    EXPECT_EQ(lastQueue(1).gone, "A song of yours is no longer in the library.");

    EXPECT_TRUE(host.skip(next->id));
    EXPECT_EQ(host.songOf(*host.nextUp())->title, "Together") << "back one place";
    EXPECT_FALSE(host.skip(host.queue().order().at(1)));
    EXPECT_EQ(lastQueue(1).gone, "\u201cBicycle\u201d was skipped twice and left the queue.");

    const std::optional<party::QueueEntry> taken = host.takeNext();
    ASSERT_TRUE(taken);
    EXPECT_EQ(host.queue().guest(2)->lastSangAt, now) << "the rotation remembers who sang";
    EXPECT_TRUE(host.queue().entries().empty());
    host.setPaused(true);
    hall.guestSays(2, party::AddSongRequest{idOf("Together"), {}, "", {}});
    EXPECT_FALSE(host.nextUp()) << "nothing is taken while paused";
}

TEST_F(PartyHostTest, AQueuedMedleyIsOneEntryAndGoesWhenTooFewOfItsSongsAreLeft) {
    std::vector<songs::SongSummary> library;
    for (const char* title : {"One", "Two", "Three"}) {
        library.push_back(song("Medley", title));
        library.back().medley = {10'000, 30'000, songs::MedleySource::Tags};
    }
    host.openSongBook(std::make_shared<const party::SongBook>(library, 9));
    host.restore({});
    hall.guestSays(1, party::GuestHello{"Ann", "", ""});
    // Asked for from a phone: refused while the library has too few songs with a part.
    medleyDraw = {library[0].songFile, library[1].songFile};
    hall.guestSays(1, party::AddMedleyRequest{5});
    EXPECT_EQ(lastAnswer(1), "There are too few songs with a medley part for a medley.");
    for (const songs::SongSummary& s : library | std::views::drop(2))
        medleyDraw.push_back(s.songFile);
    hall.guestSays(1, party::AddMedleyRequest{3});
    EXPECT_EQ(lastAnswer(1), "Added: Medley \xC2\xB7 3 songs \xC2\xB7 random");
    EXPECT_EQ(lastQueue(1).next,
              "You're next: Medley \xC2\xB7 3 songs \xC2\xB7 random \xE2\x80\x94 get ready");
    ASSERT_TRUE(host.nextUp());

    // One of its songs leaves the library: two are too few for a medley.
    library.pop_back();
    host.openSongBook(std::make_shared<const party::SongBook>(library, 9));
    EXPECT_TRUE(lastQueue(1).rows.at(0).gone);
    EXPECT_FALSE(host.nextUp());
    EXPECT_EQ(lastQueue(1).gone, "Your medley's songs are no longer in the library.");
}

} // namespace
} // namespace cantorix::app
