// Feeds arbitrary captured bytes to the pitch analysis in notifications whose sizes the input
// chooses (repeated, so that the byte store reaches its trim): every capture and analysis leaves
// a full block, a bounded store and a detected bin that one of the candidates can give.

#include "pitch/memory_wave_stream.h"
#include "pitch/sound.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>

using namespace cantorix::pitch;

namespace {

constexpr int kMaxNotifications = 8;

void require(bool condition) {
    if (!condition)
        std::abort();
}

const std::set<std::int32_t>& possibleBins() {
    static const std::set<std::int32_t> bins = [] {
        std::set<std::int32_t> b{0};
        for (int i = kFirstCandidate; i <= kLastCandidate; ++i)
            b.insert(candidateBins(i, kSamplesPerBlock).b1);
        return b;
    }();
    return bins;
}

void checkAnalysis(const TSound& sound) {
    require(sound.sampleCount() == kSamplesPerBlock);
    require(sound.captureBuffer().size() <= kTrimAbove);
    for (std::int32_t i = 0; i <= kAnalysisArrayLength + 1; ++i) {
        const float s = sound.sample(i);
        require(std::isfinite(s) && std::fabs(s) <= 65536.0f);
        if (i < 1 || i >= kSamplesPerBlock)
            require(s == 0.0f); // outside the block, or at the window's zero
    }
    for (const float m : sound.spectrum())
        require(std::isfinite(m) && m >= 0.0f);
    require(possibleBins().contains(sound.detectedBin()));
}

} // namespace

// Each notification: two bytes of size, one byte of repeat count, then up to that many bytes of
// sound (fewer when the input ends), waiting 1 + repeat times over when the notification comes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto sound = std::make_unique<TSound>();
    MemoryWaveStream stream;
    sound->Analyse();
    require(sound->detectedBin() == 0);
    int notifications = 0;
    std::size_t at = 0;
    while (at + 3 <= size && notifications < kMaxNotifications) {
        const std::size_t want = data[at] | data[at + 1] << 8;
        const int repeats = 1 + data[at + 2] % 32;
        at += 3;
        const std::size_t count = std::min(want, size - at);
        for (int r = 0; r < repeats; ++r)
            stream.append(data + at, count);
        at += count;
        sound->OnSoundCaptured(stream);
        ++notifications;
        require(stream.filledSize() == 0);
        sound->Analyse();
        checkAnalysis(*sound);
    }
    const std::int32_t bin = sound->detectedBin();
    sound->Analyse();
    require(sound->detectedBin() == bin);
    return 0;
}
