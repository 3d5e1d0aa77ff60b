// Feeds arbitrary bytes to the MIDI file reader, plain, as a RIFF file of its own and wrapped in
// an "RMID" form: a load either yields consistent tracks or throws an EMidiLoadError and leaves
// the data empty. Loaded data is then walked with a position in ticks, time and bars.

#include "midi/midi_data.h"
#include "midi/midi_errors.h"
#include "midi/midi_position.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace cantorix::midi;

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

void appendLE32(std::vector<std::uint8_t>& out, std::size_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::vector<std::uint8_t> wrapInRiff(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> out{'R', 'I', 'F', 'F'};
    appendLE32(out, 12 + size);
    out.insert(out.end(), {'R', 'M', 'I', 'D', 'd', 'a', 't', 'a'});
    appendLE32(out, size);
    out.insert(out.end(), data, data + size);
    return out;
}

void checkTrack(const TMidiTrackStream& track) {
    require(track.EventCount() >= 1);
    require(static_cast<std::size_t>(track.EventCount()) <= TMidiTrackStream::kEventCapacity);
    require(track.Events(track.EventCount()) == nullptr && track.Events(-1) == nullptr);
    for (std::int32_t i = 0; i < track.EventCount(); ++i) {
        const TMidiEvent& e = *track.Events(i);
        const auto block = track.block(e);
        if (e.event.isMeta()) {
            require(!block.empty() && block.size() == e.blockSize);
            require(e.dataLength == std::min<std::size_t>(block.size(), 0xFFFF));
        } else if (e.event.isSysex()) {
            require(block.size() == e.blockSize);
            require(e.dataLength == std::min<std::size_t>(block.size(), 0xFFFF));
        } else {
            require(block.empty() && e.dataLength == 0);
        }
        if (e.partner != kNoPartner) {
            const TMidiEvent* other = track.Events(e.partner);
            require(other && other->partner == i && other->event.data1 == e.event.data1);
            require(e.event.isNoteOn() != other->event.isNoteOn());
        }
    }
    require(track.TrackName().find('\0') == std::string::npos);
}

void walkPositions(const TMidiData& data, const std::uint8_t* bytes, std::size_t size) {
    TMidiPosition position(&data);
    const std::int32_t length = position.SongLength();
    position.GoToEnd();
    require(position.Ticks() == length || length < 0);
    const std::int32_t end = position.Time();
    position.SetTime(end / 2);
    require(position.Time() == end / 2);
    position.SetTicks(length / 3);
    const std::int32_t bar = size > 0 ? bytes[size - 1] : 0;
    position.SetBarBeatTick(bar, bar % 5, bar * 7);
    position.SetBarBeatTick(0, 0, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0] % 3;
    ++data;
    --size;
    std::vector<std::uint8_t> bytes =
        mode == 2 ? wrapInRiff(data, size) : std::vector<std::uint8_t>(data, data + size);
    TMidiData midi;
    try {
        midi.load(bytes, mode == 0 ? "fuzz.mid" : "fuzz.rmi");
    } catch (const EMidiLoadError&) {
        require(!midi.Active() && midi.TrackCount() == 0 && midi.PPQN() == 180);
        return 0;
    }
    require(midi.Active() && midi.TrackCount() == midi.headerTrackCount());
    for (std::int32_t t = 0; t < midi.TrackCount(); ++t)
        checkTrack(*midi.Tracks(t));
    walkPositions(midi, data, size);
    return 0;
}
