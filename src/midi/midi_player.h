#pragma once
// The MIDI player (`TMidiPlayer`): plays a TTrackOutputs' data through its outputs by
// advancing its iterator, at every tick of a periodic timer, by the real time elapsed scaled
// by the tempo percentage (and four times that while fast-forwarding). The tick runs on the
// timer's thread; everything else on the window thread. Both hold the registry's lock: the
// tick only tries it, so a tick that meets a window-thread operation skips, just as ticks skip
// while the state is held at Paused. State events fired by the tick are posted to the window
// thread.

#include "base/main_thread_invoker_port.h"
#include "midi/midi_iterator.h"
#include "midi/midi_timer_port.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace cantorix::midi {

enum class TPlayerState { Stopped, Paused, Playing, FastForward };

class TMidiPlayer {
public:
    using Notify = std::function<void(TMidiPlayer& sender)>;

    static constexpr std::int32_t kDefaultTimerResolution = 4;
    static constexpr std::int32_t kDefaultTempoPercent = 100;
    static constexpr int kFastForwardSpeed = 4;

    // The registry is the one of every TTrackOutputs the player will play. All three must
    // outlive the player.
    TMidiPlayer(PhysicalPortRegistry& registry, MidiTimer& timer, base::MainThreadInvoker& invoker);
    // Stops without firing events.
    ~TMidiPlayer();
    TMidiPlayer(const TMidiPlayer&) = delete;
    TMidiPlayer& operator=(const TMidiPlayer&) = delete;

    TPlayerState state() const;
    // 1, or kFastForwardSpeed while fast-forwarding.
    int speed() const;

    bool Play() const;
    // True from Stopped starts; from Paused or FastForward plays at speed 1. False while
    // Playing stops.
    void setPlay(bool play);
    bool FastForward() const;
    // True from Stopped starts at speed 4; from Paused or Playing switches to it. False while
    // FastForward stops.
    void setFastForward(bool fastForward);
    bool Paused() const;

    // The iterator's position in ticks, read without the registry's lock so that a poll from
    // the window thread never waits for a tick (the value may be one tick old). Setting it
    // ends the sounding notes, resets the controllers when moving backwards and moves there.
    std::int32_t Position() const;
    void setPosition(std::int32_t ticks);
    // The iterator's position in milliseconds of the music.
    std::int32_t Time() const;

    std::int32_t TimerPeriod() const;
    // Never below the timer's minimum period.
    void setTimerPeriod(std::int32_t ms);
    std::int32_t TimerResolution() const;
    void setTimerResolution(std::int32_t ms);
    std::int32_t TempoPercent() const;
    void setTempoPercent(std::int32_t percent);
    // Kept for its owner: the timer thread's precision does not depend on the process's
    // scheduling class here, so no priority is changed.
    bool BoostPriority() const;
    void setBoostPriority(bool boost);
    // True: the tick stops the player when every track has passed its last event.
    bool AutoStop() const;
    void setAutoStop(bool autoStop);

    TTrackOutputs* TrackOutputs() const;
    // Rewinds, takes the outputs (their registry must be the player's, else
    // std::invalid_argument), hands them to the iterator and rebinds. The outputs, and the data
    // they play, must stay alive until the player is given others or destroyed: stop the
    // player before releasing the data.
    void setTrackOutputs(TTrackOutputs* outputs);

    void Stop();
    // Stop, then back to bar 0, beat 0, tick 0.
    void Rewind();
    // Stop, then bind the iterator to the outputs' data when they are active, else to none.
    void Rebind();
    // Moves to the end of the song, ending the sounding notes first.
    void GoToEnd();

    // Window thread, whichever thread changed the state.
    void setOnStop(Notify handler);
    void setOnPlay(Notify handler);
    void setOnFastForward(Notify handler);
    void setOnPause(Notify handler);

    // Where the last stop happened, in ticks; a start moves there and back first.
    std::int32_t resumePosition() const;

private:
    using Lock = std::lock_guard<std::recursive_mutex>;

    // Holds a running state at Paused for the lifetime of a window-thread move.
    class PauseHold;

    void start(int speed);
    void tick(); // timer thread
    void stopPlayback(bool onTimerThread);
    void setState(TPlayerState state, bool onTimerThread = false);
    void bindIteratorToOutputs();

    PhysicalPortRegistry& m_registry;
    MidiTimer& m_timer;
    base::MainThreadInvoker& m_invoker;

    // All below under the registry's lock.
    TMidiIterator m_iterator;
    TTrackOutputs* m_outputs = nullptr;
    TPlayerState m_state = TPlayerState::Stopped;
    int m_speed = 1;
    std::uint32_t m_lastTick = 0;
    std::int32_t m_resumePosition = 0;
    std::int32_t m_timerPeriod;
    std::int32_t m_timerResolution = kDefaultTimerResolution;
    std::int32_t m_tempoPercent = kDefaultTempoPercent;
    bool m_boostPriority = false;
    bool m_autoStop = true;
    bool m_destroying = false;
    Notify m_onStop, m_onPlay, m_onFastForward, m_onPause;
    // Posted events hold a weak reference and do nothing once the player is gone.
    std::shared_ptr<TMidiPlayer*> m_self;
};

} // namespace cantorix::midi
