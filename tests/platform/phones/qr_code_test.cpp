// Join codes as libqrencode draws them: a QR code's shape (its size from its version, the three
// finder patterns in their corners), growing with the text, and a refusal for a text too long.

#include "platform/phones/qr_code.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace cantorix::platform {
namespace {

bool dark(const app::JoinCode& code, int row, int column) {
    return code.modules[static_cast<std::size_t>(row * code.size + column)];
}

// A finder pattern at (top, left): a dark 7 × 7 ring, a light ring inside it, a dark 3 × 3
// centre, and the light separator around it where it lies within the code.
void expectFinderPattern(const app::JoinCode& code, int top, int left) {
    for (int row = -1; row <= 7; ++row) {
        for (int column = -1; column <= 7; ++column) {
            const int y = top + row;
            const int x = left + column;
            if (y < 0 || x < 0 || y >= code.size || x >= code.size)
                continue;
            const bool separator = row == -1 || row == 7 || column == -1 || column == 7;
            const bool outerRing = row == 0 || row == 6 || column == 0 || column == 6;
            const bool centre = row >= 2 && row <= 4 && column >= 2 && column <= 4;
            EXPECT_EQ(dark(code, y, x), !separator && (outerRing || centre))
                << "finder at " << top << "," << left << ", module " << row << "," << column;
        }
    }
}

TEST(EncodeJoinCodeTest, DrawsAQrCodeOfTheUrlThatGrowsWithIt) {
    const std::string url = "https://192.168.1.20:8443/?slot=3&k=0123456789abcdef0123456789abcdef";
    const app::JoinCode code = encodeJoinCode(url);
    EXPECT_EQ(code.url, url);
    ASSERT_GE(code.size, 21);
    EXPECT_EQ((code.size - 17) % 4, 0) << "not 17 + 4 × version: " << code.size;
    ASSERT_EQ(code.modules.size(), static_cast<std::size_t>(code.size * code.size));
    expectFinderPattern(code, 0, 0);
    expectFinderPattern(code, 0, code.size - 7);
    expectFinderPattern(code, code.size - 7, 0);
    // The timing pattern between the top finders alternates, dark on even columns.
    for (int column = 8; column < code.size - 8; ++column)
        EXPECT_EQ(dark(code, 6, column), column % 2 == 0) << column;
    // The bottom-right corner holds data, not a fourth finder.
    EXPECT_NE(code.modules, encodeJoinCode(url + "x").modules);

    const app::JoinCode longer = encodeJoinCode(url + std::string(200, 'a'));
    EXPECT_GT(longer.size, code.size);
    EXPECT_EQ((longer.size - 17) % 4, 0);
    expectFinderPattern(longer, longer.size - 7, 0);
}

TEST(EncodeJoinCodeTest, RefusesTextsNoQrCodeHolds) {
    EXPECT_THROW(encodeJoinCode(std::string(5000, 'k')), std::runtime_error);
    EXPECT_THROW(encodeJoinCode(std::string("https://a\0b", 11)), std::runtime_error);
    // The largest byte-mode text at level M (version 40) still fits, one more does not.
    EXPECT_EQ(encodeJoinCode(std::string(2331, 'k')).size, 177);
    EXPECT_THROW(encodeJoinCode(std::string(2332, 'k')), std::runtime_error);
}

} // namespace
} // namespace cantorix::platform
