#pragma once
// One singer's ear: the capture of one input, the game's own coarse analysis on the live tick,
// the semitone tracker over 50 ms windows counted in captured samples, and that singer's
// scoring. The window's analysis timer and the window-less run drive it alike; a session holds
// one loop per singer. Owns the capture stream, the analysis and the scoring; borrows the device,
// the invoker and the tracker. Main thread (the window-less run's one thread).

#include "pitch/capture_port.h"
#include "pitch/capture_stream.h"
#include "pitch/semitone_tracker_port.h"
#include "pitch/sound.h"
#include "scoring.h"
#include "session_input_control_port.h"
#include "tick_judge.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace cantorix::session {

// The capture every loop sets up. Entry 18 of the formats a device accepts is 44100 Hz, 16 bits,
// mono: what both analyses read. The ring holds more than two seconds, so a stall shorter than
// that loses no window.
inline constexpr std::int32_t kCaptureFormatEntry = 18;
inline constexpr std::int32_t kCaptureRingMs = 2560;
inline constexpr int kCaptureSampleRate = 44100;
// The analysis tick, and the window of samples each semitone reading stands for.
inline constexpr int kAnalysisTickMs = 50;
inline constexpr std::int64_t kAnalysisWindowSamples = kCaptureSampleRate * kAnalysisTickMs / 1000;

// The song time at which a reading of samples ending at endMs is placed: the middle of the
// windowSamples it was measured over.
double readingSongMs(double endMs, std::size_t windowSamples);

struct ListeningParts {
    pitch::CaptureDevice& capture;
    base::MainThreadInvoker& invoker;
    // Reads the semitone of standard songs' windows; without it they hear no voice.
    pitch::SemitoneTracker* semitones = nullptr;
    // Hands captured bytes to the coarse analysis from a notification thread, as a window does;
    // a window-less run that moves its own time calls takeCaptured() instead.
    bool notifyThread = true;
    // Receives the failure that ended the capture, on the main thread.
    std::function<void(const std::exception&)> reportError = {};
};

// How many semitone windows of the running (or last) session were judged, and how many were
// missed because their samples were lost or had left the ring before they could be read.
struct WindowCounts {
    std::int64_t judged = 0;
    std::int64_t missed = 0;
};

class ListeningLoop {
public:
    explicit ListeningLoop(ListeningParts parts);
    ~ListeningLoop();
    ListeningLoop(const ListeningLoop&) = delete;
    ListeningLoop& operator=(const ListeningLoop&) = delete;

    // Starts the capture. Throws what the stream throws; the loop then hears silence.
    void startCapture();
    void stopCapture();

    // A session starts with the song's music at songMs. semitoneJudge judges each semitone
    // window (null: the game's rule alone, on the live tick). recording: the control of an input
    // that plays a recording, whose marks place its samples in the song to the sample; null for
    // a live input, whose samples are placed from the moment the session starts.
    void startSession(const TickJudge* semitoneJudge, std::int64_t songMs,
                      SessionInputControl* recording = nullptr);
    // The music starts now at songMs, when that is later than the session's start: the windows
    // are counted from here.
    void musicStartsAt(std::int64_t songMs);
    // Judges every window complete by songMs, where the song pauses, as a late tick would; while
    // paused no window completes. At resume the count of samples is placed at songMs.
    void pause(std::int64_t songMs);
    void resume(std::int64_t songMs);
    // Judges the windows complete by songMs, then nothing more until the next session.
    void endSession(std::int64_t songMs);

    // The live tick. The game's rule scores the coarse value held from the previous tick while
    // judging has begun and the song names a target, then the coarse analysis runs anew; every
    // semitone window completed since the last tick is read at its own place in the capture and
    // judged at its own song time, in order.
    void tick(bool judging, std::optional<std::uint8_t> judgedPitch);

    // Hands what the capture holds to the coarse analysis (without a notification thread).
    void takeCaptured();

    // A judged window as the stage shows it: where in the song, on which note, and the reading.
    struct HeardTick {
        TickJudgement verdict;
        pitch::SemitoneReading reading;
    };
    // Keeps each judged semitone window until takeHeardTicks() hands it on; off by default, so
    // a run without a stage keeps nothing.
    void keepHeardTicks(bool keep) { m_keepHeardTicks = keep; }
    std::vector<HeardTick> takeHeardTicks() { return std::exchange(m_heardTicks, {}); }

    Scoring& scoring() { return m_scoring; }
    const Scoring& scoring() const { return m_scoring; }
    // The coarse value of the latest live tick (255: no voice) and the latest semitone reading.
    std::uint8_t heldSungValue() const { return m_heldSungValue; }
    const pitch::SemitoneReading& latestReading() const { return m_latestReading; }
    const pitch::TSound& sound() const { return *m_sound; }
    pitch::TSoundCaptureStream& stream() { return *m_stream; }
    const WindowCounts& windows() const { return m_windows; }

private:
    struct Anchor {
        std::int64_t sample = 0; // a captured sample …
        double songMs = 0;       // … and the song time at which it was heard
    };
    bool placeSamples();
    void judgeWindows(std::optional<double> untilMs);
    // The captured sample at which the window ending at song time endMs ends.
    std::int64_t endSampleOf(double endMs) const;

    ListeningParts m_parts;
    std::unique_ptr<pitch::TSound> m_sound;
    std::unique_ptr<pitch::TSoundCaptureStream> m_stream;
    Scoring m_scoring;
    std::uint8_t m_heldSungValue = pitch::kSilenceSungValue;
    pitch::SemitoneReading m_latestReading;
    std::vector<std::int16_t> m_window;

    bool m_inSession = false;
    bool m_paused = false;
    const TickJudge* m_semitoneJudge = nullptr;
    SessionInputControl* m_recording = nullptr;
    double m_sessionStartMs = 0;
    // Windows end at m_sessionStartMs + k × 50 ms; the next one to judge is k = m_nextWindow.
    std::int64_t m_nextWindow = 1;
    // Windows ending before this song time were due before a pause: one not judged by then had
    // no samples to read and is missed.
    double m_resumedAtMs = 0;
    std::optional<Anchor> m_anchor;
    std::int64_t m_lostSeen = 0;
    WindowCounts m_windows;
    bool m_keepHeardTicks = false;
    std::vector<HeardTick> m_heardTicks;
};

} // namespace cantorix::session
