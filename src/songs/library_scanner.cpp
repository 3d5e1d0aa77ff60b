#include "songs/library_scanner.h"

#include "songs/song_discovery.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace cantorix::songs {

namespace fs = std::filesystem;

namespace {

// A folder stamp this close to the moment it was taken may yet change within the same tick of
// the file system's clock without its value changing; it is kept as unknown so that the next
// scan lists the folder again instead of trusting it.
constexpr std::int64_t kSettledNs = 2'000'000'000;

FileStamp settled(FileStamp stamp) {
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    if (now - stamp.mtimeNs < kSettledNs)
        stamp.mtimeNs = 0;
    return stamp;
}

bool isUnder(const fs::path& folder, const std::vector<fs::path>& roots) {
    const std::string& f = folder.native();
    return std::any_of(roots.begin(), roots.end(), [&](const fs::path& root) {
        const std::string& r = root.native();
        return f.size() > r.size() && f.compare(0, r.size(), r) == 0 &&
               (r.back() == '/' || f[r.size()] == '/');
    });
}

// Equal as far as the selection is concerned: the folder's stamp is the scan's business only.
bool sameForSelection(SongSummary a, const SongSummary& b) {
    a.folderStamp = b.folderStamp;
    return a == b;
}

// Folders whose songs must be read, shared out to a few summarising threads.
class SummaryPool {
public:
    using Deliver = std::function<void(SongSummary&&)>;

    SummaryPool(unsigned threads, Deliver deliver, const std::atomic<bool>& stop)
        : m_deliver(std::move(deliver)), m_stop(stop) {
        for (unsigned t = 0; t < threads; ++t)
            m_threads.emplace_back([this] { work(); });
    }
    ~SummaryPool() { finish(); }

    void push(fs::path folder, fs::path songFile) {
        {
            std::lock_guard lock(m_mutex);
            m_jobs.emplace_back(std::move(folder), std::move(songFile));
        }
        m_ready.notify_one();
    }

    // Waits until every job is done (or dropped when the scan is stopped).
    void finish() {
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
        }
        m_ready.notify_all();
        m_threads.clear();
    }

private:
    void work() {
        for (;;) {
            std::pair<fs::path, fs::path> job;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [&] { return m_closed || !m_jobs.empty(); });
                if (m_jobs.empty() || m_stop.load(std::memory_order_relaxed))
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            m_deliver(summariseSong(job.first, job.second));
        }
    }

    Deliver m_deliver;
    const std::atomic<bool>& m_stop;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::pair<fs::path, fs::path>> m_jobs;
    bool m_closed = false;
    std::vector<std::jthread> m_threads;
};

unsigned summarisingThreads() {
    return std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
}

} // namespace

struct LibraryScanner::State {
    State(std::vector<fs::path> r, LibraryCache& c) : roots(std::move(r)), cache(c) {}

    void run();
    void deliver(SongSummary&& summary);
    void publishEnd(ScanProblems problems, std::string error);

    std::vector<fs::path> roots;
    LibraryCache& cache;
    std::vector<SongSummary> cached;
    // Worker side: the cached songs by folder and whether this scan met them.
    std::unordered_map<std::string, std::size_t> cachedIndex;
    std::vector<char> seen;
    std::vector<SongSummary> toStore;

    std::mutex mutex; // guards pending and toStore
    ScanUpdate pending;
    std::atomic<std::size_t> found{0};
    std::atomic<bool> stop{false};
    std::jthread worker; // last: joined before the members it uses go
};

LibraryScanner::LibraryScanner(std::vector<fs::path> roots, LibraryCache& cache) {
    for (fs::path& root : roots)
        root = normalisedRoot(root);
    m_state = std::make_unique<State>(std::move(roots), cache);
    try {
        m_state->cached = cache.load();
    } catch (const std::exception&) {
        // The cache promises not to throw; if it does, the scan simply starts from nothing.
    }
    // Songs another run keeps in the same cache under other folders are not this library's.
    std::erase_if(m_state->cached, [&](const SongSummary& summary) {
        return !isUnder(summary.folder, m_state->roots);
    });
}

LibraryScanner::~LibraryScanner() {
    m_state->stop = true;
    if (m_state->worker.joinable())
        m_state->worker.join();
}

const std::vector<SongSummary>& LibraryScanner::cached() const {
    return m_state->cached;
}

void LibraryScanner::start() {
    if (!m_state->worker.joinable())
        m_state->worker = std::jthread([state = m_state.get()] { state->run(); });
}

ScanUpdate LibraryScanner::poll() {
    std::lock_guard lock(m_state->mutex);
    ScanUpdate update = std::move(m_state->pending);
    m_state->pending = {};
    update.songsFound = m_state->found.load();
    return update;
}

void LibraryScanner::State::deliver(SongSummary&& summary) {
    summary.folderStamp = settled(summary.folderStamp);
    const auto it = cachedIndex.find(summary.folder);
    const bool changed = it == cachedIndex.end() || !sameForSelection(summary, cached[it->second]);
    std::lock_guard lock(mutex);
    if (changed)
        pending.changed.push_back(summary);
    toStore.push_back(std::move(summary));
}

void LibraryScanner::State::publishEnd(ScanProblems problems, std::string error) {
    std::lock_guard lock(mutex);
    pending.finished = true;
    pending.problems = problems;
    pending.cacheError = std::move(error);
}

void LibraryScanner::State::run() {
    try {
        for (std::size_t i = 0; i < cached.size(); ++i)
            cachedIndex.emplace(cached[i].folder, i);
        seen.assign(cached.size(), 0);
        const auto known = [&](const fs::path& folder,
                               const FileStamp& stamp) -> std::optional<fs::path> {
            const auto it = cachedIndex.find(folder.native());
            if (it == cachedIndex.end() || stamp.mtimeNs == 0 ||
                cached[it->second].folderStamp != stamp)
                return std::nullopt;
            return cached[it->second].songFile;
        };
        ScanProblems problems;
        {
            SummaryPool pool(
                summarisingThreads(), [this](SongSummary&& s) { deliver(std::move(s)); }, stop);
            problems = walkSongFolders(
                roots, known,
                [&](const FoundSongFolder& f) {
                    ++found;
                    const auto it = cachedIndex.find(f.folder.native());
                    if (it != cachedIndex.end())
                        seen[it->second] = 1;
                    if (f.known) {
                        // The folder holds what it held; only its song file or cover can have been
                        // rewritten in place.
                        const SongSummary& old = cached[it->second];
                        if (fileStamp(old.songFile) == old.songStamp &&
                            (old.cover.empty() || fileStamp(old.cover) == old.coverStamp))
                            return;
                    }
                    pool.push(f.folder, f.songFile);
                },
                &stop);
        }
        // A stopped walk has not seen everything: keep what it read, remove nothing.
        std::vector<fs::path> removed;
        for (std::size_t i = 0; !stop && i < cached.size(); ++i)
            if (!seen[i])
                removed.push_back(cached[i].folder);
        std::string error;
        try {
            if (!toStore.empty() || !removed.empty())
                cache.store(toStore, removed);
        } catch (const std::exception& e) {
            error = e.what();
        }
        {
            std::lock_guard lock(mutex);
            pending.removed = std::move(removed);
        }
        publishEnd(problems, std::move(error));
    } catch (const std::exception& e) {
        publishEnd({}, std::string("The song library scan failed: ") + e.what());
    }
}

} // namespace cantorix::songs
