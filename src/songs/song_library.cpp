#include "song_library.h"

#include "song_errors.h"
#include "song_format.h"
#include "song_media.h"
#include "song_selection.h"
#include "standard_song.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

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

namespace {

// A standard song may name its cover or keep it under the names its collection uses; the game's
// own songs show "cover.jpg" and nothing else. A song file that cannot be read or is refused
// still gets the cover its folder holds: the selection reports the song's fault itself.
std::optional<fs::path> standardSongCover(const fs::path& folder) {
    const std::string songFile = findSongFileName(folder);
    if (songFile.empty())
        return std::nullopt;
    std::string bytes;
    try {
        bytes = readSongFileBytes(folder / songFile);
    } catch (const ESongFileError&) {
        return std::nullopt;
    }
    if (detectSongFormat(bytes) != SongFormat::Standard)
        return std::nullopt;
    std::string coverTag;
    try {
        coverTag = readStandardSong(bytes).cover;
    } catch (const EStandardSongError&) {
    }
    return findCoverFile(folder, coverTag);
}

} // namespace

std::vector<fs::path> coverFiles(const fs::path& songsDir, const std::vector<std::string>& entries,
                                 const fs::path& fallback) {
    std::vector<fs::path> files;
    files.reserve(entries.size());
    for (const std::string& entry : entries) {
        const fs::path folder = songsDir / entry;
        if (std::optional<fs::path> standard = standardSongCover(folder)) {
            files.push_back(standard->empty() ? fallback : *standard);
            continue;
        }
        fs::path cover = findGameSongCover(folder);
        files.push_back(cover.empty() ? fallback : std::move(cover));
    }
    return files;
}

std::vector<scene::Image> decodePictures(const std::vector<fs::path>& files,
                                         scene::ImageLoader& loader, unsigned threads) {
    std::vector<scene::Image> pictures(files.size());
    std::atomic<std::size_t> next{0};
    std::mutex failureMutex;
    std::exception_ptr failure;
    auto work = [&] {
        for (std::size_t i = next++; i < files.size(); i = next++) {
            if (files[i].empty())
                continue;
            try {
                pictures[i] = loader.load(files[i]);
            } catch (const scene::EImageError&) {
                pictures[i] = {};
            } catch (...) {
                // Escaping a worker would end the program; the caller reports it instead.
                std::lock_guard lock(failureMutex);
                if (!failure)
                    failure = std::current_exception();
                next = files.size();
            }
        }
    };
    const unsigned workers =
        std::max(1u, std::min<unsigned>(threads, static_cast<unsigned>(files.size())));
    {
        std::vector<std::jthread> pool;
        for (unsigned t = 1; t < workers; ++t)
            pool.emplace_back(work);
        work();
    }
    if (failure)
        std::rethrow_exception(failure);
    return pictures;
}

int registerCoverMaterials(scene::TGLMaterialLibrary& covers, const fs::path& songsDir,
                           const std::vector<std::string>& entries, const fs::path& fallback,
                           scene::ImageLoader& loader, unsigned threads) {
    // An empty path marks an entry without a cover of its own: nothing to decode for it.
    const std::vector<fs::path> own = coverFiles(songsDir, entries, {});
    std::vector<scene::Image> pictures = decodePictures(own, loader, threads);
    int fallbacks = 0;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        if (pictures[i].empty())
            ++fallbacks;
        else
            covers.addTextureMaterial(coverMaterialName(static_cast<int>(i)),
                                      std::move(pictures[i]), own[i]);
    }
    if (fallbacks > 0)
        covers.addTextureMaterial(std::string(kFallbackCoverMaterial), loader.load(fallback),
                                  fallback);
    return fallbacks;
}

} // namespace cantorix::songs
