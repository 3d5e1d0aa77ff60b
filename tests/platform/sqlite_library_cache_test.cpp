#include "fakes/file_bytes.h"
#include "platform/sqlite_library_cache.h"

#include <cstdlib>
#include <gtest/gtest.h>
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
        s.songStamp = {1'700'000'000'123'456'789 + i, 1000 + i};
        s.coverStamp = {i, s.cover.empty() ? -1 : 2000 + i};
        s.folderStamp = {1'600'000'000'000'000'000 + i, 4096};
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

TEST_F(SqliteLibraryCacheTest, ADamagedFileOrOneOfAnotherVersionReadsEmptyAndIsRebuilt) {
    const auto garbage = [](const fs::path& file) {
        std::string bytes(20000, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 7919 % 251);
        cantorix::testing::writeFile(file, bytes);
    };
    const auto truncated = [](const fs::path& file) {
        SqliteLibraryCache(file).store(summaries(3000), {});
        fs::resize_file(file, fs::file_size(file) / 2);
    };
    const auto otherVersion = [](const fs::path& file) {
        SqliteLibraryCache(file).store(summaries(5), {});
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    };
    const auto emptyFile = [](const fs::path& file) { cantorix::testing::writeFile(file, ""); };
    const struct {
        const char* name;
        std::function<void(const fs::path&)> damage;
    } cases[] = {{"garbage", garbage},
                 {"truncated", truncated},
                 {"other version", otherVersion},
                 {"empty", emptyFile}};
    for (const auto& c : cases) {
        fs::remove_all(m_dir);
        fs::create_directories(m_file.parent_path());
        c.damage(m_file);
        SqliteLibraryCache cache(m_file);
        EXPECT_TRUE(cache.load().empty()) << c.name;
        // The next store starts a new file: only what it stores is there afterwards.
        const std::vector<SongSummary> fresh = {summary(1), summary(2)};
        EXPECT_NO_THROW(cache.store(fresh, {})) << c.name;
        EXPECT_EQ(loadFresh(), fresh) << c.name;
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
