#pragma once
// The click player over the game's sound output and its one capture: plays a mono signal on a
// stream of its own while a capture subscription listens, and puts both on the steady clock
// (the output's render time plus its latency; the capture's arrival at the main thread).
// Main thread, except the stream's source, which runs on the output's device thread.

#include "capture_service.h"
#include "platform/sound_output/audio_output.h"
#include "session/click_player_port.h"

#include <atomic>
#include <memory>
#include <vector>

namespace cantorix::platform {

class OutputClickPlayer : public session::ClickPlayer {
public:
    OutputClickPlayer(AudioOutput& output, CaptureService& capture);
    ~OutputClickPlayer() override;
    OutputClickPlayer(const OutputClickPlayer&) = delete;
    OutputClickPlayer& operator=(const OutputClickPlayer&) = delete;

    void start(const std::vector<float>& signal, int sampleRate) override;
    void collect() override;
    bool played() const override;
    session::ClickRoundRecording finish() override;

private:
    // Device thread: plays the signal once, then silence, noting when it was first asked.
    class Source : public AudioSource {
    public:
        void render(float* out, std::size_t frames) noexcept override;
        std::vector<float> samples;
        std::atomic<std::size_t> position{0};
        std::atomic<double> firstRenderAt{-1.0};
    };
    void stop();

    AudioOutput& m_output;
    CaptureService& m_capture;
    Source m_source;
    std::unique_ptr<AudioStream> m_stream;
    std::unique_ptr<CaptureHub::Subscription> m_listening;
    double m_listenStartedAt = 0;
    std::vector<std::int16_t> m_captured;
    double m_firstCapturedAt = 0;
    int m_streamRate = 0;
};

} // namespace cantorix::platform
