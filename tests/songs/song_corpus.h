#pragma once
// The shared corpus of real song files, read in place: finding a file by a distinctive fragment
// of its name and naming a parameterised test after it.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace cantorix::songs::test {

inline const std::filesystem::path kSongCorpus =
    std::filesystem::path(CANTORIX_CORPUS_DIR) / "songs";

inline bool songCorpusPresent() {
    std::error_code error;
    return std::filesystem::is_directory(kSongCorpus, error);
}

// Finds the file whose name holds the fragment; otherwise returns the one-line reason to skip.
inline std::string findCorpusFile(std::string_view nameFragment, std::filesystem::path& file) {
    if (!songCorpusPresent())
        return "no song corpus at " + kSongCorpus.string();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(kSongCorpus, error)) {
        if (entry.path().filename().string().find(nameFragment) != std::string::npos) {
            file = entry.path();
            return {};
        }
    }
    return "the song corpus holds no file named like '" + std::string(nameFragment) + "'";
}

inline std::string readCorpusBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// GoogleTest names allow letters, digits and underscores only.
inline std::string testNameOf(std::string_view nameFragment) {
    std::string name;
    for (const char c : nameFragment) {
        const bool plain =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        name += plain ? c : '_';
    }
    return name;
}

} // namespace cantorix::songs::test
