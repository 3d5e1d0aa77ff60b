#include "record_keeper.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace cantorix::app {

RecordKeeper::RecordKeeper(records::RecordStore* store, base::MainThreadInvoker& invoker,
                           Notice notice)
    : m_store(store), m_invoker(invoker), m_notice(std::move(notice)) {
    m_worker = std::thread([this] { run(); });
}

RecordKeeper::~RecordKeeper() {
    // What the worker posts from now on finds the keeper gone and does nothing.
    m_alive.reset();
    // The sessions a failed store left queued get one more try before the game ends.
    enqueue([this] { storePendingOnWorker(); });
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_worker.join();
}

void RecordKeeper::run() {
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_work.empty(); });
            if (m_work.empty()) {
                // Stopping with nothing left.
                return;
            }
            work = std::move(m_work.front());
            m_work.pop_front();
            m_busy = true;
        }
        work();
        {
            std::lock_guard lock(m_mutex);
            m_busy = false;
        }
        m_idle.notify_all();
    }
}

void RecordKeeper::enqueue(std::function<void()> work) {
    {
        std::lock_guard lock(m_mutex);
        m_work.push_back(std::move(work));
    }
    m_wake.notify_all();
}

void RecordKeeper::flush() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_work.empty() && !m_busy; });
}

void RecordKeeper::startLoading() {
    if (m_loading || m_loaded)
        return;
    m_loading = true;
    enqueue([this] { loadOnWorker(); });
}

void RecordKeeper::loadQueue(std::function<void(party::KeptQueue)> loaded) {
    if (m_queueStore == nullptr)
        return;
    enqueue([this, loaded = std::move(loaded)] {
        auto queue = std::make_shared<party::KeptQueue>();
        std::string failure;
        try {
            *queue = m_queueStore->loadQueue();
        } catch (const std::exception& e) {
            failure = std::string("The party's queue could not be read: ") + e.what();
        }
        m_invoker.post([this, alive = std::weak_ptr(m_alive), loaded, queue, failure] {
            if (alive.expired())
                return;
            if (!failure.empty())
                tell(failure);
            loaded(std::move(*queue));
        });
    });
}

void RecordKeeper::keepQueue(party::KeptQueue queue) {
    if (m_queueStore == nullptr)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_queueToKeep = std::move(queue);
    }
    enqueue([this] {
        std::optional<party::KeptQueue> latest;
        {
            std::lock_guard lock(m_mutex);
            latest.swap(m_queueToKeep);
        }
        if (!latest)
            return; // an earlier task wrote it already
        try {
            m_queueStore->saveQueue(*latest);
            m_queueFailureTold = false;
        } catch (const std::exception& e) {
            // Tried again with the next change; the player hears of it once until it works.
            if (m_queueFailureTold)
                return;
            m_queueFailureTold = true;
            m_invoker.post([this, alive = std::weak_ptr(m_alive),
                            why = std::string("The party's queue could not be kept: ") + e.what()] {
                if (!alive.expired())
                    tell(why);
            });
        }
    });
}

void RecordKeeper::loadOnWorker() {
    records::RecordSnapshot snapshot;
    std::string failure;
    std::vector<std::string> notices;
    if (m_store) {
        try {
            snapshot = m_store->load();
        } catch (const std::exception& e) {
            failure = e.what();
        }
        notices = m_store->takeNotices();
    }
    for (const records::Player& player : snapshot.players)
        m_storedNames[player.id] = player.name;
    const std::int64_t lastPlayerId = snapshot.lastPlayerId;
    // The book is built here, off the window thread: with many thousands of performances its
    // indexes take a while.
    auto book = std::make_shared<records::RecordBook>();
    book->assign(std::move(snapshot.players), std::move(snapshot.performances));
    m_invoker.post([this, alive = std::weak_ptr(m_alive), book, failure, notices, lastPlayerId] {
        if (alive.expired())
            return;
        m_book = std::move(*book);
        // New players get ids above every one the file handed out, and above those the players
        // added while it was read will get in the order they were added.
        std::int64_t last = lastPlayerId;
        for (const records::Player& player : m_book.players())
            last = std::max(last, player.id);
        m_nextPlayerId = last + 1 + (-1 - m_nextProvisionalId);
        for (const auto& edit : m_changesSinceLoad)
            edit(m_book);
        m_changesSinceLoad.clear();
        m_loaded = true;
        m_loading = false;
        for (const std::string& notice : notices)
            tell(notice);
        if (!failure.empty())
            tell(failure + "\nThe game goes on; what is sung now is kept for this run.");
        changed();
    });
}

std::vector<records::RecordNews>
RecordKeeper::storeSession(std::vector<records::Performance> rows) {
    for (records::Performance& row : rows)
        if (row.playerId)
            row.playerId = settledId(*row.playerId);
    std::vector<records::RecordNews> news = records::judgeRecords(m_book, rows);
    if (rows.empty())
        return news;
    change([rows](records::RecordBook& book) { book.add(rows); });
    // Without a store the book alone keeps them, for this run.
    queueWrite(StoreOp::session(std::move(rows)));
    changed();
    return news;
}

void RecordKeeper::queueWrite(StoreOp op) {
    if (!m_store)
        return;
    enqueue([this, op = std::move(op)]() mutable {
        m_pending.push_back(std::move(op));
        storePendingOnWorker();
    });
}

void RecordKeeper::storePendingOnWorker() {
    if (!m_store || m_pending.empty())
        return;
    Outcome outcome;
    // In order: a session naming a new player goes after that player, a change after the add.
    while (!m_pending.empty() && tryWriteOnWorker(m_pending.front(), outcome))
        m_pending.pop_front();
    std::vector<std::string> notices = m_store->takeNotices();
    notices.insert(notices.end(), outcome.notices.begin(), outcome.notices.end());
    outcome.notices = std::move(notices);
    if (outcome.notices.empty() && outcome.fixes.empty())
        return;
    m_invoker.post([this, alive = std::weak_ptr(m_alive), outcome = std::move(outcome)] {
        if (!alive.expired())
            follow(outcome);
    });
}

bool RecordKeeper::tryWriteOnWorker(StoreOp& op, Outcome& outcome) {
    try {
        switch (op.kind) {
        case StoreOp::Kind::Session: {
            std::vector<records::Performance> rows = op.rows;
            for (records::Performance& row : rows)
                if (row.playerId)
                    row.playerId = storedIdOnWorker(*row.playerId);
            m_store->storeSession(std::move(rows));
            break;
        }
        case StoreOp::Kind::AddPlayer:
            addPlayerOnWorker(op, outcome);
            break;
        case StoreOp::Kind::UpdatePlayer:
            updatePlayerOnWorker(op, outcome);
            break;
        case StoreOp::Kind::RemovePlayer: {
            const std::int64_t id = storedIdOnWorker(op.removedId);
            m_store->removePlayer(id, op.deletePerformances);
            m_storedNames.erase(id);
            break;
        }
        }
        return true;
    } catch (const std::exception& e) {
        if (op.kind == StoreOp::Kind::Session)
            outcome.notices.push_back(
                "The last performances could not be stored: " + std::string(e.what()) +
                "\nThey are kept and stored with the next song.");
        else
            outcome.notices.push_back("A change to the player \"" + op.player.name +
                                      "\" could not be stored: " + e.what() +
                                      "\nIt is kept and stored with the next change.");
        return false;
    }
}

void RecordKeeper::follow(const Outcome& outcome) {
    for (const BookFix& fix : outcome.fixes) {
        const std::int64_t id = settledId(fix.windowId);
        switch (fix.kind) {
        case BookFix::Kind::Renumber:
            renumber(fix.windowId, fix.storedId);
            break;
        case BookFix::Kind::Put:
            // A later change of the window's decides for itself.
            if (m_lastChangeOf[id] == fix.change)
                change(
                    [player = fix.player](records::RecordBook& book) { book.putPlayer(player); });
            break;
        case BookFix::Kind::Remove:
            change([id](records::RecordBook& book) { book.removePlayer(id, false); });
            break;
        }
    }
    for (const std::string& notice : outcome.notices)
        tell(notice);
    if (!outcome.fixes.empty())
        changed();
}

void RecordKeeper::change(std::function<void(records::RecordBook&)> edit) {
    edit(m_book);
    if (m_loading)
        m_changesSinceLoad.push_back(std::move(edit));
}

void RecordKeeper::tell(const std::string& message) {
    if (m_notice)
        m_notice(message);
}

void RecordKeeper::changed() {
    if (m_changed)
        m_changed();
}

} // namespace cantorix::app
