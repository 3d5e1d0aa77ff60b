#include "songs/number_text.h"

#include "songs/song_errors.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace cantorix::songs {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t skipSpaces(std::string_view text, std::size_t i) {
    while (i < text.size() && text[i] == ' ')
        ++i;
    return i;
}

// Copies the run of digits starting at i into out and returns the index after it.
std::size_t takeDigits(std::string_view text, std::size_t i, std::string& out) {
    while (i < text.size() && isDigit(text[i]))
        out += text[i++];
    return i;
}

[[noreturn]] void failFloat(std::string_view text) {
    throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

} // namespace

std::int32_t parseIntegerText(std::string_view text) {
    std::size_t i = skipSpaces(text, 0);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const std::size_t firstDigit = i;
    // The magnitude of the most negative 32-bit value is the largest we may meet.
    const std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + negative;
    std::int64_t magnitude = 0;
    bool valid = true;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit) {
            valid = false;
            break;
        }
    }
    if (!valid || i == firstDigit || i != text.size())
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

double parseDecimalCommaText(std::string_view text) {
    // Rebuilt as "[-]int.frac[e[-]exp]" so the conversion itself is locale-free and exact.
    std::string number;
    std::size_t i = skipSpaces(text, 0);
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        if (text[i++] == '-')
            number += '-';
    std::string integral;
    std::string fraction;
    i = takeDigits(text, i, integral);
    if (i < text.size() && text[i] == ',')
        i = takeDigits(text, i + 1, fraction);
    if (integral.empty() && fraction.empty())
        failFloat(text);
    number += (integral.empty() ? "0" : integral) + '.' + (fraction.empty() ? "0" : fraction);
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        number += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            if (text[i++] == '-')
                number += '-';
        std::string exponent;
        i = takeDigits(text, i, exponent);
        if (exponent.empty())
            failFloat(text);
        number += exponent;
    }
    if (skipSpaces(text, i) != text.size())
        failFloat(text);
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
        failFloat(text);
    return value;
}

} // namespace cantorix::songs
