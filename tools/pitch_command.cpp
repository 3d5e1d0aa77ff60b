// `cantorix-tool pitch [--json] FILE.wav`: plays a WAV file into the game's capture path as fast
// as it can go, one 50 ms notification at a time, and prints what the pitch analysis detects
// after each. `cantorix-tool pitch --tones` prints which clean tones score which sung values.

#include "base/regular_file.h"
#include "pitch/capture_stream.h"
#include "pitch/sound.h"
#include "pitch/tone.h"
#include "platform/sound_input/capture_service.h"
#include "platform/sound_input/wav_file_input.h"
#include "tool_commands.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace cantorix::tools {

namespace {

using pitch::TSound;
using pitch::TSoundCaptureStream;

// 50 ms of the capture format: what one notification of the game's capture stream delivers.
constexpr std::size_t kBurstFrames = 2205;
// The game's capture set-up: format entry 18 (44100 Hz, 16-bit, mono) and a 512 ms ring.
constexpr std::int32_t kGameCaptureFormat = 18;
constexpr std::int32_t kGameBufferLength = 512;

// The stream gets no notification thread here (the burst loop notifies), so nothing is posted;
// anything that were would run at once.
class InlineInvoker : public base::MainThreadInvoker {
public:
    void post(std::function<void()> task) override { task(); }
};

// The detected bin after each burst of the file's sound, delivered through the capture stream
// over a manually fed capture service, exactly as the game's notification step would.
std::vector<std::int32_t> analyseFrames(platform::CaptureFrameSource& frames) {
    platform::CaptureService capture;
    InlineInvoker invoker;
    TSoundCaptureStream stream(capture, invoker, [](const std::exception&) {});
    stream.setCaptureFormat(kGameCaptureFormat);
    stream.setBufferLength(kGameBufferLength);
    stream.start();
    const auto sound = std::make_unique<TSound>();
    sound->setCaptureStream(&stream);

    std::vector<std::int32_t> bins;
    // The file is converted a burst at a time: an hour of low-rate sound would take a gigabyte
    // once converted whole.
    std::vector<std::int16_t> burst(kBurstFrames);
    while (const std::size_t count = frames.read(burst.data(), burst.size())) {
        capture.hub().deliver(burst.data(), count);
        if (stream.filledSize() > 0)
            sound->OnSoundCaptured(stream);
        sound->Analyse();
        bins.push_back(sound->detectedBin());
    }
    stream.stop();
    return bins;
}

void printTones() {
    std::printf("candidate  pitch Hz  index  sung value of a clean tone there\n");
    for (int i = pitch::kFirstCandidate; i <= pitch::kLastCandidate; ++i) {
        const double hz = std::pow(pitch::kSemitoneRatio, i) * pitch::kBaseFrequency;
        std::printf("%9d  %8.2f  %5d  %d\n", i, hz, pitch::candidateBins(i, 4096).b1,
                    pitch::sungValueOfTone(hz));
    }
    std::printf("\nsung value  tone Hz\n");
    for (const std::uint8_t value : pitch::possibleSungValues())
        std::printf("%10d  %7.2f\n", value, pitch::toneFrequencyOfSungValue(value));
}

} // namespace

int runPitchCommand(const Args& args) {
    bool json = false;
    bool tones = false;
    std::string file;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (a == "--tones")
            tones = true;
        else if (file.empty() && !a.starts_with("--"))
            file = a;
        else {
            std::fprintf(stderr, "cantorix-tool pitch: unexpected argument %s\n", a.c_str());
            return 2;
        }
    }
    if (tones && file.empty()) {
        printTones();
        return 0;
    }
    if (file.empty() || tones) {
        std::fprintf(stderr, "Usage: cantorix-tool pitch [--json] FILE.wav | --tones\n");
        return 2;
    }
    try {
        const std::unique_ptr<platform::CaptureFrameSource> frames =
            platform::openWavForCapture(base::openRegularFileOrThrow(file));
        const std::vector<std::int32_t> bins = analyseFrames(*frames);
        if (json) {
            std::string out = "[";
            for (std::size_t i = 0; i < bins.size(); ++i)
                out += (i > 0 ? ", " : "") + std::to_string(bins[i]);
            std::printf("%s]\n", out.c_str());
        } else {
            for (std::size_t i = 0; i < bins.size(); ++i)
                std::printf("%zu %d %d\n", i, bins[i], pitch::sungValueOf(bins[i]));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cantorix-tool pitch: %s: %s\n", file.c_str(), e.what());
        return 1;
    }
    return 0;
}

} // namespace cantorix::tools
