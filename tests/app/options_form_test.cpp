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
using namespace cantorix::scene;

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
    OptionsFormTest() { game.options.form->setVisible(true); }
    // A left click in viewer pixels on the song selection's root.
    void clickAt(int x, int y) {
        game.selection.guiRoot->mouseDown(scene::TMouseButton::mbLeft, x, y);
        game.selection.guiRoot->mouseUp(scene::TMouseButton::mbLeft, x, y);
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
        for (TGLPanel* p :
             {game.options.gameplay.page, game.options.sound.page, game.options.appearance.page})
            p->setVisible(p == &page);
    }

    scene::testing::BlankImageLoader loader;
    scene::testing::FakeGlyphRasterizer glyphs;
    GameScene game{loader, glyphs, "/nowhere"};
};

TEST_F(OptionsFormTest, ControlsSitWhereTheFormPlacesThem) {
    EXPECT_EQ(game.options.gameplay.tabsToggle->globalRect(), (RectI{620, 215, 660, 255}));
    EXPECT_EQ(game.options.gameplay.timeToggle->globalRect(), (RectI{620, 365, 660, 405}));
    EXPECT_EQ(game.options.gameplay.videoQuality->globalRect(), (RectI{420, 525, 660, 555}));
    EXPECT_EQ(game.options.sound.recordToggle->globalRect(), (RectI{620, 285, 660, 325}));
    EXPECT_EQ(game.options.sound.exportName->globalRect(), (RectI{420, 375, 660, 405}));
    EXPECT_EQ(game.options.appearance.textColourButton->globalRect(), (RectI{620, 365, 660, 405}));
    EXPECT_EQ(game.options.appearance.transparency->globalRect(), (RectI{420, 455, 660, 485}));
    EXPECT_EQ(game.options.appearance.transparencyLabel->globalRect().top, 410);
    EXPECT_EQ(game.options.appearance.transparencyLabel->caption(), "Tab Transparenty (18%)");
    EXPECT_EQ(game.options.gameplay.videoQualityLabel->caption(), "Video quality");
    EXPECT_EQ(game.options.sound.exportName->caption(), "Mysong.wav");
    EXPECT_EQ(game.options.appearance.showUnplayable->globalRect(), (RectI{620, 505, 660, 545}));
    // Inside its page, so a click reaches it.
    EXPECT_LE(game.options.appearance.showUnplayable->globalRect().bottom,
              game.options.appearance.page->globalRect().bottom);
}

TEST_F(OptionsFormTest, TogglesSwitchBetweenXAndEmpty) {
    click(*game.options.gameplay.tabsToggle);
    EXPECT_EQ(game.options.gameplay.tabsToggle->caption(), "");
    click(*game.options.gameplay.tabsToggle);
    EXPECT_EQ(game.options.gameplay.tabsToggle->caption(), "X");
    showPage(*game.options.sound.page);
    click(*game.options.sound.recordToggle);
    EXPECT_EQ(game.options.sound.recordToggle->caption(), "");
    game.options.gameplay.oscilloscopeToggle->setCaption(
        "x"); // anything but "X" counts as off and turns on
    toggleClick(*game.options.gameplay.oscilloscopeToggle);
    EXPECT_EQ(game.options.gameplay.oscilloscopeToggle->caption(), "X");
    // Songs that cannot be played are hidden until the player asks for them.
    showPage(*game.options.appearance.page);
    EXPECT_FALSE(showsUnplayableSongs(game));
    click(*game.options.appearance.showUnplayable);
    EXPECT_TRUE(showsUnplayableSongs(game));
    click(*game.options.appearance.showUnplayable);
    EXPECT_FALSE(showsUnplayableSongs(game));
}

TEST_F(OptionsFormTest, ScrollbarPagesMoveTheLabels) {
    pageUp(*game.options.gameplay.videoQuality);
    EXPECT_EQ(game.options.gameplay.videoQuality->pos(), 2.5f);
    EXPECT_EQ(game.options.gameplay.videoQualityLabel->caption(), "Video Quality (Low)");
    pageUp(*game.options.gameplay.videoQuality);
    EXPECT_EQ(game.options.gameplay.videoQuality->pos(), 3.5f); // the end of the bar
    EXPECT_EQ(game.options.gameplay.videoQualityLabel->caption(), "Video Quality (High)");

    pageUp(*game.options.gameplay.videoSpeed);
    EXPECT_EQ(game.options.gameplay.videoSpeedLabel->caption(), "Video Speed (11-Fps)");
    game.options.gameplay.videoSpeed->setPos(1);
    EXPECT_EQ(game.options.gameplay.videoSpeedLabel->caption(), "Video Speed (0-Auto Fps)");

    showPage(*game.options.appearance.page);
    pageUp(*game.options.appearance.transparency);
    EXPECT_EQ(game.options.appearance.transparencyLabel->caption(), "Tab Transparenty (28%)");
    game.options.appearance.transparency->setPos(500);
    EXPECT_EQ(game.options.appearance.transparencyLabel->caption(), "Tab Transparenty (100%)");
}

TEST_F(OptionsFormTest, SessionReadsTheControls) {
    SessionOptions o = readSessionOptions(game);
    EXPECT_TRUE(o.showTabs && o.showLyrics && o.showOscilloscope && o.showTime);
    EXPECT_EQ(o.defaultTabColour, clWhite);
    EXPECT_FLOAT_EQ(o.tabAlpha, 0.18f);
    EXPECT_EQ(o.videoSpeedPosition, 1);
    EXPECT_EQ(o.videoQuality, 1);
    EXPECT_EQ(o.exportFileName, "Mysong.wav");

    game.options.gameplay.lyricsToggle->setCaption("");
    game.options.gameplay.timeToggle->setCaption(" X");
    game.options.appearance.tabColourButton->setDefaultColor(0x102030);
    game.options.appearance.actualTabColourButton->setDefaultColor(0x405060);
    game.options.appearance.textColourButton->setDefaultColor(0x708090);
    game.options.appearance.textColourButton->setFocusedColor(
        0x0000FF); // the focused colour is not what is read
    game.options.appearance.transparency->setPos(2.5f);
    game.options.gameplay.videoQuality->setPos(2.5f);
    game.options.gameplay.videoSpeed->setPos(24.5f);
    game.options.sound.exportName->setCaption("duet.mp3");
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
    showPage(*game.options.appearance.page);
    click(*game.options.appearance.tabColourButton);
    click(*game.options.appearance.actualTabColourButton); // cancelled
    click(*game.options.appearance.textColourButton);
    EXPECT_EQ(initials, (std::vector<TColor>{clBlack, 0x0000FF, 0x0000FF}));
    EXPECT_EQ(game.options.appearance.tabColourButton->defaultColor(), 0x0000FFu);
    EXPECT_EQ(game.options.appearance.tabColourButton->focusedColor(), 0x0000FFu);
    EXPECT_EQ(game.options.appearance.actualTabColourButton->defaultColor(), clWhite);
    EXPECT_EQ(game.options.appearance.textColourButton->focusedColor(), 0xFF0000u);
    EXPECT_EQ(form.dialogColour(), 0xFF0000u);
    EXPECT_FALSE(game.options.appearance.tabColourButton->pressed());
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
    EXPECT_EQ(game.options.gameplay.difficultyLabel->caption(), "Difficulty (Medium)");
    EXPECT_EQ(game.options.sound.micDelayLabel->caption(), "Microphone delay (0 ms)");
    SessionOptions o = readSessionOptions(game);
    EXPECT_EQ(o.difficulty, session::Difficulty::Medium);
    EXPECT_EQ(o.micDelayMs, 0);
    // Both sit inside their pages, the delay's button beside its bar.
    const auto inside = [](const RectI& outer, const RectI& inner) {
        return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
               inner.bottom <= outer.bottom;
    };
    EXPECT_TRUE(inside(game.options.gameplay.page->globalRect(),
                       game.options.gameplay.difficulty->globalRect()));
    EXPECT_TRUE(inside(game.options.sound.page->globalRect(),
                       game.options.sound.calibrateButton->globalRect()));
    EXPECT_TRUE(inside(game.options.sound.page->globalRect(),
                       game.options.sound.phonesToggle->globalRect()));
    EXPECT_EQ(game.options.sound.calibrateButton->globalRect().top,
              game.options.sound.micDelay->globalRect().top);
    EXPECT_LT(game.options.sound.micDelay->globalRect().right,
              game.options.sound.calibrateButton->globalRect().left);

    pageUp(*game.options.gameplay.difficulty);
    EXPECT_EQ(game.options.gameplay.difficultyLabel->caption(), "Difficulty (Hard)");
    game.options.gameplay.difficulty->setPos(0);
    EXPECT_EQ(game.options.gameplay.difficultyLabel->caption(), "Difficulty (Easy)");
    game.options.sound.micDelay->setPos(612.4f);
    EXPECT_EQ(game.options.sound.micDelayLabel->caption(), "Microphone delay (500 ms)");
    game.options.sound.micDelay->setPos(87.5f);
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
        click(*game.options.sound.calibrateButton);
        for (int i = 0; i < 1000 && form.calibrating(); ++i)
            form.calibrationStep();
        EXPECT_FALSE(form.calibrating());
        EXPECT_EQ(game.options.sound.calibrateButton->caption(), "Calibrate");
    };
    showPage(*game.options.sound.page);

    session::testing::LoopbackClickPlayer loopback(137, 0.3f, 0.02f);
    calibrateWith(&loopback);
    EXPECT_EQ(game.options.sound.micDelay->pos(), 137.0f);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], "The microphone delay is now 137 ms.");
    EXPECT_EQ(quiet, (std::vector<bool>{true, false}));

    session::testing::LoopbackClickPlayer headphones(137, 0.0f, 0.02f);
    calibrateWith(&headphones);
    EXPECT_EQ(game.options.sound.micDelay->pos(), 137.0f);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("No click was heard"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("stays at 137 ms"), std::string::npos) << told[0];

    ThrowingClickPlayer broken;
    calibrateWith(&broken);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("Device unavailable"), std::string::npos) << told[0];
    calibrateWith(nullptr);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(game.options.sound.micDelay->pos(), 137.0f);
    EXPECT_EQ(quiet.size(), 6u); // every round that started was quieted and ended
}

// The caption is what Score.ini keeps: the captions of earlier builds read as they always did.
TEST_F(OptionsFormTest, SongOrderButtonStepsThroughEveryOrderAndItsCaptionReadsBack) {
    TGLButton& button = *game.options.gameplay.songOrder;
    for (const char* caption : {"Artist", "Title", "Folder", "Most sung", "Recently sung"}) {
        EXPECT_EQ(button.caption(), caption);
        EXPECT_EQ(songOrderCaption(songOrderOf(caption)), caption);
        EXPECT_LE(game.fonts.menu.textWidth(caption), button.width()) << caption;
        songOrderClick(button);
    }
    EXPECT_EQ(button.caption(), "Artist") << "after the last order, the first again";
    EXPECT_EQ(songOrderOf("most sung"), songs::SongOrder::ByArtist);
    EXPECT_LE(button.globalRect().right, game.options.gameplay.page->globalRect().right);
}

} // namespace
