#pragma once
// A Standard MIDI File in memory: the header as read and the tracks in file order. Loading
// either succeeds completely or leaves the data empty and inactive. Loaded data is only read,
// by the editor on the main thread and by the player's timer thread.

#include "midi_event.h"
#include "midi_track_stream.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::midi {

class TMidiData {
public:
    static constexpr std::uint16_t kEmptyFormat = 1;
    static constexpr std::uint16_t kEmptyPpqn = 180;

    TMidiData() = default;
    TMidiData(const TMidiData&) = delete;
    TMidiData& operator=(const TMidiData&) = delete;

    const std::string& FileName() const { return m_fileName; }
    void setFileName(std::string fileName) { m_fileName = std::move(fileName); }

    bool Active() const { return m_active; }
    // True: with a FileName, read that file (readMidiFileBytes) and load it; without one, become
    // active with no tracks. False: clear. Setting the current value does nothing.
    void setActive(bool active);

    // Loads MIDI file bytes as read from `fileName`, whose extension (".RMI", ".RIFF" in any
    // case) says whether they are RIFF-wrapped. Throws an EMidiLoadError; the data is then empty
    // and inactive.
    void load(std::span<const std::uint8_t> fileBytes, std::string_view fileName);
    // Frees the tracks and the extra header bytes and resets the header; inactive.
    void clear();

    std::int32_t TrackCount() const { return static_cast<std::int32_t>(m_tracks.size()); }
    // The track at `index`, or nullptr past either end.
    const TMidiTrackStream* Tracks(std::int32_t index) const;

    // The division word as ticks per quarter note (a time-code division is taken as a count).
    std::uint16_t PPQN() const { return m_division; }
    void setPPQN(std::uint16_t ppqn) { m_division = ppqn; }

    std::uint16_t format() const { return m_format; }
    std::uint16_t headerTrackCount() const { return m_headerTrackCount; }
    // Header bytes beyond the first six, kept as read.
    std::span<const std::uint8_t> extraHeader() const { return m_extraHeader; }

private:
    void parse(std::span<const std::uint8_t> midiBytes);

    std::string m_fileName;
    bool m_active = false;
    std::uint16_t m_format = kEmptyFormat;
    std::uint16_t m_headerTrackCount = 0;
    std::uint16_t m_division = kEmptyPpqn;
    std::vector<std::uint8_t> m_extraHeader;
    std::vector<std::unique_ptr<TMidiTrackStream>> m_tracks;
};

// Whether a file name's extension marks a RIFF-wrapped MIDI file.
bool isRiffMidiFileName(std::string_view fileName);

// The MIDI bytes inside RIFF data: the "data" chunk of the "RMID" form. Throws ERiffError.
std::span<const std::uint8_t> unwrapRiffMidi(std::span<const std::uint8_t> riffBytes);

// Reads a whole file for TMidiData. Throws EFOpenError ("Cannot open file …"), or ERiffError
// ("Unable to open …") for a RIFF-wrapped name, or EReadError.
std::vector<std::uint8_t> readMidiFileBytes(const std::string& fileName);

} // namespace cantorix::midi
