#pragma once
// The failures of microphone capture, with the texts the player sees. Thrown on the main
// thread by the capture stream and by the code that opens the capture device.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace cantorix::pitch {

// The capture library is not usable at all. Players read these texts, so they speak of what a
// player has (a sound system, a microphone) and of what it means for the game.
class ESoundSystemError : public std::runtime_error {
public:
    ESoundSystemError()
        : std::runtime_error("The sound system could not be started, so no microphone can be used; "
                             "singing will not be scored.") {}
};

class ESoundCaptureStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;

    // The capture device cannot be opened.
    static ESoundCaptureStreamError cannotInitialize() {
        return ESoundCaptureStreamError(
            "No microphone could be opened; singing will not be scored.");
    }
    // The capture ring cannot be created at start.
    static ESoundCaptureStreamError cannotMake() {
        return ESoundCaptureStreamError(std::string("Sound Capture Buffer") + " cannot be made");
    }
};

// An index outside a list, such as a capture format the device did not offer.
class EListError : public std::out_of_range {
public:
    explicit EListError(std::int32_t index)
        : std::out_of_range("List index out of bounds (" + std::to_string(index) + ")") {}
};

} // namespace cantorix::pitch
