// Feeds arbitrary bytes to the RIFF WAVE reader: it must either hand out a data window that lies
// inside the file, reading back exactly its size, or throw one of the layer's errors; never read
// out of bounds or allocate by a size field. What it reads must survive a write and a re-read.

#include "audio/riff_stream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace cantorix::audio;
    try {
        MemoryStream file(std::vector<std::uint8_t>(data, data + size));
        TdeRIFFAudioReader reader(file);
        TdeSubStream& audio = reader.dataStream();
        if (audio.start() <= 0 || audio.size() <= 0 || audio.start() + audio.size() > file.size())
            std::abort();
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(audio.size()) + 1);
        if (audio.read(bytes.data(), bytes.size()) != static_cast<std::size_t>(audio.size()))
            std::abort();
        bytes.pop_back();

        MemoryStream copy;
        {
            TdeRIFFAudioWriter writer(copy);
            writer.format() = reader.format();
            writer.write(bytes.data(), bytes.size());
        }
        TdeRIFFAudioReader again(copy);
        if (again.dataStream().size() != audio.size() ||
            again.format().formatTag() != reader.format().formatTag())
            std::abort();
    } catch (const EAudioCodecError&) {
    } catch (const EStreamError&) {
    }
    return 0;
}
