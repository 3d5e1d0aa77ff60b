// A voice file streamed as the capture plays it: the frames match a whole conversion however
// they are read, a file cut short ends the recording, and a file that is not a regular WAV is
// refused by name without waiting on it.

#include "fakes/special_files.h"
#include "platform/mp3_test_files.h"
#include "platform/sound_input/wav_file_input.h"
#include "platform/wav_test_files.h"

#include <cmath>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace cantorix::platform {
namespace {

namespace fs = std::filesystem;
using cantorix::testing::TempDir;
using testing::Bytes;

// A sine that glides, as 8- or 16-bit samples on every channel.
Bytes glide(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, double seconds) {
    Bytes samples;
    for (int i = 0; i < static_cast<int>(rate * seconds); ++i) {
        const double v = 0.6 * std::sin(2 * M_PI * (200.0 + i * 0.01) * i / rate);
        for (int c = 0; c < channels; ++c)
            testing::putLe(
                samples,
                static_cast<std::uint32_t>(std::lround(bits == 8 ? 128 + v * 127 : v * 32767)),
                bits / 8);
    }
    return testing::wav(1, channels, rate, bits, samples);
}

std::unique_ptr<CaptureFrameSource> openWritten(const fs::path& file, const Bytes& bytes) {
    cantorix::testing::writeBytes(file, bytes);
    std::string reason;
    return openWavForCapture(base::openRegularFile(file, reason));
}

// Everything left in the source, read in pieces of the given sizes in turn.
std::vector<std::int16_t> drain(CaptureFrameSource& source, std::vector<std::size_t> pieces) {
    std::vector<std::int16_t> out;
    for (std::size_t i = 0;; ++i) {
        const std::size_t want = pieces[i % pieces.size()];
        out.resize(out.size() + want);
        const std::size_t n = source.read(out.data() + out.size() - want, want);
        out.resize(out.size() - want + n);
        if (n < want)
            return out;
    }
}

// The converter rounds a sample differently by a step at most, depending on where its buffers
// happen to lie in memory; anything more is a fault.
void expectSameSound(const std::vector<std::int16_t>& heard, const std::vector<std::int16_t>& whole,
                     const std::string& what) {
    ASSERT_EQ(heard.size(), whole.size()) << what;
    for (std::size_t i = 0; i < heard.size(); ++i)
        ASSERT_LE(std::abs(heard[i] - whole[i]), 2) << what << " at frame " << i;
}

TEST(WavFileStreamTest, StreamedFramesAreTheWholeConversionHoweverTheyAreReadOrRestarted) {
    const struct {
        Bytes file;
        std::vector<std::size_t> pieces;
        std::size_t cutTo = 0; // the whole frames left when the file is cut short after opening
    } cases[] = {
        {glide(1, 1000, 8, 1.5), {1}}, // the lowest rate: 44 frames out for each frame in
        {glide(2, 22050, 16, 1.0), {441, 7, 50000}},
        {glide(1, 44100, 16, 0.4), {100000}}, // at the capture rate: passed through
        {glide(1, 8000, 16, 0.0), {10}},
        {glide(1, 44100, 16, 1.0), {4410}, 20000}, // cut mid-frame, in the third piece
    };
    for (const auto& [file, pieces, cutTo] : cases) {
        TempDir dir;
        std::vector<std::int16_t> whole = convertWavForCapture(file.data(), file.size());
        auto source = openWritten(dir / "voice.wav", file);
        if (cutTo) {
            fs::resize_file(dir / "voice.wav", 44 + 2 * cutTo + 1);
            whole.resize(cutTo);
        }
        const std::string what = "pieces of " + std::to_string(pieces.front());
        expectSameSound(drain(*source, pieces), whole, what);
        source->rewind();
        std::vector<std::int16_t> head(3000);
        source->read(head.data(), head.size());
        source->rewind();
        expectSameSound(drain(*source, {4096}), whole, what + ", started over");
    }
}

TEST(WavFileStreamTest, OnlyARegularUsableFileServesAsTheMicrophone) {
    TempDir dir;
    cantorix::testing::makeFifo(dir / "pipe.wav");
    cantorix::testing::writeBytes(dir / "text.wav", Bytes(64, 'x'));
    Bytes cut = glide(1, 8000, 16, 0.1);
    cut.resize(30);
    cantorix::testing::writeBytes(dir / "cut.wav", cut);
    const std::pair<const char*, const char*> cases[] = {
        {"pipe.wav", "named pipe"},
        {"missing.wav", "Cannot open the microphone file"},
        {"text.wav", "no RIFF/WAVE header"},
        {"cut.wav", "truncated 'fmt ' chunk"},
    };
    for (const auto& [name, reason] : cases) {
        const fs::path path = dir / name;
        CaptureHub hub;
        try {
            WavFileInput input(hub, path);
            ADD_FAILURE() << reason << ": taken";
        } catch (const EWavError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(path.string()), std::string::npos) << message;
            EXPECT_NE(message.find(reason), std::string::npos) << message;
        }
    }
}

// A file whose channel c carries a steady tone of hz[c] (16-bit).
Bytes tonePerChannel(const std::vector<double>& hz, std::uint32_t rate, double seconds) {
    Bytes samples;
    for (int i = 0; i < static_cast<int>(rate * seconds); ++i)
        for (const double f : hz)
            testing::putLe(samples,
                           static_cast<std::uint32_t>(
                               std::lround(0.5 * 32767 * std::sin(2 * M_PI * f * i / rate))),
                           2);
    return testing::wav(1, static_cast<std::uint16_t>(hz.size()), rate, 16, samples);
}

// The tone of 44100 Hz frames, from the rising zero crossings between the first and the last.
double toneOf(const std::vector<std::int16_t>& frames) {
    std::size_t first = 0;
    std::size_t last = 0;
    int crossings = 0;
    for (std::size_t i = 1; i < frames.size(); ++i)
        if (frames[i - 1] < 0 && frames[i] >= 0) {
            first = crossings++ == 0 ? i : first;
            last = i;
        }
    return crossings < 2 ? 0.0 : (crossings - 1) * 44100.0 / static_cast<double>(last - first);
}

TEST(WavFileStreamTest, EachChannelIsHeardApartWithItsOwnTone) {
    const struct {
        std::vector<double> hz;
        std::uint32_t rate;
    } cases[] = {
        {{330.0}, 44100},
        {{220.0, 523.0}, 22050},
        {{196.0, 294.0, 440.0, 659.0}, 48000},
    };
    for (const auto& [hz, rate] : cases) {
        TempDir dir;
        cantorix::testing::writeBytes(dir / "voices.wav", tonePerChannel(hz, rate, 0.5));
        ASSERT_EQ(wavChannelCount(dir / "voices.wav"), static_cast<int>(hz.size()));
        for (std::size_t c = 0; c < hz.size(); ++c) {
            std::string reason;
            auto source = openWavForCapture(base::openRegularFile(dir / "voices.wav", reason),
                                            static_cast<int>(c));
            const std::vector<std::int16_t> frames = drain(*source, {4410});
            EXPECT_NEAR(frames.size(), 22050u, 50u) << hz.size() << " channels";
            EXPECT_NEAR(toneOf(frames), hz[c], hz[c] * 0.01)
                << "channel " << c << " of " << hz.size();
        }
    }
}

TEST(WavFileStreamTest, AFileOfNoChannelsOrMoreThanEightOrAMissingChannelIsRefusedByName) {
    TempDir dir;
    cantorix::testing::writeBytes(dir / "none.wav", testing::wav(1, 0, 44100, 16, Bytes(64, 0)));
    cantorix::testing::writeBytes(dir / "nine.wav",
                                  tonePerChannel(std::vector(9, 300.0), 8000, 0.1));
    cantorix::testing::writeBytes(dir / "two.wav", tonePerChannel({300.0, 400.0}, 8000, 0.1));
    const struct {
        const char* name;
        int channel;
        const char* reason;
    } cases[] = {
        {"none.wav", 0, "no channels"},
        {"nine.wav", 0, "has 9 channels; the game hears at most 8 singers"},
        {"two.wav", 2, "there is no channel 2"},
        {"two.wav", -1, "there is no channel -1"},
    };
    for (const auto& [name, channel, reason] : cases) {
        const fs::path path = dir / name;
        const auto expectRefused = [&](const std::function<void()>& open, const char* how) {
            try {
                open();
                ADD_FAILURE() << name << " taken by " << how;
            } catch (const EWavError& e) {
                const std::string message = e.what();
                EXPECT_NE(message.find(path.string()), std::string::npos) << message;
                EXPECT_NE(message.find(reason), std::string::npos) << message;
            }
        };
        CaptureHub hub;
        expectRefused([&] { WavFileInput input(hub, path, channel); }, "the input");
        if (channel == 0)
            expectRefused([&] { wavChannelCount(path); }, "the channel count");
    }
}

} // namespace
} // namespace cantorix::platform
