// The export's mix over two arbitrary files: each is read as a RIFF WAVE the way the mix phase
// reads the decoded song and the recording, and the two are mixed with the offsets found.

#include "audio/performance_mix.h"
#include "audio/riff_stream.h"
#include "audio/stream.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

using namespace cantorix::audio;

std::optional<MixInput> readInput(const std::vector<std::uint8_t>& file) {
    try {
        MemoryStream stream(file);
        TdeRIFFAudioReader reader(stream);
        return MixInput{file, static_cast<std::size_t>(reader.dataStream().start()),
                        static_cast<std::size_t>(reader.dataStream().size())};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t half = size / 2;
    const std::vector<std::uint8_t> song(data, data + half), voice(data + half, data + size);
    const auto songInput = readInput(song), voiceInput = readInput(voice);
    // A file the reader refuses still exercises the mix with its whole length as data.
    const MixInput a = songInput ? *songInput : MixInput{song, 44, song.size()};
    const MixInput b = voiceInput ? *voiceInput : MixInput{voice, 46, voice.size()};
    const auto out = mixPerformance(a, b);
    if (out.size() != std::max(song.size(), voice.size()))
        __builtin_trap();
    return 0;
}
