#include "riff_chunk_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace cantorix::midi {

namespace {

constexpr std::size_t kHeaderSize = 8;

std::uint32_t readU32LE(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

// Walks the chunks of one level; `visit` returns true to stop at the chunk it was given.
template <typename Visit> std::optional<ByteSpan> walkChunks(ByteSpan level, Visit visit) {
    std::size_t offset = 0;
    while (level.size() - offset >= kHeaderSize) {
        const std::uint8_t* header = level.data() + offset;
        const std::size_t available = level.size() - offset - kHeaderSize;
        const std::size_t declared = readU32LE(header + 4);
        const ByteSpan data = level.subspan(offset + kHeaderSize, std::min(declared, available));
        if (visit(header, data))
            return data;
        // Chunks start on even offsets: an odd-sized chunk is followed by a pad byte.
        const std::size_t step = declared + (declared & 1u);
        if (step > available)
            break;
        offset += kHeaderSize + step;
    }
    return std::nullopt;
}

} // namespace

std::optional<ByteSpan> RiffChunkReader::findForm(ByteSpan file, const char (&formType)[5]) {
    const auto form = walkChunks(file, [&](const std::uint8_t* header, ByteSpan data) {
        return std::memcmp(header, "RIFF", 4) == 0 && data.size() >= 4 &&
               std::memcmp(data.data(), formType, 4) == 0;
    });
    if (!form)
        return std::nullopt;
    return form->subspan(4);
}

std::optional<ByteSpan> RiffChunkReader::findChunk(ByteSpan parent, const char (&id)[5]) {
    return walkChunks(parent, [&](const std::uint8_t* header, ByteSpan) {
        return std::memcmp(header, id, 4) == 0;
    });
}

} // namespace cantorix::midi
