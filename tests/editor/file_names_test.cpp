// The short names of the name displays and the ".txt" rule of the lyric file.

#include "editor/file_names.h"

#include <gtest/gtest.h>

using namespace cantorix::editor;

TEST(FileNamesTest, DisplaysShowTheFirstFourteenCharacters) {
    EXPECT_EQ(firstCharacters("a very long file name.mid"), "a very long fi");
    EXPECT_EQ(firstCharacters("short.mid"), "short.mid");
    EXPECT_EQ(firstCharacters("exactly14chars"), "exactly14chars");
    // Characters, not bytes: "é" and "ü" are two bytes each.
    EXPECT_EQ(firstCharacters("\xC3\xA9t\xC3\xA9 \xC3\xBC"
                              "ber alles.mid"),
              "\xC3\xA9t\xC3\xA9 \xC3\xBC"
              "ber alles");
    // A stray byte counts as one character and is not merged with what follows.
    EXPECT_EQ(firstCharacters("\xE9"
                              "abcdefghijklmnop",
                              3),
              "\xE9"
              "ab");
    EXPECT_EQ(firstCharacters("", 14), "");
}

TEST(FileNamesTest, TxtIsAppendedOnlyWhenMissing) {
    EXPECT_EQ(withTxtExtension("/songs/My Song"), "/songs/My Song.txt");
    EXPECT_EQ(withTxtExtension("/songs/My Song.txt"), "/songs/My Song.txt");
    EXPECT_EQ(withTxtExtension("/songs/My Song.TxT"), "/songs/My Song.TxT");
    EXPECT_EQ(withTxtExtension("/songs/notes.txt.bak"), "/songs/notes.txt.bak.txt");
    EXPECT_EQ(withTxtExtension("txt"), "txt.txt");
}
