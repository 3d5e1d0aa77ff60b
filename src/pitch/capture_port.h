#pragma once
// Port: CaptureDevice, CaptureRing. Adapter: platform/sound_input/capture_service.h;
// fake: tests/fakes/fake_capture_device.h.
// The ports the capture stream reaches its platform through: a capture device that makes
// looping capture rings, the rings themselves, and the hand-over of work to the main thread.
// Adapters live in platform/ (the device and rings) and app/ (the main-thread invoker).

#include "base/main_thread_invoker_port.h"
#include "base/wave_format.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace cantorix::pitch {

// The capture stream speaks in these shared types throughout.
using base::MainThreadInvoker;
using base::makePcmFormat;
using base::mulDiv;
using base::TWaveFormat;

// What a lock hands out: the bytes at the read offset, split in two where the ring wraps.
struct RingRegions {
    const std::uint8_t* data1 = nullptr;
    std::int32_t length1 = 0;
    const std::uint8_t* data2 = nullptr;
    std::int32_t length2 = 0;
};

// A looping ring of captured bytes that the device keeps writing while it runs; the oldest
// bytes are overwritten without notice. Main thread only (the device side is the adapter's).
class CaptureRing {
public:
    virtual ~CaptureRing() = default;
    // capture: where the device is writing; read: up to where the bytes are complete and safe
    // to read. Both are byte offsets into the ring. False when the ring cannot tell.
    virtual bool currentPosition(std::int32_t& capture, std::int32_t& read) = 0;
    // Exposes length bytes starting at offset; false when they cannot be exposed.
    virtual bool lock(std::int32_t offset, std::int32_t length, RingRegions& regions) = 0;
    virtual void unlock(const RingRegions& regions) = 0;
    virtual void start() = 0; // always looping
    virtual void stop() = 0;
    // Bytes that have passed the read position since start(), counting laps of the ring and
    // any bytes the ring had to stand in for with silence; -1 when the ring cannot tell (the
    // stream then counts the advances of the read position itself).
    virtual std::int64_t bytesWritten() { return -1; }
    // Of those, the bytes that are silence standing in for sound the ring never received
    // because it was not read in time.
    virtual std::int64_t bytesLost() { return 0; }
};

// An open capture device. Main thread only.
class CaptureDevice {
public:
    virtual ~CaptureDevice() = default;
    // A ring of bufferBytes in the given format, or null when the device does not offer that
    // format or cannot make the ring. A ring must be released before its device.
    virtual std::unique_ptr<CaptureRing> createRing(const TWaveFormat& format,
                                                    std::int32_t bufferBytes) = 0;
};

} // namespace cantorix::pitch
