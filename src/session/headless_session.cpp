#include "headless_session.h"

#include "game_timeline.h"
#include "listening_loop.h"
#include "session_clock.h"
#include "standard_timeline.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

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
    void openMedley(const std::vector<std::filesystem::path>&,
                    const std::vector<songs::MedleySegment>& segments) override {
        m_length = songs::medleyLengthMs(segments);
    }
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

// One voice of the song being sung: its timeline, the clock that steps it and, for standard
// songs, its semitone rule, which every singer of the voice is judged by.
struct SungVoice {
    std::unique_ptr<SongTimeline> timeline;
    std::unique_ptr<StandardJudge> judge;
    std::unique_ptr<SessionClock> clock;
};

SungVoice prepareVoice(const HeadlessSong& song, std::size_t voice, const HeadlessOptions& options,
                       ManualSongPlayer& player, const songs::SongFile& noGameSong) {
    SungVoice sung;
    if (song.standard) {
        auto standard = std::make_unique<StandardTimeline>(*song.standard);
        standard->setVoice(static_cast<int>(voice));
        standard->startSession();
        sung.judge =
            std::make_unique<StandardJudge>(standard->voice(), options.difficulty, options.delayMs);
        sung.timeline = std::move(standard);
    } else {
        auto game = std::make_unique<GameTimeline>(song.game ? *song.game : noGameSong);
        game->startSession();
        sung.timeline = std::move(game);
    }
    sung.clock = std::make_unique<SessionClock>(player, *sung.timeline);
    return sung;
}

// The voice a singer sings as the run keys it: the game's format has one.
std::size_t voiceKey(const HeadlessSong& song, const HeadlessSinger& singer) {
    if (!song.standard)
        return 0;
    const std::size_t voices = std::max<std::size_t>(1, song.standard->voices.size());
    if (singer.voice >= voices)
        throw std::out_of_range("the song has " + std::to_string(song.standard->voices.size()) +
                                " voice(s), not " + std::to_string(singer.voice + 1));
    return singer.voice;
}

// A singer during the run: their input, the voice they sing and their own listening loop.
struct SingerRun {
    HeadlessInput* input = nullptr;
    SungVoice* voice = nullptr;
    std::unique_ptr<ListeningLoop> loop;
};

HeadlessScore scoreOf(const SingerRun& run, std::int64_t endMs) {
    const Scoring& scoring = run.loop->scoring();
    HeadlessScore score;
    score.notePoints = scoring.notePoints();
    score.lineBonus = scoring.lineBonus();
    score.goldenPoints = scoring.goldenPoints();
    score.total = scoring.total();
    score.possible = scoring.possible();
    score.lines = scoring.lines();
    score.endMs = endMs;
    score.missedWindows = run.loop->windows().missed;
    return score;
}

// The recording arrives in the file input's 10 ms steps and the capture hands it to the game's
// coarse analysis on its own 50 ms schedule, as in the window.
void stepSinger(SingerRun& run, std::int64_t t) {
    if (t % kHeadlessInputMs == kHeadlessInputPhaseMs)
        run.input->deliverDue(std::chrono::milliseconds(t));
    if (t % kAnalysisTickMs == kAnalysisTickMs - kHeadlessCaptureLeadMs)
        run.loop->takeCaptured();
    if (t % kAnalysisTickMs == 0)
        run.loop->tick(run.voice->timeline->judging(), run.voice->timeline->judgedPitch());
}

} // namespace

std::vector<HeadlessScore> singWithoutWindow(const HeadlessSong& song,
                                             const std::vector<HeadlessSinger>& singers,
                                             const HeadlessOptions& options) {
    if (singers.empty())
        return {};
    songs::SongFile noGameSong;
    const std::int64_t unbounded = std::numeric_limits<std::int32_t>::max();
    ManualSongPlayer player(options.lengthMs > 0 ? options.lengthMs : unbounded);
    std::map<std::size_t, SungVoice> voices;
    for (const HeadlessSinger& singer : singers) {
        const std::size_t key = voiceKey(song, singer);
        if (!voices.contains(key))
            voices.emplace(key, prepareVoice(song, key, options, player, noGameSong));
    }
    // The voices of one song share where its music starts.
    SongTimeline& anyTimeline = *voices.begin()->second.timeline;
    if (const std::int64_t start = anyTimeline.startMs(); start > 0)
        player.setStartPosition(start);
    for (auto& [key, voice] : voices)
        voice.timeline->startFirstLines();

    InlineInvoker invoker;
    std::vector<SingerRun> runs;
    for (const HeadlessSinger& singer : singers) {
        SungVoice& voice = voices.at(voiceKey(song, singer));
        auto loop = std::make_unique<ListeningLoop>(
            ListeningParts{.capture = singer.input->capture,
                           .invoker = invoker,
                           .semitones = song.standard ? singer.input->tracker : nullptr,
                           .notifyThread = false});
        loop->startCapture();
        // The recording starts with the music: its first sample is the first the capture receives.
        loop->startSession(voice.judge.get(), player.position());
        if (voice.judge)
            loop->scoring().setLines(voice.judge->lineStartsMs());
        runs.push_back({singer.input, &voice, std::move(loop)});
    }
    const auto lyricsFinished = [&voices] {
        return std::all_of(voices.begin(), voices.end(), [](const auto& entry) {
            return entry.second.timeline->lyricsFinished();
        });
    };
    std::optional<std::int64_t> lyricsEndedAt;
    std::int64_t t = 5;
    for (;; t += 5) {
        player.setElapsed(t);
        for (SingerRun& run : runs)
            stepSinger(run, t);
        if (t % kHeadlessClockMs != 0)
            continue;
        if (!lyricsEndedAt && lyricsFinished())
            lyricsEndedAt = player.position();
        if (options.lengthMs <= 0 && lyricsEndedAt)
            player.setLength(std::max(*lyricsEndedAt + kHeadlessTailMs, player.position()));
        bool ended = false;
        for (auto& [key, voice] : voices)
            ended = voice.clock->tick().ended || ended;
        if (ended || (options.lengthMs <= 0 && t >= kNoAudioLimitMs))
            break;
    }
    std::vector<HeadlessScore> scores;
    for (SingerRun& run : runs) {
        // Everything sung until the end is heard: the windows that end by then are judged.
        run.input->deliverDue(std::chrono::milliseconds(t));
        run.loop->endSession(player.position());
        run.loop->stopCapture();
        scores.push_back(scoreOf(run, player.position()));
    }
    return scores;
}

HeadlessScore singWithoutWindow(const HeadlessSong& song, HeadlessInput& input,
                                const HeadlessOptions& options) {
    return singWithoutWindow(song, {{&input, song.voice}}, options).front();
}

} // namespace cantorix::session
