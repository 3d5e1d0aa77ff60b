#include "main_window.h"

#include "about_box.h"
#include "command_line.h"
#include "error_guard.h"
#include "key_codes.h"
#include "one_capture_inputs.h"
#include "program_files.h"
#include "scene/render/scene_viewer.h"
#include "side_windows.h"
#include "songs/song_errors.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <thread>

namespace cantorix::app {

using namespace cantorix::scene;

namespace {
constexpr int kClientWidth = 766;
constexpr int kClientHeight = 729;
// The cadencer steps at the display's pace; a step renders only when the scene changed.
constexpr int kFrameIntervalMs = 16;
} // namespace

MainWindow::MainWindow(AppServices services) : m_services(std::move(services)) {
    if (m_services.startSteps == nullptr)
        m_ownStartSteps = std::make_unique<StartSteps>(m_services.clock);
    m_startSteps = m_services.startSteps ? m_services.startSteps : m_ownStartSteps.get();
    m_startSteps->onFailure(
        [this](const std::exception& e) { presentError(this, QString::fromUtf8(e.what())); });
    setWindowTitle(QStringLiteral("..:Cantorix:.."));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    m_game =
        std::make_unique<GameScene>(m_services.images, m_services.glyphs, m_services.programDir);
    m_cadencer = std::make_unique<scene::TGLCadencer>(m_game->scene(), m_services.clock);
    m_screens = std::make_unique<Screens>(*m_game, m_hallOfFame);
    buildMenu();
    buildClientArea();
    GameScene& g = *m_game;
    m_selection = std::make_unique<selection::SongSelection>(
        m_services.programDir / "songs", m_songList, m_songFile, m_services.player,
        *g.selection.artist, *g.selection.title, [this](std::int64_t n) {
            return std::uniform_int_distribution<std::int64_t>(0, n - 1)(m_random);
        });
    m_selection->setVoiceDisplay(g.selection.voices, g.selection.voiceChoice);
    m_coverRing = std::make_unique<selection::CoverRing>(
        m_songList, *g.selection.cover, g.materials.covers, [this] { m_library->selectSong(); },
        [this](int index) { return m_library->coverMaterial(index); });
    createLibraryScreen();
    connectInput();
    if (m_services.inputs) {
        m_inputs = m_services.inputs;
    } else {
        m_oneCapture =
            std::make_unique<OneCaptureInputs>(m_services.capture, m_services.recorderDevice,
                                               m_services.sessionInput, m_services.clicks);
        m_inputs = m_oneCapture.get();
    }
    const auto reportError = [this](const std::exception& e) {
        presentError(this, QString::fromUtf8(e.what()));
    };
    m_records = std::make_unique<RecordKeeper>(
        m_services.recordStore, m_invoker, [this](const std::string& message) {
            std::cerr << "cantorix: " << message << '\n';
            presentNotice(this, QString::fromStdString(message));
        });
    m_records->setChanged([this] { recordsChanged(); });
    createParty();
    m_session = std::make_unique<SingingSession>(
        g, *m_screens, m_hallOfFame,
        SessionServices{.player = m_services.player,
                        .invoker = m_invoker,
                        .inputs = *m_inputs,
                        .party = {.invoker = m_invoker,
                                  .makeTracker = m_services.makeSemitoneTracker,
                                  .firstTracker = m_services.semitones,
                                  .reportError = reportError},
                        .gatherSingers = [this] { return gatherSingers(); },
                        .programDir = m_services.programDir,
                        .song = m_songFile,
                        .reloadSong = [this] { reloadSong(); },
                        .selected = &m_selection->selected(),
                        .records = m_records.get(),
                        .phones = m_services.phones,
                        .started =
                            [this](std::int64_t lengthMs) {
                                m_partyFlow->sessionStarted();
                                m_party->setRemaining(lengthMs);
                                m_remainingToldAt = std::chrono::steady_clock::now();
                            },
                        .scorePageShown =
                            [this] {
                                m_party->setRemaining(0);
                                if (!jukeboxSongEnded())
                                    m_partyFlow->scorePageShown();
                            }},
        *this, m_analysisTimer);
    m_options = std::make_unique<OptionsForm>(g, this);
    m_options->setClickPlayer(m_services.clicks);
    // The preview's music would drown the clicks: it holds while they play.
    m_options->setQuiet([this, held = false](bool quiet) mutable {
        songs::MediaPlayer& player = m_services.player;
        if (quiet) {
            held = player.length() > 0 && player.position() < player.length();
            if (held)
                player.pause();
        } else if (held) {
            held = false;
            runGuarded(this, [&player] { player.resume(); });
        }
    });
    createEditor();
    createPlayerScreens();
    createQueueScreen();
    createPartyFlow();
    createMedley();
    if (m_services.profile) {
        // Applied once the window is up: restoring runs while it is being shown.
        StoredProperty::Integer fullScreen{[this] { return m_fullScreen ? 1 : 0; },
                                           [this](std::int32_t on) {
                                               QTimer::singleShot(
                                                   0, this, [this, on] { setFullScreen(on != 0); });
                                           }};
        m_formStorage = std::make_unique<FormStorage>(
            *m_services.profile,
            storedOptionProperties(g, m_hallOfFame, &m_songFolders, std::move(fullScreen)));
    }
    // A submitted entry reaches Score.ini at once, so a crash or a kill later cannot lose it.
    g.scorePage.submitButton->onButtonClick =
        [this, submit = g.scorePage.submitButton->onButtonClick](TGLBaseControl& sender) {
            if (submit)
                submit(sender);
            saveOptions();
        };

    // The start waits only for the window to be laid out: the first frame is what a player
    // waits for.
    m_startDelay.setInterval(0);
    m_startDelay.setSingleShot(true);
    m_tickMarkerTimer.setInterval(20);
    m_analysisTimer.setInterval(50);
    m_analysisTimer.setTimerType(Qt::PreciseTimer);
    m_framePacer.setInterval(kFrameIntervalMs);
    m_framePacer.setTimerType(Qt::PreciseTimer);
    connect(&m_startDelay, &QTimer::timeout, this, [this] { deferredStart(); });
    connect(&m_analysisTimer, &QTimer::timeout, this, guarded(this, [this] { analysisTick(); }));
    connect(&m_framePacer, &QTimer::timeout, this, guarded(this, [this] { frameTick(); }));
    connect(&m_tickMarkerTimer, &QTimer::timeout, this,
            guarded(this, [this] { m_editor->moveTickMarker(); }));

    prepareStart();
}

MainWindow::~MainWindow() {
    // A window destroyed without being closed still keeps its options and hall of fame.
    if (!m_closed)
        saveOptions();
    // The phones' server outlives the window; the book being built for it does not.
    if (m_songBookBuild.valid())
        m_songBookBuild.wait();
}

void MainWindow::createEditor() {
    const auto openFile = [this](std::string_view filter) -> std::optional<std::string> {
        const QString name = QFileDialog::getOpenFileName(
            this, QString(), QString::fromStdString(m_services.programDir.string()),
            QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size())));
        if (name.isEmpty())
            return std::nullopt;
        return name.toStdString();
    };
    m_editor = std::make_unique<editor::EditorScreen>(
        m_game->editorScreen.controls, m_game->editorLook(),
        editor::EditorServices{
            m_services.programDir, m_services.midiOutputs, m_services.midiTimer, m_invoker,
            openFile,
            [this](const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); },
            [this](const std::string& text) {
                if (!m_lyricViewer)
                    return;
                m_lyricViewer->setSongText(text);
                m_lyricViewer->show();
                m_lyricViewer->raise();
            },
            [this](const std::string& text) {
                presentNotice(this, QString::fromStdString(text));
            }});
}

void MainWindow::setSideWindows(AboutBox* about, editor::VideoEditorWindow* videoEditor,
                                editor::LyricViewerWindow* lyricViewer) {
    m_about = about;
    m_videoEditor = videoEditor;
    m_lyricViewer = lyricViewer;
    const std::string programDir = m_services.programDir.string();
    if (m_lyricViewer) {
        m_lyricViewer->setErrorPresenter(&presentError);
        m_lyricViewer->setProgramDir(programDir);
    }
    if (m_videoEditor) {
        m_videoEditor->setErrorPresenter(&presentError);
        m_videoEditor->setProgramDir(programDir);
        // The video editor rewrites lines of the game's own format; a standard song read last
        // is not handed to it, so nothing writes game lines into it or into an older file.
        m_videoEditor->setSongFilePath([this] {
            return m_selection->selected().format == songs::SongFormat::Game
                       ? m_songFile.songFilePath()
                       : std::filesystem::path();
        });
    }
}

void MainWindow::buildMenu() {
    QMenu* program = menuBar()->addMenu(QStringLiteral("Program"));
    optionsAction = program->addAction(QStringLiteral("Options"));
    editorAction = program->addAction(QStringLiteral("Editor"));
    editVideoAction = program->addAction(QStringLiteral("Edit Video"));
    scoresAction = program->addAction(QStringLiteral("Scores"));
    songProblemsAction = program->addAction(QStringLiteral("Song problems"));
    fullScreenAction = program->addAction(QStringLiteral("Full Screen"));
    fullScreenAction->setCheckable(true);
    // The window's own shortcut, so it works whatever holds the focus, the viewer included.
    fullScreenAction->setShortcut(QKeySequence(Qt::Key_F11));
    fullScreenAction->setShortcutContext(Qt::WindowShortcut);
    closeAction = program->addAction(QStringLiteral("Close"));
    aboutAction = menuBar()->addAction(QStringLiteral("About"));
    connect(closeAction, &QAction::triggered, this, guarded(this, [this] { close(); }));
    connect(fullScreenAction, &QAction::triggered, this,
            guarded(this, [this](bool on) { setFullScreen(on); }));
    connect(aboutAction, &QAction::triggered, this, guarded(this, [this] {
                if (m_about)
                    m_about->show();
            }));
    connect(songProblemsAction, &QAction::triggered, this,
            guarded(this, [this] { showSongProblems(); }));
    connect(editVideoAction, &QAction::triggered, this, guarded(this, [this] {
                if (m_videoEditor)
                    m_videoEditor->show();
            }));
    connectMenuScreens();
}

void MainWindow::connectMenuScreens() {
    // The menu items run the in-scene buttons' own click events, whatever those are set to.
    const auto clickOf = [this](scene::TGLButton* button) {
        return guarded(this, [button] {
            if (button->onButtonClick)
                scene::TGLButton::NotifyEvent(button->onButtonClick)(*button);
        });
    };
    connect(optionsAction, &QAction::triggered, this, clickOf(m_game->selection.optionsButton));
    connect(scoresAction, &QAction::triggered, this, clickOf(m_game->selection.scoresButton));
    connect(editorAction, &QAction::triggered, this, clickOf(m_game->selection.editorButton));
}

void MainWindow::buildClientArea() {
    m_client = new QWidget(this);
    setCentralWidget(m_client);
    // Opens at the designed size; any other size shows the scene scaled to fit.
    m_client->resize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    m_client->installEventFilter(this);

    m_viewer = new scene::render::SceneViewer(m_game->scene(), m_client);
    m_viewer->setObjectName(QStringLiteral("GLSceneViewer1"));
    m_viewer->setDesignSize(kClientWidth, kClientHeight);
    m_viewer->setGeometry(0, 0, kClientWidth, kClientHeight);
    for (auto* lib : m_game->materials.all())
        m_viewer->addMaterialLibrary(*lib);
    for (auto* font : m_game->fonts.all())
        m_viewer->addFont(*font);
    m_viewer->hide();
    // The viewer holds the keyboard focus; its keys reach the game through our event filter.
    m_viewer->setFocusPolicy(Qt::StrongFocus);
    m_viewer->installEventFilter(this);
    connect(m_viewer, &scene::render::SceneViewer::afterRender, this,
            guarded(this, [this] { hideSplashOnceDrawn(); }));
    connect(m_viewer, &QOpenGLWidget::frameSwapped, this,
            guarded(this, [this] { firstFrameSwapped(); }));

    m_loading = new QWidget(m_client);
    m_loading->setObjectName(QStringLiteral("Loading"));
    m_loading->setAutoFillBackground(true);
    QPalette white = m_loading->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_loading->setPalette(white);
    m_loading->setGeometry(0, 0, 1, 41);
    m_splashPicture = new QLabel(m_loading);
    m_splashPicture->setAlignment(Qt::AlignCenter);
    m_splashPicture->setPixmap(
        QPixmap::fromImage(requiredPicture(m_services.programDir / "data/gfx/splash.png")));
    m_loading->installEventFilter(this);
    m_loading->raise();
}

void MainWindow::prepareStart() {
    if (noSongFolders()) {
        runGuarded(this, [this] { setUpBackground(); });
        QMessageBox::information(this, QStringLiteral("Cantorix"),
                                 QString::fromUtf8(kAddSongsMessage));
        m_terminate = true;
        return;
    }
    QCoreApplication::processEvents();
    // Filling the client area resizes the panel, which arms the deferred start.
    m_loading->setGeometry(m_client->rect());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_loading && event->type() == QEvent::Resize)
        runGuarded(this, [this] { fitSplashPanel(); });
    if (watched == m_client && event->type() == QEvent::Resize) {
        m_viewer->setGeometry(m_client->rect());
        // The splash follows the client area once it has taken it over.
        if (m_loading->isVisible() && m_loading->width() > 1)
            m_loading->setGeometry(m_client->rect());
    }
    // Filtered before the viewer sees them, so Tab reaches the game instead of moving the focus.
    if (watched == m_viewer && event->type() == QEvent::KeyPress) {
        handleKeyDown(static_cast<const QKeyEvent&>(*event));
        return true;
    }
    if (watched == m_viewer && event->type() == QEvent::KeyRelease) {
        handleKeyUp(static_cast<const QKeyEvent&>(*event));
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    handleKeyDown(*event);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
    handleKeyUp(*event);
}

void MainWindow::changeEvent(QEvent* event) {
    // Keys released while another window had the keyboard never reach us.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        m_screens->releaseKeys();
    // The window manager may leave full screen by itself; the menu item follows.
    if (event->type() == QEvent::WindowStateChange && fullScreenAction) {
        m_fullScreen = isFullScreen();
        fullScreenAction->setChecked(m_fullScreen);
    }
    QMainWindow::changeEvent(event);
}

void MainWindow::handleKeyDown(const QKeyEvent& event) {
    // The menu's shortcut needs an active window; the key itself toggles too when it reaches us.
    if (event.key() == Qt::Key_F11) {
        if (!event.isAutoRepeat())
            fullScreenAction->trigger();
        return;
    }
    // Auto-repeat keeps sending key-downs and characters while a key is held, as the controls
    // expect; a failing key-down does not swallow the character that follows it.
    const int key = gameKeyCode(event.key());
    if (key != 0)
        runGuarded(this, [&] { m_screens->keyDown(key); });
    for (char32_t ch : keyPressCharacters(event.key(), event.text()))
        runGuarded(this, [&] { m_screens->keyPress(ch); });
}

void MainWindow::handleKeyUp(const QKeyEvent& event) {
    if (event.isAutoRepeat())
        return;
    const int key = gameKeyCode(event.key());
    if (key != 0)
        runGuarded(this, [&] { m_screens->keyUp(key); });
}

void MainWindow::fitSplashPanel() {
    m_splashPicture->setGeometry(m_loading->rect());
    if (!m_started && m_loading->width() > 1)
        m_startDelay.start();
}

void MainWindow::deferredStart() {
    try {
        startGame();
    } catch (...) {
        // Without its songs or its background the game has nothing to show: the player learns
        // why, and the entry ends the program instead of leaving the splash up for good.
        for (QTimer* timer : {&m_startDelay, &m_tickMarkerTimer, &m_analysisTimer, &m_framePacer})
            timer->stop();
        m_startFailed = true;
        reportStartupFailure(this, describeException(std::current_exception()));
        emit deferredStartFailed();
    }
}

void MainWindow::startGame() {
    m_startDelay.stop();
    if (m_started)
        return;
    m_started = true;
    StartSteps& steps = *m_startSteps;
    // What the selection screen's first frame shows.
    steps.run("video plane", [this] {
        // The video plane lives for the program's life; the session opens each song's clip in it.
        m_videoPlane = &m_game->singing.videoHolder->addNewChild<scene::TGLAviPlane>("GLAviPlane1");
        m_videoPlane->setLightingOff(true);
        m_video = std::make_unique<stage::VideoPlane>(
            *m_videoPlane, m_services.videoDecoders ? m_services.videoDecoders() : nullptr);
        m_videoPlane->onProgress = [this](scene::TGLBaseSceneObject&, double dt) {
            m_video->DoProgress(dt);
        };
        m_session->setVideoPlane(m_video.get());
    });
    m_random.seed(static_cast<std::mt19937::result_type>(
        std::chrono::steady_clock::now().time_since_epoch().count()));
    QDir::setCurrent(QString::fromStdString(m_services.programDir.string()));
    m_game->addOscilloscopeBars();
    // The cached songs, their first one selected without its preview: the scan and the preview
    // come once the screen is up.
    steps.run("library from the cache", [this] { scanSongs(); });
    steps.run("background", [this] { setUpBackground(); });
    // The viewer draws its frame before the window shows it, so the splash can go now: hidden
    // after that frame, it made the window compose a second time before the first was seen.
    m_loading->hide();
    m_viewer->show();
    m_viewer->setFocus();
    m_cadencer->setEnabled(true);
    m_cadencer->onProgress = [this](double, double) { refreshFrame(); };
    m_framePacer.start();
    m_tickMarkerTimer.start();

    // What waits for the first frame, in the order a player meets it.
    steps.afterFirstFrame("preview", [this] { m_library->releasePreview(); });
    // The inputs are listed by then: who sings shows on the selection screen.
    steps.afterFirstFrame("singers shown", [this] {
        m_singers->inputsListedAtStart();
        showWhoSings();
    });
    steps.afterFirstFrame("listening", [this] {
        startListening();
        m_analysisTimer.start();
    });
    steps.afterFirstFrame("library scan", [this] { m_library->startScan(); });
    // The phones' server listens by now when phones may join.
    steps.afterFirstFrame("song book code", [this] { showSongBookCode(); });
    // Read on the keeper's own thread: a large file never holds the start, and the selection's
    // records lines fill in when it is read.
    steps.afterFirstFrame("records", [this] {
        m_records->startLoading();
        if (m_services.queueStore)
            m_records->loadQueue(
                [this](party::KeptQueue queue) { m_party->restore(std::move(queue)); });
        else
            m_party->restore({});
    });
    emit deferredStartFinished();
}

void MainWindow::connectInput() {
    GameScene& g = *m_game;
    using scene::TGLBaseControl;
    using scene::TMouseButton;
    // Moves and releases reach every root; presses only the interactive one, so the buttons of
    // screens that are not shown stay inert.
    connect(m_viewer, &scene::render::SceneViewer::mouseMove, this,
            guarded(this, [this](int x, int y) {
                for (TGLBaseControl* root : m_game->roots())
                    root->mouseMove(x, y);
            }));
    connect(m_viewer, &scene::render::SceneViewer::mouseDown, this,
            guarded(this, [this](TMouseButton button, int x, int y) {
                for (TGLBaseControl* root : m_game->roots())
                    if (root->tag() == 1)
                        root->mouseDown(button, x, y);
            }));
    connect(m_viewer, &scene::render::SceneViewer::mouseUp, this,
            guarded(this, [this](TMouseButton button, int x, int y) {
                for (TGLBaseControl* root : m_game->roots())
                    root->mouseUp(button, x, y);
            }));
    // Clicks fire while the viewer's mouse event is being handled, inside its guard.
    g.selection.previousButton->onButtonClick = [this](TGLBaseControl&) {
        m_coverRing->turnLeft();
    };
    g.selection.nextButton->onButtonClick = [this](TGLBaseControl&) { m_coverRing->turnRight(); };
    g.selection.cover->onProgress = [this](scene::TGLBaseSceneObject&, double dt) {
        m_coverRing->stepCover(dt);
    };
    // A duet's voice is chosen with the V key or a click on the label that names it.
    g.selection.voiceChoice->onMouseDown = [this](TGLBaseControl&, TMouseButton, int x, int) {
        m_selection->chooseVoiceAt(x);
    };
    m_screens->songListKeyDown = [this](int key) { m_library->keyDown(key); };
    m_screens->songListKeyPress = [this](char32_t ch) { m_library->keyPress(ch); };
}

void MainWindow::reloadSong() {
    m_selection->reload();
}

void MainWindow::setUpBackground() {
    const scene::TGLLibMaterial& picture =
        m_game->materials.skin.addTextureMaterial("Bg", "data/skins/vip/bg.jpg");
    // The sprite covers the designed client area; the viewer scales that to the window and
    // fills the margins with the picture's edge colour, so the background seems to go on.
    scene::TGLHUDSprite& bg = *m_game->background.picture;
    bg.setWidth(static_cast<float>(kClientWidth));
    bg.setHeight(static_cast<float>(kClientHeight));
    bg.setPosition(
        {static_cast<float>(kClientWidth / 2), static_cast<float>(kClientHeight / 2), 0});
    m_viewer->setMarginColour(scene::render::edgeColour(picture.texture().image()));
}

void MainWindow::setFullScreen(bool on) {
    if (on == m_fullScreen)
        return;
    m_fullScreen = on;
    fullScreenAction->setChecked(on);
    // The geometry is set as well: without a window manager (a kiosk display) the state alone
    // changes nothing on screen.
    if (on) {
        m_normalGeometry = geometry();
        // Before the state: a new geometry takes a window out of full screen.
        if (QScreen* display = screen())
            setGeometry(display->geometry());
        setWindowState(windowState() | Qt::WindowFullScreen);
    } else {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        if (m_normalGeometry.isValid())
            setGeometry(m_normalGeometry);
    }
}

void MainWindow::hideSplashOnceDrawn() {
    if (m_started && m_loading->isVisible())
        m_loading->hide();
}

void MainWindow::firstFrameSwapped() {
    if (!m_started || m_firstFrameSeen)
        return;
    m_firstFrameSeen = true;
    if (std::getenv("CANTORIX_START_REPORT") != nullptr) {
        // The steady clock's own seconds, which the start-up benchmark sets beside its own.
        char line[64];
        std::snprintf(
            line, sizeof line, "cantorix: first frame at %.6f\n",
            std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
        std::cerr << line;
    }
    // The steps that waited run on the next turn of the loop, the frame being on screen.
    QTimer::singleShot(0, this, [this] {
        m_startSteps->firstFrameDrawn();
        if (std::getenv("CANTORIX_START_REPORT") != nullptr)
            std::cerr << "cantorix: start\n" << m_startSteps->report();
    });
}

void MainWindow::frameTick() {
    // A minimised or covered window presents no frames, so the scene does not step either.
    QWindow* window = windowHandle();
    if (!m_viewer || isMinimized() || !window || !window->isExposed())
        return;
    m_cadencer->progress();
}

void MainWindow::refreshFrame() {
    if (!m_viewer)
        return;
    GameScene& g = *m_game;
    followSongRecords();
    const bool menuScreens =
        g.selection.guiRoot->tag() == 1 || g.hallOfFamePage.guiRoot->tag() == 1;
    for (QAction* a : {optionsAction, scoresAction, editVideoAction, editorAction})
        a->setEnabled(menuScreens);
    g.singing.pointsText->setText(session::pointCounterText(m_session->scoring().notePoints()));
    for (scene::TGLBaseControl* root : {g.selection.guiRoot, g.scorePage.guiRoot, g.singing.guiRoot,
                                        g.hallOfFamePage.guiRoot, g.editorScreen.guiRoot})
        root->applyChanges();
    // While paused the clip is set back every frame, so the picture stands still.
    if (m_video && g.singing.playButton->visible())
        m_video->SetFrame(m_session->pausedVideoFrame());
    m_viewer->invalidate();
    if (m_video) {
        // Always 26.5 units wide whatever the clip's size and sampling; no scale without a picture.
        if (const std::optional<float> scale = m_video->planeScale())
            m_videoPlane->setScale({*scale, *scale, m_videoPlane->scale().z});
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    saveOptions();
    m_closed = true;
    closeWindow();
    QMainWindow::closeEvent(event);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_formStorage && !m_formStorage->restored())
        restoreOptions();
}

void MainWindow::restoreOptions() {
    m_formStorage->restore();
    if (m_started)
        m_library->setShowUnplayable(showsUnplayableSongs(*m_game));
    // A file written before the label followed its position may hold a stale percentage.
    m_game->options.appearance.transparencyLabel->setCaption(
        transparencyCaption(m_game->options.appearance.transparency->pos()));
}

void MainWindow::saveOptions() {
    if (!m_formStorage)
        return;
    try {
        m_formStorage->save();
        m_saveFailureShown = false;
    } catch (const std::exception& e) {
        if (m_saveFailureShown)
            return;
        m_saveFailureShown = true;
        presentError(this, QStringLiteral("The options and the hall of fame were not saved.\n") +
                               QString::fromUtf8(e.what()));
    }
}

void MainWindow::closeWindow() {
    stopListening();
    m_framePacer.stop();
    m_session->shutDown();
    m_analysisTimer.stop();
    m_tickMarkerTimer.stop();
    m_editor->player().Stop();
    if (m_viewer) {
        m_cadencer->setEnabled(false);
        delete m_viewer;
        m_viewer = nullptr;
    }
}

} // namespace cantorix::app
