// A duet sung by two in the real main window, one of whose microphones is pulled out mid-song:
// each voice gets its band, the unplugged singer's row says "microphone lost" and they sit out,
// the other sings on, and both are on the score page when the song ends.

#include "fakes/fake_phone_hall.h"
#include "fakes/fake_sound_inputs.h"
#include "game_window_fixture.h"
#include "stage/singer_scores.h"

namespace {

using namespace cantorix;
using cantorix::testing::waitUntil;

const char* const kDuet = "Cantorix - Two Lighthouses";
const session::InputAddress kLeft{"USB", 0}, kRight{"USB", 1};

bool showsText(const scene::TGLBaseSceneObject& column, const std::string& text) {
    for (int i = 0; i < column.count(); ++i)
        if (const auto* label = dynamic_cast<const scene::TGLHUDText*>(&column.child(i)))
            if (label->visible() && label->text() == text)
                return true;
    return false;
}

class SingingTogetherWindowTest : public cantorix::testing::SingingWindowTest {
protected:
    app::testing::FakeSoundInputs m_inputs;
};

TEST_F(SingingTogetherWindowTest, AnUnpluggedMicrophoneSitsOutItsSingerAndTheOtherSingsOn) {
    if (!std::filesystem::exists(std::filesystem::path(CANTORIX_PROGRAM_DIR) / "songs" / kDuet))
        GTEST_SKIP() << "the demo songs have not been built";
    m_root = cantorix::testing::makeProgramRoot("cantorix-together", {kDuet});
    m_inputs.plugIn(kLeft, "Receiver — left");
    m_inputs.plugIn(kRight, "Receiver — right");
    app::AppServices services = this->services();
    services.inputs = &m_inputs;
    ASSERT_TRUE(showWindow(services));
    app::SingerRoster& roster = m_form->singers().roster();
    roster.slot(0).input = kLeft;
    roster.slot(1).input = kRight;
    ASSERT_TRUE(waitUntil([&] { return m_game->selection.title->text() == "Two Lighthouses"; }));

    click(*m_game->selection.startButton);
    ASSERT_TRUE(m_game->singing.group->visible());
    const app::SingingBand& second = m_game->singing.bands[1];
    EXPECT_TRUE(second.staff->parent()->visible()) << "a band for each voice sung";
    ASSERT_EQ(m_form->session().party().members().size(), 2u);
    EXPECT_EQ(m_form->session().party().members()[1].voice, 1u);

    ASSERT_TRUE(waitUntil([&] { return m_player.position() >= 1500; }));
    m_inputs.unplug(kRight);
    EXPECT_TRUE(waitUntil([&] { return showsText(*second.singerScores, stage::kMicrophoneLost); }));
    EXPECT_FALSE(showsText(*m_game->singing.bands[0].singerScores, stage::kMicrophoneLost));
    // The other singer goes on: their trail and loop keep running to the end of the song.
    ASSERT_TRUE(waitUntil([&] { return m_player.position() >= 2500; }));
    EXPECT_FALSE(m_form->session().party().members()[0].lost);

    m_form->session().endSession();
    ASSERT_TRUE(m_game->scorePage.group->visible());
    const std::vector<app::SingerOutcome>& outcomes = m_form->session().outcomes();
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_FALSE(outcomes[0].lost);
    EXPECT_TRUE(outcomes[1].lost);
    // The inputs were let go: the unplugged receiver channel leaves the list at the next listing.
    m_inputs.relist();
    EXPECT_EQ(m_inputs.inputs().size(), 1u);
}

// A phone singer whose phone drops out is "phone gone" beside the stage and "back" when it
// returns, while the singer beside them sings on.
TEST_F(SingingTogetherWindowTest, APhoneThatDropsOutIsGoneOnStageAndBackWhenItReturns) {
    if (!std::filesystem::exists(std::filesystem::path(CANTORIX_PROGRAM_DIR) / "songs" / kDuet))
        GTEST_SKIP() << "the demo songs have not been built";
    m_root = cantorix::testing::makeProgramRoot("cantorix-phone-gone", {kDuet});
    app::testing::FakePhoneHall hall;
    m_inputs.plugIn(kLeft, "Receiver — left");
    m_inputs.plugIn(app::phoneInputAddress(2), "Pia's phone");
    app::AppServices services = this->services();
    services.inputs = &m_inputs;
    services.phones = &hall;
    ASSERT_TRUE(showWindow(services));
    m_form->singers().roster().slot(0).input = kLeft;
    hall.seat({{2, "Pia", true}});
    ASSERT_TRUE(waitUntil([&] { return m_game->selection.title->text() == "Two Lighthouses"; }));
    // Once the scan is done the phones have the song book of what can be sung.
    ASSERT_TRUE(waitUntil([&] { return hall.songBook() && hall.songBook()->size() == 1; }));
    EXPECT_EQ(hall.songBook()->search("lighthouses", 0).songs.front()->title, "Two Lighthouses");

    click(*m_game->selection.startButton);
    ASSERT_EQ(m_form->session().party().members().size(), 2u);
    const auto& scores = *m_game->singing.bands[0].singerScores;
    const auto& second = *m_game->singing.bands[1].singerScores;
    const auto shows = [&](const char* text) {
        return showsText(scores, text) || showsText(second, text);
    };
    ASSERT_TRUE(waitUntil([&] { return m_player.position() >= 300; }));
    EXPECT_FALSE(shows(stage::kPhoneGone));
    hall.seat({{2, "Pia", false}});
    EXPECT_TRUE(waitUntil([&] { return shows(stage::kPhoneGone); }));
    hall.seat({{2, "Pia", true}});
    EXPECT_TRUE(waitUntil([&] { return shows(stage::kPhoneBack); }));
    EXPECT_FALSE(shows(stage::kPhoneGone));
    m_form->session().endSession();
}

// A song started with nobody bound to sing plays all the same and says it is not scored.
TEST_F(SingingTogetherWindowTest, ASongWithoutABoundSingerSaysItIsNotScored) {
    if (!std::filesystem::exists(std::filesystem::path(CANTORIX_PROGRAM_DIR) / "songs" / kDuet))
        GTEST_SKIP() << "the demo songs have not been built";
    m_root = cantorix::testing::makeProgramRoot("cantorix-no-singer", {kDuet});
    app::AppServices services = this->services();
    services.inputs = &m_inputs;
    ASSERT_TRUE(showWindow(services));
    ASSERT_TRUE(waitUntil([&] { return m_game->selection.title->text() == "Two Lighthouses"; }));
    click(*m_game->selection.startButton);
    ASSERT_TRUE(m_game->singing.group->visible());
    ASSERT_TRUE(m_form->session().party().members().empty());
    EXPECT_TRUE(showsText(*m_game->singing.bands[0].singerScores, stage::kNotScored));
    m_form->viewer()->update();
    QTest::qWait(100);
    m_form->viewer()->grabFramebuffer().save("/tmp/cantorix-not-scored.png");
    m_form->session().endSession();
}

} // namespace
