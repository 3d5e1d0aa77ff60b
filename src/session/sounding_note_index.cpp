#include "sounding_note_index.h"

#include <algorithm>
#include <limits>

namespace cantorix::session {

namespace {

constexpr double kNoEnd = -std::numeric_limits<double>::infinity();

} // namespace

SoundingNoteIndex::SoundingNoteIndex(std::vector<double> starts, const std::vector<double>& ends)
    : m_starts(std::move(starts)) {
    const std::size_t count = std::min(m_starts.size(), ends.size());
    m_starts.resize(count);
    m_leaves = 1;
    while (m_leaves < count)
        m_leaves *= 2;
    m_latestEnd.assign(2 * m_leaves, kNoEnd);
    std::copy(ends.begin(), ends.begin() + static_cast<std::ptrdiff_t>(count),
              m_latestEnd.begin() + static_cast<std::ptrdiff_t>(m_leaves));
    for (std::size_t node = m_leaves - 1; node >= 1; --node)
        m_latestEnd[node] = std::max(m_latestEnd[2 * node], m_latestEnd[2 * node + 1]);
}

std::size_t SoundingNoteIndex::startedBy(double t) const {
    return static_cast<std::size_t>(std::upper_bound(m_starts.begin(), m_starts.end(), t) -
                                    m_starts.begin());
}

long SoundingNoteIndex::lastSounding(std::size_t first, std::size_t last, double t) const {
    last = std::min(last, startedBy(t));
    if (first >= last)
        return -1;
    return lastEndingAfter(1, 0, m_leaves, first, last, t);
}

// The last leaf of [first, last) within the node's span [from, to) whose end lies after t. The
// later half is searched first, and a span that ends nothing after t is left at once, so only
// the spans cut by first or last and one path down are visited.
long SoundingNoteIndex::lastEndingAfter(std::size_t node, std::size_t from, std::size_t to,
                                        std::size_t first, std::size_t last, double t) const {
    if (to <= first || from >= last || !(m_latestEnd[node] > t))
        return -1;
    if (to - from == 1)
        return static_cast<long>(from);
    const std::size_t middle = from + (to - from) / 2;
    const long later = lastEndingAfter(2 * node + 1, middle, to, first, last, t);
    return later >= 0 ? later : lastEndingAfter(2 * node, from, middle, first, last, t);
}

} // namespace cantorix::session
