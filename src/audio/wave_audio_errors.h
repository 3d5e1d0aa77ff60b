#pragma once
// The recorder's failures, with the texts the player sees. Thrown on the main thread.

#include <stdexcept>
#include <string>

namespace cantorix::audio {

// A device operation failed; the text is the device's own.
class EWaveAudioSysError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The operation does not fit the recorder's state.
class EWaveAudioInvalidOperation : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// The recording file cannot be created.
class EFCreateError : public std::runtime_error {
public:
    EFCreateError(const std::string& path, const std::string& reason)
        : std::runtime_error("Cannot create file \"" + path + "\". " + reason) {}
};

} // namespace cantorix::audio
