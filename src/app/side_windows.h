#pragma once
// The side windows the main window creates at start-up and keeps for the program's life: the
// lyric viewer and the video editor live with the editor (the export window with the export in
// audio/); the program entry names them here. Main thread only.

#include "editor/lyric_viewer.h"
#include "editor/video_editor.h"

namespace cantorix::app {

using LyricViewerWindow = editor::LyricViewerWindow;
using VideoEditorWindow = editor::VideoEditorWindow;

} // namespace cantorix::app
