#include "file_media_player.h"

#include "audio_file_decoder.h"
#include "medley_decoder.h"
#include "platform/sound_output/stereo_resampler.h"

#include <algorithm>
#include <chrono>

namespace cantorix::platform {

namespace {

// About 0.7 s at 48 kHz: far more than a device takes at once, and refilled every
// kDecodePeriod by a decoder that runs hundreds of times faster than real time.
constexpr std::size_t kRingFrames = 32768;
constexpr std::size_t kChunkFrames = 4096;
constexpr auto kDecodePeriod = std::chrono::milliseconds(10);

} // namespace

FileMediaPlayer::FileMediaPlayer(AudioOutput& output)
    : m_output(output), m_pending(kChunkFrames * kOutputChannels),
      m_decoded(kChunkFrames * kOutputChannels), m_ring(kRingFrames * kOutputChannels) {}

FileMediaPlayer::~FileMediaPlayer() {
    close();
}

void FileMediaPlayer::setFileName(const std::filesystem::path& fileName) {
    m_fileName = fileName;
}

void FileMediaPlayer::open() {
    close();
    openDecoder(openAudioFile(m_fileName));
}

void FileMediaPlayer::openMedley(const std::vector<std::filesystem::path>& audioFiles,
                                 const std::vector<songs::MedleySegment>& segments) {
    close();
    if (segments.empty())
        failToPlay(m_fileName, "the medley has no song");
    openDecoder(std::make_unique<MedleyDecoder>(audioFiles, segments));
}

void FileMediaPlayer::openDecoder(std::unique_ptr<AudioFileDecoder> decoder) {
    close();
    try {
        m_stream = m_output.openStream(decoder->sampleRate(), *this);
        m_outputRate = m_stream->sampleRate();
        if (m_outputRate != decoder->sampleRate())
            m_resampler = std::make_unique<StereoResampler>(decoder->sampleRate(), m_outputRate);
    } catch (const EAudioOutputError& error) {
        m_stream.reset();
        throw songs::ESoundOutputError("Cannot play '" + m_fileName.string() +
                                       "': " + error.what());
    }
    m_decoder = std::move(decoder);
    m_latencyFrames = static_cast<std::int64_t>(m_stream->latencyFrames());
    restartAt(0);
    m_quit = false;
    m_decodeThread = std::thread([this] { decodeLoop(); });
}

void FileMediaPlayer::play() {
    requireOpen("play");
    if (m_playing)
        return;
    m_stream->start();
    m_playing = true;
}

void FileMediaPlayer::pause() {
    halt();
}

void FileMediaPlayer::resume() {
    requireOpen("resume");
    play();
}

void FileMediaPlayer::stop() {
    halt();
}

void FileMediaPlayer::close() {
    if (!m_decoder)
        return;
    m_stream->stop();
    m_playing = false;
    {
        std::lock_guard lock(m_decodeMutex);
        m_quit = true;
    }
    m_wake.notify_one();
    m_decodeThread.join();
    m_stream.reset();
    m_resampler.reset();
    m_decoder.reset();
}

std::int64_t FileMediaPlayer::position() const {
    if (!m_decoder)
        return 0;
    const std::int64_t frames = heardFileFrames();
    const std::int64_t lengthMs = m_decoder->lengthMs();
    if (frames >= m_decoder->lengthFrames())
        return lengthMs;
    // Only the end itself reports the length: the session takes that as the end of the song.
    return std::min(framesToMs(frames, m_decoder->sampleRate()),
                    std::max<std::int64_t>(0, lengthMs - 1));
}

std::int64_t FileMediaPlayer::length() const {
    return m_decoder ? m_decoder->lengthMs() : 0;
}

void FileMediaPlayer::setStartPosition(std::int64_t ms) {
    requireOpen("set the start position");
    const std::int64_t clamped = std::clamp<std::int64_t>(ms, 0, m_decoder->lengthMs());
    // Rounded up, so that the position reads back as ms; seconds apart, so that no length
    // overflows.
    const std::int64_t rate = m_decoder->sampleRate();
    const std::int64_t frame = clamped / 1000 * rate + (clamped % 1000 * rate + 999) / 1000;
    const bool wasPlaying = m_playing;
    if (wasPlaying)
        m_stream->stop();
    restartAt(frame);
    if (wasPlaying)
        m_stream->start();
}

void FileMediaPlayer::render(float* out, std::size_t frames) noexcept {
    const std::size_t got = m_ring.read(out, frames * kOutputChannels) / kOutputChannels;
    const std::int64_t played = m_played.load(std::memory_order_relaxed) + got;
    m_played.store(played, std::memory_order_release);
    if (got == frames)
        return;
    std::fill(out + got * kOutputChannels, out + frames * kOutputChannels, 0.0f);
    // Silence after the last frame carries the last one through the device's latency to the
    // listener; silence from a decoder that fell behind does not advance the position.
    if (played == m_endFrames.load(std::memory_order_acquire)) {
        const std::int64_t tail = m_tail.load(std::memory_order_relaxed);
        m_tail.store(tail + static_cast<std::int64_t>(frames - got), std::memory_order_release);
    }
}

void FileMediaPlayer::decodeLoop() {
    std::unique_lock lock(m_decodeMutex);
    while (!m_quit) {
        fillRing();
        m_wake.wait_for(lock, kDecodePeriod, [this] { return m_quit; });
    }
}

void FileMediaPlayer::fillRing() {
    for (;;) {
        if (m_pendingBegin < m_pendingEnd) {
            const std::size_t written =
                m_ring.write(&m_pending[m_pendingBegin * kOutputChannels],
                             (m_pendingEnd - m_pendingBegin) * kOutputChannels) /
                kOutputChannels;
            m_pendingBegin += written;
            m_pushed += static_cast<std::int64_t>(written);
            if (m_pendingBegin < m_pendingEnd)
                return; // the ring is full
        }
        if (m_drained)
            return;
        if (!refillPending()) {
            m_drained = true;
            m_endFrames.store(m_pushed, std::memory_order_release);
            return;
        }
    }
}

// Puts the next frames for the ring into m_pending; false when there are no more.
bool FileMediaPlayer::refillPending() {
    m_pendingBegin = m_pendingEnd = 0;
    if (!m_resampler) {
        m_pendingEnd = m_decoder->read(m_pending.data(), kChunkFrames);
        return m_pendingEnd > 0;
    }
    for (;;) {
        if (m_decodedBegin == m_decodedEnd && !m_inputEnded) {
            m_decodedBegin = 0;
            m_decodedEnd = m_decoder->read(m_decoded.data(), kChunkFrames);
            m_inputEnded = m_decodedEnd == 0;
        }
        const float* input = m_inputEnded ? nullptr : &m_decoded[m_decodedBegin * kOutputChannels];
        const StereoResampler::Step step = m_resampler->process(
            input, m_decodedEnd - m_decodedBegin, m_pending.data(), kChunkFrames);
        m_decodedBegin += step.used;
        m_pendingEnd = step.produced;
        if (step.produced > 0)
            return true;
        if (m_inputEnded)
            return false; // the converter is empty as well
    }
}

void FileMediaPlayer::restartAt(std::int64_t fileFrame) {
    std::lock_guard lock(m_decodeMutex);
    m_baseFrame = std::clamp<std::int64_t>(fileFrame, 0, m_decoder->lengthFrames());
    m_decoder->seek(m_baseFrame);
    if (m_resampler)
        m_resampler->clear();
    m_ring.reset();
    m_pendingBegin = m_pendingEnd = m_decodedBegin = m_decodedEnd = 0;
    m_inputEnded = m_drained = false;
    m_pushed = 0;
    m_played.store(0, std::memory_order_relaxed);
    m_tail.store(0, std::memory_order_relaxed);
    m_endFrames.store(-1, std::memory_order_relaxed);
    // Filled at once, so that playback starts with sound and not with a gap.
    fillRing();
}

void FileMediaPlayer::halt() {
    if (!m_decoder || !m_playing)
        return;
    m_stream->stop();
    m_playing = false;
    restartAt(heardFileFrames());
}

std::int64_t FileMediaPlayer::heardFileFrames() const {
    const std::int64_t heard =
        std::max<std::int64_t>(0, m_played.load(std::memory_order_acquire) +
                                      m_tail.load(std::memory_order_acquire) - m_latencyFrames);
    const std::int64_t end = m_endFrames.load(std::memory_order_acquire);
    if (end >= 0 && heard >= end)
        return m_decoder->lengthFrames();
    const std::int64_t frames = m_baseFrame + heard * m_decoder->sampleRate() / m_outputRate;
    return std::min(frames, std::max<std::int64_t>(0, m_decoder->lengthFrames() - 1));
}

void FileMediaPlayer::requireOpen(const char* operation) const {
    if (!m_decoder)
        throw songs::EMediaPlayerError(std::string("Cannot ") + operation + ": no file is open");
}

} // namespace cantorix::platform
