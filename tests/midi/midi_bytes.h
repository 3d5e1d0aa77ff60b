#pragma once
// Builds Standard MIDI File bytes for the tests: track bodies event by event, header and track
// chunks, and the RIFF wrapping of ".rmi" files.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace cantorix::midi::test {

using Bytes = std::vector<std::uint8_t>;

inline void appendVarLen(Bytes& out, std::uint32_t value) {
    std::uint8_t groups[5];
    int count = 0;
    do {
        groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 1)
        out.push_back(static_cast<std::uint8_t>(0x80 | groups[--count]));
    out.push_back(groups[0]);
}

inline void appendBE(Bytes& out, std::uint32_t value, int width) {
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void appendTag(Bytes& out, const char* tag) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(tag[i]));
}

// A track body: each call appends one delta time and the bytes that follow it.
class TrackBody {
public:
    TrackBody& event(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes) {
        appendVarLen(m_bytes, delta);
        m_bytes.insert(m_bytes.end(), bytes);
        return *this;
    }
    TrackBody& meta(std::uint32_t delta, std::uint8_t type, const Bytes& data) {
        appendVarLen(m_bytes, delta);
        m_bytes.push_back(0xFF);
        m_bytes.push_back(type);
        appendVarLen(m_bytes, static_cast<std::uint32_t>(data.size()));
        m_bytes.insert(m_bytes.end(), data.begin(), data.end());
        return *this;
    }
    TrackBody& text(std::uint32_t delta, std::uint8_t type, const std::string& text) {
        return meta(delta, type, Bytes(text.begin(), text.end()));
    }
    TrackBody& sysex(std::uint32_t delta, std::uint8_t status, const Bytes& data) {
        appendVarLen(m_bytes, delta);
        m_bytes.push_back(status);
        appendVarLen(m_bytes, static_cast<std::uint32_t>(data.size()));
        m_bytes.insert(m_bytes.end(), data.begin(), data.end());
        return *this;
    }
    TrackBody& tempo(std::uint32_t delta, std::uint32_t microseconds) {
        return meta(delta, 0x51,
                    {static_cast<std::uint8_t>(microseconds >> 16),
                     static_cast<std::uint8_t>(microseconds >> 8),
                     static_cast<std::uint8_t>(microseconds)});
    }
    TrackBody& signature(std::uint32_t delta, std::uint8_t numerator, std::uint8_t exponent) {
        return meta(delta, 0x58, {numerator, exponent, 24, 8});
    }
    TrackBody& end(std::uint32_t delta = 0) { return meta(delta, 0x2F, {}); }

    const Bytes& bytes() const { return m_bytes; }
    // "MTrk", the body length and the body.
    Bytes chunk() const {
        Bytes out;
        appendTag(out, "MTrk");
        appendBE(out, static_cast<std::uint32_t>(m_bytes.size()), 4);
        out.insert(out.end(), m_bytes.begin(), m_bytes.end());
        return out;
    }

private:
    Bytes m_bytes;
};

struct Header {
    std::uint16_t format = 1;
    int trackCount = -1; // -1: the number of chunks given
    std::uint16_t division = 96;
    Bytes extra; // header bytes after the first six

    Header& withFormat(std::uint16_t value) {
        format = value;
        return *this;
    }
    Header& withTrackCount(int value) {
        trackCount = value;
        return *this;
    }
    Header& withDivision(std::uint16_t value) {
        division = value;
        return *this;
    }
    Header& withExtra(Bytes value) {
        extra = std::move(value);
        return *this;
    }
};

inline Bytes midiFile(const std::vector<Bytes>& chunks, const Header& header = {}) {
    Bytes out;
    appendTag(out, "MThd");
    appendBE(out, static_cast<std::uint32_t>(6 + header.extra.size()), 4);
    appendBE(out, header.format, 2);
    appendBE(out,
             header.trackCount < 0 ? static_cast<std::uint32_t>(chunks.size())
                                   : static_cast<std::uint32_t>(header.trackCount),
             2);
    appendBE(out, header.division, 2);
    out.insert(out.end(), header.extra.begin(), header.extra.end());
    for (const Bytes& chunk : chunks)
        out.insert(out.end(), chunk.begin(), chunk.end());
    return out;
}

inline Bytes midiFile(const std::vector<TrackBody>& tracks, const Header& header = {}) {
    std::vector<Bytes> chunks;
    for (const TrackBody& t : tracks)
        chunks.push_back(t.chunk());
    return midiFile(chunks, header);
}

// A RIFF chunk: id, little-endian size, data, and the pad byte of an odd size.
inline Bytes riffChunk(const char* id, const Bytes& data) {
    Bytes out;
    appendTag(out, id);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(data.size() >> shift));
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() % 2)
        out.push_back(0);
    return out;
}

// A "RIFF" chunk of the given form type holding the given chunks.
inline Bytes riffForm(const char* formType, const std::vector<Bytes>& chunks) {
    Bytes body;
    appendTag(body, formType);
    for (const Bytes& chunk : chunks)
        body.insert(body.end(), chunk.begin(), chunk.end());
    return riffChunk("RIFF", body);
}

} // namespace cantorix::midi::test
