// `cantorix-tool scan` over two song folders through one library cache file: the verdict lines,
// the figures line a check reads, and a second run that sees a removed song.

#include "fakes/file_bytes.h"
#include "fakes/tool_run.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using cantorix::testing::ToolRun;

ToolRun scan(const std::string& args) {
    return cantorix::testing::runCommand(std::string("'") + CANTORIX_TOOL + "' scan " + args +
                                         " 2>/dev/null");
}

TEST(ScanCommandTest, ListsSeveralFoldersThroughTheCacheAndEndsWithItsFigures) {
    const fs::path dir =
        fs::temp_directory_path() / ("cantorix-scan-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    const std::string game = "#TITLE:Game Song\n#ARTIST:Band\n#MP3:a.mp3\n#BPM:120\n#GAP:0\n"
                             ": 0 4 21 la\nE\n";
    const std::string standard = "#VERSION:1.0.0\n#TITLE:Other\n#ARTIST:Act\n#BPM:120\n";
    for (const auto& [folder, bytes] :
         {std::pair{"one/Band/Album/Game", game},
          std::pair{"two/Act/Other", standard + "#AUDIO:a.ogg\n: 0 4 0 la\nE\n"},
          std::pair{"two/Broken", standard + "E\n"},
          std::pair{"two/Silent", standard + "#AUDIO:TestSong.ogg\n: 0 4 0 la\nE\n"}}) {
        fs::create_directories(dir / folder);
        cantorix::testing::writeFile(dir / folder / "song.txt", bytes);
    }
    cantorix::testing::writeFile(dir / "one/Band/Album/Game/a.mp3", "mp3");
    cantorix::testing::writeFile(dir / "two/Act/Other/a.ogg", "ogg");
    const std::string args = "--stats --cache '" + (dir / "cache/library.sqlite3").string() +
                             "' '" + (dir / "one").string() + "' '" + (dir / "two").string() + "'";
    const ToolRun first = scan(args);
    EXPECT_EQ(first.status, 0) << "a refused song is a verdict, not a failed scan";
    EXPECT_NE(first.out.find("\t" + (dir / "two/Act/Other").string() +
                             "\tloads (standard format): Act - Other\n"),
              std::string::npos)
        << first.out;
    EXPECT_NE(first.out.find("\tloads (game format): Band - Game Song\n"), std::string::npos);
    EXPECT_NE(first.out.find("Broken\tfails (standard format): "), std::string::npos);
    EXPECT_NE(first.out.find("Silent\tcannot be played (standard format): Act - Other; "
                             "no audio file: TestSong.ogg\n"),
              std::string::npos)
        << first.out;
    const std::regex figures(
        "\n4 songs \xC2\xB7 2 cannot be played\n" +
        std::string(R"(\{"songs": 4, "seconds": [0-9.]+, "peakMB": [0-9.]+\}\n$)"));
    EXPECT_TRUE(std::regex_search(first.out, figures)) << first.out;
    EXPECT_TRUE(fs::exists(dir / "cache/library.sqlite3"));

    fs::remove_all(dir / "two/Broken");
    const ToolRun second = scan(args);
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.out.find("Broken"), std::string::npos);
    EXPECT_NE(second.out.find("\n3 songs \xC2\xB7 1 cannot be played\n{\"songs\": 3, "),
              std::string::npos)
        << second.out;
    EXPECT_EQ(scan("--stats").status, 2);
    fs::remove_all(dir);
}

} // namespace
