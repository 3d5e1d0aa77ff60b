#include "midi_track_stream.h"

#include "event_grammar.h"
#include "midi_errors.h"

#include <algorithm>
#include <array>
#include <limits>

namespace cantorix::midi {

namespace {

std::uint16_t saturatedLength(std::size_t length) {
    return static_cast<std::uint16_t>(std::min<std::size_t>(length, 0xFFFF));
}

} // namespace

// The counting pass: how many records and block bytes the filling pass will need.
struct TMidiTrackStream::Census {
    std::size_t events = 0;
    std::size_t blockBytes = 0;
    bool endOfTrack = false;
    bool sawChannel = false;
    bool sawProgram = false;
    std::uint8_t firstProgram = 0;
    std::uint8_t firstChannel = 0;

    void channel(std::int32_t, std::uint8_t status, std::uint8_t data1, std::uint8_t) {
        ++events;
        if (!sawChannel) {
            sawChannel = true;
            firstChannel = status & 0x0Fu;
        }
        if ((status & 0xF0u) == 0xC0 && !sawProgram) {
            sawProgram = true;
            firstProgram = data1;
        }
    }
    void sysex(std::int32_t, std::uint8_t, std::span<const std::uint8_t> data) {
        ++events;
        blockBytes += data.size();
    }
    void meta(std::int32_t, std::uint8_t type, std::span<const std::uint8_t> data) {
        ++events;
        blockBytes += 1 + data.size();
        endOfTrack = endOfTrack || type == kMetaEndOfTrack;
    }
    void system(std::int32_t, std::uint8_t) { ++events; }
};

// The filling pass: writes the records and the data blocks and finds the name event.
struct TMidiTrackStream::Filler {
    TMidiTrackStream& track;

    TMidiEvent& append(std::int32_t position, std::uint8_t status) {
        TMidiEvent& record = track.m_events.emplace_back();
        record.position = position;
        record.event.status = status;
        return record;
    }
    void channel(std::int32_t position, std::uint8_t status, std::uint8_t data1,
                 std::uint8_t data2) {
        TMidiEvent& record = append(position, status);
        record.event.data1 = data1;
        record.event.data2 = data2;
    }
    void sysex(std::int32_t position, std::uint8_t status, std::span<const std::uint8_t> data) {
        TMidiEvent& record = append(position, status);
        record.dataLength = saturatedLength(data.size());
        record.blockOffset = static_cast<std::uint32_t>(track.m_blocks.size());
        record.blockSize = static_cast<std::uint32_t>(data.size());
        track.m_blocks.insert(track.m_blocks.end(), data.begin(), data.end());
    }
    void meta(std::int32_t position, std::uint8_t type, std::span<const std::uint8_t> data) {
        TMidiEvent& record = append(position, 0xFF);
        record.dataLength = saturatedLength(data.size() + 1);
        record.blockOffset = static_cast<std::uint32_t>(track.m_blocks.size());
        record.blockSize = static_cast<std::uint32_t>(data.size() + 1);
        track.m_blocks.push_back(type);
        track.m_blocks.insert(track.m_blocks.end(), data.begin(), data.end());
        const auto index = static_cast<std::int32_t>(track.m_events.size() - 1);
        if (type == kMetaTrackName || (type == kMetaText && track.m_nameEvent < 0))
            track.m_nameEvent = index;
    }
    void system(std::int32_t position, std::uint8_t status) { append(position, status); }
};

TMidiTrackStream::TMidiTrackStream(ByteReader& file) {
    if (!file.readTag("MTrk"))
        throw EMidiTrackStream("Invalid track start ID");
    const std::uint32_t length = file.readU32BE();
    readEvents(file.readSpan(length));
    pairNotes();
}

void TMidiTrackStream::readEvents(std::span<const std::uint8_t> chunk) {
    Census census;
    detail::walkEvents(chunk, census);
    const std::size_t records = census.events + (census.endOfTrack ? 0 : 1);
    if (records > kEventCapacity)
        throw EVirtualMemory("Size exceeds capacity");
    // Block offsets are 32-bit; only a chunk of more than 4 GiB could overflow them.
    if (census.blockBytes + 1 > std::numeric_limits<std::uint32_t>::max())
        throw EVirtualMemory("Size exceeds capacity");
    m_events.reserve(records);
    m_blocks.reserve(census.blockBytes + (census.endOfTrack ? 0 : 1));
    m_firstProgram = census.firstProgram;
    m_firstChannel = census.firstChannel;

    Filler filler{*this};
    detail::walkEvents(chunk, filler);
    if (!census.endOfTrack) {
        const std::int32_t last = m_events.empty() ? 0 : m_events.back().position;
        filler.meta(last, kMetaEndOfTrack, {});
    }
}

void TMidiTrackStream::pairNotes() {
    struct OpenNotes {
        std::array<std::int32_t, kPairingDepth> records{};
        std::size_t count = 0;
    };
    // Channels are not told apart: one stack per note number.
    std::array<OpenNotes, 128> open{};
    for (std::size_t i = 0; i < m_events.size(); ++i) {
        TMidiEvent& record = m_events[i];
        const TEventData& e = record.event;
        if (e.data1 >= open.size() || (!e.isNoteOn() && !e.isNoteOff()))
            continue;
        OpenNotes& stack = open[e.data1];
        if (e.isNoteOn()) {
            if (stack.count < kPairingDepth)
                stack.records[stack.count++] = static_cast<std::int32_t>(i);
        } else if (stack.count > 0) {
            const std::int32_t on = stack.records[--stack.count];
            m_events[static_cast<std::size_t>(on)].partner = static_cast<std::int32_t>(i);
            record.partner = on;
        }
    }
}

const TMidiEvent* TMidiTrackStream::Events(std::int32_t index) const {
    if (index < 0 || index >= EventCount())
        return nullptr;
    return &m_events[static_cast<std::size_t>(index)];
}

std::span<const std::uint8_t> TMidiTrackStream::block(const TMidiEvent& event) const {
    if ((!event.event.isMeta() && !event.event.isSysex()) || event.blockOffset > m_blocks.size() ||
        event.blockSize > m_blocks.size() - event.blockOffset)
        return {};
    return std::span<const std::uint8_t>(m_blocks).subspan(event.blockOffset, event.blockSize);
}

std::span<const std::uint8_t> TMidiTrackStream::metaData(const TMidiEvent& event) const {
    const auto data = block(event);
    return event.event.isMeta() && !data.empty() ? data.subspan(1) : data.first(0);
}

std::string TMidiTrackStream::TrackName() const {
    const TMidiEvent* name = nameEvent();
    if (!name || name->dataLength == 0)
        return {};
    const auto text = metaData(*name);
    const auto end = std::find(text.begin(), text.end(), std::uint8_t{0});
    return std::string(text.begin(), end);
}

} // namespace cantorix::midi
