#include "songs/song_library.h"

#include <algorithm>
#include <cctype>

namespace cantorix::songs {

namespace fs = std::filesystem;

void TSongList::assign(std::vector<std::string> items) {
    m_items = std::move(items);
    m_index = -1;
}

void TSongList::setItemIndex(int index) {
    if (index >= -1 && index < count())
        m_index = index;
}

std::string TSongList::selected() const {
    return m_index >= 0 ? m_items[static_cast<std::size_t>(m_index)] : "";
}

namespace {

std::string lowered(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// Name order ignoring case; names equal but for case keep a fixed order between them.
bool nameLess(const std::string& a, const std::string& b) {
    const std::string la = lowered(a), lb = lowered(b);
    return la != lb ? la < lb : a < b;
}

enum class Unreadable { Empty, Throw };

std::vector<std::string> sortedNames(const fs::path& dir, bool (*keep)(const fs::directory_entry&),
                                     Unreadable unreadable = Unreadable::Empty) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!name.empty() && name.front() != '.' && keep(*it))
            names.push_back(std::move(name));
    }
    // A folder that is not there is simply empty; one that is there but cannot be read is not.
    if (ec && unreadable == Unreadable::Throw && ec != std::errc::no_such_file_or_directory)
        throw fs::filesystem_error("cannot list the folder", dir, ec);
    std::sort(names.begin(), names.end(), nameLess);
    return names;
}

} // namespace

std::vector<std::string> listSongEntries(const fs::path& songsDir) {
    return sortedNames(
        songsDir, [](const fs::directory_entry&) { return true; }, Unreadable::Throw);
}

std::string findSongFileName(const fs::path& folder) {
    const auto files = sortedNames(folder, [](const fs::directory_entry& e) {
        std::error_code ec;
        return lowered(e.path().extension().string()) == ".txt" && !e.is_directory(ec);
    });
    return files.empty() ? std::string() : files.back();
}

} // namespace cantorix::songs
