#include "scene/gui/gui_control.h"
#include "selection/song_browser.h"
#include "selection/song_search_input.h"
#include "songs/song_identity.h"

#include <gtest/gtest.h>
#include <map>
#include <string_view>

using namespace cantorix::songs;
using namespace cantorix::selection;
namespace keys = cantorix::scene::keys;

namespace {

SongSummary song(const std::string& folder, const std::string& artist, const std::string& title) {
    SongSummary s;
    s.folder = "/lib/" + folder;
    s.artist = artist;
    s.title = title;
    return s;
}

TEST(SongBrowserTest, ScanBatchesAndSearchesKeepOrderAndNarrowTheList) {
    SongBrowser browser;
    browser.assign({song("b", "Zeta", "One"), song("a", "alpha", "Two")});
    EXPECT_EQ(browser.shownFolders(), (std::vector<std::string>{"/lib/a", "/lib/b"}));

    // A changed song replaces its old summary, a removed one leaves, a new one joins in order.
    browser.apply({song("b", "Beta", "One"), song("c", "Gamma", "Café Night")}, {"/lib/a"});
    EXPECT_EQ(browser.total(), 2u);
    EXPECT_EQ(browser.shownFolders(), (std::vector<std::string>{"/lib/b", "/lib/c"}));
    EXPECT_EQ(browser.shown(0).artist, "Beta");

    browser.setQuery("cafe NIGHT");
    ASSERT_EQ(browser.shownCount(), 1u);
    EXPECT_EQ(*browser.positionOf("/lib/c"), 0u);
    EXPECT_FALSE(browser.positionOf("/lib/b"));
    EXPECT_EQ(libraryStatusText(browser, false, 0), "1 of 2 songs match");

    // Songs arriving during a search are searched too.
    browser.apply({song("d", "Night Owls", "Hoot")}, {});
    EXPECT_EQ(browser.shownCount(), 1u) << "'cafe' is in neither of its texts";
    browser.setQuery("night");
    EXPECT_EQ(browser.shownFolders(), (std::vector<std::string>{"/lib/c", "/lib/d"}));

    browser.setQuery("");
    browser.setOrder(SongOrder::ByTitle);
    EXPECT_EQ(browser.shownFolders(), (std::vector<std::string>{"/lib/c", "/lib/d", "/lib/b"}));
    EXPECT_EQ(libraryStatusText(browser, true, 41), "3 songs  -  looking for songs: 41 found");
}

TEST(SongBrowserTest, SongsThatCannotBePlayedAreCountedListedAndShownOnlyWhenAsked) {
    SongSummary noAudio = song("c", "Gamma", "Silent");
    noAudio.unplayable = "no audio file: TestSong.ogg";
    SongSummary refused = song("a", "Alpha", "Broken");
    refused.error = "\nThe song file has no notes\nmore detail";
    SongBrowser browser;
    browser.assign({song("b", "Beta", "Fine"), noAudio, refused, song("d", "Delta", "Good")});
    EXPECT_EQ(browser.shownFolders(), (std::vector<std::string>{"/lib/b", "/lib/d"}));
    EXPECT_EQ(browser.unplayableCount(), 2u);
    EXPECT_EQ(libraryStatusText(browser, false, 0), "4 songs \u00B7 2 cannot be played");
    const std::vector<SongProblem> problems = browser.problems();
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].folder, "/lib/a");
    EXPECT_EQ(problems[0].reason, "song text refused: The song file has no notes");
    EXPECT_EQ(problems[1].reason, "no audio file: TestSong.ogg");

    // The count and the problems ignore the search; the list does not.
    browser.setQuery("a");
    EXPECT_EQ(browser.shownFolders(), (std::vector<std::string>{"/lib/b", "/lib/d"}));
    EXPECT_EQ(libraryStatusText(browser, true, 4),
              "2 of 4 songs match \u00B7 2 cannot be played  -  looking for songs: 4 found");
    EXPECT_EQ(browser.problems().size(), 2u);
    browser.setShowUnplayable(true);
    EXPECT_EQ(browser.shownFolders(),
              (std::vector<std::string>{"/lib/a", "/lib/b", "/lib/d", "/lib/c"}));
    browser.setQuery("");
    browser.setShowUnplayable(false);

    // Audio that fails to open: the selected song stays where it is, through scan batches too,
    // until another song is selected and the list is rebuilt.
    EXPECT_FALSE(browser.markUnplayable("/lib/unknown", "x"));
    const std::optional<SongSummary> marked =
        browser.markUnplayable("/lib/d", "audio cannot be decoded: d.ogg\r\nat frame 3");
    ASSERT_TRUE(marked);
    EXPECT_EQ(marked->unplayable, "audio cannot be decoded: d.ogg");
    EXPECT_EQ(marked->audioStamp.size, -1);
    EXPECT_EQ(browser.unplayableCount(), 3u);
    EXPECT_EQ(browser.positionOf("/lib/d"), 1u);
    browser.apply({song("e", "Echo", "New")}, {});
    EXPECT_EQ(browser.shownFolders(), (std::vector<std::string>{"/lib/b", "/lib/d", "/lib/e"}));
    EXPECT_EQ(browser.problems().back().reason, "audio cannot be decoded: d.ogg");
    browser.setSelectedFolder("/lib/d");
    browser.setSelectedFolder("/lib/b");
    EXPECT_EQ(browser.shownCount(), 3u) << "nothing moves until the list is rebuilt";
    browser.apply({}, {"/lib/e"});
    EXPECT_EQ(browser.shownFolders(), (std::vector<std::string>{"/lib/b"}));
    EXPECT_EQ(libraryStatusText(browser, false, 0), "4 songs \u00B7 3 cannot be played");
}

TEST(SongBrowserTest, StepsClampToTheEnds) {
    const struct {
        int position, delta, count, expected;
    } cases[] = {{-1, 1, 5, 0}, {0, -1, 5, 0}, {3, 10, 5, 4},         {4, -10, 5, 0},
                 {2, 1, 5, 3},  {0, 1, 0, -1}, {2, -2147483647, 3, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(steppedPosition(c.position, c.delta, c.count), c.expected)
            << c.position << " + " << c.delta << " of " << c.count;
}

// One row: a key-down (key != 0) or a typed character, the command it gives and the search text
// after it.
struct KeyRow {
    int key;
    char32_t ch;
    SelectionCommand command;
    std::string text;
};

TEST(SongSearchInputTest, KeysOfTheSelectionScreen) {
    using K = SelectionCommand;
    const KeyRow rows[] = {
        {keys::Escape, 0, {}, ""}, // no search: Escape keeps its old meaning
        {keys::Backspace, 0, {}, ""},
        {0, U' ', {}, ""}, // a space opens nothing
        {keys::Right, 0, {K::Step, 1}, ""},
        {33, 0, {K::Step, -10}, ""}, // Page Up
        {34, 0, {K::Step, 10}, ""},  // Page Down
        {keys::Home, 0, {K::First}, ""},
        {keys::End, 0, {K::Last}, ""},
        {SongSearchInput::kRandomKey, 0, {K::Random}, ""},
        {'V', 0, {K::NextVoice}, ""}, // a duet is selected: V is its shortcut
        {0, U'v', {}, ""},
        {'V', 0, {}, ""}, // (the duet is gone: a letter again)
        {0, U'v', {K::QueryChanged}, "v"},
        {0, U'\u00E9', {K::QueryChanged}, "v\u00E9"}, // é
        {0, U' ', {K::QueryChanged}, "v\u00E9 "},
        {0, U'\b', {}, "v\u00E9 "}, // Backspace's character: the key-down edits
        {0, U'\x7f', {}, "v\u00E9 "},
        {keys::Backspace, 0, {K::QueryChanged}, "v\u00E9"},
        {keys::Backspace, 0, {K::QueryChanged}, "v"}, // a whole character, not one byte
        {keys::Left, 0, {K::Step, -1}, "v"},          // the arrows step through the matches
        {SongSearchInput::kVoiceKey, 0, {}, "v"},     // inside a search V is text
        {keys::Enter, 0, {K::Start}, "v"},
        {0, U'7', {K::QueryChanged}, "v7"},
        {keys::Escape, 0, {K::QueryChanged}, ""}, // Escape clears the search
        {keys::Escape, 0, {}, ""},
        // Three singers on a duet (from here): their number keys choose each one's voice.
        {'3', 0, {K::NextVoice, 0, 3}, ""},
        {0, U'3', {}, ""},
        {'4', 0, {}, ""}, // no fourth singer: a digit that searches
        {0, U'4', {K::QueryChanged}, "4"},
        {'2', 0, {}, "4"}, // inside a search digits are text
    };
    SongSearchInput input;
    input.setVoiceShortcut(true);
    int line = 0;
    for (const KeyRow& row : rows) {
        if (line == 11)
            input.setVoiceShortcut(false);
        if (line == 25)
            input.setVoiceShortcut(true, 3);
        const SelectionCommand got = row.key ? input.keyDown(row.key) : input.keyPress(row.ch);
        EXPECT_EQ(got.kind, row.command.kind) << "row " << line;
        EXPECT_EQ(got.steps, row.command.steps) << "row " << line;
        EXPECT_EQ(got.singer, row.command.singer) << "row " << line;
        EXPECT_EQ(input.text(), row.text) << "row " << line;
        EXPECT_EQ(input.open(), !row.text.empty()) << "row " << line;
        ++line;
    }
}

// A lookup over a map the test changes, as the book changes after a session.
TEST(SongBrowserTest, PopularityOrdersPutSungSongsFirstAndFollowTheBook) {
    std::map<std::string, SongPopularity> sung{{songIdentity("Beta", "Two"), {3, 1000}},
                                               {songIdentity("GAMMA", " Three "), {3, 5000}},
                                               {songIdentity("Delta", "Four"), {1, 9000}}};
    SongBrowser browser(SongOrder::MostSung);
    browser.assign({song("a", "Alpha", "One"), song("b", "Beta", "Two"),
                    song("c", "Gamma", "Three"), song("d", "Delta", "Four"),
                    song("e", "alpha", "Zero")});
    browser.setPopularity([&sung](std::string_view identity) {
        const auto found = sung.find(std::string(identity));
        return found == sung.end() ? SongPopularity{} : found->second;
    });
    // Never sung last; equal counts by artist, then title.
    EXPECT_EQ(browser.shownFolders(),
              (std::vector<std::string>{"/lib/b", "/lib/c", "/lib/d", "/lib/a", "/lib/e"}));
    // A session sung: the song held in view while marked unplayable stays listed.
    ASSERT_TRUE(browser.markUnplayable("/lib/e", "cannot open"));
    browser.setSelectedFolder("/lib/e");
    sung[songIdentity("alpha", "Zero")] = {4, 100};
    browser.resort();
    EXPECT_EQ(browser.shownFolders(),
              (std::vector<std::string>{"/lib/e", "/lib/b", "/lib/c", "/lib/d", "/lib/a"}));
    browser.setOrder(SongOrder::RecentlySung);
    EXPECT_EQ(browser.shownFolders(),
              (std::vector<std::string>{"/lib/d", "/lib/c", "/lib/b", "/lib/e", "/lib/a"}));
}

} // namespace
