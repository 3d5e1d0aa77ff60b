#pragma once
// The records as the window uses them: the book in memory, which the screens read as the ring
// turns, and the store behind it, read at start and written by a worker thread of its own, so the
// window never waits on the file: not for a session, not for a player's change, not while a large
// or busy file is still being read. Owns the worker and the book; borrows the store. Main thread,
// apart from the worker.
//
// Every change shows in the book at once and is written in the order made. What the file then
// refuses is put right in the book and told through the Notice, never lost silently: a name
// another player holds in the file (a rename is undone, the player keeps the name the file holds;
// a new player is kept as "Name (2)"), a player another game removed (gone from the book too).
// A write that fails for another reason (a busy file, a full disk) stays queued in order and is
// tried again with the next change, the next session and at exit; the player is told each time.

#include "base/main_thread_invoker_port.h"
#include "party/queue_store_port.h"
#include "records/record_book.h"
#include "records/record_rules.h"
#include "records/record_store_port.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
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
    // cannot be stored stay queued and go with the next write or at exit; the player is told.
    std::vector<records::RecordNews> storeSession(std::vector<records::Performance> rows);

    // Player changes follow a click and return at once, the book changed; the worker writes them.
    // A name the book shows another player holding throws records::EPlayerNameTaken at once; what
    // only the file can tell (a name it holds that the book does not show yet, a player another
    // game removed) is told later.
    //
    // A new player's id is handed out here, above every id the file ever handed out (the store
    // stores them under it), so callers may bind the player at once. Until the file has been
    // read that mark is unknown: a player added then gets a provisional negative id, renumbered
    // in the book once the worker has stored them; settledId() follows it. (The window adds no
    // player before the records are read; the keeper stays sound if something does.)
    records::Player addPlayer(records::Player player);
    void updatePlayer(const records::Player& player);
    void removePlayer(std::int64_t id, bool deletePerformances);
    // The id a player handed out before has now: a provisional or clashing id the worker stored
    // under another; the id itself otherwise.
    std::int64_t settledId(std::int64_t id) const;

    // The party's queue is kept by the same worker, after the writes queued before it. Loading
    // hands the kept queue to `loaded` on the window thread (an empty one when it cannot be
    // read; the player is told why). Of several queues waiting to be kept only the latest is
    // written. Without a queue store nothing is kept.
    void setQueueStore(party::QueueStore* store) { m_queueStore = store; }
    void loadQueue(std::function<void(party::KeptQueue)> loaded);
    void keepQueue(party::KeptQueue queue);

    // Waits until everything queued has been tried (tests, and the window's close).
    void flush();

private:
    // One write, queued on the worker in the order the window made it.
    struct StoreOp {
        enum class Kind { Session, AddPlayer, UpdatePlayer, RemovePlayer } kind{};
        std::vector<records::Performance> rows; // a session's
        records::Player player;                 // added or changed, with the window's id
        std::int64_t removedId = 0;
        bool deletePerformances = false;
        std::uint64_t change = 0; // the window's number of this player change

        static StoreOp session(std::vector<records::Performance> rows);
        static StoreOp ofPlayer(Kind kind, records::Player player, std::uint64_t change);
    };
    // What the worker found that the book must follow, posted to the window thread.
    struct BookFix {
        enum class Kind { Put, Remove, Renumber } kind{};
        std::int64_t windowId = 0; // the player as the window numbered them
        records::Player player;    // Put: as the file now holds them
        std::int64_t storedId = 0; // Renumber: the id the file gave them
        std::uint64_t change = 0;  // Put: applies only if the window changed them no later

        static BookFix put(records::Player player, std::int64_t windowId, std::uint64_t change);
        static BookFix removal(std::int64_t windowId);
        static BookFix renumbering(std::int64_t windowId, std::int64_t storedId);
    };
    struct Outcome {
        std::vector<std::string> notices;
        std::vector<BookFix> fixes;
    };

    void run();
    // Queues work for the worker thread.
    void enqueue(std::function<void()> work);
    void loadOnWorker();
    // Queues a write for the worker, behind the ones still pending.
    void queueWrite(StoreOp op);
    void storePendingOnWorker();
    // Tries one write; false when it failed for a reason that may pass (it stays queued).
    bool tryWriteOnWorker(StoreOp& op, Outcome& outcome);
    void addPlayerOnWorker(StoreOp& op, Outcome& outcome);
    void updatePlayerOnWorker(StoreOp& op, Outcome& outcome);
    std::int64_t storedIdOnWorker(std::int64_t windowId) const;
    // On the window thread: the book follows what the worker found; the player is told.
    void follow(const Outcome& outcome);
    void renumber(std::int64_t from, std::int64_t to);
    std::uint64_t noteChange(std::int64_t playerId);
    void tell(const std::string& message);
    void changed();

    records::RecordStore* m_store;
    party::QueueStore* m_queueStore = nullptr;
    // The latest queue not yet written (guarded by m_mutex) and whether its failure was told.
    std::optional<party::KeptQueue> m_queueToKeep;
    bool m_queueFailureTold = false;
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

    // Window side. The next player id to hand out; 0 while the file's mark is unknown.
    std::int64_t m_nextPlayerId = 0;
    std::int64_t m_nextProvisionalId = -1;
    std::map<std::int64_t, std::int64_t> m_settledIds; // an id handed out → the file's
    std::uint64_t m_changeCount = 0;
    std::map<std::int64_t, std::uint64_t> m_lastChangeOf; // by player id

    // Worker side.
    std::mutex m_mutex;
    std::condition_variable m_wake, m_idle;
    std::deque<std::function<void()>> m_work;
    bool m_busy = false;
    bool m_stop = false;
    // Writes not done yet, in order (worker only).
    std::deque<StoreOp> m_pending;
    // Worker only: ids the file gave other than the window's; the names the file holds (to put a
    // refused rename back); players the file no longer holds; the name last told as refused.
    std::map<std::int64_t, std::int64_t> m_storedIds;
    std::map<std::int64_t, std::string> m_storedNames;
    std::set<std::int64_t> m_goneIds;
    std::map<std::int64_t, std::string> m_refusedNames;
    std::thread m_worker;
};

} // namespace cantorix::app
