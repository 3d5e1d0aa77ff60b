// The options panel and Score.ini in the real main window: options changed with the mouse and
// the keyboard, the hall of fame, a close and a second start over the same configuration folder.

#include "app/error_guard.h"
#include "fakes/file_bytes.h"
#include "game_window_fixture.h"
#include "platform/storage/ini_profile_file.h"

#include <fstream>
#include <sstream>

using cantorix::testing::readFile;

namespace {

using namespace cantorix;
using cantorix::testing::waitUntil;
namespace fs = std::filesystem;

QPoint centreOf(const scene::TGLBaseControl& control) {
    const scene::RectI r = control.globalRect();
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

class OptionsWindowTest : public cantorix::testing::GameWindowTest {
protected:
    // A start of the game whose Score.ini lives in the test's configuration folder.
    app::MainWindow& startWithConfig() {
        m_form.reset();
        m_ini = std::make_unique<platform::IniProfileFile>(scoreIni());
        m_form = std::make_unique<app::MainWindow>(
            app::AppServices{m_root, *m_pictures, m_glyphs, m_clock, m_player, *m_covers,
                             *m_capture, m_recorderInput, m_captureError, m_ini.get()});
        m_form->show();
        EXPECT_TRUE(waitUntil([&] { return m_form->startSteps().firstFrameShown(); }));
        return *m_form;
    }
    fs::path scoreIni() const { return m_root / "config" / "Score.ini"; }
    void click(const scene::TGLBaseControl& control) { clickAt(centreOf(control)); }
    void clickAt(QPoint p) { QTest::mouseClick(m_form->viewer(), Qt::LeftButton, {}, p); }
    void pageUp(const scene::TGLScrollbar& bar) {
        const scene::RectI knob = bar.knobRect();
        clickAt(QPoint(knob.right + 3, (knob.top + knob.bottom) / 2));
    }
    void key(Qt::Key k) { QTest::keyClick(m_form->viewer(), k); }
    // Runs Submit as its click does; the score page need not be on show for that.
    void submit(app::GameScene& g, const std::string& name) {
        g.scorePage.playerName->setCaption(name);
        scene::TGLButton::NotifyEvent(g.scorePage.submitButton->onButtonClick)(
            *g.scorePage.submitButton);
    }

    std::unique_ptr<platform::IniProfileFile> m_ini;
};

TEST_F(OptionsWindowTest, OptionsChangedWithClicksComeBackAfterARestart) {
    {
        app::MainWindow& form = startWithConfig();
        app::GameScene& g = form.game();
        EXPECT_EQ(g.options.appearance.transparencyLabel->caption(), "Tab Transparenty (18%)");
        click(*g.selection.optionsButton);
        ASSERT_TRUE(g.options.gameplay.page->visible());
        click(*g.options.gameplay.tabsToggle);
        click(*g.options.gameplay.oscilloscopeToggle);
        pageUp(*g.options.gameplay.videoQuality);
        EXPECT_EQ(g.options.gameplay.videoQualityLabel->caption(), "Video Quality (Low)");

        click(*g.options.soundButton);
        click(*g.options.sound.exportName);
        key(Qt::Key_End);
        for (int i = 0; i < 4; ++i)
            key(Qt::Key_Backspace);
        QTest::keyClicks(m_form->viewer(), ".mp3");
        EXPECT_EQ(g.options.sound.exportName->caption(), "Mysong.mp3");

        click(*g.options.appearanceButton);
        std::vector<scene::TColor> initials;
        form.options().setColourChooser([&](scene::TColor initial) {
            initials.push_back(initial);
            return std::optional<scene::TColor>(0x0000FF);
        });
        click(*g.options.appearance.tabColourButton);
        click(*g.options.appearance.textColourButton);
        EXPECT_EQ(initials, (std::vector<scene::TColor>{scene::clBlack, 0x0000FF}));
        // The button's "II" shows the colour chosen (0x0000FF is red), the others stay white.
        QTest::qWait(100);
        const QImage shot = form.viewer()->grabFramebuffer();
        const auto hasRed = [&shot](const scene::TGLBaseControl& c) {
            const scene::RectI r = c.globalRect();
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x) {
                    const QColor p = shot.pixelColor(x, y);
                    if (p.red() > 200 && p.green() < 60 && p.blue() < 60)
                        return true;
                }
            return false;
        };
        EXPECT_TRUE(hasRed(*g.options.appearance.tabColourButton));
        EXPECT_FALSE(hasRed(*g.options.appearance.actualTabColourButton));
        pageUp(*g.options.appearance.transparency);
        EXPECT_EQ(g.options.appearance.transparencyLabel->caption(), "Tab Transparenty (28%)");

        form.hallOfFame().assign({"300:ann"});
        // Submit writes the file at once, options and all.
        submit(g, "bob");
        const std::string afterSubmit = readFile(scoreIni());
        EXPECT_NE(afterSubmit.find("\r\nCount=2\r\nItem0=0:bob\r\nItem1=300:ann\r\n"),
                  std::string::npos)
            << afterSubmit;
        EXPECT_NE(afterSubmit.find("\r\nistabs_Caption=\r\n"), std::string::npos);

        click(*g.options.backButton);
        form.close();
        const std::string text = readFile(scoreIni());
        ASSERT_TRUE(text.starts_with("[Score]\r\nFormVersion=0\r\n")) << text;
        for (const char* line :
             {"\r\nGLButton5_DefaultColor=255\r\n", "\r\nGLButton11_FocusedColor=255\r\n",
              "\r\nGLEdit1_Caption=Mysong.mp3\r\n", "\r\nGLScrollbar2_Pos=2.5\r\n",
              "\r\nGLScrollbar3_Pos=18\r\n", "\r\nGLButton2_Caption=\r\n"})
            EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
    }

    app::MainWindow& again = startWithConfig();
    app::GameScene& g = again.game();
    EXPECT_EQ(g.options.gameplay.tabsToggle->caption(), "");
    EXPECT_EQ(g.options.gameplay.lyricsToggle->caption(), "X");
    EXPECT_EQ(g.options.gameplay.oscilloscopeToggle->caption(), "");
    EXPECT_EQ(g.options.gameplay.videoQuality->pos(), 2.5f);
    EXPECT_EQ(g.options.gameplay.videoQualityLabel->caption(), "Video Quality (Low)");
    EXPECT_EQ(g.options.sound.exportName->caption(), "Mysong.mp3");
    EXPECT_EQ(g.options.appearance.tabColourButton->defaultColor(), 0x0000FFu);
    EXPECT_EQ(g.options.appearance.actualTabColourButton->defaultColor(), scene::clWhite);
    EXPECT_EQ(g.options.appearance.textColourButton->focusedColor(), 0x0000FFu);
    EXPECT_EQ(g.options.appearance.transparency->pos(), 18.0f);
    EXPECT_EQ(g.options.appearance.transparencyLabel->caption(), "Tab Transparenty (28%)");
    EXPECT_EQ(again.hallOfFame().entries(), (std::vector<std::string>{"0:bob", "300:ann"}));
}

TEST_F(OptionsWindowTest, AStaleTransparencyLabelFollowsItsPosition) {
    fs::create_directories(scoreIni().parent_path());
    std::ofstream(scoreIni(), std::ios::binary)
        << "[Score]\r\nFormVersion=0\r\nGLLabel14_Caption=Tab Transparenty "
           "(60%)\r\nGLScrollbar3_Pos=8\r\n";
    app::MainWindow& form = startWithConfig();
    EXPECT_EQ(form.game().options.appearance.transparencyLabel->caption(),
              "Tab Transparenty (18%)");
}

TEST_F(OptionsWindowTest, AFileThatCannotBeSavedIsReportedOnceAndKept) {
    fs::create_directories(scoreIni()); // a folder where the file should be
    std::vector<std::string> shown;
    app::setErrorPresenter(
        [&](QWidget*, const QString& text) { shown.push_back(text.toStdString()); });
    app::MainWindow& form = startWithConfig();
    submit(form.game(), "ann");
    submit(form.game(), "bob");
    form.close();
    app::setErrorPresenter([](QWidget*, const QString& text) {
        ADD_FAILURE() << "error shown: " << text.toStdString();
    });
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find(scoreIni().string()), std::string::npos) << shown[0];
    EXPECT_TRUE(fs::is_directory(scoreIni()));
    EXPECT_EQ(form.hallOfFame().count(), 2);
}

} // namespace
