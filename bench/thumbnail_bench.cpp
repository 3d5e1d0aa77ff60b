// Timed run: what twenty guests opening the song book at once cost the game. The real phone
// server runs in this process over a generated library of songs with 600-pixel covers; twenty
// guests run in a child process (this program again, with --guests), so their work is not
// counted. Each guest asks for the book's first page and then for every thumbnail on it, one
// request after another, all twenty at once, as phones do that opened the book together. The
// server process's CPU time (user and system, every thread) over the window that follows is
// printed as a share of one core, and the guests print how long each thumbnail took to arrive
// (request sent to last byte, a new TLS connection each, as the server closes every one).
// Loopback only. Asserts nothing.
//
// With --singing the game's window sings the demo song under a display (Xvfb) while the same
// server runs beside it, as in the game: the frames the singing screen shows a second and the
// gaps between them are printed for the song's first seconds sung alone, and for the same seconds
// sung again while the twenty guests fetch the book's thumbnails.
//
//   thumbnail_bench [--seconds N]     (60 by default)
//   LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1024x768x24" thumbnail_bench --singing

#include "app/main_window.h"
#include "demo_program_root.h"
#include "fakes/https_get.h"
#include "fakes/manual_main_thread.h"
#include "generated_summaries.h"
#include "party/song_book.h"
#include "platform/media/file_media_player.h"
#include "platform/phones/phone_server.h"
#include "platform/pictures/cover_thumbnail.h"
#include "platform/pictures/jpeg_decoder.h"
#include "platform/pictures/jpeg_encoder.h"
#include "platform/sound_input/capture_service.h"
#include "platform/sound_input/capture_wave_in.h"
#include "platform/sound_input/silent_input.h"
#include "platform/sound_output/audio_output.h"
#include "scene/picture_loader.h"
#include "scene/render/qt_glyph_rasterizer.h"
#include "scene/render/scene_viewer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSurfaceFormat>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <sched.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace cantorix;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr std::size_t kGuests = 20;
constexpr std::size_t kSongs = 400;
constexpr int kCoverSide = 600;
constexpr const char* kKey = "0f1e2d3c4b5a69788796a5b4c3d2e1f0";

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A cover as people's covers are: a photograph-like gradient with some detail, a few dozen KiB.
std::string coverJpeg(std::size_t song) {
    scene::Image picture(kCoverSide, kCoverSide);
    for (int y = 0; y < kCoverSide; ++y)
        for (int x = 0; x < kCoverSide; ++x) {
            std::uint8_t* p = picture.pixel(x, y);
            p[0] = static_cast<std::uint8_t>((x + song * 37) % 256);
            p[1] = static_cast<std::uint8_t>((y * 2 + song * 11) % 256);
            p[2] = static_cast<std::uint8_t>(((x ^ y) + song) % 256);
            p[3] = 255;
        }
    return platform::encodeJpeg(picture, 85, 0);
}

double percentile(std::vector<double> values, double share) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(share * values.size()))];
}

// The child: twenty guests at once, each the book's first page and then its thumbnails.
int runGuests(int port) {
    int argc = 1;
    char name[] = "thumbnail_bench";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    std::mutex mutex;
    std::vector<double> thumbnailMs;
    std::atomic<std::size_t> failed{0};
    std::vector<std::thread> guests;
    for (std::size_t g = 0; g < kGuests; ++g)
        guests.emplace_back([&] {
            const testing::HttpsResponse page =
                testing::httpsGet(port, std::string("/book?q=&page=0&k=") + kKey);
            const QJsonArray songs = QJsonDocument::fromJson(QByteArray::fromStdString(page.body))
                                         .object()
                                         .value(QStringLiteral("songs"))
                                         .toArray();
            if (page.status != 200 || songs.isEmpty()) {
                ++failed;
                return;
            }
            for (const auto& song : songs) {
                const std::string id =
                    song.toObject().value(QStringLiteral("id")).toString().toStdString();
                const auto asked = Clock::now();
                const testing::HttpsResponse thumbnail =
                    testing::httpsGet(port, "/cover?song=" + id + "&k=" + kKey);
                const double ms =
                    std::chrono::duration<double, std::milli>(Clock::now() - asked).count();
                if (thumbnail.status != 200) {
                    ++failed;
                    continue;
                }
                const std::lock_guard lock(mutex);
                thumbnailMs.push_back(ms);
            }
        });
    for (std::thread& guest : guests)
        guest.join();
    std::printf("%zu guests fetched %zu thumbnails (%zu requests failed): median %.1f ms, "
                "95th percentile %.1f ms, worst %.1f ms\n",
                kGuests, thumbnailMs.size(), failed.load(), percentile(thumbnailMs, 0.5),
                percentile(thumbnailMs, 0.95), percentile(thumbnailMs, 1.0));
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}

// Starts the twenty guests in a child process (this program again), against the server's port.
// Guests' phones are other machines: the child runs only on what the game leaves of the cores
// (SCHED_IDLE, inherited by its threads), so what it costs the game is the server's work alone.
pid_t startGuests(const char* self, int port) {
    const std::string portText = std::to_string(port);
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const sched_param idle{};
        sched_setscheduler(0, SCHED_IDLE, &idle);
        execl("/proc/self/exe", self, "--guests", portText.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

// Frames the singing screen showed over a stretch: how many a second and the gaps between them.
void printFrames(const char* stretch, const std::vector<double>& shownAtMs, double stretchMs) {
    std::vector<double> gaps;
    for (std::size_t i = 1; i < shownAtMs.size(); ++i)
        gaps.push_back(shownAtMs[i] - shownAtMs[i - 1]);
    std::printf("%-26s %6.1f s  %6.1f frames/s  gap median %5.1f ms, 95th percentile %5.1f ms, "
                "worst %5.1f ms\n",
                stretch, stretchMs / 1000,
                1000.0 * static_cast<double>(shownAtMs.size()) / stretchMs, percentile(gaps, 0.5),
                percentile(gaps, 0.95), percentile(gaps, 1.0));
    std::fflush(stdout);
}

class WallClock : public scene::SteadyClock {
public:
    double seconds() override {
        return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
    }
};

// The game's window singing the demo song's first seconds, alone and then while the twenty
// guests fetch the song book's thumbnails from the server beside it.
int measureSinging(const char* self, int port, pitch::testing::ManualInvoker& invoker,
                   double seconds) {
    const bench::DemoProgramRoot programRoot("cantorix-thumbnail-fps", "Cantorix - Harbour Lights");
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
    QElapsedTimer sinceStart;
    sinceStart.start();
    const auto spinFor = [&](const std::function<bool()>& done) {
        while (!done()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            invoker.runPending();
        }
    };
    const auto waitMs = [&](double ms) {
        const double until = static_cast<double>(sinceStart.elapsed()) + ms;
        spinFor([&] { return static_cast<double>(sinceStart.elapsed()) >= until; });
    };
    // The same stretch of the song twice, in a new window each time, once alone and once with the
    // guests starting at its beginning, as the song's screens differ in cost from line to line.
    int status = 0;
    for (const bool withGuests : {false, true}) {
        app::MainWindow form(
            {root, pictures, glyphs, clock, player, covers, capture, recorderInput, captureError});
        form.show();
        std::vector<double> shownAtMs;
        QObject::connect(form.viewer(), &QOpenGLWidget::frameSwapped, [&] {
            shownAtMs.push_back(static_cast<double>(sinceStart.nsecsElapsed()) / 1e6);
        });
        spinFor([&] { return !form.loadingPanel()->isVisible(); });
        const platform::SilentInput silence(capture.hub());
        form.session().startSession();
        waitMs(1000);
        shownAtMs.clear();
        const double from = static_cast<double>(sinceStart.elapsed());
        const pid_t child = withGuests ? startGuests(self, port) : 0;
        if (child < 0)
            return 1;
        waitMs(seconds * 1000);
        printFrames(withGuests ? "while the guests fetch" : "singing alone", shownAtMs,
                    static_cast<double>(sinceStart.elapsed()) - from);
        form.session().endSession();
        if (withGuests) {
            const double giveUp = from + 60'000;
            spinFor([&] {
                return waitpid(child, &status, WNOHANG) == child ||
                       static_cast<double>(sinceStart.elapsed()) > giveUp;
            });
            if (static_cast<double>(sinceStart.elapsed()) > giveUp) {
                kill(child, SIGTERM);
                waitpid(child, &status, 0);
            }
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--guests")
        return runGuests(std::atoi(argv[2]));
    const bool singing = argc >= 2 && std::string(argv[1]) == "--singing";
    double seconds = singing ? 5 : 60;
    if (argc == 3 && (singing || std::string(argv[1]) == "--seconds"))
        seconds = std::atof(argv[2]);
    else if (argc != 1 && !(singing && argc == 2)) {
        std::fprintf(stderr, "usage: thumbnail_bench [--seconds N] | --singing [SECONDS]\n");
        return 2;
    }
    std::unique_ptr<QCoreApplication> application;
    if (singing) {
        QSurfaceFormat format;
        format.setProfile(QSurfaceFormat::CompatibilityProfile);
        format.setDepthBufferSize(24);
        QSurfaceFormat::setDefaultFormat(format);
        application = std::make_unique<QApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }

    std::string pattern = (fs::temp_directory_path() / "thumbnail-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return 1;
    const struct Folder {
        fs::path path;
        ~Folder() { fs::remove_all(path); }
    } folder{pattern};
    std::vector<songs::SongSummary> library = bench::generatedSummaries(kSongs);
    std::size_t coverBytes = 0;
    for (std::size_t i = 0; i < library.size(); ++i) {
        const fs::path cover = folder.path / ("cover" + std::to_string(i) + ".jpg");
        const std::string bytes = coverJpeg(i);
        coverBytes += bytes.size();
        std::ofstream(cover, std::ios::binary) << bytes;
        library[i].cover = cover.string();
        library[i].coverStamp = songs::fileStamp(cover);
    }

    pitch::testing::ManualInvoker invoker;
    platform::CoverThumbnailMaker maker;
    platform::PhoneServer server(
        {.port = 0,
         .identityFolder = folder.path,
         .invoker = &invoker,
         .listNetworks = [] { return std::vector<platform::LocalNetwork>{}; },
         // Every guest here comes from the one loopback address.
         .limits = {.connectionsPerPeer = 32},
         .key = kKey,
         .thumbnail = [&maker](const std::string& cover) { return maker.make(cover); }});
    if (!server.listening()) {
        std::fprintf(stderr, "no server: %s\n", server.problem().c_str());
        return 1;
    }
    server.openSongBook(std::make_shared<const party::SongBook>(library, 5));
    std::printf("%zu songs, covers of %d x %d pixels (%.0f KiB on average)\n", library.size(),
                kCoverSide, kCoverSide, static_cast<double>(coverBytes) / library.size() / 1024);

    if (singing)
        return measureSinging(argv[0], server.port(), invoker, seconds);

    const double cpuBefore = processCpuSeconds();
    const auto from = Clock::now();
    const pid_t child = startGuests(argv[0], server.port());
    if (child < 0)
        return 1;
    const auto until =
        from + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < until) {
        invoker.runPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double cpu = processCpuSeconds() - cpuBefore;
    const std::chrono::duration<double> wall = Clock::now() - from;
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == 0) {
        std::fprintf(stderr, "the guests had not finished within the window\n");
        kill(child, SIGTERM);
        waitpid(child, &status, 0);
    }
    std::printf("over %.0f s from the guests' first request the server process used %.2f s of CPU, "
                "%.1f %% of one core\n",
                wall.count(), cpu, 100 * cpu / wall.count());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
