#pragma once
// Port: SessionInputControl. Adapter: platform/sound_input/wav_file_input.h.
// What a singing session tells an input that plays a recording instead of a live voice, so the
// recording lines up with the song: its first sample is heard as the song's audio starts, it
// holds while the song is paused, and the menus hear silence. A live microphone has no use for
// it. Called on the main thread; the input applies each call at the moment it is made.

#include <cstdint>
#include <functional>
#include <optional>

namespace cantorix::session {

// Where a recording stood among the captured samples at one moment: capturedSamples samples had
// reached the capture when recordingFrames of the recording had been heard since it started over.
struct RecordingMark {
    std::int64_t capturedSamples = 0;
    std::int64_t recordingFrames = 0;
};

class SessionInputControl {
public:
    virtual ~SessionInputControl() = default;
    // The song's audio starts now: the recording plays again from its first sample.
    virtual void startOver() = 0;
    // The song is paused: silence until resume() continues where the recording stopped.
    virtual void pause() = 0;
    virtual void resume() = 0;
    // The session is over: silence until the next startOver().
    virtual void silence() = 0;
    // Where the recording stands while it plays, with capturedNow() (the samples the capture has
    // received) read at the same moment; none while it is not playing. A listening loop places
    // the recording's samples in the song with it, to the sample.
    virtual std::optional<RecordingMark> mark(const std::function<std::int64_t()>& capturedNow) = 0;
};

} // namespace cantorix::session
