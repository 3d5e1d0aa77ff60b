// `cantorix-tool scan` with a cache file that is not its own: the scan fails with the reason and
// leaves the file exactly as it was.

#include "fakes/file_bytes.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

TEST(ScanCacheTest, AFileThatIsNotACacheFailsTheScanAndIsLeftAsItIs) {
    const fs::path dir =
        fs::temp_directory_path() / ("cantorix-scan-cache-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "songs/Band/Song");
    cantorix::testing::writeFile(
        dir / "songs/Band/Song/song.txt",
        "#TITLE:Song\n#ARTIST:Band\n#MP3:a.mp3\n#BPM:120\n#GAP:0\n: 0 4 21 la\nE\n");
    const fs::path notes = dir / "notes.txt";
    const std::string bytes = "shopping list\nmilk\n";
    cantorix::testing::writeFile(notes, bytes);

    const std::string command = std::string("'") + CANTORIX_TOOL + "' scan --cache '" +
                                notes.string() + "' '" + (dir / "songs").string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    EXPECT_EQ(WEXITSTATUS(::pclose(pipe)), 1) << out;
    EXPECT_NE(
        out.find("'" + notes.string() + "' is not used this run: it is not an SQLite database"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("Band - Song"), std::string::npos) << out; // the scan itself went on
    EXPECT_EQ(cantorix::testing::readFile(notes), bytes);
    EXPECT_FALSE(fs::exists(notes.string() + "-journal"));
    fs::remove_all(dir);
}

} // namespace
