// The singers screen in the real main window: reached with F2, a slot bound by singing into one
// of two inputs, the same sound on both inputs pointed out, a name typed, a colour clicked, and
// everything found in Score.ini after Escape; without any input both screens say so.

#include "fakes/fake_sound_inputs.h"
#include "fakes/file_bytes.h"
#include "game_window_fixture.h"
#include "platform/storage/ini_profile_file.h"

#include <cmath>
#include <numbers>
#include <random>

namespace {

using namespace cantorix;
using cantorix::testing::waitUntil;
namespace fs = std::filesystem;

constexpr std::size_t kTickSamples = 2205;
const session::InputAddress kLeft{"USB", 0}, kRight{"USB", 1};

class SingersWindowTest : public cantorix::testing::GameWindowTest {
protected:
    app::MainWindow& startWithInputs() {
        fs::create_directories(m_root / "config");
        m_ini = std::make_unique<platform::IniProfileFile>(m_root / "config" / "Score.ini");
        app::AppServices services{m_root,         *m_pictures, m_glyphs,   m_clock,
                                  m_player,       *m_covers,   *m_capture, m_recorderInput,
                                  m_captureError, m_ini.get()};
        services.inputs = &m_inputs;
        m_form = std::make_unique<app::MainWindow>(std::move(services));
        m_form->show();
        EXPECT_TRUE(waitUntil([&] { return !m_form->loadingPanel()->isVisible(); }));
        return *m_form;
    }
    void key(Qt::Key k) { QTest::keyClick(m_form->viewer(), k); }
    // One 50 ms tick of sound on each input (amplitude 0: silence), then the screen's step.
    void sing(double leftAmplitude, double rightAmplitude, bool sameSound, int ticks) {
        std::normal_distribution<double> voice(0.0, 1.0);
        for (int t = 0; t < ticks; ++t) {
            std::vector<std::int16_t> left(kTickSamples), right(kTickSamples);
            for (std::size_t i = 0; i < kTickSamples; ++i) {
                const double heard = voice(m_random);
                left[i] = static_cast<std::int16_t>(leftAmplitude * heard);
                right[i] = static_cast<std::int16_t>(rightAmplitude *
                                                     (sameSound ? heard : voice(m_random)));
            }
            m_inputs.hub(kLeft).deliver(left.data(), left.size());
            m_inputs.hub(kRight).deliver(right.data(), right.size());
            m_form->singers().monitorTick();
        }
    }

    app::testing::FakeSoundInputs m_inputs;
    std::unique_ptr<platform::IniProfileFile> m_ini;
    std::mt19937 m_random{11};
};

TEST_F(SingersWindowTest, SlotBoundBySingingNamedAndColouredIsKeptInScoreIni) {
    m_inputs.plugIn(kLeft, "USB Receiver — left");
    m_inputs.plugIn(kRight, "USB Receiver — right");
    app::MainWindow& window = startWithInputs();
    app::GameScene& g = window.game();
    EXPECT_FALSE(g.singers.noMicrophoneLine->visible());
    const int relists = m_inputs.relists;
    key(Qt::Key_F2);
    ASSERT_TRUE(window.singers().shown());
    EXPECT_GT(m_inputs.relists, relists); // a receiver plugged in meanwhile is found
    const app::SingerRowNodes& second = g.singers.rows[1];

    // Keyboard alone: down to the second row, along to its Listen, Enter.
    key(Qt::Key_Down);
    key(Qt::Key_Tab);
    key(Qt::Key_Tab);
    ASSERT_TRUE(second.listen->focused());
    key(Qt::Key_Return);
    EXPECT_EQ(second.listen->caption(), "Stop");
    sing(300, 6000, false, 10); // half a second is not enough
    EXPECT_FALSE(window.singers().roster().slot(1).input);
    sing(300, 6000, false, 12);
    EXPECT_EQ(window.singers().roster().slot(1).input, kRight);
    EXPECT_EQ(second.status->caption(), "Heard: USB Receiver — right");
    EXPECT_EQ(second.input->caption(), "USB Receiver — right");
    EXPECT_FALSE(window.singers().roster().slot(0).input);

    // Calibrate measures the slot it is pressed on, through that slot's input.
    key(Qt::Key_Tab);
    ASSERT_TRUE(second.calibrate->focused());
    key(Qt::Key_Return);
    for (int step = 0; step < 2000 && second.calibrate->caption() != "Calibrate"; ++step)
        window.singers().calibrationStep();
    EXPECT_NEAR(window.singers().roster().slot(1).delayMs, m_inputs.clickDelayMs, 3);
    EXPECT_EQ(window.singers().roster().slot(0).delayMs, 0);

    sing(5000, 5000, true, 45);
    EXPECT_EQ(g.singers.inputsLine->caption(),
              "USB Receiver — left and USB Receiver — right carry the same sound");
    EXPECT_FALSE(second.meter->caption().empty());

    for (int i = 0; i < 3; ++i)
        key(Qt::Key_Left);
    ASSERT_TRUE(second.name->focused());
    key(Qt::Key_End);
    for (int i = 0; i < 8; ++i)
        key(Qt::Key_Backspace);
    QTest::keyClicks(window.viewer(), "Ann");
    // Slot 1's delay, by keyboard, is the options' microphone delay.
    key(Qt::Key_Up);
    for (int i = 0; i < 4; ++i)
        key(Qt::Key_Tab);
    for (int i = 0; i < 3; ++i)
        key(Qt::Key_Right);
    EXPECT_EQ(g.singers.rows[0].delayLabel->caption(), "Delay 15 ms");
    EXPECT_EQ(g.options.sound.micDelay->pos(), 15.0f);
    const scene::RectI colour = g.singers.rows[2].colour->globalRect();
    QTest::mouseClick(window.viewer(), Qt::LeftButton, {},
                      QPoint((colour.left + colour.right) / 2, (colour.top + colour.bottom) / 2));
    key(Qt::Key_Escape);
    EXPECT_FALSE(window.singers().shown());
    EXPECT_TRUE(g.selection.form->visible());

    platform::IniProfileFile saved(m_root / "config" / "Score.ini");
    EXPECT_EQ(saved.readString("Singers", "Slot2Input", ""), "USB:1");
    EXPECT_EQ(saved.readString("Singers", "Slot2Name", ""), "Ann");
    EXPECT_EQ(saved.readString("Singers", "Slot3Colour", ""),
              std::to_string(app::singerPalette()[3]));
    EXPECT_EQ(saved.readString("Singers", "Slot1Input", ""), "none");
    EXPECT_EQ(saved.readString("Singers", "Slot1Delay", ""), "15");
}

TEST_F(SingersWindowTest, WithoutAnyInputBothScreensSayNoMicrophone) {
    app::MainWindow& window = startWithInputs();
    app::GameScene& g = window.game();
    EXPECT_TRUE(g.singers.noMicrophoneLine->visible());
    EXPECT_EQ(g.singers.noMicrophoneLine->caption(), "no microphone");
    QTest::mouseClick(window.viewer(), Qt::LeftButton, {},
                      QPoint(g.singers.selectionButton->globalRect().left + 20,
                             g.singers.selectionButton->globalRect().top + 10));
    ASSERT_TRUE(waitUntil([&] { return window.singers().shown(); }));
    EXPECT_EQ(g.singers.inputsLine->caption(), "no microphone");
    // Binding by singing with nothing to hear says so instead of waiting for ever.
    scene::TGLButton::NotifyEvent(g.singers.rows[0].listen->onButtonClick)(
        *g.singers.rows[0].listen);
    EXPECT_EQ(g.singers.rows[0].status->caption(), "no microphone");
    EXPECT_EQ(g.singers.rows[0].input->caption(), "none");
    // Back by keyboard: up from the first row, Enter; the song behind is not started.
    key(Qt::Key_Up);
    ASSERT_TRUE(g.singers.backButton->focused());
    key(Qt::Key_Return);
    EXPECT_FALSE(window.singers().shown());
    EXPECT_FALSE(g.singing.group->visible());
}

} // namespace
