// Feeds arbitrary bytes to the WAV reader: it must either describe sample data that lies inside
// the file and decodes to finite values within −1 … 1, or throw EWavError; never read out of
// bounds. A file it describes is also converted to capture frames piece by piece, as a voice
// file is played, and gives about as many frames as its length at the capture rate. Its last
// channel alone decodes within the same bounds, as a singer's channel of a shared file does.

#include "platform/sound_input/capture_hub.h"
#include "platform/sound_input/wav_file_input.h"
#include "platform/sound_input/wav_reader.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace cantorix::platform;
    try {
        const WavInfo info = parseWav(data, size);
        if (info.blockAlign == 0 || info.dataOffset > size ||
            info.frameCount > (size - info.dataOffset) / info.blockAlign)
            std::abort();
        std::vector<float> mono(256);
        std::vector<float> channel(mono.size());
        const int lastChannel = info.channels - 1;
        for (std::size_t first = 0; first < info.frameCount; first += mono.size()) {
            const std::size_t count = std::min(mono.size(), info.frameCount - first);
            decodeMonoFrames(info, data, size, first, count, mono.data());
            decodeChannelSamples(info, data + info.dataOffset + first * info.blockAlign, count,
                                 lastChannel, channel.data());
            for (std::size_t i = 0; i < count; ++i) {
                if (!std::isfinite(mono[i]) || mono[i] < -1.0f || mono[i] > 1.0f)
                    std::abort();
                if (!std::isfinite(channel[i]) || channel[i] < -1.0f || channel[i] > 1.0f)
                    std::abort();
            }
        }
        // Longer files only slow the search down: the pieces repeat past the first few.
        if (info.frameCount <= 50'000) {
            const double expected =
                static_cast<double>(info.frameCount) * CaptureHub::kSampleRate / info.sampleRate;
            const auto frames = static_cast<double>(convertWavForCapture(data, size).size());
            if (std::fabs(frames - expected) > 100 + expected / 100)
                std::abort();
        }
    } catch (const EWavError&) {
    }
    return 0;
}
