#pragma once
// One capture device opened through PortAudio's ALSA host API at its hardware channel count:
// the callback (PortAudio's thread) splits the interleaved frames and delivers each channel to
// a capture service of its own, so every channel is an input. Made, polled and destroyed on
// the main thread; the callback touches nothing but the hubs and two atomics.

#include "capture_service.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace cantorix::platform {

class DeviceCapture {
public:
    // Frames a running device may go without delivering before it counts as lost.
    static constexpr double kSilentSecondsLost = 2.0;

    // Opens and starts deviceString (an ALSA PCM name) at channels channels, 44100 Hz, 16 bits.
    // Throws std::runtime_error with PortAudio's reason when it cannot.
    DeviceCapture(const std::string& deviceString, int channels);
    // Stops the stream before the channels' services go.
    ~DeviceCapture();
    // Stops and closes the stream, so the device can be opened again, keeping the channels'
    // services (and whoever still listens to them) alive.
    void stop();
    DeviceCapture(const DeviceCapture&) = delete;
    DeviceCapture& operator=(const DeviceCapture&) = delete;

    int channelCount() const { return static_cast<int>(m_channels.size()); }
    CaptureService& channel(int index) { return *m_channels.at(static_cast<std::size_t>(index)); }

    // The device stopped delivering: its stream ended or failed, or no frame came for
    // kSilentSecondsLost. Once lost it stays lost. Main thread.
    bool lost() const;

private:
    friend struct DeviceCaptureCallbacks;

    // Runs on PortAudio's callback thread.
    void onInput(const std::int16_t* samples, unsigned long frames) noexcept;

    std::vector<std::unique_ptr<CaptureService>> m_channels;
    void* m_stream = nullptr;
    std::atomic<bool> m_finished{false};
    std::atomic<std::uint64_t> m_framesIn{0};
    // The main thread's watch over m_framesIn.
    mutable std::uint64_t m_framesSeen = 0;
    mutable double m_framesSeenAt = 0;
    mutable bool m_lost = false;
};

} // namespace cantorix::platform
