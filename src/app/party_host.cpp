#include "party_host.h"

#include "songs/medley_layout.h"

#include <algorithm>
#include <utility>

namespace cantorix::app {

using party::QueueAnswer;

PartyHost::PartyHost(Setup setup) : m_setup(std::move(setup)) {
    if (m_setup.hall != nullptr)
        m_setup.hall->onGuests(
            [this](PhoneHall::GuestConnection connection, party::GuestRequest request) {
                if (m_restored)
                    said(connection, std::move(request));
                else
                    m_early.emplace_back(connection, std::move(request));
            },
            [this](PhoneHall::GuestConnection connection) {
                m_viewers.erase(connection);
                std::erase_if(m_early,
                              [connection](const auto& e) { return e.first == connection; });
            });
}

void PartyHost::restore(party::KeptQueue kept) {
    m_queue.restore(std::move(kept));
    m_restored = true;
    for (auto& [connection, request] : std::exchange(m_early, {}))
        said(connection, std::move(request));
    tellEveryone();
    if (m_changed)
        m_changed();
}

void PartyHost::openSongBook(std::shared_ptr<const party::SongBook> book) {
    m_book = std::move(book);
    // Titles may have changed, and songs left the library or came back.
    tellEveryone();
    if (m_changed)
        m_changed();
}

const party::BookSong* PartyHost::songOf(const party::QueueEntry& entry) const {
    if (!m_book)
        return nullptr;
    if (!entry.medley)
        return m_book->bySongFile(entry.songId);
    for (const std::string& songFile : entry.medley->songIds)
        if (const party::BookSong* song = m_book->bySongFile(songFile))
            return song;
    return nullptr;
}

std::optional<party::SongFacts> PartyHost::factsOf(const party::QueueEntry& entry) const {
    return party::entryFacts(entry,
                             [this](const std::string& songFile) { return factsOf(songFile); });
}

std::optional<party::SongFacts> PartyHost::factsOf(const std::string& songFile) const {
    const party::BookSong* song = m_book ? m_book->bySongFile(songFile) : nullptr;
    if (song == nullptr)
        return std::nullopt;
    return party::SongFacts{song->artist, song->title, song->lengthMs, song->medleyPartMs};
}

std::vector<party::QueueRow> PartyHost::rows() const {
    return party::queueRows(
        m_queue, [this](const std::string& songFile) { return factsOf(songFile); }, m_remainingMs,
        std::nullopt);
}

std::vector<std::string> PartyHost::singersOf(const party::QueueEntry& entry) const {
    std::vector<std::string> names;
    if (const party::Guest* owner = m_queue.guest(entry.owner))
        names.push_back(owner->name);
    if (const party::Guest* partner = entry.partner ? m_queue.guest(*entry.partner) : nullptr)
        names.push_back(partner->name);
    else if (!entry.partnerName.empty())
        names.push_back(entry.partnerName);
    return names;
}

void PartyHost::said(PhoneHall::GuestConnection connection, party::GuestRequest request) {
    if (const auto* greeting = std::get_if<party::GuestHello>(&request)) {
        hello(connection, *greeting);
        return;
    }
    const auto viewer = m_viewers.find(connection);
    if (viewer == m_viewers.end())
        return; // the server lets nothing but a hello through first; a late message after close
    if (const auto* add = std::get_if<party::AddSongRequest>(&request)) {
        addFromPhone(connection, *add);
    } else if (const auto* medley = std::get_if<party::AddMedleyRequest>(&request)) {
        addMedleyFromPhone(connection, *medley);
    } else if (const auto* change = std::get_if<party::EntryRequest>(&request)) {
        const std::optional<party::GuestId> guest = inLine(connection);
        if (!guest)
            return;
        const QueueAnswer result = change->kind == party::EntryRequest::Kind::Remove
                                       ? m_queue.remove(change->entry, *guest)
                                       : m_queue.moveLater(change->entry, *guest);
        if (result != QueueAnswer::Accepted)
            answer(connection, party::answerText(result, m_queue.settings().mostWaitingPerGuest));
        else
            changed();
    } else if (const auto* host = std::get_if<party::HostRequest>(&request)) {
        hostFromPhone(connection, *host);
    }
}

void PartyHost::hello(PhoneHall::GuestConnection connection, const party::GuestHello& hello) {
    Viewer viewer;
    viewer.host = hello.host;
    const party::Guest* known = m_queue.guestByToken(hello.token);
    std::string token = known ? known->token : std::string();
    if (known) {
        viewer.guest = known->id;
        // The page keeps the name it showed last; the host may have renamed the guest since,
        // and the game's name holds.
    } else if (!hello.name.empty()) {
        token = m_setup.newToken ? m_setup.newToken() : std::string();
        viewer.guest = m_queue.join(hello.name, m_setup.now(), token);
        if (viewer.guest)
            changed();
    }
    m_viewers[connection] = viewer;
    if (m_setup.hall == nullptr)
        return;
    const party::Guest* guest = viewer.guest ? m_queue.guest(*viewer.guest) : nullptr;
    m_setup.hall->tellGuest(connection,
                            party::GuestWelcome{guest ? guest->id : 0, guest ? guest->name : "",
                                                guest ? token : "", viewer.host});
    m_setup.hall->tellGuest(connection, newsFor(viewer));
}

std::optional<party::GuestId> PartyHost::inLine(PhoneHall::GuestConnection connection) {
    const std::optional<party::GuestId> guest = m_viewers.at(connection).guest;
    if (!guest)
        answer(connection, "Type your name first.");
    return guest;
}

void PartyHost::addAndAnswer(PhoneHall::GuestConnection connection,
                             const party::PartyQueue::SongRequest& request,
                             const std::string& shownAs) {
    const QueueAnswer result = added(request);
    answer(connection, result == QueueAnswer::Accepted
                           ? "Added: " + shownAs
                           : party::answerText(result, m_queue.settings().mostWaitingPerGuest));
}

void PartyHost::addFromPhone(PhoneHall::GuestConnection connection,
                             const party::AddSongRequest& add) {
    const std::optional<party::GuestId> guest = inLine(connection);
    if (!guest)
        return;
    const party::BookSong* song = m_book ? m_book->byId(add.songId) : nullptr;
    if (song == nullptr) {
        answer(connection, "That song is not in the song book.");
        return;
    }
    party::PartyQueue::SongRequest request{*guest, song->songFile};
    if (song->duet) {
        request.partner = add.partner;
        request.partnerName = add.partnerName;
        request.voice = add.voice;
    }
    addAndAnswer(connection, request, song->title);
}

void PartyHost::addMedleyFromPhone(PhoneHall::GuestConnection connection,
                                   const party::AddMedleyRequest& add) {
    const std::optional<party::GuestId> guest = inLine(connection);
    if (!guest)
        return;
    party::QueuedMedley medley{.songIds = m_setup.drawMedley ? m_setup.drawMedley(add.songs)
                                                             : std::vector<std::string>{},
                               .from = "random"};
    if (medley.songIds.size() < songs::kMedleyFewestSongs) {
        answer(connection, "There are too few songs with a medley part for a medley.");
        return;
    }
    const std::string caption = party::medleyCaption(medley);
    addAndAnswer(connection, {.guest = *guest, .songId = {}, .medley = std::move(medley)}, caption);
}

QueueAnswer PartyHost::added(const party::PartyQueue::SongRequest& request) {
    const std::optional<std::int64_t> lastSung =
        m_setup.lastSungAt && !request.medley ? m_setup.lastSungAt(request.songId) : std::nullopt;
    const party::PartyQueue::Added result = m_queue.add(request, m_setup.now(), lastSung);
    if (result.answer == QueueAnswer::Accepted)
        changed();
    return result.answer;
}

void PartyHost::hostFromPhone(PhoneHall::GuestConnection connection,
                              const party::HostRequest& request) {
    using Action = party::HostRequest::Action;
    if (!m_viewers.at(connection).host) {
        answer(connection, "Only the host can do that.");
        return;
    }
    QueueAnswer result = QueueAnswer::Accepted;
    switch (request.action) {
    case Action::PlayNext:
        result = playNext(request.entry);
        break;
    case Action::Move:
        result = move(request.entry, request.index);
        break;
    case Action::Remove:
        result = remove(request.entry);
        break;
    case Action::Clear:
        clear();
        break;
    case Action::Pause:
    case Action::Resume:
        setPaused(request.action == Action::Pause);
        break;
    case Action::StartNow:
    case Action::Skip:
        if (m_hostFlow)
            m_hostFlow(request.action);
        break;
    }
    if (result != QueueAnswer::Accepted)
        answer(connection, party::answerText(result, m_queue.settings().mostWaitingPerGuest));
}

void PartyHost::answer(PhoneHall::GuestConnection connection, std::string text) {
    if (m_setup.hall != nullptr)
        m_setup.hall->tellGuest(connection, party::GuestAnswer{std::move(text)});
}

QueueAnswer PartyHost::playNext(party::EntryId entry) {
    return move(entry, 0);
}

QueueAnswer PartyHost::move(party::EntryId entry, std::size_t index) {
    const QueueAnswer result = m_queue.hostMove(entry, index);
    if (result == QueueAnswer::Accepted)
        changed();
    return result;
}

QueueAnswer PartyHost::remove(party::EntryId entry) {
    const QueueAnswer result = m_queue.remove(entry);
    if (result == QueueAnswer::Accepted)
        changed();
    return result;
}

void PartyHost::clear() {
    m_queue.clear();
    changed();
}

void PartyHost::setPaused(bool paused) {
    m_queue.settings().paused = paused;
    changed();
}

void PartyHost::setRotation(bool on) {
    m_queue.settings().rotation = on;
    changed();
}

void PartyHost::setAllowSungRecently(bool allow) {
    m_queue.settings().allowSungRecently = allow;
    changed();
}

void PartyHost::setTakeFromQueue(bool on) {
    m_queue.settings().takeFromQueue = on;
    changed();
}

void PartyHost::setWaits(int scorePageSeconds, int nextUpSeconds) {
    m_queue.settings().scorePageSeconds = std::clamp(scorePageSeconds, 3, 600);
    m_queue.settings().nextUpSeconds = std::clamp(nextUpSeconds, 3, 600);
    changed();
}

void PartyHost::setMostWaiting(int songs) {
    m_queue.settings().mostWaitingPerGuest =
        std::clamp(songs, 1, static_cast<int>(party::PartyQueue::kMostEntries));
    changed();
}

QueueAnswer PartyHost::removeGuest(party::GuestId guest) {
    const QueueAnswer result = m_queue.removeGuest(guest);
    if (result != QueueAnswer::Accepted)
        return result;
    // Their phones look on, as phones that have not typed a name.
    for (auto& [connection, viewer] : m_viewers)
        if (viewer.guest == guest)
            viewer.guest.reset();
    changed();
    return result;
}

QueueAnswer PartyHost::renameGuest(party::GuestId guest, std::string_view name) {
    const QueueAnswer result = m_queue.rename(guest, name);
    if (result == QueueAnswer::Accepted)
        changed();
    return result;
}

QueueAnswer PartyHost::linkGuest(party::GuestId guest, std::optional<std::int64_t> playerId) {
    const QueueAnswer result = m_queue.link(guest, playerId);
    if (result == QueueAnswer::Accepted)
        changed();
    return result;
}

std::optional<party::GuestId> PartyHost::addGuest(std::string_view name) {
    const std::optional<party::GuestId> guest = m_queue.join(name, m_setup.now());
    if (guest)
        changed();
    return guest;
}

QueueAnswer PartyHost::addSong(party::GuestId guest, const std::string& songFile) {
    return added({guest, songFile});
}

QueueAnswer PartyHost::addMedley(party::GuestId guest, party::QueuedMedley medley) {
    return added({.guest = guest, .songId = {}, .medley = std::move(medley)});
}

std::optional<party::QueueEntry> PartyHost::nextUp() {
    // Before the library is known no song can be told gone: nothing is taken out then.
    if (m_queue.settings().paused || !m_book)
        return std::nullopt;
    bool dropped = false;
    while (!m_queue.order().empty()) {
        const party::QueueEntry& first = *m_queue.entry(m_queue.order().front());
        if (factsOf(first))
            break;
        // Shown as "no longer in the library" while it waited; at its turn it goes.
        m_goneNotices[first.owner] = first.medley
                                         ? "Your medley's songs are no longer in the library."
                                         : "A song of yours is no longer in the library.";
        m_queue.remove(first.id);
        dropped = true;
    }
    if (dropped)
        changed();
    if (m_queue.order().empty())
        return std::nullopt;
    return *m_queue.entry(m_queue.order().front());
}

std::optional<party::QueueEntry> PartyHost::takeNext() {
    if (!nextUp())
        return std::nullopt;
    std::optional<party::QueueEntry> taken = m_queue.takeNext(m_setup.now());
    changed();
    return taken;
}

bool PartyHost::skip(party::EntryId entry) {
    const party::QueueEntry* waiting = m_queue.entry(entry);
    if (waiting == nullptr)
        return false;
    const party::QueueEntry skipped = *waiting;
    const bool stays = m_queue.skip(entry);
    if (!stays) {
        const party::BookSong* song = skipped.medley ? nullptr : songOf(skipped);
        m_goneNotices[skipped.owner] = "\u201c" +
                                       (skipped.medley ? party::medleyCaption(*skipped.medley)
                                        : song         ? song->title
                                                       : std::string("Your song")) +
                                       "\u201d was skipped twice and left the queue.";
    }
    changed();
    return stays;
}

void PartyHost::setRemaining(std::int64_t remainingMs) {
    m_remainingMs = std::max<std::int64_t>(0, remainingMs);
    tellEveryone();
}

void PartyHost::callToSing(party::GuestId guest, std::size_t slot) {
    if (m_setup.hall == nullptr)
        return;
    for (const auto& [connection, viewer] : m_viewers)
        if (viewer.guest == guest)
            m_setup.hall->tellGuest(connection, party::YoureUp{slot});
}

bool PartyHost::guestOnline(party::GuestId guest) const {
    return std::any_of(m_viewers.begin(), m_viewers.end(),
                       [guest](const auto& viewer) { return viewer.second.guest == guest; });
}

void PartyHost::changed() {
    if (m_setup.keep)
        m_setup.keep(m_queue.kept());
    tellEveryone();
    if (m_changed)
        m_changed();
}

party::QueueNews PartyHost::newsFor(const Viewer& viewer) const {
    party::QueueNews news;
    news.rows = rows();
    for (const party::Guest& guest : m_queue.guests())
        news.guests.push_back({guest.id, guest.name});
    news.paused = m_queue.settings().paused;
    news.mostWaiting = m_queue.settings().mostWaitingPerGuest;
    return seenBy(std::move(news), viewer);
}

party::QueueNews PartyHost::seenBy(party::QueueNews news, const Viewer& viewer) const {
    for (party::QueueRow& row : news.rows) {
        const party::QueueEntry* entry = m_queue.entry(row.entry);
        row.mine = viewer.guest && entry != nullptr &&
                   (entry->owner == *viewer.guest || entry->partner == viewer.guest);
    }
    if (!news.rows.empty() && news.rows.front().mine && !news.rows.front().gone)
        news.next = party::nextNotice(news.rows.front());
    if (viewer.guest)
        if (const auto gone = m_goneNotices.find(*viewer.guest); gone != m_goneNotices.end())
            news.gone = gone->second;
    return news;
}

void PartyHost::tellEveryone() {
    if (m_setup.hall == nullptr)
        return;
    if (m_viewers.empty())
        return;
    // The rows are the same for every phone but for which are its own: made once.
    const party::QueueNews shared = newsFor(Viewer{});
    for (const auto& [connection, viewer] : m_viewers)
        m_setup.hall->tellGuest(connection, seenBy(shared, viewer));
    // Told once to whoever of theirs is connected; a page opened later starts afresh.
    std::erase_if(m_goneNotices, [this](const auto& notice) { return guestOnline(notice.first); });
}

} // namespace cantorix::app
