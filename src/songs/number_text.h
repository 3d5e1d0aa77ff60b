#pragma once
// Conversion of number texts from song files: decimal integers and reals with a comma as the
// decimal separator. Stateless functions; any thread.

#include <cstdint>
#include <string_view>

namespace cantorix::songs {

// Optional leading spaces, an optional sign and at least one decimal digit, nothing after; the
// value must fit 32 bits. Throws EConvertError "'<text>' is not a valid integer value".
std::int32_t parseIntegerText(std::string_view text);

// Optional spaces, an optional sign, digits with at most one comma as the decimal separator (at
// least one digit in all), an optional exponent ("e" or "E", optional sign, digits) and optional
// trailing spaces; the value must be finite. A point is not a separator. Throws EConvertError
// "'<text>' is not a valid floating point value".
double parseDecimalCommaText(std::string_view text);

} // namespace cantorix::songs
