#include "app/command_line.h"
#include "app/program_files.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace cantorix::app;
namespace fs = std::filesystem;

TEST(CommandLineTest, ReadsEveryOption) {
    auto cmd = parseCommandLine({"--root", "/tmp/x", "--mic=voice.wav", "--no-audio"});
    ASSERT_TRUE(cmd.error.empty()) << cmd.error;
    EXPECT_EQ(*cmd.root, fs::path("/tmp/x"));
    EXPECT_EQ(cmd.micWavs, std::vector<fs::path>{"voice.wav"});
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

// Each --mic adds a file in order, eight at most: one per singer slot.
TEST(CommandLineTest, MicFilesAreKeptInOrderUpToEight) {
    std::vector<std::string> args;
    std::vector<fs::path> files;
    for (int i = 1; i <= 8; ++i) {
        const std::string name = "v" + std::to_string(i) + ".wav";
        if (i % 2)
            args.insert(args.end(), {"--mic", name});
        else
            args.push_back("--mic=" + name);
        files.emplace_back(name);
    }
    const CommandLine eight = parseCommandLine(args);
    EXPECT_EQ(eight.error, "");
    EXPECT_EQ(eight.micWavs, files);
    args.emplace_back("--mic=v9.wav");
    EXPECT_EQ(parseCommandLine(args).error,
              "option --mic may be given at most 8 times (one file for each singer)");
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

TEST_F(ProgramFilesTest, TheExecutableIsFoundThroughItsLinks) {
    // The game's real file lives in "install"; players start it through links elsewhere.
    fs::create_directories(m_dir / "install");
    fs::create_directories(m_dir / "bin");
    std::ofstream(m_dir / "install/cantorix") << "x";
    fs::create_symlink(m_dir / "install/cantorix", m_dir / "bin/cantorix");
    fs::create_symlink(m_dir / "bin/cantorix", m_dir / "bin/karaoke");
    const fs::path real = fs::canonical(m_dir / "install/cantorix");
    const fs::path noProc = m_dir / "no-proc/self/exe";
    EXPECT_EQ(executablePath(m_dir / "bin/karaoke", "karaoke"), real)
        << "from /proc, whatever argv[0]";
    EXPECT_EQ(executablePath(noProc, m_dir / "bin/karaoke"), real) << "argv[0] resolved";
    EXPECT_EQ(programDirectory({}, executablePath(m_dir / "bin/karaoke", "karaoke")),
              real.parent_path());
}

TEST_F(ProgramFilesTest, StartUpRefusesAProgramDirectoryWithoutPicturesOrAnUnreadableSongsFolder) {
    try {
        requireDataDirectory(m_dir);
        ADD_FAILURE() << "a program directory without data/ passed";
    } catch (const EProgramFilesError& e) {
        EXPECT_NE(std::string(e.what()).find((m_dir / "data").string()), std::string::npos)
            << e.what();
    }
    fs::create_directory(m_dir / "data");
    EXPECT_NO_THROW(requireDataDirectory(m_dir));

    // A songs path that is there but cannot be listed is an error, not an empty library.
    std::ofstream(m_dir / "songs") << "x";
    EXPECT_THROW(countSongEntries(m_dir / "songs"), fs::filesystem_error);
}

TEST_F(ProgramFilesTest, APlainFileCountsAndAMissingDirectoryIsEmpty) {
    std::ofstream(m_dir / "stray.txt") << "x";
    EXPECT_FALSE(songsDirectoryIsEmpty(m_dir));
    EXPECT_EQ(countSongEntries(m_dir / "nope"), 0);
    EXPECT_TRUE(songsDirectoryIsEmpty(m_dir / "nope"));
}

TEST(CommandLineTest, SongRootsComeFromTheProgramTheDataFolderAndEverySongsOption) {
    const auto cmd = parseCommandLine({"--songs", "/media/a", "--songs=/media/b/", "--songs",
                                       "/media/a", "--cache", "/tmp/c", "--data=/tmp/d"});
    ASSERT_TRUE(cmd.error.empty()) << cmd.error;
    EXPECT_EQ(cmd.dataDir, fs::path("/tmp/d"));
    const auto env = [](const char* name) -> const char* {
        const std::string n = name;
        return n == "HOME" ? "/home/me" : n == "XDG_CACHE_HOME" ? "relative/is/ignored" : nullptr;
    };
    EXPECT_EQ(songRoots(cmd, "/opt/cx", env),
              (std::vector<fs::path>{"/opt/cx/songs", "/home/me/.local/share/cantorix/songs",
                                     "/media/a", "/media/b"}));
    EXPECT_EQ(cacheDirectory(cmd, env), fs::path("/tmp/c"));
    EXPECT_EQ(cacheDirectory({}, env), fs::path("/home/me/.cache/cantorix"));
    const auto xdg = [](const char* name) -> const char* {
        return std::string(name) == "XDG_DATA_HOME"    ? "/xdg/data"
               : std::string(name) == "XDG_CACHE_HOME" ? "/xdg/cache"
                                                       : nullptr;
    };
    EXPECT_EQ(songRoots({}, "/p", xdg)[1], fs::path("/xdg/data/cantorix/songs"));
    EXPECT_EQ(cacheDirectory({}, xdg), fs::path("/xdg/cache/cantorix"));

    // Folders kept in Score.ini join after them, once each.
    std::vector<fs::path> roots{"/opt/cx/songs"};
    addSongRoots(roots, {"", "/opt/cx/songs/", "/mnt/k", "/mnt/k"});
    EXPECT_EQ(roots, (std::vector<fs::path>{"/opt/cx/songs", "/mnt/k"}));
}
