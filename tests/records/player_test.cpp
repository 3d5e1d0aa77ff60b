#include "records/player.h"

#include <gtest/gtest.h>

using namespace cantorix::records;

// Final sigma folds as sigma; an invalid byte reads as U+FFFD.
TEST(PlayerTest, NamesAreOneNameExactlyWhenTheyFoldAlike) {
    const std::tuple<std::string, std::string, bool> cases[] = {
        {"ÉMILE", "émile", true},
        {"Émile", "éMILE ", true},
        {"ÉMILE", "Emile", false},
        {"ΣΟΦΟΣ", "σοφος", true},
        {"ΣΟΦΟΣ", "σοφοσ", true},
        {"STRASSE", "straße", true},
        {"STRAẞE", "strasse", true},
        {"  Anna\t", "anna", true},
        {"Anna Lind", "AnnaLind", false},
        {"An\xFF", "an\xEF\xBF\xBD", true},
        // Precomposed and decomposed, ligatures and full-width forms are the same name.
        {"\u00C9mile", "E\u0301mile", true},
        {"\uFB01ona", "FIONA", true},
        {"\uFF21nna", "anna", true},
        {"Anna\u3000", "anna", true},
        {"Zo\u00EB", "Zoe", false}};
    for (const auto& [a, b, same] : cases)
        EXPECT_EQ(foldPlayerName(a) == foldPlayerName(b), same) << a << " / " << b;
}

TEST(PlayerTest, CleanedNamesKeepWhatIsSeenAndWholeCharacters) {
    const std::string replacement = "\xEF\xBF\xBD"; // for each byte that begins no character
    const std::pair<std::string, std::string> cases[] = {
        {"  Anna   Maria\tLind \n", "Anna Maria Lind"},
        {"Eve\u202Elive", "Evelive"}, // the right-to-left override would turn the rest round
        {"Zo\u200Be\u2066\uFEFF", "Zoe"},
        // Joiners stay between characters (Persian, Indic scripts and emoji need them).
        {"\u0645\u06CC\u200C\u062E\u0648\u0627\u0645",
         "\u0645\u06CC\u200C\u062E\u0648\u0627\u0645"},
        {"\U0001F469\u200D\U0001F3A4", "\U0001F469\u200D\U0001F3A4"},
        {"\u200DAnna\u200C", "Anna"},
        {"\001Bo\x7F\xC2\x85", "Bo"},
        {std::string(40, 'x'), std::string(32, 'x')},
        {"éééééééééééééééééééééééééééééééééééééééé", "éééééééééééééééééééééééééééééééé"},
        {std::string(31, 'a') + " b", std::string(31, 'a')},
        {"Ann\xFF", "Ann" + replacement},
        {"Ann\xC3", "Ann" + replacement}, // cut short
        {"\xC0\xAF\xED\xA0\x80",
         replacement + replacement + replacement + replacement + replacement}};
    for (const auto& [raw, cleaned] : cases)
        EXPECT_EQ(cleanPlayerName(raw), cleaned) << raw;
}

TEST(PlayerTest, InitialsAreTheFirstLettersOfTheFirstAndLastWords) {
    const std::pair<std::string, std::string> cases[] = {
        {"Anna Maria Lind", "AL"}, {"émile", "É"}, {"'anna o'neil", "AO"}, {" 42 ", "?"}};
    for (const auto& [name, initials] : cases)
        EXPECT_EQ(playerInitials(name), initials) << name;
}
