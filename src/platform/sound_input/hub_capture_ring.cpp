#include "hub_capture_ring.h"

#include <algorithm>

namespace cantorix::platform {

namespace {

constexpr std::size_t kDrainChunk = 4096;

// Enough queue for a full ring, and never under a second, so a main thread that stalls for
// less than that loses nothing.
std::size_t queueFrames(const base::TWaveFormat& format, std::int32_t bufferBytes) {
    const double seconds = static_cast<double>(bufferBytes) / std::max(format.avgBytesPerSec, 1u);
    const auto frames = static_cast<std::size_t>(seconds * CaptureHub::kSampleRate) + 1;
    return std::max<std::size_t>(frames, CaptureHub::kSampleRate);
}

} // namespace

HubCaptureRing::HubCaptureRing(CaptureHub& hub, const base::TWaveFormat& format,
                               std::int32_t bufferBytes)
    : m_hub(hub), m_format(format), m_ring(bufferBytes),
      m_queueFrames(queueFrames(format, bufferBytes)) {}

void HubCaptureRing::start() {
    if (m_subscription)
        return;
    m_converter = std::make_unique<PcmConverter>(m_format);
    m_subscription = m_hub.subscribe(m_queueFrames);
}

void HubCaptureRing::stop() {
    m_subscription.reset();
    m_converter.reset();
    m_droppedSeen = 0;
    m_bytesWritten = 0;
    m_bytesLost = 0;
}

std::uint64_t HubCaptureRing::droppedFrames() const {
    return m_subscription ? m_subscription->dropped() : 0;
}

void HubCaptureRing::drain() {
    if (!m_subscription)
        return;
    m_frames.resize(kDrainChunk);
    // Only what is there now: a producer that keeps delivering cannot hold the reader here.
    std::size_t left = m_subscription->available();
    while (left > 0) {
        const std::size_t got =
            m_subscription->read(m_frames.data(), std::min(left, m_frames.size()));
        if (got == 0)
            break;
        left -= got;
        writeConverted(m_frames.data(), got);
    }
    // The hub drops frames only while the queue is full, so the frames lost come after all that
    // was queued and before whatever it queues next: their silence goes here.
    const std::uint64_t dropped = m_subscription->dropped();
    std::fill(m_frames.begin(), m_frames.end(), std::int16_t{0});
    for (std::uint64_t lost = dropped - m_droppedSeen; lost > 0;) {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(lost, m_frames.size()));
        const std::int64_t before = m_bytesWritten;
        writeConverted(m_frames.data(), count);
        m_bytesLost += m_bytesWritten - before;
        lost -= count;
    }
    m_droppedSeen = dropped;
}

void HubCaptureRing::writeConverted(const std::int16_t* frames, std::size_t count) {
    m_bytes.clear();
    m_converter->convert(frames, count, m_bytes);
    m_ring.write(m_bytes.data(), m_bytes.size());
    m_bytesWritten += static_cast<std::int64_t>(m_bytes.size());
}

bool HubCaptureRing::currentPosition(std::int32_t& capture, std::int32_t& read) {
    drain();
    capture = m_ring.writePosition();
    read = capture;
    return true;
}

bool HubCaptureRing::lock(std::int32_t offset, std::int32_t length, pitch::RingRegions& regions) {
    return m_ring.lock(offset, length, regions);
}

} // namespace cantorix::platform
