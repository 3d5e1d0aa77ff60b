// The editor screen over fake MIDI devices, a manual player timer and a scene without a window:
// picking files, the track list and its pairing, playback, the marker and Next.

#include "editor/editor_screen.h"
#include "fakes/blank_image_loader.h"
#include "fakes/fake_glyph_rasterizer.h"
#include "fakes/fake_midi_output.h"
#include "fakes/manual_main_thread.h"
#include "fakes/manual_midi_timer.h"
#include "midi/midi_bytes.h"
#include "midi/midi_errors.h"
#include "midi/midi_position.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

using namespace cantorix;
using namespace cantorix::editor;
using namespace cantorix::scene;
using midi::test::Header;
using midi::test::midiFile;
using midi::test::TrackBody;
namespace fs = std::filesystem;

namespace {

class EditorScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir =
            fs::temp_directory_path() / ("cantorix-editor-screen-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_root.setBounds(0, 0, 1000, 1000);
        m_controls = buildEditorControls(m_root, look());
        m_screen = std::make_unique<EditorScreen>(
            m_controls, look(),
            EditorServices{{},
                           &m_outputs,
                           &m_timer,
                           m_invoker,
                           [this](std::string_view filter) {
                               m_filters.emplace_back(filter);
                               return m_nextFile;
                           },
                           [this](const std::string& c) { m_caption = c; },
                           [this](const std::string& t) { m_shown.push_back(t); },
                           [this](const std::string& t) { m_notices.push_back(t); }});
    }
    void TearDown() override {
        m_screen.reset();
        fs::remove_all(m_dir);
    }
    EditorLook look() { return {m_layout, m_font1, m_font2, m_font4, m_stuff}; }

    // A melody in track 1 (PPQN 120, 1 ms per tick), a track without notes in track 2.
    std::string writeSong(const std::string& name = "a melody file with a long name.mid") {
        const auto bytes =
            midiFile({TrackBody().text(0, 3, "Conductor of the band").tempo(0, 120000).end(),
                      TrackBody()
                          .text(0, 3, "Melody")
                          .event(6000, {0x90, 60, 100})
                          .event(480, {0x80, 60, 0})
                          .event(120, {0x90, 64, 100})
                          .event(240, {0x80, 64, 0})
                          .end(120),
                      TrackBody().event(0, {0xB0, 7, 100}).end(9000)},
                     Header().withDivision(120));
        const fs::path file = m_dir / name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }
    void pickMidi(const std::string& file) {
        m_nextFile = file;
        m_screen->pickMidiFile();
    }
    TGLButton& child(int i) { return static_cast<TGLButton&>(m_controls.trackList->child(i)); }
    std::vector<bool> pressed() {
        std::vector<bool> out;
        for (int i = 0; i < m_controls.trackList->count(); ++i)
            out.push_back(child(i).pressed());
        return out;
    }
    void clickOn(const TGLBaseControl& control) {
        const RectI r = control.globalRect();
        m_root.mouseDown(TMouseButton::mbLeft, r.left + 5, r.top + 5);
        m_root.mouseUp(TMouseButton::mbLeft, r.left + 5, r.top + 5);
    }

    fs::path m_dir;
    scene::testing::BlankImageLoader m_images;
    scene::testing::FakeGlyphRasterizer m_glyphs;
    TGLMaterialLibrary m_stuff{"Stuff", m_images, "."};
    TGLMaterialLibrary m_skin{"SkinImages", m_images, "."};
    TGLGuiLayout m_layout{"GLGuiLayout2", MaterialRef{&m_skin, "defaultSkin"}};
    TGLBitmapFont m_font1{"Menufont1", FontSpec{"Arial", 16, true, clWhite}, m_glyphs};
    TGLBitmapFont m_font2{"Menufont2", FontSpec{"Arial", 16, false, clWhite}, m_glyphs};
    TGLBitmapFont m_font4{"GLStoredBitmapFont4", FontSpec{"MS Sans Serif", 11, false, clWhite},
                          m_glyphs};
    TGLBaseControl m_root{"Root5"};
    EditorControls m_controls;
    midi::testing::FakeMidiOutputs m_outputs;
    midi::testing::ManualMidiTimer m_timer;
    pitch::testing::ManualInvoker m_invoker;
    std::unique_ptr<EditorScreen> m_screen;
    std::optional<std::string> m_nextFile;
    std::vector<std::string> m_filters, m_shown, m_notices;
    std::string m_caption;
};

} // namespace

TEST_F(EditorScreenTest, ControlsSitWhereTheScreenPutsThem) {
    const auto at = [](const TGLBaseControl* c) {
        const RectI r = c->globalRect();
        return std::vector<int>{r.left, r.top, r.width(), r.height()};
    };
    EXPECT_EQ(at(m_controls.backButton), (std::vector<int>{100, 20, 70, 30}));
    EXPECT_EQ(at(m_controls.nextButton), (std::vector<int>{600, 20, 70, 30}));
    EXPECT_EQ(at(m_controls.midiFileDisplay), (std::vector<int>{90, 145, 150, 25}));
    EXPECT_EQ(at(m_controls.coverFilePicker), (std::vector<int>{650, 215, 25, 25}));
    EXPECT_EQ(at(m_controls.songArtistEdit), (std::vector<int>{290, 215, 185, 25}));
    EXPECT_EQ(at(m_controls.trackList), (std::vector<int>{90, 270, 585, 380}));
    EXPECT_EQ(at(m_controls.tempoBar), (std::vector<int>{595, 680, 90, 30}));
    EXPECT_EQ(m_controls.songTitleEdit->caption(), "None");
    EXPECT_EQ(m_controls.tempoBar->pos(), 8.0f);
}

// The node names are what skins and the game's lookups know the controls by: members may be
// renamed, the names they point at may not, and no two members may share a node.
TEST_F(EditorScreenTest, EachControlKeepsItsNodeName) {
    const EditorControls& c = m_controls;
    const std::pair<const TGLBaseControl*, const char*> nodes[] = {
        {c.topBar, "GLBaseControl2"},
        {c.backButton, "GLButton13"},
        {c.nextButton, "GLButton12"},
        {c.sourcePanel, "First"},
        {c.headingLabel, "GLLabel15"},
        {c.midiFileLabel, "GLLabel16"},
        {c.midiFileDisplay, "GLButton14"},
        {c.midiFilePicker, "GLButton15"},
        {c.mp3FileLabel, "GLLabel20"},
        {c.mp3FileDisplay, "GLButton16"},
        {c.mp3FilePicker, "GLButton17"},
        {c.videoFileLabel, "GLLabel22"},
        {c.videoFileDisplay, "GLButton18"},
        {c.videoFilePicker, "GLButton19"},
        {c.videoNoteLabel, "GLLabel23"},
        {c.coverFileLabel, "GLLabel24"},
        {c.coverFileDisplay, "GLButton20"},
        {c.coverFilePicker, "GLButton21"},
        {c.coverNoteLabel, "GLLabel25"},
        {c.songTitleLabel, "GLLabel26"},
        {c.songTitleEdit, "GLEdit3"},
        {c.songArtistLabel, "GLLabel27"},
        {c.songArtistEdit, "GLEdit4"},
        {c.trackList, "Tracklist"},
        {c.tickMarker, "Tick"},
        {c.playbackBar, "GLBaseControl5"},
        {c.playAllButton, "PLAYA"},
        {c.playSelectedButton, "GLButton22"},
        {c.rewindButton, "GLButton24"},
        {c.tempoLabel, "GLLabel28"},
        {c.tempoBar, "GLScrollbar4"}};
    std::set<const TGLBaseControl*> distinct;
    for (const auto& [control, name] : nodes) {
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(control->name(), name);
        distinct.insert(control);
    }
    EXPECT_EQ(distinct.size(), std::size(nodes));
    EXPECT_EQ(m_root.count(), static_cast<int>(std::size(nodes)));
}

TEST_F(EditorScreenTest, PickingAMidiFileListsItsTracksAndStandsAtTheStart) {
    pickMidi(writeSong());
    EXPECT_EQ(m_filters.back(), kMidiFilter);
    EXPECT_EQ(m_controls.midiFileDisplay->caption(), "a melody file ");
    ASSERT_EQ(m_controls.trackList->count(), 6);
    EXPECT_EQ(child(0).caption(), "Conductor of t");
    EXPECT_EQ(child(2).caption(), "Melody");
    EXPECT_EQ(child(2).globalRect().left, 92);
    EXPECT_EQ(child(3).globalRect().left, 222);
    EXPECT_EQ(child(5).globalRect().top, 272 + 40);
    EXPECT_EQ(pressed(), (std::vector<bool>{true, true, false, false, false, false}));
    EXPECT_EQ(m_screen->selectedTrack(), 0);
    // Song length: the last channel event lies at tick 6840 (track 2's end is a meta event).
    EXPECT_EQ(m_screen->songLength(), 68);
    EXPECT_EQ(m_screen->player().Position(), 0);
    EXPECT_TRUE(m_controls.tickMarker->visible());
    EXPECT_EQ(m_controls.tickMarker->logicHeight(), 62);
    // Each strip shows its own track's picture.
    const TGLLibMaterial* melody = m_stuff.materialByName("i1");
    ASSERT_NE(melody, nullptr);
    EXPECT_EQ(child(3).bitBtn().name, "i1");
    // The melody's first note (unit 50 of 58) is an opaque red mark; the background is
    // transparent white, which a look at the red byte alone would not tell apart.
    const auto rgba = [&](int x, int y) {
        const std::uint8_t* p = melody->texture().image().pixel(x, y);
        return std::vector<int>{p[0], p[1], p[2], p[3]};
    };
    EXPECT_EQ(rgba(50 * 420 / 58, 6), (std::vector<int>{255, 0, 0, 255}));
    EXPECT_EQ(rgba(50 * 420 / 58 + 2, 6), (std::vector<int>{255, 255, 255, 0}));
}

TEST_F(EditorScreenTest, ButtonsAndStripsArePressedInPairs) {
    pickMidi(writeSong());
    clickOn(child(5)); // the strip of track 2
    EXPECT_EQ(m_screen->selectedTrack(), 2);
    EXPECT_EQ(pressed(), (std::vector<bool>{false, false, false, false, true, true}));
    clickOn(child(2)); // the button of track 1
    EXPECT_EQ(m_screen->selectedTrack(), 1);
    EXPECT_EQ(pressed(), (std::vector<bool>{false, false, true, true, false, false}));
    clickOn(child(2));
    EXPECT_EQ(pressed(), (std::vector<bool>{false, false, true, true, false, false}));
}

TEST_F(EditorScreenTest, NextShowsTheSongTextOfTheSelectedTrack) {
    pickMidi(writeSong());
    m_controls.songTitleEdit->setCaption("Title");
    clickOn(child(3));
    m_screen->composeSongText();
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].rfind(
                  "#TITLE:Title\r\n#ARTIST:None\r\n#MP3:\r\n#BPM:125\r\n#GAP:60\r\n: 0 4 ", 0),
              0u);
    EXPECT_TRUE(m_notices.empty());
}

TEST_F(EditorScreenTest, NextOnATrackWithoutNotesSaysSoAndShowsNothing) {
    pickMidi(writeSong());
    clickOn(child(4));
    m_screen->composeSongText();
    EXPECT_TRUE(m_shown.empty());
    EXPECT_EQ(m_notices, std::vector<std::string>{kNoNotesMessage});
}

TEST_F(EditorScreenTest, PlaySelectedMutesTheOtherTracksAndTheMarkerFollows) {
    pickMidi(writeSong());
    clickOn(child(2));
    m_screen->playSelectedTrack();
    ASSERT_EQ(m_screen->trackOutputs().outputCount(), 3);
    EXPECT_TRUE(m_screen->trackOutputs().Outputs(0)->Muted());
    EXPECT_FALSE(m_screen->trackOutputs().Outputs(1)->Muted());
    EXPECT_TRUE(m_screen->trackOutputs().Outputs(2)->Muted());
    EXPECT_TRUE(m_screen->player().Play());
    m_timer.tick(4500);
    const std::int32_t position = m_screen->player().Position();
    EXPECT_EQ(position, 4500);
    m_screen->moveTickMarker();
    EXPECT_EQ(m_controls.tickMarker->left(), static_cast<int>(std::lround(45 * 420.0 / 68 + 229)));

    m_screen->playAllTracks();
    EXPECT_FALSE(m_screen->trackOutputs().Outputs(0)->Muted());
    EXPECT_EQ(m_screen->player().Position(), 0);
}

TEST_F(EditorScreenTest, PickingAnotherFileStopsPlaybackBeforeReleasingTheData) {
    pickMidi(writeSong());
    m_screen->playAllTracks();
    m_timer.tick(100);
    ASSERT_TRUE(m_timer.running());
    pickMidi(writeSong("second.mid"));
    EXPECT_FALSE(m_timer.running());
    EXPECT_FALSE(m_screen->player().Play());
    EXPECT_FALSE(m_screen->trackOutputs().Active());
    EXPECT_EQ(m_controls.midiFileDisplay->caption(), "second.mid");
}

TEST_F(EditorScreenTest, ARefusedFileKeepsTheOldTrackListAndNextReportsIt) {
    pickMidi(writeSong());
    const fs::path bad = m_dir / "broken.mid";
    std::ofstream(bad) << "RIFFnot midi at all";
    EXPECT_THROW(pickMidi(bad.string()), midi::EMidiLoadError);
    EXPECT_EQ(m_controls.midiFileDisplay->caption(), "broken.mid");
    EXPECT_EQ(m_controls.trackList->count(), 6);
    EXPECT_FALSE(m_screen->midiData().Active());
    EXPECT_THROW(m_screen->composeSongText(), midi::EMidiLoadError);
}

TEST_F(EditorScreenTest, OtherPickersRememberBareNamesAndCancelChangesNothing) {
    m_nextFile = (m_dir / "My Favourite Song.mp3").string();
    m_screen->pickMp3File();
    EXPECT_EQ(m_screen->mp3Name(), "My Favourite Song.mp3");
    EXPECT_EQ(m_controls.mp3FileDisplay->caption(), "My Favourite S");
    EXPECT_EQ(m_caption, "My Favourite Song.mp3");
    m_nextFile = std::nullopt;
    m_screen->pickMp3File();
    m_screen->pickVideoFile();
    EXPECT_EQ(m_screen->mp3Name(), "My Favourite Song.mp3");
    EXPECT_EQ(m_controls.videoFileDisplay->caption(), "");
    m_nextFile = "/clips/clip.avi";
    m_screen->pickVideoFile();
    m_nextFile = "/pics/cover.jpg";
    m_screen->pickCoverFile();
    EXPECT_EQ(m_screen->videoName(), "clip.avi");
    EXPECT_EQ(m_screen->coverName(), "cover.jpg");
    EXPECT_EQ(m_filters, (std::vector<std::string>{kMp3Filter, kMp3Filter, kVideoFilter,
                                                   kVideoFilter, kCoverFilter}));
}

TEST_F(EditorScreenTest, TempoBarSetsThePlayerAndItsLabel) {
    EXPECT_EQ(m_screen->player().TempoPercent(), 100);
    m_controls.tempoBar->setPos(150);
    EXPECT_EQ(m_screen->player().TempoPercent(), 150);
    EXPECT_EQ(m_controls.tempoLabel->caption(), "Tempo 150%");
    m_controls.tempoBar->onMouseLeave(*m_controls.tempoBar);
    EXPECT_EQ(m_controls.tempoLabel->caption(), "Play Tempo");
}

TEST_F(EditorScreenTest, AFileOfTooManyTracksIsListedAndPlayedUpToTheCap) {
    // 65,535 empty track chunks fit in 512 KiB; a picture and an output port for each would
    // take gigabytes.
    const auto bytes = midiFile(std::vector<TrackBody>(65535, TrackBody()));
    const fs::path file = m_dir / "many tracks.mid";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    pickMidi(file.string());
    EXPECT_EQ(m_screen->midiData().TrackCount(), 65535);
    EXPECT_EQ(m_controls.trackList->count(), 2 * midi::kMaxTrackOutputs);
    EXPECT_NE(m_stuff.materialByName("i" + std::to_string(midi::kMaxTrackOutputs - 1)), nullptr);
    EXPECT_EQ(m_stuff.materialByName("i" + std::to_string(midi::kMaxTrackOutputs)), nullptr);
    ASSERT_EQ(m_notices.size(), 1u);
    EXPECT_NE(m_notices[0].find("65535 tracks"), std::string::npos) << m_notices[0];
    EXPECT_NE(m_notices[0].find("first 256"), std::string::npos) << m_notices[0];

    m_screen->playAllTracks();
    EXPECT_EQ(m_screen->trackOutputs().outputCount(), midi::kMaxTrackOutputs);
    EXPECT_TRUE(m_screen->player().Play());
    m_timer.ticks(10);
    EXPECT_FALSE(m_screen->player().Play()) << "every listed track is empty: AutoStop";

    pickMidi(writeSong());
    EXPECT_EQ(m_controls.trackList->count(), 6);
    EXPECT_EQ(m_notices.size(), 1u) << "a file under the cap says nothing";
}
