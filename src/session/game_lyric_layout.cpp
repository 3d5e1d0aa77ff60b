#include "game_lyric_layout.h"

#include <algorithm>

namespace cantorix::session {

void GameLyricLayout::startSession() {
    m_nextLineStart = 0;
    m_builtThisSession = false;
    const auto& records = m_song.songRecords();
    m_lyricsEnd = std::min(m_song.recordCount(), records.size());
    while (m_lyricsEnd > 0 && records[m_lyricsEnd - 1] == songs::SongRecord{})
        --m_lyricsEnd;
}

GameLineBuild GameLyricLayout::BuildLines() {
    GameLineBuild build;
    if (m_lyricsState == kLyricsFinished) {
        build.cleared = true;
        m_hasLine = false;
        m_current.clear();
        m_previewCount = 0;
        m_barCount = 0;
        return build;
    }
    // The old preview line becomes the current one.
    if (m_builtThisSession)
        m_nextLineStart = std::max(0, m_nextLineStart - m_previewCount - 1);
    m_builtThisSession = true;
    build.lines.emplace_back();
    build.closed.push_back(false);

    // The end of the lyrics closes the line being laid out as a break would, so the last two
    // lines are laid out, shown and sung like every other.
    const auto& records = m_song.songRecords();
    const std::size_t first = static_cast<std::size_t>(m_nextLineStart);
    const std::size_t last = std::min(first + kWalkLength - 1, m_lyricsEnd);
    for (std::size_t b = first; b <= last; ++b) {
        const bool atEnd = b == m_lyricsEnd;
        if (!atEnd && !records[b].isBreak) {
            build.lines.back().push_back(b);
            continue;
        }
        build.closed.back() = true;
        if (atEnd)
            m_lyricsState = kLyricsEndInView;
        if (build.lines.size() == 2 || atEnd) {
            m_nextLineStart = static_cast<std::int32_t>(b + 1);
            break;
        }
        build.lines.emplace_back();
        build.closed.push_back(false);
    }
    m_hasLine = true;
    m_current = build.lines.front();
    m_previewCount = build.lines.size() > 1 ? static_cast<int>(build.lines[1].size()) : 0;
    // A walk that ran out before closing its lines leaves the bars shown before.
    if (build.closed.back())
        build.barsBuilt = BuildBars();
    return build;
}

bool GameLyricLayout::BuildBars() {
    if (m_lyricsState == kLyricsFinished)
        return false;
    int sum = 0;
    for (std::size_t k : m_current)
        sum += m_song.songRecords()[k].length;
    // Bars share the lane in proportion to their lengths; with no length there is nothing to share.
    m_barCount = sum == 0 ? 0 : currentSyllables();
    return true;
}

} // namespace cantorix::session
