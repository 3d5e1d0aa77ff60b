#pragma once
// The singing screen's bands: one as designed, or two stacked when a duet's two voices are both
// sung, and the lane scene and running scores each band's views draw into. Main thread only.

#include "game_scene.h"
#include "stage/lane_scene.h"
#include "stage/singer_scores.h"

#include <utility>
#include <vector>

namespace cantorix::app {

// Places the staffs, lead-in bars and score columns of bandCount bands (1 or 2; anything else
// counts as the nearest) and shows the second band only when two are sung.
void layOutBands(GameScene& game, int bandCount);

// Cuts the visible bands' strips out of the song's background picture when it is shown: the
// picture is drawn in slices, darkened where a strip lies as much as the strip would darken it,
// and the strips are hidden. It looks the same and spares a software renderer blending every
// pixel of the strips over the picture a second time. Call once the strips are placed and shown.
void cutStripsFromBackground(GameScene& game, int bandCount);

// A horizontal slice of a picture, in its pixels from the top, darkened or as it is.
struct BackgroundSlice {
    float top = 0, bottom = 0;
    bool darkened = false;
    friend bool operator==(const BackgroundSlice&, const BackgroundSlice&) = default;
};
// The slices of a picture `height` tall with the strips (top, bottom) cut out of it: the whole
// height covered once, in order, strips cut to the picture and overlapping ones joined.
std::vector<BackgroundSlice> backgroundSlices(float height,
                                              std::vector<std::pair<float, float>> strips);

// What band `band`'s lane view draws into, at that band's place among bandCount bands.
stage::LaneScene bandLaneScene(GameScene& game, int band, int bandCount);

// The running scores beside both bands' staffs.
stage::SingerScores bandSingerScores(GameScene& game);

} // namespace cantorix::app
