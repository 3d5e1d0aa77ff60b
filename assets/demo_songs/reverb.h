#pragma once
// A small stereo room for the demo songs: parallel damped combs into series all-passes per
// channel, the right channel's delays a little longer for width. Build-time tool.

#include "synth_voices.h"

namespace cantorix::assets::demo {

// Adds the room's answer to the send bus, scaled by wet, to the dry bus.
void applyReverb(Mix& mix, double wet);

} // namespace cantorix::assets::demo
