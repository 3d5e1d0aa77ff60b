#pragma once
// Fan-out of the one physical capture: its producer thread delivers 44100 Hz mono 16-bit frames
// once and each subscriber (pitch ring, recorder) gets them in a lock-free queue of its own, so
// a device that opens only once serves all. Subscribers come and go on their own threads.

#include "platform/common/spsc_ring.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace cantorix::platform {

class CaptureHub {
public:
    static constexpr std::int32_t kSampleRate = 44100;
    static constexpr std::size_t kMaxSubscribers = 8;

    // One subscriber's queue. Read it from one thread; destroy it before the hub.
    class Subscription {
    public:
        ~Subscription();
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;

        std::size_t available() const { return m_queue.readAvailable(); }
        std::size_t read(std::int16_t* out, std::size_t frames) {
            return m_queue.read(out, frames);
        }
        // Frames refused because the queue was full (its reader fell behind).
        std::uint64_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }

    private:
        friend class CaptureHub;
        Subscription(CaptureHub& hub, std::size_t capacity) : m_hub(hub), m_queue(capacity) {}

        CaptureHub& m_hub;
        SpscRing<std::int16_t> m_queue;
        std::atomic<std::uint64_t> m_dropped{0};
    };

    CaptureHub() = default;
    CaptureHub(const CaptureHub&) = delete;
    CaptureHub& operator=(const CaptureHub&) = delete;

    // A new queue holding up to capacityFrames (rounded up to a power of two); it receives the
    // frames delivered from now on. Throws std::runtime_error when kMaxSubscribers are taken.
    // Not on the producer thread.
    std::unique_ptr<Subscription> subscribe(std::size_t capacityFrames);

    // Runs on the producer's thread (a device callback): hands the frames to every subscriber.
    // Never allocates, locks or blocks. One producer at a time.
    void deliver(const std::int16_t* frames, std::size_t count) noexcept;

    std::uint64_t framesDelivered() const { return m_delivered.load(std::memory_order_relaxed); }

private:
    void unsubscribe(Subscription* subscription);

    std::mutex m_slotsMutex; // orders subscribers among themselves; the producer never takes it
    std::array<std::atomic<Subscription*>, kMaxSubscribers> m_slots{};
    // Odd while deliver() runs: lets unsubscribe() wait out a delivery that may still hold the
    // subscription it removes.
    std::atomic<std::uint64_t> m_deliverSeq{0};
    std::atomic<std::uint64_t> m_delivered{0};
};

} // namespace cantorix::platform
