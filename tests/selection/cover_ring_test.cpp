#include "selection/cover_ring.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace cantorix;
using namespace cantorix::songs;
using namespace cantorix::selection;
namespace fs = std::filesystem;

namespace {

std::string coverMaterial(int index) {
    return "c" + std::to_string(index);
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
            m_covers.addTextureMaterial(coverMaterial(i), scene::Image(1, 1));
    }
    NoLoader m_loader;
    scene::TGLMaterialLibrary m_covers{"Covers", m_loader, "."};
    scene::TGLCube m_cover{"Cover"};
    TSongList m_songs;
    int m_selections = 0;
    CoverRing m_ring{m_songs, m_cover, m_covers, [this] { ++m_selections; }, &coverMaterial};
};

TEST_F(CoverRingTest, RightTurnRunsUpTo160AndShowsTheNewCover) {
    m_songs.setItemIndex(1);
    m_ring.turnRight();
    EXPECT_EQ(m_songs.itemIndex(), 2);
    EXPECT_EQ(m_cover.tag(), 1);
    EXPECT_EQ(m_selections, 1);
    int steps = 0;
    while (m_ring.coverTurning() && steps < 100) {
        m_ring.stepCover(1.0 / 60);
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
    m_ring.turnLeft();
    EXPECT_EQ(m_songs.itemIndex(), 1);
    float lowest = 0;
    int steps = 0;
    while (m_ring.coverTurning() && steps < 100) {
        lowest = std::min(lowest, m_cover.turnAngle());
        m_ring.stepCover(1.0 / 60);
        ++steps;
    }
    EXPECT_LT(lowest, -170);
    EXPECT_EQ(steps, 18); // about 0.27 s
    EXPECT_EQ(m_cover.material().name, "c1");
}

TEST_F(CoverRingTest, AClickAsATurnEndsStillShowsItsSongsCover) {
    m_songs.setItemIndex(1);
    m_ring.turnRight();
    while (m_cover.turnAngle() < CoverRing::kTurnEnd)
        m_ring.stepCover(1.0 / 60);
    // The turn has reached its end but not yet stopped: the left click's turn ends at once.
    m_ring.turnLeft();
    m_ring.stepCover(1.0 / 60);
    EXPECT_FALSE(m_ring.coverTurning());
    EXPECT_EQ(m_cover.material().name, "c1");
}

TEST_F(CoverRingTest, ArrowsAtTheEndsKeepTheSelectionButStillTurnAndSelect) {
    m_songs.setItemIndex(0);
    m_ring.turnLeft();
    EXPECT_EQ(m_songs.itemIndex(), 0);
    EXPECT_TRUE(m_ring.coverTurning());
    m_songs.setItemIndex(3);
    m_ring.turnRight();
    EXPECT_EQ(m_songs.itemIndex(), 3);
    EXPECT_EQ(m_selections, 2);
}

TEST_F(CoverRingTest, SecondClickTurnsOnFromTheCurrentAngleInTheNewDirection) {
    m_songs.setItemIndex(1);
    m_ring.turnRight();
    m_ring.stepCover(0.1);
    const float reached = m_cover.turnAngle();
    m_ring.turnLeft();
    m_ring.stepCover(0.05);
    EXPECT_NEAR(m_cover.turnAngle(), reached - 33.0f, 1e-3);
}

} // namespace
