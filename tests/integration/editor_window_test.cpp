// The editor in the real main window: a MIDI file the test writes is picked, its melody track
// played through the built-in synthesizer into the null sound output, turned into a song text
// by Next, saved from the lyric viewer and read back by the game's song reader.

#include "app/side_windows.h"
#include "game_window_fixture.h"
#include "midi/midi_bytes.h"
#include "platform/midi/midi_timer_thread.h"
#include "platform/midi/system_midi_outputs.h"
#include "songs/song_file.h"

#include <QAction>
#include <QPlainTextEdit>
#include <fstream>
#include <iterator>

namespace {

using namespace cantorix;
using cantorix::testing::waitUntil;
using midi::test::Header;
using midi::test::midiFile;
using midi::test::TrackBody;
namespace fs = std::filesystem;

class EditorWindowTest : public cantorix::testing::GameWindowTest {
protected:
    app::MainWindow& startEditor() {
        m_form = std::make_unique<app::MainWindow>(app::AppServices{m_root,
                                                                    *m_pictures,
                                                                    m_glyphs,
                                                                    m_clock,
                                                                    m_player,
                                                                    *m_covers,
                                                                    *m_capture,
                                                                    m_recorderInput,
                                                                    m_captureError,
                                                                    nullptr,
                                                                    {},
                                                                    &m_midiOutputs,
                                                                    &m_midiTimer});
        m_form->setSideWindows(nullptr, &m_videoEditor, &m_lyricViewer);
        m_form->show();
        EXPECT_TRUE(waitUntil([&] { return m_form->startSteps().firstFrameShown(); }));
        return *m_form;
    }
    void click(const scene::TGLBaseControl& control) {
        const scene::RectI r = control.globalRect();
        QTest::mouseClick(m_form->viewer(), Qt::LeftButton, {},
                          QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    }
    std::string writeMidi() {
        // Two bars of a melody in track 1 at 500 ms per quarter note, an accompaniment in track 2.
        TrackBody melody;
        melody.text(0, 3, "Melody");
        const int notes[] = {60, 62, 64, 65, 67, 65, 64, 62};
        for (int n : notes)
            melody.event(n == 60 ? 480 : 0, {0x90, static_cast<std::uint8_t>(n), 100})
                .event(240, {0x80, static_cast<std::uint8_t>(n), 0});
        melody.end(240);
        TrackBody bass;
        bass.text(0, 3, "Bass")
            .event(0, {0xC1, 33})
            .event(0, {0x91, 36, 90})
            .event(1920, {0x81, 36, 0})
            .end();
        const auto bytes = midiFile({TrackBody().tempo(0, 500000).end(), melody, bass},
                                    Header().withDivision(480));
        const fs::path file = m_root / "tune.mid";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }

    platform::SystemMidiOutputs m_midiOutputs{*m_output};
    platform::MidiTimerThread m_midiTimer;
    app::LyricViewerWindow m_lyricViewer;
    app::VideoEditorWindow m_videoEditor;
};

TEST_F(EditorWindowTest, MidiTrackBecomesASongTheGameReads) {
    app::MainWindow& form = startEditor();
    app::GameScene& g = form.game();
    const editor::EditorControls& e = g.editorScreen.controls;
    click(*g.selection.editorButton);
    ASSERT_EQ(g.editorScreen.guiRoot->tag(), 1);

    const std::string midiPath = writeMidi();
    form.editor().setOpenFile(
        [&](std::string_view) { return std::optional<std::string>(midiPath); });
    click(*e.midiFilePicker);
    ASSERT_EQ(e.trackList->count(), 6);
    EXPECT_EQ(e.midiFileDisplay->caption(), "tune.mid");
    click(static_cast<scene::TGLBaseControl&>(e.trackList->child(3))); // the melody's strip
    ASSERT_EQ(form.editor().selectedTrack(), 1);

    click(*e.playSelectedButton); // Play Selected through the built-in synthesizer
    ASSERT_TRUE(form.editor().player().Play());
    QTest::qWait(1000);
    const std::int32_t played = form.editor().player().Position();
    EXPECT_GT(played, 480); // about 960 ticks in a second at 500 ms per quarter note
    EXPECT_TRUE(waitUntil([&] { return e.tickMarker->left() > 229; }));
    click(*e.rewindButton); // Rewind
    EXPECT_FALSE(form.editor().player().Play());
    EXPECT_EQ(form.editor().player().Position(), 0);

    click(*e.nextButton); // Next
    ASSERT_TRUE(m_lyricViewer.isVisible());
    const QString text = m_lyricViewer.textEdit()->toPlainText();
    EXPECT_TRUE(
        text.startsWith(QStringLiteral("#TITLE:None\n#ARTIST:None\n#MP3:\n#BPM:125\n#GAP:")))
        << text.toStdString();

    const fs::path saved = m_root / "songs" / "Demo Song" / "tune";
    m_lyricViewer.setSaveDialog(
        [&] { return std::optional<QString>(QString::fromStdString(saved.string())); });
    m_lyricViewer.saveAction->trigger();
    const fs::path file = saved.string() + ".txt";
    ASSERT_TRUE(fs::exists(file));
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    songs::SongFile song;
    ASSERT_NO_THROW(song.load(bytes, file.parent_path(), file));
    EXPECT_EQ(song.bpm(), 125.0);
    EXPECT_EQ(song.gapValue(), 5); // the first note at 500 ms: unit 4, 480 ms, 4.8 tenths
    EXPECT_EQ(song.recordCount(), 8u + 1u + 1u); // the notes, the closing row, "E"
    EXPECT_EQ(song.songRecords()[1].startBeat, 2);

    m_lyricViewer.exitAction->trigger();
    EXPECT_FALSE(m_lyricViewer.isVisible());
}

} // namespace
