#include "export_files.h"

#include "recording_paths.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <system_error>

namespace cantorix::audio {

ExportFiles ExportFiles::under(const std::filesystem::path& programDir,
                               std::filesystem::path songAudio, std::filesystem::path destination) {
    ExportFiles files;
    files.songAudio = std::move(songAudio);
    files.destination = std::move(destination);
    files.wrappedSong = bufferDirectory(programDir) / "buf.wav";
    files.mixDirectory = mixBufferDirectory(programDir);
    files.decodedSong = files.mixDirectory / "buf.wav";
    files.voice = performanceRecordingPath(programDir);
    return files;
}

std::filesystem::path ExportFiles::mixFile(int number) const {
    return mixDirectory / ("f" + std::to_string(number) + ".wav");
}

bool samePathIgnoringCase(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    const auto absoluteA = std::filesystem::absolute(a, error).lexically_normal().string();
    const auto absoluteB = std::filesystem::absolute(b, error).lexically_normal().string();
    return std::equal(
        absoluteA.begin(), absoluteA.end(), absoluteB.begin(), absoluteB.end(),
        [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

} // namespace cantorix::audio
