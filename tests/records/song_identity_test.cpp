#include "songs/song_identity.h"

#include <gtest/gtest.h>

using cantorix::songs::songIdentity;

// Where the song's folder is plays no part: the identity is made from artist and title alone.
TEST(SongIdentityTest, OneSongWhateverItsSpellingAndNoOtherSong) {
    struct Case {
        const char *artistA, *titleA, *artistB, *titleB;
        bool same;
    };
    const Case cases[] = {
        {"The Quails", "Blue Morning", "the quails", "BLUE MORNING", true},
        {"Émile Sørli", "Café Noir", "emile sorli", "cafe noir", true},
        {"  The   Quails ", "Blue\tMorning", "The Quails", "Blue Morning", true},
        {"Straße", "Lied", "STRASSE", "lied", true},
        {"The Quails", "Blue Morning", "The Quails", "Blue Morning (Live)", false},
        {"The Quails", "Blue Morning", "The Quail", "Blue Morning", false},
        {"A", "B", "B", "A", false},
        {"ab", "c", "a", "bc", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.artistA) + " / " + c.titleA);
        EXPECT_EQ(songIdentity(c.artistA, c.titleA) == songIdentity(c.artistB, c.titleB), c.same);
    }
}
