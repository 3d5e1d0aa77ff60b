#pragma once
// The hall of fame: the list of entries ("<score>:<name>") in the order the hidden sorted list
// keeps and Score.ini stores, and the ranked rows the hall-of-fame screen shows. Pure values;
// main thread only.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::session {

// The rows the hall-of-fame screen shows at most.
inline constexpr int kHallOfFameRows = 7;

// Text order ignoring case: bytes compared with ASCII letters folded to lower case, so other
// bytes (digits, ':', UTF-8 sequences) keep their byte order.
bool lessIgnoringCase(std::string_view a, std::string_view b);

// The entries in ascending text order of the whole entry, ignoring case; an entry added takes
// its place after the entries equal to it. Entries are never removed.
class HallOfFameList {
public:
    void add(std::string entry);
    // Replaces the contents, as loading Score.ini does, and sorts them.
    void assign(std::vector<std::string> entries);
    const std::vector<std::string>& entries() const { return m_entries; }
    int count() const { return static_cast<int>(m_entries.size()); }

private:
    std::vector<std::string> m_entries;
};

// One entry split at its first ':'. An entry without ':' has the whole text as its name and
// ranks as score 0; so does a score text that is not a decimal integer.
struct HallOfFameEntry {
    std::string scoreText; // the text before the first ':', "0" when there is none
    std::string name;      // the text after the first ':', colons and all
    std::int64_t score = 0;
};
HallOfFameEntry parseHallOfFameEntry(std::string_view entry);

struct HallOfFameRow {
    int number = 0;      // 1 for the best
    std::string caption; // number, ".  " and the name
    std::string scoreText;
};

// The best entries, at most maxRows: highest score first, equal scores by name ignoring case
// (then by the entry's text, so the order never depends on the list's order).
std::vector<HallOfFameRow> rankHallOfFame(const std::vector<std::string>& entries,
                                          int maxRows = kHallOfFameRows);

} // namespace cantorix::session
