// The real main window with the real picture loading, fonts and OpenGL viewer, under a display.

#include "app/about_box.h"
#include "app/error_guard.h"
#include "game_window_fixture.h"

#include <QApplication>
#include <QEnterEvent>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <stdexcept>

using namespace cantorix;
namespace fs = std::filesystem;

namespace {

using MainWindowTest = cantorix::testing::GameWindowTest;
using cantorix::testing::waitUntil;

TEST_F(MainWindowTest, SplashGivesWayToTheSceneAfterTheFirstFrame) {
    QElapsedTimer sinceCreate;
    sinceCreate.start();
    app::MainWindow& form = start();
    EXPECT_EQ(form.windowTitle(), "..:Cantorix:..");
    EXPECT_FALSE(form.terminationRequested());
    // Until the deferred start has run, only the white splash covers the client area.
    EXPECT_FALSE(form.started());
    EXPECT_TRUE(form.loadingPanel()->isVisible());
    ASSERT_TRUE(waitUntil([&] { return form.started(); }));
    ASSERT_TRUE(waitUntil([&] { return form.startSteps().firstFrameShown(); }));
    std::printf("first rendered frame %lld ms after the main window was created\n",
                static_cast<long long>(sinceCreate.elapsed()));

    EXPECT_TRUE(form.viewer()->isVisible());
    EXPECT_EQ(form.viewer()->size(), QSize(766, 729));
    EXPECT_EQ(form.game().singing.pointsText->text(), "P-0");
    const QImage shot = form.viewer()->grabFramebuffer();
    // The background picture, not the white splash and not an empty black frame.
    const QColor corner = shot.pixelColor(20, 700);
    EXPECT_FALSE(corner == QColor(Qt::white));
    EXPECT_GT(corner.red() + corner.green() + corner.blue(), 0);
}

TEST_F(MainWindowTest, MenuFollowsTheInteractiveScreen) {
    app::MainWindow& form = start();
    ASSERT_TRUE(waitUntil([&] { return form.startSteps().firstFrameShown(); }));
    ASSERT_TRUE(waitUntil([&] { return form.optionsAction->isEnabled(); }));
    EXPECT_TRUE(form.scoresAction->isEnabled());
    EXPECT_TRUE(form.editVideoAction->isEnabled());
    EXPECT_TRUE(form.editorAction->isEnabled());

    // A session or the score page takes the interactive tag: the four items grey out.
    form.game().selection.guiRoot->setTag(0);
    form.game().scorePage.guiRoot->setTag(1);
    ASSERT_TRUE(waitUntil([&] { return !form.optionsAction->isEnabled(); }));
    EXPECT_FALSE(form.scoresAction->isEnabled());
    EXPECT_FALSE(form.editVideoAction->isEnabled());
    EXPECT_FALSE(form.editorAction->isEnabled());
    EXPECT_TRUE(form.closeAction->isEnabled());
    EXPECT_TRUE(form.aboutAction->isEnabled());

    // The hall of fame counts as a menu screen again.
    form.game().scorePage.guiRoot->setTag(0);
    form.game().hallOfFamePage.guiRoot->setTag(1);
    ASSERT_TRUE(waitUntil([&] { return form.optionsAction->isEnabled(); }));
}

TEST_F(MainWindowTest, ArrowStepsToTheNextSongAndPlaysItsPreview) {
    // The demo songs under four names, so that the first selection (the third) has a right
    // neighbour.
    fs::remove_all(m_root / "songs");
    fs::create_directory(m_root / "songs");
    const fs::path demos = fs::path(CANTORIX_PROGRAM_DIR) / "songs";
    std::vector<fs::path> folders;
    for (const auto& e : fs::directory_iterator(demos))
        folders.push_back(e.path());
    std::sort(folders.begin(), folders.end());
    // Four different songs: a folder linked twice is one song.
    ASSERT_GE(folders.size(), 4u);
    for (int i = 0; i < 4; ++i)
        fs::create_directory_symlink(folders[i], m_root / "songs" / ("Song " + std::to_string(i)));

    app::MainWindow& form = start();
    ASSERT_TRUE(waitUntil([&] { return form.startSteps().firstFrameShown(); }));
    EXPECT_EQ(form.songList().itemIndex(), 2);
    const std::string firstTitle = form.game().selection.title->text();
    EXPECT_FALSE(firstTitle.empty());
    ASSERT_TRUE(waitUntil([&] { return m_player.position() > 0; }))
        << "the first preview never played";

    const scene::RectI arrow = form.game().selection.nextButton->globalRect();
    QTest::mouseClick(form.viewer(), Qt::LeftButton, {},
                      QPoint((arrow.left + arrow.right) / 2, (arrow.top + arrow.bottom) / 2));
    EXPECT_EQ(form.songList().itemIndex(), 3);
    EXPECT_NE(form.game().selection.title->text(), firstTitle);
    EXPECT_EQ(form.game().selection.cover->tag(), 1);
    // The preview starts somewhere in the first half and moves on at the pace of real time.
    const std::int64_t from = m_player.position();
    EXPECT_LT(from, m_player.length() / 2 + 100);
    QTest::qWait(300);
    EXPECT_GT(m_player.position(), from + 150);
    // A song's own cover replaces the shared fallback once decoded (the song before has a JPEG
    // one, which is all this window's cover loader reads).
    const scene::RectI back = form.game().selection.previousButton->globalRect();
    QTest::mouseClick(form.viewer(), Qt::LeftButton, {},
                      QPoint((back.left + back.right) / 2, (back.top + back.bottom) / 2));
    EXPECT_TRUE(
        waitUntil([&] { return form.game().selection.cover->material().name != "c-fallback"; }));
}

// A WAV file of one tone, 16-bit mono PCM.
void writeToneWav(const fs::path& file, double hz, double seconds, int rate) {
    const auto frames = static_cast<std::uint32_t>(seconds * rate);
    std::ofstream out(file, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + frames * 2);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(static_cast<std::uint32_t>(rate));
    u32(static_cast<std::uint32_t>(rate) * 2);
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(frames * 2);
    for (std::uint32_t i = 0; i < frames; ++i)
        u16(static_cast<std::uint16_t>(
            static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * hz * i / rate))));
}

TEST_F(MainWindowTest, TheGameListensFromStartUpOnAndTheMicFileWaitsForASession) {
    // Sing 440 Hz into the WAV-file microphone: the analysis finds bin 43 (sung value 42), but
    // only once the file is started over, as a session does; the menus hear silence.
    writeToneWav(m_root / "voice.wav", 440.0, 6.0, 22050);
    platform::CaptureOpening mic = platform::openCapture(m_root / "voice.wav");
    ASSERT_EQ(mic.error, "");
    ASSERT_NE(mic.sessionInput, nullptr);
    m_capture = std::move(mic.service);
    app::MainWindow& form = start();
    ASSERT_TRUE(
        waitUntil([&] { return form.sound() != nullptr && form.sound()->sampleCount() > 0; }));
    QTest::qWait(400);
    EXPECT_EQ(form.sound()->detectedBin(), 0);
    mic.sessionInput->startOver();
    EXPECT_TRUE(waitUntil([&] { return form.sound()->detectedBin() == 43; }, 5000))
        << "detected bin " << form.sound()->detectedBin();
    EXPECT_EQ(form.sungValue(), 42);
}

TEST_F(MainWindowTest, AnErrorInAHandlerIsShownAndTheProgramGoesOn) {
    QString shown;
    app::setErrorPresenter([&](QWidget*, const QString& text) { shown = text; });
    bool after = false;
    app::runGuarded(nullptr, [] { throw std::runtime_error("Unable to open port"); });
    app::runGuarded(nullptr, [&] { after = true; });
    EXPECT_EQ(shown, "Unable to open port");
    EXPECT_TRUE(after);
    app::setErrorPresenter([](QWidget*, const QString& text) {
        ADD_FAILURE() << "error shown: " << text.toStdString();
    });
}

TEST_F(MainWindowTest, EmptySongsDirectoryStopsBeforeTheDeferredStart) {
    fs::remove_all(m_root / "songs" / "Demo Song");
    // The message box is modal; close it as soon as it shows.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QMessageBox") && w->isVisible())
                w->close();
    });
    closer.start(50);
    app::MainWindow& form = start();
    EXPECT_TRUE(form.terminationRequested());
    QTest::qWait(300);
    EXPECT_FALSE(form.started());
}

TEST(AboutBoxTest, LinkLightsUpUnderTheMouse) {
    app::AboutBox about{QImage(49, 41, QImage::Format_RGB32)};
    EXPECT_EQ(about.windowTitle(), "    Cantorix");
    EXPECT_EQ(about.size(), QSize(199, 134));
    app::TLabelURL* link = about.link();
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(link, &enter);
    EXPECT_TRUE(link->active());
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    EXPECT_FALSE(link->active());
    EXPECT_FALSE(link->font().underline());
}

} // namespace
