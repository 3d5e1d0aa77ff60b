// The score page's buttons after a session of one, two, seven and eight singers, in the real main
// window: each of Back, Submit and Save is what a click at its place reaches (no other control
// lies over it), and a click on Submit leads on to the selection.

#include "covered_buttons.h"
#include "fakes/fake_sound_inputs.h"
#include "game_window_fixture.h"

#include <QImage>

namespace {

using namespace cantorix;
using cantorix::testing::coveredButtons;
using cantorix::testing::waitUntil;

const char* const kSong = "Cantorix - Harbour Lights";

session::InputAddress channel(int n) {
    return {"USB", n};
}

class ScorePageButtonsWindowTest : public cantorix::testing::SingingWindowTest {
protected:
    // Seats `count` singers, each on an input of their own, sings a moment and ends the song as a
    // player does, with Escape.
    bool singAndEnd(std::size_t count) {
        app::SingerRoster& roster = m_form->singers().roster();
        for (std::size_t slot = 0; slot < session::kSingerSlots; ++slot)
            roster.slot(slot).input =
                slot < count ? std::optional(channel(static_cast<int>(slot))) : std::nullopt;
        click(*m_game->selection.startButton);
        if (!waitUntil([&] { return m_game->singing.group->visible(); }) ||
            !waitUntil([&] { return m_player.position() >= 600; }))
            return false;
        EXPECT_EQ(coveredButtons(*m_game), std::vector<std::string>{}) << "singing";
        QTest::keyClick(m_form->viewer(), Qt::Key_Escape);
        return waitUntil([&] { return m_game->scorePage.group->visible(); });
    }
    // The control a click at the middle of `button` reaches.
    const scene::TGLBaseControl* reachedAtMiddle(const scene::TGLBaseControl& button) {
        const scene::RectI r = button.globalRect();
        return m_game->scorePage.guiRoot->controlAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    app::testing::FakeSoundInputs m_inputs;
};

TEST_F(ScorePageButtonsWindowTest, EveryButtonTakesItsClickWhateverTheNumberOfSingers) {
    if (!std::filesystem::exists(std::filesystem::path(CANTORIX_PROGRAM_DIR) / "songs" / kSong))
        GTEST_SKIP() << "the demo songs have not been built";
    m_root = cantorix::testing::makeProgramRoot("cantorix-score-buttons", {kSong});
    for (int n = 0; n < static_cast<int>(session::kSingerSlots); ++n)
        m_inputs.plugIn(channel(n), "Receiver " + std::to_string(n + 1));
    app::AppServices services = this->services();
    services.inputs = &m_inputs;
    ASSERT_TRUE(showWindow(services));
    ASSERT_TRUE(waitUntil([&] { return m_game->selection.title->text() == "Harbour Lights"; }));

    for (const std::size_t singers : {1u, 2u, 7u, 8u}) {
        SCOPED_TRACE(std::to_string(singers) + " singers");
        ASSERT_TRUE(singAndEnd(singers));
        ASSERT_EQ(m_form->session().outcomes().size(), singers);
        m_form->viewer()->update();
        QTest::qWait(50);
        m_form->viewer()->grabFramebuffer().save(
            QString("/tmp/cantorix-score-buttons-%1.png").arg(singers));
        const app::ScorePageNodes& page = m_game->scorePage;
        EXPECT_EQ(coveredButtons(*m_game), std::vector<std::string>{});
        for (const scene::TGLButton* button :
             {page.backButton, page.submitButton, page.saveButton}) {
            ASSERT_TRUE(button->guiVisible()) << button->caption();
            EXPECT_EQ(reachedAtMiddle(*button), button) << button->caption();
        }
        if (singers == 1) {
            // The name box holds the seated singer's slot name, as the records do.
            EXPECT_EQ(page.playerName->caption(), "Singer 1");
        }
        click(*page.submitButton);
        ASSERT_TRUE(waitUntil([&] { return m_game->selection.group->visible(); }));
        EXPECT_FALSE(page.group->visible());
    }
}

} // namespace
