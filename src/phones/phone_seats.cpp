// The eight singer slots as phones hold them: claims, dropouts and the tokens that give a seat
// back. A guest holds one seat at most: taking another, or coming back with the token of one,
// releases whatever that guest held before.

#include "phones/phone_seats.h"

#include <utility>

namespace cantorix::phones {

bool sameSecret(std::string_view a, std::string_view b) {
    const std::size_t longer = a.size() > b.size() ? a.size() : b.size();
    std::size_t difference = a.size() ^ b.size();
    for (std::size_t i = 0; i < longer; ++i) {
        const auto left = static_cast<unsigned char>(i < a.size() ? a[i] : 0);
        const auto right = static_cast<unsigned char>(i < b.size() ? b[i] : 0);
        difference |= static_cast<std::size_t>(left ^ right);
    }
    return difference == 0;
}

PhoneSeats::PhoneSeats(std::function<std::string()> makeToken)
    : m_makeToken(std::move(makeToken)) {}

std::variant<SeatTaken, std::string> PhoneSeats::claim(PhoneId phone, std::size_t slot,
                                                       std::string_view name,
                                                       std::string_view resumeToken,
                                                       Clock::time_point /*now*/) {
    if (slot < 1 || slot > kPhoneSlots)
        return std::string("That code names no singer slot.");
    const std::size_t wanted = slot - 1;
    // Every seat's token is compared, so how long a claim takes tells nothing of which seat a
    // guessed token came close to.
    std::optional<std::size_t> named;
    if (!resumeToken.empty())
        for (std::size_t i = 0; i < kPhoneSlots; ++i)
            if (m_seats[i] && sameSecret(m_seats[i]->resumeToken, resumeToken))
                named = i;
    std::optional<std::size_t> own = slotOf(phone);
    if (own)
        --*own;

    SeatTaken taken;
    if (named == wanted || own == wanted) {
        // The guest's own seat: back after a dropout, or asking again on the same connection.
        Seat& seat = *m_seats[wanted];
        if (seat.phone && *seat.phone != phone)
            taken.displaced = seat.phone;
        seat.phone = phone;
        seat.name = std::string(name);
        seat.droppedAt = {};
        seat.droppedDuringSession = false;
        taken.resumed = true;
    } else if (!m_reserved[wanted].empty()) {
        return m_reserved[wanted];
    } else if (m_seats[wanted]) {
        if (held() == kPhoneSlots && !named && !own)
            return std::string("The game is full: eight phones sing already.");
        return "Slot " + std::to_string(slot) + " is taken: scan the code of another slot.";
    } else {
        std::string token = m_makeToken ? m_makeToken() : std::string();
        if (token.empty())
            return std::string("The game could not give this phone a seat: try again.");
        m_seats[wanted] = Seat{slot, std::string(name), std::move(token), phone, {}, false};
    }
    // The guest moves: the seat held before is given up.
    for (const auto& previous : {named, own}) {
        if (!previous || *previous == wanted || !m_seats[*previous])
            continue;
        const std::optional<PhoneId> holder = m_seats[*previous]->phone;
        if (holder && *holder != phone)
            taken.displaced = holder;
        m_seats[*previous].reset();
    }
    taken.seat = *m_seats[wanted];
    return taken;
}

void PhoneSeats::reserve(std::size_t slot, std::string reason) {
    if (slot >= 1 && slot <= kPhoneSlots)
        m_reserved[slot - 1] = std::move(reason);
}

void PhoneSeats::dropped(PhoneId phone, Clock::time_point now) {
    for (auto& seat : m_seats) {
        if (seat && seat->phone == phone) {
            seat->phone.reset();
            seat->droppedAt = now;
            seat->droppedDuringSession = m_inSession;
        }
    }
}

void PhoneSeats::left(PhoneId phone) {
    for (auto& seat : m_seats)
        if (seat && seat->phone == phone)
            seat.reset();
}

std::optional<PhoneId> PhoneSeats::release(std::size_t slot) {
    if (slot < 1 || slot > kPhoneSlots || !m_seats[slot - 1])
        return std::nullopt;
    const std::optional<PhoneId> holder = m_seats[slot - 1]->phone;
    m_seats[slot - 1].reset();
    return holder;
}

bool PhoneSeats::isFree(std::size_t slot) const {
    return slot >= 1 && slot <= kPhoneSlots && !m_seats[slot - 1] && m_reserved[slot - 1].empty();
}

void PhoneSeats::sessionStarted() {
    m_inSession = true;
}

void PhoneSeats::sessionEnded() {
    m_inSession = false;
    for (auto& seat : m_seats)
        if (seat && !seat->phone)
            seat.reset();
}

// While a session is sung nobody is unseated: a guest whose phone locked mid-song sings on
// when it comes back, and the session's end frees the seats still empty then.
bool PhoneSeats::expire(Clock::time_point now) {
    if (m_inSession)
        return false;
    bool freed = false;
    for (auto& seat : m_seats) {
        if (seat && !seat->phone && now - seat->droppedAt > kDroppedSeatGrace) {
            seat.reset();
            freed = true;
        }
    }
    return freed;
}

std::optional<std::size_t> PhoneSeats::slotOf(PhoneId phone) const {
    for (const auto& seat : m_seats)
        if (seat && seat->phone == phone)
            return seat->slot;
    return std::nullopt;
}

std::size_t PhoneSeats::held() const {
    std::size_t count = 0;
    for (const auto& seat : m_seats)
        if (seat)
            ++count;
    return count;
}

} // namespace cantorix::phones
