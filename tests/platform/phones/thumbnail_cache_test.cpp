// The thumbnails' cache: each cover made once however often it is asked for meanwhile, kept
// within its budget of bytes (least recently used forgotten first), a cover that gives none
// remembered as such, and answers still owed when it goes never given.

#include "platform/phones/thumbnail_cache.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace cantorix::platform {
namespace {

using namespace std::chrono_literals;

// A maker that counts what it made and, while closed, holds every worker until opened.
class GatedMaker {
public:
    std::string make(const std::string& cover) {
        std::unique_lock lock(m_mutex);
        ++m_made[cover];
        m_opened.wait(lock, [this] { return m_open; });
        if (cover.starts_with("bad"))
            throw std::runtime_error("not a picture");
        return cover + std::string(96, 'x');
    }
    void close() {
        const std::lock_guard lock(m_mutex);
        m_open = false;
    }
    void open() {
        {
            const std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_opened.notify_all();
    }
    int made(const std::string& cover) {
        const std::lock_guard lock(m_mutex);
        return m_made[cover];
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_open = true;
    std::map<std::string, int> m_made;
};

// Waits (bounded) for the answer of one fetch: the bytes, "none" for no thumbnail.
std::string fetched(ThumbnailCache& cache, const std::string& cover) {
    auto promise = std::make_shared<std::promise<std::string>>();
    std::future<std::string> answer = promise->get_future();
    cache.fetch(cover + "@1", cover, [promise](ThumbnailCache::Thumbnail thumbnail) {
        promise->set_value(thumbnail ? *thumbnail : "none");
    });
    return answer.wait_for(10s) == std::future_status::ready ? answer.get() : "no answer";
}

ThumbnailCache::Maker makerOf(GatedMaker& maker) {
    return [&maker](const std::string& cover) { return maker.make(cover); };
}

TEST(ThumbnailCacheTest, ACoverAskedForWhileItIsMadeIsMadeOnceForEveryAsker) {
    GatedMaker maker;
    ThumbnailCache cache(makerOf(maker), 2, 1 << 20);
    maker.close();
    std::atomic<int> answered{0};
    std::atomic<int> right{0};
    for (int i = 0; i < 20; ++i)
        cache.fetch("a.jpg@1", "a.jpg", [&](ThumbnailCache::Thumbnail thumbnail) {
            right += thumbnail && thumbnail->starts_with("a.jpg");
            ++answered;
        });
    maker.open();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (answered < 20 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(answered, 20);
    EXPECT_EQ(right, 20);
    EXPECT_EQ(maker.made("a.jpg"), 1);
    EXPECT_EQ(fetched(cache, "a.jpg").substr(0, 5), "a.jpg");
    EXPECT_EQ(maker.made("a.jpg"), 1) << "kept, not made again";
}

TEST(ThumbnailCacheTest, KeepsWithinItsBudgetForgettingTheLeastRecentlyUsed) {
    GatedMaker maker;
    // Each thumbnail here weighs its key and some 100 bytes: three fit, not four.
    ThumbnailCache cache(makerOf(maker), 1, 3 * 115);
    for (const char* cover : {"1.jpg", "2.jpg", "3.jpg"})
        ASSERT_NE(fetched(cache, cover), "none");
    fetched(cache, "1.jpg"); // used again: now the most recent
    fetched(cache, "4.jpg"); // 2.jpg, the least recently used, makes room
    EXPECT_LE(cache.bytesKept(), 3u * 115);
    const struct {
        const char* cover;
        int made;
    } rows[] = {{"1.jpg", 1}, {"3.jpg", 1}, {"4.jpg", 1}, {"2.jpg", 2}};
    for (const auto& row : rows) {
        fetched(cache, row.cover);
        EXPECT_EQ(maker.made(row.cover), row.made) << row.cover;
    }
    EXPECT_LE(cache.bytesKept(), 3u * 115);
}

TEST(ThumbnailCacheTest, ACoverThatGivesNoThumbnailIsRememberedAsSuch) {
    GatedMaker maker;
    ThumbnailCache cache(makerOf(maker), 2, 1 << 20);
    EXPECT_EQ(fetched(cache, "bad.jpg"), "none");
    EXPECT_EQ(fetched(cache, "bad.jpg"), "none");
    EXPECT_EQ(maker.made("bad.jpg"), 1);
    EXPECT_NE(fetched(cache, "good.jpg"), "none") << "the workers go on";
}

TEST(ThumbnailCacheTest, AnswersStillOwedWhenItGoesAreNeverGiven) {
    GatedMaker maker;
    std::atomic<int> answered{0};
    std::thread opener;
    {
        ThumbnailCache cache(makerOf(maker), 1, 1 << 20);
        maker.close();
        for (const char* cover : {"1.jpg", "2.jpg", "3.jpg"})
            cache.fetch(std::string(cover) + "@1", cover,
                        [&](ThumbnailCache::Thumbnail) { ++answered; });
        while (maker.made("1.jpg") == 0)
            std::this_thread::sleep_for(1ms);
        // The one worker holds 1.jpg until opened, while the cache is already stopping: it
        // finishes 1.jpg and starts neither 2.jpg nor 3.jpg.
        opener = std::thread([&] {
            std::this_thread::sleep_for(20ms);
            maker.open();
        });
    }
    opener.join();
    EXPECT_LE(answered, 1);
    EXPECT_EQ(maker.made("2.jpg"), 0);
    EXPECT_EQ(maker.made("3.jpg"), 0);
}

} // namespace
} // namespace cantorix::platform
