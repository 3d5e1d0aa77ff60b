#pragma once
// Finds the note sounding at a moment among notes sorted by their start, in logarithmic time
// however long the song and however its notes overlap: a binary search for the notes begun by
// then and a tree of the latest end over runs of notes. Built once per session; a value.

#include <cstddef>
#include <vector>

namespace cantorix::session {

class SoundingNoteIndex {
public:
    SoundingNoteIndex() = default;
    // starts ascending; ends[k] ends the note that starts at starts[k]. Same sizes.
    SoundingNoteIndex(std::vector<double> starts, const std::vector<double>& ends);

    // The notes that start at or before t.
    std::size_t startedBy(double t) const;
    // The last note k of [first, last) with starts[k] <= t < ends[k]; -1 when none is.
    long lastSounding(std::size_t first, std::size_t last, double t) const;

private:
    long lastEndingAfter(std::size_t node, std::size_t from, std::size_t to, std::size_t first,
                         std::size_t last, double t) const;

    std::vector<double> m_starts;
    std::size_t m_leaves = 0;        // a power of two, at least the note count
    std::vector<double> m_latestEnd; // node 1 spans every leaf; node n's children are 2n, 2n+1
};

} // namespace cantorix::session
