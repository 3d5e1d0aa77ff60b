#include "midi_player.h"

#include <atomic>
#include <stdexcept>

namespace cantorix::midi {

namespace {

// Ticks running anywhere in the process; a tick that finds another one running returns.
std::atomic<int> g_busyTicks{0};

class BusyTick {
public:
    BusyTick() : m_first(g_busyTicks.fetch_add(1, std::memory_order_acq_rel) == 0) {}
    ~BusyTick() { g_busyTicks.fetch_sub(1, std::memory_order_acq_rel); }
    BusyTick(const BusyTick&) = delete;
    BusyTick& operator=(const BusyTick&) = delete;
    bool first() const { return m_first; }

private:
    bool m_first;
};

bool running(TPlayerState state) {
    return state == TPlayerState::Playing || state == TPlayerState::FastForward;
}

} // namespace

class TMidiPlayer::PauseHold {
public:
    explicit PauseHold(TMidiPlayer& player) : m_player(player), m_held(player.m_state) {
        if (running(m_held))
            m_player.setState(TPlayerState::Paused);
    }
    ~PauseHold() {
        if (running(m_held) && m_player.m_state == TPlayerState::Paused)
            m_player.setState(m_held);
    }
    PauseHold(const PauseHold&) = delete;
    PauseHold& operator=(const PauseHold&) = delete;

private:
    TMidiPlayer& m_player;
    TPlayerState m_held;
};

TMidiPlayer::TMidiPlayer(PhysicalPortRegistry& registry, MidiTimer& timer,
                         base::MainThreadInvoker& invoker)
    : m_registry(registry), m_timer(timer), m_invoker(invoker),
      m_timerPeriod(timer.minimumPeriod()), m_self(std::make_shared<TMidiPlayer*>(this)) {}

TMidiPlayer::~TMidiPlayer() {
    Lock lock(m_registry.mutex());
    m_destroying = true;
    Stop();
    m_self.reset();
}

TPlayerState TMidiPlayer::state() const {
    Lock lock(m_registry.mutex());
    return m_state;
}

int TMidiPlayer::speed() const {
    Lock lock(m_registry.mutex());
    return m_speed;
}

bool TMidiPlayer::Play() const {
    return state() == TPlayerState::Playing;
}

void TMidiPlayer::setPlay(bool play) {
    Lock lock(m_registry.mutex());
    if (play) {
        if (m_state == TPlayerState::Stopped) {
            start(1);
        } else if (m_state == TPlayerState::Paused || m_state == TPlayerState::FastForward) {
            m_speed = 1;
            setState(TPlayerState::Playing);
        }
    } else if (m_state == TPlayerState::Playing) {
        Stop();
    }
}

bool TMidiPlayer::FastForward() const {
    return state() == TPlayerState::FastForward;
}

void TMidiPlayer::setFastForward(bool fastForward) {
    Lock lock(m_registry.mutex());
    if (fastForward) {
        if (m_state == TPlayerState::Stopped) {
            start(kFastForwardSpeed);
        } else if (m_state == TPlayerState::Paused || m_state == TPlayerState::Playing) {
            m_speed = kFastForwardSpeed;
            setState(TPlayerState::FastForward);
        }
    } else if (m_state == TPlayerState::FastForward) {
        Stop();
    }
}

bool TMidiPlayer::Paused() const {
    return state() == TPlayerState::Paused;
}

std::int32_t TMidiPlayer::Position() const {
    return m_iterator.publishedTicks();
}

void TMidiPlayer::setPosition(std::int32_t ticks) {
    Lock lock(m_registry.mutex());
    PauseHold hold(*this);
    if (m_outputs) {
        m_outputs->AllNotesOff();
        if (ticks < m_iterator.Ticks())
            m_outputs->ResetControllers();
    }
    m_iterator.SetTicks(ticks);
}

std::int32_t TMidiPlayer::Time() const {
    Lock lock(m_registry.mutex());
    return m_iterator.Time();
}

std::int32_t TMidiPlayer::TimerPeriod() const {
    Lock lock(m_registry.mutex());
    return m_timerPeriod;
}

void TMidiPlayer::setTimerPeriod(std::int32_t ms) {
    Lock lock(m_registry.mutex());
    m_timerPeriod = std::max(ms, m_timer.minimumPeriod());
}

std::int32_t TMidiPlayer::TimerResolution() const {
    Lock lock(m_registry.mutex());
    return m_timerResolution;
}

void TMidiPlayer::setTimerResolution(std::int32_t ms) {
    Lock lock(m_registry.mutex());
    m_timerResolution = ms;
}

std::int32_t TMidiPlayer::TempoPercent() const {
    Lock lock(m_registry.mutex());
    return m_tempoPercent;
}

void TMidiPlayer::setTempoPercent(std::int32_t percent) {
    Lock lock(m_registry.mutex());
    m_tempoPercent = percent;
}

bool TMidiPlayer::BoostPriority() const {
    Lock lock(m_registry.mutex());
    return m_boostPriority;
}

void TMidiPlayer::setBoostPriority(bool boost) {
    Lock lock(m_registry.mutex());
    m_boostPriority = boost;
}

bool TMidiPlayer::AutoStop() const {
    Lock lock(m_registry.mutex());
    return m_autoStop;
}

void TMidiPlayer::setAutoStop(bool autoStop) {
    Lock lock(m_registry.mutex());
    m_autoStop = autoStop;
}

TTrackOutputs* TMidiPlayer::TrackOutputs() const {
    Lock lock(m_registry.mutex());
    return m_outputs;
}

void TMidiPlayer::setTrackOutputs(TTrackOutputs* outputs) {
    if (outputs && &outputs->registry() != &m_registry)
        throw std::invalid_argument("The track outputs belong to another output registry");
    Lock lock(m_registry.mutex());
    Rewind();
    m_outputs = outputs;
    m_iterator.setTrackOutputs(outputs);
    Rebind();
}

std::int32_t TMidiPlayer::resumePosition() const {
    Lock lock(m_registry.mutex());
    return m_resumePosition;
}

void TMidiPlayer::Stop() {
    Lock lock(m_registry.mutex());
    stopPlayback(false);
}

void TMidiPlayer::Rewind() {
    Lock lock(m_registry.mutex());
    Stop();
    m_iterator.SetBarBeatTick(0, 0, 0);
}

void TMidiPlayer::Rebind() {
    Lock lock(m_registry.mutex());
    Stop();
    m_iterator.SetMidiData(m_outputs && m_outputs->Active() ? m_outputs->MidiData() : nullptr);
}

void TMidiPlayer::GoToEnd() {
    Lock lock(m_registry.mutex());
    bindIteratorToOutputs();
    PauseHold hold(*this);
    if (m_outputs)
        m_outputs->AllNotesOff();
    m_iterator.GoToEnd();
}

void TMidiPlayer::bindIteratorToOutputs() {
    m_iterator.SetMidiData(m_outputs ? m_outputs->MidiData() : nullptr);
}

void TMidiPlayer::start(int speed) {
    if (!m_outputs || !m_outputs->Active()) {
        setState(TPlayerState::Playing);
        setState(TPlayerState::Stopped);
        return;
    }
    bindIteratorToOutputs();
    // Replays the state-setting events up to where the last stop happened before going back.
    const std::int32_t ticks = m_iterator.Ticks();
    m_iterator.SetTicks(m_resumePosition);
    setState(TPlayerState::Paused);
    m_iterator.SetTicks(ticks);

    m_speed = speed;
    m_lastTick = m_timer.nowMs();
    if (m_timer.start(m_timerPeriod, m_timerResolution, [this] { tick(); }))
        setState(speed == 1 ? TPlayerState::Playing : TPlayerState::FastForward);
    else
        setState(TPlayerState::Stopped);
}

void TMidiPlayer::tick() {
    const BusyTick busy;
    if (!busy.first())
        return;
    std::unique_lock lock(m_registry.mutex(), std::try_to_lock);
    if (!lock.owns_lock() || !running(m_state))
        return;
    const std::uint32_t now = m_timer.nowMs();
    const std::uint32_t elapsed = now - m_lastTick; // the clock wraps; the difference does not
    m_lastTick = now;
    const std::int64_t scaled = std::int64_t{elapsed} * m_tempoPercent / 100 * m_speed;
    m_iterator.setOnTimerThread(true);
    m_iterator.Advance(static_cast<std::int32_t>(scaled));
    m_iterator.setOnTimerThread(false);
    if (m_iterator.Finished() && m_autoStop)
        stopPlayback(true);
}

void TMidiPlayer::stopPlayback(bool onTimerThread) {
    if (m_state != TPlayerState::Stopped) {
        m_timer.stop();
        if (m_outputs)
            m_outputs->AllNotesOff();
        m_resumePosition = m_iterator.Ticks();
    }
    setState(TPlayerState::Stopped, onTimerThread);
}

void TMidiPlayer::setState(TPlayerState state, bool onTimerThread) {
    if (state == m_state)
        return;
    m_state = state;
    if (m_destroying)
        return;
    Notify TMidiPlayer::*handler = nullptr;
    switch (state) {
    case TPlayerState::Stopped:
        handler = &TMidiPlayer::m_onStop;
        break;
    case TPlayerState::Paused:
        handler = &TMidiPlayer::m_onPause;
        break;
    case TPlayerState::Playing:
        handler = &TMidiPlayer::m_onPlay;
        break;
    case TPlayerState::FastForward:
        handler = &TMidiPlayer::m_onFastForward;
        break;
    }
    if (!(this->*handler))
        return;
    if (!onTimerThread) {
        const Notify notify = this->*handler;
        notify(*this);
        return;
    }
    m_invoker.post([self = std::weak_ptr(m_self), handler] {
        const auto alive = self.lock();
        if (!alive)
            return;
        TMidiPlayer& player = **alive;
        Notify notify;
        {
            Lock lock(player.m_registry.mutex());
            notify = player.*handler;
        }
        if (notify)
            notify(player);
    });
}

void TMidiPlayer::setOnStop(Notify handler) {
    Lock lock(m_registry.mutex());
    m_onStop = std::move(handler);
}

void TMidiPlayer::setOnPlay(Notify handler) {
    Lock lock(m_registry.mutex());
    m_onPlay = std::move(handler);
}

void TMidiPlayer::setOnFastForward(Notify handler) {
    Lock lock(m_registry.mutex());
    m_onFastForward = std::move(handler);
}

void TMidiPlayer::setOnPause(Notify handler) {
    Lock lock(m_registry.mutex());
    m_onPause = std::move(handler);
}

} // namespace cantorix::midi
