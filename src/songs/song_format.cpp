#include "songs/song_format.h"

#include "songs/standard_song_lines.h"

#include <algorithm>
#include <array>

namespace cantorix::songs {

namespace {

using namespace standard;

// The pitches the game's own files hold: the sung values scoring can meet, and -1 for notes
// that score while nobody sings.
constexpr std::array<std::int32_t, 26> kGamePitches = {-1, 10, 11, 12, 13, 14, 15, 16, 17,
                                                       18, 19, 21, 22, 23, 25, 26, 28, 30,
                                                       31, 33, 35, 38, 40, 42, 45, 48};

// Tags only the standard format knows.
constexpr std::array<std::string_view, 8> kStandardTags = {
    "VERSION", "RELATIVE", "ENCODING", "AUDIO", "P1", "P2", "DUETSINGERP1", "DUETSINGERP2"};

std::optional<SongFormat> overrideOf(const SongHeader& header) {
    const std::string_view value = header.find("CANTORIX-FORMAT");
    if (equalsIgnoringCase(value, "GAME"))
        return SongFormat::Game;
    if (equalsIgnoringCase(value, "STANDARD"))
        return SongFormat::Standard;
    return std::nullopt;
}

bool isStandardBodyLine(std::string_view line) {
    switch (line[0]) {
    case 'F':
    case 'R':
    case 'G':
    case 'P':
    case 'p':
        return true;
    case '-': {
        const std::optional<BreakLine> lineBreak = parseBreakLine(line);
        return lineBreak && lineBreak->second;
    }
    case ':':
    case '*': {
        const std::optional<NoteLine> note = parseNoteLine(line);
        return note && !std::ranges::binary_search(kGamePitches, note->pitch);
    }
    default:
        return false;
    }
}

} // namespace

SongTextLines::SongTextLines(std::string_view bytes)
    : decoded(decodeSongText(bytes)), lines(splitLines(decoded.text)) {}

SongFormat detectSongFormat(std::string_view bytes) {
    return detectSongFormat(SongTextLines(bytes));
}

SongFormat detectSongFormat(const SongTextLines& text) {
    const DecodedSongText& decoded = text.decoded;
    // The game's reader stops at a zero byte, so what follows one cannot make a game file
    // standard; without one, the lines already cut are the same.
    const std::size_t zero = decoded.text.find('\0');
    const std::vector<std::string_view> cutAtZero =
        zero == std::string::npos ? std::vector<std::string_view>()
                                  : splitLines(std::string_view(decoded.text).substr(0, zero));
    const std::vector<std::string_view>& lines = zero == std::string::npos ? text.lines : cutAtZero;
    const SongHeader header = readHeader(lines);
    if (const std::optional<SongFormat> forced = overrideOf(header))
        return *forced;
    // The game's files are single-byte text: no file of its own starts with a UTF-16 mark.
    if (decoded.encoding.starts_with("utf-16"))
        return SongFormat::Standard;
    for (const std::string_view tag : kStandardTags)
        if (!header.find(tag).empty())
            return SongFormat::Standard;
    for (std::size_t i = header.bodyStart; i < lines.size(); ++i) {
        const std::string_view line = trimLeadingBlanks(lines[i]);
        if (line.empty())
            continue;
        if (isEndLine(line))
            break;
        if (isStandardBodyLine(line))
            return SongFormat::Standard;
    }
    return SongFormat::Game;
}

} // namespace cantorix::songs
