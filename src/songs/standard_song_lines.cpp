#include "songs/standard_song_lines.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace cantorix::songs::standard {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t skipBlanks(std::string_view text, std::size_t i) {
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return i;
}

std::size_t skipDigits(std::string_view text, std::size_t i) {
    while (i < text.size() && isDigit(text[i]))
        ++i;
    return i;
}

// The integer that starts at i (optional sign, digits), moving i past it; empty when there is
// none or it does not fit 32 bits.
std::optional<std::int32_t> takeInt32(std::string_view text, std::size_t& i) {
    std::size_t end = i;
    if (end < text.size() && (text[end] == '-' || text[end] == '+'))
        ++end;
    end = skipDigits(text, end);
    std::optional<std::int32_t> value = parseInt32(text.substr(i, end - i));
    if (value)
        i = end;
    return value;
}

// One or more blanks then an integer.
std::optional<std::int32_t> takeField(std::string_view text, std::size_t& i) {
    const std::size_t start = skipBlanks(text, i);
    if (start == i)
        return std::nullopt;
    i = start;
    return takeInt32(text, i);
}

} // namespace

std::string_view trimLeadingBlanks(std::string_view text) {
    return text.substr(skipBlanks(text, 0));
}

std::string_view trimBlanks(std::string_view text) {
    text = trimLeadingBlanks(text);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::ranges::equal(a, b, {}, lower, lower);
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::string_view SongHeader::find(std::string_view name) const {
    for (const HeaderTag& tag : tags)
        if (equalsIgnoringCase(tag.name, name))
            return tag.value;
    return {};
}

SongHeader readHeader(const std::vector<std::string_view>& lines) {
    SongHeader header;
    std::size_t i = 0;
    for (; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (isEmptyLine(line))
            continue;
        if (line[0] != '#')
            break;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            ++header.skipped;
            continue;
        }
        const std::string_view value = trimBlanks(line.substr(colon + 1));
        if (!value.empty())
            header.tags.push_back({trimBlanks(line.substr(1, colon - 1)), value});
    }
    header.bodyStart = i;
    return header;
}

std::optional<std::int32_t> parseInt32(std::string_view text) {
    const bool plus = text.starts_with('+');
    if (plus)
        text.remove_prefix(1);
    if (text.empty() || (plus && text.starts_with('-')))
        return std::nullopt;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> parseDecimal(std::string_view text) {
    const std::optional<double> value = parseDecimalUnbounded(text);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

std::optional<double> parseDecimalUnbounded(std::string_view text) {
    text = trimBlanks(text);
    std::string number;
    std::size_t i = 0;
    if (i < text.size() && text[i] == '-')
        number += text[i++];
    const std::size_t digits = skipDigits(text, i);
    if (digits == i)
        return std::nullopt;
    number.append(text.substr(i, digits - i));
    i = digits;
    if (i < text.size() && (text[i] == ',' || text[i] == '.')) {
        const std::size_t fraction = skipDigits(text, i + 1);
        if (fraction == i + 1)
            return std::nullopt;
        number += '.';
        number.append(text.substr(i + 1, fraction - i - 1));
        i = fraction;
    }
    if (i != text.size())
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (end != number.data() + number.size())
        return std::nullopt;
    if (error == std::errc::result_out_of_range) {
        // Out of range is either far too large or far too small: a non-zero whole part says which.
        const bool large = number.find_first_of("123456789") < number.find('.');
        const double magnitude = large ? std::numeric_limits<double>::infinity() : 0.0;
        return number.starts_with('-') ? -magnitude : magnitude;
    }
    if (error != std::errc())
        return std::nullopt;
    return value;
}

bool isNoteType(char c) {
    return c == ':' || c == '*' || c == 'F' || c == 'R' || c == 'G';
}

std::optional<NoteLine> parseNoteLine(std::string_view line) {
    if (line.empty() || !isNoteType(line[0]))
        return std::nullopt;
    std::size_t i = 1;
    const std::optional<std::int32_t> start = takeField(line, i);
    const std::optional<std::int32_t> length = start ? takeField(line, i) : std::nullopt;
    const std::optional<std::int32_t> pitch = length ? takeField(line, i) : std::nullopt;
    if (!pitch)
        return std::nullopt;
    // The text follows the one blank after the pitch; any further blanks are part of it.
    if (i < line.size() && !isBlank(line[i]))
        return std::nullopt;
    const std::string_view text = i < line.size() ? line.substr(i + 1) : std::string_view();
    return NoteLine{static_cast<NoteKind>(line[0]), *start, *length, *pitch, text};
}

std::optional<BreakLine> parseBreakLine(std::string_view line) {
    if (!line.starts_with('-'))
        return std::nullopt;
    BreakLine result;
    std::size_t i = skipBlanks(line, 1);
    if (i < line.size()) {
        result.first = takeInt32(line, i);
        if (!result.first)
            return std::nullopt;
        const std::size_t next = skipBlanks(line, i);
        if (next < line.size()) {
            result.second = takeField(line, i);
            if (!result.second)
                return std::nullopt;
        }
    }
    if (skipBlanks(line, i) != line.size())
        return std::nullopt;
    return result;
}

std::optional<int> parseVoiceMarker(std::string_view line) {
    if (!line.starts_with('P') && !line.starts_with('p'))
        return std::nullopt;
    const std::string_view number = trimBlanks(line.substr(1));
    if (number.empty() || number.size() > 4 || skipDigits(number, 0) != number.size())
        return std::nullopt;
    return std::stoi(std::string(number));
}

bool isEndLine(std::string_view line) {
    return trimBlanks(line) == "E";
}

std::optional<int> versionMajor(std::string_view version) {
    const std::size_t digits = skipDigits(version, 0);
    if (digits == 0)
        return std::nullopt;
    std::string_view major = version.substr(0, digits);
    while (major.size() > 1 && major[0] == '0')
        major.remove_prefix(1);
    // A longer run only needs to compare as a large version.
    return major.size() > 6 ? 999999 : std::stoi(std::string(major));
}

} // namespace cantorix::songs::standard
