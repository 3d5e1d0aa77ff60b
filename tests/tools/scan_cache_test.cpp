// `cantorix-tool scan` with a cache file that is not its own: the scan fails with the reason and
// leaves the file exactly as it was.

#include "fakes/file_bytes.h"
#include "fakes/tool_run.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(ScanCacheTest, AFileThatIsNotACacheFailsTheScanAndIsLeftAsItIs) {
    const fs::path dir = fs::temp_directory_path() / ("cantorix-scan-" + std::to_string(getpid()));
    fs::create_directories(dir / "songs/Band/Song");
    cantorix::testing::writeFile(dir / "songs/Band/Song/song.txt", "#TITLE:Song\n#ARTIST:Band\n");
    const std::string notes = (dir / "notes.txt").string(), bytes = "shopping list\nmilk\n";
    cantorix::testing::writeFile(notes, bytes);
    const std::string command = std::string(CANTORIX_TOOL) + " scan --cache '" + notes + "' '" +
                                (dir / "songs").string() + "' 2>&1";
    const auto [out, status] = cantorix::testing::runCommand(command);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("'" + notes + "' is not used this run: it is not an SQLite database"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("songs/Band/Song\t"), std::string::npos) << out; // the scan went on
    EXPECT_EQ(cantorix::testing::readFile(notes), bytes);
    EXPECT_FALSE(fs::exists(notes + "-journal"));
    fs::remove_all(dir);
}
