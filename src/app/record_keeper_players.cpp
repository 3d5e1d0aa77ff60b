// The record keeper's players: a change shows in the book at once and is written by the worker
// behind the writes before it; what the file refuses comes back to the window as a fix of the
// book and a notice.

#include "record_keeper.h"

#include <algorithm>
#include <utility>

namespace cantorix::app {

namespace {

// Enough numbered names to get past any run of players named alike; beyond it the add is given up.
constexpr int kMostNumberedNames = 100;

// "Name (n)", the name shortened so the whole stays within the longest name.
std::string numberedName(const std::string& name, int n) {
    const std::string suffix = " (" + std::to_string(n) + ")";
    const std::size_t room = records::kMostNameCharacters - suffix.size();
    std::size_t characters = 0, end = 0;
    for (; end < name.size(); ++end) {
        const bool starts = (static_cast<unsigned char>(name[end]) & 0xC0) != 0x80;
        if (starts && characters++ == room)
            break;
    }
    return name.substr(0, end) + suffix;
}

std::string takenText(const std::string& name) {
    return "The name \"" + name + "\" is taken.";
}

} // namespace

RecordKeeper::StoreOp RecordKeeper::StoreOp::session(std::vector<records::Performance> rows) {
    StoreOp op;
    op.kind = Kind::Session;
    op.rows = std::move(rows);
    return op;
}

RecordKeeper::StoreOp RecordKeeper::StoreOp::ofPlayer(Kind kind, records::Player player,
                                                      std::uint64_t change) {
    StoreOp op;
    op.kind = kind;
    op.player = std::move(player);
    op.change = change;
    return op;
}

RecordKeeper::BookFix RecordKeeper::BookFix::put(records::Player player, std::int64_t windowId,
                                                 std::uint64_t change) {
    BookFix fix;
    fix.kind = Kind::Put;
    fix.player = std::move(player);
    fix.windowId = windowId;
    fix.change = change;
    return fix;
}

RecordKeeper::BookFix RecordKeeper::BookFix::removal(std::int64_t windowId) {
    BookFix fix;
    fix.kind = Kind::Remove;
    fix.windowId = windowId;
    return fix;
}

RecordKeeper::BookFix RecordKeeper::BookFix::renumbering(std::int64_t windowId,
                                                         std::int64_t storedId) {
    BookFix fix;
    fix.kind = Kind::Renumber;
    fix.windowId = windowId;
    fix.storedId = storedId;
    return fix;
}

std::uint64_t RecordKeeper::noteChange(std::int64_t playerId) {
    return m_lastChangeOf[playerId] = ++m_changeCount;
}

std::int64_t RecordKeeper::settledId(std::int64_t id) const {
    const auto found = m_settledIds.find(id);
    return found == m_settledIds.end() ? id : found->second;
}

records::Player RecordKeeper::addPlayer(records::Player player) {
    if (m_book.playerNamed(player.name))
        throw records::EPlayerNameTaken(takenText(player.name));
    // Without a store the ids only need to differ within this run.
    if (!m_store && m_nextPlayerId == 0)
        m_nextPlayerId = 1;
    if (m_nextPlayerId != 0)
        for (const records::Player& known : m_book.players())
            m_nextPlayerId = std::max(m_nextPlayerId, known.id + 1);
    player.id = m_nextPlayerId != 0 ? m_nextPlayerId++ : m_nextProvisionalId--;
    const std::uint64_t number = noteChange(player.id);
    change([player](records::RecordBook& book) { book.putPlayer(player); });
    queueWrite(StoreOp::ofPlayer(StoreOp::Kind::AddPlayer, player, number));
    changed();
    return player;
}

void RecordKeeper::updatePlayer(const records::Player& given) {
    records::Player player = given;
    player.id = settledId(player.id);
    if (const records::Player* other = m_book.playerNamed(player.name);
        other && other->id != player.id)
        throw records::EPlayerNameTaken(takenText(player.name));
    const std::uint64_t number = noteChange(player.id);
    change([player](records::RecordBook& book) { book.putPlayer(player); });
    queueWrite(StoreOp::ofPlayer(StoreOp::Kind::UpdatePlayer, player, number));
    changed();
}

void RecordKeeper::removePlayer(std::int64_t id, bool deletePerformances) {
    id = settledId(id);
    records::Player gone;
    if (const records::Player* known = m_book.player(id))
        gone = *known;
    gone.id = id;
    const std::uint64_t number = noteChange(id);
    change([id, deletePerformances](records::RecordBook& book) {
        book.removePlayer(id, deletePerformances);
    });
    StoreOp op = StoreOp::ofPlayer(StoreOp::Kind::RemovePlayer, gone, number);
    op.removedId = id;
    op.deletePerformances = deletePerformances;
    queueWrite(std::move(op));
    changed();
}

void RecordKeeper::renumber(std::int64_t from, std::int64_t to) {
    m_settledIds[from] = to;
    for (auto& [handedOut, settled] : m_settledIds)
        if (settled == from)
            settled = to;
    if (const auto last = m_lastChangeOf.find(from); last != m_lastChangeOf.end()) {
        m_lastChangeOf[to] = last->second;
        m_lastChangeOf.erase(from);
    }
    if (m_nextPlayerId != 0)
        m_nextPlayerId = std::max(m_nextPlayerId, to + 1);
    change([from, to](records::RecordBook& book) {
        std::vector<records::Player> players = book.players();
        std::vector<records::Performance> rows = book.performances();
        for (records::Player& player : players)
            if (player.id == from)
                player.id = to;
        std::sort(players.begin(), players.end(),
                  [](const records::Player& a, const records::Player& b) { return a.id < b.id; });
        for (records::Performance& row : rows)
            if (row.playerId == from)
                row.playerId = to;
        book.assign(std::move(players), std::move(rows));
    });
}

std::int64_t RecordKeeper::storedIdOnWorker(std::int64_t windowId) const {
    const auto found = m_storedIds.find(windowId);
    return found == m_storedIds.end() ? windowId : found->second;
}

void RecordKeeper::addPlayerOnWorker(StoreOp& op, Outcome& outcome) {
    const records::Player& asked = op.player;
    records::Player player = asked;
    // A provisional id is the store's to choose.
    if (player.id < 0)
        player.id = 0;
    int number = 1;
    records::Player stored;
    for (;;) {
        try {
            stored = m_store->addPlayer(player);
            break;
        } catch (const records::EPlayerIdTaken&) {
            // Another game added a player since this one read the file.
            player.id = 0;
        } catch (const records::EPlayerNameTaken&) {
            // A player the file held, that the book did not show when the player was added.
            if (++number > kMostNumberedNames) {
                outcome.fixes.push_back(BookFix::removal(asked.id));
                outcome.notices.push_back("The new player \"" + asked.name +
                                          "\" could not be kept: the name is taken.");
                return;
            }
            player.name = numberedName(asked.name, number);
        }
    }
    m_storedNames[stored.id] = stored.name;
    if (stored.id != asked.id) {
        m_storedIds[asked.id] = stored.id;
        outcome.fixes.push_back(BookFix::renumbering(asked.id, stored.id));
        if (asked.id > 0)
            outcome.notices.push_back("The records held another player under the number given "
                                      "to \"" +
                                      stored.name +
                                      "\" (another game added one): "
                                      "they are kept under a new number. Choose them again for "
                                      "their place.");
    }
    if (stored.name != asked.name) {
        outcome.fixes.push_back(BookFix::put(stored, asked.id, op.change));
        outcome.notices.push_back("The name \"" + asked.name +
                                  "\" belongs to a player kept before: the new player is \"" +
                                  stored.name + "\".");
    }
}

void RecordKeeper::updatePlayerOnWorker(StoreOp& op, Outcome& outcome) {
    const std::int64_t id = storedIdOnWorker(op.player.id);
    if (m_goneIds.count(id))
        return; // told already, when the file was found without them
    records::Player player = op.player;
    player.id = id;
    try {
        m_store->updatePlayer(player);
        // A name that goes through: a later refusal of the same name is news again.
        if (const auto refused = m_refusedNames.find(id);
            refused != m_refusedNames.end() &&
            refused->second != records::foldPlayerName(player.name))
            m_refusedNames.erase(refused);
    } catch (const records::EPlayerNotFound&) {
        m_goneIds.insert(id);
        outcome.fixes.push_back(BookFix::removal(op.player.id));
        outcome.notices.push_back("The player \"" + player.name +
                                  "\" is no longer in the records (another game removed them); "
                                  "the change was not kept.");
        return;
    } catch (const records::EPlayerNameTaken&) {
        // A name the file gives another player, that the book did not show when it was typed:
        // the player keeps the name the file holds for them, with the rest of the change.
        const std::string folded = records::foldPlayerName(player.name);
        const auto held = m_storedNames.find(id);
        const bool toldBefore = m_refusedNames[id] == folded;
        m_refusedNames[id] = folded;
        if (held == m_storedNames.end() || records::foldPlayerName(held->second) == folded) {
            if (!toldBefore)
                outcome.notices.push_back(takenText(player.name) + " The change to \"" +
                                          player.name + "\" was not kept.");
            return;
        }
        if (!toldBefore)
            outcome.notices.push_back("The name \"" + player.name +
                                      "\" is taken by another player: \"" + held->second +
                                      "\" keeps their name.");
        op.player.name = player.name = held->second;
        outcome.fixes.push_back(BookFix::put(player, op.player.id, op.change));
        // A failure here leaves the corrected change queued.
        m_store->updatePlayer(player);
    }
    m_storedNames[id] = player.name;
}

} // namespace cantorix::app
