#include "app/command_line.h"
#include "app/program_files.h"
#include "audio/recording_paths.h"

#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace cantorix::app;
namespace fs = std::filesystem;

class ProgramDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-lookup-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(m_dir);
    }
    fs::path m_dir;
};

TEST_F(ProgramDirectoryTest, DataIsFoundBesideTheBinaryOrInTheInstalledPrefix) {
    struct Case {
        const char* what;
        std::vector<const char*> dataFolders; // made under m_dir
        const char* executableDir;
        const char* expected;
    };
    const Case cases[] = {
        {"build tree", {"build/data"}, "build", "build"},
        {"installed", {"usr/share/cantorix/data"}, "usr/bin", "usr/share/cantorix"},
        {"data beside the binary wins",
         {"usr/bin/data", "usr/share/cantorix/data"},
         "usr/bin",
         "usr/bin"},
        {"installed without data", {"usr/share/cantorix"}, "usr/bin", "usr/bin"},
        {"nothing anywhere", {}, "opt/x", "opt/x"},
        {"only a bin/ looks into share/", {"opt/share/cantorix/data"}, "opt/games", "opt/games"},
    };
    for (const Case& c : cases) {
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / c.executableDir);
        for (const char* folder : c.dataFolders)
            fs::create_directories(m_dir / folder);
        EXPECT_EQ(programDirectory({}, m_dir / c.executableDir / "cantorix"), m_dir / c.expected)
            << c.what;
    }
    // --root is taken as given, even over an installed layout.
    CommandLine cmd;
    cmd.root = m_dir / "elsewhere";
    EXPECT_EQ(programDirectory(cmd, m_dir / "usr/bin/cantorix"), m_dir / "elsewhere");
}

TEST_F(ProgramDirectoryTest, WorkingAudioGoesToTheCacheWhenTheProgramDirectoryIsReadOnly) {
    using cantorix::audio::bufferDirectory;
    EXPECT_EQ(bufferDirectory(m_dir), m_dir / "data/buffer") << "a writable program directory";
    EXPECT_EQ(cantorix::audio::mixBufferDirectory(m_dir), m_dir / "data/buffer/mix");
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write into read-only folders; the cache fallback needs a user";
    const fs::path installed = m_dir / "share/cantorix";
    fs::create_directories(installed / "data");
    fs::permissions(installed / "data", fs::perms::owner_read | fs::perms::owner_exec);
    ::setenv("XDG_CACHE_HOME", (m_dir / "cache").c_str(), 1);
    EXPECT_EQ(bufferDirectory(installed), m_dir / "cache/cantorix/buffer");
    EXPECT_TRUE(cantorix::audio::ensureMixBufferDirectory(installed));
    EXPECT_TRUE(fs::is_directory(m_dir / "cache/cantorix/buffer/mix"));
    ::unsetenv("XDG_CACHE_HOME");
    fs::permissions(installed / "data", fs::perms::owner_all);
}
