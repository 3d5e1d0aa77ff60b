#pragma once
// A capture ring fed by the hub: while started it holds a subscription, and each position
// query moves the frames that arrived since into its looping ring, converted to its format.
// Frames the hub dropped because the ring was not read in time become silence in their place,
// so that every later byte keeps its true distance from the start.
// Main thread only; the hub's producer touches nothing but the subscription's queue.

#include "capture_hub.h"
#include "looping_ring.h"
#include "pcm_converter.h"
#include "pitch/capture_port.h"

#include <memory>
#include <vector>

namespace cantorix::platform {

class HubCaptureRing : public pitch::CaptureRing {
public:
    // The format must be one PcmConverter supports; bufferBytes at least 1.
    HubCaptureRing(CaptureHub& hub, const base::TWaveFormat& format, std::int32_t bufferBytes);

    // Both positions are the end of the newest converted bytes.
    bool currentPosition(std::int32_t& capture, std::int32_t& read) override;
    bool lock(std::int32_t offset, std::int32_t length, pitch::RingRegions& regions) override;
    void unlock(const pitch::RingRegions&) override {}
    void start() override;
    void stop() override;
    std::int64_t bytesWritten() override { return m_bytesWritten; }
    std::int64_t bytesLost() override { return m_bytesLost; }

    // Frames the hub could not queue for this ring because it was not drained in time.
    std::uint64_t droppedFrames() const;

private:
    void drain();
    void writeConverted(const std::int16_t* frames, std::size_t count);

    CaptureHub& m_hub;
    base::TWaveFormat m_format;
    LoopingRing m_ring;
    std::size_t m_queueFrames;
    std::unique_ptr<CaptureHub::Subscription> m_subscription;
    std::unique_ptr<PcmConverter> m_converter;
    std::vector<std::int16_t> m_frames;
    std::vector<std::uint8_t> m_bytes;
    std::uint64_t m_droppedSeen = 0;
    std::int64_t m_bytesWritten = 0;
    std::int64_t m_bytesLost = 0;
};

} // namespace cantorix::platform
