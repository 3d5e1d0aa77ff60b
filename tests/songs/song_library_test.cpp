#include "songs/cover_ring.h"
#include "songs/song_library.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <unistd.h>

using namespace cantorix;
using namespace cantorix::songs;
namespace fs = std::filesystem;

namespace {

class SongLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-library-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    void touch(const fs::path& p) { std::ofstream(m_dir / p) << "x"; }
    fs::path m_dir;
};

TEST_F(SongLibraryTest, ListsFoldersAndFilesByNameIgnoringCaseWithoutHiddenOnes) {
    for (const char* d : {"beta", "Alpha", "gamma", ".cache"})
        fs::create_directory(m_dir / d);
    touch("Delta.txt");
    touch(".hidden");
    EXPECT_EQ(listSongEntries(m_dir),
              (std::vector<std::string>{"Alpha", "beta", "Delta.txt", "gamma"}));
    EXPECT_TRUE(listSongEntries(m_dir / "missing").empty());
}

TEST_F(SongLibraryTest, SongFileIsTheLastTextFileInNameOrder) {
    fs::create_directory(m_dir / "Song");
    EXPECT_EQ(findSongFileName(m_dir / "Song"), "");
    touch("Song/b.TXT");
    touch("Song/A.txt");
    touch("Song/notes.md");
    touch("Song/.z.txt");
    EXPECT_EQ(findSongFileName(m_dir / "Song"), "b.TXT");
}

TEST_F(SongLibraryTest, MissingCoversFallBack) {
    fs::create_directories(m_dir / "With");
    fs::create_directories(m_dir / "Without");
    touch("With/cover.jpg");
    // A game-format song keeps the one cover name it has always had; a standard song may name
    // its cover or keep it under a collection's usual names.
    const std::string png("\x89PNG\r\n\x1a\n", 8), jpeg("\xFF\xD8\xFF\xE0", 4);
    const std::string game = "#TITLE:T\n#ARTIST:A\n#MP3:a.mp3\n#BPM:120\n#GAP:0\n: 0 4 21 la\nE\n";
    const std::string standard = "#TITLE:T\n#ARTIST:A\n#VERSION:1.0.0\n#BPM:120\n";
    const std::map<std::string, std::map<std::string, std::string>> folders = {
        {"GameOtherName", {{"song.txt", game}, {"song [CO].jpg", jpeg}}},
        {"StandardTagged",
         {{"song.txt", standard + "#COVER:Front.png\n: 0 4 0 la\nE\n"},
          {"front.PNG", png},
          {"cover.jpg", jpeg}}},
        {"StandardNamed", {{"song.txt", standard + ": 0 4 0 la\nE\n"}, {"x [CO].jpg", jpeg}}},
        {"StandardRefused", {{"song.txt", standard + "E\n"}, {"Cover.jpg", jpeg}}},
        {"StandardBare", {{"song.txt", standard + ": 0 4 0 la\nE\n"}}},
    };
    for (const auto& [folder, files] : folders) {
        fs::create_directories(m_dir / folder);
        for (const auto& [name, bytes] : files)
            std::ofstream(m_dir / folder / name, std::ios::binary) << bytes;
    }
    const auto files =
        coverFiles(m_dir,
                   {"With", "Without", "plain.txt", "GameOtherName", "StandardTagged",
                    "StandardNamed", "StandardRefused", "StandardBare"},
                   "fallback.jpg");
    EXPECT_EQ(files, (std::vector<fs::path>{
                         m_dir / "With/cover.jpg", "fallback.jpg", "fallback.jpg", "fallback.jpg",
                         m_dir / "StandardTagged/front.PNG", m_dir / "StandardNamed/x [CO].jpg",
                         m_dir / "StandardRefused/Cover.jpg", "fallback.jpg"}));
}

class CountingLoader : public scene::ImageLoader {
public:
    scene::Image load(const fs::path& file) override {
        if (file.filename() == "bad.jpg")
            throw scene::EImageError("Cannot read picture 'bad.jpg': not a JPEG");
        return scene::Image(static_cast<int>(file.string().size()), 1);
    }
};

TEST(DecodePicturesTest, KeepsOrderAndLeavesUnreadablePicturesEmpty) {
    CountingLoader loader;
    std::vector<fs::path> files;
    for (int i = 0; i < 40; ++i)
        files.push_back(std::string(static_cast<std::size_t>(i + 1), 'x'));
    files[7] = "bad.jpg";
    const auto pictures = decodePictures(files, loader, 4);
    ASSERT_EQ(pictures.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(pictures[i].width, i == 7 ? 0 : static_cast<int>(i + 1)) << i;
}

TEST(DecodePicturesTest, AWorkersOtherFailureReachesTheCaller) {
    // Out of memory on a worker thread: without a hand-over it would end the whole program.
    class FailingOffMainThread : public scene::ImageLoader {
    public:
        scene::Image load(const fs::path&) override {
            if (std::this_thread::get_id() != m_main)
                throw std::bad_alloc();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return scene::Image(1, 1);
        }
        std::thread::id m_main = std::this_thread::get_id();
    } loader;
    const std::vector<fs::path> files(40, "cover.jpg");
    EXPECT_THROW(decodePictures(files, loader, 4), std::bad_alloc);
}

TEST_F(SongLibraryTest, CoverlessEntriesShareOneFallbackDecodedOnce) {
    class Loader : public scene::ImageLoader {
    public:
        scene::Image load(const fs::path& file) override {
            std::lock_guard lock(m_mutex);
            loaded.push_back(file.filename().string());
            if (file.filename() == "cover.jpg" && file.parent_path().filename() == "Broken")
                throw scene::EImageError("Cannot read picture: not a JPEG");
            if (!fs::exists(file))
                throw scene::EImageError("Cannot read picture '" + file.string() + "'");
            return scene::Image(2, 2);
        }
        std::mutex m_mutex;
        std::vector<std::string> loaded;
    };
    for (const char* d : {"A", "Broken", "C", "D"})
        fs::create_directory(m_dir / d);
    touch("A/cover.jpg");
    touch("Broken/cover.jpg");
    touch("fallback.jpg");
    const std::vector<std::string> entries{"A", "Broken", "C", "D", "plain.txt"};

    Loader loader;
    scene::TGLMaterialLibrary covers{"Covers", loader, "."};
    EXPECT_EQ(registerCoverMaterials(covers, m_dir, entries, m_dir / "fallback.jpg", loader, 3), 4);
    EXPECT_EQ(std::count(loader.loaded.begin(), loader.loaded.end(), "fallback.jpg"), 1);
    EXPECT_EQ(covers.count(), 2) << "one own cover and one shared fallback";
    ASSERT_NE(covers.materialByName("c0"), nullptr);
    EXPECT_NE(covers.materialByName(kFallbackCoverMaterial), nullptr);

    // A missing fallback matters only when some entry needs it, and then the error names it.
    scene::TGLMaterialLibrary onlyOwn{"Covers", loader, "."};
    EXPECT_EQ(registerCoverMaterials(onlyOwn, m_dir, {"A"}, m_dir / "gone.jpg", loader, 2), 0);
    try {
        registerCoverMaterials(onlyOwn, m_dir, entries, m_dir / "gone.jpg", loader, 2);
        ADD_FAILURE() << "a missing fallback was not reported";
    } catch (const scene::EImageError& e) {
        EXPECT_NE(std::string(e.what()).find("gone.jpg"), std::string::npos) << e.what();
    }
}

TEST_F(SongLibraryTest, ASongsFolderThatCannotBeListedIsReportedNotTakenAsEmpty) {
    touch("songs");
    try {
        listSongEntries(m_dir / "songs");
        ADD_FAILURE() << "a songs path that cannot be listed came back as an empty library";
    } catch (const fs::filesystem_error& e) {
        EXPECT_EQ(e.path1(), m_dir / "songs");
    }
}

TEST(SongListTest, RefusesIndicesThatDoNotExist) {
    TSongList list;
    list.assign({"a", "b"});
    EXPECT_EQ(list.itemIndex(), -1);
    list.setItemIndex(1);
    list.setItemIndex(2);
    EXPECT_EQ(list.itemIndex(), 1);
    EXPECT_EQ(list.selected(), "b");
}

class CoverRingTest : public ::testing::Test {
protected:
    class NoLoader : public scene::ImageLoader {
    public:
        scene::Image load(const fs::path&) override { return {}; }
    };
    void SetUp() override {
        m_songs.assign({"a", "b", "c", "d"});
        for (int i = 0; i < 4; ++i)
            m_covers.addTextureMaterial(coverMaterialName(i), scene::Image(1, 1));
    }
    NoLoader m_loader;
    scene::TGLMaterialLibrary m_covers{"Covers", m_loader, "."};
    scene::TGLCube m_cover{"Cover"};
    TSongList m_songs;
    int m_selections = 0;
    CoverRing m_ring{m_songs, m_cover, m_covers, [this] { ++m_selections; }, &coverMaterialName};
};

TEST_F(CoverRingTest, RightTurnRunsUpTo160AndShowsTheNewCover) {
    m_songs.setItemIndex(1);
    m_ring.RightArrowButtonClick();
    EXPECT_EQ(m_songs.itemIndex(), 2);
    EXPECT_EQ(m_cover.tag(), 1);
    EXPECT_EQ(m_selections, 1);
    int steps = 0;
    while (m_ring.coverTurning() && steps < 100) {
        m_ring.CoverProgress(1.0 / 60);
        ++steps;
        if (m_ring.coverTurning()) {
            EXPECT_EQ(m_cover.material().name, "c2");
        }
    }
    // 160° at 660°/s is 0.24 s: fifteen frames of turning, then the stop.
    EXPECT_EQ(steps, 16);
    EXPECT_FLOAT_EQ(m_cover.turnAngle(), 0);
}

TEST_F(CoverRingTest, LeftTurnWrapsPastMinus180AndStops) {
    m_songs.setItemIndex(2);
    m_ring.LeftarrowButtonClick();
    EXPECT_EQ(m_songs.itemIndex(), 1);
    float lowest = 0;
    int steps = 0;
    while (m_ring.coverTurning() && steps < 100) {
        lowest = std::min(lowest, m_cover.turnAngle());
        m_ring.CoverProgress(1.0 / 60);
        ++steps;
    }
    EXPECT_LT(lowest, -170);
    EXPECT_EQ(steps, 18); // about 0.27 s
    EXPECT_EQ(m_cover.material().name, "c1");
}

TEST_F(CoverRingTest, AClickAsATurnEndsStillShowsItsSongsCover) {
    m_songs.setItemIndex(1);
    m_ring.RightArrowButtonClick();
    while (m_cover.turnAngle() < CoverRing::kTurnEnd)
        m_ring.CoverProgress(1.0 / 60);
    // The turn has reached its end but not yet stopped: the left click's turn ends at once.
    m_ring.LeftarrowButtonClick();
    m_ring.CoverProgress(1.0 / 60);
    EXPECT_FALSE(m_ring.coverTurning());
    EXPECT_EQ(m_cover.material().name, "c1");
}

TEST_F(CoverRingTest, ArrowsAtTheEndsKeepTheSelectionButStillTurnAndSelect) {
    m_songs.setItemIndex(0);
    m_ring.LeftarrowButtonClick();
    EXPECT_EQ(m_songs.itemIndex(), 0);
    EXPECT_TRUE(m_ring.coverTurning());
    m_songs.setItemIndex(3);
    m_ring.RightArrowButtonClick();
    EXPECT_EQ(m_songs.itemIndex(), 3);
    EXPECT_EQ(m_selections, 2);
}

TEST_F(CoverRingTest, SecondClickTurnsOnFromTheCurrentAngleInTheNewDirection) {
    m_songs.setItemIndex(1);
    m_ring.RightArrowButtonClick();
    m_ring.CoverProgress(0.1);
    const float reached = m_cover.turnAngle();
    m_ring.LeftarrowButtonClick();
    m_ring.CoverProgress(0.05);
    EXPECT_NEAR(m_cover.turnAngle(), reached - 33.0f, 1e-3);
}

} // namespace
