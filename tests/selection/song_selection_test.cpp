#include "fakes/fake_glyph_rasterizer.h"
#include "fakes/fake_media_player.h"
#include "selection/song_selection.h"
#include "songs/song_errors.h"

#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace cantorix;
using namespace cantorix::songs;
using namespace cantorix::selection;
namespace fs = std::filesystem;

namespace {

class SongSelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "Good");
        fs::create_directories(m_dir / "No Text");
        fs::create_directories(m_dir / "Bad Gap");
        fs::create_directories(m_dir / "Duet");
        fs::create_directories(m_dir / "No Tempo");
        write("Duet/duet.txt",
              "#VERSION:1.0.0\n#TITLE:Two Hearts \xE2\x99\xA5\n#ARTIST:Pair\n"
              "#AUDIO:duet.ogg\n#MP3:old.mp3\n#BPM:300\n#GAP:500\n#PREVIEWSTART:12,5\n"
              "#P1:Ann\n#P2:Bob\nP1\n: 2 2 0 hey\nP2\n: 6 2 3 ho\nE\n");
        write("No Tempo/song.txt", "#VERSION:1.0.0\n#TITLE:Lost\n#AUDIO:a.ogg\n: 2 2 0 hey\nE\n");
        write("Good/song.txt",
              "#TITLE:Night Song\r\n#ARTIST:The Band\r\n#MP3:night.mp3\r\n#GAP:250\r\n"
              "#BPM:120\r\n: 0 4 21 la\r\n: 4 4 23 lo\r\nE\r\n");
        write("Bad Gap/song.txt",
              "#TITLE:Broken\r\n#ARTIST:Someone\r\n#GAP:soon\r\n#BPM:120\r\n: 0 4 21 la\r\nE\r\n");
        m_songs.assign(listSongEntries(m_dir));
        m_player.lengths[m_dir / "Good" / "night.mp3"] = 60000;
    }
    void TearDown() override { fs::remove_all(m_dir); }
    void write(const fs::path& p, const std::string& text) {
        std::ofstream(m_dir / p, std::ios::binary) << text;
    }
    void select(const std::string& name) {
        for (int i = 0; i < m_songs.count(); ++i)
            if (m_songs.item(i) == name)
                m_songs.setItemIndex(i);
    }

    fs::path m_dir =
        fs::temp_directory_path() / ("cantorix-selection-" + std::to_string(::getpid()));
    TSongList m_songs;
    SongFile m_song;
    songs::testing::FakeMediaPlayer m_player;
    scene::TGLHUDText m_artist{"Artist"}, m_title{"Title"};
    std::int64_t m_asked = -1;
    SongSelection m_selection{
        m_dir, m_songs, m_song, m_player, m_artist, m_title, [this](std::int64_t n) {
            m_asked = n;
            return n - 1;
        }};
};

TEST_F(SongSelectionTest, ReadsTheSongAndPreviewsFromARandomPointOfTheFirstHalf) {
    select("Good");
    m_selection.SelectSong();
    EXPECT_EQ(m_selection.songFileName(), "song.txt");
    EXPECT_EQ(m_title.text(), "Night Song");
    EXPECT_EQ(m_artist.text(), "The Band");
    EXPECT_EQ(m_player.fileName, m_dir / "Good" / "night.mp3");
    EXPECT_EQ(m_asked, 30000) << "a start in 0 … L div 2 − 1";
    EXPECT_EQ(m_player.position(), 29999);
    EXPECT_TRUE(m_player.playing);
}

TEST_F(SongSelectionTest, AFolderWithoutASongFileShowsItsNameQuietly) {
    select("Good");
    m_selection.SelectSong();
    select("No Text");
    EXPECT_NO_THROW(m_selection.SelectSong());
    EXPECT_EQ(m_title.text(), "No Text");
    EXPECT_EQ(m_artist.text(), "");
    EXPECT_FALSE(m_player.playing) << "the previous preview stops";
}

TEST_F(SongSelectionTest, ABadNumberIsReportedAfterTheTextsAreShown) {
    select("Bad Gap");
    try {
        m_selection.SelectSong();
        FAIL() << "expected the conversion error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'soon' is not a valid integer value");
    }
    EXPECT_EQ(m_title.text(), "Broken");
    EXPECT_FALSE(m_player.playing);
}

TEST_F(SongSelectionTest, AStandardSongPreviewsFromItsPreviewStartAndOffersItsVoices) {
    scene::TGLHUDText voices{"Voices"};
    scene::TGLLabel choice{"VoiceChoice"};
    m_selection.setVoiceDisplay(&voices, &choice);
    select("Duet");
    m_selection.SelectSong();
    EXPECT_EQ(m_selection.selected().format, SongFormat::Standard);
    EXPECT_EQ(m_title.text(), "Two Hearts \xE2\x99\xA5");
    EXPECT_EQ(m_artist.text(), "Pair");
    EXPECT_EQ(m_player.fileName, m_dir / "Duet" / "duet.ogg") << "#AUDIO before #MP3";
    EXPECT_EQ(m_player.position(), 12500) << "seconds before version 2";
    EXPECT_EQ(m_asked, -1) << "no random start";
    EXPECT_TRUE(voices.visible());
    EXPECT_EQ(voices.text(), "Duet: Ann / Bob");
    EXPECT_EQ(choice.caption(), "[V] Sing: Ann");
    m_selection.chooseNextVoice();
    EXPECT_EQ(m_selection.selected().voice, 1u);
    EXPECT_EQ(choice.caption(), "[V] Sing: Bob");
    m_selection.reload(); // starting the session keeps the choice
    EXPECT_EQ(m_selection.selected().voice, 1u);
    m_selection.chooseNextVoice();
    EXPECT_EQ(choice.caption(), "[V] Sing: Ann");

    // A game song looks as it always did: no voices, and the voice key does nothing.
    select("Good");
    m_selection.SelectSong();
    EXPECT_EQ(m_selection.selected().format, SongFormat::Game);
    EXPECT_FALSE(voices.visible());
    EXPECT_FALSE(choice.visible());
    m_selection.chooseNextVoice();
    EXPECT_EQ(m_selection.selected().voice, 0u);
}

// Each singer's voice of a duet and the label naming them, fitted to its width (every character
// 9 pixels here). Steps: 'V' the V key, a digit that singer's key, 'R' reading the song again as
// Start does, 'S' selecting it anew, '+' one more singer bound.
TEST_F(SongSelectionTest, EachSingerSingsTheVoiceTheyChose) {
    scene::testing::FakeGlyphRasterizer glyphs;
    scene::TGLBitmapFont font{"Menu", {}, glyphs};
    scene::TGLLabel choice{"VoiceChoice"};
    choice.setBitmapFont(&font);
    choice.setAlignment(scene::TAlignment::taCenter);
    choice.setBounds(100, 0, 400, 14);
    m_selection.setVoiceDisplay(nullptr, &choice);
    const std::string swap = "[V] swap \xC2\xB7 ", dot = " \xC2\xB7 ";
    const struct {
        std::vector<std::string> singers;
        std::string steps;
        std::vector<std::size_t> voices;
        std::string caption; // unchecked when empty
    } rows[] = {
        {{}, "", {0}, "[V] Sing: Ann"}, // nobody bound: singer 1 chooses, as ever
        {{"Anna"}, "V1", {1}, "[V] Sing: Bob"},
        {{"Anna", "Ben"}, "", {0, 1}, swap + "[1] Anna: Ann" + dot + "[2] Ben: Bob"},
        {{"Anna", "Ben"}, "V", {1, 0}, swap + "[1] Anna: Bob" + dot + "[2] Ben: Ann"},
        {{"Anna", "Ben", "Cleo"}, "V39", {1, 0, 0}, ""}, // no ninth singer
        {{"Anna", "Ben"}, "VR", {1, 0}, ""},             // Start keeps the choice
        {{"Anna", "Ben"}, "VS", {0, 1}, ""},             // another selection starts afresh
        {{"Anna", "Ben"}, "V+", {0, 1, 0}, ""},          // so does a new roster
        {{"", "Annabelle-Marie"}, "2", {0, 0}, swap + "[1] P1" + dot + "[2] Annabelle-Marie: P1"},
        {{"Annabelle-Marie", "Benedict"},
         "",
         {0, 1},
         swap + "[1] Annabe\xE2\x80\xA6: P1" + dot + "[2] Benedi\xE2\x80\xA6: P2"},
        {{"A", "B", "C", "D"},
         "",
         {0, 1, 0, 1},
         swap + "[1] P1" + dot + "[2] P2" + dot + "[3] P1" + dot + "[4] P2"},
        {{"A", "B", "C", "D", "E", "F", "G", "H"},
         "",
         {0, 1, 0, 1, 0, 1, 0, 1},
         "[V] 1:P1 2:P2 3:P1 4:P2 5:P1 6:P2 7:P1 8:P2"},
    };
    for (const auto& row : rows) {
        m_selection.setSingers(row.singers);
        select("Duet");
        m_selection.SelectSong();
        std::vector<std::string> singers = row.singers;
        for (char step : row.steps) {
            if (step == 'V')
                m_selection.chooseNextVoice();
            else if (step == 'R')
                m_selection.reload();
            else if (step == 'S')
                m_selection.SelectSong();
            else if (step == '+')
                singers.push_back("Dan");
            else if (static_cast<std::size_t>(step - '1') < m_selection.voiceKeySingers())
                m_selection.chooseNextVoiceOf(static_cast<std::size_t>(step - '1'));
            if (step == '+')
                m_selection.setSingers(singers);
        }
        EXPECT_EQ(m_selection.selected().singerVoices, row.voices) << row.steps;
        EXPECT_EQ(m_selection.selected().voice, row.voices.front()) << row.steps;
        EXPECT_TRUE(row.caption.empty() || choice.caption() == row.caption) << choice.caption();
        EXPECT_LE(font.textWidth(choice.caption()), choice.width()) << choice.caption();
    }
    // A click on singer 2's part ("[V] 1:P1 2:P2 …" centred on 300) changes theirs; on "[V]"
    // everyone's; beside the text nothing.
    const int left = 300 - font.textWidth(choice.caption()) / 2;
    for (int x : {left + font.textWidth("[V] 1:P1 2:"), left + 5, left - 5})
        m_selection.chooseVoiceAt(x);
    EXPECT_EQ(m_selection.selected().singerVoices,
              (std::vector<std::size_t>{1, 1, 1, 0, 1, 0, 1, 0}));
    // A song of one voice is everyone's, and no key changes it.
    select("Good");
    m_selection.SelectSong();
    m_selection.chooseNextVoice();
    m_selection.chooseNextVoiceOf(1);
    EXPECT_EQ(m_selection.selected().singerVoices, (std::vector<std::size_t>(8, 0)));
    EXPECT_EQ(m_selection.voiceKeySingers(), 0u);
}

TEST_F(SongSelectionTest, ARefusedStandardSongIsReportedAndStopsThePreview) {
    select("Good");
    m_selection.SelectSong();
    select("No Tempo");
    EXPECT_THROW(m_selection.SelectSong(), EStandardSongError);
    EXPECT_EQ(m_title.text(), "No Tempo");
    EXPECT_EQ(m_artist.text(), "");
    EXPECT_FALSE(m_player.playing);
}

TEST_F(SongSelectionTest, AMissingMusicFileIsReported) {
    write("Good/song.txt",
          "#TITLE:Night Song\r\n#MP3:gone.mp3\r\n#GAP:250\r\n#BPM:120\r\n: 0 4 21 la\r\nE\r\n");
    m_player.failing.insert(m_dir / "Good" / "gone.mp3");
    select("Good");
    EXPECT_THROW(m_selection.SelectSong(), EMediaPlayerError);
    EXPECT_EQ(m_title.text(), "Night Song");
}

} // namespace
