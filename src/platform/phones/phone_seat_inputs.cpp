#include "phone_server.h"

namespace cantorix::platform {

std::vector<ExternalInput> phoneSeatInputs(PhoneServer& server) {
    std::vector<ExternalInput> seats;
    std::size_t slot = 0;
    for (PhoneServer::SeatInput& seat : server.seatInputs()) {
        ++slot;
        // A phone's samples carry the time they were captured: the session places them by it.
        seat.input.recording = &server.seatSound(slot);
        seats.push_back({std::move(seat.input), seat.capture});
    }
    return seats;
}

} // namespace cantorix::platform
