#include "platform/common/spsc_ring.h"

#include <gtest/gtest.h>
#include <numeric>
#include <thread>
#include <vector>

using cantorix::platform::SpscRing;

TEST(SpscRingTest, CapacityIsRoundedUpToAPowerOfTwo) {
    EXPECT_EQ(SpscRing<int>(1000).capacity(), 1024u);
    EXPECT_EQ(SpscRing<int>(1024).capacity(), 1024u);
    EXPECT_EQ(SpscRing<int>(0).capacity(), 2u);
}

TEST(SpscRingTest, WritesWhatFitsAndReadsWhatIsThere) {
    SpscRing<int> ring(8);
    std::vector<int> in(12);
    std::iota(in.begin(), in.end(), 1);
    EXPECT_EQ(ring.write(in.data(), 12), 8u);
    EXPECT_EQ(ring.writeAvailable(), 0u);
    EXPECT_EQ(ring.write(in.data(), 1), 0u);

    std::vector<int> out(12, 0);
    EXPECT_EQ(ring.read(out.data(), 5), 5u);
    EXPECT_EQ(ring.readAvailable(), 3u);
    EXPECT_EQ(ring.read(out.data() + 5, 12), 3u);
    EXPECT_EQ(ring.read(out.data(), 1), 0u);
    EXPECT_EQ(std::vector<int>(out.begin(), out.begin() + 8),
              std::vector<int>(in.begin(), in.begin() + 8));
}

// One producer and one consumer on their own threads, with chunk sizes that do not divide the
// capacity: every element arrives once and in order.
TEST(SpscRingTest, HandsOverASequenceBetweenTwoThreads) {
    constexpr std::uint32_t kCount = 200000;
    SpscRing<std::uint32_t> ring(256);
    std::thread producer([&] {
        std::uint32_t next = 0;
        std::vector<std::uint32_t> chunk(37);
        while (next < kCount) {
            std::size_t n = 0;
            while (n < chunk.size() && next + n < kCount) {
                chunk[n] = next + static_cast<std::uint32_t>(n);
                ++n;
            }
            next += static_cast<std::uint32_t>(ring.write(chunk.data(), n));
            std::this_thread::yield();
        }
    });
    std::uint32_t expected = 0;
    bool inOrder = true;
    std::vector<std::uint32_t> out(53);
    while (expected < kCount) {
        const std::size_t n = ring.read(out.data(), out.size());
        for (std::size_t i = 0; i < n; ++i)
            inOrder = inOrder && out[i] == expected++;
        if (n == 0)
            std::this_thread::yield();
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(ring.readAvailable(), 0u);
}
