#pragma once
// What the selection screen lists of a large library: every song known so far in the chosen
// order, the search typed over it and the songs it matches, and which song is selected, kept
// by its folder so that songs arriving from a scan or a narrower search never move the
// selection to another song. Plain values, no scene; main thread only.

#include "songs/song_catalog.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::songs {

class SongBrowser {
public:
    explicit SongBrowser(SongOrder order = SongOrder::ByArtist) : m_order(order) {}

    // Replaces everything known (the cache's summaries, say).
    void assign(std::vector<SongSummary> songs);
    // New or changed songs replace those of the same folder; removed folders leave.
    void apply(std::vector<SongSummary> changed, const std::vector<std::filesystem::path>& removed);
    void setOrder(SongOrder order);
    SongOrder order() const { return m_order; }
    // An empty query lists every song.
    void setQuery(std::string query);
    const std::string& query() const { return m_query; }

    std::size_t total() const { return m_songs.size(); }
    // The songs listed now (all, or the matches), in order.
    std::size_t shownCount() const { return m_shown.size(); }
    const SongSummary& shown(std::size_t position) const { return m_songs[m_shown.at(position)]; }
    std::vector<std::string> shownFolders() const;
    // Where a folder is in the listed songs; nothing when it is not listed.
    std::optional<std::size_t> positionOf(const std::filesystem::path& folder) const;

private:
    void refresh();

    SongOrder m_order;
    std::string m_query;
    std::vector<SongSummary> m_songs; // sorted by m_order
    std::vector<std::size_t> m_shown; // indices into m_songs
};

// The line under the ring: the scan's progress while it runs, then the number of songs, and
// while searching the number of matches as well.
std::string libraryStatusText(const SongBrowser& browser, bool scanning, std::size_t foundSoFar);

// Where a list position lands after a step of `delta`: clamped to the ends, −1 for an empty list.
int steppedPosition(int position, int delta, int count);

} // namespace cantorix::songs
