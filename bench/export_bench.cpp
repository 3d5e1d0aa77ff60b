// Timed run of the MP3 export: a 4-minute song (MP3, 44100 Hz stereo, 128 kbit/s) and a
// 4-minute voice (the recording's PCM) through phases 1 to 4 without the window's pauses,
// against an ffmpeg command line that decodes, resamples, mixes at 0.6 each and encodes the
// same to 24000 Hz stereo at 56 kbit/s, timed in the same run. Prints wall and CPU seconds of
// both (best of the rounds), the export's speed against real time and its ratio to ffmpeg.
// Usage: export_bench [SECONDS] [ROUNDS]   (default 240 s, 3 rounds). Exit status 1 when the
// export is under 60× real time or over 1.2× ffmpeg's time.

#include "audio/export_job.h"
#include "audio/recording_paths.h"
#include "platform/media/codec_manager.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace cantorix;

namespace {

struct Times {
    double wall = 1e9, cpu = 1e9;
    void keepBest(double w, double c) {
        wall = std::min(wall, w);
        cpu = std::min(cpu, c);
    }
};

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// A voice in the recording's layout: 46-byte header, 22050 Hz, 16-bit stereo, a gliding tone.
void writeVoice(const fs::path& file, int seconds) {
    const std::uint32_t rate = 22050, frames = rate * static_cast<std::uint32_t>(seconds);
    std::ofstream out(file, std::ios::binary);
    const auto le = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.put(static_cast<char>(v >> (8 * i)));
    };
    out << "RIFF";
    le(38 + frames * 4, 4);
    out << "WAVEfmt ";
    le(18, 4), le(1, 2), le(2, 2), le(rate, 4), le(rate * 4, 4), le(4, 2), le(16, 2), le(0, 2);
    out << "data";
    le(frames * 4, 4);
    double phase = 0;
    for (std::uint32_t i = 0; i < frames; ++i) {
        phase += 2 * std::numbers::pi * (300 + 200 * std::sin(i / 44100.0)) / rate;
        const auto s =
            static_cast<std::uint16_t>(static_cast<std::int16_t>(9000 * std::sin(phase)));
        le(s, 2), le(s, 2);
    }
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 240;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const fs::path root =
        fs::temp_directory_path() / ("cantorix-export-bench-" + std::to_string(::getpid()));
    fs::remove_all(root);
    audio::ensureMixBufferDirectory(root);
    const fs::path song = root / "song.mp3", voice = audio::performanceRecordingPath(root);
    const std::string length = std::to_string(seconds);
    // Music-like material: a chord over pink noise, so the codecs have real work.
    if (!shell("ffmpeg -v error -y -f lavfi -i 'anoisesrc=d=" + length +
               ":c=pink:a=0.15:r=44100' -f lavfi -i 'sine=f=220:d=" + length +
               ":r=44100' -f lavfi -i 'sine=f=277:d=" + length +
               ":r=44100' -filter_complex amix=inputs=3 -ac 2 -c:a libmp3lame -b:a 128k '" +
               song.string() + "'")) {
        std::fprintf(stderr, "export_bench: ffmpeg could not make the song\n");
        return 2;
    }
    writeVoice(voice, seconds);

    const std::string ffmpegCommand =
        "ffmpeg -v error -y -i '" + song.string() + "' -i '" + voice.string() +
        "' -filter_complex '[0:a]aresample=22050,volume=0.6[s];[1:a]volume=0.6[v];"
        "[s][v]amix=inputs=2:duration=longest:normalize=0,aresample=24000' "
        "-ac 2 -c:a libmp3lame -b:a 56k '" +
        (root / "ffmpeg.mp3").string() + "'";

    platform::CodecManager codecs;
    audio::TExportJob job(codecs);
    Times ours, theirs;
    for (int round = 0; round < rounds; ++round) {
        job.begin(audio::ExportFiles::under(root, song, root / "export.mp3"));
        double wall = wallSeconds(), cpu = cpuSeconds(RUSAGE_SELF);
        audio::runExportPhases(job);
        ours.keepBest(wallSeconds() - wall, cpuSeconds(RUSAGE_SELF) - cpu);

        wall = wallSeconds();
        cpu = cpuSeconds(RUSAGE_CHILDREN);
        if (!shell(ffmpegCommand)) {
            std::fprintf(stderr, "export_bench: the ffmpeg command failed\n");
            return 2;
        }
        theirs.keepBest(wallSeconds() - wall, cpuSeconds(RUSAGE_CHILDREN) - cpu);
    }
    fs::remove_all(root);

    const double speed = seconds / ours.wall;
    const double ratio = ours.wall / theirs.wall;
    std::printf("export of %d s, best of %d rounds\n", seconds, rounds);
    std::printf("  export phases 1-4: %.3f s wall, %.3f s CPU  -> %.0fx real time (CPU: %.0fx)\n",
                ours.wall, ours.cpu, speed, seconds / ours.cpu);
    std::printf("  ffmpeg command:    %.3f s wall, %.3f s CPU\n", theirs.wall, theirs.cpu);
    std::printf("  export / ffmpeg:   %.2f wall, %.2f CPU\n", ratio, ours.cpu / theirs.cpu);
    const bool met = speed >= 60 && ratio <= 1.2;
    std::printf("  targets (>= 60x real time, <= 1.2x ffmpeg): %s\n", met ? "met" : "MISSED");
    return met ? 0 : 1;
}
