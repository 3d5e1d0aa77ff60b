#pragma once
// The main window: the menu bar, the scene viewer filling the client area, the white splash
// panel shown until the first rendered frame, the two-stage start-up and the per-frame
// housekeeping. Owns the scene, the cadencer and the timers. Main thread only.

#include "editor/editor_screen.h"
#include "form_storage.h"
#include "game_scene.h"
#include "options_form.h"
#include "party_flow.h"
#include "party_host.h"
#include "pitch/capture_port.h"
#include "pitch/semitone_tracker_port.h"
#include "profile_store_port.h"
#include "qt_main_thread_invoker.h"
#include "queue_screen.h"
#include "record_keeper.h"
#include "scene/cadencer.h"
#include "screens.h"
#include "selection/cover_ring.h"
#include "selection/medley_picks.h"
#include "selection/song_selection.h"
#include "session/click_player_port.h"
#include "session/hall_of_fame.h"
#include "session/listening_loop.h"
#include "singers_screen.h"
#include "singing_session.h"
#include "song_library_screen.h"
#include "song_problems_window.h"
#include "song_records_panel.h"
#include "songs/media_player_port.h"
#include "songs/song_file.h"
#include "songs/song_library.h"
#include "sound_inputs_port.h"
#include "stage/video_plane.h"
#include "start_steps.h"
#include "statistics_screen.h"

#include <QAction>
#include <QMainWindow>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QKeyEvent;
class QLabel;

namespace cantorix::scene::render {
class SceneViewer;
}

namespace cantorix::editor {
class LyricViewerWindow;
class VideoEditorWindow;
} // namespace cantorix::editor

namespace cantorix::app {

class AboutBox;

// How a medley is to be made, and whether it is sung now or waits in the party queue.
struct MedleyAnswer {
    selection::MedleyRequest request;
    // A guest's name (one in line, or a new guest): the medley waits in the queue as one entry
    // of theirs. Empty: it is sung now.
    std::string queueFor = {};
};
// Asks how a medley is to be made, given how many songs are marked and the guests in line;
// nothing: it is not.
using MedleyQuestion = std::function<std::optional<MedleyAnswer>(
    std::size_t markedSongs, const std::vector<std::string>& guests)>;

struct AppServices {
    std::filesystem::path programDir;
    scene::ImageLoader& images;
    scene::GlyphRasterizer& glyphs;
    scene::SteadyClock& clock;
    songs::MediaPlayer& player;
    // Decodes covers shrunk for the slab; safe to call from worker threads.
    scene::ImageLoader& coverImages;
    // The microphone (or the WAV file, or silence) of a program that hands in one capture
    // rather than its inputs (see inputs below, which replaces capture, recorderDevice,
    // sessionInput and clicks when set), and what the player should read about the inputs.
    pitch::CaptureDevice& capture;
    // The recorder's device over that same capture.
    audio::WaveInDevice& recorderDevice;
    std::string captureError;
    // Score.ini: the options and the hall of fame. Without it nothing is restored or saved.
    ProfileStore* profile = nullptr;
    // Makes the video plane's decoder; without it no song shows its clip.
    session::VideoDecoderFactory videoDecoders = {};
    // The editor's MIDI output devices and player timer; without them nothing plays.
    midi::MidiOutputDevices* midiOutputs = nullptr;
    midi::MidiTimer* midiTimer = nullptr;
    // The `--mic` file's control: each session starts, pauses and silences it; null otherwise.
    session::SessionInputControl* sessionInput = nullptr;
    // The semitone analysis beside the game's own, for standard songs; without it every tick
    // reads unvoiced. makeSemitoneTracker makes one for each singer (trackers keep state); without
    // it the first singer borrows semitones and the others hear no semitones.
    pitch::SemitoneTracker* semitones = nullptr;
    std::function<std::unique_ptr<pitch::SemitoneTracker>()> makeSemitoneTracker = {};
    // Every input the game can hear (microphone channels, `--mic` channels); without it the one
    // capture above is the only input.
    SoundInputs* inputs = nullptr;
    // Plays the delay calibration's clicks and listens for them; without it Calibrate says so.
    session::ClickPlayer* clicks = nullptr;
    // Where songs are looked for; empty: the program directory's songs/ alone. The folders kept
    // in Score.ini join them.
    std::vector<std::filesystem::path> songRoots = {};
    // The library cache between runs; without it every start scans the folders afresh.
    songs::LibraryCache* libraryCache = nullptr;
    // The players and every performance; without it they last for this run only.
    records::RecordStore* recordStore = nullptr;
    // The party's queue between runs (the records file keeps it); without it the queue lasts for
    // this run only.
    party::QueueStore* queueStore = nullptr;
    // Where the players' pictures are kept (the records folder's pictures/).
    std::filesystem::path picturesFolder = {};
    // Phones as microphones: the server guests join; without it (phones not allowed) none join.
    // Its seats' inputs are among inputs' list.
    PhoneHall* phones = nullptr;
    // The start's steps, timed from the program's own first steps; without it the window keeps
    // a list of its own.
    StartSteps* startSteps = nullptr;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(AppServices services);
    ~MainWindow() override;

    // Set by prepareStart when the songs directory is empty: the entry ends instead of showing us.
    bool terminationRequested() const { return m_terminate; }
    // The lyric viewer shows what the editor's Next composes; the video editor works on the
    // song file read last.
    void setSideWindows(AboutBox* about, editor::VideoEditorWindow* videoEditor,
                        editor::LyricViewerWindow* lyricViewer = nullptr);

    GameScene& game() { return *m_game; }
    Screens& screens() { return *m_screens; }
    SingingSession& session() { return *m_session; }
    editor::EditorScreen& editor() { return *m_editor; }
    // The hall of fame the Scores screen shows.
    session::HallOfFameList& hallOfFame() { return m_hallOfFame; }
    OptionsForm& options() { return *m_options; }
    SingersScreen& singers() { return *m_singers; }
    StatisticsScreen& statistics() { return *m_statistics; }
    SongRecordsPanel& songRecords() { return *m_songRecords; }
    scene::render::SceneViewer* viewer() const { return m_viewer; }
    // The clip behind the lyrics; none before the deferred start.
    stage::VideoPlane* videoPlane() const { return m_video.get(); }
    QWidget* loadingPanel() const { return m_loading; }
    bool started() const { return m_started; }
    // The start's steps: what ran before the first frame of the selection screen, and after.
    const StartSteps& startSteps() const { return *m_startSteps; }
    // The deferred start stopped at a step that threw; the failure has been reported.
    bool startFailed() const { return m_startFailed; }
    const songs::TSongList& songList() const { return m_songList; }
    SongLibraryScreen& library() { return *m_library; }
    const songs::SongFile& songFile() const { return m_songFile; }
    // The singer's listening loop: the game's coarse analysis, the sung value of the latest
    // analysis tick (255: no voice) and the latest semitone reading.
    // Outside sessions the game listens to its first open input; none when no input is open.
    const pitch::TSound* sound() const { return m_listening ? &m_listening->sound() : nullptr; }
    std::uint8_t sungValue() const {
        return m_listening ? m_listening->heldSungValue() : pitch::kSilenceSungValue;
    }
    pitch::SemitoneReading semitoneReading() const {
        return m_listening ? m_listening->latestReading() : pitch::SemitoneReading{};
    }
    SoundInputs& inputs() { return *m_inputs; }
    RecordKeeper& records() { return *m_records; }
    PartyHost& party() { return *m_party; }
    PartyFlow& partyFlow() { return *m_partyFlow; }
    QueueScreen& queueScreen() { return *m_queueScreen; }
    bool jukeboxOn() const { return m_jukebox; }
    // Starts a medley as asked; a reason it cannot start is returned.
    std::string startMedley(const selection::MedleyRequest& request);
    // Draws a medley's songs now and queues it as one entry of the named guest's (a new guest
    // when no one in line has the name); a reason it cannot be queued is returned.
    std::string queueMedley(const selection::MedleyRequest& request, std::string_view guest);
    // What F8 asks (a dialog); tests answer it themselves.
    void setMedleyQuestion(MedleyQuestion question) { m_askMedley = std::move(question); }
    const std::vector<std::string>& medleyMarks() const { return m_medleyMarks; }
    // Tests shorten the lead-ins and fades so that a medley sings in seconds.
    void setMedleyTiming(songs::MedleyTiming timing) { m_medleyTiming = timing; }

    QAction *optionsAction = nullptr, *editorAction = nullptr, *editVideoAction = nullptr,
            *scoresAction = nullptr, *closeAction = nullptr, *aboutAction = nullptr;
    // Program menu item and F11: the window fills the screen; the choice is kept in Score.ini.
    // Escape never leaves it, as the game gives that key meanings of its own.
    QAction* fullScreenAction = nullptr;
    void setFullScreen(bool on);
    // Program menu item and a click on the library line: the songs that cannot be played.
    QAction* songProblemsAction = nullptr;
    void showSongProblems();
    // Null until first shown.
    SongProblemsWindow* songProblems() const { return m_songProblems; }
    bool fullScreen() const { return m_fullScreen; }

signals:
    void deferredStartFinished();
    // After the failure is reported: the entry ends the program with status 1.
    void deferredStartFailed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildMenu();
    void buildClientArea();
    void prepareStart();
    void fitSplashPanel();
    void deferredStart();
    void startGame();
    void setUpBackground();
    void scanSongs();
    void createLibraryScreen();
    // Every song folder is empty or missing: the game has nothing to offer.
    bool noSongFolders() const;
    std::vector<std::filesystem::path> songRoots() const;
    void startListening();
    // Listens to the first open input outside sessions; stopped before the inputs are listed
    // again, which closes every stream.
    void stopListening();
    std::vector<PartySinger> gatherSingers();
    // Hands the names of the singers bound now to the selection screen.
    void showWhoSings();
    // A phone joined, dropped out, came back or left: its slot sings through it (as a guest under
    // the name typed on the phone, unless a player is chosen for the slot on the singers
    // screen) or lets go of it once the seat is free.
    void followPhoneSeats();
    // Hands the phones a song book of the library as scanned, built off the window's thread.
    void openSongBook();
    // The selection screen's code that opens the song book on a guest's phone.
    void showSongBookCode();
    // Draws a code of the party into its sprite, its caption beneath; hides both when the code
    // cannot be drawn.
    struct PartyCodePlace {
        scene::TGLHUDSprite& sprite;
        scene::TGLHUDText& caption;
        const char* material;
        int most; // pixels across at most
        float x, y;
    };
    bool drawPartyCode(const JoinCode& code, const PartyCodePlace& place);
    // The Queue screen, after the player screens (it links guests to players), and its codes.
    void createQueueScreen();
    void showPartyCodes();
    // The walk from song to song: the Next up screen, seating the queue's singers, starting
    // their song (main_window_party.cpp).
    struct QueueSinger {
        std::string name;
        std::optional<party::GuestId> guest;
        std::optional<std::size_t> slot; // the roster's slot (from 0) they sing in
        bool called = false;             // their phone was asked to tap to sing
    };
    void createPartyFlow();
    std::vector<QueueSinger> seatQueueSingers(const party::QueueEntry& entry, bool call);
    void showNextUp(const party::QueueEntry& entry, bool call);
    void hideNextUp();
    bool startQueuedSong(const party::QueueEntry& entry);
    // The session is over: the slots lent to linked guests are given back.
    void endQueuedSong();
    // Whether the roster's slot (from 0) sings in the next session.
    bool singsNext(std::size_t slot) const;
    // The jukebox: songs one after another, unscored, until Escape (main_window_jukebox.cpp).
    void startJukebox();
    void playNextJukeboxSong();
    // Run by the party's timer: the jukebox gives way to the queue's next song and comes back
    // after it.
    void followJukebox();
    // A jukebox song's score page: left at once for the next song (true), or not the jukebox's.
    bool jukeboxSongEnded();
    void jukeboxKeyDown(int key);
    // Medleys: F8 or the button asks how many songs and from where, Insert marks the song shown
    // for one (main_window_medley.cpp).
    void createMedley();
    void askForMedley();
    void toggleMedleyMark();
    // The marks' count on the library line, and news of the last medley queued.
    void showMedleyMarks(const std::string& news = {});
    selection::MedleyPick pickMedley(const selection::MedleyRequest& request);
    std::vector<std::string> medleySongFiles(const selection::MedleyPick& pick) const;
    // Reads the songs (indices into the library) and chooses them as the medley to be sung; a
    // reason it cannot be sung, with nothing chosen, otherwise.
    std::string chooseMedley(const std::vector<std::size_t>& songs);
    // A medley of marked songs clears the marks; the library line shows them, and the news.
    void useUpMedleyMarks(const selection::MedleyRequest& request, const std::string& news = {});
    // Chooses a queued medley's songs still in the library with a part; a reason it cannot be
    // sung otherwise.
    std::string startQueuedMedley(const party::QueuedMedley& medley);
    // The party's queue: its host, kept in the records file, fed by the phones
    // (main_window_party.cpp).
    void createParty();
    // The option "Phones may join": the server starts with the game, so ticking it says when.
    void connectPhonesOption();
    // The singers screen, the statistics screen and the selection's records lines, with their
    // keys (main_window_singers.cpp).
    void createPlayerScreens();
    // The records' book changed (read, a session or a player stored): the screens that show
    // it follow (main_window_records.cpp).
    void recordsChanged();
    // The selection's records lines follow the song shown, its voices and who sings; run each
    // frame, doing nothing while none of them changed.
    void followSongRecords();
    void analysisTick();
    void reloadSong();
    void connectInput();
    void connectMenuScreens();
    void createEditor();
    void handleKeyDown(const QKeyEvent& event);
    void handleKeyUp(const QKeyEvent& event);
    void hideSplashOnceDrawn();
    // The selection screen's first frame is on screen: what waited for it begins.
    void firstFrameSwapped();
    void refreshFrame();
    void frameTick();
    void closeWindow();
    // The options in Score.ini: restored once when first shown; saved at close and after every
    // Submit.
    void restoreOptions();
    void saveOptions();

    AppServices m_services;
    std::unique_ptr<GameScene> m_game;
    std::unique_ptr<scene::TGLCadencer> m_cadencer;
    session::HallOfFameList m_hallOfFame;
    std::unique_ptr<Screens> m_screens;
    scene::render::SceneViewer* m_viewer = nullptr;
    QWidget* m_client = nullptr;
    QWidget* m_loading = nullptr;
    QLabel* m_splashPicture = nullptr;
    QTimer m_startDelay, m_tickMarkerTimer, m_analysisTimer, m_framePacer;
    scene::TGLAviPlane* m_videoPlane = nullptr;
    std::unique_ptr<stage::VideoPlane> m_video;
    // The song book last handed to the phones: the songs known and those that cannot be sung
    // when it was built, the build running, and this run's salt for its identifiers.
    std::pair<std::size_t, std::size_t> m_songBookShape{SIZE_MAX, SIZE_MAX};
    bool m_scannedSinceSongBook = false;
    std::future<void> m_songBookBuild;
    std::uint64_t m_songBookSalt =
        (std::uint64_t{std::random_device{}()} << 32) ^ std::random_device{}();
    std::mt19937 m_random;
    songs::TSongList m_songList; // the songs of the cover ring, in order
    songs::SongFile m_songFile;
    std::unique_ptr<selection::SongSelection> m_selection;
    std::unique_ptr<selection::CoverRing> m_coverRing;
    std::unique_ptr<SongLibraryScreen> m_library;
    std::vector<std::string> m_songFolders; // kept in Score.ini
    // Declared in destruction order: the loop's capture stops before the invoker goes.
    QtMainThreadInvoker m_invoker;
    // Before the session and the screens that read its book; its worker posts through m_invoker.
    std::unique_ptr<RecordKeeper> m_records;
    std::unique_ptr<PartyHost> m_party;
    std::unique_ptr<QueueScreen> m_queueScreen;
    std::unique_ptr<PartyFlow> m_partyFlow;
    QTimer m_partyTimer;
    // The slots that sing a queued song (none: every bound slot sings), the slots its guests'
    // phones were called to, and the phone slots lent a linked guest's player for the song.
    std::set<std::size_t> m_queueSlots;
    std::map<party::GuestId, std::size_t> m_calledSlots;
    std::set<std::size_t> m_lentSlots;
    bool m_leavingForParty = false;
    bool m_jukebox = false;        // on, between its songs too
    bool m_jukeboxSinging = false; // the song playing is the jukebox's
    bool m_jukeboxStopping = false;
    std::map<std::string, std::int64_t> m_jukeboxPlayedAt; // song file → seconds
    std::vector<std::string> m_medleyMarks;                // song files, in marking order
    MedleyQuestion m_askMedley;
    songs::MedleyTiming m_medleyTiming;
    std::chrono::steady_clock::time_point m_remainingToldAt{};
    std::unique_ptr<StartSteps> m_ownStartSteps;
    StartSteps* m_startSteps = nullptr;
    std::unique_ptr<SoundInputs> m_oneCapture; // when the program hands in one capture
    SoundInputs* m_inputs = nullptr;
    std::unique_ptr<session::ListeningLoop> m_listening;
    std::unique_ptr<SingingSession> m_session;
    AboutBox* m_about = nullptr;
    SongProblemsWindow* m_songProblems = nullptr; // a child of the window
    editor::VideoEditorWindow* m_videoEditor = nullptr;
    editor::LyricViewerWindow* m_lyricViewer = nullptr;
    std::unique_ptr<editor::EditorScreen> m_editor;
    bool m_terminate = false;
    bool m_started = false;
    bool m_firstFrameSeen = false;
    bool m_startFailed = false;
    std::unique_ptr<OptionsForm> m_options;
    std::unique_ptr<SingersScreen> m_singers;
    std::unique_ptr<StatisticsScreen> m_statistics;
    std::unique_ptr<SongRecordsPanel> m_songRecords;
    // Who sings, as the records lines name them, and what they show now.
    std::vector<PanelSinger> m_panelSingers;
    std::string m_songRecordsShownFor;
    bool m_slotNamesAdopted = false;
    std::unique_ptr<FormStorage> m_formStorage;
    // A broken Score.ini is reported once, not at every save.
    bool m_saveFailureShown = false;
    bool m_closed = false;
    bool m_fullScreen = false;
    QRect m_normalGeometry; // where the window was before it went full screen
};

} // namespace cantorix::app
