#pragma once
// How a medley's songs follow each other in one stream of music: each song's part plays with a
// lead-in of its music before the first note (fading in) and fades out after its last note, and
// the next song's lead-in starts as the part before it ends, so the two fades overlap and the
// music never stops. Pure arithmetic in milliseconds; no clock, no files.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace cantorix::songs {

// How many songs a medley sings.
inline constexpr std::size_t kMedleyFewestSongs = 3;
inline constexpr std::size_t kMedleyMostSongs = 10;
inline constexpr std::size_t kMedleyDefaultSongs = 5;

struct MedleyTiming {
    std::int64_t leadInMs = 4000; // music before the part's first note
    std::int64_t fadeMs = 2000;   // the fade out after the last note, and the lead-in's fade in
};

// One song of the medley as the layout needs it.
struct MedleySongPart {
    std::int64_t audioLengthMs = 0;
    double partFromMs = 0; // song time of the part's first note
    double partToMs = 0;   // song time at which its last note ends
};

// Where a song plays: the stretch of its audio, where that stretch starts in the medley, and
// how long its ends fade.
struct MedleySegment {
    std::int64_t audioFromMs = 0;
    std::int64_t audioToMs = 0;
    std::int64_t medleyFromMs = 0;
    std::int64_t fadeInMs = 0;
    std::int64_t fadeOutMs = 0;

    std::int64_t lengthMs() const { return audioToMs - audioFromMs; }
    std::int64_t medleyToMs() const { return medleyFromMs + lengthMs(); }
    bool operator==(const MedleySegment&) const = default;
};

// The songs laid out in order. A part reaching past its audio ends where the audio does; a lead-in
// or a fade the audio has no room for is as long as there is room.
std::vector<MedleySegment> layOutMedley(const std::vector<MedleySongPart>& songs,
                                        const MedleyTiming& timing = {});

// The medley's whole length: where the last segment ends.
std::int64_t medleyLengthMs(const std::vector<MedleySegment>& segments);

// Which song a medley position belongs to and where in that song it is: the later of two
// overlapping songs once its lead-in has begun. Nothing past the end or without segments.
struct MedleyPlace {
    std::size_t song = 0;
    std::int64_t songMs = 0;

    bool operator==(const MedleyPlace&) const = default;
};
std::optional<MedleyPlace> medleyPlaceAt(const std::vector<MedleySegment>& segments,
                                         std::int64_t medleyMs);

} // namespace cantorix::songs
