#pragma once
// A real main window over a temporary program directory with one song folder, with the real
// picture loading, fonts, OpenGL viewer, silent microphone and null sound output.

#include "app/main_window.h"
#include "platform/media/file_media_player.h"
#include "platform/pictures/jpeg_decoder.h"
#include "platform/sound_input/capture_factory.h"
#include "platform/sound_input/capture_service.h"
#include "platform/sound_input/capture_wave_in.h"
#include "platform/sound_output/audio_output.h"
#include "scene/picture_loader.h"
#include "scene/render/qt_glyph_rasterizer.h"
#include "scene/render/scene_viewer.h"

#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <initializer_list>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>

namespace cantorix::testing {

class WallClock : public scene::SteadyClock {
public:
    double seconds() override {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

template <class Pred> bool waitUntil(Pred pred, int timeoutMs = 10000) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QTest::qWait(10);
    }
    return true;
}

// A program directory of one test program's own: the build's pictures shared through links,
// the named demo song folders linked in, and data/buffer left to what the game writes there.
inline std::filesystem::path makeProgramRoot(const std::string& name,
                                             std::initializer_list<std::string> songFolders) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
    fs::remove_all(root);
    const fs::path program(CANTORIX_PROGRAM_DIR);
    fs::create_directories(root / "songs");
    fs::create_directories(root / "data");
    fs::create_directory_symlink(program / "data/gfx", root / "data/gfx");
    fs::create_directory_symlink(program / "data/skins", root / "data/skins");
    for (const std::string& folder : songFolders)
        fs::create_directory_symlink(program / "songs" / folder, root / "songs" / folder);
    return root;
}

class GameWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        m_root = fs::temp_directory_path() / ("cantorix-window-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "songs" / "Demo Song");
        fs::create_directory_symlink(fs::path(CANTORIX_PROGRAM_DIR) / "data", m_root / "data");
        m_pictures = std::make_unique<scene::PictureFileLoader>(m_jpeg);
        m_covers = std::make_unique<scene::PictureFileLoader>(m_jpeg, 256);
    }
    void TearDown() override {
        m_form.reset();
        std::filesystem::remove_all(m_root);
    }
    // Creates and shows the window; the deferred start follows in the event loop.
    app::MainWindow& start() {
        m_form = std::make_unique<app::MainWindow>(
            app::AppServices{m_root, *m_pictures, m_glyphs, m_clock, m_player, *m_covers,
                             *m_capture, m_recorderInput, m_captureError});
        m_form->show();
        return *m_form;
    }
    // Shows the window and waits until the scene is on screen.
    app::MainWindow& startAndWait() {
        start();
        EXPECT_TRUE(waitUntil([&] { return !m_form->loadingPanel()->isVisible(); }));
        return *m_form;
    }

    std::filesystem::path m_root;
    platform::LibJpegDecoder m_jpeg;
    std::unique_ptr<scene::PictureFileLoader> m_pictures, m_covers;
    std::unique_ptr<platform::AudioOutput> m_output = platform::chooseAudioOutput(true, std::cerr);
    platform::FileMediaPlayer m_player{*m_output};
    std::unique_ptr<platform::CaptureService> m_capture = platform::openSilentCapture();
    platform::CaptureWaveIn m_recorderInput{*m_capture};
    std::string m_captureError;
    scene::render::QtGlyphRasterizer m_glyphs;
    WallClock m_clock;
    std::unique_ptr<app::MainWindow> m_form;
};

// The fixture of the tests that sing: a real window over a program directory of the test's own
// (m_root, set by the test), and a capture fed by the test's own source (m_input: silence, or a
// WAV as `--mic` does) from the Start click on, with the recorder on it.
class SingingWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        m_form.reset();
        m_input.reset();
        if (!m_root.empty())
            std::filesystem::remove_all(m_root);
    }
    // The window's services over this fixture's devices; a test adds what it needs.
    app::AppServices services() {
        return {m_root,    *m_pictures, m_glyphs,        m_clock,       m_player,
                *m_covers, m_capture,   m_recorderInput, m_captureError};
    }
    // Creates and shows the window, and waits until the scene is on screen.
    bool showWindow(app::AppServices services) {
        m_form = std::make_unique<app::MainWindow>(std::move(services));
        m_form->show();
        m_game = &m_form->game();
        // Up, and what waits for the first frame (the preview, the listening, the scan) begun.
        return waitUntil([&] {
            return !m_form->loadingPanel()->isVisible() && m_form->startSteps().firstFrameShown();
        });
    }
    void click(const scene::TGLBaseControl& control) {
        const scene::RectI r = control.globalRect();
        QTest::mouseClick(m_form->viewer(), Qt::LeftButton, {},
                          QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    }

    std::filesystem::path m_root;
    platform::LibJpegDecoder m_jpeg;
    std::unique_ptr<scene::PictureFileLoader> m_pictures =
        std::make_unique<scene::PictureFileLoader>(m_jpeg);
    std::unique_ptr<scene::PictureFileLoader> m_covers =
        std::make_unique<scene::PictureFileLoader>(m_jpeg, 256);
    std::unique_ptr<platform::AudioOutput> m_output = platform::chooseAudioOutput(true, std::cerr);
    platform::FileMediaPlayer m_player{*m_output};
    platform::CaptureService m_capture;
    platform::CaptureWaveIn m_recorderInput{m_capture};
    std::unique_ptr<platform::CaptureSource> m_input;
    std::string m_captureError;
    scene::render::QtGlyphRasterizer m_glyphs;
    WallClock m_clock;
    std::unique_ptr<app::MainWindow> m_form;
    app::GameScene* m_game = nullptr;
};

} // namespace cantorix::testing
