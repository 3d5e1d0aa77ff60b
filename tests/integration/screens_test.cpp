// Screen switching, hover effects and key routing of the real main window, driven with mouse
// and key events on the viewer.

#include "app/error_guard.h"
#include "app/key_codes.h"
#include "covered_buttons.h"
#include "game_window_fixture.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <algorithm>

namespace {

using namespace cantorix;
using cantorix::testing::coveredButtons;
using cantorix::testing::waitUntil;

// The screen parts on show (a part inside a hidden group counts as hidden), then the roots
// that take mouse presses.
std::string screenState(app::GameScene& g) {
    std::string s;
    const bool first = g.selection.group->visible();
    const std::pair<const char*, bool> parts[] = {
        {"Hallofame", g.hallOfFamePage.group->visible()},
        {"Firstpage", first},
        {"Ring", first && g.selection.ring->visible()},
        {"GLForm1", first && g.selection.form->visible()},
        {"GLForm2", first && g.options.form->visible()},
        {"Root5", g.editorScreen.group->visible() && g.editorScreen.guiRoot->visible()},
        {"Scorepage", g.scorePage.group->visible()},
        {"Singing", g.singing.group->visible()}};
    for (auto [name, shown] : parts)
        if (shown)
            s += std::string(s.empty() ? "" : " ") + name;
    s += " |";
    const std::pair<const char*, scene::TGLBaseControl*> roots[] = {
        {"Root1", g.selection.guiRoot},
        {"root2", g.scorePage.guiRoot},
        {"Root3", g.singing.guiRoot},
        {"Root4", g.hallOfFamePage.guiRoot},
        {"Root5", g.editorScreen.guiRoot}};
    for (auto [name, root] : roots)
        if (root->tag() == 1)
            s += std::string(" ") + name;
    return s;
}

QPoint centreOf(const scene::TGLBaseControl& control) {
    const scene::RectI r = control.globalRect();
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

class ScreensTest : public cantorix::testing::GameWindowTest {
protected:
    app::MainWindow& start() {
        app::MainWindow& form = startAndWait();
        m_game = &form.game();
        // Root5 is hidden inside the shown Editorscrn group; the state names it only when shown.
        EXPECT_EQ(screenState(*m_game), "Firstpage Ring GLForm1 | Root1");
        return form;
    }
    void click(const scene::TGLBaseControl& control) { clickAt(centreOf(control)); }
    void clickAt(QPoint p) { QTest::mouseClick(m_form->viewer(), Qt::LeftButton, {}, p); }
    // Sent straight to the viewer: a synthetic pointer move through the X server races with
    // the server's own pointer events.
    void moveTo(QPoint p) {
        QMouseEvent move(QEvent::MouseMove, p, m_form->viewer()->mapToGlobal(p), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(m_form->viewer(), &move);
    }
    void key(Qt::Key k) { QTest::keyClick(m_form->viewer(), k); }

    app::GameScene* m_game = nullptr;
};

TEST_F(ScreensTest, HallOfFameShowsTheRankedEntriesAndBackReturns) {
    app::MainWindow& form = start();
    app::GameScene& g = *m_game;
    form.hallOfFame().assign({"852:red", "99:blue", "1000:green"});
    click(*g.selection.scoresButton);
    EXPECT_EQ(screenState(g), "Hallofame | Root4");
    ASSERT_EQ(g.hallOfFamePage.table->count(), 6);
    std::vector<std::string> captions;
    for (int i = 0; i < g.hallOfFamePage.table->count(); ++i)
        captions.push_back(
            static_cast<scene::TGLLabel&>(g.hallOfFamePage.table->child(i)).caption());
    EXPECT_EQ(captions[1], "1000");
    EXPECT_EQ(captions[3], "852");
    EXPECT_EQ(captions[5], "99");
    const auto& label = static_cast<scene::TGLLabel&>(g.hallOfFamePage.table->child(0));
    EXPECT_EQ(label.bitmapFont(), &g.fonts.hallOfFame);
    EXPECT_EQ(label.defaultColor(), scene::clWhite);

    click(*g.hallOfFamePage.backButton);
    EXPECT_EQ(screenState(g), "Firstpage Ring GLForm1 | Root1");
    // Showing it again rebuilds the rows instead of adding to them.
    form.scoresAction->trigger();
    EXPECT_EQ(g.hallOfFamePage.table->count(), 6);
    EXPECT_EQ(screenState(g), "Hallofame | Root4");
}

TEST_F(ScreensTest, HiddenScreensIgnoreClicksButStillHover) {
    app::MainWindow& form = start();
    app::GameScene& g = *m_game;
    int sessions = 0;
    form.screens().startSession = [&] { ++sessions; };
    click(*g.selection.scoresButton);
    ASSERT_EQ(screenState(g), "Hallofame | Root4");
    // Start lies under the hall of fame's holder panel; Root1 is not interactive now.
    clickAt(centreOf(*g.selection.startButton));
    clickAt(centreOf(*g.selection.editorButton));
    EXPECT_EQ(sessions, 0);
    EXPECT_EQ(screenState(g), "Hallofame | Root4");
    moveTo(centreOf(*g.selection.startButton));
    EXPECT_EQ(g.selection.startButton->bitBtn().name, "Starth");
    moveTo(QPoint(5, 5));
    EXPECT_EQ(g.selection.startButton->bitBtn().name, "Start");
}

TEST_F(ScreensTest, StartRunsTheSessionAndLeavesSongSelection) {
    app::MainWindow& form = start();
    app::GameScene& g = *m_game;
    // The song folder holds no song file: the start says so and song selection keeps the input.
    std::vector<std::string> shown;
    app::setErrorPresenter(
        [&](QWidget*, const QString& text) { shown.push_back(text.toStdString()); });
    click(*g.selection.startButton);
    app::setErrorPresenter([](QWidget*, const QString& text) {
        ADD_FAILURE() << "error shown: " << text.toStdString();
    });
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("no song file"), std::string::npos) << shown[0];
    EXPECT_EQ(screenState(g), "Firstpage Ring GLForm1 | Root1");
    // A stand-in for the session start: it switches to the singing screen.
    int sessions = 0;
    form.screens().startSession = [&] {
        ++sessions;
        g.selection.group->setVisible(false);
        g.singing.group->setVisible(true);
        g.singing.guiRoot->setTag(1);
    };
    click(*g.selection.startButton);
    EXPECT_EQ(sessions, 1);
    EXPECT_EQ(screenState(g), "Singing | Root3");
}

TEST_F(ScreensTest, ScorePageBackReturnsToSongSelection) {
    start();
    app::GameScene& g = *m_game;
    g.selection.group->setVisible(false);
    g.scorePage.group->setVisible(true);
    g.selection.guiRoot->setTag(0);
    g.scorePage.guiRoot->setTag(1);
    click(*g.scorePage.backButton);
    EXPECT_EQ(screenState(g), "Firstpage Ring GLForm1 | Root1");
}

TEST_F(ScreensTest, OptionsOpenOnGameplayAndPageButtonsSwitchPages) {
    start();
    app::GameScene& g = *m_game;
    auto pages = [&] {
        return std::string(g.options.gameplay.page->visible() ? "1" : "") +
               (g.options.sound.page->visible() ? "2" : "") +
               (g.options.appearance.page->visible() ? "3" : "");
    };
    g.options.gameplay.page->setVisible(false);
    g.options.appearance.page->setVisible(true);
    click(*g.selection.optionsButton);
    EXPECT_EQ(screenState(g), "Firstpage GLForm2 | Root1");
    EXPECT_EQ(pages(), "1");
    // Opening runs the Sound page's click first: a handler placed there sees it.
    int soundClicks = 0;
    g.options.soundButton->onButtonClick =
        [&, old = g.options.soundButton->onButtonClick](scene::TGLBaseControl& s) {
            ++soundClicks;
            old(s);
        };
    click(*g.options.appearanceButton);
    EXPECT_EQ(pages(), "3");
    click(*g.options.soundButton);
    EXPECT_EQ(pages(), "2");
    EXPECT_EQ(soundClicks, 1);
    click(*g.options.gameplayButton);
    EXPECT_EQ(pages(), "1");
    click(*g.options.backButton);
    EXPECT_EQ(screenState(g), "Firstpage Ring GLForm1 | Root1");
    m_form->optionsAction->trigger();
    EXPECT_EQ(soundClicks, 2);
    EXPECT_EQ(screenState(g), "Firstpage GLForm2 | Root1");
}

TEST_F(ScreensTest, MenuScreensLeaveTheOptionsFormAsItWas) {
    app::MainWindow& form = start();
    app::GameScene& g = *m_game;
    form.optionsAction->trigger();
    form.scoresAction->trigger();
    EXPECT_EQ(screenState(g), "Hallofame | Root4");
    click(*g.hallOfFamePage.backButton);
    EXPECT_EQ(screenState(g), "Firstpage GLForm2 | Root1");

    form.editorAction->trigger();
    EXPECT_EQ(screenState(g), "Firstpage GLForm2 Root5 | Root5");
    click(*g.editorScreen.backButton);
    EXPECT_EQ(screenState(g), "Firstpage Ring GLForm1 GLForm2 | Root1");
}

TEST_F(ScreensTest, EditorAndBack) {
    start();
    app::GameScene& g = *m_game;
    click(*g.selection.editorButton);
    EXPECT_EQ(screenState(g), "Firstpage Root5 | Root5");
    click(*g.editorScreen.backButton);
    EXPECT_EQ(screenState(g), "Firstpage Ring GLForm1 | Root1");
}

TEST_F(ScreensTest, EscapeEndsOnlyARunningSession) {
    app::MainWindow& form = start();
    app::GameScene& g = *m_game;
    int ends = 0;
    form.screens().endSession = [&] { ++ends; };
    EXPECT_EQ(form.focusWidget(), form.viewer());
    key(Qt::Key_Escape);
    EXPECT_EQ(ends, 0);
    EXPECT_EQ(screenState(g), "Firstpage Ring GLForm1 | Root1");

    g.selection.group->setVisible(false);
    g.singing.group->setVisible(true);
    key(Qt::Key_A);
    EXPECT_EQ(ends, 0);
    key(Qt::Key_Escape);
    EXPECT_EQ(ends, 1);
    // Escape is no longer held once released.
    key(Qt::Key_A);
    EXPECT_EQ(ends, 1);
}

TEST_F(ScreensTest, KeysReachTheFocusedEditsOfSongSelectionScorePageAndEditorOnly) {
    start();
    app::GameScene& g = *m_game;
    std::vector<scene::TGLEdit*> edits;
    for (scene::TGLBaseControl* root : g.roots()) {
        auto& edit = root->addNewChild<scene::TGLEdit>();
        edit.setCaption("x");
        edit.setSelStart(2);
        edit.setFocus();
        edits.push_back(&edit);
    }
    g.editorScreen.guiRoot->setVisible(true);
    click(*g.selection.scoresButton);
    ASSERT_EQ(screenState(g), "Hallofame Root5 | Root4");
    QTest::keyClicks(m_form->viewer(), "ab");
    key(Qt::Key_Backspace);
    // Root1, root2, Root3, Root4, Root5: the hall of fame and singing roots get no keys.
    EXPECT_EQ(edits[0]->caption(), "xa");
    EXPECT_EQ(edits[1]->caption(), "xa");
    EXPECT_EQ(edits[2]->caption(), "x");
    EXPECT_EQ(edits[3]->caption(), "x");
    EXPECT_EQ(edits[4]->caption(), "xa");
}

TEST_F(ScreensTest, HoverSwitchesButtonImagesAndArrowGamma) {
    start();
    app::GameScene& g = *m_game;
    moveTo(centreOf(*g.selection.optionsButton));
    EXPECT_EQ(g.selection.optionsButton->bitBtn().name, "Optionsh");
    moveTo(centreOf(*g.selection.editorButton));
    EXPECT_EQ(g.selection.optionsButton->bitBtn().name, "Options");
    EXPECT_EQ(g.selection.editorButton->bitBtn().name, "Editorh");

    scene::TGLTexture& left = g.materials.buttons.materialByName("Larrow")->texture();
    scene::TGLTexture& right = g.materials.buttons.materialByName("Rarrow")->texture();
    EXPECT_FLOAT_EQ(left.imageGamma(), 1.0f);
    moveTo(centreOf(*g.selection.previousButton));
    EXPECT_FLOAT_EQ(left.imageGamma(), 1.4f);
    EXPECT_FLOAT_EQ(right.imageGamma(), 1.0f);
    EXPECT_EQ(g.selection.editorButton->bitBtn().name, "Editor");
    moveTo(centreOf(*g.selection.nextButton));
    EXPECT_FLOAT_EQ(left.imageGamma(), 0.8f);
    EXPECT_FLOAT_EQ(right.imageGamma(), 1.4f);

    // The session buttons switch the same way.
    g.singing.group->setVisible(true);
    moveTo(centreOf(*g.singing.pauseButton));
    EXPECT_EQ(g.singing.pauseButton->bitBtn().name, "Pauseh");
    moveTo(QPoint(5, 700));
    EXPECT_EQ(g.singing.pauseButton->bitBtn().name, "Pause");
}

TEST(KeyCodesTest, QtKeysMapToTheGameCodesAndCharacters) {
    EXPECT_EQ(app::gameKeyCode(Qt::Key_A), 65);
    EXPECT_EQ(app::gameKeyCode(Qt::Key_7), 55);
    EXPECT_EQ(app::gameKeyCode(Qt::Key_F2), 113);
    EXPECT_EQ(app::gameKeyCode(Qt::Key_Return), scene::keys::Enter);
    EXPECT_EQ(app::gameKeyCode(Qt::Key_Enter), scene::keys::Enter);
    EXPECT_EQ(app::gameKeyCode(Qt::Key_Delete), scene::keys::Delete);
    EXPECT_EQ(app::gameKeyCode(Qt::Key_Down), scene::keys::Down);
    EXPECT_EQ(app::gameKeyCode(Qt::Key_VolumeUp), 0);
    EXPECT_EQ(app::keyPressCharacters(Qt::Key_Escape, {}), U"\x1b");
    EXPECT_EQ(app::keyPressCharacters(Qt::Key_A, QStringLiteral("ä")), U"ä");
    EXPECT_EQ(app::keyPressCharacters(Qt::Key_Left, {}), U"");
}

// Pictures of the two screens built here, for looking at by eye.
TEST_F(ScreensTest, ScreenshotsOfHallOfFameAndOptions) {
    app::MainWindow& form = start();
    app::GameScene& g = *m_game;
    form.hallOfFame().assign({"852:red", "99:blue", "1000:green", "640:Anna", "120:Bob"});
    click(*g.selection.scoresButton);
    QTest::qWait(200);
    const QImage hall = form.viewer()->grabFramebuffer();
    EXPECT_TRUE(hall.save("/tmp/cantorix-hall-of-fame.png"));
    click(*g.hallOfFamePage.backButton);
    click(*g.selection.optionsButton);
    QTest::qWait(200);
    const QImage options = form.viewer()->grabFramebuffer();
    EXPECT_TRUE(options.save("/tmp/cantorix-options.png"));
    EXPECT_NE(hall, options);
}

} // namespace

// F4 and the selection's button open the statistics; Escape and Back return. F3 stays the
// selection's key for a song at random and never opens them.
TEST_F(ScreensTest, F4AndItsButtonOpenTheStatisticsWhileF3StaysTheRandomSong) {
    app::MainWindow& form = start();
    app::GameScene& g = *m_game;
    key(Qt::Key_F3);
    QTest::qWait(50);
    EXPECT_FALSE(g.statistics.group->visible());
    key(Qt::Key_F4);
    ASSERT_TRUE(waitUntil([&] { return g.statistics.group->visible(); }));
    const std::vector<std::string> lines = form.statistics().shownLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Nothing sung yet."), lines.end())
        << ::testing::PrintToString(lines);
    key(Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return !g.statistics.group->visible(); }));
    EXPECT_EQ(screenState(g), "Firstpage Ring GLForm1 | Root1");

    click(*g.statistics.selectionButton);
    ASSERT_TRUE(waitUntil([&] { return g.statistics.group->visible(); }));
    click(*g.statistics.backButton);
    ASSERT_TRUE(waitUntil([&] { return !g.statistics.group->visible(); }));
    EXPECT_EQ(screenState(g), "Firstpage Ring GLForm1 | Root1");
}

// Every visible button of every screen is what a click at its middle reaches, the screens reached
// as a player reaches them: the song list, the options' three pages, the hall of fame, the
// editor, the statistics and the singers screen. The singing screen and the score page are
// checked after real sessions (score_page_buttons_window_test.cpp).
TEST_F(ScreensTest, EveryShownButtonOfEveryScreenTakesItsOwnClick) {
    start();
    app::GameScene& g = *m_game;
    const auto expectReachable = [&](const char* screen) {
        QTest::qWait(20);
        EXPECT_EQ(coveredButtons(g), std::vector<std::string>{}) << screen;
    };
    expectReachable("song list");
    click(*g.selection.optionsButton);
    expectReachable("options: gameplay");
    click(*g.options.soundButton);
    expectReachable("options: sound");
    click(*g.options.appearanceButton);
    expectReachable("options: appearance");
    click(*g.options.backButton);
    click(*g.selection.scoresButton);
    ASSERT_TRUE(g.hallOfFamePage.group->visible());
    expectReachable("hall of fame");
    click(*g.hallOfFamePage.backButton);
    click(*g.selection.editorButton);
    expectReachable("editor");
    click(*g.editorScreen.backButton);
    key(Qt::Key_F4);
    ASSERT_TRUE(waitUntil([&] { return g.statistics.group->visible(); }));
    expectReachable("statistics");
    click(*g.statistics.backButton);
    ASSERT_TRUE(waitUntil([&] { return g.selection.group->visible(); }));
    key(Qt::Key_F2);
    ASSERT_TRUE(waitUntil([&] { return g.singers.group->visible(); }));
    expectReachable("singers");
    click(*g.singers.backButton);
    EXPECT_TRUE(waitUntil([&] { return g.selection.group->visible(); }));
}
