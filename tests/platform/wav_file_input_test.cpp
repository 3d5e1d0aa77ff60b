// A voice file streamed as the capture plays it: the frames match a whole conversion however
// they are read, a file cut short ends the recording, and a file that is not a regular WAV is
// refused by name without waiting on it.

#include "platform/mp3_test_files.h"
#include "platform/wav_file_input.h"
#include "platform/wav_reader.h"
#include "wav_test_files.h"

#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cantorix::platform {
namespace {

namespace fs = std::filesystem;
using cantorix::testing::TempDir;
using testing::Bytes;

// A voice-like signal: a sine that glides, in any sample format the reader takes.
Bytes glide(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
            double seconds) {
    Bytes samples;
    const auto frames = static_cast<int>(rate * seconds);
    for (int i = 0; i < frames; ++i) {
        const double v = 0.6 * std::sin(2 * M_PI * (200.0 + i * 0.01) * i / rate);
        for (int c = 0; c < channels; ++c) {
            if (tag == 3) {
                const float f = static_cast<float>(v);
                std::uint32_t raw = 0;
                std::memcpy(&raw, &f, 4);
                testing::putLe(samples, raw, 4);
            } else if (bits == 8) {
                samples.push_back(static_cast<std::uint8_t>(std::lround(128 + v * 127)));
            } else {
                const double scale = std::ldexp(1.0, bits - 1) - 1;
                testing::putLe(samples, static_cast<std::uint32_t>(std::lround(v * scale)),
                               bits / 8);
            }
        }
    }
    return testing::wav(tag, channels, rate, bits, samples);
}

fs::path write(const TempDir& dir, const Bytes& bytes) {
    const fs::path file = dir / "voice.wav";
    cantorix::testing::writeBytes(file, bytes);
    return file;
}

std::unique_ptr<CaptureFrameSource> open(const fs::path& file) {
    std::string reason;
    base::UniqueFd fd = base::openRegularFile(file, reason);
    if (!fd)
        throw std::runtime_error(reason);
    return openWavForCapture(std::move(fd));
}

// Everything left in the source, read in pieces of the given sizes in turn.
std::vector<std::int16_t> drain(CaptureFrameSource& source, std::vector<std::size_t> pieces) {
    std::vector<std::int16_t> out;
    for (std::size_t i = 0;; ++i) {
        const std::size_t want = pieces[i % pieces.size()];
        std::vector<std::int16_t> piece(want);
        const std::size_t n = source.read(piece.data(), want);
        out.insert(out.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n));
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

TEST(WavFileStreamTest, StreamedFramesAreTheWholeConversionHoweverTheyAreRead) {
    struct Case {
        Bytes file;
        std::vector<std::size_t> pieces;
    };
    const Case cases[] = {
        {glide(1, 1, 1000, 8, 1.5), {1}}, // the lowest rate: 44 frames out per frame in
        {glide(1, 2, 22050, 16, 1.0), {441, 7, 50000}}, // stereo at half rate
        {glide(1, 1, 48000, 24, 0.5), {1024}},
        {glide(3, 3, 44100, 32, 0.4), {100000}}, // float at the capture rate: passed through
        {glide(1, 1, 8000, 16, 0.0), {10}},      // no frames at all
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::vector<std::int16_t> whole = convertWavForCapture(c.file.data(), c.file.size());
        auto source = open(write(dir, c.file));
        const std::string what = "pieces of " + std::to_string(c.pieces.front());
        expectSameSound(drain(*source, c.pieces), whole, what);
        // Started over part-way, the recording plays again from its first frame.
        source->rewind();
        std::vector<std::int16_t> head(std::min<std::size_t>(whole.size(), 3000));
        source->read(head.data(), head.size());
        source->rewind();
        expectSameSound(drain(*source, {4096}), whole, what + " started over");
    }
}

TEST(WavFileStreamTest, AFileCutShortAfterOpeningEndsTheRecordingWhereItsWholeFramesEnd) {
    TempDir dir;
    const Bytes file = glide(1, 1, 44100, 16, 1.0);
    const fs::path path = write(dir, file);
    auto source = open(path);
    // Cut mid-frame, a little way into the second second of piece reads.
    fs::resize_file(path, 44 + 2 * 20000 + 1);
    const std::vector<std::int16_t> frames = drain(*source, {4410});
    const std::vector<std::int16_t> whole = convertWavForCapture(file.data(), file.size());
    expectSameSound(frames, {whole.begin(), whole.begin() + 20000}, "cut");
}

TEST(WavFileStreamTest, OnlyARegularUsableFileServesAsTheMicrophone) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> make;
        const char* reason;
    };
    const Case cases[] = {
        {"named pipe", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         "named pipe"},
        {"folder", [](const fs::path& p) { fs::create_directory(p); }, "folder"},
        {"link to a device", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); },
         "device"},
        {"missing", [](const fs::path&) {}, "No such file"},
        {"not a WAV", [](const fs::path& p) { cantorix::testing::writeBytes(p, Bytes(64, 'x')); },
         "no RIFF/WAVE header"},
        {"header cut in the format",
         [](const fs::path& p) {
             Bytes b = glide(1, 1, 8000, 16, 0.1);
             b.resize(30);
             cantorix::testing::writeBytes(p, b);
         },
         "truncated 'fmt ' chunk"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const fs::path path = dir / "voice.wav";
        c.make(path);
        CaptureHub hub;
        try {
            WavFileInput input(hub, path);
            ADD_FAILURE() << c.what << " was taken";
        } catch (const EWavError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(path.string()), std::string::npos) << message;
            EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        }
    }
}

} // namespace
} // namespace cantorix::platform
