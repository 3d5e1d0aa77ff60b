#pragma once
// The band under the melody: sustained pads on the chords, a soft bass, a music-box arpeggio
// and light percussion in the tune's groove. Build-time tool; writes into one mix.

#include "synth_voices.h"
#include "tune.h"

namespace cantorix::assets::demo {

void addAccompaniment(Mix& mix, const Tune& tune);

} // namespace cantorix::assets::demo
