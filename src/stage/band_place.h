#pragma once
// Where a band of notes and lyrics lies on the singing screen: one band as designed, or two
// stacked (the first voice above, the second below) squeezed between the clock's pictures and the
// bottom edge. Pure geometry; the lane views and the layout of the singing screen's nodes share it.

namespace cantorix::stage {

struct BandPlace {
    // Added to every height of the designed staff: its lines, the note bars and the trail.
    float staffShift = 0;
    // Centre of the line being sung; the preview line stands lyricsSpacing below it.
    float lyricsY = 600;
    float lyricsSpacing = 30;
};

// The designed staff: twelve lines 15 pixels apart from this height down.
inline constexpr float kStaffTop = 350;
inline constexpr float kStaffLineSpacing = 15;
inline constexpr int kStaffLines = 12;
inline constexpr int kMaxBands = 2;

// Band `band` (0 or 1) of `bandCount`. One band, or a band out of range, is the designed place.
constexpr BandPlace bandPlace(int band, int bandCount) {
    if (bandCount < 2 || band < 0 || band >= kMaxBands)
        return {};
    // Two bands fit the viewer's 729 pixels only with the lyrics tucked under each staff.
    if (band == 0)
        return {-150, 390, 28};
    return {112, 652, 28};
}

// The running scores beside a band: one row per singer right of the lane, from the staff's top.
inline constexpr float kScoreColumnLeft = 648;
inline constexpr float kScoreColumnRight = 762;
inline constexpr float kScoreRowHeight = 20;

constexpr float scoreRowY(const BandPlace& place, int row) {
    return kStaffTop + place.staffShift + kScoreRowHeight / 2 + kScoreRowHeight * row;
}

} // namespace cantorix::stage
