#pragma once
// The running scores beside each band when several sing: one row per singer of the band, their
// name and points in their colour, or a notice in their place: "microphone lost" once their input
// is gone, "phone gone" while their phone is away and "back" when it returns. Writes into
// text nodes the main window owns; main thread only.

#include "band_place.h"
#include "scene/bitmap_font.h"
#include "scene/colour.h"
#include "scene/material.h"
#include "scene/scene_nodes.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace cantorix::stage {

inline constexpr const char* kMicrophoneLost = "microphone lost";
inline constexpr const char* kPhoneGone = "phone gone";
inline constexpr const char* kPhoneBack = "back";
inline constexpr const char* kNotScored = "not scored: no singer";
inline constexpr int kScoreRowsPerBand = 8;

struct SingerScoreLine {
    std::string name;
    scene::TColor colour = scene::clWhite;
    std::int32_t points = 0;
    bool lost = false;
    // Shown under the name in place of the points when not empty (a lost microphone's notice
    // comes first).
    std::string notice = {};
    // The word the last line earned ("Great"), shown in place of the name for a moment.
    std::string rating = {};
    // The player's picture, shown square before the name; none without a library.
    scene::MaterialRef picture = {};

    const std::string& shownNotice() const;
};

class SingerScores {
public:
    // columns[b]: band b's column, whose position is its top-left corner and whose children are
    // the rows' texts, a name then its points, kScoreRowsPerBand of each, then as many sprites
    // for the players' pictures; names are cut to the room their own font leaves them.
    explicit SingerScores(std::array<scene::TGLBaseSceneObject*, kMaxBands> columns);

    // Shows one row per line beside band `band` (rows past the column's last are left out); a
    // lost singer's "microphone lost" takes the row under their name.
    void show(int band, const std::vector<SingerScoreLine>& lines);
    // Hides every row of every band (one singer: the designed point counter is all there is).
    void clear();
    // Says beside the first band that the song is not scored: nobody is bound to sing it.
    void showNotScored();

    // The name cut to fit `width` pixels, an ellipsis marking the cut.
    static std::string fitted(const std::string& name, scene::TGLBitmapFont& font, int width);

private:
    static void hideFrom(scene::TGLBaseSceneObject& column, int row);

    std::array<scene::TGLBaseSceneObject*, kMaxBands> m_columns;
};

} // namespace cantorix::stage
