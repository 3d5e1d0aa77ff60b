#include "accompaniment.h"

#include "percussion.h"

#include <cmath>
#include <vector>

namespace cantorix::assets::demo {

namespace {

enum class Drum { Kick, Shaker, Snare };

struct BassHit {
    double beat;
    bool fifth;
    double lengthBeats;
};

struct DrumHit {
    double beat;
    Drum drum;
    double velocity;
};

// One bar of a groove; bell steps fall every bellStep beats and play the chord tones listed.
struct GroovePattern {
    std::vector<BassHit> bass;
    std::vector<DrumHit> drums;
    double bellStep;
    std::vector<std::vector<int>> bellTones;
};

GroovePattern grooveOf(Groove groove) {
    using enum Drum;
    switch (groove) {
    case Groove::Waltz:
        return {{{0, false, 11}},
                {{0, Kick, 0.45}, {4, Shaker, 0.6}, {8, Shaker, 0.45}},
                4,
                {{0}, {1, 2}, {1, 2}}};
    case Groove::Pop:
        return {{{0, false, 5}, {6, false, 2}, {8, false, 5}, {14, true, 2}},
                {{0, Kick, 0.9},
                 {6, Kick, 0.5},
                 {8, Kick, 0.8},
                 {4, Snare, 0.8},
                 {12, Snare, 0.8},
                 {0, Shaker, 0.45},
                 {2, Shaker, 1.0},
                 {4, Shaker, 0.45},
                 {6, Shaker, 1.0},
                 {8, Shaker, 0.45},
                 {10, Shaker, 1.0},
                 {12, Shaker, 0.45},
                 {14, Shaker, 1.0}},
                2,
                {{0}, {2}, {1}, {2}, {3}, {2}, {1}, {2}}};
    case Groove::Ballad:
        break;
    }
    return {{{0, false, 7}, {8, true, 7}},
            {{0, Kick, 0.7},
             {8, Kick, 0.45},
             {2, Shaker, 0.8},
             {4, Shaker, 0.4},
             {6, Shaker, 0.8},
             {10, Shaker, 0.8},
             {12, Shaker, 0.4},
             {14, Shaker, 0.8}},
            2,
            {{0}, {1}, {2}, {3}, {2}, {1}, {2}, {1}}};
}

// The chord's tones upwards from the first one at or above lowest: root, third, fifth, …
std::vector<int> chordTones(const Chord& chord, int lowest, int count) {
    const int intervals[] = {0, chord.minor ? 3 : 4, 7};
    std::vector<int> tones;
    for (int note = lowest; int(tones.size()) < count; ++note) {
        const int pc = ((note - chord.root) % 12 + 12) % 12;
        for (int interval : intervals)
            if (pc == interval)
                tones.push_back(note);
    }
    return tones;
}

// Bass notes stay in the lowest octave (A1 to G#2); a fifth above it drops below the root.
int bassNote(const Chord& chord, bool fifth) {
    const int root = chordTones(chord, 33, 1)[0];
    if (!fifth)
        return root;
    return root + 7 <= 45 ? root + 7 : root - 5;
}

const Chord& chordAt(const Tune& tune, double beat) {
    for (const Chord& chord : tune.chords)
        if (beat < chord.startBeat + chord.lengthBeats)
            return chord;
    return tune.chords.back();
}

// Open voicing below the melody: root, fifth and tenth from the second octave's top.
void addPads(Mix& mix, const Tune& tune) {
    static const Wavetable pad({1.0, 0.45, 0.22, 0.12, 0.07, 0.04, 0.025, 0.015});
    ToneShape shape;
    shape.attackMs = 220.0;
    shape.releaseMs = 500.0;
    shape.vibratoDepth = 0.0015;
    shape.vibratoHz = 0.7;
    shape.vibratoDelayMs = 0.0;
    for (const Chord& chord : tune.chords) {
        const int root = chordTones(chord, 45, 1)[0];
        const int third = root + (chord.minor ? 15 : 16);
        for (int note : {root, root + 7, third}) {
            Tone tone{midiNoteHz(note), tune.musicBeatMs(chord.startBeat),
                      chord.lengthBeats * tune.beatMs, 1.0};
            for (double detune : {-1.0, 1.0}) {
                Tone voice = tone;
                voice.hz *= std::pow(2.0, detune * 6.0 / 1200.0);
                addTone(mix, pad, voice, shape, {0.05, 0.45 * detune, 0.5});
            }
        }
    }
}

// Bass, music box and drums, bar by bar.
class Band {
public:
    Band(const Tune& tune, Mix& mix) : m_tune(tune), m_mix(mix), m_drums(mix, tune.sheet.seed) {}
    void bar(int index, const GroovePattern& groove, bool drumsPlay);
    void finalBar(int index);

private:
    const Tune& m_tune;
    Mix& m_mix;
    Percussion m_drums;
    Wavetable m_bass{{1.0, 0.5, 0.22, 0.1, 0.05}};
    Wavetable m_bell{{1.0, 0.18, 0.22, 0.05, 0.06}};
    ToneShape m_bassShape{8.0, 120.0, 1.5, 0.0, 5.0, 0.0};
    ToneShape m_bellShape{3.0, 200.0, 4.5, 0.0, 5.0, 0.0};
};

void Band::bar(int index, const GroovePattern& groove, bool drumsPlay) {
    const double barStart = double(index) * m_tune.sheet.beatsPerBar;
    for (const BassHit& hit : groove.bass) {
        const Chord& chord = chordAt(m_tune, barStart + hit.beat);
        const Tone tone{midiNoteHz(bassNote(chord, hit.fifth)),
                        m_tune.musicBeatMs(barStart + hit.beat), hit.lengthBeats * m_tune.beatMs,
                        1.0};
        addTone(m_mix, m_bass, tone, m_bassShape, {0.2, 0.0, 0.05});
    }
    if (drumsPlay)
        for (const DrumHit& hit : groove.drums) {
            const double ms = m_tune.musicBeatMs(barStart + hit.beat);
            if (hit.drum == Drum::Kick)
                m_drums.kick(ms, hit.velocity);
            else if (hit.drum == Drum::Snare)
                m_drums.snare(ms, hit.velocity);
            else
                m_drums.shaker(ms, hit.velocity);
        }
    for (std::size_t step = 0; step * groove.bellStep < m_tune.sheet.beatsPerBar; ++step) {
        const double beat = barStart + double(step) * groove.bellStep;
        const std::vector<int> tones = chordTones(chordAt(m_tune, beat), 72, 4);
        const double velocity = step % 2 == 0 ? 0.8 : 0.6;
        for (int degree : groove.bellTones[step % groove.bellTones.size()]) {
            const Tone tone{midiNoteHz(tones[std::size_t(degree)]), m_tune.musicBeatMs(beat),
                            groove.bellStep * m_tune.beatMs, velocity};
            addTone(m_mix, m_bell, tone, m_bellShape, {0.07, degree % 2 ? -0.4 : 0.4, 0.6});
        }
    }
}

// The song ends on a held chord: one long bass note and a single bell.
void Band::finalBar(int index) {
    const double barStart = double(index) * m_tune.sheet.beatsPerBar;
    const Chord& chord = chordAt(m_tune, barStart);
    const double length = m_tune.sheet.beatsPerBar * m_tune.beatMs;
    ToneShape longBass = m_bassShape;
    longBass.decayPerSecond = 0.6;
    addTone(m_mix, m_bass,
            {midiNoteHz(bassNote(chord, false)), m_tune.musicBeatMs(barStart), length, 1.0},
            longBass, {0.2, 0.0, 0.05});
    addTone(m_mix, m_bell,
            {midiNoteHz(chordTones(chord, 72, 1)[0]), m_tune.musicBeatMs(barStart), length, 0.8},
            m_bellShape, {0.07, 0.0, 0.6});
}

} // namespace

void addAccompaniment(Mix& mix, const Tune& tune) {
    addPads(mix, tune);
    Band band(tune, mix);
    const GroovePattern groove = grooveOf(tune.sheet.groove);
    // The drums come in after the first bar (the second, in a four-bar intro).
    const int drumsFrom = tune.sheet.introBars >= 4 ? 2 : 1;
    for (int index = 0; index + 1 < tune.totalBars; ++index)
        band.bar(index, groove, index >= drumsFrom);
    band.finalBar(tune.totalBars - 1);
}

} // namespace cantorix::assets::demo
