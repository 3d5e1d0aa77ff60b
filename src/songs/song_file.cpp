#include "songs/song_file.h"

#include "songs/number_text.h"
#include "songs/song_errors.h"
#include "songs/song_lines.h"

#include <algorithm>
#include <optional>

namespace cantorix::songs {

namespace {

constexpr std::size_t kNoBreak = static_cast<std::size_t>(-1);

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::ranges::equal(a, b, {}, lower, lower);
}

// The value after the first colon of the first line whose text before that colon is the tag;
// empty when no line has the tag.
std::string_view findTag(const std::vector<std::string_view>& lines, std::string_view tag) {
    for (const std::string_view line : lines) {
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && equalsIgnoringCase(line.substr(0, colon), tag))
            return line.substr(colon + 1);
    }
    return {};
}

// The first line is header whatever it holds; an empty line has no first character and so
// does not end the header.
std::int32_t headerLineCountOf(const std::vector<std::string_view>& lines) {
    for (std::size_t i = 1; i < lines.size(); ++i)
        if (!lines[i].empty() && lines[i][0] != '#')
            return static_cast<std::int32_t>(i);
    return 0;
}

// The texts of a note line: three numbers, each ended by one space, then a non-empty syllable.
// Fields are cut at spaces only. The second and third fields start at the space that ended the
// field before, which the integer parse skips, so "10  4" yields the field " " that fails to
// parse and is quoted as it stands.
struct NoteFields {
    std::string_view start;
    std::string_view length;
    std::string_view pitch;
    std::string_view syllable;
};

// Empty for a note line with fewer than three numbers or an empty syllable: such a line is
// skipped and takes no record, so the records stay contiguous.
std::optional<NoteFields> noteFieldsOf(std::string_view line) {
    const std::size_t end1 = line.find(' ', 2);
    if (end1 == std::string_view::npos)
        return std::nullopt;
    const std::size_t end2 = line.find(' ', end1 + 1);
    if (end2 == std::string_view::npos)
        return std::nullopt;
    const std::size_t end3 = line.find(' ', end2 + 1);
    if (end3 == std::string_view::npos || end3 + 1 == line.size())
        return std::nullopt;
    return NoteFields{line.substr(2, end1 - 2), line.substr(end1, end2 - end1),
                      line.substr(end2, end3 - end2), line.substr(end3 + 1)};
}

bool isNoteLine(std::string_view line) {
    return line[0] == ':' || line[0] == '*';
}

bool takesRecord(std::string_view line) {
    return !line.empty() && (!isNoteLine(line) || noteFieldsOf(line).has_value());
}

// Refuses, before the load changes anything, a text the record table cannot hold.
std::int32_t checkShape(const std::vector<std::string_view>& lines) {
    if (lines.size() < 2)
        throw ESongFileError("The song file has fewer than two lines");
    const std::int32_t headerLineCount = headerLineCountOf(lines);
    const auto records = std::count_if(lines.begin() + headerLineCount, lines.end(), takesRecord);
    if (static_cast<std::size_t>(records) > kSongRecordCount)
        throw ESongFileError("The song file has more than " + std::to_string(kSongRecordCount) +
                             " lines after its header");
    return headerLineCount;
}

// Each number is stored as soon as it is read, so a bad later field leaves the earlier ones.
void readNote(const NoteFields& fields, SongRecord& record) {
    record.startBeat = parseIntegerText(fields.start);
    record.length = static_cast<std::uint8_t>(parseIntegerText(fields.length));
    record.pitch = static_cast<std::uint8_t>(parseIntegerText(fields.pitch));
    record.syllable = std::string(fields.syllable);
}

// The folder and a file name taken from the song text, joined as text: a value starting with
// "/" must not replace the folder, and spaces in the value are kept.
std::filesystem::path songFolderFile(const std::filesystem::path& folder, std::string_view name) {
    std::string joined = folder.native();
    if (!joined.empty() && joined.back() != '/')
        joined += '/';
    joined += name;
    return joined;
}

} // namespace

SongFile::SongFile() : m_songRecords(kSongRecordCount) {}

std::string SongFile::displayText(std::string_view bytes) const {
    return toDisplayText(bytes, m_encoding);
}

void SongFile::load(std::string_view bytes, const std::filesystem::path& songFolder,
                    const std::filesystem::path& songFile) {
    const std::string_view text = songTextOf(bytes);
    const std::vector<std::string_view> lines = splitSongLines(text);
    const std::int32_t headerLineCount = checkShape(lines);

    m_songFilePath = songFolder / songFile;
    m_encoding = detectTextEncoding(text);
    readTags(lines, songFolder);

    m_gapValue = parseIntegerText(findTag(lines, "#GAP"));
    m_gapDivisor = m_gapValue > 1000 ? 100 : 1;
    m_bpm = parseDecimalCommaText(findTag(lines, "#BPM"));

    // Entries past those an earlier load wrote are still empty: clearing them would be wasted.
    std::fill_n(m_songRecords.begin(), m_writtenRecords, SongRecord{});
    m_writtenRecords = 0;
    m_recordCount = 0;
    m_headerLineCount = headerLineCount;
    readBody(lines);
    computeOctaveBand(lines.size());
    m_leadInTime = static_cast<double>(m_gapValue) / m_gapDivisor + m_songRecords[0].startBeat;
}

void SongFile::readTags(const std::vector<std::string_view>& lines,
                        const std::filesystem::path& songFolder) {
    m_mp3Value = std::string(findTag(lines, "#MP3"));
    m_audioPath = songFolderFile(songFolder, m_mp3Value);
    m_songArtist = std::string(findTag(lines, "#ARTIST"));
    m_songTitle = std::string(findTag(lines, "#TITLE"));
    m_videoValue = std::string(findTag(lines, "#VIDEO"));
    m_videoPath =
        m_videoValue.empty() ? std::filesystem::path() : songFolderFile(songFolder, m_videoValue);
}

void SongFile::readBody(const std::vector<std::string_view>& lines) {
    std::size_t latestBreak = kNoBreak;
    std::size_t record = 0;
    for (std::size_t i = static_cast<std::size_t>(m_headerLineCount); i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (!takesRecord(line))
            continue;
        m_writtenRecords = record + 1;
        if (line[0] == '-')
            readBreakLine(line, record, latestBreak);
        else if (isNoteLine(line))
            readNote(*noteFieldsOf(line), m_songRecords[record]);
        m_recordCount = ++record;
    }
}

// Only the last break of the file keeps the end-of-lyrics mark: each break takes it over from
// the one before.
void SongFile::readBreakLine(std::string_view line, std::size_t record, std::size_t& latestBreak) {
    if (latestBreak != kNoBreak)
        m_songRecords[latestBreak].pitch = 0;
    SongRecord& entry = m_songRecords[record];
    entry.isBreak = true;
    // Further leading spaces are the parse's to skip; a failure quotes the number as written,
    // without the one space that separates it from the "-".
    std::string_view number = line.substr(1);
    if (number.starts_with(' '))
        number.remove_prefix(1);
    entry.startBeat = parseIntegerText(number);
    entry.pitch = kLastBreakPitch;
    latestBreak = record;
}

// m is the mean pitch per line of the whole file (real division), lowered by one and by the
// header length; a song pitched too high for every band keeps the band of the song before it.
void SongFile::computeOctaveBand(std::size_t lineCount) {
    const auto headerLines = static_cast<std::size_t>(m_headerLineCount);
    const std::size_t covered = std::min(lineCount - headerLines, kSongRecordCount);
    std::int64_t pitchSum = 0;
    for (std::size_t k = 0; k < covered; ++k)
        pitchSum += m_songRecords[k].pitch;
    const double m =
        static_cast<double>(pitchSum) / static_cast<double>(lineCount) - 1.0 - m_headerLineCount;
    if (m < 48)
        m_octaveBand = 4;
    if (m < 36)
        m_octaveBand = 3;
    if (m < 24)
        m_octaveBand = 2;
    if (m < 12)
        m_octaveBand = 1;
}

} // namespace cantorix::songs
