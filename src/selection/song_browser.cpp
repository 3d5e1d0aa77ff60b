#include "selection/song_browser.h"

#include "songs/song_playability.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace cantorix::selection {

namespace fs = std::filesystem;

void SongBrowser::assign(std::vector<songs::SongSummary> songs) {
    m_songs = std::move(songs);
    songs::sortSongs(m_songs, m_order, m_popularity);
    refresh();
}

void SongBrowser::apply(std::vector<songs::SongSummary> changed,
                        const std::vector<fs::path>& removed) {
    if (changed.empty() && removed.empty())
        return;
    std::unordered_set<std::string> gone;
    for (const fs::path& folder : removed)
        gone.insert(folder.string());
    std::unordered_map<std::string, std::size_t> fresh;
    for (std::size_t i = 0; i < changed.size(); ++i)
        fresh[changed[i].folder] = i;
    std::vector<songs::SongSummary> kept;
    kept.reserve(m_songs.size() + changed.size());
    for (songs::SongSummary& song : m_songs) {
        const std::string key = song.folder;
        if (!gone.count(key) && !fresh.count(key))
            kept.push_back(std::move(song));
    }
    // A folder reported twice in one batch keeps its latest summary.
    for (std::size_t i = 0; i < changed.size(); ++i)
        if (fresh[changed[i].folder] == i && !gone.count(changed[i].folder))
            kept.push_back(std::move(changed[i]));
    assign(std::move(kept));
}

void SongBrowser::setOrder(songs::SongOrder order) {
    if (order == m_order)
        return;
    m_order = order;
    songs::sortSongs(m_songs, m_order, m_popularity);
    refresh();
}

bool SongBrowser::popularityOrder() const {
    return m_order == songs::SongOrder::MostSung || m_order == songs::SongOrder::RecentlySung;
}

void SongBrowser::setPopularity(songs::SongPopularityLookup lookup) {
    m_popularity = std::move(lookup);
    if (popularityOrder())
        resort();
}

void SongBrowser::resort() {
    // The other orders never depend on the records: nothing can have moved.
    if (!popularityOrder())
        return;
    songs::sortSongs(m_songs, m_order, m_popularity);
    refresh();
}

void SongBrowser::setQuery(std::string query) {
    m_query = std::move(query);
    refresh();
}

void SongBrowser::setShowUnplayable(bool show) {
    if (show == m_showUnplayable)
        return;
    m_showUnplayable = show;
    refresh();
}

void SongBrowser::refresh() {
    m_shown = songs::searchSongs(m_songs, m_query);
    m_unplayable = static_cast<std::size_t>(
        std::count_if(m_songs.begin(), m_songs.end(),
                      [](const songs::SongSummary& song) { return !songs::playable(song); }));
    if (m_showUnplayable)
        return;
    std::erase_if(m_shown, [&](std::size_t index) {
        const songs::SongSummary& song = m_songs[index];
        return !songs::playable(song) && song.folder != m_keptFolder;
    });
}

std::vector<songs::SongProblem> SongBrowser::problems() const {
    std::vector<songs::SongProblem> found;
    for (const songs::SongSummary& song : m_songs)
        if (!songs::playable(song))
            found.push_back({song.folder, songs::problemLine(song)});
    std::sort(found.begin(), found.end(),
              [](const songs::SongProblem& a, const songs::SongProblem& b) {
                  return a.folder < b.folder;
              });
    return found;
}

std::optional<songs::SongSummary> SongBrowser::markUnplayable(const std::string& folder,
                                                              const std::string& reason) {
    const auto song = std::find_if(m_songs.begin(), m_songs.end(),
                                   [&](const songs::SongSummary& s) { return s.folder == folder; });
    if (song == m_songs.end())
        return std::nullopt;
    std::string line = songs::firstLine(reason);
    if (line.empty())
        line = "the audio file cannot be played";
    if (songs::playable(*song))
        ++m_unplayable;
    song->unplayable = std::move(line);
    // The stamp the verdict holds for: a new audio file under the same name is tried again.
    song->audioStamp = song->audio.empty() ? songs::FileStamp{} : songs::fileStamp(song->audio);
    // Still listed where it is: the player sees why the song under the cursor did not start.
    m_keptFolder = folder;
    return *song;
}

std::optional<songs::SongSummary> SongBrowser::markAudioLength(const std::string& folder,
                                                               std::int64_t lengthMs,
                                                               const songs::FileStamp& audioStamp) {
    const auto song = std::find_if(m_songs.begin(), m_songs.end(),
                                   [&](const songs::SongSummary& s) { return s.folder == folder; });
    if (song == m_songs.end() || lengthMs <= 0 || audioStamp.size < 0 ||
        (song->audioLengthMs == lengthMs && song->audioStamp == audioStamp))
        return std::nullopt;
    song->audioLengthMs = lengthMs;
    song->audioStamp = audioStamp;
    return *song;
}

void SongBrowser::setSelectedFolder(const std::string& folder) {
    if (folder != m_keptFolder)
        m_keptFolder.clear();
}

std::vector<std::string> SongBrowser::shownFolders() const {
    std::vector<std::string> folders;
    folders.reserve(m_shown.size());
    for (std::size_t index : m_shown)
        folders.push_back(m_songs[index].folder);
    return folders;
}

std::optional<std::size_t> SongBrowser::positionOf(const fs::path& folder) const {
    for (std::size_t position = 0; position < m_shown.size(); ++position)
        if (m_songs[m_shown[position]].folder == folder)
            return position;
    return std::nullopt;
}

std::string libraryStatusText(const SongBrowser& browser, bool scanning, std::size_t foundSoFar) {
    std::string text;
    if (!browser.query().empty())
        text = std::to_string(browser.shownCount()) + " of " +
               songs::songCountText(browser.total(), 0) + " match" +
               songs::unplayableCountText(browser.unplayableCount());
    else
        text = songs::songCountText(browser.total(), browser.unplayableCount());
    if (scanning)
        text += "  -  looking for songs: " + std::to_string(foundSoFar) + " found";
    return text;
}

int steppedPosition(int position, int delta, int count) {
    if (count <= 0)
        return -1;
    const long long moved = static_cast<long long>(position) + delta;
    return static_cast<int>(std::clamp<long long>(moved, 0, count - 1));
}

} // namespace cantorix::selection
