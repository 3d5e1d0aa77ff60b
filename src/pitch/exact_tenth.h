#pragma once
// A float divided by 10 in double precision, rounded exactly as the division rounds, for the
// input scaling of the FFT. Pure function, any thread.

namespace cantorix::pitch {

// 0.1 is split into a head of 29 significant bits, so x * head is exact for the 24 bits of a
// float, and a tail that carries the next 53 bits; their sum misses x / 10 by about 2^-79 of it.
// A float divided by 10 lies at least a tenth of a unit in the last place away from a rounding
// boundary (its binary expansion repeats with a period of four bits), so rounding the sum gives
// exactly the rounded quotient, with two multiplications in place of a slow division. The tail
// is positive, so infinities stay infinities.
inline double tenth(float x) {
    constexpr double kHead = 0x1.9999999p-4;
    constexpr double kTail = 0x1.333333334p-33;
    const double value = x;
    return value * kHead + value * kTail;
}

} // namespace cantorix::pitch
