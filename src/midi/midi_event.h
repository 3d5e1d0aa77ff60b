#pragma once
// The record of one event of a MIDI track, and the status-plus-data view (`TEventData`) that the
// output ports send. Records live in their track's array; partners are indices into it and the
// data of sysex and meta events lies in a block owned by the track.

#include <cstdint>

namespace cantorix::midi {

// Status and the first two data bytes of an event. For a channel event, shortMessage() is the
// word a MIDI output sends: status in the low byte, then the data bytes.
struct TEventData {
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;

    constexpr std::uint32_t shortMessage() const {
        return std::uint32_t{status} | (std::uint32_t{data1} << 8) | (std::uint32_t{data2} << 16);
    }
    constexpr std::uint8_t kind() const { return status & 0xF0u; }
    constexpr std::uint8_t channel() const { return status & 0x0Fu; }
    // 9n with a non-zero velocity.
    constexpr bool isNoteOn() const { return kind() == 0x90 && data2 != 0; }
    // 8n, or 9n with velocity 0.
    constexpr bool isNoteOff() const { return kind() == 0x80 || (kind() == 0x90 && data2 == 0); }
    constexpr bool isMeta() const { return status == 0xFF; }
    constexpr bool isSysex() const { return status == 0xF0 || status == 0xF7; }
};

inline constexpr std::int32_t kNoPartner = -1;
inline constexpr std::uint8_t kMetaText = 0x01;
inline constexpr std::uint8_t kMetaTrackName = 0x03;
inline constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
inline constexpr std::uint8_t kMetaTempo = 0x51;
inline constexpr std::uint8_t kMetaTimeSignature = 0x58;

struct TMidiEvent {
    std::int32_t position = 0; // absolute ticks from the start of the track
    // Sysex: the data byte count; meta: the data byte count plus one (the type byte); 0 for
    // other events. Saturates at 65535: the block itself always holds every byte.
    std::uint16_t dataLength = 0;
    TEventData event;                  // data1/data2 are 0 for sysex and meta events
    std::uint32_t blockOffset = 0;     // sysex and meta: where the data block starts in the track
    std::uint32_t blockSize = 0;       // its full size (meta: type byte plus data)
    std::int32_t partner = kNoPartner; // index of the paired note-on or note-off record

    std::uint8_t status() const { return event.status; }
};

} // namespace cantorix::midi
