// The main window's side of the singers and players: the singers and statistics screens, the ear
// of the menus on the first open input, who sings as the selection screen and its records lines
// name them, and the singers of a session.

#include "error_guard.h"
#include "main_window.h"
#include "selection/song_search_input.h"

#include <chrono>
#include <iostream>

namespace cantorix::app {

// The selection screen's keys that open the other screens must not take one it has already.
static_assert(SingersScreen::kOpenKey != selection::SongSearchInput::kRandomKey &&
              StatisticsScreen::kOpenKey != selection::SongSearchInput::kRandomKey &&
              StatisticsScreen::kOpenKey != SingersScreen::kOpenKey);

void MainWindow::createPlayerScreens() {
    GameScene& g = *m_game;
    // The singers screen, opened from the song list by its button or F2.
    if (!m_services.captureError.empty())
        std::cerr << "cantorix: " << m_services.captureError << '\n';
    m_singers = std::make_unique<SingersScreen>(
        SingersScreenParts{.game = g,
                           .inputs = *m_inputs,
                           .makeTracker = m_services.makeSemitoneTracker,
                           .profile = m_services.profile,
                           .relistInputs =
                               [this] {
                                   stopListening();
                                   m_inputs->relist();
                                   startListening();
                               },
                           .preview = &m_services.player,
                           .options = m_options.get(),
                           .left = [this] { showWhoSings(); },
                           .records = m_records.get(),
                           .picturesFolder = m_services.picturesFolder,
                           .phones = m_services.phones});
    // The records: the statistics screen and the selection's lines of the song's best.
    m_statistics = std::make_unique<StatisticsScreen>(
        StatisticsScreenParts{.game = g, .book = m_records->book(), .nowMs = [] {
                                  return std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::system_clock::now().time_since_epoch())
                                      .count();
                              }});
    m_songRecords = std::make_unique<SongRecordsPanel>(g, m_records->book());
    m_screens->statisticsKey = StatisticsScreen::kOpenKey;
    m_screens->showStatistics = [this] { m_statistics->show(); };
    m_screens->statisticsKeyDown = [this](int key) { m_statistics->keyDown(key); };
    if (m_services.phones) {
        m_services.phones->onSeatsChanged([this] { followPhoneSeats(); });
        m_services.phones->reserveSlots(phoneSlotReservations(m_singers->roster()));
    }
    connectPhonesOption();
    m_screens->singersKey = SingersScreen::kOpenKey;
    m_screens->showSingers = [this] { m_singers->show(); };
    m_screens->singersKeyDown = [this](int key) { m_singers->keyDown(key); };
}

void MainWindow::startListening() {
    stopListening();
    for (const SoundInput& input : m_inputs->inputs()) {
        if (!input.capture)
            continue;
        m_listening = std::make_unique<session::ListeningLoop>(session::ListeningParts{
            .capture = *input.capture,
            .invoker = m_invoker,
            .semitones = m_services.semitones,
            .reportError =
                [this](const std::exception& e) {
                    presentError(this, QString::fromUtf8(e.what()));
                },
        });
        // A stream that cannot start leaves the analysis on silence; the game goes on.
        runGuarded(this, [this] { m_listening->startCapture(); });
        return;
    }
}

void MainWindow::stopListening() {
    if (m_listening)
        m_listening->stopCapture();
    m_listening.reset();
}

void MainWindow::showWhoSings() {
    // The selection screen offers each bound singer a voice of a duet.
    SingerRoster& roster = m_singers->roster();
    roster.placeMicFiles(*m_inputs);
    std::vector<std::string> names;
    m_panelSingers.clear();
    for (const BoundSinger& bound : roster.boundSingers(*m_inputs)) {
        if (!singsNext(bound.slot))
            continue;
        names.push_back(bound.name);
        m_panelSingers.push_back({bound.playerId, bound.name, bound.colour, 0});
    }
    m_selection->setSingers(std::move(names));
    m_songRecordsShownFor.clear();
}

std::vector<PartySinger> MainWindow::gatherSingers() {
    // The jukebox plays its songs unscored.
    if (m_jukeboxSinging)
        return {};
    // Listing again closes every stream: the ear of the menus lets go of its input first.
    stopListening();
    m_inputs->relist();
    startListening();
    SingerRoster& roster = m_singers->roster();
    roster.placeMicFiles(*m_inputs);
    std::vector<PartySinger> singers;
    for (const BoundSinger& bound : roster.boundSingers(*m_inputs))
        if (singsNext(bound.slot))
            singers.push_back({.slot = bound.slot,
                               .playerId = bound.playerId,
                               .name = bound.name,
                               .colour = bound.colour,
                               .delayMs = bound.delayMs,
                               .input = bound.input,
                               .picture = m_singers->pictureFileOf(bound.slot)});
    return singers;
}

void MainWindow::analysisTick() {
    if (m_session->party().empty()) {
        if (m_listening)
            m_listening->tick(false, std::nullopt);
        return;
    }
    m_session->analysisTick();
}

} // namespace cantorix::app
