#pragma once
// The song selection's turning cover: an arrow click or a jump changes the selected song and
// starts one turn, and each cadencer step advances the turn and shows the selected song's
// cover. Main thread only.

#include "scene/material.h"
#include "scene/scene_nodes.h"
#include "songs/song_library.h"

#include <functional>
#include <string>

namespace cantorix::selection {

class CoverRing {
public:
    // Degrees per second of the turn, and the angle at which a turn is over.
    static constexpr double kTurnSpeed = 660.0;
    static constexpr float kTurnEnd = 160.0f;

    // selectSong runs after every step or jump (it reads the song file and starts the preview);
    // what it throws reaches the caller, with the selection and the turn already changed.
    // materialOf names the material of `covers` to show for a list entry.
    CoverRing(songs::TSongList& songs, scene::TGLCube& cover, scene::TGLMaterialLibrary& covers,
              std::function<void()> selectSong, std::function<std::string(int index)> materialOf);

    void turnLeft();
    void turnRight();
    // Selects any entry with one turn in the direction given (−1 or +1), however far it is.
    void jumpTo(int index, int direction);
    // The cover's progress event.
    void stepCover(double deltaTime);
    bool coverTurning() const { return m_turning; }
    // Shows the selected entry's cover again (its picture has just been decoded, say).
    void refreshCover();

private:
    void arrowClick(int direction);

    songs::TSongList& m_songs;
    scene::TGLCube& m_cover;
    scene::TGLMaterialLibrary& m_covers;
    std::function<void()> m_selectSong;
    std::function<std::string(int)> m_materialOf;
    bool m_turning = false;
};

} // namespace cantorix::selection
