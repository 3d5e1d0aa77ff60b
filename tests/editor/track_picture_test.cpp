// The note picture of a track strip.

#include "editor/track_picture.h"

#include <gtest/gtest.h>

using namespace cantorix::editor;

namespace {

bool isMark(const cantorix::scene::Image& image, int x, int y) {
    const std::uint8_t* p = image.pixel(x, y);
    return p[0] == 255 && p[1] == 0 && p[2] == 0 && p[3] == 255;
}

int markCount(const cantorix::scene::Image& image) {
    int n = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            n += isMark(image, x, y);
    return n;
}

} // namespace

TEST(TrackPictureTest, MarksSitByTimeAndPitch) {
    TrackTables t;
    t.firstNoteUnit = 50;
    t.lastEventUnit = 100;
    t.noteCount = 2;
    t.notes = {{0, "0", 4}, {10, "-7", 2}, {20, "12", 24}};
    const auto image = drawTrackPicture(t);
    ASSERT_EQ(image.width, 512);
    ASSERT_EQ(image.height, 64);
    // Note 1: x = 50 · 420 / 100 = 210, y = 8 − 0 = 8: columns 210–211, rows 6–7.
    EXPECT_TRUE(isMark(image, 210, 6) && isMark(image, 211, 7));
    // Note 2: x = 60 · 420 / 100 = 252, y = 8 − (−7 / 4 = −1) = 9: rows 7–8.
    EXPECT_TRUE(isMark(image, 252, 7) && isMark(image, 253, 8));
    // The closing row draws nothing, so exactly two marks of four pixels.
    EXPECT_EQ(markCount(image), 8);
    EXPECT_EQ(image.pixel(0, 0)[3], 0); // the background lets the strip show through
}

TEST(TrackPictureTest, NoMarksWhenTheLastEventIsInTheFirstUnitOrOffThePicture) {
    TrackTables t;
    t.noteCount = 1;
    t.notes = {{0, "0", 0}, {0, "0", 24}};
    EXPECT_EQ(markCount(drawTrackPicture(t)), 0);
    t.lastEventUnit = 10;
    t.notes = {{0, "67", 1}, {1, "0", 24}}; // y = 8 − 16 < 0: above the picture
    EXPECT_EQ(markCount(drawTrackPicture(t)), 0);
}
