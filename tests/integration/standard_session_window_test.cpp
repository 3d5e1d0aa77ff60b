// Standard-format songs in the real main window: a demo song's melody written in the standard
// format over Ogg audio made with ffmpeg, played through the null sound output, and a duet whose
// second voice is chosen on the song selection.

#include "app/options_form.h"
#include "game_window_fixture.h"
#include "pitch/tone.h"
#include "platform/sound_input/silent_input.h"
#include "songs/song_file.h"
#include "songs/song_text_file.h"

#include <QImage>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

using namespace cantorix;
using cantorix::testing::waitUntil;
namespace fs = std::filesystem;

const char* const kDemoFolder = "Cantorix - Paper Kites";
constexpr int kGapMs = 730;
constexpr int kBeatShift = 6; // the first note is sung at beat 6, not 0
constexpr int kLines = 3;     // of the demo's melody, so the test stays short

struct Note {
    int start, length, pitch;
    std::string text;
    char kind = ':';
};

// The demo song's first lines, beats moved on by kBeatShift and its sung values turned into
// semitones from C4, with the breaks between them.
struct Melody {
    double bpm = 0;
    std::vector<std::vector<Note>> lines;
};

Melody demoMelody(const fs::path& songFolder) {
    songs::SongFile song;
    const fs::path file = songFolder / (std::string(kDemoFolder) + ".txt");
    song.load(songs::readSongFileBytes(file), songFolder, file);
    Melody m;
    m.bpm = song.bpm();
    m.lines.emplace_back();
    for (std::size_t i = 0; i < song.recordCount() && m.lines.size() <= kLines; ++i) {
        const songs::SongRecord& r = song.songRecords()[i];
        if (r.isBreak) {
            m.lines.emplace_back();
            continue;
        }
        const double hz = pitch::toneFrequencyOfSungValue(r.pitch);
        m.lines.back().push_back({r.startBeat + kBeatShift, r.length,
                                  static_cast<int>(std::lround(12 * std::log2(hz / 261.6256))),
                                  song.displayText(r.syllable)});
    }
    m.lines.resize(kLines);
    // The second line shows every kind of note: rap, golden, freestyle and golden rap.
    const char kinds[] = {':', 'R', '*', ':', 'F', ':', 'G'};
    for (std::size_t i = 0; i < m.lines[1].size() && i < sizeof kinds; ++i)
        m.lines[1][i].kind = kinds[i];
    return m;
}

std::string noteLines(const std::vector<std::vector<Note>>& lines) {
    std::ostringstream out;
    for (std::size_t l = 0; l < lines.size(); ++l) {
        if (l > 0)
            out << "- " << lines[l - 1].back().start + lines[l - 1].back().length + 2 << "\n";
        for (const Note& n : lines[l])
            out << n.kind << " " << n.start << " " << n.length << " " << n.pitch << " " << n.text
                << "\n";
    }
    return out.str();
}

class StandardSessionWindowTest : public cantorix::testing::SingingWindowTest {
protected:
    void SetUp() override {
        m_root = cantorix::testing::makeProgramRoot("cantorix-standard", {});
        m_melody = demoMelody(fs::path(CANTORIX_PROGRAM_DIR) / "songs" / kDemoFolder);
        ASSERT_EQ(m_melody.lines.size(), static_cast<std::size_t>(kLines));
        ASSERT_FALSE(m_melody.lines.back().empty());
    }
    // A song folder with the demo's music cut to seconds and made Ogg Vorbis.
    fs::path songFolder(const std::string& name, double seconds) {
        const fs::path folder = m_root / "songs" / name;
        fs::create_directories(folder);
        const fs::path mp3 = fs::path(CANTORIX_PROGRAM_DIR) / "songs" / kDemoFolder /
                             (std::string(kDemoFolder) + ".mp3");
        const std::string command = "ffmpeg -v error -y -i '" + mp3.string() + "' -t " +
                                    std::to_string(seconds) + " -c:a libvorbis -q:a 1 '" +
                                    (folder / "Tune.OGG").string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return folder;
    }
    double beatMs() const { return 15000.0 / m_melody.bpm; }
    double noteStartMs(const Note& n) const { return kGapMs + n.start * beatMs(); }

    app::MainWindow& start() {
        EXPECT_TRUE(showWindow(services()));
        return *m_form;
    }
    void selectTitle(const std::string& title) {
        for (int i = 0; i < 4 && m_game->selection.title->text() != title; ++i)
            click(*m_game->selection.nextButton);
        for (int i = 0; i < 4 && m_game->selection.title->text() != title; ++i)
            click(*m_game->selection.previousButton);
        ASSERT_EQ(m_game->selection.title->text(), title);
    }
    void sing() {
        m_input = std::make_unique<platform::SilentInput>(m_capture.hub());
        click(*m_game->selection.startButton);
        ASSERT_TRUE(m_game->singing.group->visible());
    }
    std::string lineText(int line) {
        std::string joined;
        const scene::TGLBaseSceneObject& group = m_game->singing.lyrics->child(line);
        for (int i = 0; i < group.count(); ++i)
            joined += static_cast<const scene::TGLHUDText&>(group.child(i)).text();
        return joined;
    }
    // The syllable the karaoke wipe runs through: the lyrics' third group holds its letters, and
    // its tag says which syllable of the line being sung they are.
    std::string highlighted() {
        const scene::TGLBaseSceneObject& lyrics = *m_game->singing.lyrics;
        if (lyrics.count() < 3)
            return "";
        const int wiping = lyrics.child(2).tag();
        const scene::TGLBaseSceneObject& line = lyrics.child(0);
        if (wiping < 0 || wiping >= line.count())
            return "";
        return static_cast<const scene::TGLHUDText&>(line.child(wiping)).text();
    }
    void saveFrame(const char* file) { m_form->viewer()->grabFramebuffer().save(file); }

    Melody m_melody;
};

TEST_F(StandardSessionWindowTest, EachSyllableIsHighlightedOnTimeAndTheSongEndsAtItsEnd) {
    const Note& last = m_melody.lines.back().back();
    const double endMs = noteStartMs(last) + last.length * beatMs() + 600;
    std::ofstream(songFolder("Standard", endMs / 1000 + 3) / "song.txt")
        << "#TITLE:Kites Standard\n#ARTIST:Cantorix\n#AUDIO:tune.ogg\n#BPM:" << m_melody.bpm
        << "\n#GAP:" << kGapMs << "\n#END:" << std::lround(endMs) << "\n"
        << noteLines(m_melody.lines) << "E\n";
    start();
    app::GameScene& g = *m_game;
    ASSERT_EQ(g.selection.title->text(), "Kites Standard");
    EXPECT_FALSE(g.selection.voiceChoice->visible()) << "a solo song shows no voice choice";
    // The first line already takes the session's text colour.
    g.options.appearance.textColourButton->setDefaultColor(0x000000FF);
    sing();
    const scene::ColorF first =
        static_cast<const scene::TGLHUDText&>(g.singing.lyrics->child(0).child(0)).modulateColor();
    EXPECT_EQ(first.r, 1.0f);
    EXPECT_EQ(first.g, 0.0f);

    // What the screen highlights, sampled against the play position.
    std::vector<std::pair<std::int64_t, std::string>> seen;
    bool framed = false;
    double framingMs = 0; // the window waits while the test saves its picture
    while (g.singing.group->visible()) {
        QTest::qWait(2);
        seen.emplace_back(m_player.position(), highlighted());
        if (!framed && !seen.back().second.empty() &&
            seen.back().first > noteStartMs(m_melody.lines[1][1])) {
            const auto framing = std::chrono::steady_clock::now();
            saveFrame("/tmp/cantorix-standard-singing.png");
            framingMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                                  framing)
                            .count();
            framed = true;
        }
        ASSERT_LT(seen.back().first, endMs + 2000);
    }
    ASSERT_TRUE(g.scorePage.group->visible());
    seen.pop_back(); // taken after the end, from a closed player
    EXPECT_GE(seen.back().first, endMs - 50) << "ended at #END";
    EXPECT_LT(seen.back().first, endMs + 100) << "before the music's end";

    // A silent microphone scores nothing against notes that offered points.
    const session::Scoring& scoring = m_form->session().scoring();
    EXPECT_EQ(scoring.notePoints(), 0);
    EXPECT_GT(scoring.possible(), 0);
    EXPECT_EQ(g.scorePage.shareValue->caption(), "0 %");

    const session::SessionTimings& t = m_form->session().timings();
    const double frameMs = m_form->viewer()->longestPaintMilliseconds();
    const double slack =
        app::SingingSession::kClockIntervalMs + t.clockTickMs.max() + frameMs + framingMs;
    std::cout << "highlight after note start ms: min " << t.entryLatenessMs.min() << " mean "
              << t.entryLatenessMs.mean() << " max " << t.entryLatenessMs.max() << " ("
              << t.entryLatenessMs.count() << "); clock tick max " << t.clockTickMs.max()
              << " ms, frames: mean "
              << m_form->viewer()->paintMilliseconds() /
                     static_cast<double>(
                         std::max<std::uint64_t>(1, m_form->viewer()->framesRendered()))
              << " ms, longest " << frameMs << " ms\n";
    std::size_t notes = 0;
    for (const auto& line : m_melody.lines)
        notes += line.size();
    EXPECT_EQ(t.entryLatenessMs.count(), static_cast<std::int64_t>(notes));
    EXPECT_GE(t.entryLatenessMs.min(), 0.0);
    EXPECT_LE(t.entryLatenessMs.max(), slack);

    // Every sample shows the syllable due at its position, or at most `slack` ms before it.
    const auto dueAt = [&](double ms) -> std::string {
        for (const auto& line : m_melody.lines)
            for (const Note& n : line)
                if (noteStartMs(n) <= ms && ms < noteStartMs(n) + n.length * beatMs())
                    return n.text;
        return "";
    };
    int wrong = 0;
    for (const auto& [position, shown] : seen) {
        bool fits = false;
        for (double d = 0; d <= slack && !fits; d += 1)
            fits = dueAt(static_cast<double>(position) - d) == shown;
        if (!fits && ++wrong < 5)
            ADD_FAILURE() << "at " << position << " ms '" << shown << "' shown, '"
                          << dueAt(position) << "' due";
    }
    EXPECT_EQ(wrong, 0) << "of " << seen.size() << " samples";
}

TEST_F(StandardSessionWindowTest, ADuetsSecondVoiceIsChosenAndShowsItsOwnLines) {
    const std::vector<std::vector<Note>> first(m_melody.lines.begin(), m_melody.lines.begin() + 1);
    std::vector<std::vector<Note>> second(m_melody.lines.begin() + 1, m_melody.lines.end());
    const fs::path folder = songFolder("Duet", 12);
    const std::string picture =
        "ffmpeg -v error -y -f lavfi -i color=c=0x2060A0:s=128x96 -frames:v 1 '" +
        (folder / "stage.jpg").string() + "'";
    ASSERT_EQ(std::system(picture.c_str()), 0) << picture;
    std::ofstream(folder / "duet.txt")
        << "#TITLE:Kites Duet\n#ARTIST:Cantorix\n#AUDIO:TUNE.ogg\n"
           "#BACKGROUND:Stage.JPG\n#BPM:"
        << m_melody.bpm << "\n#GAP:" << kGapMs << "\n#P1:Ann\n#P2:Bob\nP1\n"
        << noteLines(first) << "P2\n"
        << noteLines(second) << "E\n";
    songFolder("Other", 1);
    std::ofstream(m_root / "songs/Other/other.txt")
        << "#TITLE:Other\n#ARTIST:Cantorix\n#AUDIO:tune.ogg\n#BPM:200\n#GAP:100\n: 1 2 0 la\nE\n";
    start();
    app::GameScene& g = *m_game;
    selectTitle("Kites Duet");
    EXPECT_TRUE(g.selection.voices->visible());
    EXPECT_EQ(g.selection.voices->text(), "Duet: Ann / Bob");
    EXPECT_EQ(g.selection.voiceChoice->caption(), "[V] Sing: Ann");
    QTest::keyClick(m_form->viewer(), Qt::Key_V);
    EXPECT_EQ(g.selection.voiceChoice->caption(), "[V] Sing: Bob");
    click(*g.selection.voiceChoice);
    EXPECT_EQ(g.selection.voiceChoice->caption(), "[V] Sing: Ann");
    click(*g.selection.voiceChoice);
    ASSERT_EQ(g.selection.voiceChoice->caption(), "[V] Sing: Bob");
    QTest::qWait(100);
    saveFrame("/tmp/cantorix-standard-duet-selection.png");

    std::string bobFirst, bobSecond;
    for (const Note& n : second[0])
        bobFirst += n.text;
    for (const Note& n : second[1])
        bobSecond += n.text;
    sing();
    EXPECT_TRUE(g.singing.songBackground->visible()) << "the background shows where no video plays";
    EXPECT_EQ(lineText(0), bobFirst);
    EXPECT_EQ(lineText(1), bobSecond);
    // Bob's first note is due later than Ann's; the lane waits for it.
    const double bobStart = noteStartMs(second[0][0]);
    ASSERT_TRUE(waitUntil([&] { return m_player.position() > bobStart + 100; }, 20000));
    EXPECT_EQ(highlighted(), second[0][0].text);
    saveFrame("/tmp/cantorix-standard-duet-singing.png");
    QTest::keyClick(m_form->viewer(), Qt::Key_Escape);
    EXPECT_TRUE(g.scorePage.group->visible());
    EXPECT_FALSE(g.singing.songBackground->visible());
}

} // namespace
