#pragma once
// The song selection's turning cover: an arrow click steps the selected song and starts a turn,
// and each cadencer step advances the turn and shows the selected song's cover. Main thread only.

#include "scene/material.h"
#include "scene/scene_nodes.h"
#include "song_library.h"

#include <functional>

namespace cantorix::songs {

class CoverRing {
public:
    // Degrees per second of the turn, and the angle at which a turn is over.
    static constexpr double kTurnSpeed = 660.0;
    static constexpr float kTurnEnd = 160.0f;

    // selectSong runs after every arrow step (it reads the song file and starts the preview);
    // what it throws reaches the caller, with the selection and the turn already changed.
    CoverRing(TSongList& songs, scene::TGLCube& cover, scene::TGLMaterialLibrary& covers,
              std::function<void()> selectSong);

    void LeftarrowButtonClick();
    void RightArrowButtonClick();
    // The cover's progress event.
    void CoverProgress(double deltaTime);
    bool coverTurning() const { return m_turning; }

    // The name of the cover material of a list entry: "c" followed by its index.
    static std::string coverMaterialName(int index) { return songs::coverMaterialName(index); }

private:
    void arrowClick(int direction);
    // The entry's own cover, or the shared fallback when it has none.
    std::string materialOf(int index) const;

    TSongList& m_songs;
    scene::TGLCube& m_cover;
    scene::TGLMaterialLibrary& m_covers;
    std::function<void()> m_selectSong;
    bool m_turning = false;
};

} // namespace cantorix::songs
