#pragma once
// Port: SoundInputs. Adapter: platform/sound_input/capture_input_set.h;
// fake: tests/fakes/fake_sound_inputs.h.
// The game's sound inputs: every channel of every hardware capture device, the system's default
// input and every channel of the `--mic` files, each one mono 44100 Hz capture. The list is taken
// again only when asked (the singers screen opens, a session is about to start), never during a
// session: taking it again closes and reopens every stream. Main thread only.

#include "audio/wave_in_device_port.h"
#include "pitch/capture_port.h"
#include "session/click_player_port.h"
#include "session/session_input_control_port.h"
#include "session/singer_inputs.h"

#include <optional>
#include <string>
#include <vector>

namespace cantorix::app {

struct SoundInput {
    session::InputAddress address;
    // For the player: the card's name and the channel ("USB Receiver — left"), "System default
    // input", or the file's name and channel.
    std::string name;
    // The input's capture; null while it cannot be opened ("not connected").
    pitch::CaptureDevice* capture = nullptr;
    // A `--mic` file's channel: the sessions start, pause and silence it; null for a live input.
    session::SessionInputControl* recording = nullptr;
    // Why the input could not be opened, for the log; empty when it is open.
    std::string problem;
    // A sound card's channel: the address earlier releases kept for it, while it is certain
    // (session::boundInput finds a binding by it).
    std::optional<session::InputAddress> formerAddress = std::nullopt;
};

class SoundInputs {
public:
    virtual ~SoundInputs() = default;

    // Lists the inputs again and opens each; streams open before are closed first. Never throws:
    // a device that fails to open is listed with its problem and no capture.
    virtual void relist() = 0;
    virtual const std::vector<SoundInput>& inputs() const = 0;
    // Takes the inputs' names again without closing or opening anything: a phone's guest has
    // typed a name. Nothing to do for inputs whose names never change.
    virtual void refreshNames() {}
    // The input at address as listed last; null when it is not listed.
    const SoundInput* find(const session::InputAddress& address) const {
        for (const SoundInput& input : inputs())
            if (input.address == address)
                return &input;
        return nullptr;
    }
    // The input stopped delivering since it was opened (its device was unplugged).
    virtual bool lost(const session::InputAddress& address) const = 0;

    // The recorder's device: the inputs chosen here mixed into one voice, each scaled so that
    // eight at full level do not clip. Choose before the recorder opens it.
    virtual void chooseRecorded(const std::vector<session::InputAddress>& addresses) = 0;
    virtual audio::WaveInDevice& recorder() = 0;

    // Plays the delay calibration's clicks and listens through the input at address; null when
    // that input is not open or there is no sound output.
    virtual session::ClickPlayer* clicksThrough(const session::InputAddress& address) = 0;
};

} // namespace cantorix::app
