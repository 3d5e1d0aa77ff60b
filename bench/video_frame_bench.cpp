// Main-thread cost of the video plane: decoding the next frame of the demo clip (Motion JPEG,
// 640 × 480) to bottom-up 24-bit rows, and the whole step that shows it (decode plus the colour
// array at each quality level).

#include "platform/media/ffmpeg_video_decoder.h"
#include "stage/video_plane.h"

#include <benchmark/benchmark.h>

namespace {

using namespace cantorix;

const std::filesystem::path kClip = CANTORIX_DEMO_VIDEO;

void BM_DecodeNextFrame(benchmark::State& state) {
    platform::FfmpegVideoDecoder decoder;
    if (!decoder.open(kClip)) {
        state.SkipWithError("the demo clip does not open");
        return;
    }
    const std::int64_t length = decoder.info().length;
    session::VideoFrame frame;
    std::int64_t index = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(decoder.frame(index, frame));
        index = (index + 1) % length;
    }
}
BENCHMARK(BM_DecodeNextFrame)->Unit(benchmark::kMillisecond);

// One shown frame as the cadencer step runs it: decode, then refresh the colour array.
void BM_ShowNextFrame(benchmark::State& state) {
    scene::TGLAviPlane node;
    stage::VideoPlane plane(node, std::make_unique<platform::FfmpegVideoDecoder>());
    plane.SetQuality(static_cast<int>(state.range(0)));
    plane.OpenClip(kClip);
    if (!plane.opened()) {
        state.SkipWithError("the demo clip does not open");
        return;
    }
    for (auto _ : state) {
        plane.SetFrame(plane.CurrentFrame()); // show at once, whatever the time
        plane.DoProgress(0);
    }
    state.counters["vertices"] = static_cast<double>(node.mesh().vertices.size() / 3);
}
BENCHMARK(BM_ShowNextFrame)->DenseRange(1, 4)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
