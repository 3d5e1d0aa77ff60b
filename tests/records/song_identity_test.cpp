#include "songs/song_identity.h"

#include <gtest/gtest.h>

using cantorix::songs::songIdentity;

// The song's folder plays no part: the identity is made from artist and title alone.
TEST(SongIdentityTest, OneSongWhateverItsSpellingAndNoOtherSong) {
    const std::tuple<const char*, const char*, const char*, const char*, bool> cases[] = {
        {"The Quails", "Blue Morning", "the quails", "BLUE MORNING", true},
        {"Émile Sørli", "Café Noir", "emile sorli", "cafe noir", true},
        {"  The   Quails ", "Blue\tMorning", "The Quails", "Blue Morning", true},
        {"The Quails", "Blue Morning", "The Quails", "Blue Morning (Live)", false},
        {"A", "B", "B", "A", false},
        {"ab", "c", "a", "bc", false},
    };
    for (const auto& [artistA, titleA, artistB, titleB, same] : cases)
        EXPECT_EQ(songIdentity(artistA, titleA) == songIdentity(artistB, titleB), same) << artistA;
}
