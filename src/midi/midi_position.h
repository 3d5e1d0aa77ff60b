#pragma once
// A position in a TMidiData: ticks, whole milliseconds and bar/beat/tick, kept in step by walking
// the tempo map (tempo and time-signature events of track 0) forwards. The editor owns one for
// its time conversions; the player's iterator derives from it and moves on the timer thread.
// All arithmetic is integer and truncates at every step, so times match the editor's tables.

#include "midi_data.h"

#include <cstdint>
#include <span>

namespace cantorix::midi {

class TMidiPosition {
public:
    static constexpr std::int32_t kDefaultTempoMs = 600;
    static constexpr std::int32_t kDefaultNumerator = 4;
    static constexpr std::int32_t kDefaultDenominatorExponent = 2;

    explicit TMidiPosition(const TMidiData* data = nullptr);
    virtual ~TMidiPosition() = default;
    TMidiPosition(const TMidiPosition&) = delete;
    TMidiPosition& operator=(const TMidiPosition&) = delete;

    // Back to tick 0 of the data with the default tempo and signature; the map is replayed.
    virtual void Reset();
    // Called after every move; the player's iterator sends the events passed.
    virtual void Changed() {}

    const TMidiData* MidiData() const { return m_data; }
    // Binds other data (or none) and returns to the same tick position under its tempo map.
    void SetMidiData(const TMidiData* data);

    // Moving backwards replays the map from the start; forwards continues from the map index.
    void SetTicks(std::int32_t ticks);
    void SetTime(std::int32_t milliseconds);
    // Bars and beats count from 0.
    void SetBarBeatTick(std::int32_t bar, std::int32_t beat, std::int32_t tick);
    // The largest position of a last channel event over all tracks; 0 without data.
    std::int32_t SongLength() const;
    void GoToEnd() { SetTicks(SongLength()); }

    std::int32_t Ticks() const { return m_ticks; }
    std::int32_t Time() const { return m_time; }
    std::int32_t Bar() const { return m_bar; }
    std::int32_t Beat() const { return m_beat; }
    std::int32_t TickInBeat() const { return m_tickInBeat; }

    std::int32_t ppqn() const { return m_ppqn; }
    std::int32_t tempo() const { return m_tempo; } // milliseconds per quarter note
    std::int32_t tempoTick() const { return m_tempoTick; }
    std::int32_t tempoTime() const { return m_tempoTime; }
    std::int32_t numerator() const { return m_numerator; }
    std::int32_t denominatorExponent() const { return m_denominatorExponent; }
    std::int32_t signatureTick() const { return m_signatureTick; }
    std::int32_t signatureBar() const { return m_signatureBar; }
    std::int32_t ticksPerBeat() const { return m_ticksPerBeat; }
    std::int32_t ticksPerBar() const { return m_ticksPerBar; }
    std::int32_t mapIndex() const { return m_mapIndex; }

private:
    enum class MapEvent { Other, Tempo, Signature };

    void resetFields();
    const TMidiTrackStream* tempoTrack() const;
    // Whether track 0 has a map event not yet applied at or before `tick`.
    bool mapEventDue(std::int64_t tick) const;
    // Applies the event at the map index and advances it. `signatureShift` receives the ticks
    // from the previous signature change to a new one.
    MapEvent applyNextMapEvent(std::int32_t ppqn, std::int64_t& signatureShift);
    void applyTempo(std::int32_t position, std::span<const std::uint8_t> data, std::int32_t ppqn);
    std::int64_t applySignature(std::int32_t position, std::span<const std::uint8_t> data);
    void updateBeatSizes();
    // Sets Ticks, Bar, Beat and TickInBeat from ticks past the last signature change.
    void derivePosition(std::int64_t sinceSignature);
    void deriveTime();

    const TMidiData* m_data = nullptr;
    std::int32_t m_ticks = 0;
    std::int32_t m_time = 0;
    std::int32_t m_ppqn = TMidiData::kEmptyPpqn;
    std::int32_t m_tempo = kDefaultTempoMs;
    std::int32_t m_tempoTick = 0;
    std::int32_t m_tempoTime = 0;
    std::int32_t m_numerator = kDefaultNumerator;
    std::int32_t m_denominatorExponent = kDefaultDenominatorExponent;
    std::int32_t m_signatureTick = 0;
    std::int32_t m_signatureBar = 0;
    std::int32_t m_ticksPerBeat = TMidiData::kEmptyPpqn;
    std::int32_t m_ticksPerBar = 4 * TMidiData::kEmptyPpqn;
    std::int32_t m_bar = 0;
    std::int32_t m_beat = 0;
    std::int32_t m_tickInBeat = 0;
    std::int32_t m_mapIndex = 0;
};

} // namespace cantorix::midi
