#include "wav_file_input.h"

#include "resampler.h"
#include "wav_reader.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>

namespace cantorix::platform {

namespace {

constexpr std::size_t kChunkFrames = 8192;

std::vector<std::int16_t> loadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw EWavError("Cannot open the microphone file \"" + file.string() + "\"");
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    if (in.bad())
        throw EWavError("Cannot read the microphone file \"" + file.string() + "\"");
    try {
        return convertWavForCapture(bytes.data(), bytes.size());
    } catch (const EWavError& e) {
        throw EWavError("Cannot use \"" + file.string() + "\" as the microphone: " + e.what());
    }
}

} // namespace

std::vector<std::int16_t> convertWavForCapture(const std::uint8_t* data, std::size_t size) {
    const WavInfo info = parseWav(data, size);
    std::optional<MonoResampler> resampler;
    try {
        resampler.emplace(info.sampleRate, CaptureHub::kSampleRate, MonoResampler::Input::Float32);
    } catch (const std::runtime_error& e) {
        throw EWavError(e.what());
    }
    std::vector<std::int16_t> out;
    out.reserve(static_cast<std::size_t>(static_cast<double>(info.frameCount) *
                                         CaptureHub::kSampleRate / info.sampleRate) +
                1024);
    std::vector<float> mono(kChunkFrames);
    for (std::size_t first = 0; first < info.frameCount; first += kChunkFrames) {
        const std::size_t count = std::min(kChunkFrames, info.frameCount - first);
        decodeMonoFrames(info, data, size, first, count, mono.data());
        resampler->process(mono.data(), count, out);
    }
    resampler->flush(out);
    return out;
}

WavFileInput::WavFileInput(CaptureHub& hub, const std::filesystem::path& file)
    : PacedInput(hub, loadFile(file), "WAV file " + file.string(), false) {}

} // namespace cantorix::platform
