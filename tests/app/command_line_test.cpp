#include "app/command_line.h"
#include "app/program_files.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace cantorix::app;
namespace fs = std::filesystem;

TEST(CommandLineTest, ReadsEveryOption) {
    auto cmd = parseCommandLine({"--root", "/tmp/x", "--mic=voice.wav", "--no-audio"});
    ASSERT_TRUE(cmd.error.empty()) << cmd.error;
    EXPECT_EQ(*cmd.root, fs::path("/tmp/x"));
    EXPECT_EQ(*cmd.micWav, fs::path("voice.wav"));
    EXPECT_TRUE(cmd.noAudio);
    EXPECT_FALSE(cmd.help);
    EXPECT_TRUE(parseCommandLine({"--help"}).help);
    EXPECT_TRUE(parseCommandLine({"--version"}).version);
}

TEST(CommandLineTest, RejectsUnknownOptionsAndMissingValues) {
    EXPECT_NE(parseCommandLine({"--rot", "x"}).error, "");
    EXPECT_EQ(parseCommandLine({"--mic"}).error, "option --mic needs a value");
    EXPECT_FALSE(parseCommandLine({"--root"}).root.has_value());
}

TEST(CommandLineTest, ProgramDirectoryDefaultsToTheExecutablesFolder) {
    EXPECT_EQ(programDirectory({}, "/opt/cantorix/cantorix"), fs::path("/opt/cantorix"));
    CommandLine cmd;
    cmd.root = "/srv/karaoke/../karaoke";
    EXPECT_EQ(programDirectory(cmd, "/opt/cantorix/cantorix"), fs::path("/srv/karaoke"));
}

class ProgramFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-songs-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path m_dir;
};

TEST_F(ProgramFilesTest, CountsLikeTheListingWithItsNavigationEntries) {
    EXPECT_EQ(countSongEntries(m_dir), 2);
    EXPECT_TRUE(songsDirectoryIsEmpty(m_dir));
    fs::create_directory(m_dir / ".hidden");
    EXPECT_TRUE(songsDirectoryIsEmpty(m_dir)) << "hidden entries are not listed";
    fs::create_directory(m_dir / "One Song");
    EXPECT_EQ(countSongEntries(m_dir), 3);
    EXPECT_FALSE(songsDirectoryIsEmpty(m_dir));
}

TEST_F(ProgramFilesTest, APlainFileCountsAndAMissingDirectoryIsEmpty) {
    std::ofstream(m_dir / "stray.txt") << "x";
    EXPECT_FALSE(songsDirectoryIsEmpty(m_dir));
    EXPECT_EQ(countSongEntries(m_dir / "nope"), 0);
    EXPECT_TRUE(songsDirectoryIsEmpty(m_dir / "nope"));
}
