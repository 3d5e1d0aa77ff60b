#pragma once
// The songs directory as the selection screen sees it: the ordered list of song folders with its
// selected index, the song file of a folder, and the covers decoded for every folder at start-up.
// Listing and decoding touch the file system; the cover decoding runs on worker threads and
// hands back pictures for the main thread to upload.

#include "scene/image.h"
#include "scene/material.h"

#include <filesystem>
#include <string>
#include <string_view>
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

// The cover of each entry: for a song in the game's own format (and any folder without a
// readable song file) "cover.jpg" when that file exists; for a standard-format song the picture
// findCoverFile() picks; else the fallback.
std::vector<std::filesystem::path> coverFiles(const std::filesystem::path& songsDir,
                                              const std::vector<std::string>& entries,
                                              const std::filesystem::path& fallback);

// Decodes every picture with up to `threads` workers. A picture that cannot be read, and an
// empty path, give an empty Image (the caller falls back). Any other failure of a worker (out of
// memory, say) is thrown again here once every worker has stopped.
std::vector<scene::Image> decodePictures(const std::vector<std::filesystem::path>& files,
                                         scene::ImageLoader& loader, unsigned threads);

// The cover material of a list entry: "c" followed by its index.
inline std::string coverMaterialName(int index) {
    return "c" + std::to_string(index);
}
// The one material that every entry without a readable cover of its own shows.
inline constexpr std::string_view kFallbackCoverMaterial = "c-fallback";

// Decodes the entries' covers with `loader` and registers them in `covers`: coverMaterialName(i)
// for each entry whose own "cover.jpg" decodes, and kFallbackCoverMaterial, decoded once from
// `fallback`, shared by all the others, so a library of cover-less folders holds one picture
// and one texture. Throws scene::EImageError naming the fallback when an entry needs it and it
// cannot be read. Returns how many entries show the fallback.
int registerCoverMaterials(scene::TGLMaterialLibrary& covers, const std::filesystem::path& songsDir,
                           const std::vector<std::string>& entries,
                           const std::filesystem::path& fallback, scene::ImageLoader& loader,
                           unsigned threads);

} // namespace cantorix::songs
