// The phones' door and hall: the main thread's side (the seats' inputs, the key, the join codes,
// what the window asks) and the start and end of the server's thread, which owns every network
// object (PhoneDoor, PhoneLinks) and is reached only through queued calls.

#include "phone_server.h"

#include "phone_server_door.h"
#include "phone_server_links.h"
#include "phones/phone_protocol.h"
#include "phones/phone_seats.h"
#include "qr_code.h"
#include "tls_identity.h"

#include <QSslCertificate>
#include <QSslKey>
#include <QThread>
#include <array>
#include <future>
#include <mutex>
#include <ostream>

namespace cantorix::platform {

namespace {

constexpr int kPortsTried = 20;
// How long the constructor waits for the thread to bind; a loaded machine takes milliseconds.
constexpr std::chrono::seconds kStartWait{10};

// The window's callback for seat changes, reached by tasks posted to the main thread; the
// server's end clears it, so a task still queued then does nothing.
struct SeatsNotice {
    std::function<void()> changed;
    std::function<void(app::PhoneHall::GuestConnection, party::GuestRequest)> guestSaid;
    std::function<void(app::PhoneHall::GuestConnection)> guestGone;
};

} // namespace

struct PhoneServer::Impl {
    Options options;
    std::string key;
    std::string hostKey;
    std::string problem;
    std::string fingerprint;
    std::vector<std::string> addresses;
    int port = 0;
    bool listening = false;
    std::array<std::unique_ptr<CaptureService>, phones::kPhoneSlots> captures;
    std::array<PhoneInput*, phones::kPhoneSlots> inputs{};
    QThread thread;
    QObject* anchor = nullptr; // lives on the thread: the context of queued calls
    PhoneDoor* door = nullptr; // made, used and deleted on the thread
    PhoneLinks* links = nullptr;
    bool listenAsked = false;
    // Read by the door on the server's thread, replaced by the window's.
    mutable std::mutex bookMutex;
    std::shared_ptr<const party::SongBook> book;
    mutable std::mutex seatsMutex;
    std::vector<app::PhoneSeatView> seats;
    std::shared_ptr<SeatsNotice> notice = std::make_shared<SeatsNotice>();

    void makeInputs();
    bool start(const TlsIdentity& identity);
    void publish(std::vector<app::PhoneSeatView> views);
    // Runs task with the window's callbacks on the main thread.
    void post(std::function<void(SeatsNotice&)> task);
    template <typename Work> void onThread(Work work) {
        if (links != nullptr)
            QMetaObject::invokeMethod(anchor, std::move(work), Qt::QueuedConnection);
    }
};

void PhoneServer::Impl::makeInputs() {
    for (std::size_t i = 0; i < captures.size(); ++i) {
        captures[i] = std::make_unique<CaptureService>([this, i](CaptureHub& hub) {
            auto input = std::make_unique<PhoneInput>(hub, "Phone " + std::to_string(i + 1));
            inputs[i] = input.get();
            return input;
        });
    }
}

void PhoneServer::Impl::publish(std::vector<app::PhoneSeatView> views) {
    {
        const std::lock_guard lock(seatsMutex);
        seats = std::move(views);
    }
    post([](SeatsNotice& notice) {
        if (notice.changed)
            notice.changed();
    });
}

void PhoneServer::Impl::post(std::function<void(SeatsNotice&)> task) {
    if (options.invoker != nullptr)
        options.invoker->post([notice = notice, task = std::move(task)] { task(*notice); });
}

bool PhoneServer::Impl::start(const TlsIdentity& identity) {
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(QByteArray::fromStdString(identity.certificatePem)));
    tls.setPrivateKey(QSslKey(QByteArray::fromStdString(identity.keyPem), QSsl::Ec));
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    if (tls.localCertificate().isNull() || tls.privateKey().isNull()) {
        problem = "Phones cannot join: the game cannot read its certificate.";
        return false;
    }

    thread.setObjectName(QStringLiteral("phone server"));
    thread.start();
    anchor = new QObject;
    anchor->moveToThread(&thread);
    auto bound = std::make_shared<std::promise<int>>();
    std::future<int> boundPort = bound->get_future();
    QMetaObject::invokeMethod(
        anchor,
        [this, tls, bound] {
            PhoneLinks::Setup linksSetup{
                key,
                hostKey,
                options.limits,
                inputs,
                [this](std::vector<app::PhoneSeatView> views) { publish(std::move(views)); },
                [this](phones::PhoneId id, party::GuestRequest request) {
                    post([id, request = std::move(request)](SeatsNotice& notice) {
                        if (notice.guestSaid)
                            notice.guestSaid(id, request);
                    });
                },
                [this](phones::PhoneId id) {
                    post([id](SeatsNotice& notice) {
                        if (notice.guestGone)
                            notice.guestGone(id);
                    });
                }};
            links = new PhoneLinks(std::move(linksSetup), anchor);
            PhoneDoor::Setup doorSetup{
                key,
                tls,
                options.limits,
                options.listNetworks,
                [this](QSslSocket* socket) { links->handOver(socket); },
                [this] { return links->freeSlots(); },
                [this](const std::string& query, std::size_t page) {
                    std::shared_ptr<const party::SongBook> shown;
                    {
                        const std::lock_guard lock(bookMutex);
                        shown = book;
                    }
                    return shown ? std::optional(phones::songBookAnswer(shown->search(query, page)))
                                 : std::nullopt;
                }};
            doorSetup.makeThumbnail = options.thumbnail;
            doorSetup.cover = [this](const std::string& songId) {
                std::shared_ptr<const party::SongBook> shown;
                {
                    const std::lock_guard lock(bookMutex);
                    shown = book;
                }
                const party::BookSong* song = shown ? shown->byId(songId) : nullptr;
                if (song == nullptr || !song->hasCover)
                    return std::optional<PhoneDoor::Setup::Cover>();
                // The stamp in the key: a cover rewritten since is made anew.
                const songs::FileStamp& stamp = song->coverStamp;
                return std::optional(PhoneDoor::Setup::Cover{
                    song->cover, song->cover + '\n' + std::to_string(stamp.mtimeNs) + ':' +
                                     std::to_string(stamp.size)});
            };
            door = new PhoneDoor(std::move(doorSetup), anchor);
            const int first = options.port;
            const int last = first == 0 ? 0 : std::min(first + kPortsTried, 65535);
            const QHostAddress on =
                options.loopbackOnly ? QHostAddress::LocalHost : QHostAddress::Any;
            for (int candidate = first; candidate <= last; ++candidate)
                if (door->listen(on, static_cast<quint16>(candidate))) {
                    bound->set_value(door->serverPort());
                    return;
                }
            bound->set_value(0);
        },
        Qt::QueuedConnection);
    if (boundPort.wait_for(kStartWait) != std::future_status::ready) {
        problem = "Phones cannot join: the server did not start.";
        return false;
    }
    port = boundPort.get();
    if (port == 0) {
        problem = options.port == 0 ? "Phones cannot join: no port is free."
                                    : "Ports " + std::to_string(options.port) + " to " +
                                          std::to_string(options.port + kPortsTried) + " are taken";
        return false;
    }
    return true;
}

PhoneServer::PhoneServer(Options options) : m_impl(std::make_unique<Impl>()) {
    Impl& d = *m_impl;
    d.options = std::move(options);
    d.key = d.options.key.empty() ? randomSecretHex() : d.options.key;
    d.hostKey = d.options.hostKey.empty() ? randomSecretHex() : d.options.hostKey;
    if (d.options.listenAtOnce)
        listen();
}

void PhoneServer::listen() {
    Impl& d = *m_impl;
    if (d.listenAsked)
        return;
    d.listenAsked = true;
    try {
        d.makeInputs();
        const TlsIdentity identity = loadOrMakeTlsIdentity(d.options.identityFolder);
        d.fingerprint = "SHA-256 " + identity.sha256Fingerprint;
        d.addresses =
            joinAddresses(d.options.listNetworks ? d.options.listNetworks() : listLocalNetworks());
        d.listening = d.start(identity);
    } catch (const std::exception& e) {
        d.problem =
            std::string("Phones cannot join: the game cannot make its certificate: ") + e.what();
    }
    if (d.options.log == nullptr)
        return;
    if (!d.listening) {
        *d.options.log << d.problem << '\n';
        return;
    }
    const std::string address = d.addresses.empty() ? "127.0.0.1" : d.addresses.front();
    const bool ipv6 = address.find(':') != std::string::npos;
    *d.options.log << "cantorix: phones join at https://" << (ipv6 ? "[" + address + "]" : address)
                   << ':' << d.port << "/?k=" << d.key << " (certificate " << d.fingerprint
                   << ")\n";
}

PhoneServer::~PhoneServer() {
    Impl& d = *m_impl;
    *d.notice = {};
    if (d.thread.isRunning()) {
        QMetaObject::invokeMethod(
            d.anchor,
            [&d] {
                // Stop accepting first, so no new connection reaches the links being closed;
                // the door goes last, as the connections under the WebSockets may be its
                // children still.
                if (d.door != nullptr)
                    d.door->close();
                delete d.links;
                d.links = nullptr;
                delete d.door;
                d.door = nullptr;
            },
            Qt::BlockingQueuedConnection);
        d.thread.quit();
        d.thread.wait();
    }
    delete d.anchor;
    for (auto& capture : d.captures)
        capture.reset();
}

std::vector<PhoneServer::SeatInput> PhoneServer::seatInputs() const {
    const std::vector<app::PhoneSeatView> held = seats();
    std::vector<SeatInput> list;
    for (std::size_t slot = 1; slot <= phones::kPhoneSlots; ++slot) {
        std::string name = "Phone " + std::to_string(slot);
        for (const app::PhoneSeatView& seat : held)
            if (seat.slot == slot)
                name += " \u2014 " + seat.name;
        CaptureService* capture = m_impl->captures.at(slot - 1).get();
        app::SoundInput input{
            app::phoneInputAddress(slot), name, capture, m_impl->inputs.at(slot - 1), {}};
        if (capture == nullptr)
            input.problem = m_impl->problem;
        list.push_back({std::move(input), capture});
    }
    return list;
}

std::string PhoneServer::key() const {
    return m_impl->key;
}

bool PhoneServer::listening() const {
    return m_impl->listening;
}

std::string PhoneServer::problem() const {
    return m_impl->problem;
}

std::vector<std::string> PhoneServer::addresses() const {
    return m_impl->addresses;
}

int PhoneServer::port() const {
    return m_impl->port;
}

std::string PhoneServer::fingerprint() const {
    return m_impl->fingerprint;
}

namespace {

std::string originOf(std::string_view address, int port) {
    const bool ipv6 = address.find(':') != std::string_view::npos;
    const std::string host = ipv6 ? "[" + std::string(address) + "]" : std::string(address);
    return "https://" + host + ":" + std::to_string(port);
}

app::JoinCode codeOf(const std::string& url) {
    try {
        return encodeJoinCode(url);
    } catch (const std::exception&) {
        // An address too long for a code still shows as text beneath the empty square.
        return {0, {}, url};
    }
}

} // namespace

app::JoinCode PhoneServer::hostCode(std::string_view address) const {
    return codeOf(originOf(address, m_impl->port) + "/?k=" + m_impl->key +
                  "&host=" + m_impl->hostKey + "#queue");
}

app::JoinCode PhoneServer::joinCode(std::size_t slot, std::string_view address) const {
    const std::string origin = originOf(address, m_impl->port);
    return codeOf(slot == 0 ? origin + "/?k=" + m_impl->key + "#book"
                            : origin + "/?slot=" + std::to_string(slot) + "&k=" + m_impl->key);
}

std::vector<app::PhoneSeatView> PhoneServer::seats() const {
    const std::lock_guard lock(m_impl->seatsMutex);
    return m_impl->seats;
}

void PhoneServer::onSeatsChanged(std::function<void()> changed) {
    m_impl->notice->changed = std::move(changed);
}

void PhoneServer::showSinger(std::size_t slot, std::string_view name, std::uint32_t rgb) {
    if (slot < 1 || slot > phones::kPhoneSlots)
        return;
    m_impl->onThread([links = m_impl->links, slot, name = std::string(name), rgb] {
        links->showSinger(slot, name, rgb);
    });
}

void PhoneServer::showLyric(std::size_t slot, std::string_view line) {
    if (slot < 1 || slot > phones::kPhoneSlots)
        return;
    m_impl->onThread(
        [links = m_impl->links, slot, line = std::string(line)] { links->showLyric(slot, line); });
}

void PhoneServer::showPoints(std::size_t slot, int points) {
    if (slot < 1 || slot > phones::kPhoneSlots)
        return;
    m_impl->onThread([links = m_impl->links, slot, points] { links->showPoints(slot, points); });
}

void PhoneServer::reserveSlots(const std::vector<std::string>& reasons) {
    m_impl->onThread([links = m_impl->links, reasons] { links->reserveSlots(reasons); });
}

void PhoneServer::freeSlot(std::size_t slot) {
    if (slot < 1 || slot > phones::kPhoneSlots)
        return;
    m_impl->onThread([links = m_impl->links, slot] { links->freeSlot(slot); });
}

void PhoneServer::sessionStarted() {
    m_impl->onThread([links = m_impl->links] { links->sessionStarted(); });
}

void PhoneServer::sessionEnded() {
    m_impl->onThread([links = m_impl->links] { links->sessionEnded(); });
}

void PhoneServer::openSongBook(std::shared_ptr<const party::SongBook> book) {
    const std::lock_guard lock(m_impl->bookMutex);
    m_impl->book = std::move(book);
}

void PhoneServer::onGuests(std::function<void(GuestConnection, party::GuestRequest)> said,
                           std::function<void(GuestConnection)> gone) {
    m_impl->notice->guestSaid = std::move(said);
    m_impl->notice->guestGone = std::move(gone);
}

void PhoneServer::tellGuest(GuestConnection connection, const party::GuestNews& news) {
    m_impl->onThread([links = m_impl->links, connection, text = phones::guestNewsMessage(news)] {
        links->tellGuest(connection, text);
    });
}

PhoneInput& PhoneServer::seatSound(std::size_t slot) {
    return *m_impl->inputs.at(slot - 1);
}

} // namespace cantorix::platform
