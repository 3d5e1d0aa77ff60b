#pragma once
// The singing screen's bands: one as designed, or two stacked when a duet's two voices are both
// sung, and the lane scene and running scores each band's views draw into. Main thread only.

#include "game_scene.h"
#include "stage/lane_scene.h"
#include "stage/singer_scores.h"

namespace cantorix::app {

// Places the staffs, lead-in bars and score columns of bandCount bands (1 or 2; anything else
// counts as the nearest) and shows the second band only when two are sung.
void layOutBands(GameScene& game, int bandCount);

// What band `band`'s lane view draws into, at that band's place among bandCount bands.
stage::LaneScene bandLaneScene(GameScene& game, int band, int bandCount);

// The running scores beside both bands' staffs.
stage::SingerScores bandSingerScores(GameScene& game);

} // namespace cantorix::app
