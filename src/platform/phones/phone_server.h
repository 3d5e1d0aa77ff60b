#pragma once
// The phones' door: one TCP port serving the phone's page over HTTPS and its secure WebSocket,
// on a thread of its own with its own event loop, never the window's. Connections from outside
// this computer's networks are dropped at accept; every request must carry the key of this run
// of the game (403 otherwise); a small request reader of our own bounds what a peer may send
// (headers 16 KiB, no bodies, 5 s to finish the TLS handshake and the request, 10 s idle, at most
// 8 connections per peer address and 128 in all) before the WebSocket upgrade is handed to Qt.
// Two kinds of WebSocket: a microphone's, which must join a slot within 10 s, and a song book's,
// which holds no slot and lives as long as its phone answers the server's pings.
// Each seat's sound goes to a PhoneInput, listed among the sound inputs at phoneInputAddress().

#include "app/phone_hall_port.h"
#include "app/sound_inputs_port.h"
#include "base/main_thread_invoker_port.h"
#include "local_networks.h"
#include "phone_input.h"
#include "platform/sound_input/capture_input_set.h"
#include "platform/sound_input/capture_service.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace cantorix::platform {

struct PhoneServerLimits {
    std::chrono::milliseconds handshake{5000}; // TLS handshake and request, from accept
    std::chrono::milliseconds idle{10000};     // nothing received on a joined WebSocket
    // From the WebSocket's opening to a singer's seat, whatever it sends meanwhile: a connection
    // that never joins must not keep its place (32 of them would keep every phone out). Another
    // kind of connection, a song book's, says so at once and then lives by the two rules below.
    std::chrono::milliseconds join{10000};
    // A song book's connection is pinged this often (the browser answers by itself, also from a
    // tab in the background) and closed when nothing came back for guestIdle.
    std::chrono::milliseconds guestPing{20000};
    std::chrono::milliseconds guestIdle{65000};
    // Changes to the queue (add, remove, move, the host's actions) a phone may ask per minute.
    int changesPerMinute = 10;
    std::size_t requestBytes = 16 * 1024;
    // A phone holds a few at once (its microphone, its song book, the pictures its page fetches):
    // 20 phones browsing and 8 singing fit with room left. Tests from one loopback peer raise it.
    std::size_t connectionsPerPeer = 8;
    std::size_t connections = 128;
    // Clock pings: a burst of this many at join, then one every clockInterval. A busy phone's
    // audio clock can fall behind by a few per cent; what it loses between two pings places its
    // sound that much late, so they come often (a ping is a few dozen bytes each way).
    int clockBurst = 8;
    std::chrono::milliseconds clockInterval{500};
};

class PhoneServer : public app::PhoneHall {
public:
    struct Options {
        int port = 8443; // the first port tried; the next free of the following 20 otherwise
        // Only this computer may connect (tests): the phones of the home network never reach it.
        bool loopbackOnly = false;
        std::filesystem::path identityFolder = {};  // where the TLS key and certificate are kept
        base::MainThreadInvoker* invoker = nullptr; // seat changes reach the main thread here
        std::ostream* log = nullptr;                // the address and key go here (stderr)
        std::function<std::vector<LocalNetwork>()> listNetworks = listLocalNetworks;
        PhoneServerLimits limits = {};
        // The key of the join codes; a new random one when empty (tests fix it).
        std::string key = {};
        // The key of the host's code, likewise.
        std::string hostKey = {};
        // Off: the seats and the listening wait for listen() (the game's start calls it once its
        // first frame is on screen); until then the seats' inputs are listed as not there.
        bool listenAtOnce = true;
        // Makes a cover's thumbnail (JPEG bytes) for the song book, on a worker thread of the
        // server's; throws when the cover gives none. None: the book shows no covers.
        std::function<std::string(const std::string& cover)> thumbnail = {};
    };

    // Listens at once (see listen()) unless told to wait. Never throws: what fails is kept in
    // problem() and the game goes on without phones.
    explicit PhoneServer(Options options);
    // Makes the seats and the identity, binds the port and starts the thread; once. Main
    // thread.
    void listen();
    // Closes every connection and joins the thread.
    ~PhoneServer() override;
    PhoneServer(const PhoneServer&) = delete;
    PhoneServer& operator=(const PhoneServer&) = delete;

    // The inputs of the eight seats, for the sound inputs' list: address, name ("Phone 3 — Anna"
    // or "Phone 3 (free)") and capture. Main thread.
    struct SeatInput {
        app::SoundInput input;
        CaptureService* capture = nullptr;
    };
    std::vector<SeatInput> seatInputs() const;

    // The key of this run (32 hexadecimal digits).
    std::string key() const;

    // app::PhoneHall
    bool listening() const override;
    std::string problem() const override;
    std::vector<std::string> addresses() const override;
    int port() const override;
    std::string fingerprint() const override;
    app::JoinCode joinCode(std::size_t slot, std::string_view address) const override;
    app::JoinCode hostCode(std::string_view address) const override;
    std::vector<app::PhoneSeatView> seats() const override;
    void onSeatsChanged(std::function<void()> changed) override;
    void showSinger(std::size_t slot, std::string_view name, std::uint32_t rgb) override;
    void showLyric(std::size_t slot, std::string_view line) override;
    void showPoints(std::size_t slot, int points) override;
    void reserveSlots(const std::vector<std::string>& reasons) override;
    void freeSlot(std::size_t slot) override;
    void sessionStarted() override;
    void sessionEnded() override;
    void openSongBook(std::shared_ptr<const party::SongBook> book) override;
    void onGuests(std::function<void(GuestConnection, party::GuestRequest)> said,
                  std::function<void(GuestConnection)> gone) override;
    void tellGuest(GuestConnection connection, const party::GuestNews& news) override;

    // For benchmarks and tests: the seat input of slot (1..8).
    PhoneInput& seatSound(std::size_t slot);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The server's eight seats as inputs the sound inputs list beside their own, each lined up with
// the song by its PhoneInput (the session's input control), like a recording. Main thread.
std::vector<ExternalInput> phoneSeatInputs(PhoneServer& server);

} // namespace cantorix::platform
