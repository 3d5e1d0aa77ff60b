// Timed run: all analysis and judging of one 50 ms tick with eight singers at once. Eight
// listening loops, each with a capture fed by a generated voice, the game's coarse analysis and
// the semitone tracker over its windows, judged on the standard demo duet (the singers
// alternating its two voices), as the window and `cantorix-tool sing` drive them. Prints the
// thread CPU time of each tick's work (the capture handed to the analysis, then the tick), mean,
// 99th percentile and max over the whole song, for one singer and for eight; asserts nothing.

#include "base/main_thread_invoker_port.h"
#include "fakes/generated_voice.h"
#include "platform/sound_input/capture_service.h"
#include "platform/sound_input/paced_input.h"
#include "platform/voice/aubio_semitone_tracker.h"
#include "session/listening_loop.h"
#include "session/singer_inputs.h"
#include "session/standard_judge.h"
#include "session/standard_timeline.h"
#include "songs/song_text_file.h"
#include "songs/standard_song.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <numeric>
#include <vector>

namespace {

using namespace cantorix;

const std::filesystem::path kSong =
    std::filesystem::path(CANTORIX_PROGRAM_DIR) /
    "songs/Cantorix - Two Lighthouses/Cantorix - Two Lighthouses.txt";
constexpr int kStepMs = 5;
constexpr int kInputMs = 10; // the file input's pacing step
constexpr int kCaptureLeadMs = 25;
constexpr int kTailMs = 1000;

class InlineInvoker : public base::MainThreadInvoker {
public:
    void post(std::function<void()> task) override { task(); }
};

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// A singer of one voice, a little off in timing and timbre from the others of that voice.
std::vector<std::int16_t> voiceOf(const songs::StandardSong& song, std::size_t voice,
                                  std::uint32_t seed) {
    std::vector<testing::VoiceNote> notes;
    for (const session::TimedNote& n : session::voiceTimeline(song, voice).notes)
        notes.push_back({static_cast<int>(std::lround(n.startMs - song.startMs)) +
                             static_cast<int>(seed % 3) * 10,
                         static_cast<int>(std::lround(n.endMs - n.startMs)), 60 + n.note.pitch});
    return testing::generatedVoice(notes, 44100, seed);
}

struct Singer {
    platform::CaptureService capture;
    std::unique_ptr<platform::FramePacer> pacer;
    platform::AubioSemitoneTracker tracker;
    std::unique_ptr<session::ListeningLoop> loop;
    std::size_t voice = 0;
};

struct TickFigures {
    double meanMs = 0, p99Ms = 0, maxMs = 0;
    std::size_t ticks = 0;
    std::int64_t firstSingerPoints = 0, firstSingerPossible = 0;
};

TickFigures runSong(const songs::StandardSong& song, std::size_t singerCount) {
    const std::size_t voiceCount = std::max<std::size_t>(1, song.voices.size());
    std::vector<std::unique_ptr<session::StandardTimeline>> timelines;
    std::vector<std::unique_ptr<session::StandardJudge>> judges;
    double endMs = 0;
    for (std::size_t v = 0; v < voiceCount; ++v) {
        auto timeline = std::make_unique<session::StandardTimeline>(song);
        timeline->setVoice(static_cast<int>(v));
        timeline->startSession();
        timeline->startFirstLines();
        judges.push_back(std::make_unique<session::StandardJudge>(timeline->voice(),
                                                                  session::Difficulty::Medium, 0));
        for (const session::TimedNote& n : timeline->voice().notes)
            endMs = std::max(endMs, n.endMs);
        timelines.push_back(std::move(timeline));
    }
    InlineInvoker invoker;
    std::vector<std::unique_ptr<Singer>> singers;
    for (std::size_t k = 0; k < singerCount; ++k) {
        auto singer = std::make_unique<Singer>();
        singer->voice = session::defaultVoiceOf(k, voiceCount);
        singer->pacer = std::make_unique<platform::FramePacer>(
            singer->capture.hub(), voiceOf(song, singer->voice, static_cast<std::uint32_t>(k + 1)));
        singer->loop = std::make_unique<session::ListeningLoop>(
            session::ListeningParts{.capture = singer->capture,
                                    .invoker = invoker,
                                    .semitones = &singer->tracker,
                                    .notifyThread = false});
        singer->loop->startCapture();
        singer->loop->startSession(judges[singer->voice].get(),
                                   static_cast<std::int64_t>(song.startMs));
        singer->loop->scoring().setLines(judges[singer->voice]->lineStartsMs());
        singers.push_back(std::move(singer));
    }

    std::vector<double> tickMs;
    double pendingMs = 0; // the work of the tick under way: its capture hand-over, then the tick
    const auto lastMs = static_cast<std::int64_t>(endMs - song.startMs) + kTailMs;
    for (std::int64_t t = kStepMs; t <= lastMs; t += kStepMs) {
        const auto position = static_cast<std::int64_t>(song.startMs) + t;
        if (t % kInputMs == kInputMs / 2)
            for (auto& singer : singers)
                singer->pacer->deliverDue(std::chrono::milliseconds(t));
        if (t % session::kAnalysisTickMs == session::kAnalysisTickMs - kCaptureLeadMs) {
            const double start = threadCpuMs();
            for (auto& singer : singers)
                singer->loop->takeCaptured();
            pendingMs += threadCpuMs() - start;
        }
        if (t % session::kAnalysisTickMs == 0) {
            const double start = threadCpuMs();
            for (auto& singer : singers) {
                const session::StandardTimeline& timeline = *timelines[singer->voice];
                singer->loop->tick(timeline.judging(), timeline.judgedPitch());
            }
            tickMs.push_back(pendingMs + threadCpuMs() - start);
            pendingMs = 0;
        }
        if (t % kInputMs == 0)
            for (auto& timeline : timelines)
                timeline->step(position);
    }
    TickFigures figures;
    figures.ticks = tickMs.size();
    figures.meanMs = std::accumulate(tickMs.begin(), tickMs.end(), 0.0) /
                     static_cast<double>(std::max<std::size_t>(1, tickMs.size()));
    std::sort(tickMs.begin(), tickMs.end());
    if (!tickMs.empty()) {
        figures.maxMs = tickMs.back();
        figures.p99Ms = tickMs[tickMs.size() * 99 / 100];
    }
    figures.firstSingerPoints = singers.front()->loop->scoring().notePoints();
    figures.firstSingerPossible = singers.front()->loop->scoring().possible();
    return figures;
}

} // namespace

int main() {
    if (!std::filesystem::exists(kSong)) {
        std::printf("The demo songs have not been built (%s): nothing to measure.\n",
                    kSong.c_str());
        return 0;
    }
    const songs::StandardSong song = songs::readStandardSong(songs::readSongFileBytes(kSong));
    std::printf("One 50 ms tick's analysis and judging, thread CPU time, over the demo duet\n");
    std::printf("singers  ticks  mean ms  p99 ms  max ms  singer 1 points\n");
    for (const std::size_t singers : {std::size_t{1}, std::size_t{8}}) {
        const TickFigures f = runSong(song, singers);
        std::printf("%7zu  %5zu  %7.3f  %6.3f  %6.3f  %lld of %lld\n", singers, f.ticks, f.meanMs,
                    f.p99Ms, f.maxMs, static_cast<long long>(f.firstSingerPoints),
                    static_cast<long long>(f.firstSingerPossible));
    }
    return 0;
}
