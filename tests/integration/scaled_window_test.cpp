// The real main window full screen on a 1920 × 1080 display: the designed scene scaled to fit
// and centred, and the pointer mapped back so its controls still work.

#include "game_window_fixture.h"
#include "scene/render/letterbox.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <algorithm>

using namespace cantorix;
namespace fs = std::filesystem;

namespace {

using cantorix::testing::waitUntil;

class ScaledWindowTest : public cantorix::testing::GameWindowTest {
protected:
    // Four songs, so the first selection (the third) has a right neighbour.
    void linkFourSongs() {
        fs::remove_all(m_root / "songs");
        fs::create_directory(m_root / "songs");
        std::vector<fs::path> folders;
        for (const auto& e : fs::directory_iterator(fs::path(CANTORIX_PROGRAM_DIR) / "songs"))
            folders.push_back(e.path());
        std::sort(folders.begin(), folders.end());
        ASSERT_GE(folders.size(), 4u);
        for (int i = 0; i < 4; ++i)
            fs::create_directory_symlink(folders[i],
                                         m_root / "songs" / ("Song " + std::to_string(i)));
    }
    // The window point over a design point of the scene as it is scaled now.
    QPoint windowPoint(const scene::TGLBaseControl& control) const {
        const scene::RectI r = control.globalRect();
        const auto p = m_form->viewer()->letterbox().toWindow(
            {(r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0});
        return {static_cast<int>(p.x), static_cast<int>(p.y)};
    }
    void moveTo(QPoint p) {
        QMouseEvent move(QEvent::MouseMove, p, m_form->viewer()->mapToGlobal(p), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(m_form->viewer(), &move);
    }
    // A frame drawn after everything changed so far.
    QImage freshShot() {
        const auto frames = m_form->viewer()->framesRendered();
        m_form->viewer()->update();
        EXPECT_TRUE(waitUntil([&] { return m_form->viewer()->framesRendered() > frames; }));
        return m_form->viewer()->grabFramebuffer();
    }
};

TEST_F(ScaledWindowTest, FullScreenShowsTheSelectionScaledAndItsControlsWork) {
    const QSize screen = QGuiApplication::primaryScreen()->size();
    if (screen != QSize(1920, 1080))
        GTEST_SKIP() << "needs a 1920 x 1080 display (xvfb-run -s \"-screen 0 1920x1080x24\")";
    linkFourSongs();
    app::MainWindow& form = startAndWait();
    ASSERT_EQ(form.songList().itemIndex(), 2);
    QTest::keyClick(form.viewer(), Qt::Key_F11);
    ASSERT_TRUE(waitUntil([&] { return form.isFullScreen() && form.width() == 1920; }))
        << "full screen " << form.isFullScreen() << ", width " << form.width();
    EXPECT_TRUE(form.fullScreenAction->isChecked());
    ASSERT_TRUE(waitUntil([&] { return form.viewer()->width() == 1920; }));
    // Escape belongs to the game: it does not leave full screen.
    QTest::keyClick(form.viewer(), Qt::Key_Escape);
    EXPECT_TRUE(form.isFullScreen());

    // The height limits the scale; the canvas is centred with margins left and right.
    const scene::render::Letterbox box = form.viewer()->letterbox();
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.height, form.viewer()->height());
    EXPECT_NEAR(box.left * 2 + box.width, 1920, 1);
    EXPECT_GT(box.scale, 1.3);

    QTest::qWait(1500); // the first cover turn ends
    const QImage plain = freshShot();
    ASSERT_EQ(plain.size(), QSize(1920, form.viewer()->height()));
    // Margins continue the background: the same colour on both sides, not the canvas' black.
    const QColor leftMargin = plain.pixelColor(box.left / 2, box.height / 2);
    EXPECT_EQ(leftMargin, plain.pixelColor(1920 - box.left / 2, box.height / 2));
    EXPECT_NE(leftMargin, QColor(Qt::black));

    // Hovering START at its scaled place lights its picture: the pixels that change are those
    // of the START button's box as the scale places it, and none around it.
    const scene::TGLButton& start = *form.game().selection.startButton;
    moveTo(windowPoint(start));
    EXPECT_EQ(start.bitBtn().name, "Starth");
    const QImage lit = freshShot();
    const scene::RectI r = start.globalRect();
    const auto topLeft = box.toWindow({static_cast<double>(r.left), static_cast<double>(r.top)});
    const auto bottomRight =
        box.toWindow({static_cast<double>(r.right), static_cast<double>(r.bottom)});
    const QRect scaledBox(QPoint(static_cast<int>(topLeft.x), static_cast<int>(topLeft.y)),
                          QPoint(static_cast<int>(bottomRight.x), static_cast<int>(bottomRight.y)));
    const QRect around = scaledBox.adjusted(-60, -60, 60, 60).intersected(plain.rect());
    QRect changed;
    for (int y = around.top(); y <= around.bottom(); ++y)
        for (int x = around.left(); x <= around.right(); ++x)
            if (plain.pixel(x, y) != lit.pixel(x, y))
                changed |= QRect(x, y, 1, 1);
    ASSERT_FALSE(changed.isEmpty()) << "hovering START changed nothing on screen";
    EXPECT_TRUE(scaledBox.adjusted(-3, -3, 3, 3).contains(changed))
        << "changed " << changed.x() << "," << changed.y() << " " << changed.width() << "x"
        << changed.height() << " outside START's scaled box " << scaledBox.x() << ","
        << scaledBox.y() << " " << scaledBox.width() << "x" << scaledBox.height();
    // At the design size the change would cover only start.width() pixels.
    EXPECT_GT(changed.width(), start.width() * 1.2);
    moveTo(QPoint(5, 5)); // in the margin: nothing is under the pointer
    EXPECT_EQ(start.bitBtn().name, "Start");

    // A click at the right arrow's scaled place turns the ring.
    QTest::mouseClick(form.viewer(), Qt::LeftButton, {},
                      windowPoint(*form.game().selection.nextButton));
    EXPECT_EQ(form.songList().itemIndex(), 3);
    // A click in the margin beside the left arrow reaches no control.
    QTest::mouseClick(form.viewer(), Qt::LeftButton, {},
                      QPoint(box.left / 2, windowPoint(*form.game().selection.previousButton).y()));
    EXPECT_EQ(form.songList().itemIndex(), 3);

    QTest::keyClick(form.viewer(), Qt::Key_F11);
    ASSERT_TRUE(waitUntil([&] { return !form.isFullScreen(); }));
    EXPECT_FALSE(form.fullScreenAction->isChecked());
}

} // namespace
