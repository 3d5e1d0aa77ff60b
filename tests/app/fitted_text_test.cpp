#include "app/fitted_text.h"
#include "fakes/fake_glyph_rasterizer.h"

#include <gtest/gtest.h>
#include <random>

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
}

// Generated paragraphs: every line fits, there are never too many, and a text that has room
// comes back word for word.
TEST_F(FittedTextTest, WrappedLinesFitAndKeepEveryWordWhenThereIsRoom) {
    std::mt19937 random(19);
    const auto draw = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    for (int round = 0; round < 500; ++round) {
        std::string text, plain;
        for (int w = 0, words = draw(0, 14); w < words; ++w) {
            const std::string word(static_cast<std::size_t>(draw(1, 16)),
                                   static_cast<char>('a' + w));
            text += std::string(static_cast<std::size_t>(draw(1, 2)), ' ') + word;
            plain += (plain.empty() ? "" : " ") + word;
        }
        const int width = draw(9, 200);
        const std::size_t maxLines = static_cast<std::size_t>(draw(1, 4));
        const std::vector<std::string> lines = wrapToWidth(font, text, width, maxLines);
        ASSERT_LE(lines.size(), maxLines) << text;
        std::string joined;
        for (const std::string& line : lines) {
            EXPECT_LE(font.textWidth(line), width) << line;
            joined += (joined.empty() ? "" : " ") + line;
        }
        // Each full line breaks before a word of at most 16 letters that did not fit.
        const int perLine = width / 9;
        const bool roomForAll =
            perLine >= 16 && static_cast<std::size_t>(perLine - 16) * (maxLines - 1) +
                                     static_cast<std::size_t>(perLine) >=
                                 plain.size();
        if (roomForAll) {
            EXPECT_EQ(joined, plain) << "width " << width << ", lines " << maxLines;
        }
    }
}

} // namespace
