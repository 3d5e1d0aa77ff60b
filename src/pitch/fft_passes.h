#pragma once
// One pass of the FFT for a radix with its own butterfly, in place on separate real and imaginary
// arrays. Internal to the FFT. Neighbouring groups go through the butterfly together as the lanes
// of a vector; each lane does exactly the operations a lone group would, so the results do not
// depend on the grouping.

#include "pitch/fft_butterflies.h"

#include <cstddef>
#include <cstring>

namespace cantorix::pitch::passes {

// Two doubles, added and multiplied lane by lane (GCC and Clang vector extension): the width of
// the vector registers every x86-64 processor has. The code below fills exactly two lanes.
inline constexpr int kLanes = 2;
static_assert(kLanes == 2);
using Lanes = double __attribute__((vector_size(kLanes * sizeof(double))));

inline void load(Lanes& v, const double* p) {
    std::memcpy(&v, p, sizeof v);
}
inline void store(double* p, const Lanes& v) {
    std::memcpy(p, &v, sizeof v);
}

// Where the twiddle of value m of group d lies in its pass's table: the real parts of kLanes
// neighbouring groups side by side, then their imaginary parts, then value m + 1. A vector load
// takes both parts for a pair of groups, and a pass reads its table front to back.
constexpr std::ptrdiff_t twiddleIndex(std::ptrdiff_t d, int m, int radix) {
    return (d / kLanes * radix + m) * 2 * kLanes + d % kLanes;
}
constexpr std::size_t twiddleTableSize(int soFar, int radix) {
    return static_cast<std::size_t>((soFar + kLanes - 1) / kLanes * radix * 2 * kLanes);
}

struct PassData {
    double* re;
    double* im;
    std::ptrdiff_t soFar;     // distance between the values of one group
    std::ptrdiff_t remaining; // number of blocks of soFar * radix values
    const double* twiddles;   // laid out by twiddleIndex
};

// Groups d and d + 1 of a block of a later pass, d even; group d starts at `at`. Group 0 of a
// block is not turned; its lane is put back after the other is. The twiddle of value 0 is
// exactly 1, which leaves every finite value as it is, so it is not applied.
template <int Radix, class Butterfly>
[[gnu::always_inline]] inline void turnedGroups(const PassData& p, std::ptrdiff_t at,
                                                std::ptrdiff_t d) {
    const std::ptrdiff_t s = p.soFar;
    const double* g = p.twiddles + twiddleIndex(d, 0, Radix);
    Lanes zRe[Radix], zIm[Radix];
    load(zRe[0], p.re + at);
    load(zIm[0], p.im + at);
    for (int m = 1; m < Radix; ++m) {
        Lanes re, im, gRe, gIm;
        load(re, p.re + at + m * s);
        load(im, p.im + at + m * s);
        load(gRe, g + m * 2 * kLanes);
        load(gIm, g + m * 2 * kLanes + kLanes);
        zRe[m] = re;
        zIm[m] = im;
        butterfly::turn(zRe[m], zIm[m], gRe, gIm);
        if (d == 0) {
            zRe[m][0] = re[0];
            zIm[m][0] = im[0];
        }
    }
    Butterfly::apply(zRe, zIm);
    for (int m = 0; m < Radix; ++m) {
        store(p.re + at + m * s, zRe[m]);
        store(p.im + at + m * s, zIm[m]);
    }
}

// One group that has no neighbour left to share a vector with; group 0 of a block is not turned.
template <int Radix, class Butterfly>
void lastGroup(const PassData& p, std::ptrdiff_t at, std::ptrdiff_t d) {
    const std::ptrdiff_t s = p.soFar;
    double zRe[Radix], zIm[Radix];
    for (int m = 0; m < Radix; ++m) {
        zRe[m] = p.re[at + m * s];
        zIm[m] = p.im[at + m * s];
        if (m > 0 && d > 0) {
            const double* g = p.twiddles + twiddleIndex(d, m, Radix);
            butterfly::turn(zRe[m], zIm[m], g[0], g[kLanes]);
        }
    }
    Butterfly::apply(zRe, zIm);
    for (int m = 0; m < Radix; ++m) {
        p.re[at + m * s] = zRe[m];
        p.im[at + m * s] = zIm[m];
    }
}

// Two groups of the first pass, runs of Radix consecutive values with no twiddles, from `at`.
template <int Radix, class Butterfly>
[[gnu::always_inline]] inline void firstPassGroups(const PassData& p, std::ptrdiff_t at) {
    Lanes zRe[Radix], zIm[Radix];
    for (int m = 0; m < Radix; ++m) {
        zRe[m] = Lanes{p.re[at + m], p.re[at + Radix + m]};
        zIm[m] = Lanes{p.im[at + m], p.im[at + Radix + m]};
    }
    Butterfly::apply(zRe, zIm);
    for (int m = 0; m < Radix; ++m) {
        p.re[at + m] = zRe[m][0];
        p.re[at + Radix + m] = zRe[m][1];
        p.im[at + m] = zIm[m][0];
        p.im[at + Radix + m] = zIm[m][1];
    }
}

template <int Radix, class Butterfly> void runPass(const PassData& p) {
    if (p.soFar == 1) {
        std::ptrdiff_t group = 0;
        for (; group + kLanes <= p.remaining; group += kLanes)
            firstPassGroups<Radix, Butterfly>(p, group * Radix);
        for (; group < p.remaining; ++group)
            lastGroup<Radix, Butterfly>(p, group * Radix, 0);
        return;
    }
    const std::ptrdiff_t blockSize = p.soFar * Radix;
    for (std::ptrdiff_t base = 0; base < p.remaining * blockSize; base += blockSize) {
        std::ptrdiff_t d = 0;
        for (; d + kLanes <= p.soFar; d += kLanes)
            turnedGroups<Radix, Butterfly>(p, base + d, d);
        for (; d < p.soFar; ++d)
            lastGroup<Radix, Butterfly>(p, base + d, d);
    }
}

} // namespace cantorix::pitch::passes
