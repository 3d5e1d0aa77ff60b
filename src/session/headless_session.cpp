#include "headless_session.h"

#include "analysis_tick_step.h"
#include "game_timeline.h"
#include "pitch/capture_stream.h"
#include "pitch/sound.h"
#include "session_clock.h"
#include "standard_timeline.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <optional>

namespace cantorix::session {

namespace {

// The session's music without sound: the position is whatever the made-up clock says, and the
// end comes exactly at the length, as the real player reports it.
class ManualSongPlayer : public songs::MediaPlayer {
public:
    explicit ManualSongPlayer(std::int64_t lengthMs) : m_length(lengthMs) {}
    void setElapsed(std::int64_t ms) { m_elapsed = ms; }
    void setLength(std::int64_t ms) { m_length = ms; }

    void setFileName(const std::filesystem::path&) override {}
    void open() override {}
    void play() override {}
    void pause() override {}
    void resume() override {}
    void stop() override {}
    void close() override {}
    std::int64_t position() const override { return std::min(m_start + m_elapsed, m_length); }
    std::int64_t length() const override { return m_length; }
    void setStartPosition(std::int64_t ms) override {
        m_start = std::clamp<std::int64_t>(ms, 0, m_length);
    }

private:
    std::int64_t m_length;
    std::int64_t m_start = 0;
    std::int64_t m_elapsed = 0;
};

// Nothing is posted: the run hands each capture burst to the analysis itself.
class InlineInvoker : public base::MainThreadInvoker {
public:
    void post(std::function<void()> task) override { task(); }
};

constexpr std::int32_t kGameCaptureFormat = 18; // 44100 Hz, 16 bits, mono
constexpr std::int32_t kGameBufferLength = 512;
// A song without audio whose lyrics never end (it has no note) still ends.
constexpr std::int64_t kNoAudioLimitMs = 2 * 3600 * 1000;

} // namespace

HeadlessScore singWithoutWindow(const HeadlessSong& song, HeadlessInput& input,
                                const HeadlessOptions& options) {
    songs::SongFile noGameSong;
    std::unique_ptr<SongTimeline> timeline;
    std::unique_ptr<TickJudge> judge;
    Scoring scoring;
    scoring.startSession();
    if (song.standard) {
        auto standard = std::make_unique<StandardTimeline>(*song.standard);
        standard->setVoice(static_cast<int>(song.voice));
        standard->startSession();
        auto semitones =
            std::make_unique<StandardJudge>(standard->voice(), options.difficulty, options.delayMs);
        scoring.setLines(semitones->lineStartsMs());
        judge = std::move(semitones);
        timeline = std::move(standard);
    } else {
        auto game = std::make_unique<GameTimeline>(song.game ? *song.game : noGameSong);
        game->startSession();
        judge = std::make_unique<GameJudge>(*game);
        timeline = std::move(game);
    }
    const std::int64_t unbounded = std::numeric_limits<std::int32_t>::max();
    ManualSongPlayer player(options.lengthMs > 0 ? options.lengthMs : unbounded);
    SessionClock clock(player, *timeline);
    if (const std::int64_t start = timeline->startMs(); start > 0)
        player.setStartPosition(start);
    timeline->startFirstLines();

    InlineInvoker invoker;
    pitch::TSoundCaptureStream stream(input.capture, invoker, [](const std::exception&) {});
    stream.setCaptureFormat(kGameCaptureFormat);
    stream.setBufferLength(kGameBufferLength);
    stream.start();
    pitch::TSound sound;
    sound.setCaptureStream(&stream);
    std::vector<std::int16_t> newest(input.tracker ? input.tracker->windowSamples() : 0);

    AnalysisTickStep step(scoring, *timeline, *judge);
    step.startSession(*timeline, *judge, song.standard != nullptr);
    std::optional<std::int64_t> lyricsEndedAt;
    for (std::int64_t t = 5;; t += 5) {
        player.setElapsed(t);
        // The recording arrives in the file input's 10 ms steps and the capture hands it to the
        // game's analysis on its own 50 ms schedule; the semitone reading looks at the capture
        // itself at the tick.
        if (t % kHeadlessInputMs == kHeadlessInputPhaseMs)
            input.deliverDue(std::chrono::milliseconds(t));
        if (t % kHeadlessAnalysisMs == kHeadlessAnalysisMs - kHeadlessCaptureLeadMs &&
            stream.filledSize() > 0)
            sound.OnSoundCaptured(stream);
        if (t % kHeadlessAnalysisMs == 0) {
            step.scoreHeld();
            sound.Analyse();
            pitch::SemitoneReading semitone;
            if (input.tracker && song.standard) {
                stream.peekNewest(newest);
                semitone = input.tracker->analyse(newest);
            }
            step.hold(sound.sungValue(), semitone, newest.size(), player.position());
        }
        if (t % kHeadlessClockMs != 0)
            continue;
        if (!lyricsEndedAt && timeline->lyricsFinished())
            lyricsEndedAt = player.position();
        if (options.lengthMs <= 0 && lyricsEndedAt)
            player.setLength(std::max(*lyricsEndedAt + kHeadlessTailMs, player.position()));
        if (clock.tick().ended || (options.lengthMs <= 0 && t >= kNoAudioLimitMs))
            break;
    }
    stream.stop();
    return {scoring.notePoints(), scoring.lineBonus(), scoring.total(),
            scoring.possible(),   scoring.lines(),     player.position()};
}

} // namespace cantorix::session
