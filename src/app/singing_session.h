#pragma once
// One performance of the selected song by everyone bound to sing: starts and ends sessions, runs
// the clock tick, the singers' steps of the analysis tick, the transport buttons and the score
// page's Submit and Save. Owns the lanes (one band per voice sung), the clock, the singers'
// listening loops and the recorder; borrows the scene, the screens, the player, the inputs and
// the analysis timer from the main window. Main thread only.

#include "audio/export_window.h"
#include "audio/stock_audio_recorder.h"
#include "audio/wave_in_device_port.h"
#include "export_save.h"
#include "game_scene.h"
#include "phone_hall_port.h"
#include "pitch/capture_port.h"
#include "pitch/semitone_tracker_port.h"
#include "pitch/sound.h"
#include "record_keeper.h"
#include "score_page.h"
#include "screens.h"
#include "session/hall_of_fame.h"
#include "session/listening_loop.h"
#include "session/scoring.h"
#include "session/session_input_control_port.h"
#include "session/standard_judge.h"
#include "session/tick_timings.h"
#include "singing_party.h"
#include "songs/media_player_port.h"
#include "songs/medley_song.h"
#include "songs/selected_song.h"
#include "songs/song_file.h"
#include "sound_inputs_port.h"
#include "stage/note_lane_view.h"
#include "stage/session_clock_view.h"
#include "stage/singer_scores.h"
#include "stage/standard_lane_view.h"
#include "stage/video_plane.h"

#include <QTimer>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>

namespace cantorix::app {

struct SessionServices {
    songs::MediaPlayer& player;
    base::MainThreadInvoker& invoker;
    // Every input the game hears; the recorder mixes the singers' voices from it.
    SoundInputs& inputs;
    // What each singer's listening loop is made of.
    PartyParts party;
    // The singers of the next session, once the inputs have been listed again: singer k is the
    // k-th bound slot. None: the session plays unscored.
    std::function<std::vector<PartySinger>()> gatherSingers;
    std::filesystem::path programDir;
    const songs::SongFile& song;
    // Reads the selected song file again; throws the reader's error.
    std::function<void()> reloadSong;
    // The selected song when it is in the standard format, its chosen voice, and in either
    // format its media files found inside its folder; without it every song is played as one of
    // the game's own, with the media paths its reader joined.
    const songs::SelectedSong* selected = nullptr;
    // Keeps every session's performances; without it nothing is remembered.
    RecordKeeper* records = nullptr;
    // The phones singing as microphones see the line being sung and their points; without it
    // there are none.
    PhoneHall* phones = nullptr;
    // Told when a song starts (its length in milliseconds) and when its score page shows.
    std::function<void(std::int64_t lengthMs)> started = {};
    std::function<void()> scorePageShown = {};
};

class SingingSession {
public:
    static constexpr int kClockIntervalMs = 10;

    // analysisTimer is the window's analysis timer: the session enables and disables it, the window
    // runs it.
    SingingSession(GameScene& game, Screens& screens, session::HallOfFameList& hallOfFame,
                   SessionServices services, QWidget& window, QTimer& analysisTimer);
    ~SingingSession();

    void startSession();
    // finished: the song played to its end (a session stopped early is kept as not finished).
    void endSession(bool finished = false);
    void pauseSong();
    void resumeSong();
    void restartSong();
    void submitScore();       // Submit
    void exportPerformance(); // Save
    // Save confirmed runs the export in this window; the dialog asks for the file (tests
    // answer it themselves).
    void setExportWindow(audio::ExportWindow* window);
    void setSaveDialog(SaveExportDialog dialog) { m_saveDialog = std::move(dialog); }

    // The analysis tick, run by the window's analysis timer: the voice trail of what the
    // previous tick heard, the listening loop's tick, the oscilloscope.
    void analysisTick();
    // Stops the clock and the recording for good: the window is closing.
    void shutDown();

    // The plane the session opens, shows, holds and stops; set by the deferred start.
    void setVideoPlane(stage::VideoPlane* plane) { m_video = plane; }
    // startSession's video step: opens the song's clip (none when it names no "#VIDEO") at the
    // speed position (1: the clip's own rate, else frames per second) and the quality level,
    // and shows the plane only for a song with a clip.
    void startVideo(int speedPosition, int qualityPosition);
    // PausedVideoFrame: the frame a pause holds on screen.
    std::int64_t pausedVideoFrame() const { return m_pausedVideoFrame; }
    // The first singer's scoring (an empty one when nobody sings).
    const session::Scoring& scoring() const;
    // The first singer's judge of a standard song's session; none for the game's own songs.
    const session::StandardJudge* standardJudge() const;
    // The singers of the running session; empty between sessions.
    const SingingParty& party() const { return m_party; }
    // What each singer of the last session achieved, in singer order.
    const std::vector<SingerOutcome>& outcomes() const { return m_outcomes; }
    // Timing figures of the running (or last) session.
    const session::SessionTimings& timings() const { return m_timings; }
    // The game format's lane, and the lane of the song being sung (either format).
    const stage::NoteLaneView& lane() const { return m_gameLane; }
    const stage::LaneView& songLane() const { return *m_lane; }
    const stage::StandardLaneView& standardLane() const { return m_standardLane; }
    // A duet's second band, drawn while both voices are sung.
    const stage::StandardLaneView& secondBand() const { return m_secondBand; }
    bool clockRunning() const { return m_clockEnabled; }
    const audio::TStockAudioRecorder& recorder() const { return *m_recorder; }
    // The file name the save dialog offers.
    const std::string& exportFileName() const { return m_exportFileName; }

private:
    void clockTick();
    bool standardSong() const;
    // Chooses the lane of the song just read: the game's records or the standard notes.
    void chooseLane();
    const std::filesystem::path& audioPath() const;
    void showBackground();
    void showBackgroundPicture(const std::filesystem::path& picture);
    // A medley's background follows the song whose turn it is.
    void followMedleySong();
    // A standard song's video runs #VIDEOGAP ahead of the music: where it starts, or until which
    // play position its first frame holds when the gap is negative.
    void shiftVideo();
    // A medley's song: its clip from where its music is (none: no clip, its picture shows).
    void showMedleyClip(const songs::MedleyStretch& stretch, std::int64_t songMs);
    // The open clip's frame at videoMs (≥ 0) of its own time.
    void showVideoAt(double videoMs);
    // Adds how late after its beat each record entered by this tick was entered.
    void noteEntryLateness(std::int32_t firstEntered);
    void setClockEnabled(bool enabled);
    void startRecording();
    bool startMusic();
    void showSelectedParts();
    void applyColourOptions();
    void showTransport(bool playing);
    void fillScorePage();
    void refreshOscilloscope(const pitch::TSound& sound);
    // Gathers the singers, plans their bands and starts their judges with the options'
    // difficulty and each singer's delay.
    void gatherParty();
    void loadScorePictures();
    void chooseJudges();
    // The lane of band b: the song's lane, or the second voice's.
    stage::LaneView& laneOfBand(std::size_t band);
    // Each singer's trail from what the previous tick heard, then each loop's tick.
    void tickSingers();
    // What each phone singing shows: the line of its voice being sung and its points, sent when
    // they change.
    void tellPhones();
    // "phone gone" while a phone singer's phone is away, "back" for a while once it returns,
    // else nothing. Called once a tick for each singer.
    std::string phoneNotice(const PartySinger& singer);
    void tellPhonesSessionEnds();
    void showSingerTrails();
    void showStageSingers();
    void rateFinishedLines();
    void showRunningScores();
    void noticeLostInputs();
    // Each singer of the last session as the score page and the hall of fame show them.
    std::vector<SingerResult> results() const;
    // Stores the last session's performances and keeps what they mean for the score page.
    void keepPerformances(bool finished);

    GameScene& m_game;
    Screens& m_screens;
    session::HallOfFameList& m_hallOfFame;
    SessionServices m_services;
    QWidget& m_window;
    QTimer& m_analysisTimer;
    QTimer m_clockTimer;
    bool m_clockEnabled = false;
    // Stands in for the standard song when the window hands in no selection.
    songs::StandardSong m_noSong;
    stage::NoteLaneView m_gameLane;
    stage::StandardLaneView m_standardLane;
    stage::LaneView* m_lane = &m_gameLane;
    // The second voice of a duet sung by two, on the band below the first.
    stage::StandardLaneView m_secondBand;
    bool m_twoBands = false;
    stage::SingerScores m_singerScores;
    // Per singer: the next line to rate, and the word the last one earned while it shows.
    struct LineWord {
        std::size_t nextLine = 0;
        std::string word;
        std::int64_t untilMs = 0;
    };
    std::vector<LineWord> m_lineWords;
    // Singer k's picture in their score box; an empty reference: none.
    std::vector<scene::MaterialRef> m_scorePictures;
    stage::SessionClockView m_clock;
    SingingParty m_party;
    std::vector<SingerOutcome> m_outcomes;
    // What the last session's results meant against the records, in singer order.
    std::vector<records::RecordNews> m_news;
    std::int64_t m_startedAtMs = 0;
    // Some tick of the running session was judged: only then is it kept.
    bool m_judgedAny = false;
    // What each slot's phone was told last (index: slot − 1), so only changes are sent.
    struct PhoneShown {
        int line = -2;
        int points = -1;
        bool gone = false;
        int backTicksLeft = 0; // "back" shows for a while after a phone returns
    };
    std::array<PhoneShown, session::kSingerSlots> m_phoneShown{};
    session::Scoring m_noScoring;
    std::unique_ptr<audio::TStockAudioRecorder> m_recorder;
    std::string m_exportFileName;
    stage::VideoPlane* m_video = nullptr;
    std::int64_t m_pausedVideoFrame = 0;
    std::size_t m_medleySong = 0; // whose background shows
    std::optional<std::int64_t> m_videoHeldUntilMs;
    audio::ExportWindow* m_exportWindow = nullptr;
    SaveExportDialog m_saveDialog;
    session::SessionTimings m_timings;
};

} // namespace cantorix::app
