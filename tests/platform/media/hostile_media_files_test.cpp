// Media files that try to hold the reader or send it elsewhere: a named pipe in a song folder,
// "audio" that is really a playlist naming another file, an MP4 whose track lives in another file.
// Every decoder refuses them with a reason, without waiting, and opens nothing but the file it was
// given.

#include "fakes/file_bytes.h"
#include "fakes/special_files.h"
#include "platform/ffmpeg_test_files.h"
#include "platform/media/audio_file_decoder.h"
#include "platform/media/ffmpeg_audio_decoder.h"
#include "platform/media/ffmpeg_input.h"
#include "platform/media/ffmpeg_song_decoder.h"
#include "platform/media/ffmpeg_video_decoder.h"
#include "platform/media/mp3_file_decoder.h"
#include "platform/mp3_test_files.h"
#include "songs/media_player_port.h"

#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

namespace cantorix::platform {
namespace {

namespace fs = std::filesystem;
using namespace cantorix::testing;

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

// Each decoder goes through the one check of the file's kind (whose every kind is tested with
// it): a named pipe shows that none opens the file another way, which would wait for a writer.
TEST(HostileMediaFilesTest, EveryDecoderRefusesANamedPipeWithoutWaiting) {
    TempDir dir;
    makeFifo(dir / "x.ogg");
    const std::string refused =
        "Cannot play '" + (dir / "x.ogg").string() + "': it is a named pipe, not a regular file";
    ::alarm(60); // a decoder that waits on the pipe fails here instead of holding the run
    EXPECT_EQ(refusals(dir / "x.ogg"),
              (std::vector<std::string>{refused, refused, refused, "no video", "export refuses"}));
    ::alarm(0);
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
    const std::pair<const char*, const char*> rows[] = {
        {"concat.ogg", "ffconcat version 1.0\nfile other.ogg\nfile 'other.avi'\n"},
        {"playlist.ogg", "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n#EXTINF:1.2,\n"
                         "other.ogg\n#EXTINF:1.2,\nfile:other.avi\n#EXT-X-ENDLIST\n"},
        {"concat.avi", "ffconcat version 1.0\nfile other.avi\n"},
    };
    for (const auto& [name, content] : rows) {
        SCOPED_TRACE(name);
        TempDir dir;
        makeTone(dir / "other.ogg", "libvorbis");
        makeWithFfmpeg("-f lavfi -i testsrc=d=0.2:s=64x48 -c:v mpeg4", dir / "other.avi");
        writeFile(dir / name, content);
        // The lists name their entries relative to the working directory.
        const fs::path previous = fs::current_path();
        fs::current_path(dir / "");
        const int trace = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(::inotify_add_watch(trace, ".", IN_OPEN), 0);
        const std::string cannot = "Cannot play '" + std::string(name) + "': ";
        const std::vector<std::string> expected = {cannot + "not a sound file the game can play",
                                                   cannot + "not a sound file the game can play",
                                                   cannot + "not an MP3 file", "no video",
                                                   "export refuses"};
        EXPECT_EQ(refusals(name), expected);
        // The whitelist refuses the list before its demuxer could ask for anything.
        std::vector<std::string> asked = {"not read"};
        EXPECT_FALSE(FfmpegInput::openFileAdmitting(std::fopen(name, "rb"), name, "", asked));
        EXPECT_EQ(asked, std::vector<std::string>{});
        EXPECT_EQ(openedSince(trace), std::set<std::string>{name});
        ::close(trace);
        fs::current_path(previous);
    }
}

// With a list's demuxer admitted, which the game never does, the list's entry is asked for and
// refused: a playlist asks through the nested-open callback, which records it; a concatenation
// list opens its entry as an input of its own through FFmpeg's protocols, never the callback, so
// only the empty protocol list keeps it out. Either way the open fails, and no file but the list
// is opened.
TEST(HostileMediaFilesTest, ANestedOpenIsRefusedAndRecorded) {
    struct Row {
        const char* demuxers;
        const char* name;
        const char* content;
        std::vector<std::string> asked;
    };
    const Row rows[] = {
        {"hls",
         "list.m3u8",
         "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:1.2,\nother.ogg\n#EXT-X-ENDLIST\n",
         {"other.ogg"}},
        {"hls",
         "variants.m3u8",
         "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1000\nother.m3u8\n",
         {"other.m3u8"}},
        {"concat,ogg", "list.ffconcat", "ffconcat version 1.0\nfile other.ogg\n", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        makeTone(dir / "other.ogg", "libvorbis");
        writeFile(dir / "other.m3u8", "#EXTM3U\n#EXTINF:1.2,\nother.ogg\n#EXT-X-ENDLIST\n");
        writeFile(dir / row.name, row.content);
        const fs::path previous = fs::current_path();
        fs::current_path(dir / "");
        const int trace = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(::inotify_add_watch(trace, ".", IN_OPEN), 0);
        std::vector<std::string> asked = {"not read"};
        EXPECT_EQ(FfmpegInput::openFileAdmitting(std::fopen(row.name, "rb"), row.name, row.demuxers,
                                                 asked),
                  nullptr);
        EXPECT_EQ(asked, row.asked);
        EXPECT_EQ(openedSince(trace), std::set<std::string>{row.name});
        ::close(trace);
        fs::current_path(previous);
    }
}

std::string bigEndian(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += char(value >> (8 * i));
    return out;
}

// `boxes` (an MP4's) with the track's data reference replaced by an alias to `other`, a file
// beside it: the track's samples are said to live there. Parents on the way are resized; the
// sample table stays valid because the writer put the header after the samples.
std::string referToOtherFile(const std::string& boxes, const std::string& other, int depth = 0) {
    static const char* const path[] = {"moov", "trak", "mdia", "minf", "dinf"};
    std::string out;
    for (std::size_t at = 0; at + 8 <= boxes.size();) {
        std::uint32_t size = 0;
        for (int i = 0; i < 4; ++i)
            size = size << 8 | std::uint8_t(boxes[at + i]);
        if (size < 8 || size > boxes.size() - at)
            break;
        const std::string type = boxes.substr(at + 4, 4);
        std::string body = boxes.substr(at + 8, size - 8);
        if (depth < 5 && type == path[depth]) {
            body = referToOtherFile(body, other, depth + 1);
        } else if (depth == 5 && type == "dref") {
            // One alias record: volume "Vol", the file one level down from the alias's folder.
            std::string alias = std::string(10, '\0') + char(3) + "Vol" + std::string(24, '\0') +
                                std::string(12, '\0') + char(other.size()) + other +
                                std::string(63 - other.size(), '\0') + std::string(16, '\0') +
                                bigEndian(1, 2) + bigEndian(1, 2) + std::string(16, '\0');
            const std::string full = "Vol:" + other + '\0';
            alias += bigEndian(2, 2) + bigEndian(full.size(), 2) + full +
                     std::string(full.size() % 2, '\0') + bigEndian(0xFFFF, 2) + bigEndian(0, 2);
            body = bigEndian(0, 4) + bigEndian(1, 4) + bigEndian(12 + alias.size(), 4) + "alis" +
                   bigEndian(0, 4) + alias;
        }
        out += bigEndian(8 + body.size(), 4) + type + body;
        at += size;
    }
    return out;
}

// An MP4 whose only track says its samples live in another file beside it. The game's readers
// open that file for no one: the container's demuxer does not even ask (its record of refused
// opens stays empty), and each reader gives what the file itself holds.
TEST(HostileMediaFilesTest, ATrackKeptInAnotherFileIsNeverOpened) {
    TempDir dir;
    makeTone(dir / "other.m4a", "aac");
    writeFile(dir / "outside.m4a", referToOtherFile(readFile(dir / "other.m4a"), "other.m4a"));
    const fs::path previous = fs::current_path();
    fs::current_path(dir / "");
    const int trace = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(trace, ".", IN_OPEN), 0);
    // The song exporter takes it on its stream facts alone, and would find nothing to decode.
    const std::string cannot = "Cannot play 'outside.m4a': ";
    EXPECT_EQ(
        refusals("outside.m4a"),
        (std::vector<std::string>{cannot + "it holds no sound", cannot + "it holds no sound",
                                  cannot + "not an MP3 file", "no video", "export takes it"}));
    std::vector<std::string> asked;
    const std::unique_ptr<FfmpegInput> input =
        FfmpegInput::openFileAdmitting(std::fopen("outside.m4a", "rb"), "outside.m4a", "", asked);
    ASSERT_NE(input, nullptr);
    input->findStreamInfo();
    EXPECT_EQ(input->refusedOpens(), std::vector<std::string>{});
    EXPECT_EQ(openedSince(trace), std::set<std::string>{"outside.m4a"});
    ::close(trace);
    fs::current_path(previous);
}

// A 2 KB WAV whose tag claims 300 MB: the library would allocate and clear all of it before
// finding the file ends. Whether the file plays or not, the claim is not paid for.
TEST(HostileMediaFilesTest, AHeaderClaimingHundredsOfMegabytesCostsNoMemory) {
    TempDir dir;
    const auto u32 = [](std::uint32_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    writeFile(dir / "tagged.wav", "RIFF" + u32(2100) + "WAVEfmt " + u32(16) +
                                      std::string("\1\0\1\0", 4) + u32(8000) + u32(16000) +
                                      std::string("\2\0\20\0", 4) + // PCM, 16-bit mono
                                      "LIST" + u32(0x7F000000) + "INFOISFT" + u32(300u << 20) +
                                      "Lavfdata" + u32(2000) + std::string(2000, '\0'));
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
