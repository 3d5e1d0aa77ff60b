#pragma once
// An input that plays samples from memory into the capture hub at a microphone's pace, then
// silence while it lives. Its own thread keeps the pace on the steady clock; the pacing step
// (FramePacer) stands apart so that tests drive it with made-up time.

#include "capture_hub.h"
#include "capture_service.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cantorix::platform {

class FramePacer {
public:
    // samples: 44100 Hz mono 16-bit.
    FramePacer(CaptureHub& hub, std::vector<std::int16_t> samples);

    // Runs on the input's thread: delivers every frame due by elapsed (time since the start),
    // the samples first, then zeros. After a stall of more than a second only the last second
    // is delivered; the rest is skipped as a device would lose it.
    void deliverDue(std::chrono::nanoseconds elapsed);
    // Frames the timeline has advanced by, delivered or skipped.
    std::uint64_t position() const { return m_position; }

private:
    void deliver(std::uint64_t count);

    CaptureHub& m_hub;
    std::vector<std::int16_t> m_samples;
    std::uint64_t m_position = 0;
};

class PacedInput : public CaptureSource {
public:
    PacedInput(CaptureHub& hub, std::vector<std::int16_t> samples, std::string description);
    // Stops and joins the pacing thread.
    ~PacedInput() override;

    std::string describe() const override { return m_description; }

private:
    // Runs on the pacing thread.
    void run();

    FramePacer m_pacer;
    std::string m_description;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace cantorix::platform
