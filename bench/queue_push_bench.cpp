// Timed run: how soon every guest's phone sees a change of the party's queue. The real phone
// server and the real party host run in this process, the host on the main thread under Qt's
// event loop as in the game, over a song book of 30,000 generated songs. Twenty phones (the test
// client, each a song book's connection joined as a guest) run in a child process (this program
// again, with --phones), so their work is not counted. One phone after another adds a song, or
// takes out its oldest once it has two waiting, so the queue holds about forty; each change is
// timed from the request being sent to each of the twenty phones receiving the queue message
// that shows it (the next change is sent once all twenty have). The phones print the 50th and
// 95th percentiles and the worst over every phone's delivery; this process prints its CPU time
// (every thread, user and system) over the changes. Loopback only. Asserts nothing.
//
// A phone may ask for 10 changes a minute; this measures delivery, not that limit, so the
// server's options raise it.
//
//   queue_push_bench [--changes N]     (200 by default, at most 2,000)

#include "app/party_host.h"
#include "app/qt_main_thread_invoker.h"
#include "fakes/phone_test_client.h"
#include "generated_summaries.h"
#include "party/song_book.h"
#include "phones/phone_protocol.h"
#include "platform/phones/phone_server.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace cantorix;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr std::size_t kPhones = 20;
constexpr std::size_t kSongs = 30000;
constexpr std::uint64_t kSalt = 17;
constexpr const char* kKey = "5a4b3c2d1e0f0f1e2d3c4b5a69788796";
// A guest keeps this many songs waiting before taking out the oldest.
constexpr std::size_t kWaitingEach = 2;
constexpr auto kDeliveryWait = std::chrono::seconds(10);
// The whole run's bound, whatever happens to the phones.
constexpr auto kRunBound = std::chrono::minutes(10);

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(share * values.size()))];
}

// What the phones share with the driver: the change in flight and when each phone saw it.
struct Deliveries {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<bool> welcomed = std::vector<bool>(kPhones, false);
    Clock::time_point lastText = Clock::now();
    // The change in flight: the entries before it, and what it adds or takes out.
    bool waiting = false;
    std::set<long long> before;
    std::optional<long long> removed;
    std::size_t actor = 0;
    Clock::time_point sentAt;
    std::vector<std::optional<double>> arrivedMs = std::vector<std::optional<double>>(kPhones);
    std::size_t arrived = 0;
    std::vector<long long> actorSees; // the queue's entries as the acting phone got them
    std::vector<std::string> refusals;
    std::size_t newsBytes = 0;

    // Whether the entries are the queue after the change in flight.
    bool reflects(const std::vector<long long>& entries) const {
        const std::size_t expected = removed ? before.size() - 1 : before.size() + 1;
        if (entries.size() != expected)
            return false;
        std::size_t kept = 0;
        for (const long long entry : entries) {
            if (removed && entry == *removed)
                return false;
            kept += before.contains(entry) ? 1 : 0;
        }
        return kept == before.size() - (removed ? 1 : 0);
    }

    void heard(std::size_t phone, const std::string& text) {
        const auto at = Clock::now();
        const QJsonObject message =
            QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
        const QString type = message.value(QStringLiteral("type")).toString();
        std::vector<long long> entries;
        if (type == QStringLiteral("queue"))
            for (const QJsonValue& row : message.value(QStringLiteral("rows")).toArray())
                entries.push_back(static_cast<long long>(
                    row.toObject().value(QStringLiteral("entry")).toDouble()));
        const std::lock_guard lock(mutex);
        lastText = at;
        if (type == QStringLiteral("guest")) {
            welcomed[phone] = true;
            changed.notify_all();
        } else if (type == QStringLiteral("answer") && waiting && phone == actor) {
            const std::string said = message.value(QStringLiteral("text")).toString().toStdString();
            if (!said.starts_with("Added:"))
                refusals.push_back(said);
        } else if (type == QStringLiteral("queue") && waiting && !arrivedMs[phone] &&
                   reflects(entries)) {
            arrivedMs[phone] = std::chrono::duration<double, std::milli>(at - sentAt).count();
            newsBytes = std::max(newsBytes, text.size());
            if (phone == actor)
                actorSees = std::move(entries);
            if (++arrived == kPhones)
                changed.notify_all();
        }
    }
};

void mark(int fd, char what) {
    if (fd >= 0 && ::write(fd, &what, 1) != 1)
        std::fprintf(stderr, "the mark did not reach the server process\n");
}

// The child: twenty guests' phones, each change timed to every phone.
int runPhones(int port, std::size_t changes, int markFd) {
    // The same book as the game's (same library, same salt), for the songs' identifiers.
    const party::SongBook book(bench::generatedSummaries(kSongs), kSalt);
    std::vector<const party::BookSong*> songs;
    for (std::size_t page = 0; songs.size() < changes; page += 7) {
        const party::BookPage found = book.search("", page % (book.size() / 50));
        songs.insert(songs.end(), found.songs.begin(), found.songs.end());
    }

    Deliveries deliveries;
    const std::string url = "wss://127.0.0.1:" + std::to_string(port) + "/socket?k=" + kKey;
    std::vector<std::unique_ptr<testing::PhoneTestClient>> phones;
    for (std::size_t p = 0; p < kPhones; ++p) {
        phones.push_back(std::make_unique<testing::PhoneTestClient>(testing::PhoneTestClientOptions{
            .url = url,
            .name = "Guest " + std::to_string(p + 1),
            .join = false,
            .onText = [&deliveries, p](const std::string& text) { deliveries.heard(p, text); }}));
        if (!phones.back()->waitOpen()) {
            std::fprintf(stderr, "phone %zu could not connect\n", p + 1);
            return 1;
        }
        party::GuestHello hello;
        hello.name = "Guest " + std::to_string(p + 1);
        phones.back()->sendText(phones::guestRequestMessage(hello));
    }
    {
        // Every phone in line, and the news of the last one's joining settled.
        std::unique_lock lock(deliveries.mutex);
        const bool all = deliveries.changed.wait_for(lock, kDeliveryWait, [&] {
            return std::all_of(deliveries.welcomed.begin(), deliveries.welcomed.end(),
                               [](bool w) { return w; });
        });
        if (!all) {
            std::fprintf(stderr, "not every phone was welcomed as a guest\n");
            return 1;
        }
    }
    for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::lock_guard lock(deliveries.mutex);
        if (Clock::now() - deliveries.lastText > std::chrono::milliseconds(500))
            break;
    }

    std::vector<std::deque<long long>> waitingOf(kPhones);
    std::vector<long long> queue;
    std::vector<double> deliveryMs, lastPhoneMs;
    std::size_t adds = 0, removes = 0, missed = 0, largestQueue = 0;
    const auto from = Clock::now();
    mark(markFd, 'S');
    for (std::size_t change = 0; change < changes; ++change) {
        const std::size_t actor = change % kPhones;
        std::optional<long long> removed;
        std::string request;
        if (waitingOf[actor].size() >= kWaitingEach) {
            removed = waitingOf[actor].front();
            request = phones::guestRequestMessage(
                party::EntryRequest{party::EntryRequest::Kind::Remove, *removed});
        } else {
            party::AddSongRequest add;
            add.songId = songs.at(adds)->id;
            request = phones::guestRequestMessage(add);
        }
        {
            const std::lock_guard lock(deliveries.mutex);
            deliveries.before = std::set<long long>(queue.begin(), queue.end());
            deliveries.removed = removed;
            deliveries.actor = actor;
            deliveries.arrivedMs.assign(kPhones, std::nullopt);
            deliveries.arrived = 0;
            deliveries.actorSees.clear();
            deliveries.waiting = true;
            deliveries.sentAt = Clock::now();
        }
        phones[actor]->sendText(request);
        std::unique_lock lock(deliveries.mutex);
        const bool all = deliveries.changed.wait_for(lock, kDeliveryWait,
                                                     [&] { return deliveries.arrived == kPhones; });
        deliveries.waiting = false;
        double last = 0;
        for (const std::optional<double>& ms : deliveries.arrivedMs)
            if (ms) {
                deliveryMs.push_back(*ms);
                last = std::max(last, *ms);
            }
        if (!all) {
            // Without the acting phone's view the queue is not known: stop here.
            missed += kPhones - deliveries.arrived;
            std::fprintf(stderr, "change %zu reached %zu of %zu phones within %lld s%s%s\n",
                         change + 1, deliveries.arrived, kPhones,
                         static_cast<long long>(kDeliveryWait.count()),
                         deliveries.refusals.empty() ? "" : "; refused: ",
                         deliveries.refusals.empty() ? "" : deliveries.refusals.back().c_str());
            break;
        }
        lastPhoneMs.push_back(last);
        if (removed) {
            waitingOf[actor].pop_front();
            ++removes;
        } else {
            for (const long long entry : deliveries.actorSees)
                if (!deliveries.before.contains(entry))
                    waitingOf[actor].push_back(entry);
            ++adds;
        }
        queue = deliveries.actorSees;
        largestQueue = std::max(largestQueue, queue.size());
        lock.unlock();
        // A moment between changes, as between two guests' taps.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    mark(markFd, 'E');
    const std::chrono::duration<double> took = Clock::now() - from;
    phones.clear();

    std::printf("%zu changes (%zu adds, %zu removals) in %.1f s, queue of up to %zu songs, its "
                "message up to %zu bytes; %zu deliveries to %zu phones, %zu missing\n",
                adds + removes, adds, removes, took.count(), largestQueue, deliveries.newsBytes,
                deliveryMs.size(), kPhones, missed);
    std::printf("request sent to a phone's queue message: median %.1f ms, 95th percentile %.1f ms, "
                "worst %.1f ms\n",
                percentile(deliveryMs, 0.5), percentile(deliveryMs, 0.95),
                percentile(deliveryMs, 1.0));
    std::printf("request sent to the last of the %zu phones: median %.1f ms, 95th percentile "
                "%.1f ms, worst %.1f ms\n",
                kPhones, percentile(lastPhoneMs, 0.5), percentile(lastPhoneMs, 0.95),
                percentile(lastPhoneMs, 1.0));
    std::fflush(stdout);
    return missed == 0 && adds + removes == changes ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--phones")
        return runPhones(std::atoi(argv[2]), static_cast<std::size_t>(std::atol(argv[3])),
                         std::atoi(argv[4]));
    std::size_t changes = 200;
    if (argc == 3 && std::string(argv[1]) == "--changes")
        changes = std::clamp<std::size_t>(static_cast<std::size_t>(std::atol(argv[2])), 1, 2000);
    else if (argc != 1) {
        std::fprintf(stderr, "usage: queue_push_bench [--changes N]\n");
        return 2;
    }
    QCoreApplication application(argc, argv);

    std::string pattern = (fs::temp_directory_path() / "queue-push-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return 1;
    const struct Folder {
        fs::path path;
        ~Folder() { fs::remove_all(path); }
    } folder{pattern};

    app::QtMainThreadInvoker invoker;
    platform::PhoneServer server(
        {.port = 0,
         .identityFolder = folder.path,
         .invoker = &invoker,
         .listNetworks = [] { return std::vector<platform::LocalNetwork>{}; },
         // Every phone here comes from the one loopback address, and each asks for a change
         // as soon as the one before reached everybody.
         .limits = {.changesPerMinute = 1000, .connectionsPerPeer = 64},
         .key = kKey});
    if (!server.listening()) {
        std::fprintf(stderr, "no server: %s\n", server.problem().c_str());
        return 1;
    }
    const auto book =
        std::make_shared<const party::SongBook>(bench::generatedSummaries(kSongs), kSalt);
    server.openSongBook(book);
    // The game hands each kept queue to the records file's worker; the copy is the main
    // thread's part of that.
    std::optional<party::KeptQueue> kept;
    std::size_t keeps = 0;
    std::uint64_t tokens = 0;
    app::PartyHost host({.hall = &server,
                         .now = [] { return static_cast<std::int64_t>(std::time(nullptr)); },
                         .newToken = [&tokens] { return std::to_string(++tokens) + "feedc0de"; },
                         .keep =
                             [&](const party::KeptQueue& queue) {
                                 kept = queue;
                                 ++keeps;
                             },
                         .lastSungAt = {}});
    host.restore({});
    host.openSongBook(book);
    std::printf("song book of %zu songs, %zu phones, %zu changes\n", book->size(), kPhones,
                changes);
    std::fflush(stdout);

    int marks[2];
    if (::pipe(marks) != 0)
        return 1;
    const std::string port = std::to_string(server.port());
    const std::string count = std::to_string(changes);
    const std::string markFd = std::to_string(marks[1]);
    const pid_t child = fork();
    if (child == 0) {
        ::close(marks[0]);
        execl("/proc/self/exe", argv[0], "--phones", port.c_str(), count.c_str(), markFd.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(marks[1]);
    if (child < 0)
        return 1;

    double cpuFrom = 0, cpuTo = 0, mainFrom = 0, mainTo = 0;
    Clock::time_point wallFrom, wallTo;
    bool started = false, ended = false;
    QSocketNotifier markRead(marks[0], QSocketNotifier::Read);
    QObject::connect(&markRead, &QSocketNotifier::activated, &application, [&] {
        char what = 0;
        if (::read(marks[0], &what, 1) != 1) {
            markRead.setEnabled(false);
            return;
        }
        if (what == 'S') {
            started = true;
            cpuFrom = processCpuSeconds();
            mainFrom = threadCpuSeconds();
            wallFrom = Clock::now();
        } else if (what == 'E') {
            ended = true;
            cpuTo = processCpuSeconds();
            mainTo = threadCpuSeconds();
            wallTo = Clock::now();
        }
    });
    int status = 0;
    const auto deadline = Clock::now() + kRunBound;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &application, [&] {
        if (::waitpid(child, &status, WNOHANG) == child) {
            application.quit();
        } else if (Clock::now() > deadline) {
            std::fprintf(stderr, "the phones had not finished within the bound\n");
            ::kill(child, SIGTERM);
            ::waitpid(child, &status, 0);
            application.quit();
        }
    });
    watch.start(50);
    application.exec();
    ::close(marks[0]);

    if (started && ended) {
        const double wall = std::chrono::duration<double>(wallTo - wallFrom).count();
        const double cpu = cpuTo - cpuFrom;
        std::printf("over the %.1f s of changes the server process used %.2f s of CPU, %.1f %% of "
                    "one core (its main thread, the party host: %.2f s); the queue was kept %zu "
                    "times\n",
                    wall, cpu, 100 * cpu / wall, mainTo - mainFrom, keeps);
    }
    return started && ended && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
