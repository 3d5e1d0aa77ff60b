#include "songs/song_discovery.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unordered_set>

namespace cantorix::songs {

namespace fs = std::filesystem;

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The order in which the selection picks a folder's song file (the last ".txt" of it): names
// compared ignoring ASCII case, names equal but for case by their bytes.
bool songFileNameLess(const std::string& a, const std::string& b) {
    const bool lowerLess =
        std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                     [](char x, char y) { return lowerAscii(x) < lowerAscii(y); });
    const bool lowerGreater =
        std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
                                     [](char x, char y) { return lowerAscii(x) < lowerAscii(y); });
    return lowerLess != lowerGreater ? lowerLess : a < b;
}

bool hasTextExtension(const std::string& name) {
    if (name.size() < 5)
        return false; // ".txt" alone is a hidden file, and hidden entries are never read
    const std::string_view tail = std::string_view(name).substr(name.size() - 4);
    return tail[0] == '.' && lowerAscii(tail[1]) == 't' && lowerAscii(tail[2]) == 'x' &&
           lowerAscii(tail[3]) == 't';
}

FileStamp stampOf(const struct stat& info) {
    return {static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
            static_cast<std::int64_t>(info.st_size)};
}

// `folder` / `name` as text: the walk joins a name to a folder for every entry it follows, and a
// path object would split each result into components it never looks at.
std::string joined(const std::string& folder, const std::string& name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path = folder;
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += name;
    return path;
}

struct DeviceInode {
    dev_t device;
    ino_t inode;
    bool operator==(const DeviceInode&) const = default;
};

struct DeviceInodeHash {
    std::size_t operator()(const DeviceInode& d) const {
        return std::hash<std::uint64_t>()(static_cast<std::uint64_t>(d.inode) * 31 +
                                          static_cast<std::uint64_t>(d.device));
    }
};

struct SongFileEntry {
    std::string name;
    bool regular = false; // the listing said so; otherwise it may be a link to one
};

// A folder (or what may be one) met in a listing. It is looked at through links relative to the
// listed folder, a look-up of one name instead of a walk down the whole path, and only once the
// walk goes into it: a song folder's own sub-folders are never looked at.
struct SubfolderEntry {
    std::string name;
    bool looked = false;
    struct stat info {};
    int error = 0; // of the look-up; 0 when `info` holds

    void look(int folderFd) {
        if (looked)
            return;
        looked = true;
        if (::fstatat(folderFd, name.c_str(), &info, 0) != 0)
            error = errno;
    }
};

// What one folder holds that matters to the walk; the folder stays open until it is done with.
struct Listing {
    std::unique_ptr<DIR, int (*)(DIR*)> dir{nullptr, ::closedir};
    std::vector<SongFileEntry> songFiles;
    std::vector<SubfolderEntry> subfolders; // may still hold links that are not folders
};

bool stopped(const std::atomic<bool>* stop) {
    return stop && stop->load(std::memory_order_relaxed);
}

// A folder of a hundred thousand entries (or one on a slow network share) takes long to list, so
// the listing too ends when the walk is stopped; what it holds then no longer matters.
bool listFolder(const std::string& folder, Listing& listing, const std::atomic<bool>* stop) {
    constexpr unsigned kEntriesBetweenStopChecks = 256;
    listing.dir.reset(::opendir(folder.c_str()));
    if (!listing.dir)
        return false;
    const int folderFd = ::dirfd(listing.dir.get());
    unsigned entries = 0;
    for (;;) {
        errno = 0; // readdir's end and its failure are told apart by errno alone
        const dirent* entry = ::readdir(listing.dir.get());
        if (!entry)
            break;
        if (++entries % kEntriesBetweenStopChecks == 0 && stopped(stop))
            return true;
        std::string name = entry->d_name;
        // Hidden entries (".", "..", a collection's ".git", a desktop's ".Trash") are not songs.
        if (name.empty() || name.front() == '.')
            continue;
        const unsigned char type = entry->d_type;
        const bool maybeFolder = type == DT_DIR || type == DT_LNK || type == DT_UNKNOWN;
        const bool songFileName = hasTextExtension(name);
        if (!maybeFolder) {
            // Anything else named like a song text is one; the reader refuses what is not a
            // regular file, with a message, instead of the walk passing it over in silence.
            if (songFileName)
                listing.songFiles.push_back({std::move(name), type == DT_REG});
            continue;
        }
        SubfolderEntry subfolder{std::move(name)};
        if (songFileName && type != DT_DIR) {
            subfolder.look(folderFd);
            // A song text behind a link is one too, and so is a link that leads nowhere: a
            // song that will not open, as it was before the link broke.
            if (subfolder.error != 0 || !S_ISDIR(subfolder.info.st_mode)) {
                listing.songFiles.push_back({std::move(subfolder.name), false});
                continue;
            }
        }
        listing.subfolders.push_back(std::move(subfolder));
    }
    return errno == 0;
}

class Walk {
public:
    Walk(const KnownSongFile& known, const std::function<void(const FoundSongFolder&)>& found,
         const std::atomic<bool>* stop)
        : m_known(known), m_found(found), m_stop(stop) {}

    ScanProblems run(const std::vector<fs::path>& roots) {
        for (auto root = roots.rbegin(); root != roots.rend(); ++root) {
            Pending pending{normalisedRoot(*root).native(), {}, 0, true};
            if (::stat(pending.folder.c_str(), &pending.info) != 0)
                pending.error = errno;
            m_pending.push_back(std::move(pending));
        }
        while (!m_pending.empty() && !stopped(m_stop)) {
            const Pending next = std::move(m_pending.back());
            m_pending.pop_back();
            visit(next);
        }
        return m_problems;
    }

private:
    // A folder to visit, looked at when its parent was listed.
    struct Pending {
        std::string folder;
        struct stat info {};
        int error = 0;
        bool isRoot = false;
    };

    void visit(const Pending& pending) {
        const std::string& folder = pending.folder;
        const bool isRoot = pending.isRoot;
        if (pending.error != 0) {
            countFailure(pending.error);
            return;
        }
        const struct stat& info = pending.info;
        // A folder reached a second time (a link back up the tree, or two routes to one
        // folder) is walked once.
        if (!S_ISDIR(info.st_mode) || !m_visited.insert({info.st_dev, info.st_ino}).second)
            return;
        const FileStamp stamp = stampOf(info);
        if (m_known && !isRoot) {
            if (std::optional<std::string> songFile = m_known(folder, stamp)) {
                m_found({folder, std::move(*songFile), stamp, true, false});
                return;
            }
        }
        Listing listing;
        if (!listFolder(folder, listing, m_stop)) {
            countFailure(errno);
            return;
        }
        if (stopped(m_stop))
            return;
        // A root holds songs and is none itself: a stray text file in it must not hide them.
        if (!listing.songFiles.empty() && !isRoot) {
            const auto last = std::max_element(listing.songFiles.begin(), listing.songFiles.end(),
                                               [](const SongFileEntry& a, const SongFileEntry& b) {
                                                   return songFileNameLess(a.name, b.name);
                                               });
            m_found({folder, joined(folder, last->name), stamp, false, last->regular});
            return;
        }
        // Pushed in reverse name order so that the walk goes through a folder in name order.
        std::sort(listing.subfolders.rbegin(), listing.subfolders.rend(),
                  [](const SubfolderEntry& a, const SubfolderEntry& b) { return a.name < b.name; });
        for (SubfolderEntry& entry : listing.subfolders) {
            entry.look(::dirfd(listing.dir.get()));
            m_pending.push_back({joined(folder, entry.name), entry.info, entry.error, false});
        }
    }

    void countFailure(int error) {
        // Gone since its parent was listed (or a root that does not exist): nothing to read.
        if (error != ENOENT && error != ENOTDIR)
            ++m_problems.unreadableFolders;
    }

    const KnownSongFile& m_known;
    const std::function<void(const FoundSongFolder&)>& m_found;
    const std::atomic<bool>* m_stop;
    std::vector<Pending> m_pending;
    std::unordered_set<DeviceInode, DeviceInodeHash> m_visited;
    ScanProblems m_problems;
};

} // namespace

fs::path normalisedRoot(const fs::path& root) {
    std::error_code ec;
    fs::path absolute = fs::absolute(root, ec);
    if (ec)
        absolute = root;
    absolute = absolute.lexically_normal();
    if (!absolute.has_filename() && absolute.has_relative_path())
        absolute = absolute.parent_path();
    return absolute;
}

ScanProblems walkSongFolders(const std::vector<fs::path>& roots, const KnownSongFile& known,
                             const std::function<void(const FoundSongFolder&)>& found,
                             const std::atomic<bool>* stop) {
    return Walk(known, found, stop).run(roots);
}

ScanProblems discoverSongFolders(
    const std::vector<fs::path>& roots,
    const std::function<void(const fs::path& folder, const fs::path& songFile)>& found,
    const std::atomic<bool>* stop) {
    return walkSongFolders(
        roots, {}, [&](const FoundSongFolder& f) { found(f.folder, f.songFile); }, stop);
}

} // namespace cantorix::songs
