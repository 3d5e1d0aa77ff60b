#include "fakes/fake_media_player.h"
#include "platform/ffmpeg_test_files.h"
#include "platform/media/file_media_player.h"
#include "platform/mp3_test_files.h"
#include "platform/sound_output/null_audio_output.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace cantorix;
using namespace cantorix::testing;
using platform::AudioOutput;
using platform::AudioSource;
using platform::AudioStream;
using platform::FileMediaPlayer;
using platform::NullAudioOutput;
using songs::EMediaPlayerError;
using Clock = std::chrono::steady_clock;

static_assert(!std::is_abstract_v<songs::testing::FakeMediaPlayer>, "the fake covers the port");

namespace {

// Real-time tests: positions are compared with the time that really passed, with room for a
// loaded machine.
constexpr double kToleranceMs = 60;

// A silent output whose streams report a device latency, as sound cards do.
class LatentOutput : public AudioOutput {
public:
    explicit LatentOutput(std::size_t latency) : m_latency(latency) {}
    std::string name() const override { return "latent"; }
    std::unique_ptr<AudioStream> openStream(int rate, AudioSource& source) override {
        return std::make_unique<Stream>(m_null.openStream(rate, source), m_latency);
    }

private:
    struct Stream : AudioStream {
        Stream(std::unique_ptr<AudioStream> inner, std::size_t latency)
            : inner(std::move(inner)), latency(latency) {}
        void start() override { inner->start(); }
        void stop() override { inner->stop(); }
        int sampleRate() const override { return inner->sampleRate(); }
        std::size_t latencyFrames() const override { return latency; }
        std::unique_ptr<AudioStream> inner;
        std::size_t latency;
    };
    NullAudioOutput m_null;
    std::size_t m_latency;
};

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double msSince(Clock::time_point t) {
    return msBetween(t, Clock::now());
}

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Polls until the condition holds; false after the timeout.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 3000) {
    const auto begin = Clock::now();
    while (!condition()) {
        if (msSince(begin) > timeoutMs)
            return false;
        sleepMs(1);
    }
    return true;
}

} // namespace

class FileMediaPlayerTest : public ::testing::Test {
protected:
    void openFile(FileMediaPlayer& player, const std::filesystem::path& file) {
        player.setFileName(file);
        player.open();
    }

    // Plays to the end and checks that the position never runs back, reaches the length
    // exactly only at the end, and stays there. Returns when the end was first seen.
    Clock::time_point playToTheEnd(FileMediaPlayer& player) {
        player.play();
        std::int64_t last = player.position();
        bool monotonic = true;
        const bool ended = waitFor([&] {
            const std::int64_t p = player.position();
            monotonic = monotonic && p >= last;
            last = p;
            return p == player.length();
        });
        const auto endedAt = Clock::now();
        EXPECT_TRUE(ended) << "stuck at " << last << " of " << player.length();
        EXPECT_TRUE(monotonic);
        sleepMs(50);
        EXPECT_EQ(player.position(), player.length()) << "the end holds";
        return endedAt;
    }

    TempDir dir;
    NullAudioOutput output;
};

TEST_F(FileMediaPlayerTest, OpensAtZeroWithTheFileLength) {
    FileMediaPlayer player(output);
    EXPECT_EQ(player.length(), 0);
    EXPECT_EQ(player.position(), 0);
    openFile(player, writeMp3(dir / "song.mp3"));
    EXPECT_EQ(player.length(), 1500);
    sleepMs(50);
    EXPECT_EQ(player.position(), 0) << "open does not play";
}

TEST_F(FileMediaPlayerTest, PositionFollowsRealTime) {
    FileMediaPlayer player(output);
    openFile(player, writeMp3(dir / "song.mp3"));
    const auto begin = Clock::now();
    player.play();
    sleepMs(300);
    EXPECT_NEAR(double(player.position()), msSince(begin), kToleranceMs);
}

TEST_F(FileMediaPlayerTest, PauseHoldsAndResumeContinues) {
    FileMediaPlayer player(output);
    openFile(player, writeMp3(dir / "song.mp3"));
    player.play();
    sleepMs(200);
    player.pause();
    const std::int64_t held = player.position();
    EXPECT_GT(held, 100);
    sleepMs(100);
    EXPECT_EQ(player.position(), held);

    const auto resumed = Clock::now();
    player.resume();
    sleepMs(150);
    EXPECT_NEAR(double(player.position()), double(held) + msSince(resumed), kToleranceMs);

    player.stop();
    const std::int64_t stopped = player.position();
    sleepMs(50);
    EXPECT_EQ(player.position(), stopped) << "stop keeps the position as well";
}

TEST_F(FileMediaPlayerTest, StartPositionMovesPlaybackInEveryState) {
    FileMediaPlayer player(output);
    openFile(player, writeMp3(dir / "song.mp3"));
    for (std::int64_t ms : {0, 1, 333, 749, 1499}) {
        player.setStartPosition(ms);
        EXPECT_EQ(player.position(), ms) << "reads back exactly";
    }
    player.setStartPosition(700);
    const auto begin = Clock::now();
    player.play();
    sleepMs(100);
    EXPECT_NEAR(double(player.position()), 700 + msSince(begin), kToleranceMs);

    player.setStartPosition(200);
    const auto jumped = Clock::now();
    EXPECT_LT(player.position(), 200 + kToleranceMs) << "a jump back while playing";
    sleepMs(100);
    EXPECT_NEAR(double(player.position()), 200 + msSince(jumped), kToleranceMs);

    player.setStartPosition(-20);
    player.pause();
    EXPECT_LT(player.position(), kToleranceMs);
    player.setStartPosition(99999);
    EXPECT_EQ(player.position(), player.length()) << "clamped to the end, which it is";
}

TEST_F(FileMediaPlayerTest, EndsExactlyAtTheLength) {
    FileMediaPlayer player(output);
    openFile(player, writeMp3(dir / "short.mp3", {44100, 2, 13230})); // 300 ms
    EXPECT_EQ(player.length(), 300);
    const auto begin = Clock::now();
    EXPECT_NEAR(msBetween(begin, playToTheEnd(player)), 300, kToleranceMs);
    player.pause();
    player.resume();
    EXPECT_EQ(player.position(), 300) << "playing at the end stays at the end";
}

// Positions are what the listener hears: the device's latency first delays them, then carries
// the last frames to the listener before the end is reported.
TEST_F(FileMediaPlayerTest, PositionTakesTheDeviceLatencyOff) {
    LatentOutput latent(4410); // 100 ms
    FileMediaPlayer player(latent);
    openFile(player, writeMp3(dir / "short.mp3", {44100, 2, 13230}));
    const auto begin = Clock::now();
    player.play();
    sleepMs(60);
    EXPECT_EQ(player.position(), 0) << "nothing has reached the listener yet";
    sleepMs(140);
    EXPECT_NEAR(double(player.position()), msSince(begin) - 100, kToleranceMs);
    EXPECT_NEAR(msBetween(begin, playToTheEnd(player)), 300 + 100, kToleranceMs);
}

// Audio other than MP3 keeps the same rules: the exact length, positions that read back, and
// the end reported exactly at the length, also through a conversion to the output's rate.
TEST_F(FileMediaPlayerTest, OggVorbisPlaysByTheSameRules) {
    NullAudioOutput fixed48k(48000);
    FileMediaPlayer player(fixed48k);
    openFile(player, makeTone(dir / "song.ogg", "libvorbis", 44100, 2, "0.4"));
    EXPECT_EQ(player.length(), 400);
    player.setStartPosition(150);
    EXPECT_EQ(player.position(), 150);
    const auto begin = Clock::now();
    EXPECT_NEAR(msBetween(begin, playToTheEnd(player)), 250, kToleranceMs);
}

TEST_F(FileMediaPlayerTest, ConvertsForAnOutputOfAnotherRate) {
    NullAudioOutput fixed48k(48000);
    FileMediaPlayer player(fixed48k);
    openFile(player, writeMp3(dir / "short.mp3", {44100, 1, 17640})); // 400 ms
    EXPECT_EQ(player.length(), 400);
    player.setStartPosition(100);
    EXPECT_EQ(player.position(), 100);
    const auto begin = Clock::now();
    EXPECT_NEAR(msBetween(begin, playToTheEnd(player)), 300, kToleranceMs);
}

TEST_F(FileMediaPlayerTest, ReopeningClosesThePreviousFile) {
    FileMediaPlayer player(output);
    openFile(player, writeMp3(dir / "long.mp3"));
    player.play();
    sleepMs(100);
    openFile(player, writeMp3(dir / "short.mp3", {44100, 2, 13230}));
    EXPECT_EQ(player.length(), 300);
    sleepMs(50);
    EXPECT_EQ(player.position(), 0) << "the new file waits for play";
    player.close();
    EXPECT_EQ(player.length(), 0);
    player.close();
}

TEST_F(FileMediaPlayerTest, FilesThatAreNotMp3GiveAClearError) {
    FileMediaPlayer player(output);
    const std::vector<unsigned char> mp3 = encodeMp3({});
    const auto text = dir / "song.mp3";
    writeBytes(text, {'#', 'T', 'I', 'T', 'L', 'E', ':', 'x', '\n'});
    // Junk in front of real frames: libmpg123 alone would find them and play.
    std::vector<unsigned char> junk(3000, 0x5A);
    junk.insert(junk.end(), mp3.begin(), mp3.end());
    writeBytes(dir / "junk.mp3", junk);
    writeBytes(dir / "empty.mp3", {});
    std::filesystem::create_directory(dir / "folder.mp3");

    const std::pair<std::string, std::string> cases[] = {
        {"missing.mp3", "No such file or directory"},
        {"song.mp3", "not a sound file the game can play"},
        {"junk.mp3", "not an MP3 file"},
        {"empty.mp3", "not a sound file the game can play"},
        {"folder.mp3", "it is a folder, not a regular file"},
    };
    for (const auto& [name, reason] : cases) {
        openFile(player, writeMp3(dir / "good.mp3"));
        player.setFileName(dir / name);
        try {
            player.open();
            ADD_FAILURE() << name << " opened";
        } catch (const EMediaPlayerError& error) {
            EXPECT_EQ(error.what(), "Cannot play '" + (dir / name).string() + "': " + reason);
        }
        EXPECT_EQ(player.length(), 0) << "the previous file is closed as well";
    }
    EXPECT_THROW(player.play(), EMediaPlayerError);
    EXPECT_THROW(player.setStartPosition(0), EMediaPlayerError);
    EXPECT_NO_THROW(player.pause());
    EXPECT_NO_THROW(player.stop());
    EXPECT_NO_THROW(player.close());
}

TEST_F(FileMediaPlayerTest, Id3TagsInFrontAreSkipped) {
    std::vector<unsigned char> file = {'I', 'D', '3', 3, 0, 0, 0, 0, 1, 0}; // 128 bytes follow
    file.resize(file.size() + 128 + 300, 0); // and zeros beyond the tag, as some taggers leave
    const std::vector<unsigned char> mp3 = encodeMp3({});
    file.insert(file.end(), mp3.begin(), mp3.end());
    writeBytes(dir / "tagged.mp3", file);
    FileMediaPlayer player(output);
    openFile(player, dir / "tagged.mp3");
    EXPECT_EQ(player.length(), 1500);
}
