// The phone server over loopback, on a port of its own choosing: the page and its headers, the
// key, the request limits, the connection limits and deadlines, and phones joining, refused,
// dropping out and coming back, through real TLS connections and secure WebSockets.

#include "base/main_thread_invoker_port.h"
#include "platform/phones/phone_server.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QThread>
#include <QWebSocket>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <vector>

namespace cantorix::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kKey = "0123456789abcdef0123456789abcdef";
const std::string kHostKey = "fedcba9876543210fedcba9876543210";

void ensureApplication() {
    static int argc = 1;
    static char name[] = "phone_server_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        static QCoreApplication application(argc, argv);
}

// Runs the event loop until done() or the bound passes; never a measure of time itself.
template <typename Done> bool waitUntil(Done done, std::chrono::milliseconds within = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

class QueuedInvoker : public base::MainThreadInvoker {
public:
    void post(std::function<void()> task) override {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task),
                                  Qt::QueuedConnection);
    }
};

QSslConfiguration trustingAnyCertificate() {
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    return tls;
}

// One request over TLS; the whole response until the server closed (empty when it never
// answered).
std::string exchangeOnce(int port, const std::string& request) {
    QSslSocket socket;
    socket.setSslConfiguration(trustingAnyCertificate());
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
    std::string received;
    bool closed = false;
    QObject::connect(&socket, &QSslSocket::readyRead, [&] { received += socket.readAll(); });
    QObject::connect(&socket, &QSslSocket::disconnected, [&] { closed = true; });
    QObject::connect(&socket, &QSslSocket::errorOccurred, [&] { closed = true; });
    if (!waitUntil([&] { return socket.isEncrypted() || closed; }) || closed)
        return received;
    socket.write(request.data(), static_cast<qint64>(request.size()));
    waitUntil([&] { return closed; });
    return received;
}

std::string get(int port, const std::string& target, const std::string& headers = "") {
    return exchangeOnce(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                                  std::to_string(port) + "\r\n" + headers + "\r\n");
}

// A phone's page as a browser runs it: a secure WebSocket from the game's own origin.
struct Phone {
    std::unique_ptr<QWebSocket> socket;
    std::vector<QJsonObject> received;
    bool connected = false;
    bool closed = false;

    explicit Phone(int port, const std::string& key = kKey) {
        const QString authority = QStringLiteral("127.0.0.1:%1").arg(port);
        socket = std::make_unique<QWebSocket>(QStringLiteral("https://") + authority);
        socket->setSslConfiguration(trustingAnyCertificate());
        QObject::connect(socket.get(), &QWebSocket::connected, [this] { connected = true; });
        QObject::connect(socket.get(), &QWebSocket::disconnected, [this] { closed = true; });
        QObject::connect(socket.get(), &QWebSocket::textMessageReceived, [this](const QString& t) {
            received.push_back(QJsonDocument::fromJson(t.toUtf8()).object());
        });
        socket->open(QUrl(QStringLiteral("wss://") + authority + QStringLiteral("/socket?k=") +
                          QString::fromStdString(key)));
    }

    bool open() {
        return waitUntil([this] { return connected || closed; }) && connected;
    }

    void say(const QJsonObject& message) {
        socket->sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson()));
    }

    void join(std::size_t slot, const QString& name, const QString& resume = {}) {
        QJsonObject join{{"type", "join"},
                         {"name", name},
                         {"slot", static_cast<int>(slot)},
                         {"rate", 48000},
                         {"resume", resume}};
        socket->sendTextMessage(QString::fromUtf8(QJsonDocument(join).toJson()));
    }

    // The first message of type received, waiting for it (bounded).
    std::optional<QJsonObject> message(const QString& type) {
        std::optional<QJsonObject> found;
        waitUntil([&] {
            for (const QJsonObject& object : received)
                if (object.value("type").toString() == type)
                    found = object;
            return found.has_value() || closed;
        });
        for (const QJsonObject& object : received)
            if (!found && object.value("type").toString() == type)
                found = object;
        return found;
    }
};

class PhoneServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        std::string pattern = (fs::temp_directory_path() / "phone-server-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override {
        m_server.reset();
        fs::remove_all(m_folder);
    }

    PhoneServer& start(PhoneServerLimits limits = {}) {
        PhoneServer::Options options;
        options.port = 0;
        options.identityFolder = m_folder;
        options.invoker = &m_invoker;
        options.log = &m_log;
        options.listNetworks = [] { return std::vector<LocalNetwork>{}; };
        options.limits = limits;
        options.key = kKey;
        options.hostKey = kHostKey;
        m_server = std::make_unique<PhoneServer>(std::move(options));
        EXPECT_TRUE(m_server->listening()) << m_server->problem();
        m_server->onSeatsChanged([this] { ++m_seatChanges; });
        return *m_server;
    }

    fs::path m_folder;
    QueuedInvoker m_invoker;
    std::ostringstream m_log;
    std::unique_ptr<PhoneServer> m_server;
    int m_seatChanges = 0;
};

int status(const std::string& response) {
    return response.size() > 12 && response.rfind("HTTP/1.1 ", 0) == 0
               ? std::stoi(response.substr(9, 3))
               : 0;
}

TEST_F(PhoneServerTest, ServesThePageWithItsPolicyAndCookieAndRefusesTheRest) {
    const int port = start().port();
    EXPECT_NE(m_log.str().find("/?k=" + kKey), std::string::npos);

    const std::string page = get(port, "/?slot=2&k=" + kKey);
    ASSERT_EQ(status(page), 200) << page;
    for (const char* header :
         {"Content-Security-Policy: default-src 'none'", "X-Content-Type-Options: nosniff",
          "Cache-Control: no-store", "Referrer-Policy: no-referrer",
          "Permissions-Policy: microphone=(self)", "Connection: close",
          "Set-Cookie: cantorix_key=0123456789abcdef0123456789abcdef; Secure; HttpOnly; "
          "SameSite=Strict; Path=/"})
        EXPECT_NE(page.find(header), std::string::npos) << header;
    EXPECT_NE(page.find("<html"), std::string::npos);

    const std::string upgrade = "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                                "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: "
                                "dGhlIHNhbXBsZSBub25jZQ==\r\n";
    const std::string ownOrigin = "Origin: https://127.0.0.1:" + std::to_string(port) + "\r\n";
    const struct {
        const char* what;
        std::string response;
        int status;
    } cases[] = {
        {"a file by the cookie", get(port, "/phone.js", "Cookie: cantorix_key=" + kKey + "\r\n"),
         200},
        {"a file without a key", get(port, "/phone.js"), 403},
        {"the page with a wrong key", get(port, "/?k=0123456789abcdef0123456789abcdee"), 403},
        {"an unknown path", get(port, "/secret.txt?k=" + kKey), 404},
        {"a listing", get(port, "/assets/?k=" + kKey), 404},
        {"a body", exchangeOnce(port, "PUT / HTTP/1.1\r\nHost: h\r\n\r\n"), 405},
        {"17 KiB of headers",
         get(port, "/?k=" + kKey, "X: " + std::string(17 * 1024, 'a') + "\r\n"), 431},
        {"the socket without a key", get(port, "/socket", upgrade + ownOrigin), 403},
        {"the socket from another site",
         get(port, "/socket?k=" + kKey, upgrade + "Origin: https://elsewhere.example\r\n"), 403},
    };
    for (const auto& c : cases)
        EXPECT_EQ(status(c.response), c.status) << c.what << "\n" << c.response.substr(0, 200);

    Phone wrongKey(port, "ffffffffffffffffffffffffffffffff");
    EXPECT_FALSE(wrongKey.open());
}

TEST_F(PhoneServerTest, ClosesConnectionsThatStallAndOutlastsAFlood) {
    PhoneServerLimits limits;
    limits.handshake = 300ms;
    const int port = start(limits).port();

    // Neither a TLS handshake nor, after one, a request that never ends holds a connection.
    QTcpSocket silent;
    bool silentClosed = false;
    QObject::connect(&silent, &QTcpSocket::disconnected, [&] { silentClosed = true; });
    silent.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
    QSslSocket trickle;
    trickle.setSslConfiguration(trustingAnyCertificate());
    bool trickleClosed = false;
    QObject::connect(&trickle, &QSslSocket::disconnected, [&] { trickleClosed = true; });
    trickle.connectToHostEncrypted(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
    ASSERT_TRUE(waitUntil([&] { return trickle.isEncrypted() || trickleClosed; }));
    trickle.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    EXPECT_TRUE(waitUntil([&] { return silentClosed && trickleClosed; }));

    std::vector<std::unique_ptr<QTcpSocket>> flood;
    for (int i = 0; i < 200; ++i) {
        flood.push_back(std::make_unique<QTcpSocket>());
        flood.back()->connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
        QCoreApplication::processEvents();
    }
    flood.clear();
    // Once the server has seen the flood's connections close (or time out), the peer is answered.
    EXPECT_TRUE(waitUntil([&] { return status(get(port, "/?k=" + kKey)) == 200; }));
}

// A WebSocket that has not joined a slot in time is closed whatever it sends meanwhile; a
// phone that joined in time outlives the deadline.
TEST_F(PhoneServerTest, AConnectionThatNeverJoinsIsClosedWhateverItSends) {
    PhoneServerLimits limits;
    limits.join = 400ms;
    const int port = start(limits).port();
    Phone lurker(port);
    Phone singer(port);
    ASSERT_TRUE(lurker.open());
    ASSERT_TRUE(singer.open());
    singer.join(1, QStringLiteral("Anna"));
    ASSERT_TRUE(singer.message("welcome"));
    // A frame every 50 ms, each of which keeps an idle connection open, for at most 5 s.
    for (int sent = 0; sent < 100 && !lurker.closed; ++sent) {
        lurker.socket->sendBinaryMessage(QByteArray(64, '\x01'));
        waitUntil([&] { return lurker.closed; }, 50ms);
    }
    EXPECT_TRUE(lurker.closed);
    EXPECT_TRUE(lurker.message("refused"));
    EXPECT_FALSE(singer.closed);
}

TEST_F(PhoneServerTest, ALimitOfConnectionsPerPeerAndTooBigAMessageCloseOnlyTheirOwn) {
    const int port = start().port();
    std::vector<std::unique_ptr<Phone>> phones;
    const std::size_t perPeer = PhoneServerLimits{}.connectionsPerPeer;
    for (std::size_t i = 0; i < perPeer; ++i) {
        phones.push_back(std::make_unique<Phone>(port));
        ASSERT_TRUE(phones.back()->open()) << i;
    }
    Phone oneTooMany(port);
    EXPECT_FALSE(oneTooMany.open());

    phones[0]->join(1, QStringLiteral("Anna"));
    phones[1]->join(2, QStringLiteral("Ben"));
    ASSERT_TRUE(phones[0]->message("welcome"));
    ASSERT_TRUE(phones[1]->message("welcome"));
    phones[0]->socket->sendBinaryMessage(QByteArray(1000 * 1000, '\x01'));
    EXPECT_TRUE(waitUntil([&] { return phones[0]->closed; }));
    // The other phone is still heard: a second join is answered, not met with a close.
    phones[1]->join(2, QStringLiteral("Ben"));
    EXPECT_TRUE(phones[1]->message("notice"));
    EXPECT_FALSE(phones[1]->closed);

    // A closed connection frees its place for the peer, once the server has seen it close.
    bool admitted = false;
    for (int attempt = 0; attempt < 50 && !admitted; ++attempt)
        admitted = Phone(port).open();
    EXPECT_TRUE(admitted);
}

TEST_F(PhoneServerTest, SeatsAreRefusedWhenTakenOrFullAndKeptForTheirToken) {
    PhoneServerLimits limits;
    limits.connectionsPerPeer = 16;
    PhoneServer& server = start(limits);
    const int port = server.port();

    // A join larger than any message the game reads closes that socket; a long name that fits
    // is cut, its direction overrides removed.
    Phone huge(port);
    ASSERT_TRUE(huge.open());
    huge.join(3, QString(10000, QChar('x')));
    EXPECT_TRUE(waitUntil([&] { return huge.closed; }));
    Phone tooLong(port);
    ASSERT_TRUE(tooLong.open());
    tooLong.join(3, QString(5000, QChar('x')));
    const auto refusal = tooLong.message("refused");
    ASSERT_TRUE(refusal);
    EXPECT_FALSE(refusal->value("reason").toString().isEmpty());

    Phone first(port);
    ASSERT_TRUE(first.open());
    first.join(3, QStringLiteral("Anna\u202e") + QString(1000, QChar('x')));
    const auto welcome = first.message("welcome");
    ASSERT_TRUE(welcome);
    EXPECT_EQ(welcome->value("slot").toInt(), 3);
    const QString name = welcome->value("name").toString();
    EXPECT_TRUE(name.startsWith(QStringLiteral("Anna")));
    EXPECT_LE(name.size(), 32);
    EXPECT_FALSE(name.contains(QChar(0x202e)));
    const QString token = welcome->value("resume").toString();
    EXPECT_FALSE(token.isEmpty());

    Phone second(port);
    ASSERT_TRUE(second.open());
    second.join(3, QStringLiteral("Ben"));
    const auto taken = second.message("refused");
    ASSERT_TRUE(taken);
    EXPECT_FALSE(taken->value("reason").toString().isEmpty());
    EXPECT_TRUE(waitUntil([&] { return second.closed; }));

    std::vector<std::unique_ptr<Phone>> others;
    for (std::size_t slot : {1, 2, 4, 5, 6, 7, 8}) {
        others.push_back(std::make_unique<Phone>(port));
        ASSERT_TRUE(others.back()->open());
        others.back()->join(slot, QStringLiteral("Guest"));
        ASSERT_TRUE(others.back()->message("welcome")) << slot;
    }
    Phone ninth(port);
    ASSERT_TRUE(ninth.open());
    ninth.join(1, QStringLiteral("Late"));
    const auto full = ninth.message("refused");
    ASSERT_TRUE(full);
    EXPECT_TRUE(full->value("reason").toString().contains(QStringLiteral("full")));
    ASSERT_TRUE(waitUntil([&] { return server.seats().size() == 8; }));

    // The phone drops out: its seat waits for its token, and no one else takes it meanwhile.
    first.socket->abort();
    ASSERT_TRUE(waitUntil([&] {
        for (const app::PhoneSeatView& seat : server.seats())
            if (seat.slot == 3)
                return !seat.connected;
        return false;
    }));
    EXPECT_EQ(server.seatInputs().at(2).input.name.rfind("Phone 3 \u2014 Anna", 0), 0U);
    Phone back(port);
    ASSERT_TRUE(back.open());
    back.join(3, QStringLiteral("Anna"), token);
    const auto resumed = back.message("welcome");
    ASSERT_TRUE(resumed);
    EXPECT_EQ(resumed->value("slot").toInt(), 3);
    EXPECT_TRUE(waitUntil([&] {
        for (const app::PhoneSeatView& seat : server.seats())
            if (seat.slot == 3)
                return seat.connected;
        return false;
    }));
    EXPECT_TRUE(waitUntil([&] { return m_seatChanges > 0; }));
}

// The song book answers what a guest types, a page at a time, once the game has opened it, and
// only to the game's own key; songs are named by identifier, never by path.
TEST_F(PhoneServerTest, TheSongBookAnswersAGuestsSearchAPageAtATime) {
    PhoneServer& server = start();
    const int port = server.port();
    const auto body = [&](const std::string& query) {
        const std::string response = get(port, "/book?k=" + kKey + query);
        return status(response) == 200 ? response.substr(response.find("\r\n\r\n") + 4)
                                       : response.substr(0, 12);
    };
    EXPECT_EQ(status(get(port, "/book?k=" + kKey)), 404) << "no book open yet";
    std::vector<songs::SongSummary> library;
    for (int i = 0; i < 60; ++i) {
        songs::SongSummary& song = library.emplace_back();
        song.artist = i == 0 ? "Bj\xC3\xB6rk" : "Band " + std::to_string(100 + i);
        song.title = i == 0 ? "J\xC3\xB3ga" : "Song";
        song.songFile = "/songs/" + std::to_string(i) + "/song.txt";
    }
    server.openSongBook(std::make_shared<const party::SongBook>(library, 5));
    const std::string bjork = body("&q=BJORK%20jo");
    EXPECT_NE(bjork.find(R"("total":1)"), std::string::npos) << bjork;
    EXPECT_NE(bjork.find("J\xC3\xB3ga"), std::string::npos) << bjork;
    EXPECT_EQ(bjork.find("/songs/"), std::string::npos) << "a path reached the phone";
    const std::string second = body("&q=band&page=1");
    EXPECT_NE(second.find(R"("total":59)"), std::string::npos) << second;
    EXPECT_NE(second.find(R"("page":1)"), std::string::npos) << second;
    EXPECT_NE(second.find("Band 151"), std::string::npos) << second;
    EXPECT_EQ(second.find("Band 150"), std::string::npos) << "the first page's last song";
    EXPECT_EQ(status(get(port, "/book?q=band")), 403);
}

// A song book's connection holds no slot: it outlives the rule that closes connections which do
// not join, for as long as the phone answers the server's pings, and is held to its changes a
// minute. Only the phone that opened the host's code holds the host's actions.
TEST_F(PhoneServerTest, ASongBookLivesWithoutASlotAndIsHeldToItsChangesAMinute) {
    PhoneServerLimits limits;
    limits.join = 300ms;
    limits.guestPing = 100ms;
    limits.guestIdle = 500ms;
    PhoneServer& server = start(limits);
    const int changes = limits.changesPerMinute;
    std::vector<std::pair<app::PhoneHall::GuestConnection, party::GuestRequest>> heard;
    std::vector<app::PhoneHall::GuestConnection> gone;
    server.onGuests(
        [&](auto connection, party::GuestRequest request) {
            heard.emplace_back(connection, std::move(request));
        },
        [&](auto connection) { gone.push_back(connection); });

    Phone guest(server.port()), host(server.port()), pretender(server.port());
    ASSERT_TRUE(guest.open() && host.open() && pretender.open());
    guest.say({{"type", "guest"}, {"name", "  Ann\u202e "}, {"token", ""}});
    host.say({{"type", "guest"}, {"name", ""}, {"host", QString::fromStdString(kHostKey)}});
    pretender.say({{"type", "guest"}, {"name", "Eve"}, {"host", "00ff"}});
    ASSERT_TRUE(waitUntil([&] { return heard.size() == 3; }));
    const auto helloOf = [&](std::size_t i) {
        return std::get<party::GuestHello>(heard[i].second);
    };
    std::map<std::string, bool> hosts;
    for (std::size_t i = 0; i < 3; ++i)
        hosts[helloOf(i).name] = helloOf(i).host;
    EXPECT_EQ(hosts, (std::map<std::string, bool>{{"Ann", false}, {"", true}, {"Eve", false}}));
    const app::PhoneHall::GuestConnection ann =
        std::find_if(heard.begin(), heard.end(), [&](const auto& h) {
            return std::get<party::GuestHello>(h.second).name == "Ann";
        })->first;
    server.tellGuest(ann, party::GuestWelcome{4, "Ann", "abc", false});
    const auto welcome = guest.message("guest");
    ASSERT_TRUE(welcome);
    EXPECT_EQ(welcome->value("token").toString(), "abc");

    // Three times the join rule and twice the idle rule: the pings keep it.
    waitUntil([] { return false; }, 1000ms);
    EXPECT_FALSE(guest.closed);
    // A microphone's message is refused on a song book, and of a thousand adds in a minute only
    // the phone's share reaches the game.
    guest.join(1, QStringLiteral("Ann"));
    for (int i = 0; i < 1000; ++i)
        guest.say({{"type", "add"}, {"song", QStringLiteral("%1").arg(i, 16, 16, QChar('0'))}});
    ASSERT_TRUE(waitUntil([&] {
        return std::count_if(guest.received.begin(), guest.received.end(), [](const auto& m) {
                   return m.value("type") == "answer";
               }) == 1 + 1000 - changes;
    }));
    EXPECT_EQ(heard.size(), 3u + static_cast<std::size_t>(changes));
    EXPECT_NE(guest.received.back().value("text").toString().indexOf("a lot of changes"), -1);
    EXPECT_FALSE(guest.closed);
    guest.socket->close();
    ASSERT_TRUE(waitUntil([&] { return !gone.empty(); }));
    EXPECT_EQ(gone, std::vector{ann});
}

// The slot picker asks which slots are free; the host frees a phone's slot: the phone is told why
// and disconnected, its token spent, and the slot offered again.
TEST_F(PhoneServerTest, TheHostFreesASeatAndThePickerOffersOnlyFreeSlots) {
    PhoneServer& server = start();
    const int port = server.port();
    const auto offered = [&] {
        const std::string response = get(port, "/slots?k=" + kKey);
        return status(response) == 200 ? response.substr(response.find("\r\n\r\n") + 4)
                                       : response.substr(0, 12);
    };
    server.reserveSlots({"Slot 1 is Anna's.", "", "", "", "", "", "", ""});
    Phone phone(port);
    ASSERT_TRUE(phone.open());
    phone.join(2, QStringLiteral("Ben"));
    const auto welcome = phone.message("welcome");
    ASSERT_TRUE(welcome);
    EXPECT_EQ(offered(), R"({"free":[3,4,5,6,7,8]})");
    EXPECT_EQ(status(get(port, "/slots")), 403);

    server.freeSlot(2);
    const auto told = phone.message("refused");
    ASSERT_TRUE(told);
    EXPECT_EQ(told->value("reason").toString(),
              QStringLiteral("The host freed slot 2 for another singer."));
    EXPECT_TRUE(waitUntil([&] { return phone.closed; }));
    EXPECT_TRUE(waitUntil([&] { return server.seats().empty(); }));
    EXPECT_EQ(offered(), R"({"free":[2,3,4,5,6,7,8]})");

    Phone again(port);
    ASSERT_TRUE(again.open());
    again.join(2, QStringLiteral("Ben"), welcome->value("resume").toString());
    const auto fresh = again.message("welcome");
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh->value("resume").toString(), welcome->value("resume").toString());
}

} // namespace
} // namespace cantorix::platform
