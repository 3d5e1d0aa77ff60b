#pragma once
// The line grammar of the standard song format, shared by the format decision and the reader:
// blanks, the header and its tags, note lines, line breaks, voice markers, the end line and
// decimal values. Stateless functions; the views point into the caller's text.

#include "songs/standard_song.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace cantorix::songs::standard {

inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
std::string_view trimBlanks(std::string_view text);
std::string_view trimLeadingBlanks(std::string_view text);
inline bool isEmptyLine(std::string_view line) {
    return trimBlanks(line).empty();
}
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// Lines ended by CR, LF or CR LF; a final terminator makes no extra line. The same lines as
// splitSongLines() gives, found with one pass over the bytes.
std::vector<std::string_view> splitLines(std::string_view text);

struct HeaderTag {
    std::string_view name;  // trimmed
    std::string_view value; // trimmed, never empty
};

// The header: from the top to the first non-empty line that does not start with "#".
struct SongHeader {
    std::vector<HeaderTag> tags; // in file order; tags with an empty value are left out
    std::size_t bodyStart = 0;   // index of the first body line (the line count when none)
    int skipped = 0;             // "#" lines without a ":"

    // The first value of the tag (name compared ignoring case); empty when absent.
    std::string_view find(std::string_view name) const;
};
SongHeader readHeader(const std::vector<std::string_view>& lines);

// An optional sign and decimal digits with nothing around, within 32 bits.
std::optional<std::int32_t> parseInt32(std::string_view text);

// Blanks, an optional minus, digits, optionally a comma or a point and digits, blanks; finite.
std::optional<double> parseDecimal(std::string_view text);

// As parseDecimal, but a number too large for a double comes back as ±infinity (and one too
// close to zero as 0), so that a range check refuses it for what it is rather than taking it
// for a value that does not read.
std::optional<double> parseDecimalUnbounded(std::string_view text);

// Lines are given with their leading blanks already removed.
struct NoteLine {
    NoteKind kind;
    std::int32_t start;
    std::int32_t length;
    std::int32_t pitch;
    std::string_view text;
};
bool isNoteType(char c);
std::optional<NoteLine> parseNoteLine(std::string_view line);

// "-", "- A", "-A", "- A B", with trailing blanks.
struct BreakLine {
    std::optional<std::int32_t> first;
    std::optional<std::int32_t> second;
};
std::optional<BreakLine> parseBreakLine(std::string_view line);

// "P1", "p 2", …: the number after the "P" (0 and numbers above 9 included; the caller decides
// which it takes); empty for a "P" line of any other shape.
std::optional<int> parseVoiceMarker(std::string_view line);

// "E" with trailing blanks.
bool isEndLine(std::string_view line);

// The major number of a "#VERSION" value ("1.2.0" gives 1); empty when it does not start with
// digits.
std::optional<int> versionMajor(std::string_view version);

} // namespace cantorix::songs::standard
