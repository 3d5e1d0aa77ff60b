// The phone server's door. A connection is judged by its peer's address before anything is
// made for it, so a flood from outside costs one accept and one close each; what a peer sends is
// peeked, never read, until it is known to be a request we answer, so the WebSocket server
// receives an upgrade exactly as it arrived.

#include "phone_server_door.h"

#include "phone_page.h"
#include "phone_server_links.h"
#include "phones/http_request.h"
#include "phones/phone_seats.h"

#include <QPointer>
#include <QSslSocket>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace cantorix::platform {

namespace {

// Where a connection stands, kept on the socket: still reading, answered and closing, or handed
// to the WebSocket server (after which the door leaves it alone).
constexpr const char* kStage = "cantorixDoorStage";
enum Stage { kReading = 0, kAnswered = 1, kHandedOver = 2, kAwaitingThumbnail = 3 };

// Thumbnails are made by a pool of two, beside the server's thread, and a few thousand of them
// (some 4 KiB each) are kept: a whole evening's song book browsed to and fro.
constexpr std::size_t kThumbnailWorkers = 2;
constexpr std::size_t kThumbnailBudgetBytes = 8 * 1024 * 1024;
// A song's identifier holds for the run, and a cover that changes takes a new one only at the
// next scan's book: an hour spares the phone asking again while guests page to and fro.
constexpr std::string_view kThumbnailCaching = "private, max-age=3600";

// The networks are read again at most this often: a laptop that changed Wi-Fi lets its new
// neighbours in soon, without a system call per connection in a flood.
constexpr std::chrono::seconds kNetworksFresh{30};

Stage stageOf(const QSslSocket* socket) {
    return static_cast<Stage>(socket->property(kStage).toInt());
}

const char* statusText(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Error";
    }
}

// Every response carries the page's policy and closes the connection; the URL holds the key, so
// no referrer leaves the page and, but for the covers' thumbnails, nothing is cached.
std::string response(int status, std::string_view contentType, std::string_view body,
                     std::string_view extraHeaders, bool withBody,
                     std::string_view caching = "no-store") {
    std::string text = "HTTP/1.1 " + std::to_string(status) + " " + statusText(status) + "\r\n";
    text += "Content-Type: " + std::string(contentType) + "\r\n";
    text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    text += "Content-Security-Policy: " + std::string(kPhonePagePolicy) + "\r\n";
    text += "X-Content-Type-Options: nosniff\r\n";
    text += "Cache-Control: " + std::string(caching) + "\r\n";
    text += "Referrer-Policy: no-referrer\r\n"
            "Permissions-Policy: microphone=(self)\r\n"
            "Connection: close\r\n";
    text += extraHeaders;
    text += "\r\n";
    if (withBody)
        text += body;
    return text;
}

std::string refusal(int status, std::string_view reason) {
    const std::string extra = status == 405 ? "Allow: GET, HEAD\r\n" : "";
    return response(status, "text/plain; charset=utf-8", std::string(reason) + "\n", extra, true);
}

// One name per peer: an IPv4 peer reached over the dual-stack socket counts as its IPv4 address.
QString peerName(const QHostAddress& peer) {
    bool isIpv4 = false;
    const quint32 ipv4 = peer.toIPv4Address(&isIpv4);
    return isIpv4 ? QHostAddress(ipv4).toString() : peer.toString();
}

} // namespace

PhoneDoor::PhoneDoor(Setup setup, QObject* parent) : QTcpServer(parent), m_setup(std::move(setup)) {
    if (m_setup.makeThumbnail && m_setup.cover)
        m_thumbnails = std::make_unique<ThumbnailCache>(m_setup.makeThumbnail, kThumbnailWorkers,
                                                        kThumbnailBudgetBytes);
}

PhoneDoor::~PhoneDoor() {
    m_thumbnails.reset();
}

const std::vector<LocalNetwork>& PhoneDoor::networks() {
    const auto now = std::chrono::steady_clock::now();
    if (!m_networksKnown || now - m_networksRead >= kNetworksFresh) {
        try {
            m_networks = m_setup.listNetworks ? m_setup.listNetworks() : listLocalNetworks();
        } catch (const std::exception&) {
            // Keep the networks known before; loopback is let in by peerAllowed regardless.
        }
        m_networksRead = now;
        m_networksKnown = true;
    }
    return m_networks;
}

void PhoneDoor::incomingConnection(qintptr descriptor) {
    const int fd = static_cast<int>(descriptor);
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        ::close(fd);
        return;
    }
    const QHostAddress peer(reinterpret_cast<const sockaddr*>(&storage));
    const QString name = peerName(peer);
    const auto counted = m_openPerPeer.find(name);
    const std::size_t fromPeer = counted == m_openPerPeer.end() ? 0 : counted->second;
    if (m_open >= m_setup.limits.connections || fromPeer >= m_setup.limits.connectionsPerPeer ||
        !peerAllowed(peer, networks())) {
        ::close(fd);
        return;
    }

    auto* socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        ::close(fd);
        delete socket;
        return;
    }
    // A phone's answers and queue news are small and each awaited: without this, news to the phone
    // that just asked for a change waits for that phone's delayed acknowledgement (8-24 ms more).
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    ++m_open;
    ++m_openPerPeer[name];
    // Its place is free once the peer is gone, whether or not Qt has deleted the socket yet
    // (a WebSocket's connection may outlive its close for a while).
    const auto released = std::make_shared<bool>(false);
    const auto releaseOnce = [this, name, released] {
        if (!*released)
            release(name);
        *released = true;
    };
    connect(socket, &QObject::destroyed, this, releaseOnce);
    connect(socket, &QSslSocket::disconnected, this, releaseOnce);
    socket->setSslConfiguration(m_setup.tls);
    socket->setProperty(kStage, kReading);

    const auto closeUnlessHandedOver = [socket] {
        if (stageOf(socket) == kHandedOver)
            return;
        socket->abort();
        socket->deleteLater();
    };
    // An upgrade the WebSocket server refused or timed out is closed by it but left to us.
    const auto forgetRefusedUpgrade = [socket] {
        if (stageOf(socket) == kHandedOver && !socket->property(kAdopted).toBool())
            socket->deleteLater();
    };
    connect(socket, &QSslSocket::readyRead, this, [this, socket] { readRequest(socket); });
    connect(socket, &QSslSocket::encrypted, this, [this, socket] { readRequest(socket); });
    connect(socket, &QSslSocket::disconnected, this, closeUnlessHandedOver);
    connect(socket, &QSslSocket::disconnected, this, forgetRefusedUpgrade);
    connect(socket, &QSslSocket::errorOccurred, this, closeUnlessHandedOver);
    // A stalled handshake or a request trickled in byte by byte must not hold a connection.
    QTimer::singleShot(m_setup.limits.handshake, socket, closeUnlessHandedOver);
    socket->startServerEncryption();
}

void PhoneDoor::release(const QString& peer) {
    --m_open;
    if (const auto counted = m_openPerPeer.find(peer);
        counted != m_openPerPeer.end() && --counted->second == 0)
        m_openPerPeer.erase(counted);
}

void PhoneDoor::answer(QSslSocket* socket, const std::string& text) {
    socket->setProperty(kStage, kAnswered);
    socket->write(text.data(), static_cast<qint64>(text.size()));
    socket->disconnectFromHost();
}

void PhoneDoor::readRequest(QSslSocket* socket) {
    if (stageOf(socket) != kReading || !socket->isEncrypted())
        return;
    const std::size_t limit = m_setup.limits.requestBytes;
    const QByteArray seen =
        socket->peek(std::min<qint64>(socket->bytesAvailable(), static_cast<qint64>(limit) + 1));
    const phones::HttpReading reading = phones::readHttpRequest(
        std::string_view(seen.constData(), static_cast<std::size_t>(seen.size())), limit);
    if (reading.state == phones::HttpReading::State::Incomplete)
        return;
    if (reading.state == phones::HttpReading::State::Refused) {
        answer(socket, refusal(reading.status, reading.reason));
        return;
    }

    const phones::HttpRequest& request = reading.request;
    const bool withBody = request.method != "HEAD";
    if (request.key.empty() || !phones::sameSecret(request.key, m_setup.key)) {
        answer(socket, refusal(403, "This link has no valid key for this game: scan the code "
                                    "on the game's screen again."));
        return;
    }
    if (request.path == "/socket") {
        if (!request.webSocketUpgrade || !withBody) {
            answer(socket, refusal(400, "Only a WebSocket is served here."));
            return;
        }
        // Another site's page in the guest's browser must not reach the game's socket: browsers
        // always name the page's origin, and only the game's own page is let in.
        if (request.origin != "https://" + request.host) {
            answer(socket, refusal(403, "The page asking is not the game's own."));
            return;
        }
        socket->setProperty(kStage, kHandedOver);
        m_setup.upgrade(socket);
        return;
    }
    if (request.path == "/slots") {
        // Asked again by the page whenever its picker is about to be used: free slots change.
        std::string body = "{\"free\":[";
        const std::vector<std::size_t> free =
            m_setup.freeSlots ? m_setup.freeSlots() : std::vector<std::size_t>{};
        for (std::size_t i = 0; i < free.size(); ++i)
            body += (i ? "," : "") + std::to_string(free[i]);
        body += "]}";
        answer(socket, response(200, "application/json", body, {}, withBody));
        return;
    }
    if (request.path == "/book") {
        const std::optional<std::string> page =
            m_setup.songBook ? m_setup.songBook(request.search, request.page) : std::nullopt;
        answer(socket, page ? response(200, "application/json", *page, {}, withBody)
                            : refusal(404, "The song book is not open."));
        return;
    }
    if (request.path == "/cover") {
        answerThumbnail(socket, request.song, withBody);
        return;
    }
    const auto file = phonePageFile(request.path);
    if (!file) {
        answer(socket, refusal(404, "There is nothing here."));
        return;
    }
    // The page's own files are loaded without the key in their URLs: the cookie carries it.
    const std::string cookie =
        request.path == "/" ? "Set-Cookie: " + std::string(phones::kKeyCookieName) + "=" +
                                  m_setup.key + "; Secure; HttpOnly; SameSite=Strict; Path=/\r\n"
                            : std::string();
    answer(socket, response(200, file->contentType, file->body, cookie, withBody));
}

void PhoneDoor::answerThumbnail(QSslSocket* socket, const std::string& songId, bool withBody) {
    // Found by the song book's identifier alone: nothing in a request ever names a file.
    const std::optional<Setup::Cover> cover =
        m_thumbnails ? m_setup.cover(songId) : std::optional<Setup::Cover>();
    if (!cover) {
        answer(socket, refusal(404, "This song has no cover here."));
        return;
    }
    socket->setProperty(kStage, kAwaitingThumbnail);
    const QPointer<QSslSocket> waiting(socket);
    m_thumbnails->fetch(
        cover->key, cover->file, [this, waiting, withBody](ThumbnailCache::Thumbnail thumbnail) {
            // On a worker, or here when it was kept: the socket is this thread's to answer.
            QMetaObject::invokeMethod(
                this,
                [this, waiting, withBody, thumbnail = std::move(thumbnail)] {
                    // Closed meanwhile by the peer or the handshake's deadline: nobody to tell.
                    if (waiting.isNull() || stageOf(waiting) != kAwaitingThumbnail)
                        return;
                    answer(waiting, thumbnail ? response(200, "image/jpeg", *thumbnail, {},
                                                         withBody, kThumbnailCaching)
                                              : refusal(404, "This song's cover is no picture."));
                },
                Qt::QueuedConnection);
        });
}

} // namespace cantorix::platform
