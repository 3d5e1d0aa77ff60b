#include "capture_wave_in.h"

#include <algorithm>
#include <chrono>

namespace cantorix::platform {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(10);

} // namespace

CaptureWaveIn::CaptureWaveIn(CaptureService& service) : m_hubs{&service.hub()} {}

CaptureWaveIn::~CaptureWaveIn() {
    shutDown();
}

audio::WaveInResult CaptureWaveIn::queryFormat(const base::TWaveFormat& format) {
    return PcmConverter::supports(format) ? audio::kWaveInOk : kBadFormat;
}

audio::WaveInResult CaptureWaveIn::open(const base::TWaveFormat& format,
                                        audio::WaveInListener& listener) {
    if (m_worker.joinable())
        return kAllocated;
    if (!PcmConverter::supports(format))
        return kBadFormat;
    try {
        m_converter = std::make_unique<PcmConverter>(format);
        m_mix = std::make_unique<CaptureMix>(m_hubs);
    } catch (const std::exception&) {
        m_converter.reset();
        return kAllocated;
    }
    m_listener = &listener;
    m_quit = false;
    m_recording = false;
    m_worker = std::thread([this] { run(); });
    listener.waveInOpened();
    return audio::kWaveInOk;
}

audio::WaveInResult CaptureWaveIn::addBuffer(std::unique_ptr<audio::WaveInBuffer> buffer) {
    if (!m_worker.joinable())
        return kInvalidHandle;
    buffer->recorded = 0;
    std::lock_guard lock(m_mutex);
    m_buffers.push_back(std::move(buffer));
    return audio::kWaveInOk;
}

audio::WaveInResult CaptureWaveIn::start() {
    if (!m_worker.joinable())
        return kInvalidHandle;
    std::lock_guard lock(m_mutex);
    m_recording = true;
    return audio::kWaveInOk;
}

audio::WaveInResult CaptureWaveIn::stop() {
    if (!m_worker.joinable())
        return kInvalidHandle;
    std::lock_guard lock(m_mutex);
    m_recording = false;
    if (!m_buffers.empty() && m_buffers.front()->recorded > 0)
        returnFront();
    return audio::kWaveInOk;
}

audio::WaveInResult CaptureWaveIn::reset() {
    if (!m_worker.joinable())
        return kInvalidHandle;
    std::lock_guard lock(m_mutex);
    m_recording = false;
    while (!m_buffers.empty())
        returnFront();
    return audio::kWaveInOk;
}

audio::WaveInResult CaptureWaveIn::close() {
    if (!m_worker.joinable())
        return kInvalidHandle;
    {
        std::lock_guard lock(m_mutex);
        if (!m_buffers.empty())
            return kStillRecording;
    }
    auto* listener = m_listener;
    shutDown();
    listener->waveInClosed();
    return audio::kWaveInOk;
}

std::string CaptureWaveIn::errorText(audio::WaveInResult result) const {
    switch (result) {
    case audio::kWaveInOk:
        return "The operation completed successfully";
    case audio::kWaveInUnspecifiedError:
        return "An unspecified error occurred";
    case kAllocated:
        return "The recording device is already in use";
    case kInvalidHandle:
        return "The recording device is not open";
    case kBadFormat:
        return "The recording device does not support this audio format";
    case kStillRecording:
        return "The recording device still holds buffers";
    default:
        return "Unknown recording device error " + std::to_string(result);
    }
}

void CaptureWaveIn::shutDown() {
    if (m_worker.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        m_worker.join();
    }
    m_buffers.clear();
    m_mix.reset();
    m_converter.reset();
    m_listener = nullptr;
}

void CaptureWaveIn::run() {
    std::vector<std::int16_t> frames;
    std::vector<std::uint8_t> bytes;
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_for(lock, kPollInterval, [this] { return m_quit; })) {
        frames.clear();
        m_mix->take(frames);
        bytes.clear();
        m_converter->convert(frames.data(), frames.size(), bytes);
        // Like a device, it drops what arrives while stopped or with no buffer queued.
        if (m_recording)
            fill(bytes);
    }
}

void CaptureWaveIn::fill(const std::vector<std::uint8_t>& bytes) {
    std::size_t used = 0;
    while (used < bytes.size() && !m_buffers.empty()) {
        audio::WaveInBuffer& buffer = *m_buffers.front();
        const std::size_t count =
            std::min(bytes.size() - used, buffer.data.size() - buffer.recorded);
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(used), count,
                    buffer.data.begin() + static_cast<std::ptrdiff_t>(buffer.recorded));
        buffer.recorded += count;
        used += count;
        if (buffer.recorded == buffer.data.size())
            returnFront();
    }
}

void CaptureWaveIn::returnFront() {
    auto buffer = std::move(m_buffers.front());
    m_buffers.pop_front();
    m_listener->waveInData(std::move(buffer));
}

} // namespace cantorix::platform
