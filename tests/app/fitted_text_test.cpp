#include "app/fitted_text.h"
#include "fakes/fake_glyph_rasterizer.h"

#include <gtest/gtest.h>

using namespace cantorix;
using namespace cantorix::app;

namespace {

class FittedTextTest : public ::testing::Test {
protected:
    // Every character 9 pixels wide, "…" included.
    scene::testing::FakeGlyphRasterizer glyphs;
    scene::TGLBitmapFont font{"Fitted", scene::FontSpec{"Arial", 11, false, 0}, glyphs};
};

TEST_F(FittedTextTest, ALineTooWideLosesItsMiddleAndKeepsBothEnds) {
    const struct {
        std::string line;
        int width;
        std::string fitted;
    } cases[] = {
        {"/home/me/songs", 126, "/home/me/songs"},           // 14 characters: fits exactly
        {"/home/me/songs", 125, "/home/\xE2\x80\xA6/songs"}, // 13 places: 6 + … + 6
        {"abcdefghij", 36, "a\xE2\x80\xA6ij"},               // 4 places: 1 + … + 2
        {"abcdefghij", 9, "\xE2\x80\xA6"},
        {"abcdefghij", 3, "\xE2\x80\xA6"}, // nothing fits, not even the mark
        {"\xC3\xA9t\xC3\xA9 \xC3\xA0 Paris", 45, "\xC3\xA9t\xE2\x80\xA6is"}, // whole characters
    };
    for (const auto& c : cases)
        EXPECT_EQ(fitToWidth(font, c.line, c.width), c.fitted) << c.line << " in " << c.width;
    // A list after a caption loses its end instead.
    EXPECT_EQ(fitToWidth(font, "Medley: A, B, C", 81, TextCut::End), "Medley: \xE2\x80\xA6");
    EXPECT_EQ(fitToWidth(font, "Medley: A, B, C", 135, TextCut::End), "Medley: A, B, C");
}

} // namespace
