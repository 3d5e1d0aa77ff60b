#pragma once
// One track of a MIDI file: its event records in file order, the data blocks of its sysex and
// meta events, its name event and its first program and channel. Built once from a track chunk
// and then only read (by the editor, the position and the player's timer thread alike).

#include "byte_reader.h"
#include "midi_event.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace cantorix::midi {

class TMidiTrackStream {
public:
    // Room of every track's record array; a track with more events is refused.
    static constexpr std::size_t kEventCapacity = 100000;
    // Open note-ons remembered per note number while pairing; further ones stay unpaired.
    static constexpr std::size_t kPairingDepth = 5;

    // Reads one track chunk ("MTrk", its length, its events) at the reader's position.
    // Throws EMidiTrackStream, EVirtualMemory or EReadError.
    explicit TMidiTrackStream(ByteReader& file);

    std::int32_t EventCount() const { return static_cast<std::int32_t>(m_events.size()); }
    // The record at `index`, or nullptr outside 0 … EventCount - 1.
    const TMidiEvent* Events(std::int32_t index) const;
    std::span<const TMidiEvent> events() const { return m_events; }

    // The data block of a sysex or meta event of this track (meta: type byte first); empty for
    // other events.
    std::span<const std::uint8_t> block(const TMidiEvent& event) const;
    // A meta event's data after its type byte.
    std::span<const std::uint8_t> metaData(const TMidiEvent& event) const;

    // The name event's data without its type byte, cut at its first zero byte; raw bytes.
    std::string TrackName() const;
    // The last track-name meta event, else the first text meta event; nullptr when neither.
    const TMidiEvent* nameEvent() const { return Events(m_nameEvent); }

    // Data byte of the first program change and low nibble of the first channel event's status,
    // 0 when the track has none.
    std::uint8_t firstProgram() const { return m_firstProgram; }
    std::uint8_t firstChannel() const { return m_firstChannel; }

private:
    struct Census;
    struct Filler;

    void readEvents(std::span<const std::uint8_t> chunk);
    void pairNotes();

    std::vector<TMidiEvent> m_events;
    std::vector<std::uint8_t> m_blocks;
    std::int32_t m_nameEvent = -1;
    std::uint8_t m_firstProgram = 0;
    std::uint8_t m_firstChannel = 0;
};

} // namespace cantorix::midi
