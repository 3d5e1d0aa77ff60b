#pragma once
// Whole files as bytes, for tests that write a file and read back what the game made of it.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace cantorix::testing {

// The file's bytes; empty when it cannot be opened.
inline std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

} // namespace cantorix::testing
