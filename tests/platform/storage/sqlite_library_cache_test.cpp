#include "fakes/file_bytes.h"
#include "fakes/special_files.h"
#include "platform/storage/sqlite_library_cache.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sqlite3.h>
#include <unistd.h>

using namespace cantorix;
using cantorix::platform::SqliteLibraryCache;
using cantorix::songs::SongSummary;
namespace fs = std::filesystem;

namespace {

class SqliteLibraryCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-cache-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        m_file = m_dir / "cantorix/library.sqlite3";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    static SongSummary summary(int i) {
        SongSummary s;
        s.folder = "/songs/Artist " + std::to_string(i) + "/Song";
        s.songFile = s.folder + "/song.txt";
        s.format = i % 2 ? songs::SongFormat::Standard : songs::SongFormat::Game;
        s.title = "Titre n\xC2\xB0" + std::to_string(i);
        s.artist = "Artist " + std::to_string(i);
        s.audio = s.folder + "/song.mp3";
        s.cover = i % 3 ? s.folder + "/cover.jpg" : std::string();
        s.duet = i % 5 == 0;
        s.error = i % 7 == 0 ? "The song file has fewer than two lines" : "";
        s.unplayable = i % 4 == 1 ? "no audio file: song.mp3" : "";
        s.audioStamp = {i % 4 == 1 ? 0 : 1'650'000'000'000'000'000 + i, i % 4 == 1 ? -1 : 9000 + i};
        s.songStamp = {1'700'000'000'123'456'789 + i, 1000 + i};
        s.coverStamp = {i, s.cover.empty() ? -1 : 2000 + i};
        s.folderStamp = {1'600'000'000'000'000'000 + i, 4096};
        s.textLengthMs = 180'000 + i;
        s.audioLengthMs = i % 2 ? 0 : 221'000 + i;
        if (i % 3 != 2)
            s.medley = {30'000.25 + i, 52'500.5 + i,
                        i % 3 ? songs::MedleySource::Tags : songs::MedleySource::Refrain};
        return s;
    }
    static std::vector<SongSummary> summaries(int count) {
        std::vector<SongSummary> all;
        for (int i = 0; i < count; ++i)
            all.push_back(summary(i));
        return all;
    }
    std::vector<SongSummary> loadFresh() { return SqliteLibraryCache(m_file).load(); }

    fs::path m_dir, m_file;
};

TEST_F(SqliteLibraryCacheTest, KeepsWhatIsStoredAcrossRunsAndAppliesChangesAndRemovals) {
    EXPECT_TRUE(loadFresh().empty()); // no file yet, and none made by looking
    EXPECT_FALSE(fs::exists(m_file));

    std::vector<SongSummary> all = summaries(20);
    all[3].folder = "/songs/not \xFF utf-8"; // paths are bytes, kept as they are
    {
        SqliteLibraryCache cache(m_file);
        cache.store(all, {});
    }
    EXPECT_EQ(loadFresh(), all);

    SqliteLibraryCache cache(m_file);
    ASSERT_EQ(cache.load().size(), 20u);
    all[4].title = "Renamed";
    cache.store({all[4]}, {all[0].folder, all[3].folder, "/songs/never stored"});
    std::vector<SongSummary> expected(all.begin() + 1, all.end());
    expected.erase(expected.begin() + 2);
    auto loaded = loadFresh();
    std::sort(loaded.begin(), loaded.end(), [](auto& a, auto& b) { return a.artist < b.artist; });
    std::sort(expected.begin(), expected.end(),
              [](auto& a, auto& b) { return a.artist < b.artist; });
    EXPECT_EQ(loaded, expected);
}

// Every entry under `dir` with the bytes of its regular files: what "left as it is" compares.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        entries[entry.path()] = entry.is_regular_file()
                                    ? cantorix::testing::readFile(entry.path())
                                    : "<" + std::to_string(int(entry.status().type())) + ">";
    return entries;
}

// Runs SQL on the file through a connection of its own, kept open in `holder` when given.
void sql(const fs::path& file, const std::string& statements, sqlite3** holder = nullptr) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, statements.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    if (holder)
        *holder = db;
    else
        sqlite3_close(db);
}

// A new cache holds its schema, its songs and their key index on pages 1, 2 and 3: the index page
// is overwritten with bytes no page can hold.
void damageIndex(const fs::path& file) {
    std::fstream(file, std::ios::in | std::ios::out | std::ios::binary).seekp(2 * 4096)
        << std::string(4096, '\xFF');
}

TEST_F(SqliteLibraryCacheTest, ReplacesOnlyItsOwnDamagedOrOlderFileAndLeavesAnyOtherAlone) {
    using cantorix::testing::writeFile;
    enum Outcome { Loaded, Rebuilt, LeftAlone, RebuiltAfterLoading };
    const auto ours = [](const fs::path& f) { SqliteLibraryCache(f).store(summaries(40), {}); };
    const std::string v1 = "CREATE TABLE songs (folder BLOB PRIMARY KEY, title TEXT); INSERT INTO "
                           "songs VALUES ('/songs/a', 'A'); PRAGMA user_version = 1;";
    const std::string corrupt = std::string("SQLite format 3\0", 16) + std::string(4000, 'Z');
    const struct {
        const char* name;
        std::function<void(fs::path& file, sqlite3** holder)> make;
        Outcome outcome;
        const char* reason = "";
        bool theirJournal = false; // a journal beside a file SQLite is never asked to open
    } cases[] = {
        {"missing", [](auto&, auto) {}, Rebuilt},
        // Ours is created complete under another name, so an empty file or a database without
        // tables at its path is another program's.
        {"empty", [](auto& f, auto) { writeFile(f, ""); }, LeftAlone,
         "it is an empty file this game did not make", true},
        {"database without tables",
         [&](auto& f, auto) { sql(f, "CREATE TABLE t (x); DROP TABLE t"); }, LeftAlone,
         "it holds another program's database"},
        // A creation interrupted in an earlier run left its file under the other name only.
        {"interrupted creation",
         [](auto& f, auto) {
             writeFile(f.native() + ".new-" + std::to_string(::getpid()), "SQLite");
         },
         Rebuilt},
        {"ours", [&](auto& f, auto) { ours(f); }, Loaded},
        {"version 1", [&](auto& f, auto) { sql(f, v1); }, Rebuilt},
        {"truncated", [&](auto& f, auto) { ours(f), fs::resize_file(f, 8192); }, Rebuilt},
        // Reading every row does not meet a damaged index; the store that does replaces the file.
        {"index damaged", [&](auto& f, auto) { ours(f), damageIndex(f); }, RebuiltAfterLoading},
        {"header then garbage", [&](auto& f, auto) { writeFile(f, corrupt); }, Rebuilt},
        {"text", [](auto& f, auto) { writeFile(f, "my notes\n"); }, LeftAlone,
         "it is not an SQLite database", true},
        {"png",
         [](auto& f, auto) { writeFile(f, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)); },
         LeftAlone, "it is not an SQLite database", true},
        {"newer schema", [&](auto& f, auto) { ours(f), sql(f, "PRAGMA user_version = 5"); },
         LeftAlone, "it holds a newer schema (version 5)", true},
        {"another program's database",
         [](auto& f, auto) { sql(f, "CREATE TABLE accounts (id INTEGER)"); }, LeftAlone,
         "it holds another program's database"},
        {"another program's WAL database",
         [](auto& f, auto) { sql(f, "PRAGMA journal_mode = WAL; CREATE TABLE songs (x)"); },
         LeftAlone, "it holds another program's database", true},
        {"held in a write transaction",
         [&](auto& f, auto holder) { ours(f), sql(f, "BEGIN; DELETE FROM songs", holder); },
         LeftAlone, "another program is using it"},
        {"held exclusively",
         [&](auto& f, auto holder) { ours(f), sql(f, "BEGIN EXCLUSIVE", holder); }, LeftAlone,
         "another program is using it"},
        {"a folder", [](auto& f, auto) { fs::create_directory(f); }, LeftAlone, "it is a folder",
         true},
        {"a named pipe", [](auto& f, auto) { cantorix::testing::makeFifo(f); }, LeftAlone,
         "it is a named pipe", true},
        // Root writes through permission bits, so the unwritable places are ones no one can
        // write: a file where the folder should be, and a folder of /proc.
        {"folder is a file",
         [](auto& f, auto) { fs::remove(f.parent_path()), writeFile(f.parent_path(), "x"); },
         LeftAlone, "its folder cannot be created"},
        {"/proc", [](auto& f, auto) { f = "/proc/self/library.sqlite3"; }, LeftAlone,
         "it cannot be created"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_dir);
        fs::create_directories(m_file.parent_path());
        fs::path file = m_file;
        sqlite3* holder = nullptr;
        c.make(file, &holder);
        if (c.theirJournal)
            writeFile(file.native() + "-journal", "their journal");
        const auto before = snapshot(m_dir);
        std::vector<std::string> notices;
        SqliteLibraryCache cache(file, [&](const std::string& m) { notices.push_back(m); });
        const bool loads = c.outcome == Loaded || c.outcome == RebuiltAfterLoading;
        EXPECT_EQ(cache.load().size(), loads ? 40u : 0u);
        const std::vector<SongSummary> fresh = {summary(1), summary(2)};
        if (c.outcome == LeftAlone) {
            EXPECT_THROW(cache.store(fresh, {}), std::runtime_error);
            EXPECT_EQ(snapshot(m_dir), before);
            ASSERT_EQ(notices.size(), 1u);
            EXPECT_EQ(notices[0], cache.unusable());
            EXPECT_NE(notices[0].find("'" + file.string() + "' is not used this run: " + c.reason),
                      std::string::npos)
                << notices[0];
        } else {
            EXPECT_NO_THROW(cache.store(fresh, {}));
            EXPECT_TRUE(notices.empty() && cache.unusable().empty());
            EXPECT_EQ(loadFresh().size(), c.outcome == Loaded ? 40u : 2u);
        }
        sqlite3_close(holder);
    }
}

TEST_F(SqliteLibraryCacheTest, AnUnwritablePlaceIsReportedNotFatal) {
    fs::create_directories(m_dir);
    cantorix::testing::writeFile(m_dir / "cantorix", "a file where the folder should be");
    SqliteLibraryCache cache(m_file);
    EXPECT_TRUE(cache.load().empty());
    try {
        cache.store(summaries(2), {});
        FAIL() << "stored into a folder that cannot exist";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(m_file.string()), std::string::npos) << e.what();
    }
}

TEST(DefaultLibraryCacheFileTest, FollowsTheCacheHomeOfTheUser) {
    const char* oldCache = std::getenv("XDG_CACHE_HOME");
    const std::string saved = oldCache ? oldCache : "";
    ::setenv("XDG_CACHE_HOME", "/var/cache/me", 1);
    EXPECT_EQ(platform::defaultLibraryCacheFile(), "/var/cache/me/cantorix/library.sqlite3");
    ::setenv("XDG_CACHE_HOME", "relative", 1); // not absolute: ignored, as the rules say
    EXPECT_EQ(platform::defaultLibraryCacheFile(),
              fs::path(std::getenv("HOME")) / ".cache/cantorix/library.sqlite3");
    if (oldCache)
        ::setenv("XDG_CACHE_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CACHE_HOME");
}

} // namespace
