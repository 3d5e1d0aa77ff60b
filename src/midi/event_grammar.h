#pragma once
// The event grammar of a track chunk, walked by both passes of the track reader. The sink hears
// each event in file order:
//   channel(position, status, data1, data2)   80-EF, running status resolved
//   sysex(position, status, data)             F0 or F7, data as stored after the length
//   meta(position, type, data)                FF
//   system(position, status)                  F1-FE except F7, no data bytes
// Internal to the MIDI reader.

#include "byte_reader.h"
#include "midi_errors.h"

#include <cstdint>
#include <span>

namespace cantorix::midi::detail {

inline bool hasSecondDataByte(std::uint8_t status) {
    const std::uint8_t kind = status & 0xF0u;
    return kind != 0xC0 && kind != 0xD0;
}

template <typename Sink> void walkEvents(std::span<const std::uint8_t> chunk, Sink& sink) {
    ByteReader reader(chunk);
    // Positions wrap as a 32-bit register would; the record keeps them as signed ticks.
    std::uint32_t position = 0;
    int runningStatus = -1;
    bool sysexOpen = false;
    while (!reader.atEnd()) {
        position += reader.readVarLen();
        const auto tick = static_cast<std::int32_t>(position);
        const std::uint8_t first = reader.readByte();
        if (sysexOpen && first != 0xF7)
            throw EMidiTrackStream("Error in Sysex");
        sysexOpen = false;

        std::uint8_t status = first;
        std::uint8_t data1 = 0;
        const bool newStatus = (first & 0x80u) != 0;
        if (!newStatus) {
            if (runningStatus < 0)
                throw EMidiTrackStream("Error in Running Status");
            status = static_cast<std::uint8_t>(runningStatus);
            data1 = first;
        }

        if (status < 0xF0) {
            if (newStatus) {
                data1 = reader.readByte();
                runningStatus = status;
            }
            const std::uint8_t data2 = hasSecondDataByte(status) ? reader.readByte() : 0;
            sink.channel(tick, status, data1, data2);
        } else if (status == 0xF0 || status == 0xF7) {
            const auto data = reader.readSpan(reader.readVarLen());
            // The next event must continue the sysex unless this one ends it.
            sysexOpen = data.empty() || data.back() != 0xF7;
            sink.sysex(tick, status, data);
        } else if (status == 0xFF) {
            const std::uint8_t type = reader.readByte();
            const auto data = reader.readSpan(reader.readVarLen());
            sink.meta(tick, type, data);
        } else {
            sink.system(tick, status);
        }
    }
}

} // namespace cantorix::midi::detail
