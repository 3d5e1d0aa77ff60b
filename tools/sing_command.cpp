// `cantorix-tool sing SONG.txt VOICE.wav [VOICE2.wav …] [--json] [--difficulty easy|medium|hard]
// [--delay MS] [--voice N]…`: scores recordings as a session in the game would, without a window
// or sound. Each channel of each WAV is a singer, in order, and the microphone of that singer
// from the moment the song's audio starts, fed through the game's capture, analysis, tick
// schedule and scoring on made-up time; the k-th --voice is the k-th singer's. The song's audio
// need not exist: when it can be read its length ends the session, as the music would. With
// --medley only the song's medley part is judged, on the song's own clock: sample 0 of each voice
// file is still the song's start.

#include "base/regular_file.h"
#include "json_text.h"
#include "platform/media/audio_file_decoder.h"
#include "platform/sound_input/capture_service.h"
#include "platform/sound_input/paced_input.h"
#include "platform/sound_input/wav_file_input.h"
#include "platform/sound_input/wav_reader.h"
#include "platform/voice/aubio_semitone_tracker.h"
#include "session/headless_session.h"
#include "session/singer_inputs.h"
#include "songs/medley_part.h"
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
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace cantorix::tools {

namespace {

const char* const kUsage =
    "Usage: cantorix-tool sing SONG.txt VOICE.wav [VOICE2.wav ...] [--json] "
    "[--medley] [--difficulty easy|medium|hard] [--delay MS] [--voice N]...\n";
constexpr int kMaxDelayMs = 500;

struct SingArgs {
    std::string song;
    std::vector<std::string> voiceWavs;
    bool json = false;
    bool medley = false; // judge the song's medley part only
    session::Difficulty difficulty = session::Difficulty::Medium;
    int delayMs = 0;
    std::vector<int> voices; // chosen by the first singers, counted from 1
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
        } else if (a == "--medley") {
            out.medley = true;
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
            out.voices.push_back(*v);
        } else if (a.starts_with("--")) {
            return "unexpected argument " + a;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() < 2)
        return "a song file and a WAV file are needed";
    out.song = files[0];
    out.voiceWavs.assign(files.begin() + 1, files.end());
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

// One singer of the run: the channel of a voice file they sing from and the voice they sing.
struct Singer {
    std::string wav;
    int channel = 0;
    int voice = 1; // counted from 1
};

std::string inputName(const Singer& singer) {
    return singer.wav + ":" + std::to_string(singer.channel);
}

// Every channel of every voice file, in order; the first singers take the chosen voices, the
// others the default of their place among voiceCount voices.
std::vector<Singer> singersOf(const SingArgs& a, std::size_t voiceCount) {
    std::vector<Singer> singers;
    for (const std::string& wav : a.voiceWavs) {
        std::string unreadable;
        if (!base::openRegularFile(wav, unreadable)) {
            std::string message = "cannot read the voice file " + wav;
            message += ": ";
            message += unreadable;
            throw std::runtime_error(message);
        }
        const int channels = platform::wavChannelCount(wav);
        for (int c = 0; c < channels; ++c)
            singers.push_back({wav, c, 1});
    }
    if (singers.size() > session::kSingerSlots)
        throw std::runtime_error("the voice files hold " + std::to_string(singers.size()) +
                                 " channels, each a singer; the game hears at most " +
                                 std::to_string(session::kSingerSlots) + " singers");
    if (a.voices.size() > singers.size())
        throw std::runtime_error(std::to_string(a.voices.size()) + " voices chosen for " +
                                 std::to_string(singers.size()) + " singer(s)");
    for (std::size_t k = 0; k < singers.size(); ++k)
        singers[k].voice = k < a.voices.size()
                               ? a.voices[k]
                               : static_cast<int>(session::defaultVoiceOf(k, voiceCount)) + 1;
    return singers;
}

// What one singer's microphone is made of: a capture fed by a channel of their file, converted
// as the session plays it (an hours-long voice file costs no more than a short one), and a
// semitone tracker of their own.
struct SingerInput {
    platform::CaptureService capture;
    std::unique_ptr<platform::FramePacer> pacer;
    platform::AubioSemitoneTracker tracker;
    std::unique_ptr<session::HeadlessInput> input;

    explicit SingerInput(const Singer& singer) {
        pacer = std::make_unique<platform::FramePacer>(
            capture.hub(),
            platform::openWavForCapture(base::openRegularFileOrThrow(singer.wav), singer.channel));
        input = std::make_unique<session::HeadlessInput>(session::HeadlessInput{
            capture, [this](std::chrono::nanoseconds t) { pacer->deliverDue(t); }, &tracker});
    }
};

std::string jsonScoreFields(const session::HeadlessScore& score, bool golden) {
    std::string out = "\"notePoints\": " + std::to_string(score.notePoints) +
                      ", \"lineBonus\": " + std::to_string(score.lineBonus);
    if (golden)
        out += ", \"goldenPoints\": " + std::to_string(score.goldenPoints);
    out += ", \"total\": " + std::to_string(score.total) +
           ", \"possible\": " + std::to_string(score.possible) + ", \"lines\": [";
    for (std::size_t i = 0; i < score.lines.size(); ++i) {
        const session::LineTally& l = score.lines[i];
        out += std::string(i ? ", " : "") +
               "{\"startMs\": " + std::to_string(std::llround(l.startMs)) +
               ", \"possible\": " + std::to_string(l.possible) +
               ", \"points\": " + std::to_string(l.points) + "}";
    }
    return out + "]";
}

// The first singer's score at the top level, as for one singer, then every singer's.
void printJson(const std::vector<Singer>& singers,
               const std::vector<session::HeadlessScore>& scores, bool standard,
               const std::optional<songs::MedleyPart>& medley) {
    std::string out = "{\"format\": " + jsonString(standard ? "standard" : "game") + ", ";
    if (medley)
        out += "\"medley\": {\"fromMs\": " + std::to_string(std::llround(medley->fromMs)) +
               ", \"toMs\": " + std::to_string(std::llround(medley->toMs)) +
               ", \"source\": " + jsonString(songs::medleySourceName(medley->source)) + "}, ";
    out += jsonScoreFields(scores.front(), false) + ", \"singers\": [";
    for (std::size_t k = 0; k < scores.size(); ++k)
        out += std::string(k ? ", " : "") + "{\"input\": " + jsonString(inputName(singers[k])) +
               ", \"voice\": " + std::to_string(singers[k].voice) + ", " +
               jsonScoreFields(scores[k], standard) + "}";
    std::printf("%s]}\n", out.c_str());
}

void printText(const session::HeadlessScore& score, bool standard) {
    std::printf("Format:       %s\nNote points:  %d\nLine bonus:   %d\n",
                standard ? "standard" : "game", score.notePoints, score.lineBonus);
    if (standard)
        std::printf("Golden points: %d\n", score.goldenPoints);
    std::printf("Total:        %lld\nPossible:     %d\n", static_cast<long long>(score.total),
                score.possible);
    if (!score.lines.empty())
        std::printf("\nLine  Start ms  Possible  Points\n");
    for (std::size_t i = 0; i < score.lines.size(); ++i) {
        const session::LineTally& l = score.lines[i];
        std::printf("%4zu  %8lld  %8d  %6d\n", i + 1,
                    static_cast<long long>(std::llround(l.startMs)), l.possible, l.points);
    }
}

void print(const std::vector<Singer>& singers, const std::vector<session::HeadlessScore>& scores,
           bool standard, bool json, const std::optional<songs::MedleyPart>& medley = {}) {
    if (json) {
        printJson(singers, scores, standard, medley);
        return;
    }
    if (medley)
        std::printf("Medley part:  %lld to %lld ms (%s)\n",
                    static_cast<long long>(std::llround(medley->fromMs)),
                    static_cast<long long>(std::llround(medley->toMs)),
                    songs::medleySourceName(medley->source));
    // One singer reads as it always has; several each get a block under their input.
    for (std::size_t k = 0; k < scores.size(); ++k) {
        if (scores.size() > 1)
            std::printf("%sSinger %zu:     %s, voice %d\n", k ? "\n" : "", k + 1,
                        inputName(singers[k]).c_str(), singers[k].voice);
        printText(scores[k], standard);
    }
}

std::vector<session::HeadlessScore> singAll(const session::HeadlessSong& song,
                                            const std::vector<Singer>& singers,
                                            const session::HeadlessOptions& options) {
    std::vector<std::unique_ptr<SingerInput>> inputs;
    std::vector<session::HeadlessSinger> headless;
    for (const Singer& singer : singers) {
        inputs.push_back(std::make_unique<SingerInput>(singer));
        headless.push_back(
            {inputs.back()->input.get(), static_cast<std::size_t>(singer.voice - 1)});
    }
    return session::singWithoutWindow(song, headless, options);
}

int sing(const SingArgs& a) {
    const std::filesystem::path songFile(a.song);
    const std::string bytes = songs::readSongFileBytes(songFile);
    session::HeadlessOptions options{a.difficulty, a.delayMs, 0};
    const std::filesystem::path folder = songFile.parent_path();

    if (songs::detectSongFormat(bytes) == songs::SongFormat::Standard) {
        songs::StandardSong song = songs::readStandardSong(bytes);
        std::optional<songs::MedleyPart> medley;
        if (a.medley) {
            medley = songs::findMedleyPart(song).part;
            if (!medley)
                throw std::runtime_error("the song has no medley part: its file names none and no "
                                         "refrain of 15 to 60 s comes back in it");
            song = songs::medleyPartOf(song, *medley);
        }
        const std::vector<Singer> singers = singersOf(a, song.voices.size());
        for (const Singer& singer : singers)
            if (static_cast<std::size_t>(singer.voice) > song.voices.size())
                throw std::runtime_error("the song has " + std::to_string(song.voices.size()) +
                                         " voice(s), not " + std::to_string(singer.voice));
        options.lengthMs = audioLengthMs(songs::findSongMediaFile(folder, song.audio));
        print(singers, singAll({nullptr, &song, 0}, singers, options), true, a.json, medley);
        return 0;
    }
    if (a.medley)
        throw std::runtime_error("a song in the game's own format has no medley part");
    for (const int voice : a.voices)
        if (voice != 1)
            throw std::runtime_error("a song in the game's own format has one voice");
    const std::vector<Singer> singers = singersOf(a, 1);
    songs::SongFile song;
    song.load(bytes, folder, songFile.filename());
    options.lengthMs = audioLengthMs(songs::findSongMediaFile(folder, song.mp3Value()));
    print(singers, singAll({&song, nullptr, 0}, singers, options), false, a.json);
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
