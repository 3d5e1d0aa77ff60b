#pragma once
// The small picture of a track's notes shown on its strip in the track list: 512 × 64 pixels,
// one 2 × 2 red mark per note, placed by the note's time across the track's length and by its
// pitch. Pure.

#include "editor/editor_tables.h"
#include "scene/image.h"

namespace cantorix::editor {

inline constexpr int kPictureWidth = 512;
inline constexpr int kPictureHeight = 64;
// The marks span this many pixels from the track's start to its last event.
inline constexpr int kPictureSpan = 420;

// The background is transparent (alpha 0) and the marks opaque red, so the strip under the
// picture shows through whatever colour a mark lands on. A track whose last event lies in its
// first time unit gets no marks.
scene::Image drawTrackPicture(const TrackTables& tables);

} // namespace cantorix::editor
