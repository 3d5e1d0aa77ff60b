#include "thumbnail_cache.h"

#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

namespace cantorix::platform {

namespace {

// What remembering a cover that gave no thumbnail costs, besides its key.
constexpr std::size_t kRefusalBytes = 64;

constexpr int kWorkerNiceness = 10;

} // namespace

ThumbnailCache::ThumbnailCache(Maker maker, std::size_t workers, std::size_t byteBudget)
    : m_maker(std::move(maker)), m_budget(byteBudget) {
    for (std::size_t i = 0; i < std::max<std::size_t>(workers, 1); ++i)
        m_workers.emplace_back([this] { work(); });
}

ThumbnailCache::~ThumbnailCache() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void ThumbnailCache::fetch(const std::string& key, const std::string& cover, Answer answer) {
    std::unique_lock lock(m_mutex);
    if (const auto kept = m_kept.find(key); kept != m_kept.end()) {
        m_recent.splice(m_recent.begin(), m_recent, kept->second.recent);
        Thumbnail found = kept->second.thumbnail;
        lock.unlock();
        answer(std::move(found));
        return;
    }
    const auto [owed, first] = m_owed.try_emplace(key, Owed{cover, {}});
    owed->second.answers.push_back(std::move(answer));
    if (!first)
        return;
    m_queue.push_back(key);
    lock.unlock();
    m_wake.notify_one();
}

std::size_t ThumbnailCache::bytesKept() const {
    const std::lock_guard lock(m_mutex);
    return m_bytes;
}

void ThumbnailCache::work() {
    // Covers for the phones are background work: the singing screen's frames and the phones'
    // sound come first when the cores are busy. Linux gives each thread its own niceness; when
    // it cannot be lowered the thumbnails are made all the same.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWorkerNiceness);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_stopping)
            return;
        const std::string key = std::move(m_queue.front());
        m_queue.pop_front();
        const std::string cover = m_owed.at(key).cover;
        lock.unlock();
        Thumbnail made;
        try {
            made = std::make_shared<const std::string>(m_maker(cover));
        } catch (const std::exception&) {
            // No thumbnail: the page shows its placeholder; the reason is the cover's own.
        }
        lock.lock();
        keep(key, made);
        std::vector<Answer> answers = std::move(m_owed.at(key).answers);
        m_owed.erase(key);
        lock.unlock();
        for (Answer& answer : answers)
            answer(made);
        lock.lock();
    }
}

void ThumbnailCache::keep(const std::string& key, Thumbnail thumbnail) {
    const std::size_t bytes = key.size() + (thumbnail ? thumbnail->size() : kRefusalBytes);
    if (bytes > m_budget)
        return;
    m_recent.push_front(key);
    m_kept[key] = {std::move(thumbnail), bytes, m_recent.begin()};
    m_bytes += bytes;
    while (m_bytes > m_budget) {
        const auto oldest = m_kept.find(m_recent.back());
        m_bytes -= oldest->second.bytes;
        m_kept.erase(oldest);
        m_recent.pop_back();
    }
}

} // namespace cantorix::platform
