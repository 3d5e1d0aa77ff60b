#include "headless_session.h"

#include "game_timeline.h"
#include "listening_loop.h"
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

// A song without audio whose lyrics never end (it has no note) still ends.
constexpr std::int64_t kNoAudioLimitMs = 2 * 3600 * 1000;

} // namespace

HeadlessScore singWithoutWindow(const HeadlessSong& song, HeadlessInput& input,
                                const HeadlessOptions& options) {
    songs::SongFile noGameSong;
    std::unique_ptr<SongTimeline> timeline;
    std::unique_ptr<StandardJudge> judge;
    if (song.standard) {
        auto standard = std::make_unique<StandardTimeline>(*song.standard);
        standard->setVoice(static_cast<int>(song.voice));
        standard->startSession();
        auto semitones =
            std::make_unique<StandardJudge>(standard->voice(), options.difficulty, options.delayMs);
        judge = std::move(semitones);
        timeline = std::move(standard);
    } else {
        auto game = std::make_unique<GameTimeline>(song.game ? *song.game : noGameSong);
        game->startSession();
        timeline = std::move(game);
    }
    const std::int64_t unbounded = std::numeric_limits<std::int32_t>::max();
    ManualSongPlayer player(options.lengthMs > 0 ? options.lengthMs : unbounded);
    SessionClock clock(player, *timeline);
    if (const std::int64_t start = timeline->startMs(); start > 0)
        player.setStartPosition(start);
    timeline->startFirstLines();

    InlineInvoker invoker;
    ListeningLoop loop({.capture = input.capture,
                        .invoker = invoker,
                        .semitones = song.standard ? input.tracker : nullptr,
                        .notifyThread = false});
    loop.startCapture();
    // The recording starts with the music: its first sample is the first the capture receives.
    loop.startSession(judge.get(), player.position());
    if (judge)
        loop.scoring().setLines(judge->lineStartsMs());
    std::optional<std::int64_t> lyricsEndedAt;
    std::int64_t t = 5;
    for (;; t += 5) {
        player.setElapsed(t);
        // The recording arrives in the file input's 10 ms steps and the capture hands it to the
        // game's coarse analysis on its own 50 ms schedule, as in the window.
        if (t % kHeadlessInputMs == kHeadlessInputPhaseMs)
            input.deliverDue(std::chrono::milliseconds(t));
        if (t % kAnalysisTickMs == kAnalysisTickMs - kHeadlessCaptureLeadMs)
            loop.takeCaptured();
        if (t % kAnalysisTickMs == 0)
            loop.tick(timeline->judging(), timeline->judgedPitch());
        if (t % kHeadlessClockMs != 0)
            continue;
        if (!lyricsEndedAt && timeline->lyricsFinished())
            lyricsEndedAt = player.position();
        if (options.lengthMs <= 0 && lyricsEndedAt)
            player.setLength(std::max(*lyricsEndedAt + kHeadlessTailMs, player.position()));
        if (clock.tick().ended || (options.lengthMs <= 0 && t >= kNoAudioLimitMs))
            break;
    }
    // Everything sung until the end is heard: the windows that end by then are judged.
    input.deliverDue(std::chrono::milliseconds(t));
    loop.endSession(player.position());
    loop.stopCapture();
    const Scoring& scoring = loop.scoring();
    return {scoring.notePoints(), scoring.lineBonus(), scoring.total(),      scoring.possible(),
            scoring.lines(),      player.position(),   loop.windows().missed};
}

} // namespace cantorix::session
