// `cantorix-tool export SONG.mp3 VOICE.wav OUT.mp3`: the game's MP3 export without its window.
// The song is wrapped, decoded, mixed with the voice (16-bit stereo PCM at 22050 Hz, the
// recording's format) and compressed, phase after phase without pauses; the working files go to
// a temporary directory that is removed afterwards.

#include "audio/export_job.h"
#include "base/regular_file.h"
#include "platform/media/codec_manager.h"
#include "platform/media/ffmpeg_song_decoder.h"
#include "tool_commands.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace cantorix::tools {

namespace {

namespace fs = std::filesystem;

const char* const kPhaseNames[] = {"", "wrap", "decode", "mix", "compress"};

// A fresh directory standing in for the program directory's data/buffer tree.
class WorkingDirectory {
public:
    WorkingDirectory() {
        std::string pattern = (fs::temp_directory_path() / "cantorix-export-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a working directory in " +
                                     fs::temp_directory_path().string());
        m_path = pattern;
    }
    ~WorkingDirectory() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

// Prints each phase as it starts, and its percentage in steps of ten as blocks come.
class ProgressPrinter {
public:
    void operator()(int phase, std::int64_t position, std::int64_t size) {
        if (phase != m_phase) {
            finishLine();
            m_phase = phase;
            m_shown = -1;
            m_started = std::chrono::steady_clock::now();
            std::printf("phase %d: %s", phase, kPhaseNames[phase]);
        }
        if (size <= 0)
            return;
        const int percent = static_cast<int>(position * 100 / size) / 10 * 10;
        if (percent > m_shown) {
            std::printf(" %d%%", percent);
            m_shown = percent;
        }
        std::fflush(stdout);
    }
    void finishLine() {
        if (m_phase == 0)
            return;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
        std::printf(" (%.2f s)\n", seconds);
    }

private:
    int m_phase = 0;
    int m_shown = -1;
    std::chrono::steady_clock::time_point m_started;
};

} // namespace

int runExportCommand(const Args& args) {
    if (args.size() != 3) {
        std::fprintf(stderr, "Usage: cantorix-tool export SONG VOICE.wav OUT.mp3\n");
        return 2;
    }
    try {
        // Both inputs are looked at before any work starts: a named pipe among them would
        // otherwise hold the export for ever at whichever phase first reads it.
        for (const std::string& input : {args[0], args[1]})
            base::openRegularFileOrThrow(input);
        const WorkingDirectory work;
        platform::CodecManager codecs;
        platform::FfmpegSongDecoder otherAudio;
        audio::TExportJob job(codecs, otherAudio);
        audio::ExportFiles files =
            audio::ExportFiles::under(work.path(), fs::absolute(args[0]), fs::absolute(args[2]));
        files.voice = fs::absolute(args[1]);
        job.begin(files);
        ProgressPrinter printer;
        const std::exception_ptr decodeError =
            audio::runExportPhases(job, [&](int phase, std::int64_t position, std::int64_t size) {
                printer(phase, position, size);
            });
        printer.finishLine();
        if (decodeError) {
            try {
                std::rethrow_exception(decodeError);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "cantorix-tool: the song was only partly decoded: %s\n",
                             e.what());
            }
        }
        std::error_code error;
        const auto bytes = fs::file_size(files.destination, error);
        std::printf("wrote %s (%llu bytes)\n", files.destination.c_str(),
                    static_cast<unsigned long long>(error ? 0 : bytes));
        return decodeError ? 1 : 0;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "\ncantorix-tool: %s\n", e.what());
        return 1;
    }
}

} // namespace cantorix::tools
