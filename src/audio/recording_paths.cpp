#include "recording_paths.h"

#include <cstdlib>
#include <system_error>
#include <unistd.h>

namespace cantorix::audio {

namespace {

namespace fs = std::filesystem;

// Whether the folder, or the nearest of its parents that exists, can be written: the buffer
// folders are created on first use.
bool writableOrCreatable(fs::path dir) {
    std::error_code error;
    while (!dir.empty() && !fs::exists(dir, error)) {
        if (dir == dir.parent_path())
            return false;
        dir = dir.parent_path();
    }
    return !dir.empty() && ::access(dir.c_str(), W_OK) == 0;
}

} // namespace

std::filesystem::path bufferDirectory(const std::filesystem::path& programDir) {
    fs::path own = programDir / "data" / "buffer";
    if (writableOrCreatable(own))
        return own;
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && fs::path(cache).is_absolute())
        return fs::path(cache) / "cantorix" / "buffer";
    const char* home = std::getenv("HOME");
    if (home && fs::path(home).is_absolute())
        return fs::path(home) / ".cache" / "cantorix" / "buffer";
    // Nowhere better: the recording then fails with its own message at song start.
    return own;
}

std::filesystem::path mixBufferDirectory(const std::filesystem::path& programDir) {
    return bufferDirectory(programDir) / "mix";
}

std::filesystem::path performanceRecordingPath(const std::filesystem::path& programDir) {
    return mixBufferDirectory(programDir) / "buf1.wav";
}

bool ensureMixBufferDirectory(const std::filesystem::path& programDir) {
    std::error_code error;
    const auto dir = mixBufferDirectory(programDir);
    std::filesystem::create_directories(dir, error);
    return std::filesystem::is_directory(dir, error);
}

} // namespace cantorix::audio
