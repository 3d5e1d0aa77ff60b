#include "null_audio_output.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace cantorix::platform {

namespace {

using Clock = std::chrono::steady_clock;

// Wake-up period of the pacing thread: the source sees blocks of about this length, as it
// would from a device with a short buffer (256 frames at 48 kHz). A shorter period makes no
// difference to anything drawn at 60 frames a second, only to the CPU a silent machine spends.
constexpr auto kPeriod = std::chrono::milliseconds(5);
// Largest block handed to the source at once (after a stall the thread catches up in blocks).
constexpr std::size_t kBlockFrames = 1024;

class NullAudioStream : public AudioStream {
public:
    NullAudioStream(int sampleRate, AudioSource& source)
        : m_rate(sampleRate), m_source(source), m_buffer(kBlockFrames * kOutputChannels) {}
    ~NullAudioStream() override { stop(); }

    void start() override {
        if (m_thread.joinable())
            return;
        m_running.store(true, std::memory_order_relaxed);
        m_thread = std::thread([this] { run(); });
    }

    void stop() override {
        if (!m_thread.joinable())
            return;
        m_running.store(false, std::memory_order_relaxed);
        m_thread.join();
    }

    int sampleRate() const override { return m_rate; }
    std::size_t latencyFrames() const override { return 0; }

private:
    // Frames a device at m_rate would have played in `elapsed`, without overflowing for runs
    // of any length.
    std::int64_t framesIn(Clock::duration elapsed) const {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
        constexpr std::int64_t kNsPerSecond = 1'000'000'000;
        return ns / kNsPerSecond * m_rate + ns % kNsPerSecond * m_rate / kNsPerSecond;
    }

    // Pacing thread: plays the frames that are due, then sleeps.
    void run() {
        const Clock::time_point begin = Clock::now();
        std::int64_t played = 0;
        while (m_running.load(std::memory_order_relaxed)) {
            const std::int64_t due = framesIn(Clock::now() - begin);
            while (played < due) {
                const auto n = static_cast<std::size_t>(
                    std::min<std::int64_t>(due - played, static_cast<std::int64_t>(kBlockFrames)));
                m_source.render(m_buffer.data(), n);
                played += static_cast<std::int64_t>(n);
            }
            std::this_thread::sleep_for(kPeriod);
        }
    }

    const int m_rate;
    AudioSource& m_source;
    std::vector<float> m_buffer;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};

} // namespace

std::unique_ptr<AudioStream> NullAudioOutput::openStream(int sampleRate, AudioSource& source) {
    const int rate = m_fixedRate > 0 ? m_fixedRate : sampleRate;
    if (rate <= 0)
        throw EAudioOutputError("Cannot open a sound stream at " + std::to_string(rate) + " Hz");
    return std::make_unique<NullAudioStream>(rate, source);
}

} // namespace cantorix::platform
