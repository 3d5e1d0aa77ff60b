// The standard songs' stage as a player sees it: the demo duet sung through WAV microphones in
// the real window (one voice in tune, the other four semitones off, a miss at every difficulty),
// by one singer, by two and by eight, over the song's own picture, a white one, a black one and a
// video, at the design size, full screen on a 1920 x 1080 display and in a 1280 x 720 window. Each
// screen is kept (in $CANTORIX_SCREENSHOTS, else cantorix-stage-screenshots/ in the temporary
// folder) and read back: the bars of the line being sung, their outlines and the lyrics stand out
// from the band's strip by at least 4.5:1, and the in-tune singers' hits are filled in their
// colours while the singers who are off fill nothing; a player's picture shows in their score box.

#include "app/main_window.h"
#include "fakes/file_bytes.h"
#include "game_window_fixture.h"
#include "platform/media/ffmpeg_video_decoder.h"
#include "platform/sound_input/capture_input_set.h"
#include "platform/storage/sqlite_record_store.h"
#include "platform/voice/aubio_semitone_tracker.h"
#include "songs/standard_song.h"
#include "sung_voice.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <set>
#include <sstream>

namespace cantorix {
namespace {

namespace fs = std::filesystem;
using cantorix::testing::waitUntil;

constexpr const char* kFolder = "Cantorix - Two Lighthouses";
// Far enough into the first lines that several notes of each voice are sung, and not so far that
// a line has ended: the notes still to come show the bars as they wait.
constexpr std::int64_t kLookAtMs = 7600;

// The relative luminance of an sRGB colour and the contrast ratio of two, as the web's
// accessibility guidelines define them.
double luminance(QRgb c) {
    const auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}
double contrast(QRgb a, QRgb b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The brightest pixel of a rectangle: for text, the inside of its letters.
QRgb brightest(const QImage& image, int left, int top, int right, int bottom) {
    QRgb best = 0;
    for (int y = std::max(0, top); y < std::min(image.height(), bottom); ++y)
        for (int x = std::max(0, left); x < std::min(image.width(), right); ++x)
            if (luminance(image.pixel(x, y)) > luminance(best))
                best = image.pixel(x, y);
    return best;
}

bool near(QRgb pixel, const scene::ColorF& colour) {
    const auto close = [](int v, float f) { return std::abs(v - std::lround(f * 255)) <= 12; };
    return close(qRed(pixel), colour.r) && close(qGreen(pixel), colour.g) &&
           close(qBlue(pixel), colour.b);
}

struct Look {
    const char* name;
    int singers;            // 1, 2 or 8
    const char* background; // "song", "white", "black" or "video"
    // The first singer is a player with a picture, shown in their score box.
    bool pictured = false;
    // "window": the design size; "full screen" (F11 on a 1920 x 1080 display) or "1280x720".
    const char* size = "window";
};

class StageLookWindowTest : public cantorix::testing::SingingWindowTest {
protected:
    // A program directory with a copy of the demo duet whose picture is replaced, or which plays
    // a video, as the look asks.
    void makeSong(const Look& look) {
        m_root = cantorix::testing::makeProgramRoot("cantorix-stage-look", {});
        const fs::path from = fs::path(CANTORIX_PROGRAM_DIR) / "songs" / kFolder;
        m_song = m_root / "songs" / kFolder;
        fs::create_directories(m_song);
        for (const auto& entry : fs::directory_iterator(from))
            fs::copy_file(entry.path(), m_song / entry.path().filename());
        const std::string background = look.background;
        const auto ffmpeg = [](const std::string& args) {
            return std::system(("ffmpeg -v error -y " + args).c_str()) == 0;
        };
        if (background == "white" || background == "black") {
            ASSERT_TRUE(ffmpeg("-f lavfi -i color=c=" + background + ":s=766x729 -frames:v 1 '" +
                               (m_song / "background.jpg").string() + "'"));
        }
        if (background == "video") {
            ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc2=s=320x240:d=20:r=25 -c:v mpeg4 '" +
                               (m_song / "clip.avi").string() + "'"));
            const fs::path text = m_song / (std::string(kFolder) + ".txt");
            std::string song = cantorix::testing::readFile(text);
            song.insert(song.find("#BPM:"), "#VIDEO:clip.avi\n");
            std::ofstream(text, std::ios::binary) << song;
        }
    }

    // The framebuffer pixel over a point of the designed canvas, as the window scales it now.
    QPoint at(double x, double y) const {
        const auto p = m_form->viewer()->letterbox().toWindow({x, y});
        return {static_cast<int>(p.x), static_cast<int>(p.y)};
    }
    QRgb pixelAt(const QImage& image, double x, double y) const { return image.pixel(at(x, y)); }

    // A record store whose one player, Ann, has a picture: a red square with a white cross.
    void makePicturedPlayer(app::AppServices& services) {
        const fs::path data = m_root / "data";
        fs::create_directories(data / "pictures");
        QImage picture(64, 64, QImage::Format_RGB32);
        picture.fill(qRgb(220, 30, 30));
        for (int i = 0; i < 64; ++i)
            for (int w = 28; w < 36; ++w)
                picture.setPixel(i, w, qRgb(255, 255, 255)),
                    picture.setPixel(w, i, qRgb(255, 255, 255));
        ASSERT_TRUE(picture.save(QString::fromStdString((data / "pictures" / "ann.png").string())));
        m_records = std::make_unique<platform::SqliteRecordStore>(data / "records.sqlite3");
        m_playerId = m_records->addPlayer({0, "Ann", 0x3030FF, "ann.png", 0}).id;
        services.recordStore = m_records.get();
        services.picturesFolder = data / "pictures";
    }

    // Brings the window to the look's size: full screen, or a window of 1280 x 720.
    void sizeWindow(const Look& look) {
        const std::string size = look.size;
        if (size == "full screen") {
            QTest::keyClick(m_form->viewer(), Qt::Key_F11);
            ASSERT_TRUE(waitUntil([&] { return m_form->viewer()->width() == 1920; }));
        } else if (size == "1280x720") {
            m_form->resize(1280, 720);
            ASSERT_TRUE(waitUntil([&] { return m_form->width() == 1280; }));
        }
        if (size != "window") {
            // The canvas keeps its design, scaled up to the height and centred.
            const scene::render::Letterbox box = m_form->viewer()->letterbox();
            EXPECT_GT(box.scale, size == "full screen" ? 1.3 : 0.9);
            EXPECT_NEAR(box.left * 2 + box.width, m_form->viewer()->width(), 1);
        }
    }

    // Sings the look's singers up to kLookAtMs and keeps the screen.
    QImage singAndLook(const Look& look) {
        const songs::StandardSong standard = songs::readStandardSong(
            cantorix::testing::readFile(m_song / (std::string(kFolder) + ".txt")));
        // Left: the first voice in tune; right: the second voice four semitones off.
        const std::vector<std::int16_t> inTune = cantorix::testing::recordedVoice(standard, 0);
        const std::vector<std::int16_t> off = cantorix::testing::recordedVoice(standard, 1, 4);
        std::vector<fs::path> wavs;
        if (look.singers == 1) {
            wavs.push_back(m_root / "solo.wav");
            cantorix::testing::writeMonoWav(wavs.back(), inTune);
        } else {
            for (int k = 0; k < look.singers / 2; ++k) {
                wavs.push_back(m_root / ("pair" + std::to_string(k) + ".wav"));
                cantorix::testing::writeStereoWav(wavs.back(), inTune, off);
            }
        }
        m_inputs = std::make_unique<platform::CaptureInputSet>(
            platform::CaptureInputSet::Options{.micWavs = wavs});
        m_inputs->relist();
        app::AppServices services = this->services();
        services.inputs = m_inputs.get();
        services.makeSemitoneTracker = [] {
            return std::make_unique<platform::AubioSemitoneTracker>();
        };
        services.videoDecoders = [] { return std::make_unique<platform::FfmpegVideoDecoder>(); };
        if (look.pictured)
            makePicturedPlayer(services);
        EXPECT_TRUE(showWindow(services));
        app::GameScene& g = m_form->game();
        EXPECT_TRUE(waitUntil([&] { return g.selection.title->text() == "Two Lighthouses"; }));
        if (look.pictured) {
            EXPECT_TRUE(waitUntil([&] { return m_form->records().loaded(); }));
            m_form->singers().roster().slot(0).playerId = m_playerId;
            m_form->singers().roster().slot(0).name = "Ann";
        }
        sizeWindow(look);
        // Clicked where the scaled window shows it.
        const scene::RectI start = g.selection.startButton->globalRect();
        QTest::mouseClick(m_form->viewer(), Qt::LeftButton, {},
                          at((start.left + start.right) / 2.0, (start.top + start.bottom) / 2.0));
        EXPECT_TRUE(g.singing.group->visible());
        EXPECT_TRUE(waitUntil([&] { return m_player.position() >= kLookAtMs; }, 30000));
        QTest::qWait(100); // the last tick's fills drawn
        QImage image = m_form->viewer()->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        const char* folder = std::getenv("CANTORIX_SCREENSHOTS");
        const fs::path place =
            folder ? fs::path(folder) : fs::temp_directory_path() / "cantorix-stage-screenshots";
        fs::create_directories(place);
        const fs::path file = place / (std::string(look.name) + ".png");
        image.save(QString::fromStdString(file.string()));
        std::cout << "screenshot " << file.string() << "\n";
        return image;
    }

    // The contrast of the band's bars still to be sung, their outlines and its lyrics against
    // the strip behind them.
    void checkContrast(const QImage& image, const stage::StandardLaneView& band,
                       const app::SingingBand& nodes) {
        const std::int64_t now = m_player.position();
        // Over a picture the strip is cut out of it as a darkened slice; over a video it is
        // drawn.
        const app::GameScene& g = m_form->game();
        const bool cut = !g.singing.songBackground->child(0).visible();
        ASSERT_TRUE(nodes.strip->visible() != (cut && g.singing.songBackground->visible()));
        const scene::TGLBaseSceneObject& line = nodes.lyrics->child(0);
        const auto& first = dynamic_cast<const scene::TGLHUDText&>(line.child(0));
        // The strip beside the lyrics, where nothing else is drawn on it.
        const QRgb behind = pixelAt(image, 4, first.position().y);
        const auto& notes = band.timeline().voice().notes;
        ASSERT_GE(band.shownLine(), 0);
        const std::size_t firstNote =
            band.timeline().voice().lines[static_cast<std::size_t>(band.shownLine())].first;
        // A line still waiting for its singing shows its bars faint on purpose: the ratio is the
        // line being sung's.
        const bool begun = notes[firstNote].startMs <= static_cast<double>(now) + 1000;
        int bars = 0;
        for (std::size_t i = 0; begun && i < band.bars().size(); ++i) {
            const stage::BarPlace& bar = band.bars()[i];
            const songs::NoteKind kind = notes[firstNote + i].note.kind;
            // Freestyle notes are never judged: faint and dashed on purpose.
            if (bar.startMs < static_cast<double>(now) + 300 || bar.width < 8 ||
                kind == songs::NoteKind::Freestyle)
                continue;
            const QRgb rim =
                pixelAt(image, bar.left + bar.width / 2, bar.centreY - bar.height / 2 - 1);
            EXPECT_GE(contrast(rim, behind), 4.5) << "outline of the bar at " << bar.startMs << ": "
                                                  << std::hex << rim << " on " << behind;
            // A rap note's bar is hollow: its outline and hatching carry it.
            if (kind != songs::NoteKind::Rap && kind != songs::NoteKind::GoldenRap) {
                const QRgb fill = pixelAt(image, bar.left + 4, bar.centreY);
                EXPECT_GE(contrast(fill, behind), 4.5)
                    << "bar at " << bar.startMs << " ms: " << std::hex << fill << " on " << behind;
            }
            ++bars;
        }
        EXPECT_TRUE(bars > 0 || !begun) << "no bar waits to be sung";
        // Neither the caption nor the scores beside the band cover a bar.
        const float captionRight =
            nodes.caption->visible() && nodes.caption->font()
                ? nodes.caption->position().x +
                      static_cast<float>(nodes.caption->font()->textWidth(nodes.caption->text()))
                : 0;
        for (const stage::BarPlace& bar : band.bars()) {
            EXPECT_GT(bar.left, captionRight) << "the caption covers the bar at " << bar.startMs;
            EXPECT_LT(bar.left + bar.width, stage::kScoreColumnLeft) << bar.startMs;
        }
        const auto& last = dynamic_cast<const scene::TGLHUDText&>(line.child(line.count() - 1));
        const QPoint from = at(last.position().x, last.position().y - 8),
                     to = at(last.position().x + 40, last.position().y + 8);
        const QRgb letters = brightest(image, from.x(), from.y(), to.x(), to.y());
        EXPECT_GE(contrast(letters, behind), 4.5) << "the lyrics still to be sung";
    }

    // The singers of a band who sing in tune have their hits filled in their colours; on a band
    // of singers who are off, nothing is filled.
    void checkFills(const QImage& image, const app::SingingBand& nodes, bool inTune, int singers) {
        // A group of fills per singer.
        std::vector<const scene::TGLHUDSprite*> sprites;
        for (int k = 0; k < nodes.noteFills->count(); ++k)
            for (int i = 0; i < nodes.noteFills->child(k).count(); ++i)
                sprites.push_back(
                    dynamic_cast<const scene::TGLHUDSprite*>(&nodes.noteFills->child(k).child(i)));
        if (!inTune) {
            EXPECT_TRUE(sprites.empty()) << "a voice four semitones off hits nothing";
            return;
        }
        std::set<std::string> colours;
        for (std::size_t i = 0; i < sprites.size(); ++i) {
            ASSERT_NE(sprites[i], nullptr);
            const scene::TGLHUDSprite& fill = *sprites[i];
            const scene::TGLLibMaterial* material =
                m_form->game().materials.lane.materialByName(fill.material().name);
            ASSERT_NE(material, nullptr);
            colours.insert(fill.material().name);
            if (fill.width() < 3 || underMarker(nodes, fill))
                continue;
            // Near its start: the singers' markers stand at the end of what they have sung.
            const QRgb pixel =
                pixelAt(image, fill.position().x - fill.width() / 2 + 1.5f, fill.position().y);
            EXPECT_TRUE(near(pixel, material->diffuse()))
                << "fill " << i << " at " << fill.position().x << ", " << fill.position().y
                << " shows " << std::hex << pixel;
        }
        EXPECT_EQ(static_cast<int>(colours.size()), singers) << "every singer's hits, apart";
    }

    // Ann's picture stands in the first row of her band's scores, before her name: red with a
    // white cross.
    void checkPicture(const QImage& image, const app::SingingBand& nodes) {
        const auto& picture = dynamic_cast<const scene::TGLHUDSprite&>(
            nodes.singerScores->child(2 * stage::kScoreRowsPerBand));
        ASSERT_TRUE(picture.visible()) << "no picture in Ann's score box";
        const auto& name = dynamic_cast<const scene::TGLHUDText&>(nodes.singerScores->child(0));
        EXPECT_GE(name.position().x, picture.position().x + picture.width() / 2);
        const scene::Vec3 c = picture.position();
        const float quarter = picture.width() / 4;
        const QRgb red = pixelAt(image, c.x - quarter, c.y - quarter);
        const QRgb white = pixelAt(image, c.x, c.y - quarter);
        EXPECT_GT(qRed(red), 150);
        EXPECT_LT(qGreen(red), 90);
        EXPECT_GT(qGreen(white), 200) << std::hex << white;
    }

    // Whether the fill's start lies under a singer's marker: they stand where the singing is.
    static bool underMarker(const app::SingingBand& nodes, const scene::TGLHUDSprite& fill) {
        const float x = fill.position().x - fill.width() / 2 + 1.5f, y = fill.position().y;
        const scene::TGLBaseSceneObject& markers = *nodes.voiceMarkers;
        for (int i = 0; i < markers.count(); ++i) {
            const auto* box = dynamic_cast<const scene::TGLHUDSprite*>(&markers.child(i));
            if (box && box->visible() && std::abs(box->position().x - x) <= box->width() / 2 + 1 &&
                std::abs(box->position().y - y) <= box->height() / 2 + 1)
                return true;
        }
        return false;
    }

    void checkLook(const Look& look) {
        SCOPED_TRACE(look.name);
        ASSERT_NO_FATAL_FAILURE(makeSong(look));
        const QImage image = singAndLook(look);
        const app::GameScene& g = m_form->game();
        const app::SingingSession& session = m_form->session();
        checkContrast(image, session.standardLane(), g.singing.bands[0]);
        if (look.pictured)
            checkPicture(image, g.singing.bands[0]);
        checkFills(image, g.singing.bands[0], true, std::max(1, look.singers / 2));
        if (look.singers > 1) {
            checkContrast(image, session.secondBand(), g.singing.bands[1]);
            checkFills(image, g.singing.bands[1], false, look.singers / 2);
        }
        QTest::keyClick(m_form->viewer(), Qt::Key_Escape);
        m_form.reset();
        m_inputs.reset();
        m_records.reset();
        fs::remove_all(m_root);
    }

    fs::path m_song;
    std::unique_ptr<platform::CaptureInputSet> m_inputs;
    std::unique_ptr<platform::SqliteRecordStore> m_records;
    std::int64_t m_playerId = 0;
};

TEST_F(StageLookWindowTest, BarsAndLyricsStandOutAndHitsFillInTheSingersColours) {
    if (!fs::exists(fs::path(CANTORIX_PROGRAM_DIR) / "songs" / kFolder))
        GTEST_SKIP() << "the demo songs have not been built";
    for (const Look& look :
         {Look{"duet-over-its-picture", 2, "song"}, Look{"duet-over-white", 2, "white"},
          Look{"duet-over-black", 2, "black"}, Look{"duet-over-a-video", 2, "video"},
          Look{"one-singer", 1, "song", true}, Look{"eight-singers", 8, "song", true},
          Look{"duet-in-a-1280x720-window", 2, "song", false, "1280x720"},
          Look{"eight-singers-full-screen", 8, "song", true, "full screen"}}) {
        if (std::string(look.size) == "full screen" &&
            QGuiApplication::primaryScreen()->size() != QSize(1920, 1080)) {
            std::cout << "no 1920 x 1080 display: " << look.name << " is left out\n";
            continue;
        }
        checkLook(look);
    }
}

} // namespace
} // namespace cantorix
