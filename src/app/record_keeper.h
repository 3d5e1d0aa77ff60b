#pragma once
// The records as the window uses them: the book in memory, which the screens read as the ring
// turns, and the store behind it, read at start and written after each session by a worker
// thread of its own, so the window never waits on the file for a session. Owns the worker and
// the book; borrows the store. Main thread, apart from the worker.

#include "base/main_thread_invoker_port.h"
#include "records/record_book.h"
#include "records/record_rules.h"
#include "records/record_store_port.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cantorix::app {

class RecordKeeper {
public:
    // A message for the player, on the window thread.
    using Notice = std::function<void(const std::string& message)>;

    // Without a store the records last for this run only.
    RecordKeeper(records::RecordStore* store, base::MainThreadInvoker& invoker, Notice notice = {});
    // Stores what is still queued, then lets the worker go.
    ~RecordKeeper();
    RecordKeeper(const RecordKeeper&) = delete;
    RecordKeeper& operator=(const RecordKeeper&) = delete;

    // Reads the store on the worker; the book takes it in on the window thread when read.
    void startLoading();
    bool loaded() const { return m_loaded; }
    // Run on the window thread whenever the book changed: read, a session or a player stored.
    void setChanged(std::function<void()> changed) { m_changed = std::move(changed); }

    const records::RecordBook& book() const { return m_book; }

    // Judges a session's rows against the book as it was (one piece of news per row, in order),
    // adds them to the book at once and has the worker store them in one transaction. Rows that
    // cannot be stored stay queued and go with the next session or at exit; the player is told.
    std::vector<records::RecordNews> storeSession(std::vector<records::Performance> rows);

    // Player changes follow a click and are written before they return (by the worker; the
    // window waits for it). They throw records::EPlayerNameTaken for a name in use and
    // records::ERecordStoreError when the file cannot be written; the book changes only when the
    // store did.
    records::Player addPlayer(records::Player player);
    void updatePlayer(const records::Player& player);
    void removePlayer(std::int64_t id, bool deletePerformances);

    // Waits until everything queued has been tried (tests, and the window's close).
    void flush();

private:
    void run();
    // Queues work for the worker thread.
    void enqueue(std::function<void()> work);
    // Runs work on the worker and waits for it; rethrows what it threw.
    void runAndWait(const std::function<void()>& work);
    void loadOnWorker();
    void storePendingOnWorker();
    void tell(const std::string& message);
    void changed();

    records::RecordStore* m_store;
    base::MainThreadInvoker& m_invoker;
    Notice m_notice;
    std::function<void()> m_changed;
    records::RecordBook m_book;
    bool m_loaded = false;
    bool m_loading = false;
    // What the window did to the book since loading began (sessions kept, players added,
    // renamed, given a picture or removed), in order: the snapshot read may not hold it, so it is
    // done again to the book read.
    std::vector<std::function<void(records::RecordBook&)>> m_changesSinceLoad;
    // Applies a change to the book now and, while the file is read, again to the book read.
    void change(std::function<void(records::RecordBook&)> edit);
    // Expires when the keeper goes, for what the worker posted to the window thread.
    std::shared_ptr<char> m_alive = std::make_shared<char>();

    // Worker side.
    std::mutex m_mutex;
    std::condition_variable m_wake, m_idle;
    std::deque<std::function<void()>> m_work;
    bool m_busy = false;
    bool m_stop = false;
    // Sessions not stored yet (worker only).
    std::vector<std::vector<records::Performance>> m_pending;
    std::thread m_worker;
};

} // namespace cantorix::app
