#include "wav_file_input.h"

#include "resampler.h"
#include "wav_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace cantorix::platform {

namespace {

// Frames of the file converted at a time: at the lowest rate the reader takes (1 kHz) a piece
// comes out 44 times longer, still under a megabyte.
constexpr std::size_t kPieceFrames = 8192;

// Bytes of the file at an offset, for the header and the sample pieces alike.
using ByteSource = WavByteReader;

// Reads the samples in pieces and converts each as the reader reaches it. The byte source is
// the file's descriptor or, for a WAV already in memory, those bytes.
class WavFrameSource : public CaptureFrameSource {
public:
    // channel: one channel (from 0) of the file, or none for the average of all.
    WavFrameSource(ByteSource bytes, const WavInfo& info, std::optional<int> channel)
        : m_bytes(std::move(bytes)), m_info(info), m_channel(channel) {
        if (channel && (*channel < 0 || *channel >= info.channels))
            throw EWavError("the file has " + std::to_string(info.channels) +
                            " channels; there is no channel " + std::to_string(*channel));
        try {
            makeResampler();
        } catch (const std::runtime_error& e) {
            throw EWavError(e.what());
        }
    }

    std::size_t read(std::int16_t* out, std::size_t count) override {
        std::size_t copied = 0;
        while (copied < count) {
            if (m_taken == m_converted.size() && !convertNextPiece())
                break;
            const std::size_t n = std::min(count - copied, m_converted.size() - m_taken);
            std::copy_n(m_converted.begin() + static_cast<std::ptrdiff_t>(m_taken), n,
                        out + copied);
            m_taken += n;
            copied += n;
        }
        return copied;
    }

    void rewind() override {
        m_nextFrame = 0;
        m_flushed = false;
        m_converted.clear();
        m_taken = 0;
        try {
            makeResampler();
        } catch (const std::runtime_error&) {
            m_flushed = true; // made once already; should it fail now the recording is silent
            m_nextFrame = m_info.frameCount;
        }
    }

private:
    void makeResampler() {
        m_resampler = std::make_unique<MonoResampler>(m_info.sampleRate, CaptureHub::kSampleRate,
                                                      MonoResampler::Input::Float32);
    }

    // Replaces the converted frames with those of the next piece; false at the end.
    bool convertNextPiece() {
        m_converted.clear();
        m_taken = 0;
        try {
            while (m_converted.empty()) {
                if (m_nextFrame < m_info.frameCount)
                    convertFrames(std::min(kPieceFrames, m_info.frameCount - m_nextFrame));
                else if (!m_flushed) {
                    m_flushed = true;
                    m_resampler->flush(m_converted);
                } else
                    return false;
            }
        } catch (const std::exception&) {
            // A converter that fails ends the recording rather than the pacing thread.
            m_nextFrame = m_info.frameCount;
            m_flushed = true;
            m_converted.clear();
            return false;
        }
        return true;
    }

    void convertFrames(std::size_t count) {
        m_raw.resize(count * m_info.blockAlign);
        const std::size_t got = m_bytes(m_info.dataOffset + m_nextFrame * m_info.blockAlign,
                                        m_raw.size(), m_raw.data());
        const std::size_t frames = got / m_info.blockAlign;
        // A file cut short since its header was read ends where its whole frames end.
        if (frames < count)
            m_info.frameCount = m_nextFrame + frames;
        m_mono.resize(frames);
        if (m_channel)
            decodeChannelSamples(m_info, m_raw.data(), frames, *m_channel, m_mono.data());
        else
            decodeMonoSamples(m_info, m_raw.data(), frames, m_mono.data());
        m_resampler->process(m_mono.data(), frames, m_converted);
        m_nextFrame += frames;
    }

    ByteSource m_bytes;
    WavInfo m_info;
    std::optional<int> m_channel;
    std::unique_ptr<MonoResampler> m_resampler;
    std::size_t m_nextFrame = 0; // of the file
    bool m_flushed = false;
    std::vector<std::uint8_t> m_raw;
    std::vector<float> m_mono;
    std::vector<std::int16_t> m_converted; // of the piece being read
    std::size_t m_taken = 0;
};

// pread until count bytes or the end; an error reads as the end.
std::size_t readAt(int fd, std::size_t offset, std::size_t count, std::uint8_t* out) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

// The file's descriptor for a microphone, or EWavError naming the file.
base::UniqueFd openMicrophoneFile(const std::filesystem::path& file) {
    std::string reason;
    base::UniqueFd fd = base::openRegularFile(file, reason);
    if (!fd) {
        // A file that is there but is no regular file says what it is; any other keeps the
        // message players know.
        struct stat status {};
        const bool notRegular = ::stat(file.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
        throw EWavError("Cannot open the microphone file \"" + file.string() + "\"" +
                        (notRegular ? ": " + reason : ""));
    }
    return fd;
}

[[noreturn]] void throwUnusable(const std::filesystem::path& file, const EWavError& e) {
    throw EWavError("Cannot use \"" + file.string() + "\" as the microphone: " + e.what());
}

// The bytes of an open file and what its header says of them.
struct OpenedWav {
    ByteSource bytes;
    WavInfo info;
};

OpenedWav readHeader(base::UniqueFd file) {
    struct stat status {};
    if (::fstat(file.get(), &status) != 0)
        throw EWavError(std::strerror(errno));
    // Shared: the source outlives this function and keeps the descriptor open.
    auto fd = std::make_shared<base::UniqueFd>(std::move(file));
    ByteSource bytes = [fd](std::size_t offset, std::size_t count, std::uint8_t* out) {
        return readAt(fd->get(), offset, count, out);
    };
    WavInfo info = parseWavHeader(bytes, static_cast<std::size_t>(status.st_size));
    return {std::move(bytes), info};
}

void refuseTooManyChannels(const std::filesystem::path& file, const WavInfo& info) {
    if (info.channels > kMostWavChannels)
        throw EWavError("\"" + file.string() + "\" has " + std::to_string(info.channels) +
                        " channels; the game hears at most " + std::to_string(kMostWavChannels) +
                        " singers");
}

OpenedWav readMicrophoneHeader(const std::filesystem::path& file) {
    base::UniqueFd fd = openMicrophoneFile(file);
    try {
        return readHeader(std::move(fd));
    } catch (const EWavError& e) {
        throwUnusable(file, e);
    }
}

std::unique_ptr<CaptureFrameSource> openSource(const std::filesystem::path& file,
                                               std::optional<int> channel) {
    OpenedWav wav = readMicrophoneHeader(file);
    if (channel)
        refuseTooManyChannels(file, wav.info);
    try {
        return std::make_unique<WavFrameSource>(std::move(wav.bytes), wav.info, channel);
    } catch (const EWavError& e) {
        throwUnusable(file, e);
    }
}

// "WAV file NAME" for the average, "WAV file NAME, channel N" for one channel.
std::string describeInput(const std::filesystem::path& file, std::optional<int> channel) {
    std::string text = "WAV file " + file.string();
    if (channel)
        text += ", channel " + std::to_string(*channel);
    return text;
}

} // namespace

std::vector<std::int16_t> convertWavForCapture(const std::uint8_t* data, std::size_t size) {
    const WavInfo info = parseWav(data, size);
    WavFrameSource source(
        [data, size](std::size_t offset, std::size_t count, std::uint8_t* out) {
            const std::size_t copied = offset < size ? std::min(count, size - offset) : 0;
            std::copy_n(data + std::min(offset, size), copied, out);
            return copied;
        },
        info, std::nullopt);
    std::vector<std::int16_t> out(
        static_cast<std::size_t>(static_cast<double>(info.frameCount) * CaptureHub::kSampleRate /
                                 info.sampleRate) +
        1024);
    std::size_t filled = 0;
    while (std::size_t n = source.read(out.data() + filled, out.size() - filled)) {
        filled += n;
        if (filled == out.size())
            out.resize(out.size() * 2);
    }
    out.resize(filled);
    return out;
}

int wavChannelCount(const std::filesystem::path& file) {
    const WavInfo info = readMicrophoneHeader(file).info;
    refuseTooManyChannels(file, info);
    return info.channels;
}

std::unique_ptr<CaptureFrameSource> openWavForCapture(base::UniqueFd file) {
    OpenedWav wav = readHeader(std::move(file));
    return std::make_unique<WavFrameSource>(std::move(wav.bytes), wav.info, std::nullopt);
}

std::unique_ptr<CaptureFrameSource> openWavForCapture(base::UniqueFd file, int channel) {
    OpenedWav wav = readHeader(std::move(file));
    return std::make_unique<WavFrameSource>(std::move(wav.bytes), wav.info, channel);
}

WavFileInput::WavFileInput(CaptureHub& hub, const std::filesystem::path& file)
    : PacedInput(hub, openSource(file, std::nullopt), describeInput(file, std::nullopt), false) {}

WavFileInput::WavFileInput(CaptureHub& hub, const std::filesystem::path& file, int channel)
    : PacedInput(hub, openSource(file, channel), describeInput(file, channel), false) {}

} // namespace cantorix::platform
