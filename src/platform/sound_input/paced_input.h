#pragma once
// An input that plays samples from memory into the capture hub at a microphone's pace, then
// silence while it lives. Its own thread keeps the pace on the steady clock; the pacing step
// (FramePacer) stands apart so that tests and the headless session drive it with made-up time.

#include "capture_frame_source.h"
#include "capture_hub.h"
#include "capture_service.h"
#include "session/session_input_control_port.h"

#include <chrono>
#include <concepts>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace cantorix::platform {

class FramePacer {
public:
    // What happens to the samples from a moment of the timeline on.
    enum class Change { StartOver, Pause, Resume, Silence };

    // samples: 44100 Hz mono 16-bit. Playing from the first delivered frame, or silent until a
    // StartOver.
    FramePacer(CaptureHub& hub, std::vector<std::int16_t> samples, bool playing = true);
    // The same for a recording read as it is played. (A template, so that `{}` still means no
    // samples.)
    template <std::derived_from<CaptureFrameSource> Source>
    FramePacer(CaptureHub& hub, std::unique_ptr<Source> recording, bool playing = true)
        : FramePacer(hub, std::unique_ptr<CaptureFrameSource>(std::move(recording)), playing, 0) {}

    // Delivers every frame due by elapsed (time since the start): the samples while playing,
    // zeros otherwise. After a stall of more than a second only the last second's samples are
    // delivered and the frames before them are silence, so that every later frame keeps its
    // place in time (a listener counting frames is never shifted); of a stall beyond a minute
    // the frames before the last minute are skipped. A playing recording moves on with the time.
    void deliverDue(std::chrono::nanoseconds elapsed);
    // Applies change from the frame due at elapsed on; frames due before it are not touched.
    void schedule(Change change, std::chrono::nanoseconds elapsed);
    // Frames the timeline has advanced by, delivered or skipped.
    std::uint64_t position() const { return m_position; }
    // Frames of the recording's own time heard since the last StartOver, counting on after its
    // end; none while it is not playing (before a StartOver, paused, silenced) or while a change
    // waits to be applied, as the count would then describe a stretch that is ending.
    std::optional<std::uint64_t> heardFrames() const {
        if (!m_playing || !m_scheduled.empty())
            return std::nullopt;
        return m_heard;
    }

private:
    FramePacer(CaptureHub& hub, std::unique_ptr<CaptureFrameSource> recording, bool playing, int);

    struct Scheduled {
        std::uint64_t frame;
        Change change;
    };
    void apply(Change change);
    // Moves the timeline on by count frames, handing them to the hub when deliver is set.
    enum class Delivery { Samples, Silence, None };
    void advance(std::uint64_t count, Delivery delivery);

    CaptureHub& m_hub;
    std::unique_ptr<CaptureFrameSource> m_recording;
    bool m_recordingEnded = false; // silence until the next StartOver
    std::uint64_t m_position = 0;
    std::uint64_t m_heard = 0;
    bool m_playing;
    bool m_paused = false;
    std::deque<Scheduled> m_scheduled;
};

class PacedInput : public CaptureSource {
public:
    PacedInput(CaptureHub& hub, std::vector<std::int16_t> samples, std::string description,
               bool playing = true);
    template <std::derived_from<CaptureFrameSource> Source>
    PacedInput(CaptureHub& hub, std::unique_ptr<Source> recording, std::string description,
               bool playing = true)
        : PacedInput(hub, std::unique_ptr<CaptureFrameSource>(std::move(recording)),
                     std::move(description), playing, 0) {}
    // Stops and joins the pacing thread.
    ~PacedInput() override;

    std::string describe() const override { return m_description; }

protected:
    // Main thread: the change takes effect with the frame due now.
    void control(FramePacer::Change change);
    // Main thread: the recording's heard frames and capturedNow(), read while no frame is being
    // delivered, so the two describe the same moment.
    std::optional<session::RecordingMark>
    markRecording(const std::function<std::int64_t()>& capturedNow);

private:
    PacedInput(CaptureHub& hub, std::unique_ptr<CaptureFrameSource> recording,
               std::string description, bool playing, int);

    // Runs on the pacing thread.
    void run();

    FramePacer m_pacer;
    std::string m_description;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::chrono::steady_clock::time_point m_start;
    std::thread m_thread;
};

} // namespace cantorix::platform
