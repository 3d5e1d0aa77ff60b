#pragma once
// Finds chunks in RIFF data held in memory: a RIFF form of a given type at the top level, and a
// chunk of a given id inside a form. Used to unwrap RIFF MIDI files ("RMID" form, "data" chunk).
// A chunk whose declared size runs past its parent is cut at the parent's end; a header that
// does not fit is the end of the search.

#include <cstdint>
#include <optional>
#include <span>

namespace cantorix::midi {

using ByteSpan = std::span<const std::uint8_t>;

class RiffChunkReader {
public:
    // The contents (after the form type) of the first top-level "RIFF" chunk of that form type.
    static std::optional<ByteSpan> findForm(ByteSpan file, const char (&formType)[5]);
    // The data of the first chunk with that id directly inside `parent`.
    static std::optional<ByteSpan> findChunk(ByteSpan parent, const char (&id)[5]);
};

} // namespace cantorix::midi
