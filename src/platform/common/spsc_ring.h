#pragma once
// Lock-free ring between exactly one producer thread and one consumer thread, of fixed capacity
// allocated at construction, so a device callback can take samples from it (or put samples into
// it) without allocating, locking or blocking. write() belongs to the producer, read() to the
// consumer; reset() only while neither side runs.

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <vector>

namespace cantorix::platform {

template <class T> class SpscRing {
    static_assert(std::is_trivially_copyable_v<T>, "the ring copies its elements as bytes");

public:
    // The capacity is rounded up to a power of two.
    explicit SpscRing(std::size_t capacity)
        : m_buffer(std::bit_ceil(capacity < 2 ? std::size_t{2} : capacity)),
          m_mask(m_buffer.size() - 1) {}

    SpscRing(const SpscRing&) = delete;
    SpscRing& operator=(const SpscRing&) = delete;

    std::size_t capacity() const { return m_buffer.size(); }

    // Producer: copies as many of count elements as fit and returns how many that was.
    std::size_t write(const T* data, std::size_t count) {
        const std::size_t head = m_head.load(std::memory_order_relaxed);
        const std::size_t tail = m_tail.load(std::memory_order_acquire);
        const std::size_t n = std::min(count, capacity() - (head - tail));
        copyRing(head, n, [&](std::size_t at, std::size_t done, std::size_t len) {
            std::memcpy(&m_buffer[at], data + done, len * sizeof(T));
        });
        m_head.store(head + n, std::memory_order_release);
        return n;
    }

    // Consumer: moves up to count elements into out and returns how many that was.
    std::size_t read(T* out, std::size_t count) {
        const std::size_t tail = m_tail.load(std::memory_order_relaxed);
        const std::size_t head = m_head.load(std::memory_order_acquire);
        const std::size_t n = std::min(count, head - tail);
        copyRing(tail, n, [&](std::size_t at, std::size_t done, std::size_t len) {
            std::memcpy(out + done, &m_buffer[at], len * sizeof(T));
        });
        m_tail.store(tail + n, std::memory_order_release);
        return n;
    }

    // Exact for the consumer; a lower bound for the producer.
    std::size_t readAvailable() const {
        return m_head.load(std::memory_order_acquire) - m_tail.load(std::memory_order_acquire);
    }
    // Exact for the producer; a lower bound for the consumer.
    std::size_t writeAvailable() const { return capacity() - readAvailable(); }

    void reset() {
        m_head.store(0, std::memory_order_relaxed);
        m_tail.store(0, std::memory_order_relaxed);
    }

private:
    // Splits n elements starting at the free-running index `from` into at most two contiguous
    // pieces of the buffer.
    template <class Copy> void copyRing(std::size_t from, std::size_t n, Copy copy) {
        const std::size_t at = from & m_mask;
        const std::size_t first = std::min(n, capacity() - at);
        if (first > 0)
            copy(at, 0, first);
        if (n > first)
            copy(0, first, n - first);
    }

    std::vector<T> m_buffer;
    std::size_t m_mask;
    // Free-running indices: their difference is the fill even after they wrap around.
    alignas(64) std::atomic<std::size_t> m_head{0}; // next element to write
    alignas(64) std::atomic<std::size_t> m_tail{0}; // next element to read
};

} // namespace cantorix::platform
