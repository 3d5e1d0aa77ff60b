// Program entry: the composition root. Creates the concrete services, then the five windows in
// their order, and runs the event loop until the main window closes.

#include "app/about_box.h"
#include "app/command_line.h"
#include "app/error_guard.h"
#include "app/form_storage.h"
#include "app/main_window.h"
#include "app/program_files.h"
#include "app/side_windows.h"
#include "app/start_steps.h"
#include "audio/export_window.h"
#include "platform/media/codec_manager.h"
#include "platform/media/ffmpeg_song_decoder.h"
#include "platform/media/ffmpeg_video_decoder.h"
#include "platform/media/file_media_player.h"
#include "platform/midi/midi_timer_thread.h"
#include "platform/midi/system_midi_outputs.h"
#include "platform/phones/phone_server.h"
#include "platform/pictures/cover_thumbnail.h"
#include "platform/pictures/jpeg_decoder.h"
#include "platform/pictures/png_decoder.h"
#include "platform/sound_input/capture_input_set.h"
#include "platform/sound_output/audio_output.h"
#include "platform/storage/ini_profile_file.h"
#include "platform/storage/sqlite_library_cache.h"
#include "platform/storage/sqlite_record_store.h"
#include "platform/voice/aubio_semitone_tracker.h"
#include "records/records_directory.h"
#include "scene/picture_loader.h"
#include "scene/render/qt_glyph_rasterizer.h"

#include <QApplication>
#include <QScreen>
#include <QSurfaceFormat>
#include <chrono>
#include <cstdlib>
#include <iostream>

namespace {

constexpr int kCoverMaxSide = 256;

class SystemSteadyClock : public cantorix::scene::SteadyClock {
public:
    double seconds() override {
        using namespace std::chrono;
        return duration<double>(steady_clock::now().time_since_epoch()).count();
    }
};

void centre(QWidget& window) {
    if (QScreen* screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
}

// Everything from the program directory to the end of the event loop. A failure while the
// windows are made is reported here and ends the program with status 1; later ones meet the
// guards of the handlers.
int runGame(cantorix::app::GuardedApplication& application, const cantorix::app::CommandLine& cmd,
            const char* argv0) try {
    using namespace cantorix;
    SystemSteadyClock clock;
    app::StartSteps steps(clock);
    steps.begin("program folder");
    const auto programDir =
        app::programDirectory(cmd, app::executablePath("/proc/self/exe", argv0));
    app::requireDataDirectory(programDir);
    platform::LibJpegDecoder jpeg;
    platform::LibPngDecoder png;
    // The guests' song book shows each cover small; the phone server's workers make them.
    platform::CoverThumbnailMaker coverThumbnails;
    scene::PictureFileLoader pictures(jpeg, png);
    // A cover shows about a hundred pixels wide: a quarter of a 600-pixel picture is plenty, and
    // a thousand covers then fit in memory comfortably.
    scene::PictureFileLoader coverPictures(jpeg, png, kCoverMaxSide);
    scene::render::QtGlyphRasterizer glyphs;
    steps.begin("sound output");
    const auto soundOutput = platform::chooseAudioOutput(cmd.noAudio, std::cerr);
    platform::FileMediaPlayer player(*soundOutput);

    const auto environment = [](const char* name) -> const char* { return std::getenv(name); };
    steps.begin("options file");
    platform::IniProfileFile scoreIni(app::configDirectory(cmd, environment) / "Score.ini");
    const auto recordsFolder = records::recordsDirectory(cmd.dataDir, environment);

    // Phones as microphones, when the options or the command line let them join: the server
    // listens from now until the game closes. It outlives the inputs listing its seats.
    app::QtMainThreadInvoker phoneEvents;
    std::unique_ptr<platform::PhoneServer> phoneServer;
    if (const app::PhonesOption phones = app::readPhonesOption(scoreIni);
        cmd.phones || phones.mayJoin) {
        phoneServer = std::make_unique<platform::PhoneServer>(platform::PhoneServer::Options{
            .port = phones.port,
            .identityFolder = recordsFolder,
            .invoker = &phoneEvents,
            .log = &std::cerr,
            .listenAtOnce = false,
            .thumbnail = [&coverThumbnails](const std::string& cover) {
                return coverThumbnails.make(cover);
            }});
        steps.afterFirstFrame("phones' server", [&phoneServer] {
            phoneServer->listen();
            if (!phoneServer->listening())
                std::cerr << "cantorix: phones cannot join: " << phoneServer->problem() << "\n";
        });
    }
    const auto phoneSeatInputs = [&phoneServer] {
        return phoneServer ? platform::phoneSeatInputs(*phoneServer)
                           : std::vector<platform::ExternalInput>{};
    };
    // Every microphone channel, or every channel of the --mic files, and the phones' seats;
    // listed once the first frame is on screen (the window shows its singers then), and again
    // before each session. Inputs that cannot be opened are written to the log as they are
    // listed.
    platform::CaptureInputSet inputSet(
        {.micWavs = cmd.micWavs, .output = soundOutput.get(), .externalInputs = phoneSeatInputs});
    steps.afterFirstFrame("inputs listed", [&inputSet] {
        inputSet.relist();
        for (const std::string& problem : inputSet.fileProblems())
            std::cerr << "cantorix: " << problem << "\n";
    });

    // The editor plays MIDI through the built-in synthesizer into the same sound output.
    steps.begin("MIDI outputs");
    platform::SystemMidiOutputs midiOutputs(*soundOutput);
    platform::MidiTimerThread midiTimer;
    // A cache that cannot be used is left as it is; the game goes on without one and says why.
    steps.begin("library cache opened");
    platform::SqliteLibraryCache libraryCache(
        app::cacheDirectory(cmd, environment) / "library.sqlite3",
        [](const std::string& why) { std::cerr << "cantorix: " << why << "\n"; });
    // The players and their performances: never in the cache, which may be deleted at any time.
    steps.begin("records file opened");
    platform::SqliteRecordStore recordStore(recordsFolder / records::kRecordsFileName);

    steps.begin("main window made");
    app::MainWindow mainWindow({
        .programDir = programDir,
        .images = pictures,
        .glyphs = glyphs,
        .clock = clock,
        .player = player,
        .coverImages = coverPictures,
        // The window takes every input from inputSet; these stand for a program that hands in
        // one capture alone.
        .capture = inputSet.firstCapture(),
        .recorderDevice = inputSet.recorder(),
        .captureError = {},
        .profile = &scoreIni,
        .videoDecoders = [] { return std::make_unique<platform::FfmpegVideoDecoder>(); },
        .midiOutputs = &midiOutputs,
        .midiTimer = &midiTimer,
        // Each singer's semitone tracker of their own: trackers keep state between windows.
        .makeSemitoneTracker = [] { return std::make_unique<platform::AubioSemitoneTracker>(); },
        .inputs = &inputSet,
        .songRoots = app::songRoots(cmd, programDir, environment),
        .libraryCache = &libraryCache,
        .recordStore = &recordStore,
        .queueStore = &recordStore,
        .picturesFolder = recordsFolder / records::kPicturesFolderName,
        .phones = phoneServer.get(),
        .startSteps = &steps,
    });
    steps.begin("side windows");
    platform::CodecManager codecs;
    platform::FfmpegSongDecoder otherSongAudio;
    audio::ExportWindow exportWindow(codecs, otherSongAudio, programDir);
    mainWindow.session().setExportWindow(&exportWindow);
    app::LyricViewerWindow lyricViewer;
    app::VideoEditorWindow videoEditor;
    app::AboutBox aboutBox(app::requiredPicture(programDir / "data/gfx/logo.png"));
    mainWindow.setSideWindows(&aboutBox, &videoEditor, &lyricViewer);
    if (mainWindow.terminationRequested())
        return 0;
    // The failure has been shown by then; the event loop ends with it.
    QObject::connect(&mainWindow, &app::MainWindow::deferredStartFailed, &application,
                     [] { QCoreApplication::exit(1); });
    steps.begin("main window shown");
    mainWindow.show();
    if (!scoreIni.readError().empty()) {
        // The player's options and hall of fame are in that file: say why they are missing, and
        // that the file is kept, rather than start silently with the defaults.
        const std::string text = "\"" + scoreIni.path().string() + "\" could not be read (" +
                                 scoreIni.readError() +
                                 "). The game starts with its default options and leaves that "
                                 "file as it is.";
        std::cerr << "cantorix: " << text << "\n";
        app::presentNotice(&mainWindow, QString::fromStdString(text));
    }
    centre(mainWindow);
    centre(lyricViewer);
    centre(videoEditor);
    steps.end();
    return application.exec();
} catch (...) {
    using namespace cantorix::app;
    reportStartupFailure(nullptr, describeException(std::current_exception()));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    using namespace cantorix;
    std::vector<std::string> args(argv + 1, argv + argc);
    const app::CommandLine cmd = app::parseCommandLine(args);
    if (!cmd.error.empty()) {
        std::cerr << "cantorix: " << cmd.error << "\n\n" << app::usageText();
        return 2;
    }
    if (cmd.help) {
        std::cout << app::usageText();
        return 0;
    }
    if (cmd.version) {
        std::cout << "cantorix " << CANTORIX_VERSION << "\n";
        return 0;
    }

    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    format.setSamples(0);
    QSurfaceFormat::setDefaultFormat(format);
    app::GuardedApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cantorix"));
    return runGame(application, cmd, argv[0]);
}
