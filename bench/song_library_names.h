#pragma once
// Artist, album and song names of a generated library: words drawn from a fixed list by a fixed
// generator, with some accented letters, so that searches over it meet real-looking text.

#include <cstdint>
#include <string>

namespace cantorix::bench {

class LibraryNames {
public:
    explicit LibraryNames(std::uint64_t seed) : m_state(seed * 2654435761u + 1) {}

    std::string artist() { return words(1 + next() % 2) + (next() % 4 == 0 ? " Band" : ""); }
    std::string title() { return words(1 + next() % 4); }

private:
    std::uint64_t next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }
    std::string words(std::uint64_t count) {
        static const char* const kWords[] = {
            "Love",     "Night",   "Heart",    "Fire",    "Rain",   "Summer", "Dream",     "Café",
            "Señor",    "Blue",    "Golden",   "River",   "Moon",   "Über",   "Dancing",   "Queen",
            "Electric", "Mädchen", "Stone",    "Angel",   "Shadow", "Wild",   "Paper",     "Lights",
            "Ocean",    "Forever", "Midnight", "Crazy",   "Little", "Sweet",  "Thunder",   "Road",
            "Garçon",   "Silver",  "Kiss",     "Runaway", "Honey",  "Broken", "Yesterday", "Star",
        };
        constexpr std::uint64_t kCount = sizeof kWords / sizeof kWords[0];
        std::string text;
        for (std::uint64_t i = 0; i < count; ++i)
            text += (i ? " " : "") + std::string(kWords[next() % kCount]);
        return text;
    }

    std::uint64_t m_state;
};

} // namespace cantorix::bench
