#include "midi_position.h"

#include "position_arithmetic.h"

#include <algorithm>
#include <cstddef>
#include <tuple>

namespace cantorix::midi {

using detail::msToTicks;
using detail::narrow;
using detail::ticksToMs;
using detail::truncDiv;
using detail::truncMod;

TMidiPosition::TMidiPosition(const TMidiData* data) : m_data(data) {
    resetFields();
}

void TMidiPosition::Reset() {
    resetFields();
}

void TMidiPosition::resetFields() {
    m_ticks = 0;
    m_time = 0;
    m_ppqn = m_data ? m_data->PPQN() : TMidiData::kEmptyPpqn;
    m_tempo = kDefaultTempoMs;
    m_tempoTick = 0;
    m_tempoTime = 0;
    m_numerator = kDefaultNumerator;
    m_denominatorExponent = kDefaultDenominatorExponent;
    m_signatureTick = 0;
    m_signatureBar = 0;
    updateBeatSizes();
    m_bar = 0;
    m_beat = 0;
    m_tickInBeat = 0;
    m_mapIndex = 0;
}

void TMidiPosition::SetMidiData(const TMidiData* data) {
    if (data == m_data)
        return;
    const std::int32_t ticks = m_ticks;
    m_data = data;
    Reset();
    SetTicks(ticks);
}

const TMidiTrackStream* TMidiPosition::tempoTrack() const {
    return m_data ? m_data->Tracks(0) : nullptr;
}

bool TMidiPosition::mapEventDue(std::int64_t tick) const {
    const TMidiTrackStream* map = tempoTrack();
    const TMidiEvent* next = map ? map->Events(m_mapIndex) : nullptr;
    return next && next->position <= tick;
}

TMidiPosition::MapEvent TMidiPosition::applyNextMapEvent(std::int32_t ppqn,
                                                         std::int64_t& signatureShift) {
    const TMidiTrackStream& map = *tempoTrack();
    const TMidiEvent& event = *map.Events(m_mapIndex++);
    const auto block = map.block(event);
    if (!event.event.isMeta() || block.empty())
        return MapEvent::Other;
    if (block[0] == kMetaTempo) {
        applyTempo(event.position, block.subspan(1), ppqn);
        return MapEvent::Tempo;
    }
    if (block[0] == kMetaTimeSignature) {
        signatureShift = applySignature(event.position, block.subspan(1));
        return MapEvent::Signature;
    }
    return MapEvent::Other;
}

void TMidiPosition::applyTempo(std::int32_t position, std::span<const std::uint8_t> data,
                               std::int32_t ppqn) {
    m_tempoTime =
        narrow(m_tempoTime + ticksToMs(std::int64_t{position} - m_tempoTick, m_tempo, ppqn));
    m_tempoTick = position;
    // A tempo event too short to hold its 24-bit value keeps the current tempo.
    if (data.size() >= 3) {
        const std::int32_t microseconds = (data[0] << 16) | (data[1] << 8) | data[2];
        m_tempo = detail::tempoMilliseconds(microseconds);
    }
}

std::int64_t TMidiPosition::applySignature(std::int32_t position,
                                           std::span<const std::uint8_t> data) {
    const std::int64_t shift = std::int64_t{position} - m_signatureTick;
    // A partial bar before the change counts as a whole one.
    const std::int64_t bars =
        truncDiv(shift, m_ticksPerBar) + (truncMod(shift, m_ticksPerBar) != 0 ? 1 : 0);
    m_signatureBar = narrow(m_signatureBar + bars);
    m_signatureTick = position;
    // A short event keeps the fields it does not hold.
    if (data.size() >= 1)
        m_numerator = data[0];
    if (data.size() >= 2)
        m_denominatorExponent = data[1];
    updateBeatSizes();
    return shift;
}

void TMidiPosition::updateBeatSizes() {
    m_ticksPerBeat = detail::ticksPerBeat(m_ppqn, m_denominatorExponent);
    m_ticksPerBar = narrow(std::int64_t{m_ticksPerBeat} * m_numerator);
}

void TMidiPosition::derivePosition(std::int64_t sinceSignature) {
    m_ticks = narrow(sinceSignature + m_signatureTick);
    const std::int64_t beats = truncDiv(sinceSignature, m_ticksPerBeat);
    m_tickInBeat = narrow(truncMod(sinceSignature, m_ticksPerBeat));
    m_bar = narrow(truncDiv(beats, m_numerator) + m_signatureBar);
    m_beat = narrow(truncMod(beats, m_numerator));
}

void TMidiPosition::deriveTime() {
    m_time = narrow(m_tempoTime + ticksToMs(std::int64_t{m_ticks} - m_tempoTick, m_tempo, m_ppqn));
}

void TMidiPosition::SetTicks(std::int32_t ticks) {
    if (ticks < m_ticks)
        Reset();
    std::int64_t sinceSignature = std::int64_t{ticks} - m_signatureTick;
    if (sinceSignature < 0)
        return;
    while (mapEventDue(ticks)) {
        std::int64_t shift = 0;
        if (applyNextMapEvent(m_ppqn, shift) == MapEvent::Signature)
            sinceSignature -= shift;
    }
    derivePosition(sinceSignature);
    deriveTime();
    Changed();
}

void TMidiPosition::SetTime(std::int32_t milliseconds) {
    if (milliseconds < m_time)
        Reset();
    m_time = milliseconds;
    const std::int32_t dataPpqn = m_data ? m_data->PPQN() : m_ppqn;
    const auto ticksToGo = [&] {
        return msToTicks(std::int64_t{milliseconds} - m_tempoTime, m_tempo, m_ppqn);
    };
    std::int64_t toGo = ticksToGo();
    while (mapEventDue(m_tempoTick + toGo)) {
        std::int64_t shift = 0;
        if (applyNextMapEvent(dataPpqn, shift) == MapEvent::Tempo)
            toGo = ticksToGo();
    }
    derivePosition(m_tempoTick + toGo - m_signatureTick);
    Changed();
}

void TMidiPosition::SetBarBeatTick(std::int32_t bar, std::int32_t beat, std::int32_t tick) {
    if (std::tie(bar, beat, tick) < std::tie(m_bar, m_beat, m_tickInBeat))
        Reset();
    const auto sinceSignature = [&] {
        return (std::int64_t{bar} - m_signatureBar) * m_ticksPerBar +
               std::int64_t{beat} * m_ticksPerBeat + tick;
    };
    std::int64_t target = sinceSignature();
    if (target < 0)
        return;
    while (mapEventDue(m_signatureTick + target)) {
        std::int64_t shift = 0;
        if (applyNextMapEvent(m_ppqn, shift) == MapEvent::Signature)
            target = sinceSignature();
    }
    derivePosition(target);
    deriveTime();
    Changed();
}

std::int32_t TMidiPosition::SongLength() const {
    std::int32_t length = 0;
    if (!m_data)
        return length;
    for (std::int32_t t = 0; t < m_data->TrackCount(); ++t) {
        const auto events = m_data->Tracks(t)->events();
        auto last = static_cast<std::ptrdiff_t>(events.size()) - 1;
        while (last >= 0 && (events[static_cast<std::size_t>(last)].status() & 0xF0u) == 0xF0)
            --last;
        if (last >= 0)
            length = std::max(length, events[static_cast<std::size_t>(last)].position);
    }
    return length;
}

} // namespace cantorix::midi
