#pragma once
// The songs directory as the selection screen sees it: the ordered list of song folders with its
// selected index, and the song file of a folder. Listing touches the file system; the list is a
// plain value.

#include <filesystem>
#include <string>
#include <vector>

namespace cantorix::songs {

// An ordered list of strings with a selected index, -1 for none. Like a list control, it refuses
// an index that does not exist and keeps the previous one.
class TSongList {
public:
    void assign(std::vector<std::string> items);
    int count() const { return static_cast<int>(m_items.size()); }
    const std::string& item(int index) const { return m_items.at(static_cast<std::size_t>(index)); }
    const std::vector<std::string>& items() const { return m_items; }
    int itemIndex() const { return m_index; }
    void setItemIndex(int index);
    // The selected entry's text, empty when nothing is selected.
    std::string selected() const;

private:
    std::vector<std::string> m_items;
    int m_index = -1;
};

// Song folders and plain files in songsDir, sorted by name ignoring letter case, hidden entries
// (names starting with ".") left out. A missing directory gives an empty list; one that exists
// but cannot be read throws std::filesystem::filesystem_error naming it, so the player learns
// why no songs show instead of being told to add some.
std::vector<std::string> listSongEntries(const std::filesystem::path& songsDir);

// The song file of a folder: the last ".txt" file (any letter case) in the same order, or an
// empty string when there is none.
std::string findSongFileName(const std::filesystem::path& folder);

} // namespace cantorix::songs
