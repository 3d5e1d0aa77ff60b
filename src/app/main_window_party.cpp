// The party's queue in the window: its host, fed by the phones and kept in the records file.

#include "join_code_picture.h"
#include "main_window.h"
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
        }});
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
        .startJukebox = {},
        .left = {}});
    m_party->onChanged([this] { m_queueScreen->refresh(); });
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

} // namespace cantorix::app
