#pragma once
// The hardware capture devices as ALSA's control interface lists them (card by card, so a card
// plugged in later is seen without restarting PortAudio), and the rules that turn them into the
// game's inputs: one per hardware channel, named by the card, device and channel, plus the system's
// default input as one input. Main thread.

#include "session/singer_inputs.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace cantorix::platform {

// One capture PCM device of a sound card.
struct AlsaCaptureDevice {
    std::string cardId;   // stable across plug order ("USB", "PCH")
    std::string cardName; // for people ("USB Receiver")
    int device = 0;       // the card's PCM device number
    int channels = 0;     // the hardware's channel count; 0 when it could not be told
    // What PortAudio's ALSA host API opens: "plughw:CARD=<id>,DEV=<n>", or any PCM name a
    // test defines.
    std::string deviceString;
    // Why the channels could not be counted ("Device or resource busy"), for the log.
    std::string problem = {};
};

// One input of a capture device: its channel within the device's interleaved frames.
struct CaptureChannel {
    session::InputAddress address;
    std::string name;
    int channelInDevice = 0;
    // The address earlier releases gave it, counting across the card's devices: set only while
    // every capture device of the card lists its channels (see session::boundInput).
    std::optional<session::InputAddress> formerAddress = std::nullopt;
};

// The capture devices with the channels each offers.
struct ListedCaptureDevice {
    AlsaCaptureDevice device;
    std::vector<CaptureChannel> channels;
};

inline constexpr const char* kDefaultInputName = "System default input";

// "<name>" for a mono device, "<name> — left" / "— right" for stereo, "<name> — channel N"
// (from 1) beyond.
std::string channelName(const std::string& baseName, int channel, int channels);

// The inputs of the devices: one per hardware channel, addressed by the card's id, the device's
// number and the channel within the device, so a device that is busy, gone or lists no channels
// leaves the others' addresses as they were. A device without channels, or whose card id is
// empty or taken by the default input or the files, is left out with a line on log.
std::vector<ListedCaptureDevice> captureChannels(const std::vector<AlsaCaptureDevice>& devices,
                                                 std::ostream& log);

// The capture devices of every sound card, each opened non-blocking for a moment to read its
// channel count. Nothing (quickly) on a machine without sound cards; never throws.
std::vector<AlsaCaptureDevice> listAlsaCaptureDevices();

} // namespace cantorix::platform
