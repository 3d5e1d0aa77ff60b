// The synthesizer's message queue: everything pushed comes out once, in order, while the two
// threads run at once and the blocks are emptied, handed back and reused.

#include "platform/midi/growing_spsc_queue.h"

#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <thread>

using cantorix::platform::GrowingSpscQueue;

TEST(GrowingSpscQueueTest, ConcurrentPushAndPopKeepEveryElementInOrder) {
    // Small blocks, so the run crosses block ends, recycles and reuses many times.
    GrowingSpscQueue<std::uint32_t, 7> queue;
    constexpr std::uint32_t kCount = 200000;
    std::thread producer([&] {
        for (std::uint32_t i = 0; i < kCount; ++i) {
            queue.push(i);
            if (i % 1000 == 0)
                std::this_thread::yield(); // let the consumer catch up and hand blocks back
        }
    });
    std::uint32_t expected = 0;
    bool inOrder = true;
    std::array<std::uint32_t, 5> batch{};
    while (expected < kCount) {
        const std::size_t n = queue.pop(batch.data(), batch.size());
        for (std::size_t i = 0; i < n; ++i)
            inOrder = inOrder && batch[i] == expected++;
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(queue.pop(batch.data(), batch.size()), 0u);
    queue.push(7);
    EXPECT_EQ(queue.pop(batch.data(), batch.size()), 1u);
    EXPECT_EQ(batch[0], 7u);
}
