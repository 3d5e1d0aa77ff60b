#pragma once
// Audio files whose headers claim a length their data does not hold: a real file made by the
// ffmpeg command, then patched where its container states the length (an Ogg page's granule
// position with the page's checksum mended, a FLAC stream header's sample count).

#include "fakes/file_bytes.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace cantorix::testing {

// Ogg's page checksum: CRC-32 with polynomial 0x04C11DB7, not reflected, starting at 0.
inline std::uint32_t oggCrc(const std::string& page) {
    std::uint32_t crc = 0;
    for (unsigned char byte : page) {
        crc ^= std::uint32_t{byte} << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// Makes the last page of an Ogg file (whose granule position states the stream's length) claim
// `granule` samples.
inline void claimOggGranule(const std::filesystem::path& file, std::uint64_t granule) {
    std::string bytes = readFile(file);
    std::size_t last = 0, lastSize = 0;
    for (std::size_t at = 0; at + 27 <= bytes.size() && bytes.compare(at, 4, "OggS") == 0;) {
        const auto segments = static_cast<unsigned char>(bytes[at + 26]);
        lastSize = 27 + std::size_t{segments};
        for (std::size_t i = 0; i < segments && at + 27 + i < bytes.size(); ++i)
            lastSize += static_cast<unsigned char>(bytes[at + 27 + i]);
        last = at;
        at += lastSize;
    }
    if (lastSize == 0 || last + lastSize > bytes.size())
        throw std::runtime_error("no whole Ogg page in " + file.string());
    for (std::size_t i = 0; i < 8; ++i)
        bytes[last + 6 + i] = static_cast<char>(granule >> (8 * i));
    bytes.replace(last + 22, 4, 4, '\0');
    const std::uint32_t crc = oggCrc(bytes.substr(last, lastSize));
    for (std::size_t i = 0; i < 4; ++i)
        bytes[last + 22 + i] = static_cast<char>(crc >> (8 * i));
    writeFile(file, bytes);
}

// Makes a FLAC file's stream header claim the largest sample count it can state (2^36 − 1).
inline void claimLongestFlac(const std::filesystem::path& file) {
    std::string bytes = readFile(file);
    // "fLaC", the block header, then the stream header: the count is the low 36 bits of the
    // eight bytes after the block and frame sizes.
    if (bytes.size() < 26 || bytes.compare(0, 4, "fLaC") != 0 || (bytes[4] & 0x7F) != 0)
        throw std::runtime_error("no FLAC stream header in " + file.string());
    bytes[21] = static_cast<char>(bytes[21] | 0x0F);
    for (std::size_t i = 22; i < 26; ++i)
        bytes[i] = static_cast<char>(0xFF);
    writeFile(file, bytes);
}

} // namespace cantorix::testing
