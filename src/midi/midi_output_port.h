#pragma once
// A logical MIDI output (`TMidiOutputPort`): one user of the device connection for its
// `PortId`. It sends channel messages, counts the notes it has started and not ended, and
// keeps its connection's controller and program tables up to date. Every operation holds the
// registry's lock, so the window thread and the player's timer thread may both use it.

#include "midi/midi_event.h"
#include "midi/physical_output_port.h"

#include <array>
#include <cstdint>

namespace cantorix::midi {

class TMidiOutputPort {
public:
    static constexpr int kDefaultSysexLatency = 50;

    explicit TMidiOutputPort(PhysicalPortRegistry& registry);
    // Deactivates: ends its notes, resets the connection's controllers and detaches.
    ~TMidiOutputPort();
    TMidiOutputPort(const TMidiOutputPort&) = delete;
    TMidiOutputPort& operator=(const TMidiOutputPort&) = delete;

    int PortId() const;
    // While active, closes and reopens on the new device. Throws EMidiOutputPort.
    void setPortId(int portId);
    bool Active() const;
    // True attaches to the connection for PortId, opening the device when no other port uses
    // it (throws EMidiOutputPort and stays inactive when it cannot be opened). False ends this
    // output's notes, resets the connection's controllers and detaches. The current value
    // does nothing.
    void setActive(bool active);
    // Kept for the sysex queue, which this program never fills (only statuses below F0 go out).
    int SysexLatency() const { return m_sysexLatency; }
    void setSysexLatency(int ms) { m_sysexLatency = ms; }

    // Sends one channel event (statuses below F0, while active; others are ignored) and
    // records what it started, ended or set.
    void SendEvent(const TEventData& event);
    // Ends every note this output has started, then releases a held sustain pedal.
    void AllNotesOff();
    // Sends the connection's controllers that differ from their defaults back to them.
    void ResetControllers();
    // A program change on channel when the connection holds another program for it. The bank
    // is not sent: this program defines no bank select.
    void SetPatch(int bank, int program, int channel);

    // Note-ons this output has sent on channel and note and not yet ended.
    int soundingNotes(int channel, int note) const;
    // The device connection while active, else null.
    const TPhysicalOutputPort* connection() const;

private:
    void activate();
    void deactivate();

    PhysicalPortRegistry& m_registry;
    int m_portId = 0;
    int m_sysexLatency = kDefaultSysexLatency;
    TPhysicalOutputPort* m_connection = nullptr;
    std::array<std::array<std::int32_t, 128>, TPhysicalOutputPort::kChannels> m_notes{};
};

} // namespace cantorix::midi
