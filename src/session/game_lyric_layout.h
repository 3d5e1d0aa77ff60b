#pragma once
// Which song records the lyric lines of the game format show: `BuildLines` walks the records
// from `NextLineStart` to lay out the line being sung and the preview line, `BuildBars` gives the
// line being sung its bars, and `LyricsState` says how far the lyrics are. Decides only; the
// lyric view draws each build. Main thread only.

#include "songs/song_file.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cantorix::session {

// LyricsState values: running; the lyrics' last line is laid out; the last note has ended.
inline constexpr int kLyricsRunning = 0;
inline constexpr int kLyricsEndInView = 1;
inline constexpr int kLyricsFinished = 2;

// One build of the lyric lines: the records of each line laid out (0 the line being sung,
// 1 the preview), whether a break or the end closed it (a closed line is centred), and whether
// the bars of the line being sung were built anew. A build once the lyrics are over empties the
// lyric area instead.
struct GameLineBuild {
    bool cleared = false;
    std::vector<std::vector<std::size_t>> lines;
    std::vector<bool> closed;
    bool barsBuilt = false;
};

class GameLyricLayout {
public:
    static constexpr int kWalkLength = 51; // records one build looks at, at most

    explicit GameLyricLayout(const songs::SongFile& song) : m_song(song) {}

    // A new session: the next build starts at record 0 and ignores the lines shown before.
    void startSession();
    void resetLyricsState() { m_lyricsState = kLyricsRunning; }
    // The last sung note has ended: the lyric area empties from the next clock tick on.
    void finish() { m_lyricsState = kLyricsFinished; }

    GameLineBuild BuildLines();
    // True when the bars were built anew (none when the line's lengths add up to nothing).
    bool BuildBars();

    int lyricsState() const { return m_lyricsState; }
    std::int32_t nextLineStart() const { return m_nextLineStart; }
    // Index of the record just past the last note or line break: the "E" line, or the end of the
    // records read. The lyrics end there; trailing ignored lines are not part of them.
    std::size_t lyricsEnd() const { return m_lyricsEnd; }
    // Whether a line has been laid out, the syllables of the line being sung, and the bars shown.
    bool hasLine() const { return m_hasLine; }
    int currentSyllables() const { return static_cast<int>(m_current.size()); }
    int barCount() const { return m_barCount; }
    const std::vector<std::size_t>& currentRecords() const { return m_current; }
    const songs::SongFile& song() const { return m_song; }

private:
    const songs::SongFile& m_song;
    std::int32_t m_nextLineStart = 0;
    std::size_t m_lyricsEnd = 0;
    int m_lyricsState = kLyricsRunning;
    bool m_builtThisSession = false;
    bool m_hasLine = false;
    std::vector<std::size_t> m_current;
    int m_previewCount = 0;
    int m_barCount = 0;
};

} // namespace cantorix::session
