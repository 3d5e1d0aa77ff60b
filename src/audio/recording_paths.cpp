#include "recording_paths.h"

#include <system_error>

namespace cantorix::audio {

std::filesystem::path mixBufferDirectory(const std::filesystem::path& programDir) {
    return programDir / "data" / "buffer" / "mix";
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
