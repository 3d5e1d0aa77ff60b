#include "demo_tunes.h"

namespace cantorix::assets::demo {

namespace {

// A folk-like tune in F major for middle voices (C4 to Bb4), 4/4 at 96.
TuneSheet morningLantern() {
    TuneSheet sheet;
    sheet.title = "Morning Lantern";
    sheet.bpmText = "96";
    sheet.beatsPerBar = 16;
    sheet.introBars = 2;
    sheet.outroBars = 2;
    sheet.gapMs = 5100;
    sheet.chords = "F | C |"
                   " F | Dm | Bb | C |"
                   " F | Dm,C | C | Bb,C |"
                   " Dm | Gm | C | C |"
                   " Bb | C | F | F |"
                   " Bb | F";
    sheet.lines = {
        "Light|C4|6 a|D4|2 lan-|F4|6 tern|G4|2 by|A4|6 the|G4|2 door|F4|20 _|_|20",
        "Morn-|C4|6 ing|D4|2 gath-|F4|6 ers|G4|2 on|A4|6 the|Bb4|2 floor|G4|20 _|_|20",
        "Ev-|A4|4 ery|Bb4|4 win-|A4|4 dow|F4|4 wakes|Bb4|8 in|A4|4 gold|G4|20 _|_|16",
        "Songs|D4|6 the|C4|2 night|D4|6 could|F4|2 nev-|E4|6 er|G4|2 hold|F4|28 _|_|12",
    };
    sheet.groove = Groove::Ballad;
    sheet.seed = 0x1a7e;
    return sheet;
}

// A slow waltz in D minor for lower voices (A3 to F4), 3/4 at 112.5.
TuneSheet harbourLights() {
    TuneSheet sheet;
    sheet.title = "Harbour Lights";
    sheet.bpmText = "112,5";
    sheet.beatsPerBar = 12;
    sheet.introBars = 4;
    sheet.outroBars = 2;
    sheet.gapMs = 6500;
    sheet.chords = "Dm | Bb | Gm | A |"
                   " Dm | Bb | A | A |"
                   " Dm | C | Dm | C |"
                   " F | C | Bb | A |"
                   " Bb | A | Dm | D |"
                   " Gm | Dm | A | A |"
                   " Bb | A | Dm | Dm |"
                   " Gm | Dm";
    sheet.lines = {
        "Low|A3|4 lamps|D4|4 a-|E4|4 long|F4|8 the|D4|4 pier|E4|12 _|_|12",
        "Drift|A3|4 on|D4|4 the|F4|4 eve-|E4|8 ning|C4|4 tide|D4|12 _|_|12",
        "Sail-|F4|4 ors|E4|4 are|D4|4 com-|C4|8 ing|E4|4 home|D4|12 _|_|12",
        "Ropes|F4|4 coiled|E4|4 and|D4|4 sails|E4|8 let|C#4|4 down|D4|12 _|_|12",
        "Some-|D4|4 bod-|C4|4 y|Bb3|4 hums|A3|8 a|D4|4 tune|E4|12 _|_|12",
        "Soft-|F4|4 ly|E4|4 the|D4|4 night|C#4|8 comes|E4|4 in|D4|20 _|_|4",
    };
    sheet.groove = Groove::Waltz;
    sheet.seed = 0x4a7b;
    return sheet;
}

// A bright tune in Bb major for higher voices (Eb4 to Bb4), 4/4 at 108.
TuneSheet paperKites() {
    TuneSheet sheet;
    sheet.title = "Paper Kites";
    sheet.bpmText = "108";
    sheet.beatsPerBar = 16;
    sheet.introBars = 2;
    sheet.outroBars = 2;
    sheet.gapMs = 4500;
    sheet.chords = "Bb | F |"
                   " Bb | Eb | Eb | F |"
                   " Bb | F | Bb | D |"
                   " Gm | Eb | Cm | F |"
                   " Eb | F | Bb | Bb |"
                   " Eb | Bb";
    sheet.lines = {
        "Pa-|F4|4 per|G4|4 kites|Bb4|6 a-|A4|2 bove|G4|6 the|F4|2 hill|G4|16 _|_|24",
        "Tails|F4|4 of|G4|4 rib-|Bb4|6 bon|A4|2 nev-|A4|6 er|G4|2 still|F4|16 _|_|24",
        "Run|Bb4|4 and|A4|4 let|G4|6 the|F4|2 string|G4|6 un-|F4|2 wind|Eb4|16 _|_|24",
        "Leave|G4|4 the|F4|4 heav-|Eb4|6 y|F4|2 ground|F4|6 be-|A4|2 hind|Bb4|24 _|_|16",
    };
    sheet.groove = Groove::Pop;
    sheet.seed = 0x6b17;
    return sheet;
}

} // namespace

std::vector<TuneSheet> demoTunes() {
    return {morningLantern(), harbourLights(), paperKites()};
}

} // namespace cantorix::assets::demo
