#include "selection/cover_cache.h"
#include "selection/cover_ring.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace cantorix;
using namespace cantorix::songs;
using namespace cantorix::selection;
namespace fs = std::filesystem;

namespace {

// Pictures named "bad…" cannot be read; the others decode to a picture as wide as the number
// in their name, so a slot shows which cover it holds.
class CountingLoader : public scene::ImageLoader {
public:
    scene::Image load(const fs::path& file) override {
        ++loads;
        {
            std::lock_guard lock(mutex);
            names.push_back(file.filename().string());
        }
        const std::string name = file.stem().string();
        if (name.starts_with("bad"))
            throw scene::EImageError("Cannot read picture '" + file.string() + "'");
        return scene::Image(name == "fallback" ? 1 : std::stoi(name), 1);
    }
    std::atomic<int> loads{0};
    std::mutex mutex;
    std::vector<std::string> names;
};

class CoverCacheTest : public ::testing::Test {
protected:
    // Collects until every wanted cover has been decoded (or failed) or a second has passed.
    void settle(const std::vector<fs::path>& wanted) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            m_cache.collect();
            bool done = true;
            for (const fs::path& p : wanted)
                done = done && (m_cache.holds(p) || p.stem().string().starts_with("bad"));
            if (done && m_loader.loads >= static_cast<int>(wanted.size()))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    int widthShown(const fs::path& cover) {
        return m_covers.materialByName(m_cache.materialFor(cover))->texture().image().width;
    }

    CountingLoader m_loader;
    scene::TGLMaterialLibrary m_covers{"Covers", m_loader, "."};
    CoverCache m_cache{m_covers, m_loader, "/c/fallback.jpg", 4};
};

TEST_F(CoverCacheTest, ShowsTheFallbackUntilDecodedAndDropsTheLeastRecentlyUsed) {
    EXPECT_EQ(m_cache.materialFor("/c/10.jpg"), kFallbackCoverMaterial) << "nothing asked yet";
    EXPECT_EQ(m_cache.materialFor({}), kFallbackCoverMaterial);
    m_loader.loads = 0;
    const std::vector<fs::path> first{"/c/10.jpg", "/c/11.jpg", "/c/bad.jpg", "/c/12.jpg"};
    m_cache.want(first);
    settle(first);
    EXPECT_EQ(widthShown("/c/10.jpg"), 10);
    EXPECT_EQ(widthShown("/c/12.jpg"), 12);
    EXPECT_EQ(m_cache.materialFor("/c/bad.jpg"), kFallbackCoverMaterial);
    EXPECT_EQ(m_loader.loads, 4);

    // Asking again for what is held or unreadable decodes nothing.
    m_cache.want(first);
    settle({});
    EXPECT_EQ(m_loader.loads, 4);

    // 11 is now the least recently used of the four slots (10 and 12 were shown since): the next
    // two covers take the free slot and 11's.
    m_cache.materialFor("/c/10.jpg");
    m_cache.materialFor("/c/12.jpg");
    m_cache.want({"/c/13.jpg", "/c/14.jpg"});
    settle({"/c/13.jpg", "/c/14.jpg"});
    EXPECT_TRUE(m_cache.holds("/c/10.jpg"));
    EXPECT_TRUE(m_cache.holds("/c/12.jpg"));
    EXPECT_FALSE(m_cache.holds("/c/11.jpg"));
    EXPECT_EQ(widthShown("/c/14.jpg"), 14);
    EXPECT_EQ(m_covers.count(), 5) << "four slots and the fallback, however many covers pass";
}

TEST_F(CoverCacheTest, ARingShowsTheDecodedCoverOnceItArrivesAndJumpsTurnOnce) {
    TSongList songs;
    std::vector<std::string> folders;
    for (int i = 0; i < 500; ++i)
        folders.push_back("/s/" + std::to_string(i));
    songs.assign(folders);
    scene::TGLCube slab{"Cover"};
    int selections = 0;
    CoverRing ring(
        songs, slab, m_covers, [&] { ++selections; },
        [&](int index) {
            return m_cache.materialFor("/c/" + std::to_string(index + 20) + ".jpg");
        });
    ring.jumpTo(499, +1);
    ring.stepCover(0.01);
    EXPECT_EQ(selections, 1) << "a long jump selects once";
    EXPECT_EQ(slab.tag(), 1);
    EXPECT_EQ(slab.material().name, kFallbackCoverMaterial);
    m_cache.want({"/c/519.jpg"});
    settle({"/c/519.jpg"});
    ring.refreshCover();
    EXPECT_EQ(m_covers.materialByName(slab.material().name)->texture().image().width, 519);
    int steps = 0;
    while (ring.coverTurning() && steps < 100) {
        ring.stepCover(1.0 / 60);
        ++steps;
    }
    EXPECT_LT(steps, 20) << "one turn, not one per song passed";
}

TEST(CoverCacheFallbackTest, AnUnreadableFallbackIsReportedByName) {
    CountingLoader loader;
    scene::TGLMaterialLibrary covers{"Covers", loader, "."};
    try {
        CoverCache cache(covers, loader, "/c/bad-fallback.jpg");
        ADD_FAILURE() << "a missing fallback was not reported";
    } catch (const scene::EImageError& e) {
        EXPECT_NE(std::string(e.what()).find("bad-fallback.jpg"), std::string::npos);
    }
}

} // namespace
