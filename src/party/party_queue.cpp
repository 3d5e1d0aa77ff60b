#include "party_queue.h"

#include "records/player.h"

#include <algorithm>

namespace cantorix::party {

std::string answerText(QueueAnswer answer, int mostWaiting) {
    switch (answer) {
    case QueueAnswer::Accepted:
        return {};
    case QueueAnswer::UnknownGuest:
        return "You are not in line any more: type your name again.";
    case QueueAnswer::UnknownPartner:
        return "Your partner is not in line.";
    case QueueAnswer::EmptyName:
        return "Type a name.";
    case QueueAnswer::TooManyWaiting:
        return "You already have " + std::to_string(mostWaiting) + " songs waiting.";
    case QueueAnswer::QueueFull:
        return "The queue is full.";
    case QueueAnswer::AlreadyWaiting:
        return "That song is already in the queue.";
    case QueueAnswer::SungRecently:
        return "That song was sung recently.";
    case QueueAnswer::NotYours:
        return "That is not your song.";
    case QueueAnswer::UnknownEntry:
        return "That song is no longer in the queue.";
    }
    return {};
}

Guest* PartyQueue::findGuest(GuestId id) {
    const auto found =
        std::find_if(m_guests.begin(), m_guests.end(), [id](const Guest& g) { return g.id == id; });
    return found == m_guests.end() ? nullptr : &*found;
}

const Guest* PartyQueue::guest(GuestId id) const {
    return const_cast<PartyQueue*>(this)->findGuest(id);
}

const QueueEntry* PartyQueue::entry(EntryId id) const {
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [id](const QueueEntry& e) { return e.id == id; });
    return found == m_entries.end() ? nullptr : &*found;
}

int PartyQueue::waitingOf(GuestId guest) const {
    return static_cast<int>(
        std::count_if(m_entries.begin(), m_entries.end(),
                      [guest](const QueueEntry& e) { return e.owner == guest; }));
}

const Guest* PartyQueue::guestByToken(std::string_view token) const {
    if (token.empty())
        return nullptr;
    const auto found = std::find_if(m_guests.begin(), m_guests.end(),
                                    [token](const Guest& g) { return g.token == token; });
    return found == m_guests.end() ? nullptr : &*found;
}

std::optional<GuestId> PartyQueue::join(std::string_view name, std::int64_t now,
                                        std::string token) {
    std::string cleaned = records::cleanPlayerName(name);
    if (cleaned.empty())
        return std::nullopt;
    m_guests.push_back(
        {m_nextGuest, std::move(cleaned), std::nullopt, now, std::nullopt, std::move(token)});
    return m_nextGuest++;
}

QueueAnswer PartyQueue::rename(GuestId guest, std::string_view name) {
    Guest* g = findGuest(guest);
    if (!g)
        return QueueAnswer::UnknownGuest;
    std::string cleaned = records::cleanPlayerName(name);
    if (cleaned.empty())
        return QueueAnswer::EmptyName;
    g->name = std::move(cleaned);
    return QueueAnswer::Accepted;
}

QueueAnswer PartyQueue::link(GuestId guest, std::optional<std::int64_t> playerId) {
    Guest* g = findGuest(guest);
    if (!g)
        return QueueAnswer::UnknownGuest;
    g->playerId = playerId;
    return QueueAnswer::Accepted;
}

QueueAnswer PartyQueue::removeGuest(GuestId guest) {
    const Guest* g = findGuest(guest);
    if (!g)
        return QueueAnswer::UnknownGuest;
    const std::string name = g->name;
    std::vector<EntryId> theirs;
    for (QueueEntry& e : m_entries) {
        if (e.owner == guest)
            theirs.push_back(e.id);
        if (e.partner == guest) {
            e.partner.reset();
            e.partnerName = name;
        }
    }
    for (const EntryId id : theirs)
        take(id);
    std::erase_if(m_guests, [guest](const Guest& other) { return other.id == guest; });
    return QueueAnswer::Accepted;
}

PartyQueue::Added PartyQueue::add(const SongRequest& request, std::int64_t now,
                                  std::optional<std::int64_t> songLastSungAt) {
    if (!findGuest(request.guest))
        return {QueueAnswer::UnknownGuest};
    if (request.partner && (*request.partner == request.guest || !findGuest(*request.partner)))
        return {QueueAnswer::UnknownPartner};
    if (request.medley ? request.medley->songIds.empty() || !request.songId.empty()
                       : request.songId.empty())
        return {QueueAnswer::UnknownEntry};
    if (!request.medley &&
        std::any_of(m_entries.begin(), m_entries.end(),
                    [&](const QueueEntry& e) { return e.songId == request.songId; }))
        return {QueueAnswer::AlreadyWaiting};
    if (!request.medley && songLastSungAt && now - *songLastSungAt < kRecentSeconds &&
        !m_settings.allowSungRecently)
        return {QueueAnswer::SungRecently};
    if (waitingOf(request.guest) >= m_settings.mostWaitingPerGuest)
        return {QueueAnswer::TooManyWaiting};
    if (m_entries.size() >= kMostEntries)
        return {QueueAnswer::QueueFull};
    QueueEntry added{.id = m_nextEntry++,
                     .songId = request.songId,
                     .owner = request.guest,
                     .partner = request.partner,
                     .partnerName = request.partner ? std::string()
                                                    : records::cleanPlayerName(request.partnerName),
                     .voice = request.voice,
                     .addedAt = now,
                     .medley = request.medley};
    m_entries.push_back(std::move(added));
    const EntryId id = m_entries.back().id;
    placeAdded(id);
    return {QueueAnswer::Accepted, id};
}

QueueAnswer PartyQueue::remove(EntryId id, std::optional<GuestId> by) {
    const QueueEntry* e = entry(id);
    if (!e)
        return QueueAnswer::UnknownEntry;
    if (by && e->owner != *by)
        return QueueAnswer::NotYours;
    take(id);
    return QueueAnswer::Accepted;
}

QueueAnswer PartyQueue::moveLater(EntryId id, GuestId by) {
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [id](const QueueEntry& e) { return e.id == id; });
    if (found == m_entries.end())
        return QueueAnswer::UnknownEntry;
    if (found->owner != by)
        return QueueAnswer::NotYours;
    // The guest's picks are sung in the order they stand here: it trades places with their next.
    const auto next = std::find_if(found + 1, m_entries.end(),
                                   [by](const QueueEntry& e) { return e.owner == by; });
    if (next != m_entries.end())
        std::iter_swap(found, next);
    return QueueAnswer::Accepted;
}

QueueAnswer PartyQueue::hostMove(EntryId id, std::size_t index) {
    if (!entry(id))
        return QueueAnswer::UnknownEntry;
    std::vector<EntryId> list = order();
    std::erase(list, id);
    index = std::min(index, list.size());
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(index), id);
    m_hostOrder = std::move(list);
    m_hostMoved.insert(id);
    return QueueAnswer::Accepted;
}

bool PartyQueue::skip(EntryId id) {
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [id](const QueueEntry& e) { return e.id == id; });
    if (found == m_entries.end())
        return false;
    if (++found->skips > 1) {
        take(id);
        return false;
    }
    const std::vector<EntryId> now = order();
    const auto place =
        static_cast<std::size_t>(std::find(now.begin(), now.end(), id) - now.begin());
    hostMove(id, place + 1);
    return true;
}

void PartyQueue::clear() {
    m_entries.clear();
    m_hostOrder.clear();
    m_hostMoved.clear();
}

std::vector<EntryId> PartyQueue::rotationOrFirstCome() const {
    std::vector<WaitingSong> songs;
    songs.reserve(m_entries.size());
    for (const QueueEntry& e : m_entries)
        songs.push_back({e.id, e.owner, e.partner});
    if (!m_settings.rotation) {
        std::vector<EntryId> added;
        added.reserve(songs.size());
        for (const WaitingSong& song : songs)
            added.push_back(song.entry);
        return added;
    }
    std::vector<GuestWait> waits;
    waits.reserve(m_guests.size());
    for (const Guest& g : m_guests)
        waits.push_back({g.id, g.joinedAt, g.lastSangAt});
    return rotationOrder(songs, waits);
}

std::vector<EntryId> PartyQueue::order() const {
    return m_hostOrder.empty() ? rotationOrFirstCome() : m_hostOrder;
}

void PartyQueue::placeAdded(EntryId id) {
    if (m_hostOrder.empty())
        return;
    // Before the first entry the host did not move that the rotation puts after it: among
    // those the rotation's order holds, and the host's entries stay where they stand.
    const std::vector<EntryId> rotation = rotationOrFirstCome();
    const auto rank = [&](EntryId e) { return std::find(rotation.begin(), rotation.end(), e); };
    const auto before = std::find_if(m_hostOrder.begin(), m_hostOrder.end(), [&](EntryId e) {
        return !m_hostMoved.contains(e) && rank(e) > rank(id);
    });
    m_hostOrder.insert(before, id);
}

void PartyQueue::take(EntryId id) {
    std::erase_if(m_entries, [id](const QueueEntry& e) { return e.id == id; });
    std::erase(m_hostOrder, id);
    m_hostMoved.erase(id);
    if (m_hostMoved.empty())
        m_hostOrder.clear();
}

std::optional<QueueEntry> PartyQueue::takeNext(std::int64_t now) {
    if (m_settings.paused || m_entries.empty())
        return std::nullopt;
    const EntryId first = order().front();
    QueueEntry taken = *entry(first);
    for (Guest& g : m_guests)
        if (g.id == taken.owner || (taken.partner && g.id == *taken.partner))
            g.lastSangAt = now;
    take(first);
    return taken;
}

KeptQueue PartyQueue::kept() const {
    return {m_guests, m_entries, m_hostOrder, m_hostMoved, m_settings};
}

void PartyQueue::restore(KeptQueue kept) {
    m_guests = std::move(kept.guests);
    m_entries = std::move(kept.entries);
    m_settings = kept.settings;
    m_hostOrder.clear();
    m_hostMoved.clear();
    std::vector<EntryId> ids;
    for (const QueueEntry& e : m_entries)
        ids.push_back(e.id);
    std::vector<EntryId> listed = kept.hostOrder;
    std::sort(ids.begin(), ids.end());
    std::sort(listed.begin(), listed.end());
    if (ids == listed) {
        for (const EntryId e : kept.hostMoved)
            if (std::binary_search(ids.begin(), ids.end(), e))
                m_hostMoved.insert(e);
        if (!m_hostMoved.empty())
            m_hostOrder = std::move(kept.hostOrder);
    }
    m_nextGuest = 1;
    for (const Guest& g : m_guests)
        m_nextGuest = std::max(m_nextGuest, g.id + 1);
    m_nextEntry = 1;
    for (const QueueEntry& e : m_entries)
        m_nextEntry = std::max(m_nextEntry, e.id + 1);
}

} // namespace cantorix::party
