// The party's queue in the window: its host, fed by the phones and kept in the records file.

#include "fitted_text.h"
#include "join_code_picture.h"
#include "main_window.h"
#include "songs/song_catalog.h"
#include "songs/song_identity.h"

#include <QInputDialog>
#include <QLineEdit>
#include <chrono>
#include <cstdio>
#include <random>

namespace cantorix::app {

namespace {

std::int64_t secondsNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// What a guest's phone keeps to find its songs again: 128 random bits, as hexadecimal.
std::string newGuestToken() {
    std::random_device random;
    std::string token;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
        token += part;
    }
    return token;
}

} // namespace

void MainWindow::createParty() {
    m_records->setQueueStore(m_services.queueStore);
    m_party = std::make_unique<PartyHost>(PartyHost::Setup{
        .hall = m_services.phones,
        .now = secondsNow,
        .newToken = newGuestToken,
        .keep = [this](const party::KeptQueue& queue) { m_records->keepQueue(queue); },
        .lastSungAt = [this](const std::string& songFile) -> std::optional<std::int64_t> {
            const party::BookSong* song =
                m_party->songBook() ? m_party->songBook()->bySongFile(songFile) : nullptr;
            if (song == nullptr)
                return std::nullopt;
            const songs::SongPopularity sung =
                m_records->book().popularity(songs::songIdentity(song->artist, song->title));
            if (sung.lastSungAtMs == 0)
                return std::nullopt;
            return sung.lastSungAtMs / 1000;
        },
        .drawMedley =
            [this](std::size_t songs) { return medleySongFiles(pickMedley({.songs = songs})); }});
}

void MainWindow::createQueueScreen() {
    GameScene& g = *m_game;
    m_queueScreen = std::make_unique<QueueScreen>(QueueScreenParts{
        .game = g,
        .party = *m_party,
        .players =
            [this] {
                std::vector<QueuePlayerChoice> players;
                for (const records::Player& player : m_records->book().players())
                    players.push_back({player.id, player.name});
                return players;
            },
        .askName = [this](const std::string& current) -> std::optional<std::string> {
            bool accepted = false;
            const QString name = QInputDialog::getText(this, QStringLiteral("Rename the guest"),
                                                       QStringLiteral("Name:"), QLineEdit::Normal,
                                                       QString::fromStdString(current), &accepted);
            if (!accepted)
                return std::nullopt;
            return name.toStdString();
        },
        .drawCodes = [this] { showPartyCodes(); },
        .startJukebox =
            [this] {
                m_queueScreen->leave();
                startJukebox();
            },
        .left = {}});
    m_screens->queueKey = QueueScreen::kOpenKey;
    m_screens->showQueue = [this] { m_queueScreen->show(); };
    m_screens->queueKeyDown = [this](int key) { m_queueScreen->keyDown(key); };
}

void MainWindow::showPartyCodes() {
    QueueNodes& queue = m_game->queue;
    PhoneHall* phones = m_services.phones;
    const std::vector<std::string> addresses =
        phones && phones->listening() ? phones->addresses() : std::vector<std::string>{};
    const bool reachable = !addresses.empty();
    drawPartyCode(reachable ? phones->joinCode(0, addresses.front()) : JoinCode{},
                  {*queue.guestCode, *queue.guestCaption, "QueueGuestCode", kQueueCodeMost,
                   kQueueCodeX, kQueueGuestCodeY});
    drawPartyCode(reachable ? phones->hostCode(addresses.front()) : JoinCode{},
                  {*queue.hostCode, *queue.hostCaption, "QueueHostCode", kQueueCodeMost,
                   kQueueCodeX, kQueueHostCodeY});
}

namespace {

constexpr int kPartyTickMs = 250;
// How often the phones hear how much is left of the song being sung, for their start times.
constexpr std::chrono::seconds kRemainingEvery{10};
constexpr scene::TColor kWaitingColour = 0x00A0A0A0;
constexpr int kKeyS = 'S';

void setLabel(scene::TGLLabel& label, const std::string& text, scene::TColor colour) {
    label.setCaption(label.bitmapFont() ? fitToWidth(*label.bitmapFont(), text, label.width())
                                        : text);
    label.setDefaultColor(colour);
    label.setFocusedColor(colour);
    label.setVisible(true);
}

} // namespace

void MainWindow::createPartyFlow() {
    m_partyFlow = std::make_unique<PartyFlow>(
        *m_party,
        PartyFlowHooks{
            .idle =
                [this] {
                    return m_started && m_screens->songListShown() &&
                           !m_game->singing.group->visible() && !m_game->scorePage.group->visible();
                },
            .leaveScorePage =
                [this] {
                    m_leavingForParty = true;
                    m_screens->backToSelection();
                    m_leavingForParty = false;
                },
            .showNextUp = [this](const party::QueueEntry& entry) { showNextUp(entry, true); },
            .showCountdown =
                [this](int seconds) {
                    setLabel(*m_game->nextUp.countdown,
                             "Starts in " + std::to_string(seconds) + " s", scene::clWhite);
                },
            .hideNextUp = [this] { hideNextUp(); },
            .start = [this](const party::QueueEntry& entry) { return startQueuedSong(entry); }},
        [] { return std::chrono::steady_clock::now(); });
    m_screens->leftScorePage = [this] {
        endQueuedSong();
        if (!m_leavingForParty)
            m_partyFlow->scorePageLeft();
    };
    m_screens->nextUpKeyDown = [this](int key) {
        if (key == scene::keys::Escape)
            m_partyFlow->stop();
        else if (key == kKeyS)
            m_partyFlow->skip();
        else if (key == scene::keys::Enter || key == scene::keys::Space)
            m_partyFlow->moveOn();
    };
    NextUpNodes& nextUp = m_game->nextUp;
    const auto on = [](scene::TGLButton* button, std::function<void()> action) {
        button->onButtonClick = [action = std::move(action)](scene::TGLBaseControl& sender) {
            static_cast<scene::TGLButton&>(sender).setPressed(false);
            // After the press has been offered to every root, as the screens' own buttons do.
            QTimer::singleShot(0, action);
        };
    };
    on(nextUp.startButton, [this] { m_partyFlow->moveOn(); });
    on(nextUp.skipButton, [this] { m_partyFlow->skip(); });
    on(nextUp.stopButton, [this] { m_partyFlow->stop(); });
    m_party->onHostFlow([this](party::HostRequest::Action action) {
        if (action == party::HostRequest::Action::Skip)
            m_partyFlow->skip();
        else
            m_partyFlow->moveOn();
    });
    m_party->onChanged([this] {
        m_queueScreen->refresh();
        m_partyFlow->tick();
    });
    m_screens->jukeboxKey = QueueScreen::kJukeboxKey;
    m_screens->startJukebox = [this] { startJukebox(); };
    m_screens->singingKeyDown = [this](int key) { jukeboxKeyDown(key); };
    connect(&m_partyTimer, &QTimer::timeout, this, [this] {
        m_partyFlow->tick();
        followJukebox();
        // The phones' start times follow the song being sung, a push every few seconds.
        if (m_game->singing.group->visible() &&
            std::chrono::steady_clock::now() - m_remainingToldAt >= kRemainingEvery) {
            m_remainingToldAt = std::chrono::steady_clock::now();
            m_party->setRemaining(m_services.player.length() - m_services.player.position());
        }
    });
    m_partyTimer.start(kPartyTickMs);
}

bool MainWindow::singsNext(std::size_t slot) const {
    return m_queueSlots.empty() || m_queueSlots.contains(slot);
}

std::vector<MainWindow::QueueSinger> MainWindow::seatQueueSingers(const party::QueueEntry& entry,
                                                                  bool call) {
    const party::PartyQueue& queue = m_party->queue();
    std::vector<QueueSinger> singers;
    if (const party::Guest* owner = queue.guest(entry.owner))
        singers.push_back({owner->name, owner->id, std::nullopt});
    if (const party::Guest* partner = entry.partner ? queue.guest(*entry.partner) : nullptr)
        singers.push_back({partner->name, partner->id, std::nullopt});
    else if (!entry.partnerName.empty())
        singers.push_back({entry.partnerName, std::nullopt, std::nullopt});

    SingerRoster& roster = m_singers->roster();
    const std::vector<PhoneSeatView> seats =
        m_services.phones ? m_services.phones->seats() : std::vector<PhoneSeatView>{};
    std::set<std::size_t> taken;
    const auto phoneAt = [&](std::size_t slot) {
        return std::any_of(seats.begin(), seats.end(),
                           [&](const PhoneSeatView& seat) { return seat.slot == slot + 1; });
    };
    for (QueueSinger& singer : singers) {
        // A phone called to a slot for this song, and joined there.
        if (const auto called =
                singer.guest ? m_calledSlots.find(*singer.guest) : m_calledSlots.end();
            called != m_calledSlots.end()) {
            singer.called = true;
            if (phoneAt(called->second))
                singer.slot = called->second;
        }
        // A phone joined as a microphone under the guest's name.
        const std::string folded = songs::foldForSearch(singer.name);
        for (const PhoneSeatView& seat : seats)
            if (!singer.slot && seat.connected && !taken.contains(seat.slot - 1) &&
                songs::foldForSearch(seat.name) == folded)
                singer.slot = seat.slot - 1;
        // The guest's player, bound to a slot with a microphone of the host's.
        const party::Guest* guest = singer.guest ? queue.guest(*singer.guest) : nullptr;
        if (!singer.slot && guest && guest->playerId)
            for (std::size_t i = 0; i < session::kSingerSlots; ++i) {
                const SingerSlot& slot = roster.slot(i);
                if (slot.playerId == guest->playerId && slot.input &&
                    slot.input->card != kPhoneInputCard && !taken.contains(i))
                    singer.slot = i;
            }
        if (singer.slot)
            taken.insert(*singer.slot);
    }
    if (call) {
        // A guest whose song book is open is asked to tap to sing in the first free slot.
        const std::vector<std::string> reserved = phoneSlotReservations(roster);
        for (QueueSinger& singer : singers) {
            if (singer.slot || singer.called || !singer.guest ||
                !m_party->guestOnline(*singer.guest))
                continue;
            for (std::size_t i = 0; i < session::kSingerSlots; ++i) {
                if (!reserved[i].empty() || roster.slot(i).input || taken.contains(i) || phoneAt(i))
                    continue;
                m_party->callToSing(*singer.guest, i + 1);
                m_calledSlots[*singer.guest] = i;
                singer.called = true;
                taken.insert(i);
                break;
            }
        }
    }
    return singers;
}

void MainWindow::showNextUp(const party::QueueEntry& entry, bool call) {
    GameScene& g = *m_game;
    NextUpNodes& nodes = g.nextUp;
    if (call)
        m_calledSlots.clear();
    if (!nodes.group->visible()) {
        g.selection.form->setVisible(false);
        g.selection.ring->setVisible(false);
        g.selection.guiRoot->setTag(0);
        nodes.group->setVisible(true);
        nodes.guiRoot->setTag(1);
    }
    // A medley shows its caption, its songs' titles above it and its first song's cover.
    const party::BookSong* song = m_party->songOf(entry);
    const std::optional<party::SongFacts> facts = m_party->factsOf(entry);
    setLabel(*nodes.heading, "Next up", scene::clWhite);
    setLabel(*nodes.artist, facts ? facts->artist : "", 0x00C0C0C0);
    setLabel(*nodes.title, facts ? facts->title : "", scene::clWhite);
    nodes.cover->setVisible(false);
    if (song && song->hasCover) {
        // A cover that cannot be read leaves the screen without one.
        try {
            g.materials.skin.addTextureMaterial("NextUpCover", song->cover);
            nodes.cover->setMaterial({&g.materials.skin, "NextUpCover"});
            nodes.cover->setVisible(true);
        } catch (const std::exception&) {
        }
    }
    const std::vector<QueueSinger> singers = seatQueueSingers(entry, call);
    std::string unseated;
    for (std::size_t i = 0; i < nodes.singers.size(); ++i) {
        scene::TGLLabel& label = *nodes.singers[i];
        if (i >= singers.size()) {
            // A medley is everyone's: the line after its singers says so.
            if (entry.medley && i == singers.size())
                setLabel(label, "and everyone seated sings along", kWaitingColour);
            else
                label.setVisible(false);
            continue;
        }
        const QueueSinger& singer = singers[i];
        if (singer.slot) {
            const SingerSlot& slot = m_singers->roster().slot(*singer.slot);
            setLabel(label,
                     singer.name + " \xE2\x80\x94 singer " + std::to_string(*singer.slot + 1),
                     slot.colour);
        } else if (singer.called) {
            setLabel(label,
                     singer.name +
                         " \xE2\x80\x94 tap \xE2\x80\x9CYou're up\xE2\x80\x9D on your phone",
                     kWaitingColour);
        } else {
            setLabel(label, singer.name + " \xE2\x80\x94 not seated", kWaitingColour);
            unseated += (unseated.empty() ? "" : ", ") + singer.name;
        }
    }
    nodes.unseated->setVisible(!unseated.empty());
    nodes.howToJoin->setVisible(!unseated.empty());
    if (!unseated.empty()) {
        setLabel(*nodes.unseated, "Not seated yet: " + unseated, 0x0080D0FF);
        setLabel(*nodes.howToJoin,
                 "Scan the guests' code on the Queue screen to be called to sing, or take a "
                 "slot on the singers screen (F2).",
                 0x00C0C0C0);
    }
}

void MainWindow::hideNextUp() {
    GameScene& g = *m_game;
    if (!g.nextUp.group->visible())
        return;
    g.nextUp.group->setVisible(false);
    g.nextUp.guiRoot->setTag(0);
    g.selection.form->setVisible(true);
    g.selection.ring->setVisible(true);
    g.selection.guiRoot->setTag(1);
}

bool MainWindow::startQueuedSong(const party::QueueEntry& entry) {
    if (entry.medley
            ? !startQueuedMedley(*entry.medley).empty()
            : !m_library->showSongFile(entry.songId) || !m_library->selectedProblem().empty())
        return false;
    const std::vector<QueueSinger> singers = seatQueueSingers(entry, false);
    m_queueSlots.clear();
    SingerRoster& roster = m_singers->roster();
    for (const QueueSinger& singer : singers) {
        if (!singer.slot)
            continue;
        // A medley is everyone's: whoever else is seated sings it too.
        if (!entry.medley)
            m_queueSlots.insert(*singer.slot);
        // A guest linked to a player sings as the player: their performances are the player's.
        const party::Guest* guest = singer.guest ? m_party->queue().guest(*singer.guest) : nullptr;
        SingerSlot& slot = roster.slot(*singer.slot);
        if (guest && guest->playerId && !slot.playerId) {
            slot.playerId = guest->playerId;
            m_lentSlots.insert(*singer.slot);
        }
    }
    showWhoSings();
    // The owner's voice of a duet, when they chose one: the two singers swap if needed.
    const songs::SelectedSong& selected = m_selection->selected();
    if (entry.voice && singers.size() == 2 && singers[0].slot && singers[1].slot &&
        selected.singerVoices.size() == 2) {
        const std::size_t owner = *singers[0].slot < *singers[1].slot ? 0 : 1;
        if (selected.singerVoices[owner] != static_cast<std::size_t>(*entry.voice))
            m_selection->chooseNextVoice();
    }
    m_screens->startSong();
    return m_game->singing.group->visible();
}

void MainWindow::endQueuedSong() {
    SingerRoster& roster = m_singers->roster();
    for (const std::size_t slot : m_lentSlots)
        roster.slot(slot).playerId.reset();
    m_lentSlots.clear();
    m_queueSlots.clear();
    m_calledSlots.clear();
}

} // namespace cantorix::app
