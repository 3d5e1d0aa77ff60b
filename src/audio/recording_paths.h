#pragma once
// Where the game keeps the performance it records: data/buffer/mix/buf1.wav under the program
// directory. Main thread.

#include <filesystem>

namespace cantorix::audio {

std::filesystem::path mixBufferDirectory(const std::filesystem::path& programDir);
std::filesystem::path performanceRecordingPath(const std::filesystem::path& programDir);

// Creates the mix buffer directory when it is missing. Returns false, without raising, when it
// cannot be made: the recording then fails with its own message at song start.
bool ensureMixBufferDirectory(const std::filesystem::path& programDir);

} // namespace cantorix::audio
