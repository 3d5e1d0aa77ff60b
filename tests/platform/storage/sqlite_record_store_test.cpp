#include "fakes/file_bytes.h"
#include "fakes/special_files.h"
#include "platform/storage/sqlite_record_store.h"

#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <regex>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace cantorix;
using cantorix::platform::SqliteRecordStore;
using cantorix::testing::readFile;
using cantorix::testing::writeFile;
using records::ERecordStoreError;
using records::Performance;
using records::Player;
namespace fs = std::filesystem;

namespace {

const std::string kVersion = std::to_string(SqliteRecordStore::kSchemaVersion);
const std::string kNewer = std::to_string(SqliteRecordStore::kSchemaVersion + 1);
const std::string kNewerReason = "newer version of Cantorix (records version " + kNewer;

// Every field set, to its extremes where it has them; text kept as the bytes given.
Performance performance(int i, std::optional<std::int64_t> playerId = std::nullopt) {
    const std::string n = std::to_string(i);
    Performance p;
    p.playerId = playerId, p.singerName = "Singer " + n, p.colour = 0xFF000000u + i;
    p.key = {"artist\x1Ftitle " + n, i % 3};
    p.artist = "Artiste n\xC2\xB0" + n, p.title = std::string("Ti\0tle ", 7) + n;
    p.folder = "/songs/not \xFF utf-8/" + n, p.difficulty = 1 + i % 3;
    p.notePoints = i % 2 ? INT32_MAX : INT32_MIN, p.lineBonus = 1000 + i, p.goldenPoints = -i;
    p.total = INT64_MAX - i, p.possible = 9000 + i, p.share = 1.0 / (3 + i);
    p.sungAtMs = 1'765'000'000'123 + i, p.sungMs = 61'234 + i, p.songMs = INT64_MIN + i;
    p.finished = i % 2 == 0;
    p.medleyPart = i % 4 == 1;
    return p;
}

std::vector<Performance> session(int first, int count, std::optional<std::int64_t> player = {}) {
    std::vector<Performance> rows;
    for (int i = first; i < first + count; ++i)
        rows.push_back(performance(i, player));
    return rows;
}

Player player(std::string name, std::int64_t createdAt = 1'765'000'000) {
    return {0, std::move(name), 0xABCDEF, "anna.png", createdAt};
}

// The first value of a query through a connection of its own, kept open in `holder` when given.
std::string sql(const fs::path& file, const std::string& statements, sqlite3** holder = nullptr) {
    sqlite3* db = nullptr;
    std::string first;
    EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    const auto keep = [](void* out, int, char** values, char**) {
        if (static_cast<std::string*>(out)->empty() && values[0])
            *static_cast<std::string*>(out) = values[0];
        return 0;
    };
    EXPECT_EQ(sqlite3_exec(db, statements.c_str(), keep, &first, nullptr), SQLITE_OK);
    holder ? void(*holder = db) : void(sqlite3_close(db));
    return first;
}

// Every entry under `dir` with a hash of its bytes.
std::map<std::string, std::size_t> entries(const fs::path& dir) {
    std::map<std::string, std::size_t> all;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        all[entry.path()] = std::hash<std::string>()(
            entry.is_regular_file() ? readFile(entry.path()) : "<not a file>");
    return all;
}

class SqliteRecordStoreTest : public ::testing::Test {
protected:
    void SetUp() override { fs::remove_all(m_dir); }
    void TearDown() override { fs::remove_all(m_dir); }
    records::RecordSnapshot loadFresh() { return SqliteRecordStore(m_file).load(); }

    fs::path m_dir = fs::temp_directory_path() / ("cantorix-records-" + std::to_string(getpid()));
    fs::path m_file = m_dir / "cantorix/records.sqlite3";
};

TEST_F(SqliteRecordStoreTest, KeepsEveryFieldExactlyAndCreatesNothingUntilWritten) {
    SqliteRecordStore store(m_file);
    EXPECT_TRUE(store.load().performances.empty());
    EXPECT_FALSE(fs::exists(m_dir));

    const Player anna = store.addPlayer(player("Anna"));
    const Player bo = store.addPlayer({0, "Bo", 0, "", -5});
    std::vector<Performance> rows = session(0, 4, anna.id);
    rows[1].playerId.reset(); // a guest
    rows[2].playerId = bo.id;
    rows[3].playerId = 999; // removed by another game meanwhile: kept as a guest's
    const std::vector<Performance> stored = store.storeSession(rows);
    rows[3].playerId.reset();
    ASSERT_EQ(stored.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(stored[i].id, stored[0].id + static_cast<std::int64_t>(i));
        rows[i].id = stored[i].id;
    }
    const auto loaded = loadFresh();
    EXPECT_EQ(loaded.players, (std::vector<Player>{anna, bo}));
    EXPECT_EQ(loaded.performances, rows);
    EXPECT_EQ(sql(m_file, "PRAGMA user_version"), kVersion);
    EXPECT_EQ(sql(m_file, "PRAGMA journal_mode"), "wal");
    EXPECT_TRUE(store.takeNotices().empty());
}

TEST_F(SqliteRecordStoreTest, NamesAreUniqueIgnoringCaseAndARemovedPlayerKeepsOrLosesRows) {
    SqliteRecordStore store(m_file);
    const Player anna = store.addPlayer(player("Anna"));
    Player bo = store.addPlayer(player("Bo"));
    EXPECT_THROW(store.addPlayer(player("  ANNA ")), records::EPlayerNameTaken);
    bo.name = "anna";
    EXPECT_THROW(store.updatePlayer(bo), records::EPlayerNameTaken);
    bo.name = "BO";
    bo.colour = 0x123456;
    EXPECT_NO_THROW(store.updatePlayer(bo)); // their own name in another case
    EXPECT_THROW(store.updatePlayer(player("Nobody")), records::EPlayerNotFound);
    EXPECT_EQ(store.load().players, (std::vector<Player>{anna, bo}));

    store.storeSession(session(0, 3, anna.id));
    store.storeSession(session(3, 2, bo.id));
    store.storeSession(session(5, 1));
    store.removePlayer(anna.id, false);
    store.removePlayer(bo.id, true);
    const auto left = store.load();
    EXPECT_TRUE(left.players.empty());
    ASSERT_EQ(left.performances.size(), 4u); // Bo's two are gone
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(left.performances[i].playerId, std::nullopt);
        EXPECT_EQ(left.performances[i].singerName, records::kRemovedPlayerName);
    }
    EXPECT_EQ(left.performances[3].singerName, "Singer 5");
    // The name is free again, under an id that never meant anyone else: the file says which ids
    // it handed out, and takes one given above them.
    EXPECT_EQ(store.load().lastPlayerId, bo.id);
    const Player again = store.addPlayer(player("anna"));
    EXPECT_GT(again.id, bo.id);
    Player given = player("Cleo");
    given.id = again.id + 5;
    EXPECT_EQ(store.addPlayer(given), given);
    given.name = "Dana";
    EXPECT_THROW(store.addPlayer(given), records::EPlayerIdTaken);
    EXPECT_EQ(store.load().lastPlayerId, given.id);
    EXPECT_EQ(store.addPlayer(player("Eve")).id, given.id + 1);
}

// Names an earlier release folded apart are folded again when the file is opened: both players
// are kept, the later renamed and the player told; names that merely fold anew stay as they are.
TEST_F(SqliteRecordStoreTest, NamesFoldedByAnEarlierRuleAreFoldedAgainAndClashesRenamed) {
    Player emile, zed, fiona;
    {
        SqliteRecordStore store(m_file);
        emile = store.addPlayer(player("\u00C9mile"));
        zed = store.addPlayer(player("Zed"));
        fiona = store.addPlayer(player("Fiona"));
    }
    // What the letter-by-letter rule stored: a decomposed É and a ligature kept apart.
    sql(m_file, "UPDATE players SET name = 'E\u0301mile', folded_name = 'e\u0301mile' WHERE id = " +
                    std::to_string(zed.id) +
                    "; UPDATE players SET name = '\uFB01ona', "
                    "folded_name = '\uFB01ona' WHERE id = " +
                    std::to_string(fiona.id));
    SqliteRecordStore store(m_file);
    const std::vector<Player> players = store.load().players;
    ASSERT_EQ(players.size(), 3u);
    EXPECT_EQ(players[0].name, "\u00C9mile");
    EXPECT_EQ(players[1].name, "E\u0301mile (2)");
    EXPECT_EQ(players[2].name, "\uFB01ona");
    EXPECT_EQ(store.takeNotices(),
              (std::vector<std::string>{"Two players were named alike: \"E\u0301mile\" is now "
                                        "\"E\u0301mile (2)\"."}));
    EXPECT_THROW(store.addPlayer(player("FIONA")), records::EPlayerNameTaken);
    EXPECT_FALSE(store.movedAside());
    EXPECT_TRUE(SqliteRecordStore(m_file).takeNotices().empty()); // once only
}

TEST_F(SqliteRecordStoreTest, AnEmptyFileIsMigratedAndADamagedOneMovedAsideWithItsLog) {
    const auto ours = [](const fs::path& f) {
        SqliteRecordStore(f).storeSession(session(0, 2000));
    };
    const struct {
        const char* name;
        std::function<void(const fs::path&)> make;
        bool loadFirst, damaged = true;
    } cases[] = {
        {"empty", [](auto& f) { writeFile(f, ""); }, true, false},
        {"nothing in it", [](auto& f) { sql(f, "CREATE TABLE t (x); DROP TABLE t"); }, false,
         false},
        {"garbage", [](auto& f) { writeFile(f, "my notes\n"); }, true},
        {"garbage with a log",
         [](auto& f) { writeFile(f, "x"), writeFile(f.native() + "-wal", "w"); }, false},
        {"header then garbage",
         [](auto& f) { writeFile(f, std::string("SQLite format 3\0", 16) + "ZZZZ"); }, true},
        {"truncated", [&](auto& f) { ours(f), fs::resize_file(f, 3 * 4096); }, false},
    };
    std::map<std::string, std::string> kept; // every damaged file's bytes
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* suffix : {"", "-wal", "-shm"}) // the last case's new file
            fs::remove(m_file.native() + suffix);
        fs::create_directories(m_file.parent_path());
        c.make(m_file);
        const std::string bytes = readFile(m_file), log = readFile(m_file.native() + "-wal");
        SqliteRecordStore store(m_file);
        if (c.loadFirst) {
            EXPECT_TRUE(store.load().performances.empty());
        }
        EXPECT_EQ(store.storeSession(session(0, 1)).size(), 1u);
        EXPECT_EQ(loadFresh().performances.size(), 1u);
        const std::vector<std::string> notices = store.takeNotices();
        if (!c.damaged) {
            EXPECT_TRUE(notices.empty());
            EXPECT_EQ(sql(m_file, "PRAGMA user_version"), kVersion);
            continue;
        }
        std::string shape = "\"" + m_file.native() + "\" was damaged; it was moved to \"(";
        shape +=
            m_file.native() + "\\.damaged-[0-9]{8}-[0-9]{6}(-[0-9]+)?)\" and a new one started\\.";
        std::smatch match;
        ASSERT_EQ(notices.size(), 1u);
        ASSERT_TRUE(std::regex_match(notices[0], match, std::regex(shape))) << notices[0];
        const std::string moved = match[1];
        EXPECT_EQ(readFile(moved), bytes);
        EXPECT_EQ(readFile(moved + "-wal"), log);
        kept[moved] = bytes;
    }
    for (const auto& [file, bytes] : kept)
        EXPECT_EQ(readFile(file), bytes) << file; // none replaced by a later one
    EXPECT_EQ(kept.size(), std::size(cases) - 2);
}

TEST_F(SqliteRecordStoreTest, AFileThatIsNotPlainlyOursAndOldIsLeftExactlyAsItIs) {
    const auto ours = [](const fs::path& f) { SqliteRecordStore(f).storeSession(session(0, 2)); };
    const struct {
        const char* name;
        std::function<void(fs::path&, sqlite3**)> make;
        int loads; // rows loaded, or -1: load throws too
        const char* reason;
    } cases[] = {
        {"newer",
         [&](auto& f, auto) {
             ours(f), sql(f, "ALTER TABLE players ADD x; PRAGMA user_version = " + kNewer);
         },
         2, kNewerReason.c_str()},
        {"newer, lacking columns",
         [](auto& f, auto) { sql(f, "CREATE TABLE players (id); PRAGMA user_version = 9"); }, -1,
         "newer version of Cantorix (records version 9"},
        {"another program's tables", [](auto& f, auto) { sql(f, "CREATE TABLE accounts (id)"); },
         -1, "tables that Cantorix did not make"},
        {"a folder", [](auto& f, auto) { fs::create_directory(f); }, -1, "it is a folder"},
        {"a named pipe", [](auto& f, auto) { cantorix::testing::makeFifo(f); }, -1, "a named pipe"},
        {"held by another program",
         [&](auto& f, auto holder) {
             ours(f), sql(f, "PRAGMA journal_mode = DELETE; BEGIN EXCLUSIVE", holder);
         },
         -1, "another program has been using it"},
        {"an unwritable place", [](auto& f, auto) { f = "/proc/self/cantorix/records.sqlite3"; }, 0,
         "its folder cannot be created"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_dir);
        fs::create_directories(m_file.parent_path());
        fs::path file = m_file;
        sqlite3* holder = nullptr;
        c.make(file, &holder);
        const auto before = entries(m_dir);
        auto store = std::make_unique<SqliteRecordStore>(file);
        const auto failsNaming = [&](const std::function<void()>& call) {
            try {
                call();
                ADD_FAILURE() << "no error";
            } catch (const ERecordStoreError& e) {
                EXPECT_NE(std::string(e.what()).find("\"" + file.string() + "\""),
                          std::string::npos);
                EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
            }
        };
        if (c.loads < 0)
            failsNaming([&] { store->load(); });
        else
            EXPECT_EQ(store->load().performances.size(), static_cast<std::size_t>(c.loads));
        failsNaming([&] { store->storeSession(session(0, 1)); });
        failsNaming([&] { store->addPlayer(player("Cleo")); });
        EXPECT_TRUE(store->takeNotices().empty());
        store.reset(); // its connection's own log files go with it
        sqlite3_close(holder);
        EXPECT_EQ(entries(m_dir), before);
    }
}

// A file of the first release (players and performances only) gains the queue's tables; a queue
// saved by one game is the queue the next game loads, its order, the host's list and a medley's
// songs included.
TEST_F(SqliteRecordStoreTest, APartysQueueIsKeptBesideTheRecordsOfAnEarlierFile) {
    fs::create_directories(m_file.parent_path());
    sql(m_file, R"(CREATE TABLE players (
        id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL,
        folded_name TEXT NOT NULL UNIQUE, colour INTEGER NOT NULL, picture TEXT NOT NULL,
        created_at INTEGER NOT NULL);
        CREATE TABLE performances (id INTEGER PRIMARY KEY, player_id INTEGER NULL,
        singer_name TEXT NOT NULL, colour INTEGER NOT NULL, song_key TEXT NOT NULL,
        voice INTEGER NOT NULL, artist TEXT NOT NULL, title TEXT NOT NULL, folder TEXT NOT NULL,
        difficulty INTEGER NOT NULL, note_points INTEGER NOT NULL, line_bonus INTEGER NOT NULL,
        golden_points INTEGER NOT NULL, total INTEGER NOT NULL, possible INTEGER NOT NULL,
        share REAL NOT NULL, sung_at_ms INTEGER NOT NULL, sung_ms INTEGER NOT NULL,
        song_ms INTEGER NOT NULL, finished INTEGER NOT NULL);
        INSERT INTO players VALUES (7, 'Anna', 'anna', 255, '', 0);
        PRAGMA user_version = 1;)");
    EXPECT_TRUE(SqliteRecordStore(m_file).loadQueue().entries.empty());

    party::PartyQueue queue;
    const party::GuestId ann = *queue.join("Ann", 100, "0a1b"),
                         ben = *queue.join("B\xC3\xA9n", 101);
    queue.link(ann, 7);
    for (const auto& [guest, song] : std::vector<std::pair<party::GuestId, std::string>>{
             {ann, "songs/a.txt"}, {ben, "songs/b.txt"}, {ann, "songs/c.txt"}})
        ASSERT_EQ(queue.add({guest, song}, 102).answer, party::QueueAnswer::Accepted);
    ASSERT_EQ(queue.add({ben, "songs/duet.txt", ann, "", 1}, 103).answer,
              party::QueueAnswer::Accepted);
    const party::QueuedMedley medley{{"songs/z.txt", "songs/a.txt", "songs/m.txt"}, "marked"};
    ASSERT_EQ(queue.add({.guest = ann, .songId = {}, .medley = medley}, 104).answer,
              party::QueueAnswer::Accepted);
    queue.takeNext(200);
    queue.hostMove(queue.order().back(), 0);
    queue.settings().mostWaitingPerGuest = 5;
    queue.settings().rotation = false;
    queue.settings().takeFromQueue = true;
    queue.settings().nextUpSeconds = 30;
    SqliteRecordStore(m_file).saveQueue(queue.kept());

    party::PartyQueue again;
    again.restore(SqliteRecordStore(m_file).loadQueue());
    EXPECT_EQ(again.kept(), queue.kept());
    EXPECT_EQ(again.order(), queue.order());
    EXPECT_EQ(loadFresh().players.size(), 1u) << "the records are kept";
    EXPECT_EQ(sql(m_file, "PRAGMA user_version"), kVersion);
    // Saving again replaces what was kept.
    queue.clear();
    SqliteRecordStore(m_file).saveQueue(queue.kept());
    EXPECT_TRUE(SqliteRecordStore(m_file).loadQueue().entries.empty());
    EXPECT_EQ(sql(m_file, "SELECT COUNT(*) FROM queue_medley_songs"), "0");
    EXPECT_EQ(SqliteRecordStore(m_file).loadQueue().guests.size(), 2u);
}

TEST_F(SqliteRecordStoreTest, TwoGamesOnOneFileLoseNoRow) {
    constexpr int kSessions = 40, kRows = 8;
    const auto game = [&](int first) {
        SqliteRecordStore store(m_file);
        for (int s = 0; s < kSessions; ++s) {
            store.storeSession(session(first + s * kRows, kRows));
            store.load();
        }
    };
    // The other game is a process of its own, as a second game started at once would be: SQLite's
    // file locks are per process, which threads of one process would not exercise.
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        try {
            game(100'000);
            _exit(0);
        } catch (...) {
            _exit(1);
        }
    }
    game(0);
    int status = 0;
    ASSERT_EQ(waitpid(other, &status, 0), other);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other game failed";
    const auto all = loadFresh().performances;
    ASSERT_EQ(all.size(), 2u * kSessions * kRows);
    for (std::size_t i = 1; i < all.size(); ++i)
        EXPECT_LT(all[i - 1].id, all[i].id);
}

} // namespace
