// Timed run under a display (Xvfb): the singing screen of the demo song with its clip, at each
// video quality level. Prints the frames the viewer rendered per second while the song plays
// (bounded by the 60 Hz frame pacer and by what changes) and the rate at which the whole screen
// can be drawn back to back (forced renders of the framebuffer): relative figures for software
// rendering.
// Usage: xvfb-run -a -s "-screen 0 1024x768x24" bench/video_singing_fps [SECONDS]   (default 4)

#include "app/main_window.h"
#include "demo_program_root.h"
#include "platform/media/ffmpeg_video_decoder.h"
#include "platform/media/file_media_player.h"
#include "platform/pictures/jpeg_decoder.h"
#include "platform/sound_input/capture_service.h"
#include "platform/sound_input/capture_wave_in.h"
#include "platform/sound_input/silent_input.h"
#include "platform/sound_output/audio_output.h"
#include "scene/picture_loader.h"
#include "scene/render/qt_glyph_rasterizer.h"
#include "scene/render/scene_viewer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSurfaceFormat>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace cantorix;

namespace {

const char* const kSong = "Cantorix - Harbour Lights";

class WallClock : public scene::SteadyClock {
public:
    double seconds() override {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

void spin(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 4;
    QSurfaceFormat format;
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
    QApplication app(argc, argv);

    const bench::DemoProgramRoot programRoot("cantorix-fps", kSong);
    const fs::path& root = programRoot.path();
    platform::LibJpegDecoder jpeg;
    scene::PictureFileLoader pictures(jpeg), covers(jpeg, 256);
    scene::render::QtGlyphRasterizer glyphs;
    WallClock clock;
    const auto output = platform::chooseAudioOutput(true, std::cerr);
    platform::FileMediaPlayer player(*output);
    platform::CaptureService capture;
    platform::CaptureWaveIn recorderInput(capture);
    std::string captureError;
    {
        app::MainWindow form({root, pictures, glyphs, clock, player, covers, capture, recorderInput,
                              captureError, nullptr,
                              [] { return std::make_unique<platform::FfmpegVideoDecoder>(); }});
        form.show();
        while (form.loadingPanel()->isVisible())
            spin(10);
        platform::SilentInput silence(capture.hub());
        form.session().startSession();
        std::printf("quality  step  vertices  rendered fps  forced fps\n");
        for (int quality = 1; quality <= 4; ++quality) {
            form.session().startVideo(1, quality);
            spin(1000);
            const std::uint64_t before = form.viewer()->framesRendered();
            QElapsedTimer t;
            t.start();
            spin(seconds * 1000);
            const double rendered = static_cast<double>(form.viewer()->framesRendered() - before) *
                                    1000.0 / static_cast<double>(t.elapsed());
            int forced = 0;
            t.restart();
            while (t.elapsed() < seconds * 1000) {
                form.viewer()->grabFramebuffer();
                QCoreApplication::processEvents();
                ++forced;
            }
            std::printf("%7d  %4d  %8zu  %12.1f  %10.1f\n", quality, form.videoPlane()->FrameStep(),
                        form.videoPlane()->node().mesh().vertices.size() / 3, rendered,
                        forced * 1000.0 / static_cast<double>(t.elapsed()));
            std::fflush(stdout);
        }
        form.session().endSession();
    }
    return 0;
}
