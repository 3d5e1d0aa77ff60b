#include "hall_of_fame.h"

#include <algorithm>
#include <charconv>

namespace cantorix::session {

namespace {

unsigned char foldCase(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

// Negative, zero or positive as a sorts before, with or after b, ignoring case.
int compareIgnoringCase(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = foldCase(a[i]);
        const unsigned char y = foldCase(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

// The whole text must be a decimal integer that fits; anything else counts as 0.
std::int64_t parseScore(std::string_view text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end ? value : 0;
}

struct RankedEntry {
    HallOfFameEntry parts;
    const std::string* text = nullptr;
};

bool ranksBefore(const RankedEntry& a, const RankedEntry& b) {
    if (a.parts.score != b.parts.score)
        return a.parts.score > b.parts.score;
    if (const int byName = compareIgnoringCase(a.parts.name, b.parts.name); byName != 0)
        return byName < 0;
    return *a.text < *b.text;
}

} // namespace

bool lessIgnoringCase(std::string_view a, std::string_view b) {
    return compareIgnoringCase(a, b) < 0;
}

void HallOfFameList::add(std::string entry) {
    const auto place = std::upper_bound(
        m_entries.begin(), m_entries.end(), entry,
        [](const std::string& a, const std::string& b) { return lessIgnoringCase(a, b); });
    m_entries.insert(place, std::move(entry));
}

void HallOfFameList::assign(std::vector<std::string> entries) {
    m_entries = std::move(entries);
    std::stable_sort(
        m_entries.begin(), m_entries.end(),
        [](const std::string& a, const std::string& b) { return lessIgnoringCase(a, b); });
}

HallOfFameEntry parseHallOfFameEntry(std::string_view entry) {
    HallOfFameEntry parts;
    const std::size_t colon = entry.find(':');
    if (colon == std::string_view::npos) {
        parts.scoreText = "0";
        parts.name = entry;
        return parts;
    }
    parts.scoreText = entry.substr(0, colon);
    parts.name = entry.substr(colon + 1);
    parts.score = parseScore(parts.scoreText);
    return parts;
}

std::vector<HallOfFameRow> rankHallOfFame(const std::vector<std::string>& entries, int maxRows) {
    std::vector<RankedEntry> ranked;
    ranked.reserve(entries.size());
    for (const std::string& entry : entries)
        ranked.push_back({parseHallOfFameEntry(entry), &entry});
    const std::size_t shown =
        std::min(ranked.size(), static_cast<std::size_t>(std::max(maxRows, 0)));
    std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(shown),
                      ranked.end(), ranksBefore);

    std::vector<HallOfFameRow> rows;
    rows.reserve(shown);
    for (std::size_t i = 0; i < shown; ++i) {
        HallOfFameRow row;
        row.number = static_cast<int>(i) + 1;
        row.caption = std::to_string(row.number) + ".  " + ranked[i].parts.name;
        row.scoreText = std::move(ranked[i].parts.scoreText);
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace cantorix::session
