#include "midi_iterator.h"

namespace cantorix::midi {

namespace {

constexpr std::uint8_t kFirstSystemStatus = 0xF0;

// Key aftertouch, controller, program change, channel aftertouch and pitch bend set the state
// a note is heard in, so they go out even when the notes do not.
bool setsChannelState(const TEventData& event) {
    return event.kind() >= 0xA0 && event.kind() <= 0xE0;
}

} // namespace

TMidiIterator::TMidiIterator() : m_life(std::make_shared<char>()) {}

TMidiIterator::~TMidiIterator() = default;

void TMidiIterator::setTrackOutputs(TTrackOutputs* outputs) {
    m_outputs = outputs;
    if (m_outputs) {
        m_outputs->RewindOutputs();
        m_outputs->SendPatches();
    }
}

void TMidiIterator::Reset() {
    TMidiPosition::Reset();
    m_publishedTicks.store(Ticks(), std::memory_order_release);
    if (m_outputs) {
        m_outputs->RewindOutputs();
        m_outputs->SendPatches();
    }
    m_finished = true;
    if (const TMidiData* data = MidiData())
        for (std::int32_t i = 0; i < data->TrackCount(); ++i)
            if (data->Tracks(i)->EventCount() > 0)
                m_finished = false;
}

void TMidiIterator::Changed() {
    m_publishedTicks.store(Ticks(), std::memory_order_release);
    m_finished = true;
    if (!m_outputs)
        return;
    const std::int32_t ticks = Ticks();
    const int count = m_outputs->outputCount();
    for (int i = 0; i < count; ++i) {
        TTrackOutput& output = *m_outputs->Outputs(i);
        const auto events = output.track().events();
        const auto eventCount = static_cast<std::int32_t>(events.size());
        const bool notesAudible = m_playing && !output.Muted();
        std::int32_t& next = output.nextIndex;
        while (next < eventCount && events[static_cast<std::size_t>(next)].position < ticks) {
            const TEventData event = events[static_cast<std::size_t>(next)].event;
            ++next;
            if (event.status >= kFirstSystemStatus || !(notesAudible || setsChannelState(event)))
                continue;
            output.port().SendEvent(event);
            m_outputs->eventSent(*this, i, event, m_onTimerThread);
        }
        if (next < eventCount)
            m_finished = false;
    }
}

void TMidiIterator::Advance(std::int32_t milliseconds) {
    m_playing = true;
    SetTime(Time() + milliseconds);
    m_playing = false;
}

} // namespace cantorix::midi
