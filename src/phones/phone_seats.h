#pragma once
// Who holds which singer slot from a phone: the key every request must carry, the seat each
// joined phone takes and the resume token that gives it back after a dropout. A phone that drops
// out keeps its seat until the session being sung ends (or, outside a session, for
// kDroppedSeatGrace), so a screen lock or a Wi-Fi hiccup never loses it; after that the slot is
// free for any code. Values only; the server's thread.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace cantorix::phones {

inline constexpr std::size_t kPhoneSlots = 8;
inline constexpr std::chrono::seconds kDroppedSeatGrace{60};

// Compares without an early exit, so the time taken tells nothing of where two texts differ.
bool sameSecret(std::string_view a, std::string_view b);

// A connection's own number, given by the server; never reused while the game runs.
using PhoneId = std::uint64_t;

struct Seat {
    std::size_t slot = 0; // 1..8
    std::string name;
    std::string resumeToken;
    std::optional<PhoneId> phone; // none: dropped out, seat reserved
    std::chrono::steady_clock::time_point droppedAt{};
    bool droppedDuringSession = false;
};

struct SeatTaken {
    Seat seat;
    bool resumed = false;
    // The connection that held the seat until this claim took it back with its token (the
    // guest came back before the old socket was seen to close): the server closes it.
    std::optional<PhoneId> displaced;
};

class PhoneSeats {
public:
    using Clock = std::chrono::steady_clock;
    // makeToken: a new unguessable resume token (the server draws 128 bits from the system's
    // cryptographic source).
    explicit PhoneSeats(std::function<std::string()> makeToken);

    // A phone asks for slot (1..8) under name, with the token of an earlier welcome or none.
    // The right token takes its seat back, whichever connection held it; otherwise the slot
    // must be free. Refusals are sentences the page shows: a slot out of range, a slot taken,
    // and "The game is full" once eight seats are held.
    std::variant<SeatTaken, std::string> claim(PhoneId phone, std::size_t slot,
                                               std::string_view name, std::string_view resumeToken,
                                               Clock::time_point now);
    // The phone's connection closed: its seat is kept for a while. Unknown phones are ignored.
    void dropped(PhoneId phone, Clock::time_point now);
    // The phone said it leaves: its seat is free at once.
    void left(PhoneId phone);
    // The host gives slot (1..8) back to the game: its seat goes with its resume token, so the
    // phone cannot take it back. The connection that held it, if any, is the caller's to close.
    std::optional<PhoneId> release(std::size_t slot);
    // No seat held there and not reserved: what a phone's slot picker offers.
    bool isFree(std::size_t slot) const;
    // Why slot (1..8) is not free for a phone ("Slot 1 is Anna's": the host bound a microphone or
    // a player to it), or empty when it is. A reserved slot is refused to every claim but its own
    // seat's; a seat already held there stays.
    void reserve(std::size_t slot, std::string reason);
    // A session starts or ends; at its end the seats dropped out are freed.
    void sessionStarted();
    void sessionEnded();
    // Frees seats dropped outside a session longer than kDroppedSeatGrace ago. True when any
    // seat was freed.
    bool expire(Clock::time_point now);

    // The seat of slot (1..8), if held.
    const std::optional<Seat>& seat(std::size_t slot) const { return m_seats.at(slot - 1); }
    std::optional<std::size_t> slotOf(PhoneId phone) const;
    std::size_t held() const;

private:
    std::function<std::string()> m_makeToken;
    std::array<std::optional<Seat>, kPhoneSlots> m_seats;
    std::array<std::string, kPhoneSlots> m_reserved;
    bool m_inSession = false;
};

} // namespace cantorix::phones
