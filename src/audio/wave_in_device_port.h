#pragma once
// Port: WaveInDevice. Adapter: platform/sound_input/capture_wave_in.h;
// fake: tests/fakes/fake_wave_in_device.h.
// The port the recorder takes its audio from: a wave-in device that fills the buffers it is
// given, in order, and reports opened, filled and closed. Implemented in platform/ over the
// shared capture; its notifications may come from any thread.

#include "base/wave_format.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cantorix::audio {

// Device results: 0 is success, anything else a failure whose text errorText() gives.
using WaveInResult = std::int32_t;
inline constexpr WaveInResult kWaveInOk = 0;
// The failure a short write of recorded data is reported with.
inline constexpr WaveInResult kWaveInUnspecifiedError = 1;

// One buffer handed to the device; it comes back with recorded set to the bytes it filled.
struct WaveInBuffer {
    std::vector<std::uint8_t> data;
    std::size_t recorded = 0;
};

// Receives the device's notifications. Any thread; the receiver queues them for its own.
class WaveInListener {
public:
    virtual ~WaveInListener() = default;
    virtual void waveInOpened() = 0;
    // A buffer is done: full, or returned early by stop() or reset().
    virtual void waveInData(std::unique_ptr<WaveInBuffer> buffer) = 0;
    virtual void waveInClosed() = 0;
};

// Main thread. Buffers queued and not yet returned are "outstanding"; close() refuses to
// close while any are.
class WaveInDevice {
public:
    virtual ~WaveInDevice() = default;
    // Whether the device can record in format, without opening it.
    virtual WaveInResult queryFormat(const base::TWaveFormat& format) = 0;
    // Opens the device; the opened notification follows. The listener must outlive the
    // device's open state.
    virtual WaveInResult open(const base::TWaveFormat& format, WaveInListener& listener) = 0;
    virtual WaveInResult addBuffer(std::unique_ptr<WaveInBuffer> buffer) = 0;
    virtual WaveInResult start() = 0;
    // Stops filling; a partly filled buffer comes back at once, the others stay queued.
    virtual WaveInResult stop() = 0;
    // Stops and returns every outstanding buffer.
    virtual WaveInResult reset() = 0;
    // The closed notification follows.
    virtual WaveInResult close() = 0;
    virtual std::string errorText(WaveInResult result) const = 0;
};

} // namespace cantorix::audio
