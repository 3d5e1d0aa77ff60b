// The Queue screen as the host uses it: its key and button from the song list, the keys and
// buttons that change the queue and the guests, and what its rows then say.

#include "app/queue_screen.h"
#include "fakes/blank_image_loader.h"
#include "fakes/fake_glyph_rasterizer.h"

#include <gtest/gtest.h>

namespace cantorix::app {
namespace {

namespace keys = scene::keys;
constexpr int kPageDown = 34, kKeyG = 'G', kKeyL = 'L', kKeyP = 'P', kKeyT = 'T';

songs::SongSummary song(const std::string& title) {
    songs::SongSummary s;
    s.folder = "/songs/" + title;
    s.songFile = s.folder + "/song.txt";
    s.artist = "Band";
    s.title = title;
    return s;
}

class QueueScreenTest : public ::testing::Test {
protected:
    QueueScreenTest() {
        glyphs.defaultShape.advance = 7;
        party.restore({});
        party.openSongBook(std::make_shared<const party::SongBook>(
            std::vector<songs::SongSummary>{song("Alpha"), song("Beta"), song("Gamma")}, 1));
        ann = *party.addGuest("Ann");
        ben = *party.addGuest("Ben");
        party.addSong(ann, song("Alpha").songFile);
        party.addSong(ben, song("Beta").songFile);
        party.addSong(ann, song("Gamma").songFile);
        screen.show();
    }

    void press(int key) { screen.keyDown(key); }
    void click(scene::TGLButton* button) {
        ASSERT_TRUE(button->visible()) << button->caption();
        button->onButtonClick(*button);
    }
    std::vector<std::string> titles() const {
        std::vector<std::string> out;
        for (const party::QueueRow& row : party.rows())
            out.push_back(row.title);
        return out;
    }

    scene::testing::BlankImageLoader loader;
    scene::testing::FakeGlyphRasterizer glyphs;
    GameScene game{loader, glyphs, "/nowhere"};
    PartyHost party{{.hall = nullptr, .now = [] { return std::int64_t{1000}; }}};
    party::GuestId ann = 0, ben = 0;
    std::optional<std::string> typedName = "Annie";
    int leftCalls = 0;
    QueueScreen screen{{.game = game,
                        .party = party,
                        .players =
                            [] {
                                return std::vector<QueuePlayerChoice>{{7, "Anna"}};
                            },
                        .askName = [this](const std::string&) { return typedName; },
                        .drawCodes = {},
                        .startJukebox = {},
                        .left = [this] { ++leftCalls; }}};
};

TEST_F(QueueScreenTest, TheHostReordersTakesOutAndPausesWithKeysAndButtons) {
    EXPECT_EQ(screen.shownLines(),
              (std::vector<std::string>{"Queue", "3 songs \xC2\xB7 fair rotation",
                                        "> 1 | Alpha \xE2\x80\x93 Band | Ann | next",
                                        "2 | Beta \xE2\x80\x93 Band | Ben | in 4 min",
                                        "3 | Gamma \xE2\x80\x93 Band | Ann | in 8 min"}));
    press(keys::Down);
    press(keys::Down);
    press(keys::Enter); // Gamma is sung next
    EXPECT_EQ(titles(), (std::vector<std::string>{"Gamma", "Alpha", "Beta"}));
    EXPECT_EQ(screen.shownLines().at(2).rfind("> 1 | Gamma", 0), 0u) << "the moved song chosen";
    press(kPageDown);
    EXPECT_EQ(titles(), (std::vector<std::string>{"Alpha", "Gamma", "Beta"}));
    click(game.queue.moveUpButton);
    EXPECT_EQ(titles(), (std::vector<std::string>{"Gamma", "Alpha", "Beta"}));
    press(keys::Delete);
    EXPECT_EQ(titles(), (std::vector<std::string>{"Alpha", "Beta"}));
    press(kKeyP);
    press(kKeyT);
    EXPECT_EQ(
        screen.shownLines().at(1),
        "2 songs \xC2\xB7 fair rotation \xC2\xB7 paused \xC2\xB7 the game sings them in turn");
    EXPECT_EQ(game.queue.pauseButton->caption(), "Resume (P)");
    click(game.queue.perGuestButton);
    EXPECT_EQ(party.queue().settings().mostWaitingPerGuest, 4);
    click(game.queue.sungRecentlyButton);
    click(game.queue.scorePageButton);
    click(game.queue.nextUpButton);
    for (int i = 0; i < 4; ++i)
        click(game.queue.nextUpButton); // round the choices, back to 30 s
    EXPECT_TRUE(party.queue().settings().allowSungRecently);
    EXPECT_EQ(game.queue.scorePageButton->caption(), "Score page: 30 s");
    EXPECT_EQ(game.queue.nextUpButton->caption(), "Next up: 30 s");
    click(game.queue.clearButton);
    EXPECT_EQ(screen.shownLines().at(2),
              "The queue is empty: guests add songs from their phones' song book.");
    press(keys::Escape);
    EXPECT_FALSE(screen.shown());
    EXPECT_EQ(leftCalls, 1);
    EXPECT_TRUE(game.selection.form->visible());
}

TEST_F(QueueScreenTest, TheGuestsPageRenamesLinksAndRemovesGuests) {
    press(kKeyG);
    ASSERT_TRUE(screen.guestsPage());
    EXPECT_FALSE(game.queue.playNextButton->visible());
    EXPECT_EQ(screen.shownLines(),
              (std::vector<std::string>{"Guests", "2 guests", "> 1 | Ann | 2 waiting | guest",
                                        "2 | Ben | 1 waiting | guest"}));
    press(keys::Enter);
    press(kKeyL);
    EXPECT_EQ(screen.shownLines().at(2), "> 1 | Annie | 2 waiting | Anna");
    press(kKeyL);
    EXPECT_FALSE(party.queue().guest(ann)->playerId) << "after the last player: none";
    typedName.reset();
    press(keys::Enter);
    EXPECT_EQ(party.queue().guest(ann)->name, "Annie") << "a cancelled rename changes nothing";
    press(keys::Down);
    click(game.queue.removeGuestButton);
    EXPECT_EQ(screen.shownLines(),
              (std::vector<std::string>{"Guests", "1 guest", "> 1 | Annie | 2 waiting | guest"}));
    EXPECT_EQ(party.queue().entries().size(), 2u) << "Ben's song went with him";
    click(game.queue.guestsButton);
    EXPECT_FALSE(screen.guestsPage());
}

} // namespace
} // namespace cantorix::app
