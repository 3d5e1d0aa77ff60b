#pragma once
// An in-memory record store: what the game keeps, without a file. Rows and players get ids in
// order; names are unique by records::foldPlayerName. failWrites makes every write throw, as a
// full disk would. Safe from any one thread at a time (the keeper's worker).

#include "records/record_store_port.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

namespace cantorix::testing {

class FakeRecordStore : public records::RecordStore {
public:
    records::RecordSnapshot load() override {
        std::lock_guard lock(m_mutex);
        ++loads;
        return m_data;
    }

    std::vector<records::Performance>
    storeSession(std::vector<records::Performance> rows) override {
        std::lock_guard lock(m_mutex);
        failIfAsked();
        for (records::Performance& row : rows) {
            row.id = ++m_lastPerformance;
            m_data.performances.push_back(row);
        }
        return rows;
    }

    records::Player addPlayer(records::Player player) override {
        std::lock_guard lock(m_mutex);
        failIfAsked();
        refuseTakenName(player);
        player.id = ++m_lastPlayer;
        m_data.players.push_back(player);
        return player;
    }

    void updatePlayer(const records::Player& player) override {
        std::lock_guard lock(m_mutex);
        failIfAsked();
        refuseTakenName(player);
        for (records::Player& stored : m_data.players)
            if (stored.id == player.id)
                stored = player;
    }

    void removePlayer(std::int64_t id, bool deletePerformances) override {
        std::lock_guard lock(m_mutex);
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
    std::vector<std::string> notices;

private:
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
    records::RecordSnapshot m_data;
    std::int64_t m_lastPerformance = 0, m_lastPlayer = 0;
};

} // namespace cantorix::testing
