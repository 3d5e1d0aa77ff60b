#include "songs/medley_layout.h"

#include <gtest/gtest.h>
#include <random>

namespace cantorix::songs {
namespace {

TEST(MedleyLayout, EachPartGetsItsLeadInAndFadeAndTheNextStartsAsItsLastNoteEnds) {
    struct Case {
        const char* name;
        MedleySongPart song;
        MedleySegment segment; // of a song that follows one whose part ends 12 s into the medley
    };
    const Case cases[] = {
        {"room for everything", {180'000, 60'000, 90'000}, {56'000, 92'000, 12'000, 2000, 2000}},
        {"a part near the start: a short lead-in, a shorter fade in",
         {180'000, 1'500, 30'000},
         {0, 32'000, 12'000, 1'500, 2000}},
        {"a part up to the end of the audio: no fade out",
         {60'000, 40'000, 60'000},
         {36'000, 60'000, 12'000, 2000, 0}},
        {"notes past the end of the audio end with it",
         {50'000, 40'000, 65'000},
         {36'000, 50'000, 12'000, 2000, 0}},
    };
    const MedleySongPart first{20'000, 4'000.4, 12'000}; // lead-in from 0, part until 12 s
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<MedleySegment> segments = layOutMedley({first, c.song});
        ASSERT_EQ(segments.size(), 2u);
        EXPECT_EQ(segments[0], (MedleySegment{0, 14'000, 0, 2000, 2000}));
        EXPECT_EQ(segments[1], c.segment);
    }
}

TEST(MedleyLayout, GeneratedMedleysNeverFallSilentAndPlaceEveryPartInItsSong) {
    std::mt19937 random(33);
    for (int medley = 0; medley < 500; ++medley) {
        std::vector<MedleySongPart> songs;
        const std::size_t count = 3 + random() % 8;
        for (std::size_t k = 0; k < count; ++k) {
            const std::int64_t length = 5'000 + random() % 300'000;
            const double from = static_cast<double>(random() % length);
            songs.push_back({length, from, from + static_cast<double>(random() % 70'000)});
        }
        const std::vector<MedleySegment> segments = layOutMedley(songs);
        ASSERT_EQ(segments.size(), songs.size());
        for (std::size_t k = 0; k < segments.size(); ++k) {
            const MedleySegment& s = segments[k];
            ASSERT_GE(s.audioFromMs, 0);
            ASSERT_LE(s.audioToMs, songs[k].audioLengthMs);
            ASSERT_LE(s.fadeInMs + s.fadeOutMs, s.lengthMs());
            // The next song begins before or just as this one ends: never a moment of silence.
            if (k + 1 < segments.size()) {
                ASSERT_LE(segments[k + 1].medleyFromMs, s.medleyToMs());
                ASSERT_GE(segments[k + 1].medleyFromMs, s.medleyFromMs);
            }
            // Where the part starts in the medley, the medley is in this song at the part's start.
            const std::int64_t partFrom = std::min<std::int64_t>(
                static_cast<std::int64_t>(songs[k].partFromMs), songs[k].audioLengthMs);
            const std::int64_t at = s.medleyFromMs + (partFrom - s.audioFromMs);
            const bool beforeNext = k + 1 == segments.size() || at < segments[k + 1].medleyFromMs;
            if (at < s.medleyToMs() && beforeNext) {
                ASSERT_EQ(medleyPlaceAt(segments, at), (MedleyPlace{k, partFrom}));
            }
        }
        EXPECT_FALSE(medleyPlaceAt(segments, medleyLengthMs(segments)));
    }
}

} // namespace
} // namespace cantorix::songs
