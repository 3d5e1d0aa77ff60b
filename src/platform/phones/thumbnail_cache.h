#pragma once
// The cover thumbnails the phone server hands out: made on a small pool of worker threads of its
// own, so the server's thread never decodes a picture, and kept, most recently used first, within
// a budget of bytes. A thumbnail asked for again while it is being made is made once; a cover that
// gives none is remembered as such. Any thread: an answer comes on a worker's thread, or at once
// on the asking thread when the thumbnail is kept already.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace cantorix::platform {

class ThumbnailCache {
public:
    // The thumbnail's bytes; null when the cover gives none.
    using Thumbnail = std::shared_ptr<const std::string>;
    // Makes the thumbnail of a cover file; throws when it cannot.
    using Maker = std::function<std::string(const std::string& cover)>;
    using Answer = std::function<void(Thumbnail)>;

    ThumbnailCache(Maker maker, std::size_t workers, std::size_t byteBudget);
    // Stops the workers once the thumbnails they are making are made; answers still owed are
    // never given.
    ~ThumbnailCache();
    ThumbnailCache(const ThumbnailCache&) = delete;
    ThumbnailCache& operator=(const ThumbnailCache&) = delete;

    // Answers once with the thumbnail of `cover`. `key` names the cover as it is now (its path
    // and stamp, say): a cover changed since is another key, made anew.
    void fetch(const std::string& key, const std::string& cover, Answer answer);

    // What the kept thumbnails weigh, bytes; never above the budget.
    std::size_t bytesKept() const;

private:
    struct Kept {
        Thumbnail thumbnail;
        std::size_t bytes = 0;
        std::list<std::string>::iterator recent;
    };
    struct Owed {
        std::string cover;
        std::vector<Answer> answers;
    };

    void work();
    // With the lock held: keeps what was made and forgets the least recently used beyond the
    // budget.
    void keep(const std::string& key, Thumbnail thumbnail);

    Maker m_maker;
    std::size_t m_budget;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::unordered_map<std::string, Kept> m_kept;
    std::list<std::string> m_recent; // keys, most recently used first
    std::size_t m_bytes = 0;
    std::unordered_map<std::string, Owed> m_owed;
    std::deque<std::string> m_queue;    // keys to make, in the order asked
    std::vector<std::thread> m_workers; // last: joined before the members they use go
};

} // namespace cantorix::platform
