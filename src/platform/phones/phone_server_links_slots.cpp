// What each seat's phone is shown (its singer, the lyric line, the points), remembered per slot
// so a phone that joins or comes back is told at once; and what the host does to the slots:
// keeps some for microphones and players, frees one a phone holds, starts and ends a session.

#include "phone_server_links.h"

#include <array>
#include <cstdio>

namespace cantorix::platform {

namespace {

std::string colourText(std::uint32_t rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(rgb & 0xffffffU));
    return text;
}

} // namespace

std::string PhoneLinks::defaultColour(std::size_t slot) {
    // Each slot's colour until the singers screen tells the phone its singer's.
    static constexpr std::array<const char*, phones::kPhoneSlots> kColours = {
        "#ffcc00", "#33aaff", "#ff5577", "#55dd66", "#bb77ff", "#ff9933", "#33dddd", "#ff77cc"};
    return kColours.at(slot - 1);
}

void PhoneLinks::showSinger(std::size_t slot, const std::string& name, std::uint32_t rgb) {
    Shown& shown = m_shown.at(slot - 1);
    shown.singer = name;
    shown.colour = colourText(rgb);
    if (Link* link = linkOfSlot(slot))
        send(*link, phones::singerMessage(name, shown.colour));
}

void PhoneLinks::showLyric(std::size_t slot, const std::string& line) {
    Shown& shown = m_shown.at(slot - 1);
    if (shown.lyric == line)
        return;
    shown.lyric = line;
    if (Link* link = linkOfSlot(slot))
        send(*link, phones::lyricMessage(line));
}

void PhoneLinks::showPoints(std::size_t slot, int points) {
    Shown& shown = m_shown.at(slot - 1);
    if (shown.points == points)
        return;
    shown.points = points;
    if (Link* link = linkOfSlot(slot))
        send(*link, phones::pointsMessage(points));
}

void PhoneLinks::reserveSlots(const std::vector<std::string>& reasons) {
    for (std::size_t slot = 1; slot <= phones::kPhoneSlots; ++slot)
        m_seats.reserve(slot, slot <= reasons.size() ? reasons[slot - 1] : std::string());
}

std::vector<std::size_t> PhoneLinks::freeSlots() const {
    std::vector<std::size_t> free;
    for (std::size_t slot = 1; slot <= phones::kPhoneSlots; ++slot)
        if (m_seats.isFree(slot))
            free.push_back(slot);
    return free;
}

void PhoneLinks::sessionStarted() {
    m_seats.sessionStarted();
}

void PhoneLinks::sessionEnded() {
    m_seats.sessionEnded();
    syncSeats();
}

} // namespace cantorix::platform
