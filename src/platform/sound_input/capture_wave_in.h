#pragma once
// The recorder's wave-in device over the shared capture: a worker thread takes the capture's
// 44100 Hz mono frames from a subscription, converts them to the opened format (the mono
// signal on every channel) and fills the queued buffers in order. Main thread API; the
// notifications come from the worker thread or the calling one.

#include "audio/wave_in_device_port.h"
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

    // The service must outlive this device.
    explicit CaptureWaveIn(CaptureService& service);
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

private:
    // Runs on the worker thread.
    void run();
    // With m_mutex held: moves the converted bytes into the queued buffers.
    void fill(const std::vector<std::uint8_t>& bytes);
    void returnFront();
    void shutDown();

    CaptureService& m_service;
    std::unique_ptr<CaptureHub::Subscription> m_subscription;
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
