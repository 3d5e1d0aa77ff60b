// Timed run under a display (Xvfb, software GL): the game's start with no stored performances
// and with 200,000 of them (30,000 songs, 12 players, generated once into a records file under
// /tmp), alternately, built from the same real adapters as the game. For each start it prints
// when the window had started (the first frame's housekeeping began) and when the records were
// in memory, both from the window's construction; then how long the selection screen's records
// lines take to follow a ring step with each book. Asserts nothing.
// Usage: xvfb-run -a -s "-screen 0 1024x768x24" bench/records_startup [RUNS]   (default 5)

#include "app/main_window.h"
#include "platform/media/file_media_player.h"
#include "platform/pictures/jpeg_decoder.h"
#include "platform/pictures/png_decoder.h"
#include "platform/sound_input/capture_input_set.h"
#include "platform/sound_output/audio_output.h"
#include "platform/storage/ini_profile_file.h"
#include "platform/storage/sqlite_library_cache.h"
#include "platform/storage/sqlite_record_store.h"
#include "records/record_book.h"
#include "scene/picture_loader.h"
#include "scene/render/qt_glyph_rasterizer.h"
#include "songs/song_identity.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSurfaceFormat>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;
using namespace cantorix;

namespace {

constexpr int kPerformances = 200'000, kSongs = 30'000, kPlayers = 12, kBatch = 2'000;

class SystemClock : public scene::SteadyClock {
public:
    double seconds() override {
        using namespace std::chrono;
        return duration<double>(steady_clock::now().time_since_epoch()).count();
    }
};

std::string songArtist(int song) {
    return "Artist " + std::to_string(song / 10);
}
std::string songTitle(int song) {
    return "Title " + std::to_string(song);
}

// Players first, then the performances in sessions of up to four singers.
void makeRecordsFile(const fs::path& file) {
    platform::SqliteRecordStore store(file);
    std::vector<std::int64_t> players;
    for (int p = 0; p < kPlayers; ++p) {
        records::Player player;
        player.name = "Player " + std::to_string(p + 1);
        player.colour = 0x3030FFu * static_cast<std::uint32_t>(p);
        players.push_back(store.addPlayer(player).id);
    }
    std::mt19937 random(7);
    std::vector<records::Performance> batch;
    for (int i = 0; i < kPerformances; ++i) {
        const int song = static_cast<int>(random() % kSongs);
        records::Performance row;
        row.playerId = players[random() % players.size()];
        row.singerName = "Player";
        row.key = {songs::songIdentity(songArtist(song), songTitle(song)), 0};
        row.artist = songArtist(song);
        row.title = songTitle(song);
        row.total = static_cast<std::int64_t>(random() % 10'000);
        row.notePoints = static_cast<std::int32_t>(row.total);
        row.possible = 10'000;
        row.share = row.total / 10'000.0;
        row.sungAtMs = 1'700'000'000'000 + std::int64_t{i} * 60'000;
        row.sungMs = row.songMs = 200'000;
        row.finished = random() % 10 != 0;
        batch.push_back(std::move(row));
        if (batch.size() == kBatch) {
            store.storeSession(std::move(batch));
            batch.clear();
        }
    }
    if (!batch.empty())
        store.storeSession(std::move(batch));
}

struct Start {
    double startedMs = 0, loadedMs = 0;
};

Start timeStart(const fs::path& records, const fs::path& work) {
    platform::LibJpegDecoder jpeg;
    platform::LibPngDecoder png;
    scene::PictureFileLoader pictures(jpeg, png), covers(jpeg, png, 256);
    scene::render::QtGlyphRasterizer glyphs;
    SystemClock clock;
    std::ostringstream log;
    const auto output = platform::chooseAudioOutput(true, log);
    platform::FileMediaPlayer player(*output);
    platform::CaptureInputSet::Options silent;
    silent.output = output.get();
    silent.systemDefaultInput = false;
    silent.listDevices = [] { return std::vector<platform::AlsaCaptureDevice>{}; };
    platform::CaptureInputSet inputs(silent);
    inputs.relist();
    platform::IniProfileFile scoreIni(work / "Score.ini");
    platform::SqliteLibraryCache cache(work / "library.sqlite3");
    platform::SqliteRecordStore store(records);
    QElapsedTimer elapsed;
    elapsed.start();
    app::MainWindow window({.programDir = CANTORIX_PROGRAM_DIR,
                            .images = pictures,
                            .glyphs = glyphs,
                            .clock = clock,
                            .player = player,
                            .coverImages = covers,
                            .capture = inputs.firstCapture(),
                            .recorderDevice = inputs.recorder(),
                            .captureError = {},
                            .profile = &scoreIni,
                            .inputs = &inputs,
                            .libraryCache = &cache,
                            .recordStore = &store});
    Start start;
    QObject::connect(&window, &app::MainWindow::deferredStartFinished,
                     [&] { start.startedMs = static_cast<double>(elapsed.nsecsElapsed()) / 1e6; });
    window.show();
    while ((start.startedMs == 0 || !window.records().loaded()) && elapsed.elapsed() < 30'000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (start.loadedMs == 0 && window.records().loaded())
            start.loadedMs = static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
    }
    return start;
}

// The queries one ring step makes of the book: a song's three best and four singers' bests.
double ringStepMicroseconds(const records::RecordBook& book) {
    constexpr int kSteps = 20'000;
    std::mt19937 random(3);
    std::int64_t sink = 0;
    const auto before = std::chrono::steady_clock::now();
    for (int i = 0; i < kSteps; ++i) {
        const int song = static_cast<int>(random() % kSongs);
        const records::RecordKey key{songs::songIdentity(songArtist(song), songTitle(song)), 0};
        for (const records::Performance& best : book.best(key, 3))
            sink += best.total;
        for (std::int64_t p = 1; p <= 4; ++p)
            if (const auto best = book.bestOf(key, p))
                sink += best->total;
        sink += book.popularity(key.song).timesSung;
    }
    const std::chrono::duration<double, std::micro> took =
        std::chrono::steady_clock::now() - before;
    return sink == -1 ? 0 : took.count() / kSteps;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path full = fs::temp_directory_path() / "cantorix-records-200k.sqlite3";
    if (!fs::exists(full)) {
        std::cout << "generating " << full << " …\n";
        makeRecordsFile(full);
    }
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
    QApplication application(argc, argv);
    const fs::path work = fs::temp_directory_path() / "cantorix-records-startup";
    for (int run = 0; run < runs; ++run) {
        for (const bool withRecords : {false, true}) {
            fs::remove_all(work);
            fs::create_directories(work);
            const Start s = timeStart(withRecords ? full : work / "none.sqlite3", work);
            std::printf("%-26s started %7.1f ms, records in memory %7.1f ms\n",
                        withRecords ? "200,000 performances:" : "no performances:", s.startedMs,
                        s.loadedMs);
        }
    }
    platform::SqliteRecordStore store(full);
    records::RecordSnapshot snapshot = store.load();
    records::RecordBook book;
    book.assign(std::move(snapshot.players), std::move(snapshot.performances));
    std::printf("ring step's queries: %.2f µs with 200,000 performances, %.2f µs with none\n",
                ringStepMicroseconds(book), ringStepMicroseconds(records::RecordBook{}));
    fs::remove_all(work);
    return 0;
}
