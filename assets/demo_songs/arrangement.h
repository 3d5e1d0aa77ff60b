#pragma once
// Plays a tune: the sung melody as a warm lead voice over pads, bass, a music-box arpeggio and
// light percussion, mixed, reverberated, faded and levelled. Build-time tool; pure function of
// the tune, safe to run for several tunes on several threads.

#include "synth_voices.h"
#include "tune.h"

namespace cantorix::assets::demo {

// The finished song: 44100 Hz stereo, peaks at -1 dBFS.
StereoBuffer renderTune(const Tune& tune);

// Length of the rendered song: the music and a short tail for the last chord to ring out.
double songLengthMs(const Tune& tune);

} // namespace cantorix::assets::demo
