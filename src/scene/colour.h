#pragma once
// Colours as the game stores them (0x00BBGGRR values) and as the renderer uses them (RGBA floats).

#include <cstdint>

namespace cantorix::scene {

using TColor = std::uint32_t; // 0x00BBGGRR

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clBlue = 0xFF0000;

struct ColorF {
    float r = 1, g = 1, b = 1, a = 1;
    friend bool operator==(const ColorF&, const ColorF&) = default;
};

constexpr ColorF toColorF(TColor c, float alpha = 1.0f) {
    return ColorF{static_cast<float>(c & 0xFF) / 255.0f,
                  static_cast<float>((c >> 8) & 0xFF) / 255.0f,
                  static_cast<float>((c >> 16) & 0xFF) / 255.0f, alpha};
}

} // namespace cantorix::scene
