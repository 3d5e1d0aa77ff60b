#include "app/form_storage.h"
#include "app/game_scene.h"
#include "app/options_form.h"
#include "fakes/blank_image_loader.h"
#include "fakes/fake_glyph_rasterizer.h"
#include "fakes/file_bytes.h"
#include "platform/storage/ini_profile_file.h"

#include <clocale>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

using namespace cantorix;
using namespace cantorix::app;
using namespace cantorix::scene;
namespace fs = std::filesystem;

using cantorix::testing::readFile;

namespace {

const char* const kDesignDefaults = "[Score]\r\n"
                                    "FormVersion=0\r\n"
                                    "GLButton5_DefaultColor=16777215\r\n"
                                    "GLButton5_FocusedColor=16777215\r\n"
                                    "GLButton6_FocusedColor=16777215\r\n"
                                    "GLButton6_DefaultColor=16777215\r\n"
                                    "GLButton10_FocusedColor=16777215\r\n"
                                    "GLButton10_DefaultColor=16777215\r\n"
                                    "GLButton11_FocusedColor=16777215\r\n"
                                    "GLButton11_DefaultColor=16777215\r\n"
                                    "GLLabel14_Caption=Tab Transparenty (18%)\r\n"
                                    "GLEdit1_Caption=Mysong.wav\r\n"
                                    "GLForm1_Caption=\r\n"
                                    "istabs_Caption=X\r\n"
                                    "GLButton1_Caption=X\r\n"
                                    "GLButton2_Caption=X\r\n"
                                    "GLButton3_Caption=X\r\n"
                                    "GLScrollbar1_Pos=1\r\n"
                                    "GLScrollbar2_Pos=1\r\n"
                                    "GLLabel5_Caption=Video Speed (0-Auto Fps)\r\n"
                                    "GLLabel6_Caption=Video quality\r\n"
                                    "GLScrollbar3_Pos=8\r\n"
                                    "Difficulty_Pos=2\r\n"
                                    "MicDelay_Pos=0\r\n"
                                    "SongOrder_Caption=Artist\r\n"
                                    "ShowUnplayable_Checked=0\r\n"
                                    "PhonesMayJoin_Checked=0\r\n";

// One start of the game as far as the options go: the scene, the hall of fame, Score.ini.
struct GameStart {
    // With fullScreen the window's full-screen switch is stored too.
    explicit GameStart(const fs::path& file, std::int32_t* fullScreen = nullptr)
        : game(loader, glyphs, "/nowhere"), ini(file),
          storage(ini, storedOptionProperties(game, hallOfFame, &songFolders,
                                              fullScreenAccess(fullScreen))) {}
    static std::optional<StoredProperty::Integer> fullScreenAccess(std::int32_t* on) {
        if (!on)
            return std::nullopt;
        return StoredProperty::Integer{[on] { return *on; }, [on](std::int32_t v) { *on = v; }};
    }
    scene::testing::BlankImageLoader loader;
    scene::testing::FakeGlyphRasterizer glyphs;
    GameScene game;
    session::HallOfFameList hallOfFame;
    std::vector<std::string> songFolders;
    platform::IniProfileFile ini;
    FormStorage storage;
};

class FormStorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-formstorage-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path file() const { return m_dir / "Score.ini"; }
    void writeIni(const std::string& text) const {
        std::ofstream(file(), std::ios::binary) << text;
    }
    std::unique_ptr<GameStart> start() const { return std::make_unique<GameStart>(file()); }

    fs::path m_dir;
};

TEST_F(FormStorageTest, DesignDefaultsGiveTheExactFileText) {
    auto run = start();
    run->storage.restore(); // no file yet: nothing changes
    run->storage.save();
    EXPECT_EQ(readFile(file()), kDesignDefaults);
}

TEST_F(FormStorageTest, EveryStoredPropertySurvivesARestart) {
    {
        auto run = start();
        run->storage.restore();
        GameScene& g = run->game;
        g.options.appearance.tabColourButton->setDefaultColor(0x00123456);
        g.options.appearance.tabColourButton->setFocusedColor(
            0x80000005); // negative as a signed value
        g.options.appearance.actualTabColourButton->setFocusedColor(0x000000FF);
        g.options.appearance.actualTabColourButton->setDefaultColor(0x0000FF00);
        g.options.appearance.voiceTabColourButton->setFocusedColor(0x00FF0000);
        g.options.appearance.voiceTabColourButton->setDefaultColor(0x00010203);
        g.options.appearance.textColourButton->setFocusedColor(0);
        g.options.appearance.textColourButton->setDefaultColor(0x00808080);
        g.options.sound.exportName->setCaption("  party.wav\t");
        g.options.gameplay.tabsToggle->setCaption("");
        g.options.gameplay.lyricsToggle->setCaption("");
        g.options.gameplay.timeToggle->setCaption("");
        g.options.gameplay.videoSpeed->setPos(37);
        g.options.gameplay.videoQuality->setPos(3.5f);
        g.options.appearance.transparency->setPos(1);
        g.options.gameplay.difficulty->setPos(3);
        g.options.sound.micDelay->setPos(137);
        songOrderClick(*g.options.gameplay.songOrder);
        songOrderClick(*g.options.gameplay.songOrder);
        setShowsUnplayableSongs(g, true);
        run->songFolders = {"/media/karaoke", "/home/me/more songs"};
        run->hallOfFame.assign({"99:blue", "852:red"});
        run->storage.save();
    }
    const std::string text = readFile(file());
    for (const char* line :
         {"\r\nGLButton5_FocusedColor=-2147483643\r\n", "\r\nGLEdit1_Caption=party.wav\r\n",
          "\r\nistabs_Caption=\r\n", "\r\nGLScrollbar1_Pos=37\r\n", "\r\nGLScrollbar2_Pos=3.5\r\n",
          "\r\nGLLabel6_Caption=Video Quality (High)\r\n",
          "\r\nDifficulty_Pos=3\r\nMicDelay_Pos=137\r\nSongOrder_Caption=Folder\r\n"
          "ShowUnplayable_Checked=1\r\n",
          "\r\n[Score.SongFolders_Items]\r\nCount=2\r\nItem0=/media/karaoke\r\n"
          "Item1=/home/me/more songs\r\n",
          "\r\n[Score.ListBox1_Items]\r\nCount=2\r\nItem0=852:red\r\nItem1=99:blue\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;

    auto next = start();
    next->storage.restore();
    const GameScene& g = next->game;
    EXPECT_EQ(g.options.appearance.tabColourButton->defaultColor(), 0x00123456u);
    EXPECT_EQ(g.options.appearance.tabColourButton->focusedColor(), 0x80000005u);
    EXPECT_EQ(g.options.appearance.actualTabColourButton->focusedColor(), 0x000000FFu);
    EXPECT_EQ(g.options.appearance.actualTabColourButton->defaultColor(), 0x0000FF00u);
    EXPECT_EQ(g.options.appearance.voiceTabColourButton->focusedColor(), 0x00FF0000u);
    EXPECT_EQ(g.options.appearance.voiceTabColourButton->defaultColor(), 0x00010203u);
    EXPECT_EQ(g.options.appearance.textColourButton->focusedColor(), 0u);
    EXPECT_EQ(g.options.appearance.textColourButton->defaultColor(), 0x00808080u);
    EXPECT_EQ(g.options.sound.exportName->caption(), "party.wav");
    EXPECT_EQ(g.options.gameplay.tabsToggle->caption(), "");
    EXPECT_EQ(g.options.gameplay.lyricsToggle->caption(), "");
    EXPECT_EQ(g.options.gameplay.oscilloscopeToggle->caption(), "X");
    EXPECT_EQ(g.options.gameplay.timeToggle->caption(), "");
    EXPECT_EQ(g.options.gameplay.videoSpeed->pos(), 37.0f);
    EXPECT_EQ(g.options.gameplay.videoQuality->pos(), 3.5f);
    EXPECT_EQ(g.options.appearance.transparency->pos(), 1.0f);
    // The new options come back with their labels, which are not stored.
    EXPECT_EQ(g.options.gameplay.difficultyLabel->caption(), "Difficulty (Hard)");
    EXPECT_EQ(g.options.sound.micDelayLabel->caption(), "Microphone delay (137 ms)");
    EXPECT_EQ(g.options.gameplay.videoSpeedLabel->caption(), "Video Speed (37-Fps)");
    EXPECT_EQ(g.options.gameplay.videoQualityLabel->caption(), "Video Quality (High)");
    EXPECT_EQ(g.options.appearance.transparencyLabel->caption(), "Tab Transparenty (11%)");
    EXPECT_EQ(next->hallOfFame.entries(), (std::vector<std::string>{"852:red", "99:blue"}));
    EXPECT_EQ(songOrderOf(g.options.gameplay.songOrder->caption()), songs::SongOrder::ByFolder);
    EXPECT_TRUE(showsUnplayableSongs(g));
    EXPECT_EQ(next->songFolders,
              (std::vector<std::string>{"/media/karaoke", "/home/me/more songs"}));
}

// A Score.ini an earlier build of the game wrote with every option changed: each value comes
// back into its control, and saving it again gives the same file, byte for byte.
TEST_F(FormStorageTest, AFileTheGameWroteRestoresEveryOptionAndSavesUnchanged) {
    const std::string written = readFile(fs::path(CANTORIX_APP_TEST_DATA) / "Score.ini");
    ASSERT_FALSE(written.empty());
    writeIni(written);
    std::int32_t fullScreen = 0;
    GameStart run(file(), &fullScreen);
    run.storage.restore();

    const GameScene& g = run.game;
    const GameplayOptions& play = g.options.gameplay;
    const AppearanceOptions& look = g.options.appearance;
    const auto colours = [](const TGLBaseControl* c) {
        return std::to_string(c->defaultColor()) + "/" + std::to_string(c->focusedColor());
    };
    const auto position = [](const TGLScrollbar* bar) { return profileFloat(bar->pos()); };
    const std::pair<std::string, std::string> restored[] = {
        {colours(look.tabColourButton), "3368601/16763904"},
        {colours(look.actualTabColourButton), "2113664/255"},
        {colours(look.voiceTabColourButton), "66051/65280"},
        {colours(look.textColourButton), "10531008/16711935"},
        {g.options.sound.exportName->caption(), "Party night.wav"},
        {play.tabsToggle->caption(), ""},
        {play.lyricsToggle->caption(), "X"},
        {play.oscilloscopeToggle->caption(), ""},
        {play.timeToggle->caption(), "X"},
        {position(play.videoSpeed), "25"},
        {play.videoSpeedLabel->caption(), "Video Speed (25-Fps)"},
        {position(play.videoQuality), "3"},
        {play.videoQualityLabel->caption(), "Video Quality (Medium)"},
        {position(look.transparency), "42"},
        {look.transparencyLabel->caption(), "Tab Transparenty (52%)"},
        {position(play.difficulty), "3"},
        {play.difficultyLabel->caption(), "Difficulty (Hard)"},
        {position(g.options.sound.micDelay), "85"},
        {g.options.sound.micDelayLabel->caption(), "Microphone delay (85 ms)"},
        {play.songOrder->caption(), "Title"},
        {showsUnplayableSongs(g) ? "shown" : "hidden", "shown"},
        {std::to_string(fullScreen), "1"},
        {toggleIsOn(*g.options.sound.phonesToggle) ? "phones" : "no phones", "phones"},
    };
    for (const auto& [actual, expected] : restored)
        EXPECT_EQ(actual, expected);
    EXPECT_EQ(run.hallOfFame.entries(),
              (std::vector<std::string>{"0:", "12050:Chlo\xc3\xa9", "4120:Anna",
                                        "4120:Anna: encore", "980:bob"}));
    EXPECT_EQ(run.songFolders,
              (std::vector<std::string>{"/media/karaoke", "/home/singer/more songs"}));

    run.storage.save();
    EXPECT_EQ(readFile(file()), written);
}

TEST_F(FormStorageTest, HallOfFameSectionIsErasedAndRewrittenAtEverySave) {
    auto run = start();
    run->storage.restore();
    run->hallOfFame.assign({"1:a", "2:b", "3:c"});
    run->storage.save();
    run->hallOfFame.assign({"7:z"});
    run->storage.save();
    const std::string text = readFile(file());
    EXPECT_TRUE(text.ends_with(
        "SongOrder_Caption=Artist\r\nShowUnplayable_Checked=0\r\nPhonesMayJoin_Checked=0\r\n[Score."
        "ListBox1_Items]\r\nCount=1\r\nItem0=7:z\r\n"))
        << text;

    run->hallOfFame.assign({});
    run->storage.save();
    EXPECT_EQ(readFile(file()), kDesignDefaults);
    auto next = start();
    next->hallOfFame.assign({"5:kept"});
    next->storage.restore(); // no entries stored: the list is left as it is
    EXPECT_EQ(next->hallOfFame.entries(), (std::vector<std::string>{"5:kept"}));
}

// A long-played game's hall of fame: restoring and saving take time in proportion to it (a
// lookup per entry that scanned the section made 40,000 entries take seconds).
// How fast is measured by bench/profile_restore_bench: a wall-clock bound here fails on a
// loaded machine, most of all under the sanitizers.
TEST_F(FormStorageTest, AHallOfFameOfManyEntriesRestoresAndSavesWhole) {
    constexpr int kEntries = 60000;
    std::string text =
        "[Score]\r\nFormVersion=0\r\n[Score.ListBox1_Items]\r\nCount=" + std::to_string(kEntries) +
        "\r\n";
    for (int i = 0; i < kEntries; ++i)
        text += "Item" + std::to_string(i) + "=" + std::to_string(i % 9973) + ":Singer " +
                std::to_string(i) + "\r\n";
    writeIni(text);
    auto run = start();
    run->storage.restore();
    run->storage.save();

    const auto& entries = run->hallOfFame.entries();
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(kEntries));
    auto again = start();
    again->storage.restore();
    EXPECT_EQ(again->hallOfFame.entries(), entries);
}

TEST_F(FormStorageTest, NegativeFormVersionRestoresNothing) {
    writeIni("[Score]\r\nFormVersion=-1\r\nistabs_Caption=\r\nGLScrollbar3_Pos=50\r\n"
             "[Score.ListBox1_Items]\r\nCount=1\r\nItem0=10:x\r\n");
    auto run = start();
    run->storage.restore();
    EXPECT_EQ(run->game.options.gameplay.tabsToggle->caption(), "X");
    EXPECT_EQ(run->game.options.appearance.transparency->pos(), 8.0f);
    EXPECT_EQ(run->hallOfFame.count(), 0);
    EXPECT_TRUE(run->storage.restored());
}

TEST_F(FormStorageTest, MalformedValuesGiveZeroOrKeepTheDesignValue) {
    writeIni("[score]\nformversion=abc\nGLButton5_DefaultColor=white\nGLButton5_FocusedColor=$FF\n"
             "GLButton6_DefaultColor=99999999999\nGLScrollbar1_Pos=1000\nGLScrollbar2_Pos=nan\n"
             "GLScrollbar3_Pos=1,5\nistabs_Caption=  \n"
             "[Score.ListBox1_Items]\nCount=2147483647\nItem0=5:a\nItem1=7:b\n");
    auto run = start();
    run->storage.restore();
    const GameScene& g = run->game;
    EXPECT_EQ(g.options.appearance.tabColourButton->defaultColor(), 0u);
    EXPECT_EQ(g.options.appearance.tabColourButton->focusedColor(), 0xFFu);
    EXPECT_EQ(g.options.appearance.actualTabColourButton->defaultColor(), 0u);
    EXPECT_EQ(g.options.appearance.actualTabColourButton->focusedColor(),
              0xFFFFFFu);                                   // missing: the design value
    EXPECT_EQ(g.options.gameplay.videoSpeed->pos(), 91.0f); // clamped to Max − PageSize + 1
    EXPECT_EQ(g.options.gameplay.videoQuality->pos(), 1.0f);
    EXPECT_EQ(g.options.appearance.transparency->pos(), 8.0f);
    EXPECT_EQ(g.options.gameplay.tabsToggle->caption(), "");
    // A count far beyond the keys cannot make the list grow without end.
    EXPECT_EQ(run->hallOfFame.entries(), (std::vector<std::string>{"", "5:a", "7:b"}));
}

TEST_F(FormStorageTest, APropertyThatFailsKeepsItsValueAndTheOthersAreRestored) {
    writeIni("[Score]\r\nA_Caption=one\r\nB_Caption=two\r\nC_Pos=2.5\r\n");
    platform::IniProfileFile ini(file());
    std::string a = "a", b = "b";
    float c = 0;
    std::vector<StoredProperty> list;
    list.push_back({"A.Caption", StoredProperty::Text{
                                     [&] { return a; },
                                     [](const std::string&) { throw std::runtime_error("no"); }}});
    list.push_back({"B.Caption",
                    StoredProperty::Text{[&] { return b; }, [&](const std::string& v) { b = v; }}});
    list.push_back({"C.Pos", StoredProperty::Float{[&] { return c; }, [&](float v) { c = v; }}});
    FormStorage storage(ini, std::move(list));
    storage.save(); // before a restore nothing is written
    EXPECT_FALSE(storage.saved());
    storage.restore();
    EXPECT_EQ(a, "a");
    EXPECT_EQ(b, "two");
    EXPECT_EQ(c, 2.5f);
}

TEST(ProfileValuesTest, IntegersFloatsAndCaptions) {
    EXPECT_EQ(profileInteger(" -2147483648 "), INT32_MIN);
    EXPECT_EQ(profileInteger("2147483648"), 0);
    EXPECT_EQ(profileInteger("0x80000005"), static_cast<std::int32_t>(0x80000005u));
    EXPECT_EQ(profileInteger("12ab"), 0);
    EXPECT_EQ(profileInteger("+-3"), 0);
    EXPECT_EQ(profileInteger(""), 0);
    EXPECT_EQ(profileFloat(3.5f), "3.5");
    EXPECT_EQ(profileFloat(8.0f), "8");
    EXPECT_EQ(profileFloat(1.0f / 3.0f), "0.3333333");
    EXPECT_EQ(profileFloat(1234567.8f), "1234568");
    EXPECT_EQ(parseProfileFloat(" 3.5 "), 3.5f);
    EXPECT_EQ(parseProfileFloat("+8"), 8.0f);
    EXPECT_FALSE(parseProfileFloat("3,5"));
    EXPECT_FALSE(parseProfileFloat("inf"));
    EXPECT_FALSE(parseProfileFloat("1e40"));
    EXPECT_FALSE(parseProfileFloat(""));
    EXPECT_EQ(trimmedText("\t X\x01\r\n"), "X");
}

TEST_F(FormStorageTest, DecimalPointIsAFullStopWhateverTheLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    const char* german = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"})
        if ((german = std::setlocale(LC_ALL, name)))
            break;
    if (!german || std::string(std::localeconv()->decimal_point) != ",") {
        std::setlocale(LC_ALL, saved.c_str());
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    {
        auto run = start();
        run->storage.restore();
        run->game.options.gameplay.videoQuality->setPos(2.5f);
        run->storage.save();
    }
    auto next = start();
    next->storage.restore();
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_NE(readFile(file()).find("\r\nGLScrollbar2_Pos=2.5\r\n"), std::string::npos);
    EXPECT_EQ(next->game.options.gameplay.videoQuality->pos(), 2.5f);
}

} // namespace
