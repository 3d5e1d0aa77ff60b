// Screen switching, hover effects and key routing of the real main window, driven with mouse
// and key events on the viewer.

#include "app/error_guard.h"
#include "app/key_codes.h"
#include "game_window_fixture.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>

namespace {

using namespace cantorix;
using cantorix::testing::waitUntil;

// The screen parts on show (a part inside a hidden group counts as hidden), then the roots
// that take mouse presses.
std::string screenState(app::GameScene& g) {
    std::string s;
    const bool first = g.Firstpage->visible();
    const std::pair<const char*, bool> parts[] = {
        {"Hallofame", g.Hallofame->visible()},
        {"Firstpage", first},
        {"Ring", first && g.Ring->visible()},
        {"GLForm1", first && g.GLForm1->visible()},
        {"GLForm2", first && g.GLForm2->visible()},
        {"Root5", g.Editorscrn->visible() && g.Root5->visible()},
        {"Scorepage", g.Scorepage->visible()},
        {"Singing", g.Singing->visible()}};
    for (auto [name, shown] : parts)
        if (shown)
            s += std::string(s.empty() ? "" : " ") + name;
    s += " |";
    const std::pair<const char*, scene::TGLBaseControl*> roots[] = {{"Root1", g.Root1},
                                                                    {"root2", g.root2},
                                                                    {"Root3", g.Root3},
                                                                    {"Root4", g.Root4},
                                                                    {"Root5", g.Root5}};
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
    app::TForm1& start() {
        app::TForm1& form = startAndWait();
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
    app::TForm1& form = start();
    app::GameScene& g = *m_game;
    form.hallOfFame().assign({"852:red", "99:blue", "1000:green"});
    click(*g.Scores);
    EXPECT_EQ(screenState(g), "Hallofame | Root4");
    ASSERT_EQ(g.Holder->count(), 6);
    std::vector<std::string> captions;
    for (int i = 0; i < g.Holder->count(); ++i)
        captions.push_back(static_cast<scene::TGLLabel&>(g.Holder->child(i)).caption());
    EXPECT_EQ(captions[1], "1000");
    EXPECT_EQ(captions[3], "852");
    EXPECT_EQ(captions[5], "99");
    const auto& label = static_cast<scene::TGLLabel&>(g.Holder->child(0));
    EXPECT_EQ(label.bitmapFont(), &g.GLStoredBitmapFont3);
    EXPECT_EQ(label.defaultColor(), scene::clWhite);

    click(*g.GLButton9);
    EXPECT_EQ(screenState(g), "Firstpage Ring GLForm1 | Root1");
    // Showing it again rebuilds the rows instead of adding to them.
    form.Scores1->trigger();
    EXPECT_EQ(g.Holder->count(), 6);
    EXPECT_EQ(screenState(g), "Hallofame | Root4");
}

TEST_F(ScreensTest, HiddenScreensIgnoreClicksButStillHover) {
    app::TForm1& form = start();
    app::GameScene& g = *m_game;
    int sessions = 0;
    form.screens().startSession = [&] { ++sessions; };
    click(*g.Scores);
    ASSERT_EQ(screenState(g), "Hallofame | Root4");
    // Start lies under the hall of fame's holder panel; Root1 is not interactive now.
    clickAt(centreOf(*g.Start));
    clickAt(centreOf(*g.Editor));
    EXPECT_EQ(sessions, 0);
    EXPECT_EQ(screenState(g), "Hallofame | Root4");
    moveTo(centreOf(*g.Start));
    EXPECT_EQ(g.Start->bitBtn().name, "Starth");
    moveTo(QPoint(5, 5));
    EXPECT_EQ(g.Start->bitBtn().name, "Start");
}

TEST_F(ScreensTest, StartRunsTheSessionAndLeavesSongSelection) {
    app::TForm1& form = start();
    app::GameScene& g = *m_game;
    // The song folder holds no song file: the start says so and song selection keeps the input.
    std::vector<std::string> shown;
    app::setErrorPresenter(
        [&](QWidget*, const QString& text) { shown.push_back(text.toStdString()); });
    click(*g.Start);
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
        g.Firstpage->setVisible(false);
        g.Singing->setVisible(true);
        g.Root3->setTag(1);
    };
    click(*g.Start);
    EXPECT_EQ(sessions, 1);
    EXPECT_EQ(screenState(g), "Singing | Root3");
}

TEST_F(ScreensTest, ScorePageBackReturnsToSongSelection) {
    start();
    app::GameScene& g = *m_game;
    g.Firstpage->setVisible(false);
    g.Scorepage->setVisible(true);
    g.Root1->setTag(0);
    g.root2->setTag(1);
    click(*g.GLButton23);
    EXPECT_EQ(screenState(g), "Firstpage Ring GLForm1 | Root1");
}

TEST_F(ScreensTest, OptionsOpenOnGameplayAndPageButtonsSwitchPages) {
    start();
    app::GameScene& g = *m_game;
    auto pages = [&] {
        return std::string(g.Menu1->visible() ? "1" : "") + (g.Menu2->visible() ? "2" : "") +
               (g.Menu3->visible() ? "3" : "");
    };
    g.Menu1->setVisible(false);
    g.Menu3->setVisible(true);
    click(*g.Options);
    EXPECT_EQ(screenState(g), "Firstpage GLForm2 | Root1");
    EXPECT_EQ(pages(), "1");
    // Opening runs the Sound page's click first: a handler placed there sees it.
    int soundClicks = 0;
    g.Soundbtn->onButtonClick = [&, old = g.Soundbtn->onButtonClick](scene::TGLBaseControl& s) {
        ++soundClicks;
        old(s);
    };
    click(*g.Apperance);
    EXPECT_EQ(pages(), "3");
    click(*g.Soundbtn);
    EXPECT_EQ(pages(), "2");
    EXPECT_EQ(soundClicks, 1);
    click(*g.Gameplay);
    EXPECT_EQ(pages(), "1");
    click(*g.Backbutton);
    EXPECT_EQ(screenState(g), "Firstpage Ring GLForm1 | Root1");
    m_form->Options1->trigger();
    EXPECT_EQ(soundClicks, 2);
    EXPECT_EQ(screenState(g), "Firstpage GLForm2 | Root1");
}

TEST_F(ScreensTest, MenuScreensLeaveTheOptionsFormAsItWas) {
    app::TForm1& form = start();
    app::GameScene& g = *m_game;
    form.Options1->trigger();
    form.Scores1->trigger();
    EXPECT_EQ(screenState(g), "Hallofame | Root4");
    click(*g.GLButton9);
    EXPECT_EQ(screenState(g), "Firstpage GLForm2 | Root1");

    form.LyricsEditor1->trigger();
    EXPECT_EQ(screenState(g), "Firstpage GLForm2 Root5 | Root5");
    click(*g.GLButton13);
    EXPECT_EQ(screenState(g), "Firstpage Ring GLForm1 GLForm2 | Root1");
}

TEST_F(ScreensTest, EditorAndBack) {
    start();
    app::GameScene& g = *m_game;
    click(*g.Editor);
    EXPECT_EQ(screenState(g), "Firstpage Root5 | Root5");
    click(*g.GLButton13);
    EXPECT_EQ(screenState(g), "Firstpage Ring GLForm1 | Root1");
}

TEST_F(ScreensTest, EscapeEndsOnlyARunningSession) {
    app::TForm1& form = start();
    app::GameScene& g = *m_game;
    int ends = 0;
    form.screens().endSession = [&] { ++ends; };
    EXPECT_EQ(form.focusWidget(), form.viewer());
    key(Qt::Key_Escape);
    EXPECT_EQ(ends, 0);
    EXPECT_EQ(screenState(g), "Firstpage Ring GLForm1 | Root1");

    g.Firstpage->setVisible(false);
    g.Singing->setVisible(true);
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
    g.Root5->setVisible(true);
    click(*g.Scores);
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
    moveTo(centreOf(*g.Options));
    EXPECT_EQ(g.Options->bitBtn().name, "Optionsh");
    moveTo(centreOf(*g.Editor));
    EXPECT_EQ(g.Options->bitBtn().name, "Options");
    EXPECT_EQ(g.Editor->bitBtn().name, "Editorh");

    scene::TGLTexture& left = g.Menulyb.materialByName("Larrow")->texture();
    scene::TGLTexture& right = g.Menulyb.materialByName("Rarrow")->texture();
    EXPECT_FLOAT_EQ(left.imageGamma(), 1.0f);
    moveTo(centreOf(*g.Leftarrow));
    EXPECT_FLOAT_EQ(left.imageGamma(), 1.4f);
    EXPECT_FLOAT_EQ(right.imageGamma(), 1.0f);
    EXPECT_EQ(g.Editor->bitBtn().name, "Editor");
    moveTo(centreOf(*g.RightArrow));
    EXPECT_FLOAT_EQ(left.imageGamma(), 0.8f);
    EXPECT_FLOAT_EQ(right.imageGamma(), 1.4f);

    // The session buttons switch the same way.
    g.Singing->setVisible(true);
    moveTo(centreOf(*g.Pause));
    EXPECT_EQ(g.Pause->bitBtn().name, "Pauseh");
    moveTo(QPoint(5, 700));
    EXPECT_EQ(g.Pause->bitBtn().name, "Pause");
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
    app::TForm1& form = start();
    app::GameScene& g = *m_game;
    form.hallOfFame().assign({"852:red", "99:blue", "1000:green", "640:Anna", "120:Bob"});
    click(*g.Scores);
    QTest::qWait(200);
    const QImage hall = form.viewer()->grabFramebuffer();
    EXPECT_TRUE(hall.save("/tmp/cantorix-hall-of-fame.png"));
    click(*g.GLButton9);
    click(*g.Options);
    QTest::qWait(200);
    const QImage options = form.viewer()->grabFramebuffer();
    EXPECT_TRUE(options.save("/tmp/cantorix-options.png"));
    EXPECT_NE(hall, options);
}

} // namespace
