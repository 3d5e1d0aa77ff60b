#include "platform/media/medley_decoder.h"

#include "platform/sound_output/stereo_resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace cantorix::platform {

namespace {

constexpr std::size_t kReadChunkFrames = 4096;

std::int64_t msToFrames(std::int64_t ms, int rate) {
    return ms * rate / 1000;
}

} // namespace

struct MedleyDecoder::Stretch {
    std::unique_ptr<AudioFileDecoder> decoder;
    std::unique_ptr<StereoResampler> resampler; // when the file's rate is not the medley's
    int fileRate = 0;
    // In frames of the medley's rate.
    std::int64_t begin = 0;
    std::int64_t frames = 0;
    std::int64_t fadeIn = 0;
    std::int64_t fadeOut = 0;
    // In frames of the file's rate.
    std::int64_t fileFrom = 0;
    std::int64_t fileFrames = 0;

    // Where the next pull goes on without a seek (−1: anywhere needs one), how much of the
    // stretch's file has been read, and read frames the resampler has not taken yet.
    std::int64_t next = -1;
    std::int64_t fileRead = 0;
    std::vector<float> input;
    std::size_t inputBegin = 0;
    bool inputEnded = false;

    // Equal-power curves: the two fades of an overlap add up to a steady loudness.
    float gainAt(std::int64_t offset) const {
        double gain = 1;
        if (offset < fadeIn)
            gain *= std::sin(std::numbers::pi / 2 * (static_cast<double>(offset) + 0.5) /
                             static_cast<double>(fadeIn));
        if (const std::int64_t fadeFrom = frames - fadeOut; offset >= fadeFrom && fadeOut > 0)
            gain *= std::cos(std::numbers::pi / 2 * (static_cast<double>(offset - fadeFrom) + 0.5) /
                             static_cast<double>(fadeOut));
        return static_cast<float>(gain);
    }

    void positionAt(std::int64_t offset, int medleyRate) {
        const std::int64_t fileOffset = std::min(offset * fileRate / medleyRate, fileFrames);
        decoder->seek(fileFrom + fileOffset);
        fileRead = fileOffset;
        if (resampler)
            resampler->clear();
        input.clear();
        inputBegin = 0;
        inputEnded = false;
        next = offset;
    }

    // Frames straight from the file, up to the stretch's end; fewer when the file ends early.
    std::size_t readFile(float* out, std::size_t frames) {
        const auto left =
            static_cast<std::size_t>(std::max<std::int64_t>(fileFrames - fileRead, 0));
        const std::size_t got = left == 0 ? 0 : decoder->read(out, std::min(frames, left));
        fileRead += static_cast<std::int64_t>(got);
        return got;
    }

    std::size_t convert(float* out, std::size_t frames) {
        std::size_t produced = 0;
        while (produced < frames) {
            if (inputBegin * 2 >= input.size() && !inputEnded) {
                input.resize(kReadChunkFrames * 2);
                const std::size_t got = readFile(input.data(), kReadChunkFrames);
                input.resize(got * 2);
                inputBegin = 0;
                inputEnded = got == 0;
            }
            const std::size_t available = input.size() / 2 - inputBegin;
            const StereoResampler::Step step =
                resampler->process(inputEnded ? nullptr : input.data() + inputBegin * 2, available,
                                   out + produced * 2, frames - produced);
            inputBegin += step.used;
            produced += step.produced;
            if (inputEnded && step.produced == 0)
                break;
        }
        return produced;
    }
};

MedleyDecoder::MedleyDecoder(const std::vector<std::filesystem::path>& audioFiles,
                             std::vector<songs::MedleySegment> segments)
    : m_segments(std::move(segments)) {
    if (m_segments.empty() || audioFiles.size() != m_segments.size())
        throw std::invalid_argument("a medley needs one audio file for each of its songs");
    for (std::size_t k = 0; k < m_segments.size(); ++k) {
        auto stretch = std::make_unique<Stretch>();
        stretch->decoder = openAudioFile(audioFiles[k]);
        stretch->fileRate = stretch->decoder->sampleRate();
        if (k == 0)
            m_rate = stretch->fileRate;
        if (stretch->fileRate != m_rate)
            stretch->resampler = std::make_unique<StereoResampler>(stretch->fileRate, m_rate);
        const songs::MedleySegment& segment = m_segments[k];
        stretch->begin = msToFrames(segment.medleyFromMs, m_rate);
        stretch->frames = msToFrames(segment.lengthMs(), m_rate);
        stretch->fadeIn = msToFrames(segment.fadeInMs, m_rate);
        stretch->fadeOut = msToFrames(segment.fadeOutMs, m_rate);
        stretch->fileFrom = std::min(msToFrames(segment.audioFromMs, stretch->fileRate),
                                     stretch->decoder->lengthFrames());
        stretch->fileFrames = std::min(msToFrames(segment.lengthMs(), stretch->fileRate),
                                       stretch->decoder->lengthFrames() - stretch->fileFrom);
        m_lengthFrames = std::max(m_lengthFrames, stretch->begin + stretch->frames);
        m_stretches.push_back(std::move(stretch));
    }
}

MedleyDecoder::~MedleyDecoder() = default;

void MedleyDecoder::seek(std::int64_t frame) {
    m_position = std::clamp<std::int64_t>(frame, 0, m_lengthFrames);
    for (const auto& stretch : m_stretches)
        stretch->next = -1;
}

void MedleyDecoder::pull(Stretch& s, std::int64_t offset, float* out, std::size_t frames) {
    if (s.next != offset)
        s.positionAt(offset, m_rate);
    const std::size_t produced = s.resampler ? s.convert(out, frames) : s.readFile(out, frames);
    std::fill(out + produced * 2, out + frames * 2, 0.0F);
    s.next = offset + static_cast<std::int64_t>(frames);
}

std::size_t MedleyDecoder::read(float* out, std::size_t maxFrames) {
    const std::int64_t count =
        std::min(static_cast<std::int64_t>(maxFrames), m_lengthFrames - m_position);
    if (count <= 0)
        return 0;
    const auto frames = static_cast<std::size_t>(count);
    std::fill(out, out + frames * 2, 0.0F);
    for (const auto& stretch : m_stretches) {
        Stretch& s = *stretch;
        const std::int64_t from = std::max(m_position, s.begin);
        const std::int64_t to = std::min(m_position + count, s.begin + s.frames);
        if (from >= to)
            continue;
        const auto span = static_cast<std::size_t>(to - from);
        m_mix.resize(span * 2);
        pull(s, from - s.begin, m_mix.data(), span);
        float* into = out + (from - m_position) * 2;
        for (std::size_t i = 0; i < span; ++i) {
            const float gain = s.gainAt(from - s.begin + static_cast<std::int64_t>(i));
            into[i * 2] += gain * m_mix[i * 2];
            into[i * 2 + 1] += gain * m_mix[i * 2 + 1];
        }
    }
    m_position += count;
    return frames;
}

} // namespace cantorix::platform
