#pragma once
// Draws the game format's lyric lines: the line being sung and the preview line of each build
// the lyric layout makes, and the bars of the line being sung. Draws into scene groups the main
// window owns; the layout decides what they show. Main thread only.

#include "lane_scene.h"
#include "session/game_lyric_layout.h"

#include <cstddef>
#include <cstdint>

namespace cantorix::stage {

class LyricLines {
public:
    LyricLines(LaneScene scene, session::GameLyricLayout& layout);

    // A new session: the next build starts at record 0 and ignores the lines shown before.
    void startSession() { m_layout.startSession(); }
    void resetLyricsState() { m_layout.resetLyricsState(); }
    // The "Text Color" option, used by the current line.
    void setTextColour(scene::TColor colour) { m_textColour = colour; }
    // Where the band lies; the next build takes it.
    void setPlace(const BandPlace& place) { m_scene.place = place; }

    // Lays the lines out anew and draws them.
    void BuildLines() { draw(m_layout.BuildLines()); }
    void BuildBars();
    // Draws a build the layout made.
    void draw(const session::GameLineBuild& build);
    // Empties the lyric area and the bars (what the clock does once the lyrics are finished).
    void clear();

    int lyricsState() const { return m_layout.lyricsState(); }
    std::int32_t nextLineStart() const { return m_layout.nextLineStart(); }
    std::size_t lyricsEnd() const { return m_layout.lyricsEnd(); }
    // The group of the line being sung, or nullptr before the first build.
    scene::TGLBaseSceneObject* currentLine() const;

private:
    // Adds the syllable text of a note record to line group `line`.
    void addSyllable(const songs::SongRecord& record, scene::TGLBaseSceneObject& group, int line,
                     float& x);
    void centre(scene::TGLBaseSceneObject& group) const;
    void drawBars();

    LaneScene m_scene;
    session::GameLyricLayout& m_layout;
    scene::TColor m_textColour = scene::clWhite;
};

} // namespace cantorix::stage
