#pragma once
// What the selection screen lists of a large library: every song known so far in the chosen
// order, the search typed over it and the songs it matches, and which song is selected, kept
// by its folder so that songs arriving from a scan or a narrower search never move the
// selection to another song. Plain values, no scene; main thread only.

#include "songs/song_catalog.h"
#include "songs/song_playability.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::selection {

class SongBrowser {
public:
    explicit SongBrowser(songs::SongOrder order = songs::SongOrder::ByArtist) : m_order(order) {}

    // Replaces everything known (the cache's summaries, say).
    void assign(std::vector<songs::SongSummary> songs);
    // New or changed songs replace those of the same folder; removed folders leave.
    void apply(std::vector<songs::SongSummary> changed,
               const std::vector<std::filesystem::path>& removed);
    void setOrder(songs::SongOrder order);
    songs::SongOrder order() const { return m_order; }
    // How often and how lately each song was sung, for the two popularity orders; kept, and the
    // list sorted anew when one of them is chosen.
    void setPopularity(songs::SongPopularityLookup lookup);
    // Sorts again after what the lookup answers changed (a session stored, the records read).
    // The listed songs stay the same, and so does the song kept while selected.
    void resort();
    // An empty query lists every song.
    void setQuery(std::string query);
    const std::string& query() const { return m_query; }

    std::size_t total() const { return m_songs.size(); }
    // Every song known, in the chosen order, whatever the query.
    const std::vector<songs::SongSummary>& songs() const { return m_songs; }
    // The songs listed now (all, or the matches), in order.
    std::size_t shownCount() const { return m_shown.size(); }
    const songs::SongSummary& shown(std::size_t position) const {
        return m_songs[m_shown.at(position)];
    }
    std::vector<std::string> shownFolders() const;
    // Where a folder is in the listed songs; nothing when it is not listed.
    std::optional<std::size_t> positionOf(const std::filesystem::path& folder) const;

    // Songs that cannot be played are listed only when asked; the count and the problems list
    // ignore the query.
    void setShowUnplayable(bool show);
    bool showUnplayable() const { return m_showUnplayable; }
    std::size_t unplayableCount() const { return m_unplayable; }
    // Every refused or unplayable song, sorted by folder.
    std::vector<songs::SongProblem> problems() const;
    // An audio file that failed to open when the preview or Start tried it: the song is marked
    // unplayable (with the audio's stamp as it is now) and stays listed where it is while it is
    // the selected song, even when unplayable songs are hidden; returns the updated summary (for
    // the cache), nothing when the folder is not known.
    std::optional<songs::SongSummary> markUnplayable(const std::string& folder,
                                                     const std::string& reason);
    // An audio file that opened for the preview or a session: its length (ms) is kept with the
    // audio's stamp as it was opened; returns the updated summary (for the cache), nothing when
    // the folder is not known or the length was known already.
    std::optional<songs::SongSummary> markAudioLength(const std::string& folder,
                                                      std::int64_t lengthMs,
                                                      const songs::FileStamp& audioStamp);
    // The song selected now: a song marked unplayable stays listed (when unplayable songs are
    // hidden) until another is selected and the list is rebuilt.
    void setSelectedFolder(const std::string& folder);

private:
    void refresh();
    bool popularityOrder() const;

    songs::SongOrder m_order;
    songs::SongPopularityLookup m_popularity;
    std::string m_query;
    bool m_showUnplayable = false;
    // The folder marked unplayable while selected: listed even when unplayable songs are hidden,
    // until the list is rebuilt after the selection moved on.
    std::string m_keptFolder;
    std::size_t m_unplayable = 0;            // songs in m_songs that cannot be played
    std::vector<songs::SongSummary> m_songs; // sorted by m_order
    std::vector<std::size_t> m_shown;        // indices into m_songs
};

// The line under the ring: the scan's progress while it runs, then the number of songs, and
// while searching the number of matches as well.
std::string libraryStatusText(const SongBrowser& browser, bool scanning, std::size_t foundSoFar);

// Where a list position lands after a step of `delta`: clamped to the ends, −1 for an empty list.
int steppedPosition(int position, int delta, int count);

} // namespace cantorix::selection
