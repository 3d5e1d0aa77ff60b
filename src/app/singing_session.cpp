#include "singing_session.h"

#include "audio/recording_paths.h"
#include "error_guard.h"
#include "options_form.h"
#include "player_pictures.h"
#include "score_page.h"
#include "session_performances.h"
#include "singing_bands.h"
#include "stage/line_rating.h"
#include "stage/stage_palette.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

constexpr int kOscilloscopeStride = 64;
// How much of the tab colours' opacity freestyle notes keep.
constexpr float kFaintShare = 0.35f;

} // namespace

SingingSession::SingingSession(GameScene& game, Screens& screens,
                               session::HallOfFameList& hallOfFame, SessionServices services,
                               QWidget& window, QTimer& analysisTimer)
    : m_game(game), m_screens(screens), m_hallOfFame(hallOfFame), m_services(std::move(services)),
      m_window(window), m_analysisTimer(analysisTimer),
      m_gameLane(bandLaneScene(game, 0, 1), m_services.song),
      m_standardLane(bandLaneScene(game, 0, 1),
                     m_services.selected ? m_services.selected->standard : m_noSong),
      m_secondBand(bandLaneScene(game, 1, 2),
                   m_services.selected ? m_services.selected->standard : m_noSong),
      m_singerScores(bandSingerScores(game)),
      m_clock(m_services.player,
              {*game.singing.timeText, *game.singing.songProgress, *game.singing.leadInBar,
               *game.singing.pauseButton},
              m_gameLane),
      m_party(m_services.party), m_exportFileName(game.options.sound.exportName->caption()) {
    m_saveDialog = fileSaveExportDialog(m_services.programDir);
    m_recorder = std::make_unique<audio::TStockAudioRecorder>(
        m_services.inputs.recorder(), m_services.invoker,
        [this](const std::exception& e) { presentError(&m_window, QString::fromUtf8(e.what())); });
    audio::configureForPerformance(*m_recorder);
    // The clock waits its full interval after each tick: the period is the interval plus the
    // time the tick takes.
    m_clockTimer.setSingleShot(true);
    m_clockTimer.setInterval(kClockIntervalMs);
    m_clockTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_clockTimer, &QTimer::timeout, &window,
                     guarded(&window, [this] { clockTick(); }));

    const auto click = [this](void (SingingSession::*handler)()) {
        return [this, handler](TGLBaseControl&) { (this->*handler)(); };
    };
    game.singing.pauseButton->onButtonClick = click(&SingingSession::pauseSong);
    game.singing.playButton->onButtonClick = click(&SingingSession::resumeSong);
    game.singing.rewindButton->onButtonClick = click(&SingingSession::restartSong);
    game.scorePage.submitButton->onButtonClick = click(&SingingSession::submitScore);
    game.scorePage.saveButton->onButtonClick = click(&SingingSession::exportPerformance);
    screens.startSession = [this] { startSession(); };
    screens.endSession = [this] { endSession(); };
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
        m_clockTimer.start();
    else
        m_clockTimer.stop();
}

void SingingSession::startSession() {
    m_gameLane.lines().resetLyricsState();
    if (m_game.selection.group->visible()) {
        m_services.reloadSong();
        chooseLane();
        m_analysisTimer.start();
        m_game.singing.guiRoot->setTag(1);
        m_game.selection.group->setVisible(false);
        m_game.singing.group->setVisible(true);
        m_outcomes.clear();
        m_news.clear();
        m_lineWords.clear();
        m_judgedAny = false;
        m_startedAtMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
        gatherParty();
        if (m_services.phones)
            m_services.phones->sessionStarted();
        m_phoneShown = {};
        m_lane->startSession();
        chooseJudges();
        m_timings = {};
        startRecording();
        setClockEnabled(true);
        if (!startMusic())
            return;
        const SessionOptions options = readSessionOptions(m_game);
        // The first line already shows in this session's text colour.
        m_lane->setTextColour(options.textColour);
        m_lane->buildFirstLines();
        if (m_twoBands)
            m_secondBand.buildFirstLines();
        m_clock.showLeadIn();
        startVideo(options.videoSpeedPosition, options.videoQuality);
        showBackground();
        showSelectedParts();
        cutStripsFromBackground(m_game, m_twoBands ? 2 : 1);
        if (m_services.started)
            m_services.started(m_services.player.length());
    }
    applyColourOptions();
    showSingerTrails();
}

void SingingSession::gatherParty() {
    std::vector<PartySinger> singers =
        m_services.gatherSingers ? m_services.gatherSingers() : std::vector<PartySinger>{};
    const bool standard = standardSong();
    const std::size_t voiceCount = standard ? m_services.selected->standard.voices.size() : 1;
    std::vector<std::size_t> chosen;
    if (standard) {
        chosen = m_services.selected->singerVoices;
    }
    m_party.gather(std::move(singers), chosen, voiceCount);
    // A duet sung in both voices shows a band for each; otherwise the song's one lane.
    m_twoBands = standard && m_party.bandVoices().size() == 2;
    if (standard && !m_party.bandVoices().empty())
        m_standardLane.timeline().setVoice(static_cast<int>(m_party.bandVoices()[0]));
    const int bands = m_twoBands ? 2 : 1;
    layOutBands(m_game, bands);
    m_lane->setPlace(stage::bandPlace(0, bands));
    if (m_twoBands) {
        m_secondBand.setPlace(stage::bandPlace(1, bands));
        m_secondBand.timeline().setVoice(static_cast<int>(m_party.bandVoices()[1]));
        m_secondBand.startSession();
    }
    m_clock.setSecondBand(m_twoBands ? &m_secondBand : nullptr,
                          m_twoBands ? m_game.singing.bands[1].leadInBar : nullptr);
    m_singerScores.clear();
    loadScorePictures();
    m_phoneShown = {};
    // The music plays all the same; the stage says why no points come.
    if (m_party.empty())
        m_singerScores.showNotScored();
}

void SingingSession::loadScorePictures() {
    // Read once a session: the score boxes show them at every frame.
    constexpr int kTextureSide = 40;
    const auto& members = m_party.members();
    m_scorePictures.assign(members.size(), {});
    for (std::size_t k = 0; k < members.size(); ++k) {
        const PartySinger& singer = members[k].singer;
        if (singer.picture.empty())
            continue;
        try {
            const QImage picture = squarePicture(readPictureFile(singer.picture), kTextureSide);
            const std::string name = "ScorePicture" + std::to_string(k + 1);
            m_game.materials.lane.addTextureMaterial(name, toSceneImage(picture));
            m_scorePictures[k] = {&m_game.materials.lane, name};
        } catch (const std::exception& e) {
            // The box goes without it; the singing does not wait for a picture.
            std::cerr << "cantorix: " << singer.name << "'s picture: " << e.what() << '\n';
        }
    }
}

void SingingSession::chooseJudges() {
    // The game's own songs are judged by its rule on the live tick; standard songs window by
    // window by each singer's judge of the voice they sing.
    const SessionOptions options = readSessionOptions(m_game);
    const songs::StandardSong* song = standardSong() ? &m_services.selected->standard : nullptr;
    m_party.startSession(
        [song](std::size_t voice) -> std::optional<session::VoiceTimeline> {
            if (!song)
                return std::nullopt;
            return session::voiceTimeline(*song, voice);
        },
        options.difficulty, m_lane->timeline().startMs());
    for (PartyMember& member : m_party.members())
        member.loop->keepHeardTicks(song != nullptr);
}

const session::Scoring& SingingSession::scoring() const {
    if (!m_party.empty())
        return m_party.members().front().loop->scoring();
    return m_outcomes.empty() ? m_noScoring : m_outcomes.front().scoring;
}

const session::StandardJudge* SingingSession::standardJudge() const {
    if (m_party.empty() || !m_party.members().front().judge)
        return nullptr;
    return &*m_party.members().front().judge;
}

stage::LaneView& SingingSession::laneOfBand(std::size_t band) {
    return band == 1 && m_twoBands ? static_cast<stage::LaneView&>(m_secondBand) : *m_lane;
}

void SingingSession::showSingerTrails() {
    if (standardSong()) {
        showStageSingers();
        return;
    }
    // One singer draws the designed trail; several draw one each in their own colour.
    const bool several = m_party.members().size() > 1;
    std::vector<scene::TColor> colours;
    for (const PartyMember& member : m_party.members())
        if (several)
            colours.push_back(member.singer.colour);
    m_lane->setTrailColours(std::move(colours));
}

void SingingSession::showStageSingers() {
    // Each singer's fills and marker in their colour, the marker numbered as the singers are.
    const auto& members = m_party.members();
    const auto& voices = m_services.selected->standard.voices;
    for (std::size_t band = 0; band < (m_twoBands ? 2u : 1u); ++band) {
        std::vector<stage::StageSinger> singers;
        for (std::size_t k = 0; k < members.size(); ++k)
            if (members[k].band == band)
                singers.push_back({members[k].singer.colour, std::to_string(k + 1)});
        auto& lane = static_cast<stage::StandardLaneView&>(laneOfBand(band));
        lane.setSingers(singers);
        // A duet's bands say whose part each is; the singers' names stand beside each band in
        // their colours, in the scores.
        const std::size_t voice =
            band < m_party.bandVoices().size() ? m_party.bandVoices()[band] : 0;
        const bool duet = voices.size() > 1;
        const std::string part = duet && voice < voices.size() && !voices[voice].name.empty()
                                     ? voices[voice].name
                                 : duet ? "Part " + std::to_string(voice + 1)
                                        : "";
        lane.setCaption(part);
    }
}

void SingingSession::showRunningScores() {
    // Beside each band, the running points of its singers in their colours once several sing or
    // someone's microphone was lost; one singer keeps the designed point counter alone.
    const auto& members = m_party.members();
    std::vector<std::string> notices;
    notices.reserve(members.size());
    for (const PartyMember& member : members)
        notices.push_back(phoneNotice(member.singer));
    const bool anyNotice =
        std::any_of(members.begin(), members.end(), [](const PartyMember& m) { return m.lost; }) ||
        std::any_of(notices.begin(), notices.end(), [](const auto& n) { return !n.empty(); });
    // The standard stage shows every singer's score, one singer's too.
    if (members.size() < 2 && !anyNotice && !standardSong())
        return;
    const std::int64_t now = m_services.player.position();
    for (std::size_t band = 0; band < (m_twoBands ? 2u : 1u); ++band) {
        std::vector<stage::SingerScoreLine> lines;
        for (std::size_t k = 0; k < members.size(); ++k) {
            if (members[k].band != band)
                continue;
            const bool rated = k < m_lineWords.size() && now < m_lineWords[k].untilMs;
            lines.push_back(
                {members[k].singer.name, members[k].singer.colour,
                 members[k].loop->scoring().notePoints(), members[k].lost, notices[k],
                 rated ? m_lineWords[k].word : std::string(),
                 k < m_scorePictures.size() ? m_scorePictures[k] : scene::MaterialRef{}});
        }
        m_singerScores.show(static_cast<int>(band), lines);
    }
}

void SingingSession::rateFinishedLines() {
    // A line is rated once its last note is over and its last windows are judged: the singer's
    // delay and one analysis tick after its end.
    constexpr std::int64_t kJudgedAfterMs = 100;
    constexpr std::int64_t kShownMs = 1000;
    const auto& members = m_party.members();
    m_lineWords.resize(members.size());
    const std::int64_t now = m_services.player.position();
    for (std::size_t k = 0; k < members.size(); ++k) {
        const PartyMember& member = members[k];
        if (!member.judge)
            continue;
        const session::VoiceTimeline& voice = member.judge->timeline();
        LineWord& shown = m_lineWords[k];
        for (; shown.nextLine < voice.lines.size(); ++shown.nextLine) {
            const session::TimedLine& line = voice.lines[shown.nextLine];
            if (line.last == line.first || line.last > voice.notes.size())
                continue;
            const double over =
                voice.notes[line.last - 1].endMs + member.judge->delayMs() + kJudgedAfterMs;
            if (static_cast<double>(now) < over)
                break;
            const auto& tallies = member.loop->scoring().lines();
            if (shown.nextLine >= tallies.size())
                continue;
            if (const char* word = stage::lineRatingWord(tallies[shown.nextLine].points,
                                                         tallies[shown.nextLine].possible)) {
                shown.word = word;
                shown.untilMs = now + kShownMs;
            }
        }
    }
}

bool SingingSession::standardSong() const {
    return m_services.selected && m_services.selected->format == songs::SongFormat::Standard;
}

void SingingSession::chooseLane() {
    if (standardSong()) {
        m_standardLane.timeline().setVoice(static_cast<int>(m_services.selected->voice));
        m_lane = &m_standardLane;
    } else {
        m_lane = &m_gameLane;
    }
    m_clock.setLane(*m_lane);
}

const std::filesystem::path& SingingSession::audioPath() const {
    // The selection found the media of either format inside the song folder.
    return m_services.selected ? m_services.selected->audioPath : m_services.song.audioPath();
}

void SingingSession::startRecording() {
    // Singing goes on without a recording; the player is told why there is none.
    std::vector<session::InputAddress> voices;
    for (const PartyMember& member : m_party.members())
        voices.push_back(member.singer.input->address);
    m_services.inputs.chooseRecorded(voices);
    runGuarded(&m_window, [this] {
        audio::ensureMixBufferDirectory(m_services.programDir);
        m_recorder->recordToFile(audio::performanceRecordingPath(m_services.programDir));
    });
}

bool SingingSession::startMusic() {
    try {
        m_services.player.setFileName(audioPath());
        if (const auto& medley = m_services.selected ? m_services.selected->medley : nullptr)
            m_services.player.openMedley(medley->audioFiles, medley->segments);
        else
            m_services.player.open();
        if (const std::int64_t start = m_lane->timeline().startMs(); start > 0)
            m_services.player.setStartPosition(start);
        m_services.player.play();
        m_party.forEachRecording([](session::SessionInputControl& input) { input.startOver(); });
        m_party.musicStartsAt(m_services.player.position());
        return true;
    } catch (const std::exception& e) {
        // Without music there is no position to follow: say why and end the session at once.
        presentError(&m_window, QString::fromUtf8(e.what()));
        endSession();
        return false;
    }
}

void SingingSession::showSelectedParts() {
    GameScene& g = m_game;
    const SessionOptions o = readSessionOptions(g);
    const auto show = [](bool shown, std::initializer_list<TGLBaseSceneObject*> parts) {
        for (TGLBaseSceneObject* part : parts)
            part->setVisible(shown);
    };
    const bool standard = standardSong();
    for (const SingingBand& band : g.singing.bands) {
        show(o.showTabs, {band.staff, band.voiceTrail, band.noteBars});
        show(o.showLyrics, {band.leadIn, band.lyrics});
        show(standard, {band.strip});
        show(standard && o.showTabs, {band.noteFills, band.voiceMarkers});
        if (!standard)
            show(false, {band.caption, band.countdown});
    }
    show(o.showOscilloscope, {g.singing.oscilloscope, g.singing.oscilloscopeTrack});
    show(o.showTime, {g.singing.timeTrack, g.singing.clockDisplay});
}

void SingingSession::applyColourOptions() {
    const SessionOptions o = readSessionOptions(m_game);
    const std::pair<const char*, TColor> knobs[] = {
        {"Knob1", o.defaultTabColour}, {"Knob2", o.actualTabColour}, {"Knob3", o.textColour}};
    for (const auto& [name, colour] : knobs)
        if (TGLLibMaterial* m = m_game.materials.lane.materialByName(name))
            m->setDiffuse(toColorF(colour, o.tabAlpha));
    // Freestyle notes of standard songs: the tab colours, faint.
    const std::pair<const char*, TColor> faint[] = {{"KnobFaint1", o.defaultTabColour},
                                                    {"KnobFaint2", o.actualTabColour}};
    for (const auto& [name, colour] : faint)
        if (TGLLibMaterial* m = m_game.materials.lane.materialByName(name))
            m->setDiffuse(toColorF(colour, o.tabAlpha * kFaintShare));
    // The standard songs' stage: the same options, never so faint that the bars sink.
    stage::applyStagePalette(m_game.materials.lane,
                             {o.defaultTabColour, o.actualTabColour, o.tabAlpha});
    m_lane->setTextColour(o.textColour);
    m_exportFileName = o.exportFileName;
}

void SingingSession::startVideo(int speedPosition, int qualityPosition) {
    if (!m_video)
        return;
    // A medley shows each song's own clip (or picture) as its turn comes: the first song's here.
    const auto& medley = m_services.selected ? m_services.selected->medley : nullptr;
    const std::filesystem::path clip =
        medley
            ? (medley->stretches.empty() ? std::filesystem::path()
                                         : medley->stretches.front().video)
            : (m_services.selected ? m_services.selected->videoPath : m_services.song.videoPath());
    m_video->OpenClip(clip);
    m_video->SetQuality(qualityPosition);
    if (speedPosition == 1) {
        m_video->SetAutoRate(true);
    } else {
        m_video->SetAutoRate(false);
        m_video->setUserRate(speedPosition);
    }
    m_video->node().setVisible(!clip.empty());
    m_videoHeldUntilMs.reset();
    if (medley && !medley->stretches.empty())
        showMedleyClip(medley->stretches.front(), medley->stretches.front().songMsAtStart);
    else if (standardSong())
        shiftVideo();
}

void SingingSession::showMedleyClip(const songs::MedleyStretch& stretch, std::int64_t songMs) {
    if (!m_video)
        return;
    // Opening a clip reads its header and first frame: a moment, once a song.
    if (!m_video->opened() || m_video->fileName() != stretch.video)
        m_video->OpenClip(stretch.video);
    m_video->node().setVisible(m_video->opened());
    if (!m_video->opened())
        return;
    // The song's clip runs its #VIDEOGAP ahead of its music.
    showVideoAt(std::max(0.0, static_cast<double>(songMs) + stretch.videoGapMs));
}

void SingingSession::showVideoAt(double videoMs) {
    // Past its end a clip loops, as it does while it plays.
    const std::int64_t frames = m_video->EndFrame() - m_video->StartFrame();
    std::int64_t frame = std::llround(videoMs / 1000.0 * m_video->ClipRate());
    if (frames > 0)
        frame %= frames;
    m_video->SetFrame(m_video->StartFrame() + frame);
}

void SingingSession::shiftVideo() {
    if (!m_video->opened())
        return;
    const double videoMs = static_cast<double>(m_lane->timeline().startMs()) +
                           m_services.selected->standard.videoGapMs;
    if (videoMs < 0) {
        m_videoHeldUntilMs = std::llround(-m_services.selected->standard.videoGapMs);
        m_video->SetFrame(m_video->StartFrame());
        return;
    }
    showVideoAt(videoMs);
}

void SingingSession::showBackground() {
    m_medleySong = 0;
    if (standardSong())
        showBackgroundPicture(m_services.selected->backgroundPath);
}

void SingingSession::showBackgroundPicture(const std::filesystem::path& picture) {
    TGLDummyCube& background = *m_game.singing.songBackground;
    background.setVisible(false);
    if (picture.empty())
        return;
    if (m_video && m_video->opened())
        return;
    // A picture that cannot be read leaves the lane on the game's own background, as a clip
    // that cannot be played does.
    try {
        m_game.materials.skin.addTextureMaterial("SongBackground", picture);
        background.setVisible(true);
    } catch (const std::exception&) {
    }
}

void SingingSession::followMedleySong() {
    const auto& medley = m_services.selected ? m_services.selected->medley : nullptr;
    if (!medley)
        return;
    const std::optional<songs::MedleyPlace> place =
        songs::medleyPlaceAt(medley->segments, m_services.player.position());
    if (!place || place->song == m_medleySong || place->song >= medley->stretches.size())
        return;
    m_medleySong = place->song;
    showMedleyClip(medley->stretches[place->song], place->songMs);
    showBackgroundPicture(medley->stretches[place->song].background);
    cutStripsFromBackground(m_game, m_twoBands ? 2 : 1);
}

void SingingSession::showTransport(bool playing) {
    m_game.singing.pauseButton->setVisible(playing);
    m_game.singing.playButton->setVisible(!playing);
    m_game.singing.rewindButton->setVisible(!playing);
}

void SingingSession::endSession(bool finished) {
    showTransport(true);
    m_game.singing.songBackground->setVisible(false);
    if (m_video) {
        // Hidden and released: a clip decoding behind the menus would only cost time.
        m_video->node().setVisible(false);
        m_video->CloseClip();
    }
    // A recording that cannot be finished is reported; the session still ends.
    runGuarded(&m_window, [this] {
        m_recorder->stop();
        m_recorder->setActive(false);
    });
    m_analysisTimer.stop();
    m_party.endSession(m_services.player.position());
    m_timings.missedWindows = 0;
    for (const PartyMember& member : m_party.members())
        m_timings.missedWindows += member.loop->windows().missed;
    // The points stay for the score page; the inputs are let go, so that they can be listed
    // again before the next session or on the singers screen.
    m_outcomes = m_party.outcomes();
    keepPerformances(finished);
    m_party.forEachRecording([](session::SessionInputControl& input) { input.silence(); });
    tellPhonesSessionEnds();
    m_party.dismiss();
    m_game.singing.guiRoot->setTag(0);
    m_services.player.stop();
    m_services.player.close();
    m_game.singing.group->setVisible(false);
    m_game.scorePage.group->setVisible(true);
    m_game.scorePage.guiRoot->setTag(1);
    setClockEnabled(false);
    fillScorePage();
    if (m_services.scorePageShown)
        m_services.scorePageShown();
}

std::vector<SingerResult> SingingSession::results() const {
    const bool golden = standardSong();
    std::vector<SingerResult> results;
    const auto& medley = m_services.selected ? m_services.selected->medley : nullptr;
    for (std::size_t k = 0; k < m_outcomes.size(); ++k) {
        const session::Scoring& s = m_outcomes[k].scoring;
        const records::RecordNews news = k < m_news.size() ? m_news[k] : records::RecordNews{};
        std::vector<SongShare> songShares;
        for (std::size_t song = 0; medley && song < medley->stretches.size(); ++song) {
            const MedleyPartTally part = medleyPartTally(s, medley->stretches[song]);
            songShares.push_back({medley->stretches[song].title,
                                  part.possible > 0 ? std::to_string(session::sharePercent(
                                                          part.notePoints, part.possible))
                                                    : std::string()});
        }
        results.push_back({.name = m_outcomes[k].name,
                           .colour = m_outcomes[k].colour,
                           .notePoints = s.notePoints(),
                           .lineBonus = s.lineBonus(),
                           .goldenPoints = golden ? std::optional(s.goldenPoints()) : std::nullopt,
                           .total = s.total(),
                           .possible = s.possible(),
                           .newSongRecord = news.newSongRecord,
                           .personalBest = news.personalBest,
                           .previousBest = news.previousBest,
                           .songShares = std::move(songShares)});
    }
    return results;
}

void SingingSession::keepPerformances(bool finished) {
    m_news.clear();
    if (!m_services.records || m_outcomes.empty())
        return;
    SessionFacts facts;
    if (standardSong()) {
        const songs::StandardSong& song = m_services.selected->standard;
        facts.artist = song.artist;
        facts.title = song.title;
        facts.duet = song.voices.size() > 1;
    } else {
        facts.artist = m_services.song.displayText(m_services.song.songArtist());
        facts.title = m_services.song.displayText(m_services.song.songTitle());
    }
    facts.folder = audioPath().parent_path().string();
    facts.difficulty = static_cast<int>(readSessionOptions(m_game).difficulty) + 1;
    facts.startedAtMs = m_startedAtMs;
    facts.sungMs = m_services.player.position();
    facts.songMs = m_services.player.length();
    facts.finished = finished;
    facts.judged = m_judgedAny;
    facts.medley = m_services.selected ? m_services.selected->medley.get() : nullptr;
    m_news = m_services.records->storeSession(sessionPerformances(m_outcomes, facts));
    // A medley's parts are never records: the page has no record news for them.
    if (facts.medley)
        m_news.clear();
}

void SingingSession::fillScorePage() {
    // Several singers: a ranked table; one (or nobody): the page as it always was.
    app::fillScorePage(m_game, results());
}

void SingingSession::clockTick() {
    if (!m_clockEnabled)
        return;
    const auto started = std::chrono::steady_clock::now();
    const std::int32_t firstEntered = m_lane->timeline().entered();
    const bool ended = m_clock.tick();
    m_timings.clockTickMs.add(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count());
    noteEntryLateness(firstEntered);
    followMedleySong();
    // The first frame holds while a negative video gap has not yet passed.
    if (m_video && m_videoHeldUntilMs && m_services.player.position() < *m_videoHeldUntilMs)
        m_video->SetFrame(m_video->StartFrame());
    if (ended)
        endSession(true);
    else if (m_clockEnabled)
        m_clockTimer.start();
}

void SingingSession::noteEntryLateness(std::int32_t firstEntered) {
    const std::int64_t position = m_services.player.position();
    for (std::int32_t k = firstEntered; k < m_lane->timeline().entered(); ++k)
        if (const std::optional<double> due = m_lane->timeline().entryDueMs(k))
            m_timings.entryLatenessMs.add(static_cast<double>(position) - *due);
}

void SingingSession::analysisTick() {
    const auto started = std::chrono::steady_clock::now();
    tickSingers();
    if (!m_party.empty())
        refreshOscilloscope(m_party.members().front().loop->sound());
    if (m_clockEnabled)
        m_timings.analysisTickMs.add(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                .count());
}

void SingingSession::tickSingers() {
    for (PartyMember& member : m_party.members()) {
        if (member.lost)
            continue;
        stage::LaneView& lane = laneOfBand(member.band);
        const session::SongTimeline& timeline = lane.timeline();
        // The trail shows what the previous tick heard, once the song lets judging begin.
        if (timeline.judging()) {
            m_judgedAny = true;
            if (&lane == &m_gameLane)
                m_gameLane.drawVoiceTrail(member.loop->heldSungValue(), member.trail);
        }
        member.loop->tick(timeline.judging(), timeline.judgedPitch());
        // What the judge heard in this tick's windows shows at once on the standard stage.
        if (&lane != &m_gameLane)
            static_cast<stage::StandardLaneView&>(lane).showHeard(
                member.trail, member.loop->takeHeardTicks(), member.loop->latestReading());
    }
    noticeLostInputs();
    rateFinishedLines();
    showRunningScores();
    tellPhones();
}

void SingingSession::noticeLostInputs() {
    for (const std::size_t k : m_party.noticeLost(m_services.inputs)) {
        const PartyMember& member = m_party.members()[k];
        laneOfBand(member.band).markLost(member.trail);
        std::fprintf(stderr, "cantorix: microphone lost: %s\n", member.singer.input->name.c_str());
    }
}

void SingingSession::refreshOscilloscope(const pitch::TSound& sound) {
    const auto samples = sound.samples();
    TGLBaseSceneObject& bars = *m_game.singing.oscilloscopeBars;
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

void SingingSession::pauseSong() {
    if (m_video)
        m_pausedVideoFrame = m_video->CurrentFrame();
    showTransport(false);
    // The windows sung up to here are judged before the song holds.
    m_party.pause(m_services.player.position());
    m_services.player.pause();
    m_party.forEachRecording([](session::SessionInputControl& input) { input.pause(); });
    m_analysisTimer.stop();
}

void SingingSession::resumeSong() {
    m_analysisTimer.start();
    showTransport(true);
    m_services.player.resume();
    m_party.forEachRecording([](session::SessionInputControl& input) { input.resume(); });
    m_party.resume(m_services.player.position());
}

void SingingSession::restartSong() {
    m_game.singing.voiceTrail->deleteChildren();
    m_game.singing.voiceTrail->setTag(0);
    m_analysisTimer.stop();
    showTransport(true);
    endSession();
    m_screens.backToSelection();
    m_screens.startSong();
}

void SingingSession::submitScore() {
    // A medley's entries say so: its total is the sum of its songs' parts.
    const auto& medley = m_services.selected ? m_services.selected->medley : nullptr;
    for (const std::string& entry :
         hallOfFameEntries(results(), m_game.scorePage.playerName->caption()))
        m_hallOfFame.add(medley ? entry + " · " + medley->song.title : entry);
    m_screens.backToSelection();
}

void SingingSession::exportPerformance() {
    // A second export while one runs would overwrite the working files under it.
    if (m_exportWindow && m_exportWindow->converting())
        return;
    if (m_services.selected && m_services.selected->medley) {
        presentError(&m_window, QStringLiteral("A medley cannot be saved as an MP3 yet: Save "
                                               "mixes the voices with one song's music."));
        return;
    }
    m_recorder->setActive(false);
    const std::optional<std::filesystem::path> chosen =
        m_saveDialog(m_window, proposedExportName(m_exportFileName));
    if (!chosen) {
        m_screens.backToSelection();
        return;
    }
    if (m_exportWindow)
        m_exportWindow->startExport(audioPath(), *chosen);
}

void SingingSession::setExportWindow(audio::ExportWindow* window) {
    m_exportWindow = window;
    if (m_exportWindow)
        m_exportWindow->setErrorReporter([](QWidget* parent, const std::string& text) {
            presentError(parent, QString::fromStdString(text));
        });
}

} // namespace cantorix::app
