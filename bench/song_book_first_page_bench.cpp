// Timed run: how soon a guest who scanned "Scan to choose songs" sees the first songs of a book of
// 30,000. The real phone server runs in this process over loopback; headless Chromium opens the
// code's address (the page with "#book") in a browser context of its own each time, so every run
// starts as a new phone does: no cache, a new TLS connection. A script the browser's DevTools adds
// to the page before its own (the page itself is unchanged) notes the page's clock, which starts
// with the navigation, when the first row appears in the book's list and at the frame after; the
// page's resource timing gives the /book request's start and the end of its answer. Prints each
// run and the median and 95th percentile. Loopback only. Asserts nothing.
//
//   song_book_first_page_bench [--runs N]     (40 by default, at most 200)

#include "fakes/file_bytes.h"
#include "generated_summaries.h"
#include "integration/headless_chromium.h"
#include "party/song_book.h"
#include "platform/phones/phone_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebSocket>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace cantorix;
namespace fs = std::filesystem;

constexpr std::size_t kSongs = 30000;
constexpr const char* kKey = "96877869a5b4c3d2e1f00f1e2d3c4b5a";
constexpr int kCallWaitMs = 10000;
constexpr int kRowWaitMs = 10000;

// Added to every document before its own scripts: the page's clock (0 at the navigation's start)
// when #bookList first holds a row, at the frame after, and the /book request's timing.
constexpr const char* kWatch = R"js(
(() => {
    if (location.protocol !== 'https:')
        return;
    const times = {};
    window.bookTimes = times;
    const observer = new MutationObserver(() => {
        const list = document.getElementById('bookList');
        if (!list || !list.firstElementChild)
            return;
        observer.disconnect();
        times.firstRow = performance.now();
        requestAnimationFrame(() => { times.frame = performance.now(); });
        const book = performance.getEntriesByType('resource')
                         .find((entry) => entry.name.includes('/book?'));
        if (book) {
            times.bookStart = book.startTime;
            times.bookEnd = book.responseEnd;
        }
        const page = performance.getEntriesByType('navigation')[0];
        if (page) {
            times.pageEnd = page.responseEnd;
            times.connected = page.connectEnd;
        }
    });
    observer.observe(document, { childList: true, subtree: true });
})();
)js";

double percentile(std::vector<double> values, double share) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(share * values.size()))];
}

// The browser's DevTools over its WebSocket on loopback: one command at a time, each waited for
// (bounded) while Qt's events run.
class DevTools {
public:
    bool open(const fs::path& profile) {
        int port = 0;
        std::string path;
        for (int i = 0; i < 200 && path.empty(); ++i) {
            std::ifstream file(profile / "DevToolsActivePort");
            file >> port >> path;
            if (path.empty())
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (path.empty())
            return false;
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
            const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
            if (message.contains(QStringLiteral("id")))
                m_answers[message.value(QStringLiteral("id")).toInt()] = message;
        });
        QEventLoop wait;
        QObject::connect(&m_socket, &QWebSocket::connected, &wait, &QEventLoop::quit);
        QTimer::singleShot(kCallWaitMs, &wait, &QEventLoop::quit);
        m_socket.open(QUrl(
            QStringLiteral("ws://127.0.0.1:%1%2").arg(port).arg(QString::fromStdString(path))));
        wait.exec();
        return m_socket.state() == QAbstractSocket::ConnectedState;
    }

    // The command's result; none when it failed or did not answer in time.
    std::optional<QJsonObject> call(const QString& method, const QJsonObject& params = {},
                                    const QString& session = {}) {
        const int id = ++m_lastId;
        QJsonObject command{{QStringLiteral("id"), id},
                            {QStringLiteral("method"), method},
                            {QStringLiteral("params"), params}};
        if (!session.isEmpty())
            command.insert(QStringLiteral("sessionId"), session);
        m_socket.sendTextMessage(
            QString::fromUtf8(QJsonDocument(command).toJson(QJsonDocument::Compact)));
        QElapsedTimer waited;
        waited.start();
        while (!m_answers.contains(id) && waited.elapsed() < kCallWaitMs) {
            QEventLoop wait;
            QObject::connect(&m_socket, &QWebSocket::textMessageReceived, &wait, &QEventLoop::quit);
            QTimer::singleShot(static_cast<int>(kCallWaitMs - waited.elapsed()), &wait,
                               &QEventLoop::quit);
            wait.exec();
        }
        const auto answer = m_answers.find(id);
        if (answer == m_answers.end() || answer->second.contains(QStringLiteral("error"))) {
            std::fprintf(
                stderr, "%s: %s\n", qPrintable(method),
                answer == m_answers.end()
                    ? "no answer"
                    : QJsonDocument(answer->second.value(QStringLiteral("error")).toObject())
                          .toJson(QJsonDocument::Compact)
                          .constData());
            return std::nullopt;
        }
        QJsonObject result = answer->second.value(QStringLiteral("result")).toObject();
        m_answers.erase(answer);
        return result;
    }

private:
    QWebSocket m_socket;
    int m_lastId = 0;
    std::map<int, QJsonObject> m_answers;
};

struct Times {
    double firstRow = 0, frame = 0, bookStart = 0, bookEnd = 0, pageEnd = 0;
};

// One guest: a fresh browser context opens the address; the page's times once its first row
// showed (and the frame after it came), none when it did not within the bound.
std::optional<Times> openOnce(DevTools& tools, const std::string& address) {
    const auto context = tools.call(QStringLiteral("Target.createBrowserContext"));
    if (!context)
        return std::nullopt;
    const QString contextId = context->value(QStringLiteral("browserContextId")).toString();
    std::optional<Times> times;
    const auto target = tools.call(QStringLiteral("Target.createTarget"),
                                   {{QStringLiteral("url"), QStringLiteral("about:blank")},
                                    {QStringLiteral("browserContextId"), contextId}});
    const QString targetId =
        target ? target->value(QStringLiteral("targetId")).toString() : QString();
    const auto attached = target ? tools.call(QStringLiteral("Target.attachToTarget"),
                                              {{QStringLiteral("targetId"), targetId},
                                               {QStringLiteral("flatten"), true}})
                                 : std::nullopt;
    if (attached) {
        const QString session = attached->value(QStringLiteral("sessionId")).toString();
        tools.call(QStringLiteral("Page.enable"), {}, session);
        tools.call(QStringLiteral("Page.addScriptToEvaluateOnNewDocument"),
                   {{QStringLiteral("source"), QString::fromUtf8(kWatch)}}, session);
        tools.call(QStringLiteral("Page.navigate"),
                   {{QStringLiteral("url"), QString::fromStdString(address)}}, session);
        QElapsedTimer waited;
        waited.start();
        while (!times && waited.elapsed() < kRowWaitMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const auto read = tools.call(
                QStringLiteral("Runtime.evaluate"),
                {{QStringLiteral("expression"),
                  QStringLiteral("JSON.stringify(window.bookTimes && window.bookTimes.frame "
                                 "!== undefined ? window.bookTimes : null)")},
                 {QStringLiteral("returnByValue"), true}},
                session);
            const QJsonObject seen =
                read ? QJsonDocument::fromJson(read->value(QStringLiteral("result"))
                                                   .toObject()
                                                   .value(QStringLiteral("value"))
                                                   .toString()
                                                   .toUtf8())
                           .object()
                     : QJsonObject();
            if (seen.contains(QStringLiteral("firstRow")))
                times = Times{seen.value(QStringLiteral("firstRow")).toDouble(),
                              seen.value(QStringLiteral("frame")).toDouble(),
                              seen.value(QStringLiteral("bookStart")).toDouble(),
                              seen.value(QStringLiteral("bookEnd")).toDouble(),
                              seen.value(QStringLiteral("pageEnd")).toDouble()};
        }
    }
    if (target)
        tools.call(QStringLiteral("Target.closeTarget"), {{QStringLiteral("targetId"), targetId}});
    tools.call(QStringLiteral("Target.disposeBrowserContext"),
               {{QStringLiteral("browserContextId"), contextId}});
    return times;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 40;
    if (argc == 3 && std::string(argv[1]) == "--runs")
        runs = std::clamp(std::atoi(argv[2]), 1, 200);
    else if (argc != 1) {
        std::fprintf(stderr, "usage: song_book_first_page_bench [--runs N]\n");
        return 2;
    }
    if (!fs::exists(testing::kChromium)) {
        std::fprintf(stderr, "no Chromium at %s\n", testing::kChromium);
        return 1;
    }
    QCoreApplication application(argc, argv);

    std::string pattern = (fs::temp_directory_path() / "song-book-page-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return 1;
    const struct Folder {
        fs::path path;
        ~Folder() { fs::remove_all(path); }
    } folder{pattern};

    platform::PhoneServer server(
        {.port = 0,
         .identityFolder = folder.path,
         .invoker = nullptr,
         .listNetworks = [] { return std::vector<platform::LocalNetwork>{}; },
         // The browser's page, its scripts and its requests come from the one loopback address.
         .limits = {.connectionsPerPeer = 64},
         .key = kKey});
    if (!server.listening()) {
        std::fprintf(stderr, "no server: %s\n", server.problem().c_str());
        return 1;
    }
    server.openSongBook(
        std::make_shared<const party::SongBook>(bench::generatedSummaries(kSongs), 23));
    // The selection screen's code, as a guest's phone opens it.
    const std::string address = server.joinCode(0, "127.0.0.1").url;

    // The browser wants a microphone file; the book never asks for the microphone.
    const fs::path wav = folder.path / "silence.wav";
    testing::writePcmWav(wav, std::vector<std::int16_t>(4800, 0), 1, 48000);
    testing::HeadlessChromium browser(folder.path, wav, "about:blank");
    DevTools tools;
    if (!browser.started() || !tools.open(folder.path / "chromium-profile")) {
        std::fprintf(stderr, "no browser to drive\n%s\n", browser.logTail().c_str());
        return 1;
    }
    std::printf("song book of %d songs at %s\n", static_cast<int>(kSongs), address.c_str());

    std::vector<double> firstRow, frame, book;
    int failed = 0;
    for (int run = 0; run < runs; ++run) {
        const std::optional<Times> times = openOnce(tools, address);
        if (!times) {
            ++failed;
            std::printf("run %2d: no row within %d s\n", run + 1, kRowWaitMs / 1000);
            continue;
        }
        firstRow.push_back(times->firstRow);
        frame.push_back(times->frame);
        book.push_back(times->bookEnd - times->bookStart);
        std::printf("run %2d: page answered %.1f ms, /book asked %.1f ms and answered %.1f ms, "
                    "first row %.1f ms, next frame %.1f ms\n",
                    run + 1, times->pageEnd, times->bookStart, times->bookEnd, times->firstRow,
                    times->frame);
        std::fflush(stdout);
    }
    std::printf("%zu runs (%d failed), from the navigation's start:\n", firstRow.size(), failed);
    std::printf(
        "  first row in #bookList: median %.1f ms, 95th percentile %.1f ms, worst %.1f ms\n",
        percentile(firstRow, 0.5), percentile(firstRow, 0.95), percentile(firstRow, 1.0));
    std::printf(
        "  the frame after it:     median %.1f ms, 95th percentile %.1f ms, worst %.1f ms\n",
        percentile(frame, 0.5), percentile(frame, 0.95), percentile(frame, 1.0));
    std::printf("  the /book request alone: median %.1f ms, 95th percentile %.1f ms\n",
                percentile(book, 0.5), percentile(book, 0.95));
    return failed == 0 ? 0 : 1;
}
