#pragma once
// The player's position (`TMidiIterator`): a TMidiPosition whose every move sends what it has
// passed to the track outputs. During playback (`Playing`) every channel event of an unmuted
// track goes out; while seeking, and for muted tracks, only the state-setting events (key
// aftertouch, controller, program change, channel aftertouch, pitch bend). Moved only under
// the registry's lock of its outputs, by the window thread or the player's timer thread.

#include "midi/midi_position.h"
#include "midi/track_outputs.h"

#include <atomic>
#include <memory>

namespace cantorix::midi {

class TMidiIterator : public TMidiPosition {
public:
    TMidiIterator();
    ~TMidiIterator() override;

    TTrackOutputs* TrackOutputs() const { return m_outputs; }
    // Takes the outputs (or none): rewinds them and sends their patches.
    void setTrackOutputs(TTrackOutputs* outputs);

    // Every track output has passed the last event of its track.
    bool Finished() const { return m_finished; }
    // Notes are sent only while the player advances the position.
    bool Playing() const { return m_playing; }

    // The position reset, then every output reads from its track's start and sends its patch.
    void Reset() override;
    // Sends the events each track output has passed and advances its read index.
    void Changed() override;
    // Plays the next `milliseconds` of music.
    void Advance(std::int32_t milliseconds);

    // While set, OnEvent calls are posted to the window thread (the timer thread moves it).
    void setOnTimerThread(bool onTimerThread) { m_onTimerThread = onTimerThread; }
    // Ticks as of the last move, readable from any thread without the registry's lock (the
    // window thread's marker polls it while the timer thread moves the iterator).
    std::int32_t publishedTicks() const { return m_publishedTicks.load(std::memory_order_acquire); }

    // Expires when the iterator is destroyed; posted calls check it before using the sender.
    std::weak_ptr<void> lifeToken() const { return m_life; }

private:
    TTrackOutputs* m_outputs = nullptr;
    bool m_finished = false;
    bool m_playing = false;
    bool m_onTimerThread = false;
    std::atomic<std::int32_t> m_publishedTicks{0};
    std::shared_ptr<void> m_life;
};

} // namespace cantorix::midi
