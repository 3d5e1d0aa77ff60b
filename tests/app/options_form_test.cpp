#include "app/command_line.h"
#include "app/options_form.h"
#include "fakes/blank_image_loader.h"
#include "fakes/fake_glyph_rasterizer.h"
#include "fakes/loopback_click_player.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <map>

using namespace cantorix;
using namespace cantorix::app;

namespace {

TEST(OptionLabelsTest, FollowTheRoundedPosition) {
    EXPECT_EQ(videoSpeedCaption(1.0f), "Video Speed (0-Auto Fps)");
    // Rounded to 1, but not exactly 1: the number, not the automatic rate.
    EXPECT_EQ(videoSpeedCaption(1.5f), "Video Speed (2-Fps)");
    EXPECT_EQ(videoSpeedCaption(1.25f), "Video Speed (1-Fps)");
    EXPECT_EQ(videoSpeedCaption(91.0f), "Video Speed (91-Fps)");
    EXPECT_EQ(videoQualityCaption(1.0f), "Video Quality (Ultra low)");
    EXPECT_EQ(videoQualityCaption(2.5f), "Video Quality (Low)");
    EXPECT_EQ(videoQualityCaption(3.0f), "Video Quality (Medium)");
    EXPECT_EQ(videoQualityCaption(3.5f), "Video Quality (High)");
    EXPECT_EQ(transparencyCaption(8.0f), "Tab Transparenty (18%)");
    EXPECT_EQ(transparencyCaption(2.5f), "Tab Transparenty (12%)");
    EXPECT_EQ(transparencyCaption(90.0f), "Tab Transparenty (100%)");
}

class OptionsFormTest : public ::testing::Test {
protected:
    OptionsFormTest() { game.GLForm2->setVisible(true); }
    // A left click in viewer pixels on the song selection's root.
    void clickAt(int x, int y) {
        game.Root1->mouseDown(scene::TMouseButton::mbLeft, x, y);
        game.Root1->mouseUp(scene::TMouseButton::mbLeft, x, y);
    }
    void click(const TGLBaseControl& control) {
        const RectI r = control.globalRect();
        clickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    // A click on the bar's track behind its knob: one page up.
    void pageUp(const TGLScrollbar& bar) {
        const RectI knob = bar.knobRect();
        clickAt(knob.right + 2, (knob.top + knob.bottom) / 2);
    }
    void showPage(TGLPanel& page) {
        for (TGLPanel* p : {game.Menu1, game.Menu2, game.Menu3})
            p->setVisible(p == &page);
    }

    scene::testing::BlankImageLoader loader;
    scene::testing::FakeGlyphRasterizer glyphs;
    GameScene game{loader, glyphs, "/nowhere"};
};

TEST_F(OptionsFormTest, ControlsSitWhereTheFormPlacesThem) {
    EXPECT_EQ(game.istabs->globalRect(), (RectI{620, 215, 660, 255}));
    EXPECT_EQ(game.GLButton3->globalRect(), (RectI{620, 365, 660, 405}));
    EXPECT_EQ(game.GLScrollbar2->globalRect(), (RectI{420, 525, 660, 555}));
    EXPECT_EQ(game.GLButton4->globalRect(), (RectI{620, 285, 660, 325}));
    EXPECT_EQ(game.GLEdit1->globalRect(), (RectI{420, 375, 660, 405}));
    EXPECT_EQ(game.GLButton11->globalRect(), (RectI{620, 365, 660, 405}));
    EXPECT_EQ(game.GLScrollbar3->globalRect(), (RectI{420, 455, 660, 485}));
    EXPECT_EQ(game.GLLabel14->globalRect().top, 410);
    EXPECT_EQ(game.GLLabel14->caption(), "Tab Transparenty (18%)");
    EXPECT_EQ(game.GLLabel6->caption(), "Video quality");
    EXPECT_EQ(game.GLEdit1->caption(), "Mysong.wav");
    EXPECT_EQ(game.ShowUnplayable->globalRect(), (RectI{620, 505, 660, 545}));
    // Inside its page, so a click reaches it.
    EXPECT_LE(game.ShowUnplayable->globalRect().bottom, game.Menu3->globalRect().bottom);
}

TEST_F(OptionsFormTest, TogglesSwitchBetweenXAndEmpty) {
    click(*game.istabs);
    EXPECT_EQ(game.istabs->caption(), "");
    click(*game.istabs);
    EXPECT_EQ(game.istabs->caption(), "X");
    showPage(*game.Menu2);
    click(*game.GLButton4);
    EXPECT_EQ(game.GLButton4->caption(), "");
    game.GLButton2->setCaption("x"); // anything but "X" counts as off and turns on
    istabsButtonClick(*game.GLButton2);
    EXPECT_EQ(game.GLButton2->caption(), "X");
    // Songs that cannot be played are hidden until the player asks for them.
    showPage(*game.Menu3);
    EXPECT_FALSE(showsUnplayableSongs(game));
    click(*game.ShowUnplayable);
    EXPECT_TRUE(showsUnplayableSongs(game));
    click(*game.ShowUnplayable);
    EXPECT_FALSE(showsUnplayableSongs(game));
}

TEST_F(OptionsFormTest, ScrollbarPagesMoveTheLabels) {
    pageUp(*game.GLScrollbar2);
    EXPECT_EQ(game.GLScrollbar2->pos(), 2.5f);
    EXPECT_EQ(game.GLLabel6->caption(), "Video Quality (Low)");
    pageUp(*game.GLScrollbar2);
    EXPECT_EQ(game.GLScrollbar2->pos(), 3.5f); // the end of the bar
    EXPECT_EQ(game.GLLabel6->caption(), "Video Quality (High)");

    pageUp(*game.GLScrollbar1);
    EXPECT_EQ(game.GLLabel5->caption(), "Video Speed (11-Fps)");
    game.GLScrollbar1->setPos(1);
    EXPECT_EQ(game.GLLabel5->caption(), "Video Speed (0-Auto Fps)");

    showPage(*game.Menu3);
    pageUp(*game.GLScrollbar3);
    EXPECT_EQ(game.GLLabel14->caption(), "Tab Transparenty (28%)");
    game.GLScrollbar3->setPos(500);
    EXPECT_EQ(game.GLLabel14->caption(), "Tab Transparenty (100%)");
}

TEST_F(OptionsFormTest, SessionReadsTheControls) {
    SessionOptions o = readSessionOptions(game);
    EXPECT_TRUE(o.showTabs && o.showLyrics && o.showOscilloscope && o.showTime);
    EXPECT_EQ(o.defaultTabColour, clWhite);
    EXPECT_FLOAT_EQ(o.tabAlpha, 0.18f);
    EXPECT_EQ(o.videoSpeedPosition, 1);
    EXPECT_EQ(o.videoQuality, 1);
    EXPECT_EQ(o.exportFileName, "Mysong.wav");

    game.GLButton1->setCaption("");
    game.GLButton3->setCaption(" X");
    game.GLButton5->setDefaultColor(0x102030);
    game.GLButton6->setDefaultColor(0x405060);
    game.GLButton11->setDefaultColor(0x708090);
    game.GLButton11->setFocusedColor(0x0000FF); // the focused colour is not what is read
    game.GLScrollbar3->setPos(2.5f);
    game.GLScrollbar2->setPos(2.5f);
    game.GLScrollbar1->setPos(24.5f);
    game.GLEdit1->setCaption("duet.mp3");
    o = readSessionOptions(game);
    EXPECT_TRUE(o.showTabs);
    EXPECT_FALSE(o.showLyrics);
    EXPECT_TRUE(o.showOscilloscope);
    EXPECT_FALSE(o.showTime);
    EXPECT_EQ(o.defaultTabColour, 0x102030u);
    EXPECT_EQ(o.actualTabColour, 0x405060u);
    EXPECT_EQ(o.textColour, 0x708090u);
    EXPECT_FLOAT_EQ(o.tabAlpha, 0.12f);
    EXPECT_EQ(o.videoQuality, 2);
    EXPECT_EQ(o.videoSpeedPosition, 24);
    EXPECT_EQ(o.exportFileName, "duet.mp3");
}

TEST_F(OptionsFormTest, ColourDialogStartsFromTheLastColourChosen) {
    OptionsForm form(game, nullptr);
    std::vector<TColor> initials;
    std::vector<std::optional<TColor>> answers = {0x0000FF, std::nullopt, 0xFF0000};
    form.setColourChooser([&](TColor initial) {
        initials.push_back(initial);
        const auto answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    });
    showPage(*game.Menu3);
    click(*game.GLButton5);
    click(*game.GLButton6); // cancelled
    click(*game.GLButton11);
    EXPECT_EQ(initials, (std::vector<TColor>{clBlack, 0x0000FF, 0x0000FF}));
    EXPECT_EQ(game.GLButton5->defaultColor(), 0x0000FFu);
    EXPECT_EQ(game.GLButton5->focusedColor(), 0x0000FFu);
    EXPECT_EQ(game.GLButton6->defaultColor(), clWhite);
    EXPECT_EQ(game.GLButton11->focusedColor(), 0xFF0000u);
    EXPECT_EQ(form.dialogColour(), 0xFF0000u);
    EXPECT_FALSE(game.GLButton5->pressed());
}

TEST(ConfigDirectoryTest, CommandLineThenXdgThenHome) {
    std::map<std::string, const char*> env;
    const auto lookup = [&env](const char* name) -> const char* {
        auto found = env.find(name);
        return found == env.end() ? nullptr : found->second;
    };
    env["HOME"] = "/home/ann";
    EXPECT_EQ(configDirectory({}, lookup), std::filesystem::path("/home/ann/.config/cantorix"));
    env["XDG_CONFIG_HOME"] = "relative/ignored";
    EXPECT_EQ(configDirectory({}, lookup), std::filesystem::path("/home/ann/.config/cantorix"));
    env["XDG_CONFIG_HOME"] = "/xdg";
    EXPECT_EQ(configDirectory({}, lookup), std::filesystem::path("/xdg/cantorix"));
    const CommandLine cmd = parseCommandLine({"--config", "/tmp/a/../b"});
    ASSERT_EQ(cmd.error, "");
    EXPECT_EQ(configDirectory(cmd, lookup), std::filesystem::path("/tmp/b"));
    EXPECT_EQ(*parseCommandLine({"--config=/c"}).configDir, std::filesystem::path("/c"));
    EXPECT_EQ(parseCommandLine({"--config"}).error, "option --config needs a value");
}

} // namespace

namespace {

class ThrowingClickPlayer : public session::ClickPlayer {
public:
    void start(const std::vector<float>&, int) override {
        throw std::runtime_error("Device unavailable");
    }
    void collect() override {}
    bool played() const override { return true; }
    session::ClickRoundRecording finish() override { return {}; }
};

TEST_F(OptionsFormTest, DifficultyAndMicrophoneDelayFollowTheirBars) {
    EXPECT_EQ(game.DifficultyLabel->caption(), "Difficulty (Medium)");
    EXPECT_EQ(game.MicDelayLabel->caption(), "Microphone delay (0 ms)");
    SessionOptions o = readSessionOptions(game);
    EXPECT_EQ(o.difficulty, session::Difficulty::Medium);
    EXPECT_EQ(o.micDelayMs, 0);
    // Both sit inside their pages, the delay's button beside its bar.
    const auto inside = [](const RectI& outer, const RectI& inner) {
        return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
               inner.bottom <= outer.bottom;
    };
    EXPECT_TRUE(inside(game.Menu1->globalRect(), game.Difficulty->globalRect()));
    EXPECT_TRUE(inside(game.Menu2->globalRect(), game.Calibrate->globalRect()));
    EXPECT_EQ(game.Calibrate->globalRect().top, game.MicDelay->globalRect().top);
    EXPECT_LT(game.MicDelay->globalRect().right, game.Calibrate->globalRect().left);

    pageUp(*game.Difficulty);
    EXPECT_EQ(game.DifficultyLabel->caption(), "Difficulty (Hard)");
    game.Difficulty->setPos(0);
    EXPECT_EQ(game.DifficultyLabel->caption(), "Difficulty (Easy)");
    game.MicDelay->setPos(612.4f);
    EXPECT_EQ(game.MicDelayLabel->caption(), "Microphone delay (500 ms)");
    game.MicDelay->setPos(87.5f);
    o = readSessionOptions(game);
    EXPECT_EQ(o.difficulty, session::Difficulty::Easy);
    EXPECT_EQ(o.micDelayMs, 88);
}

TEST_F(OptionsFormTest, CalibrateSetsTheMeasuredDelayOrSaysNoClickWasHeard) {
    int argc = 0;
    QCoreApplication application(argc, nullptr); // the round's timer needs a thread to run on
    OptionsForm form(game, nullptr);
    std::vector<std::string> told;
    std::vector<bool> quiet;
    form.setNotifier([&](const std::string& text) { told.push_back(text); });
    form.setQuiet([&](bool on) { quiet.push_back(on); });
    const auto calibrateWith = [&](session::ClickPlayer* player) {
        told.clear();
        form.setClickPlayer(player);
        click(*game.Calibrate);
        for (int i = 0; i < 1000 && form.calibrating(); ++i)
            form.calibrationStep();
        EXPECT_FALSE(form.calibrating());
        EXPECT_EQ(game.Calibrate->caption(), "Calibrate");
    };
    showPage(*game.Menu2);

    session::testing::LoopbackClickPlayer loopback(137, 0.3f, 0.02f);
    calibrateWith(&loopback);
    EXPECT_EQ(game.MicDelay->pos(), 137.0f);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], "The microphone delay is now 137 ms.");
    EXPECT_EQ(quiet, (std::vector<bool>{true, false}));

    session::testing::LoopbackClickPlayer headphones(137, 0.0f, 0.02f);
    calibrateWith(&headphones);
    EXPECT_EQ(game.MicDelay->pos(), 137.0f);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("No click was heard"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("stays at 137 ms"), std::string::npos) << told[0];

    ThrowingClickPlayer broken;
    calibrateWith(&broken);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("Device unavailable"), std::string::npos) << told[0];
    calibrateWith(nullptr);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(game.MicDelay->pos(), 137.0f);
    EXPECT_EQ(quiet.size(), 6u); // every round that started was quieted and ended
}

} // namespace
