#include "capture_stream.h"

#include "capture_errors.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace cantorix::pitch {

namespace {

constexpr std::array<std::uint32_t, 7> kDiscoveryRates{8000,  11025, 22050, 33075,
                                                       44100, 48000, 96000};
constexpr std::array<std::uint16_t, 4> kDiscoveryBits{8, 16, 24, 32};
constexpr std::array<std::uint16_t, 2> kDiscoveryChannels{1, 2};
constexpr std::int32_t kReadRetryMs = 50;
constexpr std::int32_t kMaxNotifyWaitMs = 50;

// Unsigned 8-bit samples are silent at their midpoint, signed ones at zero.
std::uint8_t silenceByte(const TWaveFormat& format) {
    return format.bitsPerSample == 8 ? 128 : 0;
}

// offset folded into 0 .. size − 1, for positions that wrap with the ring.
std::int32_t ringOffset(std::int32_t offset, std::int32_t size) {
    return size > 0 ? ((offset % size) + size) % size : 0;
}

} // namespace

const TSoundCaptureFormat& TSoundCaptureFormats::items(std::int32_t index) const {
    if (index < 0 || index >= count())
        throw EListError(index);
    return m_items[static_cast<std::size_t>(index)];
}

TSoundCaptureStream::TSoundCaptureStream(CaptureDevice& device, MainThreadInvoker& invoker,
                                         ExceptionReporter reportException,
                                         StopEventFactory stopEvents)
    : m_device(device), m_invoker(invoker), m_reportException(std::move(reportException)),
      m_stopEvents(std::move(stopEvents)),
      m_sleep([](std::int32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }) {
    discoverFormats();
}

TSoundCaptureStream::~TSoundCaptureStream() {
    stop();
}

void TSoundCaptureStream::discoverFormats() {
    for (const std::uint32_t rate : kDiscoveryRates) {
        for (const std::uint16_t bits : kDiscoveryBits) {
            for (const std::uint16_t channels : kDiscoveryChannels) {
                const TWaveFormat format = makePcmFormat(rate, bits, channels);
                // A one-second test ring, released at once: only the answer matters.
                if (m_device.createRing(format, static_cast<std::int32_t>(format.avgBytesPerSec)))
                    m_formats.add({bits, channels, rate});
            }
        }
    }
}

void TSoundCaptureStream::setBufferLength(std::int32_t ms) {
    m_bufferLength = std::max(ms, 0);
}

std::int32_t TSoundCaptureStream::notifyWaitMs() const {
    return std::min(m_bufferLength / 4, kMaxNotifyWaitMs);
}

void TSoundCaptureStream::start() {
    stop();
    m_capturing = true;
    try {
        setFormatSize(TWaveFormat::kRecordSize);
        const TSoundCaptureFormat& chosen = m_formats.items(m_captureFormat);
        m_format =
            makePcmFormat(chosen.samplesPerSec, static_cast<std::uint16_t>(chosen.bitsPerSample),
                          static_cast<std::uint16_t>(chosen.channels));
        const auto record = m_format.toBytes();
        std::copy(record.begin(), record.end(), mutableFormatRecord());

        const auto bytesPerSec = static_cast<std::int32_t>(m_format.avgBytesPerSec);
        m_ringSize = std::max(mulDiv(bytesPerSec, m_bufferLength, 1000), kMinRingSize);
        m_ring = m_device.createRing(m_format, m_ringSize);
        if (!m_ring)
            throw ESoundCaptureStreamError::cannotMake();
        m_cursor = 0;
        m_heldBytes = 0;
        m_lastRead = 0;
        m_capturedBytes = 0;
        m_ring->start();
        if (m_onFilledBuffer)
            startNotifyThread();
    } catch (...) {
        stop();
        throw;
    }
}

void TSoundCaptureStream::stop() {
    if (!m_capturing)
        return;
    m_notify.reset();
    m_capturing = false;
    if (m_ring) {
        m_ring->stop();
        m_ring.reset();
    }
}

void TSoundCaptureStream::setOnFilledBuffer(TFilledBufferEvent handler) {
    if (handler == m_onFilledBuffer)
        return;
    if (!m_capturing) {
        m_onFilledBuffer = handler;
        return;
    }
    // Only the old thread goes; the capture itself keeps running under the new handler.
    m_notify.reset();
    m_onFilledBuffer = handler;
    if (m_onFilledBuffer)
        startNotifyThread();
}

void TSoundCaptureStream::startNotifyThread() {
    m_notify = std::make_unique<TSoundCaptureStreamNotify>(
        m_invoker, [this] { notifyStep(); }, m_stopEvents(), notifyWaitMs());
}

void TSoundCaptureStream::notifyStep() {
    if (filledSize() <= 0)
        return;
    // A failing handler would fail again on every step: report it once and end the capture.
    try {
        doFilledBuffer();
    } catch (const std::exception& e) {
        report(e);
    } catch (...) {
        report(std::runtime_error("unknown exception in the capture handler"));
    }
}

void TSoundCaptureStream::report(const std::exception& e) {
    if (m_reportException)
        m_reportException(e);
    stop();
}

void TSoundCaptureStream::doFilledBuffer() {
    if (m_onFilledBuffer)
        m_onFilledBuffer(*this);
}

bool TSoundCaptureStream::readPosition(std::int32_t& capture, std::int32_t& read) {
    if (!m_ring || !m_ring->currentPosition(capture, read))
        return false;
    const std::int32_t advance = ringOffset(read - m_lastRead, m_ringSize);
    m_heldBytes = std::min(m_ringSize, m_heldBytes + advance);
    m_lastRead = read;
    // A ring that counts its bytes itself knows of laps that a look at its positions misses.
    const std::int64_t written = m_ring->bytesWritten();
    m_capturedBytes = written >= 0 ? written : m_capturedBytes + advance;
    return true;
}

std::int64_t TSoundCaptureStream::capturedSamples() {
    std::int32_t capture = 0;
    std::int32_t read = 0;
    readPosition(capture, read);
    return m_capturedBytes / 2;
}

std::int64_t TSoundCaptureStream::lostSamples() {
    return m_ring ? m_ring->bytesLost() / 2 : 0;
}

bool TSoundCaptureStream::peekEndingAt(std::int64_t endSample, std::span<std::int16_t> out) {
    std::fill(out.begin(), out.end(), std::int16_t{0});
    std::int32_t capture = 0;
    std::int32_t read = 0;
    if (out.empty() || !readPosition(capture, read))
        return false;
    const std::int64_t back = m_capturedBytes - 2 * endSample;
    if (back < 0 || back > m_ringSize)
        return false;
    return copySamples(capture, read, static_cast<std::int32_t>(back), out);
}

std::int32_t TSoundCaptureStream::filledSize() {
    std::int32_t capture = 0;
    std::int32_t read = 0;
    if (!readPosition(capture, read))
        return 0;
    return read >= m_cursor ? read - m_cursor : m_ringSize + read - m_cursor;
}

std::int32_t TSoundCaptureStream::peekNewest(std::span<std::int16_t> out) {
    std::fill(out.begin(), out.end(), std::int16_t{0});
    std::int32_t capture = 0;
    std::int32_t read = 0;
    if (out.empty() || !readPosition(capture, read))
        return 0;
    const auto wanted = static_cast<std::int32_t>(
        std::min<std::size_t>(out.size(), static_cast<std::size_t>(safeBytes(capture, read) / 2)));
    if (wanted <= 0)
        return 0;
    return copySamples(capture, read, 0, out.last(static_cast<std::size_t>(wanted))) ? wanted : 0;
}

std::int32_t TSoundCaptureStream::safeBytes(std::int32_t capture, std::int32_t read) const {
    // Bytes between the read and the capture position are still being written.
    return std::min(m_heldBytes, m_ringSize - ringOffset(capture - read, m_ringSize));
}

bool TSoundCaptureStream::copySamples(std::int32_t capture, std::int32_t read, std::int32_t back,
                                      std::span<std::int16_t> out) {
    const auto bytes = static_cast<std::int32_t>(2 * out.size());
    if (bytes <= 0 || back + bytes > safeBytes(capture, read))
        return false;
    RingRegions regions;
    if (!m_ring->lock(ringOffset(read - back - bytes, m_ringSize), bytes, regions))
        return false;
    const std::int32_t first = std::clamp(regions.length1, 0, bytes);
    const std::int32_t second = std::clamp(regions.length2, 0, bytes - first);
    // A lock that exposes less than asked gives other bytes than those wanted: none of them count.
    if (first + second < bytes) {
        m_ring->unlock(regions);
        return false;
    }
    const auto byteAt = [&](std::int32_t i) {
        return i < first ? regions.data1[i] : regions.data2[i - first];
    };
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto at = static_cast<std::int32_t>(2 * i);
        out[i] = static_cast<std::int16_t>(byteAt(at) | byteAt(at + 1) << 8);
    }
    m_ring->unlock(regions);
    return true;
}

std::int32_t TSoundCaptureStream::copyFromRing(std::uint8_t* out, std::int32_t room,
                                               std::int32_t wanted, bool& ok) {
    RingRegions regions;
    ok = m_ring->lock(m_cursor, wanted, regions);
    if (!ok)
        return 0;
    // Never trust the regions to fit the caller's buffer.
    const std::int32_t first = std::clamp(regions.length1, 0, room);
    const std::int32_t second = std::clamp(regions.length2, 0, room - first);
    if (first > 0)
        std::memcpy(out, regions.data1, static_cast<std::size_t>(first));
    if (second > 0)
        std::memcpy(out + first, regions.data2, static_cast<std::size_t>(second));
    m_ring->unlock(regions);
    m_cursor = (m_cursor + first + second) % m_ringSize;
    ok = first + second > 0;
    return first + second;
}

std::int32_t TSoundCaptureStream::readWaveData(void* buffer, std::int32_t count) {
    if (!m_capturing)
        start();
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::int32_t done = 0;
    while (done < count) {
        const std::int32_t n = std::min(count - done, filledSize());
        if (n > 0) {
            bool ok = false;
            done += copyFromRing(out + done, count - done, n, ok);
            if (!ok)
                break;
        }
        if (done < count)
            m_sleep(kReadRetryMs);
    }
    std::memset(out + done, silenceByte(m_format), static_cast<std::size_t>(count - done));
    return count;
}

} // namespace cantorix::pitch
