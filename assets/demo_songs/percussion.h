#pragma once
// Light percussion for the demo songs: a soft kick, a shaker and a brushed snare, all from a
// seeded noise source so every build writes the same audio. Build-time tool; one per thread.

#include "synth_voices.h"

#include <cstdint>

namespace cantorix::assets::demo {

class Percussion {
public:
    Percussion(Mix& mix, std::uint32_t seed) : m_mix(mix), m_noise(seed ? seed : 1) {}

    void kick(double startMs, double velocity);
    void shaker(double startMs, double velocity);
    void snare(double startMs, double velocity);

private:
    double noise(); // white, -1 … 1

    Mix& m_mix;
    std::uint32_t m_noise;
};

} // namespace cantorix::assets::demo
