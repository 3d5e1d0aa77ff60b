#pragma once
// The connection to one open MIDI output device, shared by every logical output on that device
// number (`TPhysicalOutputPort`), and the registry of all open connections. A connection keeps
// each channel's program and controller values; the registry opens a device for its first
// output and closes it after its last. The registry's lock serialises all MIDI output work,
// which comes from the window thread and from the player's timer thread.

#include "midi/midi_event.h"
#include "midi/midi_output_device_port.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace cantorix::midi {

// A device that cannot be opened: "Unable to open port".
class EMidiOutputPort : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TMidiOutputPort;

class TPhysicalOutputPort {
public:
    static constexpr int kChannels = 16;
    static constexpr int kControllers = 128;
    static constexpr std::uint8_t kSustain = 64;

    // What a device is assumed to hold when it opens: volume 90, pan 64, expression 127,
    // controller 91 at 40, every other controller 0.
    static std::uint8_t defaultController(int controller);

    TPhysicalOutputPort(int deviceNumber, std::unique_ptr<MidiOutputDevice> device);
    ~TPhysicalOutputPort(); // resets the device, then closes it

    int deviceNumber() const { return m_deviceNumber; }
    const std::vector<TMidiOutputPort*>& users() const { return m_users; }

    // Passes a channel message to the device as it is; no bookkeeping.
    void send(const TEventData& event);

    std::uint8_t program(int channel) const { return m_programs[channel]; }
    void setProgram(int channel, std::uint8_t program) { m_programs[channel] = program; }
    std::uint8_t controller(int channel, int controller) const {
        return m_controllers[channel][controller];
    }
    void setController(int channel, int controller, std::uint8_t value) {
        m_controllers[channel][controller] = value;
    }

    // Sends every controller that differs from its default back to the default.
    void ResetControllers();

private:
    friend class PhysicalPortRegistry;

    int m_deviceNumber;
    std::unique_ptr<MidiOutputDevice> m_device;
    std::vector<TMidiOutputPort*> m_users;
    std::array<std::uint8_t, kChannels> m_programs{};
    std::array<std::array<std::uint8_t, kControllers>, kChannels> m_controllers;
};

// Every open device connection of the program, by device number. The program entry makes one
// and hands it to everything that outputs MIDI; tests make their own over fake devices.
class PhysicalPortRegistry {
public:
    // The devices must outlive the registry.
    explicit PhysicalPortRegistry(MidiOutputDevices& devices);
    ~PhysicalPortRegistry();
    PhysicalPortRegistry(const PhysicalPortRegistry&) = delete;
    PhysicalPortRegistry& operator=(const PhysicalPortRegistry&) = delete;

    // Held by every operation on the ports, the track outputs and the player. Recursive, as
    // those operations call one another; the timer tick only tries it.
    std::recursive_mutex& mutex() const { return m_mutex; }

    // Joins port to the connection for deviceNumber, opening the device when no other port
    // uses it. Throws EMidiOutputPort when the device cannot be opened.
    TPhysicalOutputPort& attach(int deviceNumber, TMidiOutputPort& port);
    // Removes port from its connection and closes the connection when it was the last user.
    void detach(TPhysicalOutputPort& connection, TMidiOutputPort& port);

    // The open connection on deviceNumber, or null.
    const TPhysicalOutputPort* find(int deviceNumber) const;
    int openCount() const;

private:
    MidiOutputDevices& m_devices;
    mutable std::recursive_mutex m_mutex;
    std::map<int, std::unique_ptr<TPhysicalOutputPort>> m_connections;
};

} // namespace cantorix::midi
