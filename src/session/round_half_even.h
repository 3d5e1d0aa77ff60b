#pragma once
// The one rounding rule of the session's timing: to the nearest integer, halves to the even
// neighbour, independent of the floating-point environment's rounding mode.

#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace cantorix::session {

inline std::int64_t roundHalfEven(double value) {
    if (!std::isfinite(value) || std::fabs(value) >= 9.0e18)
        throw std::domain_error("cannot round a value outside the integer range");
    double rounded = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5)
        rounded = 2.0 * std::round(value / 2.0);
    return static_cast<std::int64_t>(rounded);
}

} // namespace cantorix::session
