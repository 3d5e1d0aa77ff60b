#include "mp3_file_decoder.h"

#include "base/regular_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <mpg123.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace cantorix::platform {

namespace {

using Bytes4 = std::array<unsigned char, 4>;

struct FrameHeader {
    int versionBits; // 0: MPEG 2.5, 2: MPEG 2, 3: MPEG 1
    int layer;       // 1 … 3
    int sampleRate;
    int size; // bytes, 0 for free-format streams whose frame size the header does not give
};

// Bit rates in kbit/s by bit-rate index: MPEG 1 layers I, II, III; MPEG 2 and 2.5 layer I;
// MPEG 2 and 2.5 layers II and III.
constexpr int kBitRates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
constexpr int kMpeg1Rates[3] = {44100, 48000, 32000};

std::optional<FrameHeader> parseFrameHeader(const Bytes4& b) {
    const int versionBits = (b[1] >> 3) & 3;
    const int layerBits = (b[1] >> 1) & 3;
    const int bitRateIndex = b[2] >> 4;
    const int rateIndex = (b[2] >> 2) & 3;
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0 || versionBits == 1 || layerBits == 0 ||
        bitRateIndex == 15 || rateIndex == 3 || (b[3] & 3) == 2)
        return std::nullopt;
    FrameHeader header{versionBits, 4 - layerBits, kMpeg1Rates[rateIndex], 0};
    const bool mpeg1 = versionBits == 3;
    if (!mpeg1)
        header.sampleRate /= versionBits == 2 ? 2 : 4;
    const int table = mpeg1 ? header.layer - 1 : header.layer == 1 ? 3 : 4;
    const int bitRate = kBitRates[table][bitRateIndex] * 1000;
    const int padding = (b[2] >> 1) & 1;
    if (header.layer == 1)
        header.size = (12 * bitRate / header.sampleRate + padding) * 4;
    else if (header.layer == 3 && !mpeg1)
        header.size = 72 * bitRate / header.sampleRate + padding;
    else
        header.size = 144 * bitRate / header.sampleRate + padding;
    return header;
}

bool readAt(int fd, void* out, std::size_t size, off_t offset) {
    return ::pread(fd, out, size, offset) == static_cast<ssize_t>(size);
}

// Offset of the first byte after the ID3v2 tags at the start of the file.
off_t skipId3v2Tags(int fd) {
    off_t offset = 0;
    std::array<unsigned char, 10> tag{};
    while (readAt(fd, tag.data(), tag.size(), offset) && std::memcmp(tag.data(), "ID3", 3) == 0 &&
           ((tag[6] | tag[7] | tag[8] | tag[9]) & 0x80) == 0) {
        const off_t size = (off_t{tag[6]} << 21) | (tag[7] << 14) | (tag[8] << 7) | tag[9];
        const bool footer = (tag[5] & 0x10) != 0;
        offset += 10 + size + (footer ? 10 : 0);
    }
    return offset;
}

// Some taggers leave zero bytes between the tag and the first frame; zeros never look like a
// frame, so they are skipped (within one block).
off_t skipZeros(int fd, off_t offset) {
    std::array<unsigned char, 4096> block{};
    const ssize_t got = ::pread(fd, block.data(), block.size(), offset);
    ssize_t zeros = 0;
    while (zeros < got && block[static_cast<std::size_t>(zeros)] == 0)
        ++zeros;
    return offset + zeros;
}

// libmpg123 searches far into any data for something that looks like a frame, and finds some
// in programs and fonts. An MP3 file starts with its first frame (after any ID3v2 tags), and
// that frame is followed by another of the same kind, an ID3v1 tag or the end of the file.
bool startsLikeMp3(int fd, off_t fileSize) {
    const off_t first = skipZeros(fd, skipId3v2Tags(fd));
    Bytes4 bytes{};
    if (!readAt(fd, bytes.data(), bytes.size(), first))
        return false;
    const std::optional<FrameHeader> header = parseFrameHeader(bytes);
    if (!header)
        return false;
    const off_t next = first + header->size;
    if (header->size == 0 || next + 4 > fileSize)
        return true;
    if (!readAt(fd, bytes.data(), bytes.size(), next))
        return false;
    if (std::memcmp(bytes.data(), "TAG", 3) == 0)
        return true;
    const std::optional<FrameHeader> second = parseFrameHeader(bytes);
    return second && second->versionBits == header->versionBits && second->layer == header->layer &&
           second->sampleRate == header->sampleRate;
}

// A descriptor for a regular file only: a named pipe would hold the open for ever.
int openForDecoding(const std::filesystem::path& file) {
    std::string reason;
    base::UniqueFd fd = base::openRegularFile(file, reason);
    if (!fd)
        failToPlay(file, reason);
    return fd.release();
}

} // namespace

Mp3FileDecoder::Mp3FileDecoder(const std::filesystem::path& file)
    : Mp3FileDecoder(file, openForDecoding(file)) {}

Mp3FileDecoder::Mp3FileDecoder(const std::filesystem::path& file, int fd) : m_file(file), m_fd(fd) {
    if (m_fd < 0)
        fail(std::strerror(errno));
    try {
        open();
    } catch (...) {
        if (m_handle)
            mpg123_delete(m_handle);
        ::close(m_fd);
        throw;
    }
}

bool Mp3FileDecoder::startsLikeMp3(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
           platform::startsLikeMp3(fd, status.st_size);
}

void Mp3FileDecoder::open() {
    struct stat status {};
    if (::fstat(m_fd, &status) != 0)
        fail(std::strerror(errno));
    if (const std::string kind = base::nonRegularKind(status.st_mode); !kind.empty())
        fail("it is " + kind + ", not a regular file");
    if (!platform::startsLikeMp3(m_fd, status.st_size))
        fail("not an MP3 file");
    int error = MPG123_OK;
    m_handle = mpg123_new(nullptr, &error);
    if (!m_handle)
        fail(mpg123_plain_strerror(error));
    mpg123_param(m_handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_STEREO,
                 0);
    // One output format whatever the file holds: stereo float at the file's own rate.
    mpg123_format_none(m_handle);
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t i = 0; i < rateCount; ++i)
        mpg123_format(m_handle, rates[i], MPG123_STEREO, MPG123_ENC_FLOAT_32);
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_open_fd(m_handle, m_fd) != MPG123_OK ||
        mpg123_getformat(m_handle, &rate, &channels, &encoding) != MPG123_OK)
        fail("not an MP3 file");
    // The scan counts every frame, so the length is exact and seeks land on the sample.
    if (mpg123_scan(m_handle) != MPG123_OK || mpg123_length(m_handle) < 0)
        fail("the MP3 data cannot be read");
    m_rate = static_cast<int>(rate);
    m_length = mpg123_length(m_handle);
    seek(0);
}

Mp3FileDecoder::~Mp3FileDecoder() {
    mpg123_delete(m_handle);
    ::close(m_fd);
}

void Mp3FileDecoder::fail(const std::string& reason) const {
    failToPlay(m_file, reason);
}

void Mp3FileDecoder::seek(std::int64_t frame) {
    mpg123_seek(m_handle, static_cast<off_t>(std::clamp<std::int64_t>(frame, 0, m_length)),
                SEEK_SET);
}

std::size_t Mp3FileDecoder::read(float* out, std::size_t maxFrames) {
    constexpr std::size_t kFrameBytes = 2 * sizeof(float);
    auto* bytes = reinterpret_cast<unsigned char*>(out);
    std::size_t total = 0;
    while (total < maxFrames * kFrameBytes) {
        std::size_t done = 0;
        const int result =
            mpg123_read(m_handle, bytes + total, maxFrames * kFrameBytes - total, &done);
        total += done;
        if (result == MPG123_NEW_FORMAT)
            continue;
        if (result != MPG123_OK || done == 0)
            break;
    }
    return total / kFrameBytes;
}

} // namespace cantorix::platform
