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

// Whether the song a cached summary describes is still as it was read: the folder holds what it
// held, but its song file, cover or audio can have been rewritten in place.
bool unchangedInPlace(const SongSummary& old) {
    return fileStamp(old.songFile) == old.songStamp &&
           (old.cover.empty() || fileStamp(old.cover) == old.coverStamp) &&
           (old.audio.empty() || fileStamp(old.audio) == old.audioStamp);
}

// Song folders the walk found, shared out to a few threads: those the cache knows are looked at
// for files rewritten in place, the others (and the rewritten) are read and summarised. They go
// in batches: a scan that finds every folder in its cache does little per folder, and a wake-up
// per folder cost as much again.
class SummaryPool {
public:
    using Deliver = std::function<void(SongSummary&&)>;

    struct Job {
        FoundSongFolder found;
        const SongSummary* known = nullptr; // the cache's summary of a folder not listed
    };
    using Batch = std::vector<Job>;
    static constexpr std::size_t kBatchSize = 64;

    SummaryPool(unsigned threads, Deliver deliver, const std::atomic<bool>& stop)
        : m_deliver(std::move(deliver)), m_stop(stop) {
        for (unsigned t = 0; t < threads; ++t)
            m_threads.emplace_back([this] { work(); });
    }
    ~SummaryPool() { finish(); }

    // Adds the job to the batch being filled, handing it out when it is full.
    void push(Job job) {
        m_filling.push_back(std::move(job));
        if (m_filling.size() >= kBatchSize)
            handOut();
    }

    // Waits until every job is done (or dropped when the scan is stopped).
    void finish() {
        handOut();
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
        }
        m_ready.notify_all();
        m_threads.clear();
    }

private:
    void handOut() {
        if (m_filling.empty())
            return;
        {
            std::lock_guard lock(m_mutex);
            m_batches.push_back(std::move(m_filling));
        }
        m_filling = {};
        m_filling.reserve(kBatchSize);
        m_ready.notify_one();
    }

    void work() {
        for (;;) {
            Batch batch;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [&] { return m_closed || !m_batches.empty(); });
                if (m_batches.empty())
                    return;
                batch = std::move(m_batches.front());
                m_batches.pop_front();
            }
            for (const Job& job : batch) {
                if (m_stop.load(std::memory_order_relaxed))
                    return;
                if (job.known && unchangedInPlace(*job.known))
                    continue;
                const FoundSongFolder& found = job.found;
                m_deliver(summariseSong(found.folder, found.songFile,
                                        {found.folderStamp, found.songFileRegular}));
            }
        }
    }

    Deliver m_deliver;
    const std::atomic<bool>& m_stop;
    Batch m_filling; // the walk's side: not shared
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Batch> m_batches;
    bool m_closed = false;
    std::vector<std::jthread> m_threads;
};

// What opening the audio taught, that it fails or how long it lasts, holds while the files it
// was learnt on are unchanged; the scan cannot learn it again without opening the audio. A
// verdict also depends on the song text (which names the audio); a length only on the audio.
void carryVerdict(SongSummary& fresh, const SongSummary& known) {
    const bool sameAudio = !known.audio.empty() && fresh.folder == known.folder &&
                           fresh.audio == known.audio && fresh.audioStamp == known.audioStamp;
    if (!sameAudio)
        return;
    if (fresh.error.empty() && fresh.unplayable.empty() && !known.unplayable.empty() &&
        fresh.songFile == known.songFile && fresh.songStamp == known.songStamp)
        fresh.unplayable = known.unplayable;
    if (fresh.audioLengthMs == 0)
        fresh.audioLengthMs = known.audioLengthMs;
}

unsigned summarisingThreads() {
    return std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
}

} // namespace

struct LibraryScanner::State {
    State(std::vector<fs::path> r, LibraryCache& c) : roots(std::move(r)), cache(c) {}

    void run();
    void deliver(SongSummary&& summary);
    void publishEnd(ScanProblems problems, std::string error);
    void storeScan(std::vector<fs::path>& removed, std::string& error);
    void storeRemembered();

    std::vector<fs::path> roots;
    LibraryCache& cache;
    std::vector<SongSummary> cached;
    // Worker side: the cached songs by folder and whether this scan met them.
    std::unordered_map<std::string, std::size_t> cachedIndex;
    std::vector<char> seen;
    std::vector<SongSummary> toStore;

    std::mutex mutex; // guards pending, toStore, remembered and toRemember
    ScanUpdate pending;
    // What opening the audio taught (a failure or a length), by folder, and what is not yet
    // stored.
    std::unordered_map<std::string, SongSummary> remembered;
    std::vector<SongSummary> toRemember;
    std::condition_variable wake; // toRemember filled or stop set
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
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stop = true;
    }
    m_state->wake.notify_all();
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
    // A summary the scan made before the audio failed to open must not make the song playable.
    for (SongSummary& song : update.changed)
        if (const auto it = m_state->remembered.find(song.folder); it != m_state->remembered.end())
            carryVerdict(song, it->second);
    update.songsFound = m_state->found.load();
    return update;
}

void LibraryScanner::rememberAudio(SongSummary song) {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->remembered[song.folder] = song;
        m_state->toRemember.push_back(std::move(song));
    }
    m_state->wake.notify_all();
}

void LibraryScanner::State::deliver(SongSummary&& summary) {
    summary.folderStamp = settled(summary.folderStamp);
    const auto it = cachedIndex.find(summary.folder);
    if (it != cachedIndex.end())
        carryVerdict(summary, cached[it->second]);
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
        const auto known = [&](const std::string& folder,
                               const FileStamp& stamp) -> std::optional<std::string> {
            const auto it = cachedIndex.find(folder);
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
                    const auto it = cachedIndex.find(f.folder);
                    if (it != cachedIndex.end())
                        seen[it->second] = 1;
                    pool.push({f, f.known ? &cached[it->second] : nullptr});
                },
                &stop);
        }
        // A stopped walk has not seen everything: keep what it read, remove nothing.
        std::vector<fs::path> removed;
        for (std::size_t i = 0; !stop && i < cached.size(); ++i)
            if (!seen[i])
                removed.push_back(cached[i].folder);
        std::string error;
        storeScan(removed, error);
        {
            std::lock_guard lock(mutex);
            pending.removed = std::move(removed);
        }
        publishEnd(problems, std::move(error));
    } catch (const std::exception& e) {
        publishEnd({}, std::string("The song library scan failed: ") + e.what());
    }
    storeRemembered();
}

void LibraryScanner::State::storeScan(std::vector<fs::path>& removed, std::string& error) {
    std::vector<SongSummary> verdicts;
    {
        std::lock_guard lock(mutex);
        verdicts.swap(toRemember);
    }
    std::unordered_map<std::string, std::size_t> stored;
    for (std::size_t i = 0; i < toStore.size(); ++i)
        stored[toStore[i].folder] = i;
    const auto gone = [&](const std::string& folder) {
        return std::any_of(removed.begin(), removed.end(),
                           [&](const fs::path& path) { return path.native() == folder; });
    };
    for (SongSummary& verdict : verdicts) {
        if (const auto it = stored.find(verdict.folder); it != stored.end())
            carryVerdict(toStore[it->second], verdict);
        else if (!gone(verdict.folder))
            toStore.push_back(std::move(verdict));
    }
    try {
        if (!toStore.empty() || !removed.empty())
            cache.store(toStore, removed);
    } catch (const std::exception& e) {
        error = e.what();
    }
}

// After the walk the worker stays to store the verdicts of audio that fails to open, so the
// window thread never waits on the cache; it leaves when the scanner goes, storing what is left.
void LibraryScanner::State::storeRemembered() {
    for (;;) {
        std::vector<SongSummary> verdicts;
        bool leaving = false;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [&] { return stop.load() || !toRemember.empty(); });
            verdicts.swap(toRemember);
            leaving = stop.load();
        }
        if (!verdicts.empty()) {
            try {
                cache.store(verdicts, {});
            } catch (const std::exception& e) {
                std::lock_guard lock(mutex);
                pending.cacheError = e.what();
            }
        }
        if (leaving)
            return;
    }
}

} // namespace cantorix::songs
