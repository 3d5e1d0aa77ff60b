#pragma once
// The statistics screen's controls as the scene holds them (game_scene_statistics.cpp builds
// them): the page's title and arrows, a player's figures, three lists of rows, Back, and its
// button on the selection screen. Main thread only.

#include "scene/gui/gui_control.h"
#include "scene/scene_nodes.h"

#include <array>
#include <cstddef>

namespace cantorix::app {

// Rows a list shows at most.
inline constexpr std::size_t kStatisticsListRows = 5;

struct StatisticsRowNodes {
    scene::TGLLabel* figure = nullptr; // points or times sung, right-aligned
    scene::TGLLabel* text = nullptr;   // a song or a singer
    scene::TGLLabel* note = nullptr;   // share and date, or songs sung
};

struct StatisticsListNodes {
    scene::TGLLabel* heading = nullptr;
    std::array<StatisticsRowNodes, kStatisticsListRows> rows;
};

struct StatisticsNodes {
    scene::TGLDummyCube* group = nullptr;
    scene::TGLBaseControl* guiRoot = nullptr;
    // "Statistics" on the whole game's page, else the player's name in their colour.
    scene::TGLLabel* title = nullptr;
    // Which page of how many, between the arrows that step through them.
    scene::TGLLabel* pageLine = nullptr;
    scene::TGLButton *previousButton = nullptr, *nextButton = nullptr;
    // A player's sessions, songs, time sung and average share.
    std::array<scene::TGLLabel*, 4> summary{};
    // "Nothing sung yet." in place of everything else.
    scene::TGLLabel* emptyLine = nullptr;
    std::array<StatisticsListNodes, 3> lists;
    scene::TGLButton* backButton = nullptr;
    // On the selection screen: the way here.
    scene::TGLButton* selectionButton = nullptr;
};

} // namespace cantorix::app
