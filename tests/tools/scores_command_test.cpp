// `cantorix-tool scores` on a records file the game's store wrote: the list and its filters, the
// JSON, the CSV export, and records it must leave alone.

#include "fakes/file_bytes.h"
#include "fakes/tool_run.h"
#include "platform/storage/sqlite_record_store.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace cantorix;
namespace tt = cantorix::testing;
using tt::ToolRun;

class ScoresCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "data");
        platform::SqliteRecordStore store(m_dir / "data/records.sqlite3");
        const std::int64_t emile = store.addPlayer({0, "Émile", 0xFF, "", 0}).id;
        records::Performance p;
        p.playerId = emile, p.singerName = "Émile", p.key = {"bjork|joga", 0};
        p.artist = "Björk", p.title = "Jóga", p.total = 8000, p.possible = 9000;
        p.share = 8000.0 / 9000, p.sungAtMs = 1796763900000, p.finished = true;
        records::Performance guest = p;
        guest.playerId.reset(), guest.singerName = "ÉMILE", guest.difficulty = 3;
        records::Performance anna = p;
        anna.playerId.reset(), anna.singerName = "Anna", anna.key = {"duet", 2};
        anna.artist = "Duo", anna.title = "Say \"hi\",\n\x1b[31mred", anna.finished = false;
        store.storeSession({p, guest, anna});
    }
    void TearDown() override { fs::remove_all(m_dir); }

    ToolRun scores(const std::string& args) const {
        return tt::runCommand(std::string("'") + CANTORIX_TOOL + "' scores --data '" +
                              (m_dir / "data").string() + "' " + args + " 2>&1");
    }

    const fs::path m_dir =
        fs::temp_directory_path() / ("cantorix-scores-" + std::to_string(::getpid()));
};

TEST_F(ScoresCommandTest, ListsInAlignedColumnsAndFiltersByPlayerAndSong) {
    const ToolRun all = scores("");
    EXPECT_EQ(all.status, 0);
    EXPECT_TRUE(std::regex_search(
        all.out, std::regex("^2026-12-08 21:05 UTC  Émile  Björk – Jóga +  Medium  8000  "
                            "88.9 %\n2026-12-08 21:05 UTC  ÉMILE  Björk – Jóga +  Hard    8000")))
        << all.out;
    EXPECT_NE(all.out.find("Anna   Duo – Say \"hi\",??[31mred [P2]  Medium  8000  88.9 %  "
                           "(not finished)\n3 performances\n"),
              std::string::npos)
        << "no control character reaches the terminal\n"
        << all.out;
    EXPECT_NE(scores("--player 'émile'").out.find("\n2 of 3 performances\n"), std::string::npos)
        << "the player and the guest under the same name";
    EXPECT_NE(scores("--song 'JOGA bjork'").out.find("\n2 of 3 performances\n"), std::string::npos);
    EXPECT_EQ(scores("--song 'joga duo'").out, "0 of 3 performances\n");
}

TEST_F(ScoresCommandTest, JsonIsOneArrayOfEscapedObjects) {
    const ToolRun run = scores("--json");
    ASSERT_EQ(run.status, 0);
    int depth = 0, objects = 0;
    bool inString = false;
    for (std::size_t i = 0; i < run.out.size(); ++i) {
        const char c = run.out[i];
        ASSERT_FALSE(inString && static_cast<unsigned char>(c) < 0x20) << run.out;
        if (inString && c == '\\')
            ++i;
        else if (c == '"')
            inString = !inString;
        else if (!inString && (c == '{' || c == '['))
            objects += ++depth == 2;
        else if (!inString && (c == '}' || c == ']'))
            --depth;
        ASSERT_GE(depth, 0);
    }
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(objects, 3);
    EXPECT_NE(run.out.find("\"title\": \"Say \\\"hi\\\",\\u000a\\u001b[31mred\""),
              std::string::npos);
    EXPECT_NE(run.out.find("\"player\": \"Émile\", \"playerId\": 1,"), std::string::npos);
}

TEST_F(ScoresCommandTest, ExportsCsvAndRefusesAFolder) {
    const ToolRun run = scores("--export '" + (m_dir / "out.csv").string() + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("3 performances written to"), std::string::npos) << run.out;
    const std::string csv = tt::readFile(m_dir / "out.csv");
    EXPECT_EQ(csv.rfind("Player,Artist,Title,", 0), 0u);
    EXPECT_NE(csv.find("\r\nAnna,Duo,\"Say \"\"hi\"\",\n\x1b[31mred\",2,"), std::string::npos);
    const ToolRun folder = scores("--export '" + m_dir.string() + "'");
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.out.find("it is a folder, not a regular file"), std::string::npos);
}

TEST_F(ScoresCommandTest, MissingRecordsAreNoneAndDamagedOnesAreLeftAsTheyAre) {
    fs::remove_all(m_dir / "data");
    fs::create_directories(m_dir / "data");
    EXPECT_EQ(scores("").out, "No performances stored yet.\n");
    const std::string damaged = "SQLite format 3" + std::string(4096, '\x7f');
    tt::writeFile(m_dir / "data/records.sqlite3", damaged);
    const ToolRun run = scores("");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("records.sqlite3\" are damaged"), std::string::npos) << run.out;
    EXPECT_EQ(tt::readFile(m_dir / "data/records.sqlite3"), damaged);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir / "data"), fs::directory_iterator()), 1);
}

} // namespace
