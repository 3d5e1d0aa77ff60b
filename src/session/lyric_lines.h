#pragma once
// `BuildLines` and `BuildBars`: lays out the current and preview lyric lines from the song
// records and the bars of the current line, and keeps `NextLineStart` and `LyricsState`.
// Draws into scene groups the main window owns; main thread only.

#include "lane_scene.h"

#include <cstddef>
#include <cstdint>

namespace cantorix::session {

class LyricLines {
public:
    static constexpr int kWalkLength = 51; // records one build looks at, at most

    LyricLines(LaneScene scene, const songs::SongFile& song);

    // A new session: the next build starts at record 0 and ignores the lines shown before.
    void startSession();
    void resetLyricsState() { m_lyricsState = kLyricsRunning; }
    // The last sung note has ended: the lyric area empties from the next clock tick on.
    void finish() { m_lyricsState = kLyricsFinished; }
    // The "Text Color" option, used by the current line.
    void setTextColour(scene::TColor colour) { m_textColour = colour; }

    void BuildLines();
    void BuildBars();
    // Empties the lyric area and the bars (what the clock does once the lyrics are finished).
    void clear();

    int lyricsState() const { return m_lyricsState; }
    std::int32_t nextLineStart() const { return m_nextLineStart; }
    // Index of the record just past the last note or line break: the "E" line, or the end of the
    // records read. The lyrics end there; trailing ignored lines are not part of them.
    std::size_t lyricsEnd() const { return m_lyricsEnd; }
    // The group of the line being sung, or nullptr before the first build.
    scene::TGLBaseSceneObject* currentLine() const;

private:
    // Adds the syllable text of a note record to line group `line`.
    void addSyllable(const songs::SongRecord& record, scene::TGLBaseSceneObject& group, int line,
                     float& x);
    void centre(scene::TGLBaseSceneObject& group) const;

    LaneScene m_scene;
    const songs::SongFile& m_song;
    scene::TColor m_textColour = scene::clWhite;
    std::int32_t m_nextLineStart = 0;
    std::size_t m_lyricsEnd = 0;
    int m_lyricsState = kLyricsRunning;
    bool m_builtThisSession = false;
};

} // namespace cantorix::session
