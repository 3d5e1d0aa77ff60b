#include "songs/song_library.h"

#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace cantorix::songs;
namespace fs = std::filesystem;

namespace {

class SongLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-library-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    void touch(const fs::path& p) { std::ofstream(m_dir / p) << "x"; }
    fs::path m_dir;
};

TEST_F(SongLibraryTest, ListsFoldersAndFilesByNameIgnoringCaseWithoutHiddenOnes) {
    for (const char* d : {"beta", "Alpha", "gamma", ".cache"})
        fs::create_directory(m_dir / d);
    touch("Delta.txt");
    touch(".hidden");
    EXPECT_EQ(listSongEntries(m_dir),
              (std::vector<std::string>{"Alpha", "beta", "Delta.txt", "gamma"}));
    EXPECT_TRUE(listSongEntries(m_dir / "missing").empty());
}

TEST_F(SongLibraryTest, SongFileIsTheLastTextFileInNameOrder) {
    fs::create_directory(m_dir / "Song");
    EXPECT_EQ(findSongFileName(m_dir / "Song"), "");
    touch("Song/b.TXT");
    touch("Song/A.txt");
    touch("Song/notes.md");
    touch("Song/.z.txt");
    EXPECT_EQ(findSongFileName(m_dir / "Song"), "b.TXT");
}

TEST_F(SongLibraryTest, ASongsFolderThatCannotBeListedIsReportedNotTakenAsEmpty) {
    touch("songs");
    try {
        listSongEntries(m_dir / "songs");
        ADD_FAILURE() << "a songs path that cannot be listed came back as an empty library";
    } catch (const fs::filesystem_error& e) {
        EXPECT_EQ(e.path1(), m_dir / "songs");
    }
}

TEST(SongListTest, RefusesIndicesThatDoNotExist) {
    TSongList list;
    list.assign({"a", "b"});
    EXPECT_EQ(list.itemIndex(), -1);
    list.setItemIndex(1);
    list.setItemIndex(2);
    EXPECT_EQ(list.itemIndex(), 1);
    EXPECT_EQ(list.selected(), "b");
}

} // namespace
