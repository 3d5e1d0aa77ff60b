#pragma once
// The party's screens as the scene holds them (game_scene_queue.cpp builds them): the Queue
// screen (the queue or the guests as rows, the host's buttons, the party's two codes, Back) and
// the Next up screen (the song's cover and names, its singers in their colours, who could not be
// seated and how they join, the countdown). Main thread only.

#include "scene/gui/gui_control.h"
#include "scene/scene_nodes.h"

#include <array>
#include <cstddef>

namespace cantorix::app {

inline constexpr std::size_t kQueueRows = 12;

struct QueueRowNodes {
    scene::TGLLabel* place = nullptr;   // 1, 2, 3 …
    scene::TGLLabel* song = nullptr;    // "Title – Artist", or a guest's name
    scene::TGLLabel* singers = nullptr; // who sings it, or a guest's songs waiting
    scene::TGLLabel* starts = nullptr;  // "in 4 min", or the player a guest is linked to
};

struct QueueNodes {
    scene::TGLDummyCube* group = nullptr;
    scene::TGLBaseControl* guiRoot = nullptr;
    scene::TGLLabel* title = nullptr;
    scene::TGLLabel* statusLine = nullptr; // songs, rotation, songs a guest may hold, paused
    scene::TGLLabel* emptyLine = nullptr;
    std::array<QueueRowNodes, kQueueRows> rows;
    // The queue's page: the selected entry's buttons, then the queue's.
    scene::TGLButton *playNextButton = nullptr, *moveUpButton = nullptr, *moveDownButton = nullptr,
                     *removeButton = nullptr;
    scene::TGLButton *pauseButton = nullptr, *clearButton = nullptr, *rotationButton = nullptr,
                     *perGuestButton = nullptr;
    scene::TGLButton *takeFromQueueButton = nullptr, *guestsButton = nullptr,
                     *jukeboxButton = nullptr, *sungRecentlyButton = nullptr;
    // How long the score page stays and Next up counts down, each stepped through presets.
    scene::TGLButton *scorePageButton = nullptr, *nextUpButton = nullptr;
    // The guests' page: the selected guest's buttons.
    scene::TGLButton *renameButton = nullptr, *linkButton = nullptr, *removeGuestButton = nullptr;
    scene::TGLButton* backButton = nullptr;
    // The guests' code (the song book) and the host's own, each with its caption.
    scene::TGLHUDSprite *guestCode = nullptr, *hostCode = nullptr;
    scene::TGLHUDText *guestCaption = nullptr, *hostCaption = nullptr;
    // On the selection screen: the ways here and to the jukebox.
    scene::TGLButton *selectionButton = nullptr, *selectionJukeboxButton = nullptr;
};

inline constexpr std::size_t kNextUpSingers = 8;

struct NextUpNodes {
    scene::TGLDummyCube* group = nullptr;
    scene::TGLBaseControl* guiRoot = nullptr;
    scene::TGLHUDSprite* cover = nullptr;
    scene::TGLLabel *heading = nullptr, *artist = nullptr, *title = nullptr;
    std::array<scene::TGLLabel*, kNextUpSingers> singers{};
    // Who could not be seated, and how they join.
    scene::TGLLabel *unseated = nullptr, *howToJoin = nullptr;
    scene::TGLLabel* countdown = nullptr;
    scene::TGLButton *startButton = nullptr, *skipButton = nullptr, *stopButton = nullptr;
};

} // namespace cantorix::app
