#include "records/player.h"
#include "records/records_directory.h"

#include <gtest/gtest.h>
#include <map>

using namespace cantorix::records;

TEST(PlayerTest, NamesAreOneNameExactlyWhenTheyFoldAlike) {
    struct Case {
        std::string a, b;
        bool same;
    };
    const Case cases[] = {
        {"ÉMILE", "émile", true},
        {"Émile", "éMILE ", true},
        {"ÉMILE", "Emile", false},
        {"ΣΟΦΟΣ", "σοφος", true}, // final sigma folds like sigma
        {"ΣΟΦΟΣ", "σοφοσ", true},
        {"STRASSE", "straße", true},
        {"STRAẞE", "strasse", true},
        {"  Anna\t", "anna", true},
        {"Anna Lind", "AnnaLind", false},
        {"An\xFF", "an\xEF\xBF\xBD", true}, // an invalid byte reads as U+FFFD
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a + " / " + c.b);
        EXPECT_EQ(foldPlayerName(c.a) == foldPlayerName(c.b), c.same);
    }
}

TEST(PlayerTest, CleanedNamesKeepWhatIsSeenAndWholeCharacters) {
    const std::string fortyLetters(40, 'x');
    std::string fortyAccents, thirtyTwoAccents;
    for (int i = 0; i < 40; ++i)
        fortyAccents += "é";
    for (int i = 0; i < 32; ++i)
        thirtyTwoAccents += "é";
    const std::pair<std::string, std::string> cases[] = {
        {"  Anna   Maria\tLind \n", "Anna Maria Lind"},
        {"Eve\u202Elive", "Evelive"}, // the right-to-left override would turn the rest round
        {"Zo\u200Be\u2066\uFEFF", "Zoe"},
        {"\x01"
         "Bo\x7F\xC2\x85",
         "Bo"},
        {fortyLetters, fortyLetters.substr(0, 32)},
        {fortyAccents, thirtyTwoAccents},
        {std::string(31, 'a') + " b", std::string(31, 'a')},
        {"Ann\xFF", "Ann\xEF\xBF\xBD"},
        {"Ann\xC3", "Ann\xEF\xBF\xBD"}, // cut short
        {"\xC0\xAF\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {" \u200B ", ""},
    };
    for (const auto& [raw, cleaned] : cases) {
        SCOPED_TRACE(raw);
        EXPECT_EQ(cleanPlayerName(raw), cleaned);
    }
}

TEST(PlayerTest, InitialsAreTheFirstLettersOfTheFirstAndLastWords) {
    const std::pair<std::string, std::string> cases[] = {
        {"Anna Maria Lind", "AL"},
        {"émile", "É"},
        {"'anna o'neil", "AO"},
        {"Bo 42", "B"},
        {" 42 ", "?"},
        {"", "?"},
    };
    for (const auto& [name, initials] : cases)
        EXPECT_EQ(playerInitials(name), initials) << name;
}

TEST(PlayerTest, RecordsFolderIsTheDataOptionElseTheUsersDataFolder) {
    struct Case {
        std::optional<std::filesystem::path> option;
        std::map<std::string, std::string> environment;
        std::filesystem::path folder;
    };
    const Case cases[] = {
        {"/srv/rec/", {{"XDG_DATA_HOME", "/x"}}, "/srv/rec/"},
        {{}, {{"XDG_DATA_HOME", "/x"}, {"HOME", "/h"}}, "/x/cantorix"},
        {{}, {{"XDG_DATA_HOME", "rel"}, {"HOME", "/h"}}, "/h/.local/share/cantorix"},
        {{}, {}, "./.local/share/cantorix"},
    };
    for (const Case& c : cases) {
        const auto lookup = [&](const char* name) -> const char* {
            const auto it = c.environment.find(name);
            return it == c.environment.end() ? nullptr : it->second.c_str();
        };
        EXPECT_EQ(recordsDirectory(c.option, lookup), c.folder);
    }
}
