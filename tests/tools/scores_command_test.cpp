// `cantorix-tool scores` on a records file the game's store wrote: the list and its filters, the
// JSON, the CSV export, and records it must leave alone.

#include "fakes/file_bytes.h"
#include "fakes/tool_run.h"
#include "platform/storage/sqlite_record_store.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace cantorix;
namespace tt = cantorix::testing;

class ScoresCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
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
        anna.medleyPart = true;
        store.storeSession({p, guest, anna});
    }
    void TearDown() override { fs::remove_all(m_dir); }

    tt::ToolRun scores(const std::string& args) const {
        return tt::runCommand(std::string("'") + CANTORIX_TOOL + "' scores --data '" +
                              (m_dir / "data").string() + "' " + args + " 2>&1");
    }

    const fs::path m_dir =
        fs::temp_directory_path() / ("cantorix-scores-" + std::to_string(::getpid()));
};

TEST_F(ScoresCommandTest, ListsInAlignedColumnsAndFiltersByPlayerAndSong) {
    const std::string pad(17, ' '), date = "2026-12-08 21:05 UTC  ";
    EXPECT_EQ(scores("").out, date + "Émile  Björk – Jóga" + pad + "  Medium  8000  88.9 %\n" +
                                  date + "ÉMILE  Björk – Jóga" + pad + "  Hard    8000  88.9 %\n" +
                                  date +
                                  "Anna   Duo – Say \"hi\",??[31mred [P2]  Medium  8000  88.9 %  "
                                  "(not finished) (medley part)\n3 performances\n");
    EXPECT_NE(scores("--player 'émile'").out.find("\n2 of 3 performances\n"), std::string::npos)
        << "the player and the guest under the same name";
    EXPECT_NE(scores("--song 'JOGA bjork'").out.find("\n2 of 3 performances\n"), std::string::npos);
    EXPECT_EQ(scores("--song 'joga duo'").out, "0 of 3 performances\n");
}

TEST_F(ScoresCommandTest, JsonIsOneArrayOfEscapedObjects) {
    const auto run = scores("--json");
    int depth = 0, objects = 0;
    for (std::size_t i = 0, quoted = 0; i < run.out.size(); ++i) {
        const char c = run.out[i];
        ASSERT_FALSE(quoted && static_cast<unsigned char>(c) < 0x20) << run.out;
        i += quoted && c == '\\';
        quoted ^= c == '"';
        depth += quoted ? 0 : (c == '{' || c == '[') - (c == '}' || c == ']');
        objects += !quoted && c == '{' && depth == 2;
    }
    EXPECT_EQ(std::pair(depth, objects), std::pair(0, 3)) << run.out;
    EXPECT_NE(run.out.find("\"title\": \"Say \\\"hi\\\",\\u000a\\u001b[31mred\""),
              std::string::npos);
    EXPECT_NE(run.out.find("\"player\": \"Émile\", \"playerId\": 1,"), std::string::npos);
    EXPECT_NE(run.out.find("\"finished\": false, \"medleyPart\": true}"), std::string::npos);
}

TEST_F(ScoresCommandTest, ExportsCsvAndLeavesMissingAndDamagedRecordsAlone) {
    EXPECT_NE(scores("--export '" + (m_dir / "out.csv").string() + "'")
                  .out.find("3 performances written to"),
              std::string::npos);
    EXPECT_NE(
        tt::readFile(m_dir / "out.csv").find("\r\nAnna,Duo,\"Say \"\"hi\"\",\n\x1b[31mred\",2,"),
        std::string::npos);
    const auto folder = scores("--export '" + m_dir.string() + "'");
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.out.find("it is a folder, not a regular file"), std::string::npos);

    const std::string damaged = "SQLite format 3" + std::string(4096, '\x7f');
    fs::remove(m_dir / "data/records.sqlite3");
    EXPECT_EQ(scores("").out, "No performances stored yet.\n");
    tt::writeFile(m_dir / "data/records.sqlite3", damaged);
    const auto run = scores("");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("records.sqlite3\" are damaged"), std::string::npos) << run.out;
    EXPECT_EQ(tt::readFile(m_dir / "data/records.sqlite3"), damaged);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir / "data"), fs::directory_iterator()), 1);
}

} // namespace
