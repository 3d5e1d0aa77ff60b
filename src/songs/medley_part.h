#pragma once
// A song's medley part: the stretch of it a medley sings, from the first note of a lyric line to
// the last note of a lyric line. A standard song may name it in its header; when it names none
// (and does not say "#CALCMEDLEY:OFF") the refrain is taken: the longest run of lines whose
// lyrics come back later in the song. Pure functions over a read song; no clock, no files.

#include "songs/standard_song.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::songs {

enum class MedleySource : std::uint8_t { None, Tags, Refrain };

// "tags", "refrain", or "" for none.
const char* medleySourceName(MedleySource source);

struct MedleyPart {
    double fromMs = 0; // song time of the part's first note
    double toMs = 0;   // song time at which the part's last note ends
    MedleySource source = MedleySource::None;

    bool operator==(const MedleyPart&) const = default;
};

// The refrain rule's bounds: a run of lines shorter than this is no refrain, and of longer runs
// that come back only the first stretch up to the longest is taken.
inline constexpr double kRefrainShortestMs = 15'000;
inline constexpr double kRefrainLongestMs = 60'000;
// A pause between two lines longer than this (an instrumental break) ends a run: a medley part
// is sung through, and a refrain sung twice around a solo is two refrains.
inline constexpr double kRefrainLongestPauseMs = 10'000;
// A song with more lyric lines than this (nearly an hour of song) is not searched for a refrain:
// the search costs the square of the line count.
inline constexpr std::size_t kRefrainMostLines = 1'000;

// A lyric line as the refrain rule sees it: its lyrics as a number (lines with equal folded
// lyrics have equal numbers, folded as the library's search folds them and with the "~" of held
// syllables taken for blanks; kNoLyrics, a line without words, matches none) and its span.
struct RefrainLine {
    static constexpr std::uint32_t kNoLyrics = 0;
    std::uint32_t lyrics = kNoLyrics;
    double startMs = 0; // its first note's start
    double endMs = 0;   // its last note's end
};

struct LineRun {
    std::size_t first = 0;
    std::size_t count = 0;

    bool operator==(const LineRun&) const = default;
};

// The refrain: of the runs of consecutive lines whose lyrics occur again, line for line, in a run
// that starts after this one ends, the one lasting longest (from its first line's start to the
// end of its last) within kRefrainShortestMs … kRefrainLongestMs; the earliest of equally long
// ones. Neither occurrence may pause longer than kRefrainLongestPauseMs between two lines. Lines
// are in the order they are sung. Nothing when no run qualifies or there are more than
// kRefrainMostLines lines.
std::optional<LineRun> findRefrain(const std::vector<RefrainLine>& lines);

// What the song says or implies of its medley part, and what was wrong with its tags.
struct MedleyFinding {
    std::optional<MedleyPart> part;
    std::vector<std::string> problems; // one sentence each, for the song's listing
};

// The part the song's tags name, snapped outwards to whole lines of the first voice; tags that
// end before they start or lie outside the notes are ignored (and said). Without usable tags,
// unless the song says "#CALCMEDLEY:OFF", the refrain of the first voice. The part holds for
// every voice of a duet.
MedleyFinding findMedleyPart(const StandardSong& song);

// The song with only what the part sings: each voice keeps the lines that have a note sounding
// within the part, whole, and the breaks between them. Every time stays where it was in the
// song, so a part is judged on the song's own clock. A voice with no line in the part keeps none.
StandardSong medleyPartOf(const StandardSong& song, const MedleyPart& part);

} // namespace cantorix::songs
