#include "midi_data.h"

#include "base/regular_file.h"
#include "byte_reader.h"
#include "midi_errors.h"
#include "riff_chunk_reader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace cantorix::midi {

void TMidiData::setActive(bool active) {
    if (active == m_active)
        return;
    if (!active) {
        clear();
        return;
    }
    if (m_fileName.empty()) {
        clear();
        m_active = true;
        return;
    }
    std::vector<std::uint8_t> bytes;
    try {
        bytes = readMidiFileBytes(m_fileName);
    } catch (...) {
        clear();
        throw;
    }
    load(bytes, m_fileName);
}

void TMidiData::load(std::span<const std::uint8_t> fileBytes, std::string_view fileName) {
    clear();
    try {
        parse(isRiffMidiFileName(fileName) ? unwrapRiffMidi(fileBytes) : fileBytes);
    } catch (...) {
        clear();
        throw;
    }
    m_active = true;
}

void TMidiData::parse(std::span<const std::uint8_t> midiBytes) {
    ByteReader file(midiBytes);
    if (!file.readTag("MThd"))
        throw EMidiData("Invalid MIDI file ID");
    const std::uint32_t headerSize = file.readU32BE();
    if (headerSize <= 5)
        throw EMidiData("Invalid MIDI header size");
    m_format = file.readU16BE();
    m_headerTrackCount = file.readU16BE();
    m_division = file.readU16BE();
    const auto extra = file.readSpan(headerSize - 6);
    m_extraHeader.assign(extra.begin(), extra.end());
    // Each track chunk must follow the previous one directly; later chunks stay unread.
    m_tracks.reserve(std::min<std::size_t>(m_headerTrackCount, file.remaining() / 8));
    for (std::uint16_t i = 0; i < m_headerTrackCount; ++i)
        m_tracks.push_back(std::make_unique<TMidiTrackStream>(file));
}

void TMidiData::clear() {
    m_tracks.clear();
    m_extraHeader.clear();
    m_format = kEmptyFormat;
    m_headerTrackCount = 0;
    m_division = kEmptyPpqn;
    m_active = false;
}

const TMidiTrackStream* TMidiData::Tracks(std::int32_t index) const {
    if (index < 0 || index >= TrackCount())
        return nullptr;
    return m_tracks[static_cast<std::size_t>(index)].get();
}

bool isRiffMidiFileName(std::string_view fileName) {
    const std::size_t slash = fileName.find_last_of('/');
    const std::string_view base =
        slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot == std::string_view::npos)
        return false;
    std::string extension(base.substr(dot));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return extension == ".RMI" || extension == ".RIFF";
}

std::span<const std::uint8_t> unwrapRiffMidi(std::span<const std::uint8_t> riffBytes) {
    const auto form = RiffChunkReader::findForm(riffBytes, "RMID");
    if (!form)
        throw ERiffError("Unable to descend into RMID");
    const auto data = RiffChunkReader::findChunk(*form, "data");
    if (!data)
        throw ERiffError("Unable to descend into data");
    return *data;
}

std::vector<std::uint8_t> readMidiFileBytes(const std::string& fileName) {
    // MIDI files are kilobytes; the cap keeps a stray huge file from taking the memory.
    constexpr std::size_t kMaxMidiFileBytes = 64 * 1024 * 1024;
    std::error_code ignored;
    // A directory is no file to the user: said as the system says it.
    const bool directory = std::filesystem::is_directory(fileName, ignored);
    std::string bytes, reason;
    const base::ReadOutcome outcome =
        directory ? base::ReadOutcome::NotOpened
                  : base::readRegularFileInto(fileName, kMaxMidiFileBytes, bytes, reason);
    if (outcome == base::ReadOutcome::ReadFailed)
        throw EReadError("Stream read error");
    if (outcome != base::ReadOutcome::Read) {
        if (isRiffMidiFileName(fileName) && outcome == base::ReadOutcome::NotOpened)
            throw ERiffError("Unable to open " + fileName);
        if (directory)
            reason = std::generic_category().message(EISDIR);
        reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
    }
    return {bytes.begin(), bytes.end()};
}

} // namespace cantorix::midi
