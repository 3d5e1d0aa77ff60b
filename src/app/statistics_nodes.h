#pragma once
// The statistics screen's controls as the scene holds them (game_scene_statistics.cpp builds
// them), and its button on the selection screen. Main thread only.

#include "scene/gui/gui_control.h"
#include "scene/scene_nodes.h"

namespace cantorix::app {

struct StatisticsNodes {
    scene::TGLDummyCube* group = nullptr;
    scene::TGLBaseControl* guiRoot = nullptr;
    scene::TGLButton* backButton = nullptr;
    // On the selection screen: the way here.
    scene::TGLButton* selectionButton = nullptr;
};

} // namespace cantorix::app
