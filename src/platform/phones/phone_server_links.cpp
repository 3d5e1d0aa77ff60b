// The joined phones. Every callback names its connection by PhoneId and looks it up again, so a
// connection that closed meanwhile (its socket deleted later by Qt) is simply not found.

#include "phone_server_links.h"

#include "tls_identity.h"

#include <QSslSocket>
#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>
#include <QWebSocketServer>
#include <algorithm>
#include <cstdio>

namespace cantorix::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kBurstPingWait{100};
constexpr std::chrono::seconds kExpiryInterval{5};
constexpr std::chrono::seconds kNoticeInterval{1};
// Pings not answered are forgotten beyond this many, so a silent phone cannot grow the table.
constexpr std::size_t kPingsRemembered = 32;

double steadySeconds(Clock::time_point time) {
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

Clock::time_point steadyTime(double seconds) {
    return Clock::time_point(
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
}

} // namespace

struct PhoneLinks::Link {
    phones::PhoneId id = 0;
    QWebSocket* socket = nullptr;
    QPointer<QSslSocket> connection; // under the WebSocket: deleted after it
    QTimer* idle = nullptr;          // children of the socket: they go when it goes
    QTimer* ping = nullptr;
    QTimer* joinDeadline = nullptr;
    QTimer* guestPing = nullptr; // a song book's: a WebSocket ping the browser answers
    std::optional<std::size_t> slot;
    bool guest = false; // a song book's connection: never a slot
    std::string changesKey;
    phones::ClockMapping clock;
    std::map<std::uint32_t, double> pingsSent; // id → the game's steady seconds when sent
    std::uint32_t nextPingId = 1;
    int burstLeft = 0;
    std::optional<std::uint32_t> lastSequence;
    // Frames dropped because their stamp was no time near the present.
    std::uint64_t framesOutOfTime = 0;
    std::optional<Clock::time_point> lastNotice;
};

PhoneLinks::PhoneLinks(Setup setup, QObject* parent)
    : QObject(parent), m_setup(std::move(setup)), m_seats([] { return randomSecretHex(); }) {
    for (std::size_t i = 0; i < m_shown.size(); ++i)
        m_shown[i].colour = defaultColour(i + 1);
    m_server =
        new QWebSocketServer(QStringLiteral("cantorix"), QWebSocketServer::NonSecureMode, this);
    m_server->setHandshakeTimeout(static_cast<int>(m_setup.limits.handshake.count()));
    connect(m_server, &QWebSocketServer::newConnection, this, &PhoneLinks::acceptPending);
    m_expiry = new QTimer(this);
    connect(m_expiry, &QTimer::timeout, this, [this] {
        if (m_seats.expire(Clock::now()))
            syncSeats();
    });
    m_expiry->start(kExpiryInterval);
}

PhoneLinks::~PhoneLinks() {
    m_closing = true;
    std::vector<QWebSocket*> sockets;
    for (const auto& [id, link] : m_links)
        sockets.push_back(link->socket);
    for (QWebSocket* socket : sockets)
        socket->abort();
    for (const auto& [id, link] : m_links)
        if (link->slot)
            input(*link->slot).endStream();
    m_links.clear();
}

void PhoneLinks::handOver(QSslSocket* socket) {
    std::erase_if(m_handedOver, [](const QPointer<QSslSocket>& kept) { return kept.isNull(); });
    m_handedOver.emplace_back(socket);
    m_server->handleConnection(socket);
}

QSslSocket* PhoneLinks::adoptConnection(const QWebSocket& socket) {
    for (auto kept = m_handedOver.begin(); kept != m_handedOver.end(); ++kept) {
        QSslSocket* connection = kept->data();
        if (connection != nullptr && connection->peerPort() == socket.peerPort() &&
            connection->peerAddress() == socket.peerAddress()) {
            m_handedOver.erase(kept);
            connection->setProperty(kAdopted, true);
            return connection;
        }
    }
    return nullptr;
}

void PhoneLinks::acceptPending() {
    while (m_server->hasPendingConnections()) {
        QWebSocket* socket = m_server->nextPendingConnection();
        if (socket == nullptr)
            return;
        // Before the event loop runs again: a larger message closes the socket unread.
        socket->setMaxAllowedIncomingFrameSize(phones::kMaxMessageBytes);
        socket->setMaxAllowedIncomingMessageSize(phones::kMaxMessageBytes);
        const QUrl url = socket->requestUrl();
        const QString key = QUrlQuery(url).queryItemValue(QStringLiteral("k"), QUrl::FullyDecoded);
        const QString origin = QStringLiteral("https://") + url.authority();
        if (!phones::sameSecret(key.toStdString(), m_setup.key) || socket->origin() != origin) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated,
                          QStringLiteral("not this game's page"));
            QPointer<QSslSocket> connection = adoptConnection(*socket);
            connect(socket, &QWebSocket::disconnected, socket, [socket, connection] {
                socket->deleteLater();
                if (connection)
                    connection->deleteLater();
            });
            continue;
        }

        auto link = std::make_unique<Link>();
        link->connection = adoptConnection(*socket);
        const phones::PhoneId id = m_nextId++;
        link->id = id;
        link->socket = socket;
        link->idle = new QTimer(socket);
        link->idle->setSingleShot(true);
        link->ping = new QTimer(socket);
        link->ping->setSingleShot(true);
        connect(link->idle, &QTimer::timeout, socket, [socket] {
            socket->close(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("idle"));
            socket->abort();
        });
        link->joinDeadline = new QTimer(socket);
        link->joinDeadline->setSingleShot(true);
        connect(link->joinDeadline, &QTimer::timeout, this, [this, id] {
            if (Link* found = find(id); found && !found->slot)
                refuse(*found, "Choose a slot and tap Sing within ten seconds.");
        });
        connect(link->ping, &QTimer::timeout, this, [this, id] {
            if (Link* found = find(id))
                sendPing(*found);
        });
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, id](const QString& text) { receiveText(id, text); });
        connect(socket, &QWebSocket::binaryMessageReceived, this,
                [this, id](const QByteArray& bytes) { receiveFrame(id, bytes); });
        connect(socket, &QWebSocket::disconnected, this, [this, id] { closed(id); });
        link->idle->start(m_setup.limits.idle);
        link->joinDeadline->start(m_setup.limits.join);
        m_links.emplace(id, std::move(link));
    }
}

PhoneLinks::Link* PhoneLinks::find(phones::PhoneId id) {
    const auto found = m_links.find(id);
    return found == m_links.end() ? nullptr : found->second.get();
}

PhoneLinks::Link* PhoneLinks::linkOfSlot(std::size_t slot) {
    for (const auto& [id, link] : m_links)
        if (link->slot == slot)
            return link.get();
    return nullptr;
}

void PhoneLinks::receiveText(phones::PhoneId id, const QString& text) {
    Link* link = find(id);
    if (link == nullptr)
        return;
    link->idle->start(link->guest ? m_setup.limits.guestIdle : m_setup.limits.idle);
    const QByteArray utf8 = text.toUtf8();
    phones::ParsedText parsed = phones::parsePhoneText(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    if (!parsed.message) {
        if (link->slot)
            notice(*link, parsed.problem);
        else if (link->guest)
            send(*link, phones::guestNewsMessage(party::GuestAnswer{parsed.problem}));
        else
            refuse(*link, parsed.problem);
        return;
    }
    if (phones::isGuestText(*parsed.message)) {
        std::visit(
            [&](auto& message) {
                using Message = std::decay_t<decltype(message)>;
                if constexpr (std::is_constructible_v<party::GuestRequest, Message>)
                    receiveGuest(*link, std::move(message));
            },
            *parsed.message);
    } else if (link->guest) {
        send(*link, phones::guestNewsMessage(
                        party::GuestAnswer{"The song book cannot sing: tap \"Sing\" to join."}));
    } else if (auto* request = std::get_if<phones::JoinRequest>(&*parsed.message)) {
        join(*link, *request);
    } else if (!link->slot) {
        refuse(*link, "Join a slot first.");
    } else if (auto* answer = std::get_if<phones::ClockAnswer>(&*parsed.message)) {
        answerClock(*link, *answer);
    } else {
        leave(*link);
    }
}

void PhoneLinks::join(Link& link, const phones::JoinRequest& request) {
    if (link.slot) {
        notice(link, "This phone has joined already.");
        return;
    }
    auto claimed =
        m_seats.claim(link.id, request.slot, request.name, request.resumeToken, Clock::now());
    if (const auto* reason = std::get_if<std::string>(&claimed)) {
        refuse(link, *reason);
        return;
    }
    const phones::SeatTaken& taken = std::get<phones::SeatTaken>(claimed);
    const phones::Seat& seat = taken.seat;
    const std::size_t slot = seat.slot;
    // The right token takes the seat back from a connection that has not noticed it is gone,
    // also when the guest came back by another slot's code.
    for (Link* former : {linkOfSlot(slot), taken.displaced ? find(*taken.displaced) : nullptr})
        if (former != nullptr && former != &link && former->slot) {
            former->slot.reset();
            former->socket->close(QWebSocketProtocol::CloseCodeNormal,
                                  QStringLiteral("taken back by its phone"));
        }
    link.slot = slot;
    link.joinDeadline->stop();
    link.lastSequence.reset();
    link.clock = {};
    link.pingsSent.clear();
    const Shown& shown = m_shown.at(slot - 1);
    send(link, phones::welcomeMessage(slot, seat.name, shown.colour, seat.resumeToken));
    if (!shown.singer.empty())
        send(link, phones::singerMessage(shown.singer, shown.colour));
    if (shown.lyric)
        send(link, phones::lyricMessage(*shown.lyric));
    if (shown.points)
        send(link, phones::pointsMessage(*shown.points));
    input(slot).beginStream(request.sampleRate);
    link.burstLeft = m_setup.limits.clockBurst;
    sendPing(link);
    syncSeats();
}

void PhoneLinks::receiveGuest(Link& link, party::GuestRequest request) {
    if (link.slot) {
        notice(link, "This phone sings already: its song book opens beside it.");
        return;
    }
    if (auto* hello = std::get_if<party::GuestHello>(&request)) {
        hello->host =
            !hello->hostKey.empty() && phones::sameSecret(hello->hostKey, m_setup.hostKey);
        hello->hostKey.clear();
        if (!link.guest) {
            link.guest = true;
            link.joinDeadline->stop();
            link.guestPing = new QTimer(link.socket);
            QWebSocket* socket = link.socket;
            connect(link.guestPing, &QTimer::timeout, socket, [socket] { socket->ping(); });
            connect(socket, &QWebSocket::pong, link.idle,
                    [this, idle = link.idle] { idle->start(m_setup.limits.guestIdle); });
            link.guestPing->start(m_setup.limits.guestPing);
        }
        link.changesKey =
            hello->token.empty() ? "connection " + std::to_string(link.id) : hello->token;
        link.idle->start(m_setup.limits.guestIdle);
    } else if (!link.guest) {
        refuse(link, "Open the song book first.");
        return;
    } else if (!mayChange(link)) {
        send(link, phones::guestNewsMessage(party::GuestAnswer{
                       "That is a lot of changes: wait a minute and try again."}));
        return;
    }
    link.idle->start(m_setup.limits.guestIdle);
    if (m_setup.guestSaid)
        m_setup.guestSaid(link.id, std::move(request));
}

bool PhoneLinks::mayChange(const Link& link) {
    const auto now = Clock::now();
    // Forget phones whose changes are all older than a minute, so the table stays small.
    std::erase_if(m_changes, [&](const auto& kept) {
        return kept.second.empty() || now - kept.second.back() > std::chrono::minutes(1);
    });
    std::vector<Clock::time_point>& times = m_changes[link.changesKey];
    std::erase_if(times, [&](Clock::time_point t) { return now - t > std::chrono::minutes(1); });
    if (times.size() >= static_cast<std::size_t>(std::max(0, m_setup.limits.changesPerMinute)))
        return false;
    times.push_back(now);
    return true;
}

void PhoneLinks::tellGuest(phones::PhoneId id, const std::string& text) {
    if (Link* link = find(id); link != nullptr && link->guest)
        send(*link, text);
}

void PhoneLinks::leave(Link& link) {
    m_seats.left(link.id);
    input(*link.slot).endStream();
    link.slot.reset();
    syncSeats();
    link.socket->close(QWebSocketProtocol::CloseCodeNormal, QStringLiteral("left"));
}

void PhoneLinks::sendPing(Link& link) {
    const std::uint32_t id = link.nextPingId++;
    link.pingsSent[id] = steadySeconds(Clock::now());
    while (link.pingsSent.size() > kPingsRemembered)
        link.pingsSent.erase(link.pingsSent.begin());
    send(link, phones::clockPing(id));
    if (link.burstLeft > 0)
        --link.burstLeft;
    if (link.burstLeft > 0)
        link.ping->start(kBurstPingWait);
    else
        link.ping->start(m_setup.limits.clockInterval);
}

void PhoneLinks::answerClock(Link& link, const phones::ClockAnswer& answer) {
    const auto sent = link.pingsSent.find(answer.id);
    if (sent == link.pingsSent.end())
        return;
    link.clock.add({sent->second, answer.phoneSeconds, steadySeconds(Clock::now())});
    link.pingsSent.erase(sent);
    if (link.burstLeft > 0)
        sendPing(link);
}

void PhoneLinks::receiveFrame(phones::PhoneId id, const QByteArray& bytes) {
    Link* link = find(id);
    if (link == nullptr)
        return;
    link->idle->start(link->guest ? m_setup.limits.guestIdle : m_setup.limits.idle);
    if (!link->slot)
        return;
    const phones::ParsedFrame parsed =
        phones::parseAudioFrame(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                static_cast<std::size_t>(bytes.size()));
    if (!parsed.frame) {
        notice(*link, parsed.problem);
        return;
    }
    const phones::AudioFrame& frame = *parsed.frame;
    if (link->lastSequence && frame.sequence <= *link->lastSequence) {
        notice(*link, "Sound arrived out of order and was dropped.");
        return;
    }
    link->lastSequence = frame.sequence;
    // Until a round trip relates the clocks there is no telling where the sound belongs.
    if (!link->clock.known())
        return;
    // A stamp that is no time, or none near the present, is dropped before any arithmetic.
    const std::optional<double> game =
        link->clock.gameSecondsNear(frame.firstSampleSeconds, steadySeconds(Clock::now()));
    if (!game) {
        ++link->framesOutOfTime;
        notice(*link, "This phone's sound is stamped with a time far from the game's: it is "
                      "dropped.");
        return;
    }
    if (!input(*link->slot).write(steadyTime(*game), frame.samples))
        notice(*link, "This phone's clock runs ahead: frames from the future are dropped.");
}

void PhoneLinks::notice(Link& link, std::string_view text) {
    const auto now = Clock::now();
    if (link.lastNotice && now - *link.lastNotice < kNoticeInterval)
        return;
    link.lastNotice = now;
    send(link, phones::noticeMessage(text));
}

void PhoneLinks::refuse(Link& link, std::string_view reason) {
    send(link, phones::refusedMessage(reason));
    link.socket->close(QWebSocketProtocol::CloseCodeNormal, QStringLiteral("refused"));
}

void PhoneLinks::closed(phones::PhoneId id) {
    const auto found = m_links.find(id);
    if (found == m_links.end())
        return;
    std::unique_ptr<Link> link = std::move(found->second);
    m_links.erase(found);
    if (link->slot) {
        m_seats.dropped(id, Clock::now());
        input(*link->slot).endStream();
    }
    if (link->guest && m_setup.guestGone && !m_closing)
        m_setup.guestGone(id);
    // Qt leaves the connection under a WebSocket alive: it goes after the WebSocket.
    link->socket->deleteLater();
    if (link->connection)
        link->connection->deleteLater();
    syncSeats();
}

void PhoneLinks::syncSeats() {
    if (m_closing)
        return;
    std::vector<app::PhoneSeatView> views;
    for (std::size_t slot = 1; slot <= phones::kPhoneSlots; ++slot) {
        const std::optional<phones::Seat>& seat = m_seats.seat(slot);
        // A seat freed while its phone was away (expired, or the session ended) has no sound.
        if (!seat && m_held.at(slot - 1) && linkOfSlot(slot) == nullptr)
            input(slot).endStream();
        m_held.at(slot - 1) = seat.has_value();
        if (seat)
            views.push_back({slot, seat->name, seat->phone.has_value()});
    }
    const bool same =
        std::equal(views.begin(), views.end(), m_published.begin(), m_published.end(),
                   [](const auto& a, const auto& b) {
                       return a.slot == b.slot && a.name == b.name && a.connected == b.connected;
                   });
    if (same)
        return;
    m_published = views;
    if (m_setup.seatsChanged)
        m_setup.seatsChanged(std::move(views));
}

void PhoneLinks::freeSlot(std::size_t slot) {
    const std::optional<phones::PhoneId> holder = m_seats.release(slot);
    if (Link* link = holder ? find(*holder) : nullptr) {
        link->slot.reset();
        refuse(*link, "The host freed slot " + std::to_string(slot) + " for another singer.");
    }
    // What the slot's next phone is shown starts afresh.
    Shown& shown = m_shown.at(slot - 1);
    shown = {};
    shown.colour = defaultColour(slot);
    syncSeats();
}

void PhoneLinks::send(Link& link, std::string_view text) {
    link.socket->sendTextMessage(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

} // namespace cantorix::platform
