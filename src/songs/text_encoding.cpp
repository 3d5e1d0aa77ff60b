#include "songs/text_encoding.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace cantorix::songs {

namespace {

// Code points of the bytes 0x80 to 0x9F; the undefined ones keep their own value.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

Utf8Prefix utf8Prefix(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
    const std::uint8_t lead = byte(i);
    if (lead < 0x80)
        return {1, true};
    std::size_t length = 0;
    std::uint8_t low = 0x80;  // the second byte's bounds rule out overlong forms, surrogates and
    std::uint8_t high = 0xBF; // code points above U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {1, false};
    }
    std::size_t k = 1;
    for (; k < length && i + k < s.size(); ++k) {
        const std::uint8_t b = byte(i + k);
        if (k == 1 ? (b < low || b > high) : (b & 0xC0) != 0x80)
            break;
    }
    return {k, k == length};
}

bool isValidUtf8(std::string_view bytes) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080U;
    for (std::size_t i = 0; i < bytes.size();) {
        // Song texts are mostly ASCII, and eight ASCII bytes at once need no decoding: a library
        // scan checks every song file it reads.
        if (std::uint64_t word = 0; bytes.size() - i >= sizeof word) {
            std::memcpy(&word, bytes.data() + i, sizeof word);
            if ((word & kHighBits) == 0) {
                i += sizeof word;
                continue;
            }
        }
        const Utf8Prefix prefix = utf8Prefix(bytes, i);
        if (!prefix.whole)
            return false;
        i += prefix.length;
    }
    return true;
}

TextEncoding detectTextEncoding(std::string_view text) {
    return isValidUtf8(text) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

std::string windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<std::uint8_t>(c);
        appendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte);
    }
    return out;
}

std::string toDisplayText(std::string_view bytes, TextEncoding encoding) {
    // The check keeps the result valid UTF-8 even for bytes cut out of the middle of a sequence.
    if (encoding == TextEncoding::Utf8 && isValidUtf8(bytes))
        return std::string(bytes);
    return windows1252ToUtf8(bytes);
}

} // namespace cantorix::songs
