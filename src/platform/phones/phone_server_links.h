#pragma once
// The joined phones, on the server's thread: the WebSocket server the door hands upgrades to,
// each phone's connection (join, clock pings, audio frames, leave), the seats they hold and what
// each seat's phone is shown. A seat's sound goes to its PhoneInput.

#include "app/phone_hall_port.h"
#include "phone_input.h"
#include "phone_server.h"
#include "phones/clock_mapping.h"
#include "phones/phone_protocol.h"
#include "phones/phone_seats.h"

#include <QObject>
#include <QPointer>
#include <QSslSocket>
#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTimer;
class QWebSocket;
class QWebSocketServer;

namespace cantorix::platform {

// Set on a handed-over connection once a WebSocket of the links runs over it: the links delete it.
inline constexpr const char* kAdopted = "cantorixAdopted";

class PhoneLinks : public QObject {
public:
    struct Setup {
        std::string key;
        std::string hostKey;
        PhoneServerLimits limits;
        std::array<PhoneInput*, phones::kPhoneSlots> inputs{};
        // The seats after each change, on the server's thread.
        std::function<void(std::vector<app::PhoneSeatView>)> seatsChanged;
        // What a song book's connection asked (within its phone's changes a minute), and that
        // it closed; on the server's thread.
        std::function<void(phones::PhoneId, party::GuestRequest)> guestSaid;
        std::function<void(phones::PhoneId)> guestGone;
    };

    explicit PhoneLinks(Setup setup, QObject* parent = nullptr);
    // Closes every phone's connection; their seats' sound ends.
    ~PhoneLinks() override;

    // An upgrade request, unread in socket, from the door.
    void handOver(QSslSocket* socket);

    void showSinger(std::size_t slot, const std::string& name, std::uint32_t rgb);
    void showLyric(std::size_t slot, const std::string& line);
    void showPoints(std::size_t slot, int points);
    void reserveSlots(const std::vector<std::string>& reasons);
    // The host frees slot (1..8): its phone is told why and disconnected, its seat and token go.
    void freeSlot(std::size_t slot);
    // The slots no phone holds and the host keeps none of, ascending.
    std::vector<std::size_t> freeSlots() const;
    void sessionStarted();
    void sessionEnded();
    // Sends to a song book's connection; one that closed meanwhile is skipped.
    void tellGuest(phones::PhoneId id, const std::string& text);

private:
    struct Link;
    struct Shown {
        std::string singer;
        std::string colour;
        std::optional<std::string> lyric;
        std::optional<int> points;
    };

    void acceptPending();
    QSslSocket* adoptConnection(const QWebSocket& socket);
    void receiveText(phones::PhoneId id, const QString& text);
    void receiveFrame(phones::PhoneId id, const QByteArray& bytes);
    void join(Link& link, const phones::JoinRequest& request);
    void receiveGuest(Link& link, party::GuestRequest request);
    // Whether the phone may make one more change to the queue this minute (counted by its
    // guest's token, so a page opened again does not start afresh).
    bool mayChange(const Link& link);
    void leave(Link& link);
    void answerClock(Link& link, const phones::ClockAnswer& answer);
    void sendPing(Link& link);
    void notice(Link& link, std::string_view text);
    void refuse(Link& link, std::string_view reason);
    void send(Link& link, std::string_view text);
    // The colour a slot's phone shows until it is told its singer's ("#ffcc00" for slot 1).
    static std::string defaultColour(std::size_t slot);
    void closed(phones::PhoneId id);
    void syncSeats();
    Link* find(phones::PhoneId id);
    Link* linkOfSlot(std::size_t slot);
    PhoneInput& input(std::size_t slot) { return *m_setup.inputs.at(slot - 1); }

    Setup m_setup;
    QWebSocketServer* m_server = nullptr;
    phones::PhoneSeats m_seats;
    std::map<phones::PhoneId, std::unique_ptr<Link>> m_links;
    // Upgrades handed over and not yet WebSockets: Qt leaves their sockets to us.
    std::vector<QPointer<QSslSocket>> m_handedOver;
    phones::PhoneId m_nextId = 1;
    std::array<Shown, phones::kPhoneSlots> m_shown;
    std::array<bool, phones::kPhoneSlots> m_held{};
    std::vector<app::PhoneSeatView> m_published;
    QTimer* m_expiry = nullptr;
    // The times of each phone's recent changes, by token (or connection); a minute's worth.
    std::map<std::string, std::vector<std::chrono::steady_clock::time_point>> m_changes;
    bool m_closing = false;
};

} // namespace cantorix::platform
