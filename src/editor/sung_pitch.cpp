#include "editor/sung_pitch.h"

#include "pitch/tone.h"

#include <array>
#include <cmath>

namespace cantorix::editor {

namespace {

constexpr int kTableSize = kHighestDetectableNote - kLowestDetectableNote + 1;

std::array<std::uint8_t, kTableSize> measureTable() {
    std::array<std::uint8_t, kTableSize> table{};
    for (int i = 0; i < kTableSize; ++i)
        table[static_cast<std::size_t>(i)] =
            pitch::sungValueOfTone(noteFrequency(kLowestDetectableNote + i));
    return table;
}

} // namespace

int foldIntoDetectableRange(int midiNote) {
    if (midiNote < kLowestDetectableNote)
        midiNote += 12 * ((kLowestDetectableNote - midiNote + 11) / 12);
    if (midiNote > kHighestDetectableNote)
        midiNote -= 12 * ((midiNote - kHighestDetectableNote + 11) / 12);
    return midiNote;
}

double noteFrequency(int midiNote) {
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

std::uint8_t sungValueOfNote(int midiNote) {
    static const std::array<std::uint8_t, kTableSize> table = measureTable();
    return table[static_cast<std::size_t>(foldIntoDetectableRange(midiNote) -
                                          kLowestDetectableNote)];
}

} // namespace cantorix::editor
