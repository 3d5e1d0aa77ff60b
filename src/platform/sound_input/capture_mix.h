#pragma once
// The recorder's one voice from several inputs: subscribes to each chosen hub, keeps a small
// backlog per input (they deliver at their own pace) and hands out the frames every input has
// delivered, summed with each scaled by 1/N, so eight inputs at full level never clip. Each
// input's frames are placed by their own count since the mix began, never where they happen to
// arrive: an input that stalls and then delivers all it held keeps its place. With no input it
// hands out silence at real-time pace. Made and read on one thread (the recorder's).

#include "capture_hub.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace cantorix::platform {

class CaptureMix {
public:
    // Frames an input may fall behind the others before its missing frames count as silence: an
    // input whose device died must not hold the others' frames back for ever.
    static constexpr std::size_t kMaxLagFrames = CaptureHub::kSampleRate / 4;
    static constexpr std::size_t kQueueFrames = 1 << 15;

    // Subscribes to every hub (they must outlive the mix); throws std::runtime_error when one
    // has no subscriber slot left. secondsNow paces the silence of an empty choice.
    explicit CaptureMix(const std::vector<CaptureHub*>& hubs,
                        std::function<double()> secondsNow = {});

    // Appends to out the frames that every input has delivered since the last call, mixed.
    void take(std::vector<std::int16_t>& out);

private:
    // One input's frames not yet mixed, and the mix position just past the last of them.
    struct Backlog {
        std::vector<std::int16_t> frames;
        std::int64_t end = 0;
        std::uint64_t droppedSeen = 0;
    };
    void collect(std::size_t input);
    void takeSilence(std::vector<std::int16_t>& out);

    std::vector<std::unique_ptr<CaptureHub::Subscription>> m_subscriptions;
    std::vector<Backlog> m_backlogs;
    // Frames handed out so far: the mix position of the next one.
    std::int64_t m_mixed = 0;
    std::function<double()> m_secondsNow;
    double m_silenceStartedAt = -1;
    std::int64_t m_silentFrames = 0;
};

// One mixed frame: the sum of N inputs' samples divided by N, truncated towards zero, so one
// input passes unchanged and N at full scale stay within 16 bits.
inline std::int16_t mixedSample(std::int32_t sum, std::int32_t inputs) {
    return static_cast<std::int16_t>(sum / inputs);
}

} // namespace cantorix::platform
