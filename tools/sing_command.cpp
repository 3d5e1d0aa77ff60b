// `cantorix-tool sing SONG.txt VOICE.wav [--json] [--difficulty easy|medium|hard] [--delay MS]
// [--voice N]`: scores a recording as a session in the game would, without a window or sound.
// The recording is the microphone from the moment the song's audio starts, fed through the
// game's capture, analysis, tick schedule and scoring on made-up time. The song's audio need not
// exist: when it can be read its length ends the session, as the music would.

#include "base/regular_file.h"
#include "json_text.h"
#include "platform/media/audio_file_decoder.h"
#include "platform/sound_input/capture_service.h"
#include "platform/sound_input/paced_input.h"
#include "platform/sound_input/wav_file_input.h"
#include "platform/sound_input/wav_reader.h"
#include "platform/voice/aubio_semitone_tracker.h"
#include "session/headless_session.h"
#include "songs/song_errors.h"
#include "songs/song_format.h"
#include "songs/song_media_file.h"
#include "songs/song_text_file.h"
#include "songs/standard_song.h"
#include "tool_commands.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

namespace cantorix::tools {

namespace {

const char* const kUsage = "Usage: cantorix-tool sing SONG.txt VOICE.wav [--json] "
                           "[--difficulty easy|medium|hard] [--delay MS] [--voice N]\n";
constexpr int kMaxDelayMs = 500;

struct SingArgs {
    std::string song, voiceWav;
    bool json = false;
    session::Difficulty difficulty = session::Difficulty::Medium;
    int delayMs = 0;
    int voice = 1;
};

std::optional<int> parseInt(const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

// Fills out, or says what is wrong with the arguments.
std::string parseArgs(const Args& args, SingArgs& out) {
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--json") {
            out.json = true;
        } else if (a == "--difficulty" && hasValue) {
            const auto d = session::parseDifficulty(args[++i]);
            if (!d)
                return "unknown difficulty " + args[i];
            out.difficulty = *d;
        } else if (a == "--delay" && hasValue) {
            const auto ms = parseInt(args[++i], 0, kMaxDelayMs);
            if (!ms)
                return "the delay must be 0 to 500 ms, not " + args[i];
            out.delayMs = *ms;
        } else if (a == "--voice" && hasValue) {
            const auto v = parseInt(args[++i], 1, 99);
            if (!v)
                return "the voice counts from 1, not " + args[i];
            out.voice = *v;
        } else if (a.starts_with("--")) {
            return "unexpected argument " + a;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2)
        return "a song file and a WAV file are needed";
    out.song = files[0];
    out.voiceWav = files[1];
    return {};
}

// The song's audio length when it can be read; 0 when it is missing or unplayable.
std::int64_t audioLengthMs(const std::optional<std::filesystem::path>& audio) {
    if (!audio)
        return 0;
    try {
        return platform::openAudioFile(*audio)->lengthMs();
    } catch (const std::exception&) {
        return 0;
    }
}

void print(const session::HeadlessScore& score, const char* format, bool json) {
    if (json) {
        std::string out = "{\"format\": " + jsonString(format) +
                          ", \"notePoints\": " + std::to_string(score.notePoints) +
                          ", \"lineBonus\": " + std::to_string(score.lineBonus) +
                          ", \"total\": " + std::to_string(score.total) +
                          ", \"possible\": " + std::to_string(score.possible) + ", \"lines\": [";
        for (std::size_t i = 0; i < score.lines.size(); ++i) {
            const session::LineTally& l = score.lines[i];
            out += std::string(i ? ", " : "") +
                   "{\"startMs\": " + std::to_string(std::llround(l.startMs)) +
                   ", \"possible\": " + std::to_string(l.possible) +
                   ", \"points\": " + std::to_string(l.points) + "}";
        }
        std::printf("%s]}\n", out.c_str());
        return;
    }
    std::printf("Format:       %s\nNote points:  %d\nLine bonus:   %d\nTotal:        %lld\n"
                "Possible:     %d\n",
                format, score.notePoints, score.lineBonus, static_cast<long long>(score.total),
                score.possible);
    if (!score.lines.empty())
        std::printf("\nLine  Start ms  Possible  Points\n");
    for (std::size_t i = 0; i < score.lines.size(); ++i) {
        const session::LineTally& l = score.lines[i];
        std::printf("%4zu  %8lld  %8d  %6d\n", i + 1,
                    static_cast<long long>(std::llround(l.startMs)), l.possible, l.points);
    }
}

int sing(const SingArgs& a) {
    const std::filesystem::path songFile(a.song);
    const std::string bytes = songs::readSongFileBytes(songFile);
    // Converted as the session plays it: an hours-long voice file costs no more than a short one.
    std::string unreadable;
    base::UniqueFd wav = base::openRegularFile(a.voiceWav, unreadable);
    if (!wav)
        throw std::runtime_error("cannot read the voice file " + a.voiceWav + ": " + unreadable);

    platform::CaptureService capture;
    platform::FramePacer pacer(capture.hub(), platform::openWavForCapture(std::move(wav)));
    platform::AubioSemitoneTracker tracker;
    session::HeadlessInput input{capture, [&](std::chrono::nanoseconds t) { pacer.deliverDue(t); },
                                 &tracker};
    session::HeadlessOptions options{a.difficulty, a.delayMs, 0};
    const std::filesystem::path folder = songFile.parent_path();

    if (songs::detectSongFormat(bytes) == songs::SongFormat::Standard) {
        const songs::StandardSong song = songs::readStandardSong(bytes);
        if (static_cast<std::size_t>(a.voice) > song.voices.size())
            throw std::runtime_error("the song has " + std::to_string(song.voices.size()) +
                                     " voice(s), not " + std::to_string(a.voice));
        options.lengthMs = audioLengthMs(songs::findSongMediaFile(folder, song.audio));
        const auto score = session::singWithoutWindow(
            {nullptr, &song, static_cast<std::size_t>(a.voice - 1)}, input, options);
        print(score, "standard", a.json);
        return 0;
    }
    if (a.voice != 1)
        throw std::runtime_error("a song in the game's own format has one voice");
    songs::SongFile song;
    song.load(bytes, folder, songFile.filename());
    options.lengthMs = audioLengthMs(songs::findSongMediaFile(folder, song.mp3Value()));
    const auto score = session::singWithoutWindow({&song, nullptr, 0}, input, options);
    print(score, "game", a.json);
    return 0;
}

} // namespace

int runSingCommand(const Args& args) {
    SingArgs a;
    if (const std::string problem = parseArgs(args, a); !problem.empty()) {
        std::fprintf(stderr, "cantorix-tool sing: %s\n%s", problem.c_str(), kUsage);
        return 2;
    }
    try {
        return sing(a);
    } catch (const std::exception& e) {
        if (a.json)
            std::printf("{\"error\": %s}\n", jsonString(e.what()).c_str());
        std::fprintf(stderr, "cantorix-tool sing: %s\n", e.what());
        return 1;
    }
}

} // namespace cantorix::tools
