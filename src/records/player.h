#pragma once
// A player: someone who sings at this computer again and again, with a name unique ignoring case,
// a colour and an optional picture. Values and pure functions; any thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace cantorix::records {

// What a performance whose player was removed (and their performances kept) is listed under.
inline constexpr std::string_view kRemovedPlayerName = "removed player";
// A name is cut to this many characters (code points).
inline constexpr std::size_t kMostNameCharacters = 32;

struct Player {
    std::int64_t id = 0; // 0 until stored
    std::string name;    // UTF-8, cleaned (cleanPlayerName)
    // The game's colour value (0x00BBGGRR), as the singers screen shows it.
    std::uint32_t colour = 0xFFFFFF;
    // The picture's file name inside the records folder's "pictures" folder; empty: the picture
    // is drawn from the initials and the colour.
    std::string picture;
    std::int64_t createdAt = 0; // seconds since the epoch

    bool operator==(const Player&) const = default;
};

// The name as it is compared for uniqueness: Unicode's NFKC case folding, the rule for
// identifiers (so "ÉMILE", "émile" and "Émile", precomposed or not, are one name, as are "ﬁona"
// and "FIONA", while "Emile" is another), blanks trimmed.
std::string foldPlayerName(std::string_view utf8);

// A name as it is kept and shown: invalid UTF-8 replaced, control, bidirectional-override and
// other format characters removed (the zero-width joiner and non-joiner stay between characters),
// runs of blanks made one space, blanks trimmed, cut to kMostNameCharacters. May come back empty.
std::string cleanPlayerName(std::string_view utf8);

// Up to two letters for a drawn picture: the first letters of the first and last words, upper
// case ("Anna Maria Lind" → "AL", "émile" → "É"); "?" for a name without letters.
std::string playerInitials(std::string_view name);

} // namespace cantorix::records
