#include "headless_session.h"

#include "analysis_tick_step.h"
#include "note_lane.h"
#include "pitch/capture_stream.h"
#include "pitch/sound.h"
#include "session_clock.h"
#include "standard_lane.h"

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

// Glyphs of one size and no pixels: the lanes lay their lines out, nothing is drawn.
class BlankGlyphs : public scene::GlyphRasterizer {
public:
    scene::FontMetrics metrics(const scene::FontSpec& style) override {
        const int h = std::abs(style.height);
        return {h * 3 / 4, h / 4, h};
    }
    scene::GlyphBitmap render(const scene::FontSpec& style, char32_t) override {
        scene::GlyphBitmap glyph;
        glyph.advance = std::abs(style.height) / 2;
        return glyph;
    }
};

class NoPictures : public scene::ImageLoader {
public:
    scene::Image load(const std::filesystem::path&) override { return {}; }
};

// Nothing is posted: the run hands each capture burst to the analysis itself.
class InlineInvoker : public base::MainThreadInvoker {
public:
    void post(std::function<void()> task) override { task(); }
};

// The scene objects the lanes and the clock draw into, standing in for the singing screen.
struct HeadlessScene {
    BlankGlyphs glyphs;
    NoPictures pictures;
    scene::TGLBitmapFont font{"SingingText", {"Arial", 27, true, scene::clWhite}, glyphs};
    scene::TGLMaterialLibrary materials{"GLMaterialLibrary1", pictures, "/"};
    scene::TGLDummyCube singText{"SingText"}, tabulature{"Tabulature"}, singTab{"SingTab"};
    scene::TGLHUDSprite hudSprite11{"GLHUDSprite11"}, gauge{"Gauge"}, progress{"Progress"};
    scene::TGLHUDText text{"Text"};
    scene::TGLDummyCube pause{"Pause"}, point{"Point"};

    LaneScene lane() { return {singText, tabulature, singTab, hudSprite11, materials, font, 766}; }
    ClockScene clock() { return {text, gauge, progress, pause}; }
};

constexpr std::int32_t kGameCaptureFormat = 18; // 44100 Hz, 16 bits, mono
constexpr std::int32_t kGameBufferLength = 512;
// A song without audio whose lyrics never end (it has no note) still ends.
constexpr std::int64_t kNoAudioLimitMs = 2 * 3600 * 1000;

} // namespace

HeadlessScore singWithoutWindow(const HeadlessSong& song, HeadlessInput& input,
                                const HeadlessOptions& options) {
    HeadlessScene stage;
    songs::SongFile noGameSong;
    std::unique_ptr<SongLane> lane;
    std::unique_ptr<TickJudge> judge;
    Scoring scoring(stage.point);
    scoring.startSession();
    if (song.standard) {
        auto standard = std::make_unique<StandardLane>(stage.lane(), *song.standard);
        standard->setVoice(static_cast<int>(song.voice));
        standard->startSession();
        auto semitones = std::make_unique<StandardJudge>(standard->timeline(), options.difficulty,
                                                         options.delayMs);
        scoring.setLines(semitones->lineStartsMs());
        judge = std::move(semitones);
        lane = std::move(standard);
    } else {
        auto game = std::make_unique<NoteLane>(stage.lane(), song.game ? *song.game : noGameSong);
        game->startSession();
        judge = std::make_unique<GameJudge>(*game);
        lane = std::move(game);
    }
    const std::int64_t unbounded = std::numeric_limits<std::int32_t>::max();
    ManualSongPlayer player(options.lengthMs > 0 ? options.lengthMs : unbounded);
    SessionClock clock(player, stage.clock(), *lane);
    if (const std::int64_t start = lane->startMs(); start > 0)
        player.setStartPosition(start);
    lane->buildFirstLines();
    clock.showLeadIn();

    InlineInvoker invoker;
    pitch::TSoundCaptureStream stream(input.capture, invoker, [](const std::exception&) {});
    stream.setCaptureFormat(kGameCaptureFormat);
    stream.setBufferLength(kGameBufferLength);
    stream.start();
    pitch::TSound sound;
    sound.setCaptureStream(&stream);
    std::vector<std::int16_t> newest(input.tracker ? input.tracker->windowSamples() : 0);

    AnalysisTickStep step(scoring, *lane, *judge);
    step.startSession(*lane, *judge,
                      song.standard ? static_cast<StandardLane*>(lane.get()) : nullptr);
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
        if (!lyricsEndedAt && lane->lyricsFinished())
            lyricsEndedAt = player.position();
        if (options.lengthMs <= 0 && lyricsEndedAt)
            player.setLength(std::max(*lyricsEndedAt + kHeadlessTailMs, player.position()));
        if (clock.tick() || (options.lengthMs <= 0 && t >= kNoAudioLimitMs))
            break;
    }
    stream.stop();
    return {scoring.notePoints(), scoring.lineBonus(), scoring.total(),
            scoring.possible(),   scoring.lines(),     player.position()};
}

} // namespace cantorix::session
