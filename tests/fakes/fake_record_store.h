#pragma once
// An in-memory record store: what the game keeps, without a file. Rows and players get ids in
// order; names are unique by records::foldPlayerName. failWrites makes every write throw, as a
// full disk would; holdLoads() makes load() wait until releaseLoads(), as a large or busy file
// would, and holdWrites() the writes. Safe from any one thread at a time (the keeper's worker),
// and the test's thread.

#include "records/record_store_port.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace cantorix::testing {

class FakeRecordStore : public records::RecordStore {
public:
    records::RecordSnapshot load() override {
        std::unique_lock lock(m_mutex);
        ++loads;
        m_loadBegun.notify_all();
        // Bounded, so a test that waits for the load on its own thread fails instead of hanging.
        if (!m_loadReleased.wait_for(lock, std::chrono::seconds(10),
                                     [this] { return !m_holdLoads; }))
            loadOutwaited = true;
        records::RecordSnapshot snapshot = m_data;
        snapshot.lastPlayerId = m_lastPlayer;
        return snapshot;
    }

    // Writes wait, as behind another game's long transaction, until releaseWrites().
    void holdWrites() {
        std::lock_guard lock(m_mutex);
        m_holdWrites = true;
    }
    void releaseWrites() {
        {
            std::lock_guard lock(m_mutex);
            m_holdWrites = false;
        }
        m_loadReleased.notify_all();
    }

    void holdLoads() {
        std::lock_guard lock(m_mutex);
        m_holdLoads = true;
    }
    void releaseLoads() {
        {
            std::lock_guard lock(m_mutex);
            m_holdLoads = false;
        }
        m_loadReleased.notify_all();
    }
    // Waits until a load has begun (true), up to a generous bound.
    bool waitForLoad() {
        std::unique_lock lock(m_mutex);
        return m_loadBegun.wait_for(lock, std::chrono::seconds(10), [this] { return loads > 0; });
    }

    std::vector<records::Performance>
    storeSession(std::vector<records::Performance> rows) override {
        std::unique_lock lock(m_mutex);
        waitWhileWritesHeld(lock);
        failIfAsked();
        for (records::Performance& row : rows) {
            // As the file does: a row of a player it does not hold is kept as a guest's.
            if (row.playerId && std::none_of(m_data.players.begin(), m_data.players.end(),
                                             [&](const auto& p) { return p.id == *row.playerId; }))
                row.playerId.reset();
            row.id = ++m_lastPerformance;
            m_data.performances.push_back(row);
        }
        return rows;
    }

    records::Player addPlayer(records::Player player) override {
        std::unique_lock lock(m_mutex);
        waitWhileWritesHeld(lock);
        failIfAsked();
        refuseTakenName(player);
        if (player.id == 0)
            player.id = m_lastPlayer + 1;
        for (const records::Player& other : m_data.players)
            if (other.id == player.id)
                throw records::EPlayerIdTaken("Another player has the number " +
                                              std::to_string(player.id) + ".");
        m_lastPlayer = std::max(m_lastPlayer, player.id);
        m_data.players.push_back(player);
        std::sort(m_data.players.begin(), m_data.players.end(),
                  [](const records::Player& a, const records::Player& b) { return a.id < b.id; });
        return player;
    }

    void updatePlayer(const records::Player& player) override {
        std::unique_lock lock(m_mutex);
        waitWhileWritesHeld(lock);
        failIfAsked();
        refuseTakenName(player);
        for (records::Player& stored : m_data.players)
            if (stored.id == player.id) {
                stored = player;
                return;
            }
        throw records::EPlayerNotFound("No player " + std::to_string(player.id) + " to change.");
    }

    void removePlayer(std::int64_t id, bool deletePerformances) override {
        std::unique_lock lock(m_mutex);
        waitWhileWritesHeld(lock);
        failIfAsked();
        std::erase_if(m_data.players, [&](const records::Player& p) { return p.id == id; });
        auto& rows = m_data.performances;
        if (deletePerformances) {
            std::erase_if(rows, [&](const records::Performance& r) { return r.playerId == id; });
            return;
        }
        for (records::Performance& row : rows)
            if (row.playerId == id) {
                row.playerId.reset();
                row.singerName = std::string(records::kRemovedPlayerName);
            }
    }

    std::vector<std::string> takeNotices() override {
        std::lock_guard lock(m_mutex);
        return std::exchange(notices, {});
    }

    records::RecordSnapshot stored() const {
        std::lock_guard lock(m_mutex);
        return m_data;
    }

    std::atomic<bool> failWrites{false};
    std::atomic<int> loads{0};
    // A held load or write gave up waiting for its release: the test's thread was stuck
    // meanwhile.
    std::atomic<bool> loadOutwaited{false};
    std::vector<std::string> notices;

private:
    void waitWhileWritesHeld(std::unique_lock<std::mutex>& lock) {
        if (!m_loadReleased.wait_for(lock, std::chrono::seconds(10),
                                     [this] { return !m_holdWrites; }))
            loadOutwaited = true;
    }
    void failIfAsked() const {
        if (failWrites)
            throw records::ERecordStoreError("\"records.sqlite3\" could not be written: disk full");
    }
    void refuseTakenName(const records::Player& player) const {
        const std::string folded = records::foldPlayerName(player.name);
        for (const records::Player& other : m_data.players)
            if (other.id != player.id && records::foldPlayerName(other.name) == folded)
                throw records::EPlayerNameTaken("The name \"" + player.name + "\" is taken.");
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_loadBegun, m_loadReleased;
    bool m_holdLoads = false, m_holdWrites = false;
    records::RecordSnapshot m_data;
    std::int64_t m_lastPerformance = 0, m_lastPlayer = 0;
};

} // namespace cantorix::testing
