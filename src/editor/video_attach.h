#pragma once
// The video editor's work on the current song file: replace (or add) its "#VIDEO:" line so it
// names the chosen clip, saving the file atomically. Pure C++ over the file system; main thread.

#include <filesystem>
#include <string_view>

namespace cantorix::editor {

// Reads songFile, rewrites its video line to the bare name of videoFile and saves it back.
// Throws EFOpenError when no song file has been read yet (empty path) or it cannot be read,
// std::out_of_range ("List index out of bounds (2)") for a file of fewer than two lines, and
// EFCreateError when it cannot be written; nothing is written on any failure.
void attachVideo(const std::filesystem::path& songFile, std::string_view videoFile);

} // namespace cantorix::editor
