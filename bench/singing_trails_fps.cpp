// Timed run under a display (Xvfb, software GL): the singing screen at its design size with the
// standard demo duet's first line sung to its end by one singer and by eight, each singer's hits
// filled and their markers shown, the running scores beside the band, and the duet on two bands
// with four singers each; beside them the former one-singer screen (the band without its strip,
// one trail of a segment per tick), the figure the stage's cost is held to. Prints how many times
// a second the whole screen can be drawn back to back (forced renders) and the process's CPU a
// frame (the median of at least 300 frames); asserts nothing. With --shots DIR it also saves each
// screen as a PNG there; NO_STRIP=1 leaves the bands' strips out, to see what they cost, and
// BLENDED_STRIPS=1 draws them over the whole picture instead of cutting them out of it.
//
// Usage: LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1024x768x24"
//            bench/singing_trails_fps [SECONDS] [--shots DIR]   (default 3 seconds a case)

#include "app/game_scene.h"
#include "app/singing_bands.h"
#include "platform/pictures/jpeg_decoder.h"
#include "scene/picture_loader.h"
#include "scene/render/qt_glyph_rasterizer.h"
#include "scene/render/scene_viewer.h"
#include "session/standard_judge.h"
#include "songs/song_text_file.h"
#include "songs/standard_song.h"
#include "stage/stage_palette.h"
#include "stage/standard_lane_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QSurfaceFormat>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace cantorix;

namespace {

const fs::path kSongFolder = fs::path(CANTORIX_PROGRAM_DIR) / "songs/Cantorix - Two Lighthouses";
constexpr int kTickMs = 50;
constexpr int kDesignWidth = 766, kDesignHeight = 729;
const scene::TColor kSingerColours[] = {0x3030FF, 0xFF9020, 0x30D030, 0x20D0FF,
                                        0xFF40D0, 0x90FFFF, 0x8080FF, 0xFFFFFF};
const char* const kSingerNames[] = {"Ann", "Bartholomew", "Cy",  "Dolores",
                                    "Ed",  "Francesca",   "Gil", "Hanna"};

struct Case {
    const char* name;
    int bands;
    int singers; // in all, dealt to the bands in turn
};

void spin(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Singer k sings the notes a little off, each by their own amount, and wavers.
pitch::SemitoneReading readingOf(const session::StandardTimeline& timeline, int singer, int tick) {
    const int note = timeline.highlightedNote();
    if (note < 0)
        return {false, 0.0};
    const double pitch = timeline.voice().notes[static_cast<std::size_t>(note)].note.pitch + 60.0 +
                         0.35 * (singer - 3.5) + 0.3 * std::sin(0.4 * tick + singer);
    return {true, pitch};
}

// Sings each band's first line to its end: every singer's judge hears a tick every 50 ms, and
// the stage fills what was hit and moves the markers.
void singFirstLines(std::vector<std::unique_ptr<stage::StandardLaneView>>& lanes,
                    const std::vector<int>& singersOf, stage::SingerScores& scores) {
    for (std::size_t b = 0; b < lanes.size(); ++b) {
        stage::StandardLaneView& lane = *lanes[b];
        const session::VoiceTimeline& voice = lane.timeline().voice();
        const session::TimedLine& line = voice.lines.front();
        const auto lastMs = static_cast<std::int64_t>(voice.notes[line.last - 1].endMs);
        const session::StandardJudge judge(voice, session::Difficulty::Medium, 0);
        std::vector<stage::SingerScoreLine> rows;
        int tick = 0;
        for (auto ms = static_cast<std::int64_t>(voice.notes[line.first].startMs); ms < lastMs;
             ms += kTickMs, ++tick) {
            lane.step(ms);
            for (int k = 0; k < singersOf[b]; ++k) {
                const pitch::SemitoneReading reading = readingOf(lane.timeline(), k, tick);
                const session::TickJudgement verdict =
                    judge.judge({pitch::kSilenceSungValue, reading, static_cast<double>(ms)});
                std::vector<session::ListeningLoop::HeardTick> heard;
                if (verdict.judged)
                    heard.push_back({verdict, reading});
                lane.showHeard(static_cast<std::size_t>(k), heard, reading);
            }
        }
        for (int k = 0; k < singersOf[b]; ++k) {
            const std::size_t singer = static_cast<std::size_t>(k) * lanes.size() + b;
            rows.push_back({kSingerNames[singer], kSingerColours[singer], 830 * (k + 1), k == 2});
        }
        scores.show(static_cast<int>(b), rows);
    }
}

// The screen as it was before the stage above: the band's bars and lyrics without a strip, and
// one singer's trail of a thin segment per tick along the line (139 on the demo duet's first).
void drawFormerTrail(app::GameScene& game, const stage::StandardLaneView& lane) {
    game.singing.bands[0].strip->setVisible(false);
    const session::VoiceTimeline& voice = lane.timeline().voice();
    const session::TimedLine& line = voice.lines.front();
    const double first = voice.notes[line.first].startMs, last = voice.notes[line.last - 1].endMs;
    for (double ms = first; ms < last; ms += kTickMs) {
        auto& segment = game.singing.bands[0].voiceTrail->addNewChild<scene::TGLHUDSprite>();
        segment.setPosition({static_cast<float>(123 + (ms - first) / (last - first) * 520),
                             static_cast<float>(430 + 40 * std::sin(ms / 300)), 0});
        segment.setWidth(static_cast<float>(kTickMs / (last - first) * 520));
        segment.setHeight(15);
        segment.setMaterial({&game.materials.lane, "Knob3"});
    }
}

int spritesIn(const scene::TGLBaseSceneObject& node) {
    int sprites = 0;
    for (int i = 0; i < node.count(); ++i)
        sprites += (dynamic_cast<const scene::TGLHUDSprite*>(&node.child(i)) ? 1 : 0) +
                   spritesIn(node.child(i));
    return sprites;
}

struct FrameFigures {
    double framesPerSecond = 0;
    // The median frame's, of the whole process, software GL's threads included.
    double cpuMsPerFrame = 0;
};

double processCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Draws the screen back to back for `seconds`, and at least kLeastFrames times: a median of
// single frames is not moved by the odd frame another process delayed.
FrameFigures forcedFrames(scene::render::SceneViewer& viewer, int seconds) {
    constexpr std::size_t kLeastFrames = 300;
    std::vector<double> cpu;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < seconds * 1000 || cpu.size() < kLeastFrames) {
        const double before = processCpuMs();
        viewer.grabFramebuffer();
        QCoreApplication::processEvents();
        cpu.push_back(processCpuMs() - before);
    }
    const double elapsed = static_cast<double>(t.elapsed());
    const std::size_t frames = cpu.size();
    std::nth_element(cpu.begin(), cpu.begin() + static_cast<std::ptrdiff_t>(frames / 2), cpu.end());
    return {static_cast<double>(frames) * 1000.0 / elapsed, cpu[frames / 2]};
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 3;
    fs::path shots;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--shots" && i + 1 < argc)
            shots = argv[++i];
        else
            seconds = std::max(1, std::atoi(argv[i]));
    }
    QSurfaceFormat format;
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
    QApplication application(argc, argv);

    const fs::path songFile = kSongFolder / "Cantorix - Two Lighthouses.txt";
    if (!fs::exists(songFile)) {
        std::fprintf(stderr, "the demo duet is missing: %s\n", songFile.c_str());
        return 1;
    }
    const songs::StandardSong song = songs::readStandardSong(songs::readSongFileBytes(songFile));
    platform::LibJpegDecoder jpeg;
    scene::PictureFileLoader pictures(jpeg);
    scene::render::QtGlyphRasterizer glyphs;
    app::GameScene game(pictures, glyphs, CANTORIX_PROGRAM_DIR);
    for (int i = 0; i < game.scene().count(); ++i)
        if (auto* group = dynamic_cast<scene::TGLDummyCube*>(&game.scene().child(i)))
            group->setVisible(group == game.background.group || group == game.singing.group);
    game.materials.skin.addTextureMaterial("SongBackground", kSongFolder / "background.jpg");
    game.singing.songBackground->setVisible(true);

    scene::render::SceneViewer viewer(game.scene());
    viewer.setDesignSize(kDesignWidth, kDesignHeight);
    viewer.resize(kDesignWidth, kDesignHeight);
    for (scene::TGLMaterialLibrary* library : game.materials.all())
        viewer.addMaterialLibrary(*library);
    for (scene::TGLBitmapFont* font : game.fonts.all())
        viewer.addFont(*font);
    viewer.show();
    spin(300);
    game.addOscilloscopeBars();
    stage::applyStagePalette(game.materials.lane, {});
    if (!shots.empty())
        fs::create_directories(shots);

    std::printf(
        "case                    bands  singers  stage sprites  forced fps  cpu ms/frame\n");
    for (const Case& c :
         {Case{"one singer, former", 1, 0}, Case{"one singer", 1, 1}, Case{"eight singers", 1, 8},
          Case{"duet, four a voice", 2, 8}, Case{"duet, one a voice", 2, 2}}) {
        app::layOutBands(game, c.bands);
        stage::SingerScores scores = app::bandSingerScores(game);
        scores.clear();
        std::vector<std::unique_ptr<stage::StandardLaneView>> lanes;
        std::vector<int> singersOf;
        for (int b = 0; b < c.bands; ++b) {
            auto& lane = *lanes.emplace_back(std::make_unique<stage::StandardLaneView>(
                app::bandLaneScene(game, b, c.bands), song));
            singersOf.push_back(c.singers / c.bands);
            std::vector<stage::StageSinger> singers;
            for (int k = 0; k < singersOf.back(); ++k)
                singers.push_back({kSingerColours[k * c.bands + b], std::to_string(k + 1)});
            lane.setSingers(singers);
            lane.timeline().setVoice(b);
            lane.startSession();
            lane.buildFirstLines();
        }
        for (int b = 0; b < stage::kMaxBands; ++b) {
            game.singing.bands[b].strip->setVisible(b < c.bands && !std::getenv("NO_STRIP"));
            game.singing.bands[b].voiceTrail->deleteChildren();
        }
        if (c.singers == 0)
            drawFormerTrail(game, *lanes.front());
        else
            singFirstLines(lanes, singersOf, scores);
        // Blended strips: hidden while the picture is laid out, so it stays whole under them.
        const bool blended = std::getenv("BLENDED_STRIPS") != nullptr;
        const bool stripsShown = game.singing.bands[0].strip->visible();
        for (int b = 0; blended && b < c.bands; ++b)
            game.singing.bands[b].strip->setVisible(false);
        app::cutStripsFromBackground(game, c.bands);
        if (blended)
            for (int b = 0; b < c.bands; ++b)
                game.singing.bands[b].strip->setVisible(stripsShown);
        int segments = 0;
        for (int b = 0; b < c.bands; ++b)
            for (scene::TGLBaseSceneObject* group :
                 {game.singing.bands[b].voiceTrail, game.singing.bands[b].noteFills,
                  game.singing.bands[b].voiceMarkers})
                segments += spritesIn(*group);
        spin(200);
        const FrameFigures figures = forcedFrames(viewer, seconds);
        std::printf("%-22s  %5d  %7d  %14d  %10.1f  %12.2f\n", c.name, c.bands, c.singers, segments,
                    figures.framesPerSecond, figures.cpuMsPerFrame);
        std::fflush(stdout);
        if (!shots.empty()) {
            std::string file = c.name;
            for (char& ch : file)
                if (ch == ' ' || ch == ',')
                    ch = '-';
            viewer.grabFramebuffer().save(
                QString::fromStdString((shots / (file + ".png")).string()));
        }
    }
    return 0;
}
