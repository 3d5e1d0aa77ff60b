#pragma once
// Lock-free queue between exactly one producer thread and one consumer thread that grows
// instead of filling up, so the producer never waits for the consumer. Elements live in blocks
// of fixed size: the producer allocates them, or takes back the ones the consumer has emptied;
// the consumer neither allocates nor frees, so a device callback may drain the queue.
// push() belongs to the producer, pop() to the consumer.

#include <array>
#include <atomic>
#include <cstddef>
#include <type_traits>

namespace cantorix::platform {

template <class T, std::size_t kBlockSize = 1024> class GrowingSpscQueue {
    static_assert(std::is_trivially_copyable_v<T>);
    static_assert(kBlockSize > 0);

public:
    GrowingSpscQueue() : m_tail(new Block), m_head(m_tail) {}
    // Only while neither side runs.
    ~GrowingSpscQueue() {
        freeChain(m_head, [](Block* b) { return b->next.load(std::memory_order_relaxed); });
        freeChain(m_spare, [](Block* b) { return b->nextFree; });
        freeChain(m_recycled.load(std::memory_order_acquire), [](Block* b) { return b->nextFree; });
    }
    GrowingSpscQueue(const GrowingSpscQueue&) = delete;
    GrowingSpscQueue& operator=(const GrowingSpscQueue&) = delete;

    // Producer: appends one element; allocates a block when the last one is full.
    void push(const T& value) {
        std::size_t at = m_tail->written.load(std::memory_order_relaxed);
        if (at == kBlockSize) {
            Block* block = takeBlock();
            m_tail->next.store(block, std::memory_order_release);
            m_tail = block;
            at = 0;
        }
        m_tail->items[at] = value;
        m_tail->written.store(at + 1, std::memory_order_release);
    }

    // Consumer: moves up to count elements into out, oldest first, and returns how many.
    std::size_t pop(T* out, std::size_t count) {
        std::size_t n = 0;
        while (n < count) {
            const std::size_t written = m_head->written.load(std::memory_order_acquire);
            if (m_read < written) {
                out[n++] = m_head->items[m_read++];
                continue;
            }
            if (m_read < kBlockSize)
                break;
            Block* next = m_head->next.load(std::memory_order_acquire);
            if (!next)
                break;
            recycle(m_head);
            m_head = next;
            m_read = 0;
        }
        return n;
    }

private:
    struct Block {
        std::array<T, kBlockSize> items;
        std::atomic<std::size_t> written{0};
        std::atomic<Block*> next{nullptr};
        Block* nextFree = nullptr; // while recycled
    };

    // Producer: an emptied block when the consumer has handed one back, else a new one.
    Block* takeBlock() {
        if (!m_spare)
            m_spare = m_recycled.exchange(nullptr, std::memory_order_acquire);
        if (!m_spare)
            return new Block;
        Block* block = m_spare;
        m_spare = block->nextFree;
        block->written.store(0, std::memory_order_relaxed);
        block->next.store(nullptr, std::memory_order_relaxed);
        return block;
    }

    // Consumer: hands an emptied block back. The producer only ever takes the whole stack, so
    // a block cannot come back under the consumer's feet between its load and its exchange.
    void recycle(Block* block) {
        Block* top = m_recycled.load(std::memory_order_relaxed);
        do {
            block->nextFree = top;
        } while (!m_recycled.compare_exchange_weak(top, block, std::memory_order_release,
                                                   std::memory_order_relaxed));
    }

    template <class Next> static void freeChain(Block* block, Next next) {
        while (block) {
            Block* following = next(block);
            delete block;
            block = following;
        }
    }

    Block* m_tail;            // producer
    Block* m_spare = nullptr; // producer: taken back, not yet reused
    Block* m_head;            // consumer
    std::size_t m_read = 0;   // consumer: next index in m_head
    std::atomic<Block*> m_recycled{nullptr};
};

} // namespace cantorix::platform
