#pragma once
// The songs directory as the selection screen sees it: the ordered list of song folders with its
// selected index, the song file of a folder, and the covers decoded for every folder at start-up.
// Listing and decoding touch the file system; the cover decoding runs on worker threads and
// hands back pictures for the main thread to upload.

#include "scene/image.h"

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
// (names starting with ".") left out. A directory that cannot be listed gives an empty list.
std::vector<std::string> listSongEntries(const std::filesystem::path& songsDir);

// The song file of a folder: the last ".txt" file (any letter case) in the same order, or an
// empty string when there is none.
std::string findSongFileName(const std::filesystem::path& folder);

// The cover of each entry: "cover.jpg" in its folder when that file exists, else the fallback.
std::vector<std::filesystem::path> coverFiles(const std::filesystem::path& songsDir,
                                              const std::vector<std::string>& entries,
                                              const std::filesystem::path& fallback);

// Decodes every picture with up to `threads` workers, shrinking each to at most maxSide pixels a
// side. A picture that cannot be read decodes as an empty Image (the caller falls back).
std::vector<scene::Image> decodePictures(const std::vector<std::filesystem::path>& files,
                                         scene::ImageLoader& loader, unsigned threads);

} // namespace cantorix::songs
