#include "scene/render/letterbox.h"

#include <gtest/gtest.h>

namespace cantorix::scene::render {
namespace {

TEST(LetterboxTest, FitsTheDesignedCanvasIntoAnyWindow) {
    struct Case {
        const char* name;
        int windowWidth, windowHeight;
        double dpr;
        int left, top, width, height;
        double scale;
    };
    const Case cases[] = {
        {"exact", 766, 729, 1, 0, 0, 766, 729, 1},
        {"wide full screen", 1920, 1080, 1, 392, 0, 1135, 1080, 1080.0 / 729},
        {"tall", 766, 1458, 1, 0, 364, 766, 729, 1},
        {"tall and narrow", 383, 1000, 1, 0, 317, 383, 365, 0.5},
        {"HiDPI exact", 766, 729, 2, 0, 0, 1532, 1458, 2},
        {"HiDPI wide", 1000, 729, 2, 234, 0, 1532, 1458, 2},
        {"fractional ratio", 766, 729, 1.5, 0, 0, 1149, 1094, 1.5},
        {"empty window", 0, 500, 1, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Letterbox box = fitLetterbox(766, 729, c.windowWidth, c.windowHeight, c.dpr);
        EXPECT_EQ(box.left, c.left);
        EXPECT_EQ(box.top, c.top);
        EXPECT_EQ(box.width, c.width);
        EXPECT_EQ(box.height, c.height);
        EXPECT_NEAR(box.scale, c.scale, 1e-9);
        if (box.scale <= 0)
            continue;
        // The canvas never leaves the window, and the margins on either side differ by at most
        // one device pixel.
        const int deviceWidth = static_cast<int>(c.windowWidth * c.dpr + 0.5);
        const int deviceHeight = static_cast<int>(c.windowHeight * c.dpr + 0.5);
        EXPECT_LE(box.left + box.width, deviceWidth);
        EXPECT_LE(box.top + box.height, deviceHeight);
        EXPECT_LE(std::abs(deviceWidth - box.width - 2 * box.left), 1);
        EXPECT_LE(std::abs(deviceHeight - box.height - 2 * box.top), 1);
        // Design corners land on the canvas corners, and window points map back.
        const PointF topLeft = box.toWindow({0, 0});
        EXPECT_NEAR(topLeft.x * c.dpr, c.left, 1e-6);
        EXPECT_NEAR(topLeft.y * c.dpr, c.top, 1e-6);
        const PointF bottomRight = box.toWindow({766, 729});
        EXPECT_NEAR(bottomRight.x * c.dpr, c.left + c.width, 1.0);
        EXPECT_NEAR(bottomRight.y * c.dpr, c.top + c.height, 1.0);
        for (const PointF p : {PointF{0, 0}, PointF{383, 365}, PointF{765.5, 728.5}}) {
            const PointF back = box.toDesign(box.toWindow(p));
            EXPECT_NEAR(back.x, p.x, 1e-9);
            EXPECT_NEAR(back.y, p.y, 1e-9);
        }
    }
}

TEST(LetterboxTest, MarginPointsFallOutsideTheCanvas) {
    const Letterbox box = fitLetterbox(766, 729, 1920, 1080, 1);
    EXPECT_LT(box.toDesign({100, 500}).x, 0);
    EXPECT_GE(box.toDesign({1800, 500}).x, 766);
}

} // namespace
} // namespace cantorix::scene::render
