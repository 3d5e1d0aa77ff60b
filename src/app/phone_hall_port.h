#pragma once
// Port: PhoneHall. Adapter: platform/phones/phone_server.h; fake: tests/fakes/fake_phone_hall.h.
// Phones as microphones, as the game's window sees them: where guests join (the addresses,
// port and key of the join codes, the certificate's fingerprint), which slots phones hold, and
// what the game shows on each phone. Each seat's sound is an input of the sound inputs port at
// phoneInputAddress(slot); the hall tells the main thread when seats change. Main thread only.

#include "party/guest_messages.h"
#include "party/song_book.h"
#include "session/singer_inputs.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::app {

// The sound input of slot's phone (slot 1..8): card "phone", channel slot - 1.
inline constexpr std::string_view kPhoneInputCard = "phone";
inline session::InputAddress phoneInputAddress(std::size_t slot) {
    return {std::string(kPhoneInputCard), static_cast<int>(slot) - 1};
}

// A join code: the QR code's modules, row by row (true: dark), size × size, without the quiet
// zone the drawing adds around it.
struct JoinCode {
    int size = 0;
    std::vector<bool> modules;
    std::string url; // what it says, written out beneath it
};

struct PhoneSeatView {
    std::size_t slot = 0;   // 1..8
    std::string name;       // as the guest typed it, cleaned
    bool connected = false; // false: dropped out, seat kept
};

class PhoneHall {
public:
    virtual ~PhoneHall() = default;

    // Whether phones can join now; when not, problem() says why ("Port 8443 to 8463 are taken").
    virtual bool listening() const = 0;
    virtual std::string problem() const = 0;
    // The addresses guests can reach the game at, the default route's first (IPv4 before IPv6).
    virtual std::vector<std::string> addresses() const = 0;
    virtual int port() const = 0;
    // "SHA-256 AB:CD:…" of the certificate the phones are asked to accept.
    virtual std::string fingerprint() const = 0;
    // The code of slot (1..8) at address: https://<address>:<port>/?slot=N&k=<key>; slot 0 is
    // the song book's: https://<address>:<port>/?k=<key>#book.
    virtual JoinCode joinCode(std::size_t slot, std::string_view address) const = 0;
    // The host's own code: the song book with the host's actions on the queue.
    virtual JoinCode hostCode(std::string_view address) const = 0;

    virtual std::vector<PhoneSeatView> seats() const = 0;
    // Called on the main thread after seats changed (a phone joined, dropped out, came back, left).
    virtual void onSeatsChanged(std::function<void()> changed) = 0;

    // What the phone in slot shows: its singer (after the singers screen changed them), the lyric
    // line being sung, the points so far. Slots without a phone are ignored.
    virtual void showSinger(std::size_t slot, std::string_view name, std::uint32_t rgb) = 0;
    virtual void showLyric(std::size_t slot, std::string_view line) = 0;
    virtual void showPoints(std::size_t slot, int points) = 0;

    // Why each slot (index: slot − 1) is not a phone's to take ("Slot 1 is Anna's"), empty for a
    // free one: a slot with a microphone or a player of the host's is refused to phones, so a
    // phone never rewrites what the host saved for it.
    virtual void reserveSlots(const std::vector<std::string>& reasons) = 0;
    // The host gives slot (1..8) back: the phone in it is told and disconnected, and its resume
    // token no longer opens the seat. A slot without a seat is left as it is.
    virtual void freeSlot(std::size_t slot) = 0;

    // A session begins and ends: seats dropped out during it are kept until its end.
    virtual void sessionStarted() = 0;
    virtual void sessionEnded() = 0;

    // The song book guests browse from now on (the library changed); none closes it. Searched
    // on the server's thread, never the window's.
    virtual void openSongBook(std::shared_ptr<const party::SongBook> book) = 0;

    // Song book connections: what each asked (a hello first, then its requests, within its
    // phone's changes a minute) and that it closed, on the main thread; and what the game tells
    // one. A connection's number is never reused in a run.
    using GuestConnection = std::uint64_t;
    virtual void onGuests(std::function<void(GuestConnection, party::GuestRequest)> said,
                          std::function<void(GuestConnection)> gone) = 0;
    virtual void tellGuest(GuestConnection connection, const party::GuestNews& news) = 0;
};

} // namespace cantorix::app
