#include "record_keeper.h"

#include <exception>
#include <future>
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

void RecordKeeper::runAndWait(const std::function<void()>& work) {
    std::promise<void> done;
    enqueue([&] {
        try {
            work();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    done.get_future().get();
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
    // The book is built here, off the window thread: with many thousands of performances its
    // indexes take a while.
    auto book = std::make_shared<records::RecordBook>();
    book->assign(std::move(snapshot.players), std::move(snapshot.performances));
    m_invoker.post([this, alive = std::weak_ptr(m_alive), book, failure, notices] {
        if (alive.expired())
            return;
        m_book = std::move(*book);
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
    std::vector<records::RecordNews> news = records::judgeRecords(m_book, rows);
    if (rows.empty())
        return news;
    change([rows](records::RecordBook& book) { book.add(rows); });
    // Without a store the book alone keeps them, for this run.
    if (m_store)
        enqueue([this, rows = std::move(rows)]() mutable {
            m_pending.push_back(std::move(rows));
            storePendingOnWorker();
        });
    changed();
    return news;
}

void RecordKeeper::storePendingOnWorker() {
    if (!m_store || m_pending.empty())
        return;
    std::string failure;
    while (!m_pending.empty()) {
        try {
            m_store->storeSession(m_pending.front());
            m_pending.erase(m_pending.begin());
        } catch (const std::exception& e) {
            failure = e.what();
            break;
        }
    }
    std::vector<std::string> notices = m_store->takeNotices();
    if (!failure.empty())
        notices.push_back("The last performances could not be stored: " + failure +
                          "\nThey are kept and stored with the next song.");
    if (!notices.empty())
        m_invoker.post([this, alive = std::weak_ptr(m_alive), notices] {
            if (alive.expired())
                return;
            for (const std::string& notice : notices)
                tell(notice);
        });
}

records::Player RecordKeeper::addPlayer(records::Player player) {
    if (m_store)
        runAndWait([&] { player = m_store->addPlayer(player); });
    else if (m_book.playerNamed(player.name))
        throw records::EPlayerNameTaken("The name \"" + player.name + "\" is taken.");
    else
        player.id = m_book.players().empty() ? 1 : m_book.players().back().id + 1;
    change([player](records::RecordBook& book) { book.putPlayer(player); });
    changed();
    return player;
}

void RecordKeeper::updatePlayer(const records::Player& player) {
    if (m_store)
        runAndWait([&] { m_store->updatePlayer(player); });
    else if (const records::Player* other = m_book.playerNamed(player.name);
             other && other->id != player.id)
        throw records::EPlayerNameTaken("The name \"" + player.name + "\" is taken.");
    change([player](records::RecordBook& book) { book.putPlayer(player); });
    changed();
}

void RecordKeeper::removePlayer(std::int64_t id, bool deletePerformances) {
    if (m_store)
        runAndWait([&] { m_store->removePlayer(id, deletePerformances); });
    change([id, deletePerformances](records::RecordBook& book) {
        book.removePlayer(id, deletePerformances);
    });
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
