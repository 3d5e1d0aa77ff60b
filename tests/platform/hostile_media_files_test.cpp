// Media files that try to hold the reader or send it elsewhere: named pipes, sockets and devices
// in a song folder, and "audio" that is really a playlist naming another file. Every decoder
// refuses them with a reason, without waiting, and opens nothing but the file it was given.

#include "platform/audio_file_decoder.h"
#include "platform/ffmpeg_audio_decoder.h"
#include "platform/ffmpeg_song_decoder.h"
#include "platform/ffmpeg_test_files.h"
#include "platform/ffmpeg_video_decoder.h"
#include "platform/mp3_file_decoder.h"
#include "platform/mp3_test_files.h"
#include "songs/media_player.h"

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <set>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace cantorix::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// The reason every decoder gives for `file`, or "opened" when one takes it.
std::vector<std::string> refusals(const fs::path& file) {
    std::vector<std::string> reasons;
    const auto expectRefused = [&](const std::function<void()>& open) {
        try {
            open();
            reasons.push_back("opened");
        } catch (const songs::EMediaPlayerError& error) {
            reasons.push_back(error.what());
        }
    };
    expectRefused([&] { openAudioFile(file); });
    expectRefused([&] { FfmpegAudioDecoder decoder(file); });
    expectRefused([&] { Mp3FileDecoder decoder(file); });
    FfmpegVideoDecoder video;
    FfmpegSongDecoder song;
    reasons.push_back(video.open(file) ? "video opened" : "no video");
    reasons.push_back(song.takes(file) ? "export takes it" : "export refuses");
    return reasons;
}

// Runs refusals() where a regression that waits on a pipe fails instead of hanging: after a
// generous wait the pipe gets a writer, which lets the stuck open return.
std::vector<std::string> refusalsWithoutWaiting(const fs::path& file, const fs::path& pipe) {
    auto done = std::async(std::launch::async, [&] { return refusals(file); });
    if (done.wait_for(std::chrono::seconds(60)) == std::future_status::timeout) {
        ADD_FAILURE() << file << ": a decoder waits on the named pipe";
        while (done.wait_for(std::chrono::milliseconds(50)) == std::future_status::timeout) {
            const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
        }
    }
    return done.get();
}

void bindSocket(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.string().size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd); // the socket file stays
}

TEST(HostileMediaFilesTest, OnlyRegularFilesAreReadAndNothingWaits) {
    struct Row {
        const char* name;
        std::function<void(const TempDir&)> make;
        std::string reason;
    };
    const Row rows[] = {
        {"song.ogg",
         [](const TempDir& d) { ASSERT_EQ(::mkfifo((d / "song.ogg").c_str(), 0600), 0); },
         "it is a named pipe, not a regular file"},
        {"link.ogg",
         [](const TempDir& d) {
             ASSERT_EQ(::mkfifo((d / "song.ogg").c_str(), 0600), 0);
             fs::create_symlink(d / "song.ogg", d / "link.ogg");
         },
         "it is a named pipe, not a regular file"},
        {"zero.mp3", [](const TempDir& d) { fs::create_symlink("/dev/zero", d / "zero.mp3"); },
         "it is a device, not a regular file"},
        {"socket.ogg", [](const TempDir& d) { bindSocket(d / "socket.ogg"); },
         "it is a socket, not a regular file"},
        {"folder.ogg", [](const TempDir& d) { fs::create_directory(d / "folder.ogg"); },
         "it is a folder, not a regular file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        row.make(dir);
        const fs::path file = dir / row.name;
        const std::string refused = "Cannot play '" + file.string() + "': " + row.reason;
        const std::vector<std::string> expected = {refused, refused, refused, "no video",
                                                   "export refuses"};
        EXPECT_EQ(refusalsWithoutWaiting(file, dir / "song.ogg"), expected);
    }
}

// The names of the files opened in a folder since `trace` (an inotify descriptor) began.
std::set<std::string> openedSince(int trace) {
    std::set<std::string> names;
    alignas(inotify_event) char buffer[8192];
    for (ssize_t n; (n = ::read(trace, buffer, sizeof buffer)) > 0;)
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && event->name[0] != '\0')
                names.insert(event->name);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    return names;
}

TEST(HostileMediaFilesTest, PlaylistsPosingAsMediaOpenNoOtherFile) {
    struct Row {
        const char* name;
        std::string content;
    };
    const Row rows[] = {
        {"concat.ogg", "ffconcat version 1.0\nfile other.ogg\nfile 'other.avi'\n"},
        {"playlist.ogg", "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n#EXTINF:1.2,\n"
                         "other.ogg\n#EXTINF:1.2,\nfile:other.avi\n#EXT-X-ENDLIST\n"},
        {"concat.avi", "ffconcat version 1.0\nfile other.avi\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        testing::makeTone(dir / "other.ogg", "libvorbis");
        testing::makeWithFfmpeg("-f lavfi -i testsrc=d=0.2:s=64x48 -c:v mpeg4", dir / "other.avi");
        testing::writeBytes(dir / row.name,
                            std::vector<unsigned char>(row.content.begin(), row.content.end()));
        // The lists name their entries relative to the working directory.
        const fs::path previous = fs::current_path();
        fs::current_path(dir / "");
        const int trace = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(::inotify_add_watch(trace, ".", IN_OPEN), 0);
        const std::string cannot = "Cannot play '" + std::string(row.name) + "': ";
        const std::vector<std::string> expected = {cannot + "not a sound file the game can play",
                                                   cannot + "not a sound file the game can play",
                                                   cannot + "not an MP3 file", "no video",
                                                   "export refuses"};
        EXPECT_EQ(refusals(row.name), expected);
        EXPECT_EQ(openedSince(trace), std::set<std::string>{row.name});
        ::close(trace);
        fs::current_path(previous);
    }
}

// A 2 KB WAV whose tag claims 300 MB: the library would allocate and clear all of it before
// finding the file ends. Whether the file plays or not, the claim is not paid for.
TEST(HostileMediaFilesTest, AHeaderClaimingHundredsOfMegabytesCostsNoMemory) {
    TempDir dir;
    const auto u32 = [](std::uint32_t v) {
        return std::vector<unsigned char>{
            static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
            static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    };
    std::vector<unsigned char> wav;
    const auto put = [&](std::vector<unsigned char> bytes) {
        wav.insert(wav.end(), bytes.begin(), bytes.end());
    };
    const auto tag = [&](const char* code) { put({code, code + 4}); };
    tag("RIFF"), put(u32(2100)), tag("WAVE"), tag("fmt "), put(u32(16));
    put({1, 0, 1, 0}), put(u32(8000)), put(u32(16000)), put({2, 0, 16, 0}); // PCM, 16-bit mono
    tag("LIST"), put(u32(0x7F000000)), tag("INFO"), tag("ISFT"), put(u32(300u << 20)), tag("Lavf");
    tag("data"), put(u32(2000)), put(std::vector<unsigned char>(2000));
    testing::writeBytes(dir / "tagged.wav", wav);

    rusage before{}, after{};
    ::getrusage(RUSAGE_SELF, &before);
    try {
        openAudioFile(dir / "tagged.wav");
    } catch (const songs::EMediaPlayerError&) {
    }
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024) << "kilobytes of peak memory";
}

} // namespace
} // namespace cantorix::platform
