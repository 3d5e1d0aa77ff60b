#pragma once
// The failures of microphone capture, with the texts the player sees. Thrown on the main
// thread by the capture stream and by the code that opens the capture device.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace cantorix::pitch {

// The capture library is not usable at all.
class EDirectXError : public std::runtime_error {
public:
    EDirectXError() : std::runtime_error("Necessary since DirectX 5") {}
};

class ESoundCaptureStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;

    // The capture device cannot be opened.
    static ESoundCaptureStreamError cannotInitialize() {
        return ESoundCaptureStreamError(std::string("DirectSoundCapture") +
                                        " cannot be initialized");
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
