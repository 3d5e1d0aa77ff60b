#pragma once
// The demo songs the build places in the program's songs folder: original tunes and lyrics.
// Build-time tool; constant data.

#include "tune.h"

#include <vector>

namespace cantorix::assets::demo {

// Folder, file and artist names derive from the title: "Cantorix - <title>".
inline constexpr const char* kDemoArtist = "Cantorix";

std::vector<TuneSheet> demoTunes();

} // namespace cantorix::assets::demo
