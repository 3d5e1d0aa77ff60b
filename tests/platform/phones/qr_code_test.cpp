// Join codes as libqrencode draws them: a QR code's size from its version, the three finder
// patterns in their corners, growing with the text, and a refusal of a text too long.

#include "platform/phones/qr_code.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace cantorix::platform {
namespace {

// A dark 7 × 7 ring, a light ring inside it and a dark 3 × 3 centre at (top, left).
void expectFinderPattern(const app::JoinCode& code, int top, int left) {
    for (int row = 0; row < 7; ++row) {
        for (int column = 0; column < 7; ++column) {
            const bool ring = row == 0 || row == 6 || column == 0 || column == 6;
            const bool centre = row >= 2 && row <= 4 && column >= 2 && column <= 4;
            const auto index = static_cast<std::size_t>((top + row) * code.size + left + column);
            EXPECT_EQ(code.modules[index], ring || centre)
                << top << "," << left << ": " << row << "," << column;
        }
    }
}

TEST(EncodeJoinCodeTest, DrawsAQrCodeOfTheUrlThatGrowsWithIt) {
    const std::string url = "https://192.168.1.20:8443/?slot=3&k=0123456789abcdef0123456789abcdef";
    std::string text = url;
    int previousSize = 0;
    for (int growth = 0; growth < 3; ++growth, text += std::string(150, 'a')) {
        const app::JoinCode code = encodeJoinCode(text);
        EXPECT_EQ(code.url, text);
        EXPECT_GT(code.size, previousSize);
        EXPECT_EQ((code.size - 17) % 4, 0) << "not 17 + 4 × version: " << code.size;
        ASSERT_EQ(code.modules.size(), static_cast<std::size_t>(code.size * code.size));
        expectFinderPattern(code, 0, 0);
        expectFinderPattern(code, 0, code.size - 7);
        expectFinderPattern(code, code.size - 7, 0);
        previousSize = code.size;
    }
}

TEST(EncodeJoinCodeTest, RefusesTextsNoQrCodeHolds) {
    EXPECT_THROW(encodeJoinCode(std::string(5000, 'k')), std::runtime_error);
    EXPECT_THROW(encodeJoinCode(std::string("https://a\0b", 11)), std::runtime_error);
    // The most bytes level M holds (version 40) still fit; one more does not.
    EXPECT_EQ(encodeJoinCode(std::string(2331, 'k')).size, 177);
    EXPECT_THROW(encodeJoinCode(std::string(2332, 'k')), std::runtime_error);
}

} // namespace
} // namespace cantorix::platform
