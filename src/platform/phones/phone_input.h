#pragma once
// One phone seat's sound as a microphone: the frames a phone sends, resampled to the capture's
// 44100 Hz with soxr and placed in the capture hub at the time their first sample was captured
// (mapped to the game's steady clock), so that a listening loop reads them where they belong in
// the song. Missing sound (a frame lost, a dropout, no phone at all) is silence of the same
// length, never a shift: once a stretch is kWaitForLate behind the present, silence stands in
// for it and anything arriving for it later is dropped. Frames stamped more than a second ahead
// of the present are refused. A pacing thread of its own is the hub's one producer.
//
// The session lines the input up as it does a recording (SessionInputControl): mark() says
// which song time the next captured sample has, counting the time since startOver() less the
// pauses, so a phone's samples are placed by their capture time, not by when they arrived.

#include "platform/sound_input/capture_hub.h"
#include "platform/sound_input/capture_service.h"
#include "session/session_input_control_port.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace cantorix::platform {

class PhoneInput : public CaptureSource, public session::SessionInputControl {
public:
    using Clock = std::chrono::steady_clock;
    // A Wi-Fi hiccup of a few hundred milliseconds is common: a stretch is waited for that long
    // before silence stands in for it. Sound that comes in order is handed on at once.
    static constexpr std::chrono::milliseconds kWaitForLate{300};
    static constexpr std::chrono::seconds kFurthestAhead{1};

    // Delivers silence from now on until a phone streams. description: "Phone 3".
    PhoneInput(CaptureHub& hub, std::string description);
    // Stops and joins the pacing thread.
    ~PhoneInput() override;
    PhoneInput(const PhoneInput&) = delete;
    PhoneInput& operator=(const PhoneInput&) = delete;

    std::string describe() const override;

    // Any thread (the server's): a phone starts streaming at sampleRate (8000..96000), after a
    // join or a resume. Its frames follow through write().
    void beginStream(int sampleRate);
    // Any thread: samples captured from firstSampleTime on (the game's steady clock). False when
    // the frame is refused (no stream begun, or from more than kFurthestAhead in the future);
    // samples for a stretch already delivered are dropped, and that is no refusal.
    bool write(Clock::time_point firstSampleTime, std::span<const std::int16_t> samples);
    // Any thread: the phone is gone; silence from now on.
    void endStream();

    // The loudness of the latest 50 ms delivered, 0..1 (for the level meter on the singers screen).
    float level() const;
    // Samples dropped because they came too late, and frames refused, since construction.
    std::uint64_t lateSamples() const;
    std::uint64_t refusedFrames() const;

    // SessionInputControl, main thread.
    void startOver() override;
    void pause() override;
    void resume() override;
    void silence() override;
    std::optional<session::RecordingMark>
    mark(const std::function<std::int64_t()>& capturedNow) override;
    // When the latest startOver() came: the song's first sample is heard then. Nothing before
    // the first and after silence().
    std::optional<Clock::time_point> startedOverAt() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace cantorix::platform
