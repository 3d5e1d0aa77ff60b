#pragma once
// One logical MIDI output per track of a TMidiData (`TTrackOutputs`, `TTrackOutput`): each
// with its own port on the default device, its own mute switch and its own read index into
// its track. The player's iterator walks the tracks through them. Every operation holds the
// registry's lock: the window thread changes them while the timer thread plays them.

#include "base/main_thread_invoker_port.h"
#include "midi/midi_data.h"
#include "midi/midi_output_port.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace cantorix::midi {

// The most tracks that get an output of their own; a file's later tracks stay silent. Real
// files have a few dozen, while 65,535 empty track chunks fit in 512 KiB.
inline constexpr int kMaxTrackOutputs = 256;

class TMidiIterator;
class TTrackOutputs;

class TTrackOutput {
public:
    // Activates its own port on portId; throws EMidiOutputPort.
    TTrackOutput(TTrackOutputs& owner, const TMidiTrackStream& track, int portId);
    TTrackOutput(const TTrackOutput&) = delete;
    TTrackOutput& operator=(const TTrackOutput&) = delete;

    const TMidiTrackStream& track() const { return m_track; }
    TMidiOutputPort& port() { return m_port; }
    const TMidiOutputPort& port() const { return m_port; }

    bool Muted() const;
    // True first ends the notes this output has started; the current value does nothing.
    void setMuted(bool muted);

    // Index of the first event of the track not yet passed. Under the registry's lock.
    std::int32_t nextIndex = 0;

private:
    TTrackOutputs& m_owner;
    const TMidiTrackStream& m_track;
    TMidiOutputPort m_port;
    bool m_muted = false;
};

class TTrackOutputs {
public:
    // sender, index of the track output, the event sent. Runs on the window thread: events
    // sent by the timer thread reach it through the invoker (without an invoker, on the
    // thread that sent them).
    using EventHandler =
        std::function<void(TMidiIterator& sender, int index, const TEventData& event)>;

    // The registry must outlive the outputs; so must the invoker, when given.
    explicit TTrackOutputs(PhysicalPortRegistry& registry,
                           base::MainThreadInvoker* invoker = nullptr);
    ~TTrackOutputs();
    TTrackOutputs(const TTrackOutputs&) = delete;
    TTrackOutputs& operator=(const TTrackOutputs&) = delete;

    PhysicalPortRegistry& registry() const { return m_registry; }

    const TMidiData* MidiData() const;
    // While active, rebuilds the outputs for the new data.
    void setMidiData(const TMidiData* data);
    int DefaultOutputPort() const;
    // While active, rebuilds the outputs on the new device.
    void setDefaultOutputPort(int portId);
    bool Active() const;
    // True makes one output per track of MidiData, in track order, for the first
    // kMaxTrackOutputs tracks; when a device cannot be
    // opened it throws EMidiOutputPort and stays inactive. False frees them, which detaches
    // their ports. The current value does nothing.
    void setActive(bool active);

    int outputCount() const;
    // The output of track `index`, or null outside 0 … outputCount() - 1.
    TTrackOutput* Outputs(int index) const;

    void AllNotesOff();
    void ResetControllers();
    // Every output reads its track from the start again.
    void RewindOutputs();
    // Each output sets its track's first program on its track's first channel.
    void SendPatches();

    void setOnEvent(EventHandler handler);
    // Calls OnEvent for an event the iterator has sent; from the timer thread (`deferred`)
    // the call is posted to the window thread. Under the registry's lock.
    void eventSent(TMidiIterator& sender, int index, const TEventData& event, bool deferred);

private:
    void build();

    PhysicalPortRegistry& m_registry;
    base::MainThreadInvoker* m_invoker;
    const TMidiData* m_data = nullptr;
    int m_defaultOutputPort = 0;
    bool m_active = false;
    EventHandler m_onEvent;
    std::vector<std::unique_ptr<TTrackOutput>> m_outputs;
    // Posted calls hold a weak reference and do nothing once the outputs are gone.
    std::shared_ptr<TTrackOutputs*> m_self;
};

} // namespace cantorix::midi
