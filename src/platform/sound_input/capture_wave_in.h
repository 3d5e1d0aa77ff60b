#pragma once
// The recorder's wave-in device over the chosen captures: a worker thread takes their 44100 Hz
// mono frames, mixed into one voice (capture_mix.h), converts them to the opened format (the
// mono signal on every channel) and fills the queued buffers in order. Main thread API; the
// notifications come from the worker thread or the calling one.

#include "audio/wave_in_device_port.h"
#include "capture_mix.h"
#include "capture_service.h"
#include "pcm_converter.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace cantorix::platform {

class CaptureWaveIn : public audio::WaveInDevice {
public:
    // Device results besides success and the unspecified error.
    static constexpr audio::WaveInResult kAllocated = 4;
    static constexpr audio::WaveInResult kInvalidHandle = 5;
    static constexpr audio::WaveInResult kBadFormat = 32;
    static constexpr audio::WaveInResult kStillRecording = 33;

    // Records the one service, which must outlive this device.
    explicit CaptureWaveIn(CaptureService& service);
    // Records silence until choose() names the inputs.
    CaptureWaveIn() = default;
    // Drops the subscription without notifications.
    ~CaptureWaveIn() override;
    CaptureWaveIn(const CaptureWaveIn&) = delete;
    CaptureWaveIn& operator=(const CaptureWaveIn&) = delete;

    audio::WaveInResult queryFormat(const base::TWaveFormat& format) override;
    audio::WaveInResult open(const base::TWaveFormat& format,
                             audio::WaveInListener& listener) override;
    audio::WaveInResult addBuffer(std::unique_ptr<audio::WaveInBuffer> buffer) override;
    audio::WaveInResult start() override;
    audio::WaveInResult stop() override;
    audio::WaveInResult reset() override;
    audio::WaveInResult close() override;
    std::string errorText(audio::WaveInResult result) const override;

    // The captures mixed from the next open() on (none: silence); they must outlive the device
    // while it is open.
    void choose(std::vector<CaptureHub*> hubs) { m_hubs = std::move(hubs); }
    bool isOpen() const { return m_worker.joinable(); }

private:
    // Runs on the worker thread.
    void run();
    // With m_mutex held: moves the converted bytes into the queued buffers.
    void fill(const std::vector<std::uint8_t>& bytes);
    void returnFront();
    void shutDown();

    std::vector<CaptureHub*> m_hubs;
    std::unique_ptr<CaptureMix> m_mix;
    std::unique_ptr<PcmConverter> m_converter;
    audio::WaveInListener* m_listener = nullptr;

    std::mutex m_mutex; // guards everything below
    std::condition_variable m_wake;
    std::deque<std::unique_ptr<audio::WaveInBuffer>> m_buffers;
    bool m_recording = false;
    bool m_quit = false;
    std::thread m_worker;
};

} // namespace cantorix::platform
