#pragma once
// Media files for the tests, made on the spot by the ffmpeg command from its own test sources
// (a sine tone, a test picture), so each test states exactly what it reads.

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace cantorix::testing {

// Runs `ffmpeg <arguments> <output>` quietly; throws when it fails.
inline std::filesystem::path makeWithFfmpeg(const std::string& arguments,
                                            const std::filesystem::path& output) {
    const std::string command =
        "ffmpeg -nostdin -v error -y " + arguments + " '" + output.string() + "'";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("ffmpeg failed: " + command);
    return output;
}

// A 440 Hz tone of the given rate, channels and seconds, encoded with the codec.
inline std::filesystem::path makeTone(const std::filesystem::path& output, const std::string& codec,
                                      int rate = 44100, int channels = 2,
                                      const std::string& seconds = "1.2345") {
    return makeWithFfmpeg("-f lavfi -i sine=f=440:sample_rate=" + std::to_string(rate) + ":d=" +
                              seconds + " -ac " + std::to_string(channels) + " -c:a " + codec,
                          output);
}

} // namespace cantorix::testing
