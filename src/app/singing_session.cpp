#include "singing_session.h"

#include "audio/recording_paths.h"
#include "error_guard.h"

#include <QFileDialog>

namespace cantorix::app {

namespace {

// The options panel's design values, used until its controls carry them: every part of the
// singing screen shown, white bars, highlight and trail, transparency position 8.
constexpr TColor kDefaultTabColour = clWhite;
constexpr TColor kActualTabColour = clWhite;
constexpr TColor kTextColour = clWhite;
constexpr int kTransparencyPosition = 8;
constexpr const char* kDefaultExportName = "Mysong.wav";

constexpr int kOscilloscopeStride = 64;

session::LaneScene laneScene(GameScene& g) {
    return {*g.SingText,          *g.Tabulature, *g.SingTab, *g.GLHUDSprite11,
            g.GLMaterialLibrary1, g.SingingText, 766};
}

} // namespace

SingingSession::SingingSession(GameScene& game, Screens& screens,
                               session::HallOfFameList& hallOfFame, SessionServices services,
                               QWidget& window, QTimer& analysisTimer)
    : m_game(game), m_screens(screens), m_hallOfFame(hallOfFame), m_services(std::move(services)),
      m_window(window), m_analysisTimer(analysisTimer), m_lane(laneScene(game), m_services.song),
      m_clock(m_services.player, {*game.Text, *game.Gauge, *game.Progress, *game.Pause},
              m_services.song, m_lane),
      m_scoring(*game.Point), m_exportFileName(kDefaultExportName) {
    m_recorder = std::make_unique<audio::TStockAudioRecorder>(
        m_services.recorderDevice, m_services.invoker,
        [this](const std::exception& e) { presentError(&m_window, QString::fromUtf8(e.what())); });
    audio::configureForPerformance(*m_recorder);
    // The clock waits its full interval after each tick: the period is the interval plus the
    // time the tick takes.
    ThreadedTimer1.setSingleShot(true);
    ThreadedTimer1.setInterval(kClockIntervalMs);
    ThreadedTimer1.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ThreadedTimer1, &QTimer::timeout, &window,
                     guarded(&window, [this] { ThreadedTimer1Timer(); }));

    const auto click = [this](void (SingingSession::*handler)()) {
        return [this, handler](TGLBaseControl&) { (this->*handler)(); };
    };
    game.Pause->onButtonClick = click(&SingingSession::PauseButtonClick);
    game.Play->onButtonClick = click(&SingingSession::PlayButtonClick);
    game.Rewind->onButtonClick = click(&SingingSession::RewindButtonClick);
    game.GLButton7->onButtonClick = click(&SingingSession::GLButton7ButtonClick);
    game.GLButton8->onButtonClick = click(&SingingSession::GLButton8ButtonClick);
    screens.startSession = [this] { StartSession(); };
    screens.endSession = [this] { EndSession(); };
}

SingingSession::~SingingSession() {
    shutDown();
}

void SingingSession::shutDown() {
    setClockEnabled(false);
    if (m_recorder)
        m_recorder->stop();
}

void SingingSession::setClockEnabled(bool enabled) {
    m_clockEnabled = enabled;
    if (enabled)
        ThreadedTimer1.start();
    else
        ThreadedTimer1.stop();
}

void SingingSession::StartSession() {
    m_lane.lines().resetLyricsState();
    if (m_game.Firstpage->visible()) {
        m_services.reloadSong();
        m_analysisTimer.start();
        m_game.Root3->setTag(1);
        m_scoring.startSession();
        m_game.Firstpage->setVisible(false);
        m_game.Singing->setVisible(true);
        m_lane.startSession();
        startRecording();
        setClockEnabled(true);
        if (!startMusic())
            return;
        m_lane.lines().BuildLines();
        m_clock.showLeadIn();
        showSelectedParts();
    }
    applyColourOptions();
}

void SingingSession::startRecording() {
    // Singing goes on without a recording; the player is told why there is none.
    runGuarded(&m_window, [this] {
        audio::ensureMixBufferDirectory(m_services.programDir);
        m_recorder->recordToFile(audio::performanceRecordingPath(m_services.programDir));
    });
}

bool SingingSession::startMusic() {
    try {
        m_services.player.setFileName(m_services.song.audioPath());
        m_services.player.open();
        m_services.player.play();
        return true;
    } catch (const std::exception& e) {
        // Without music there is no position to follow: say why and end the session at once.
        presentError(&m_window, QString::fromUtf8(e.what()));
        EndSession();
        return false;
    }
}

void SingingSession::showSelectedParts() {
    GameScene& g = m_game;
    // Every toggle of the options is on until the options panel carries them.
    const std::initializer_list<TGLBaseSceneObject*> parts = {g.Stages, g.SingTab,  g.Tabulature,
                                                              g.LeadIn, g.SingText, g.Oscillo,
                                                              g.Vibro,  g.Song,     g.Indicator};
    for (TGLBaseSceneObject* part : parts)
        part->setVisible(true);
}

void SingingSession::applyColourOptions() {
    const float alpha = static_cast<float>(kTransparencyPosition + 10) / 100.0f;
    const std::pair<const char*, TColor> knobs[] = {
        {"Knob1", kDefaultTabColour}, {"Knob2", kActualTabColour}, {"Knob3", kTextColour}};
    for (const auto& [name, colour] : knobs)
        if (TGLLibMaterial* m = m_game.GLMaterialLibrary1.materialByName(name))
            m->setDiffuse(toColorF(colour, alpha));
    m_lane.lines().setTextColour(kTextColour);
    m_exportFileName = kDefaultExportName;
}

void SingingSession::showTransport(bool playing) {
    m_game.Pause->setVisible(playing);
    m_game.Play->setVisible(!playing);
    m_game.Rewind->setVisible(!playing);
}

void SingingSession::EndSession() {
    showTransport(true);
    // A recording that cannot be finished is reported; the session still ends.
    runGuarded(&m_window, [this] {
        m_recorder->stop();
        m_recorder->setActive(false);
    });
    m_analysisTimer.stop();
    m_game.Root3->setTag(0);
    m_services.player.stop();
    m_services.player.close();
    m_game.Singing->setVisible(false);
    m_game.Scorepage->setVisible(true);
    m_game.root2->setTag(1);
    setClockEnabled(false);
    fillScorePage();
}

void SingingSession::fillScorePage() {
    const session::ScorePageValues v =
        session::scorePageValues(m_scoring.notePoints(), m_scoring.lineBonus());
    m_game.Score1->setCaption(v.notes);
    m_game.score2->setCaption(v.bonus);
    m_game.Total->setCaption(v.total);
    m_game.Gauge1->setHeight(v.gaugeHeight);
    m_game.Gauge1->setTop(v.gaugeTop);
}

void SingingSession::ThreadedTimer1Timer() {
    if (!m_clockEnabled)
        return;
    if (m_clock.tick())
        EndSession();
    else if (m_clockEnabled)
        ThreadedTimer1.start();
}

void SingingSession::beforeAnalysis(std::uint8_t previousSungValue) {
    if (!m_lane.UpdateVoiceTrail(previousSungValue))
        return;
    m_scoring.setTargetPitch(m_lane.targetPitch());
    m_scoring.scoreTick(previousSungValue);
}

void SingingSession::refreshOscilloscope(const pitch::TSound& sound) {
    const auto samples = sound.samples();
    TGLBaseSceneObject& bars = *m_game.Sprites;
    // Bar 0 has no sample of its own and keeps its design height.
    for (int i = 1; i < bars.count(); ++i) {
        auto* bar = dynamic_cast<TGLHUDSprite*>(&bars.child(i));
        const std::size_t index = static_cast<std::size_t>(kOscilloscopeStride * i);
        if (!bar || index >= samples.size())
            continue;
        const float height = samples[index] / 1.5f / 550.0f + 2.0f;
        bar->setHeight(height);
        Vec3 p = bar->position();
        p.y = 165.0f - height / 2.0f;
        bar->setPosition(p);
    }
}

void SingingSession::PauseButtonClick() {
    showTransport(false);
    m_services.player.pause();
    m_analysisTimer.stop();
}

void SingingSession::PlayButtonClick() {
    m_analysisTimer.start();
    showTransport(true);
    m_services.player.resume();
}

void SingingSession::RewindButtonClick() {
    m_game.SingTab->deleteChildren();
    m_game.SingTab->setTag(0);
    m_analysisTimer.stop();
    showTransport(true);
    EndSession();
    m_screens.GLButton23ButtonClick();
    m_screens.StartButtonClick();
}

void SingingSession::GLButton7ButtonClick() {
    m_hallOfFame.add(session::hallOfFameEntry(m_scoring.total(), m_game.GLEdit2->caption()));
    m_screens.GLButton23ButtonClick();
}

void SingingSession::GLButton8ButtonClick() {
    m_recorder->setActive(false);
    // Confirming leads back to the song selection too until the export window joins.
    QFileDialog::getSaveFileName(&m_window, QStringLiteral("Save"),
                                 QString::fromStdString(m_exportFileName),
                                 QStringLiteral("Mpeg3 Layer (*.mp3)"));
    m_screens.GLButton23ButtonClick();
}

} // namespace cantorix::app
