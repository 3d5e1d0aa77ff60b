#pragma once
// Test double for the capture device: accepts the formats the test chooses and hands out rings
// whose device side the test drives (bytes arriving, failing queries and locks); a ring's state
// outlives the ring for inspection. Main thread only, like the real rings.

#include "pitch/capture_port.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace cantorix::pitch::testing {

struct FakeRingState {
    explicit FakeRingState(std::int32_t size) : bytes(static_cast<std::size_t>(size)) {}

    std::vector<std::uint8_t> bytes;
    std::int32_t write = 0;
    std::uint8_t nextValue = 0;
    bool started = false;
    bool stopped = false;
    bool released = false;
    bool failPosition = false;
    bool failLock = false;
    int unlocks = 0;
    RingRegions lastLock;

    std::int32_t size() const { return static_cast<std::int32_t>(bytes.size()); }

    // The device captures count bytes: 0, 1, 2 … (wrapping at 256) continued from the last call.
    void produce(std::int32_t count) {
        for (std::int32_t i = 0; i < count; ++i) {
            bytes[static_cast<std::size_t>(write)] = nextValue++;
            write = (write + 1) % size();
        }
    }
};

class FakeCaptureRing : public CaptureRing {
public:
    explicit FakeCaptureRing(std::shared_ptr<FakeRingState> state) : m_state(std::move(state)) {}
    ~FakeCaptureRing() override { m_state->released = true; }

    bool currentPosition(std::int32_t& capture, std::int32_t& read) override {
        capture = read = m_state->write;
        return !m_state->failPosition;
    }
    bool lock(std::int32_t offset, std::int32_t length, RingRegions& regions) override {
        if (m_state->failLock || offset < 0 || length < 1 || length > m_state->size())
            return false;
        const std::int32_t first = std::min(length, m_state->size() - offset);
        regions = {m_state->bytes.data() + offset, first,
                   first < length ? m_state->bytes.data() : nullptr, length - first};
        m_state->lastLock = regions;
        return true;
    }
    void unlock(const RingRegions&) override { ++m_state->unlocks; }
    void start() override { m_state->started = true; }
    void stop() override { m_state->stopped = true; }

private:
    std::shared_ptr<FakeRingState> m_state;
};

class FakeCaptureDevice : public CaptureDevice {
public:
    // By default the 8- and 16-bit formats at every rate, as the product's capture offers.
    std::function<bool(const TWaveFormat&)> accepts = [](const TWaveFormat& f) {
        return f.bitsPerSample <= 16;
    };
    bool failRings = false; // refuse every ring (set it once the stream has its formats)
    std::vector<std::pair<TWaveFormat, std::int32_t>> requests;
    std::shared_ptr<FakeRingState> ring; // the latest ring handed out

    std::unique_ptr<CaptureRing> createRing(const TWaveFormat& format,
                                            std::int32_t bufferBytes) override {
        requests.emplace_back(format, bufferBytes);
        if (!accepts(format) || failRings)
            return nullptr;
        ring = std::make_shared<FakeRingState>(bufferBytes);
        return std::make_unique<FakeCaptureRing>(ring);
    }
};

} // namespace cantorix::pitch::testing
