#include "wave_audio_in.h"

#include "wave_audio_errors.h"

#include <algorithm>

namespace cantorix::audio {

void TWaveAudioIO::setBufferLength(std::uint16_t milliseconds) {
    m_bufferLength = std::max(milliseconds, kMinBufferLength);
    buffersChanged();
}

void TWaveAudioIO::setBufferCount(std::uint32_t count) {
    m_bufferCount = count;
    buffersChanged();
}

TWaveAudioIn::TWaveAudioIn(WaveInDevice& device, base::MainThreadInvoker& invoker,
                           ExceptionHandler onException)
    : m_device(device), m_onException(std::move(onException)),
      m_notifications(*this, invoker, m_onException) {}

TWaveAudioIn::~TWaveAudioIn() {
    closeQuietly();
}

void TWaveAudioIn::setPcmFormat(TPCMFormat format) {
    if (m_deviceOpen)
        throw EWaveAudioInvalidOperation("Audio format cannot be changed while device is open");
    m_pcmFormat = format;
}

base::TWaveFormat TWaveAudioIn::getFormat() {
    const auto record = pcmFormatRecord(m_pcmFormat);
    if (!record)
        throw EWaveAudioInvalidOperation("No PCM format is selected for recording");
    return *record;
}

void TWaveAudioIn::open() {
    if (m_deviceOpen && !m_closing)
        throw EWaveAudioInvalidOperation("Device is aleardy open");
    const base::TWaveFormat format = getFormat();
    check(m_device.queryFormat(format));
    m_format = format;
    check(m_device.open(format, m_notifications));
    m_deviceOpen = true;
}

void TWaveAudioIn::close() {
    if (m_closing)
        return;
    if (!m_deviceOpen)
        throw EWaveAudioInvalidOperation("Device is aleardy close");
    m_closing = true;
    struct ClearClosing {
        bool& flag;
        ~ClearClosing() { flag = false; }
    } clearClosing{m_closing};
    check(m_device.stop());
    check(m_outstanding > 0 ? m_device.reset() : m_device.close());
    if (!m_notifications.pumpUntil([this] { return !m_deviceOpen; }, kCloseTimeout))
        throw EWaveAudioSysError("The recording device did not close");
}

void TWaveAudioIn::closeQuietly() {
    try {
        if (m_deviceOpen)
            close();
    } catch (const std::exception& e) {
        if (m_onException)
            m_onException(e);
    }
}

void TWaveAudioIn::check(WaveInResult result) {
    if (result != kWaveInOk)
        raiseError(result);
}

void TWaveAudioIn::raiseError(WaveInResult result) {
    m_lastError = result;
    throw EWaveAudioSysError(m_device.errorText(result));
}

void TWaveAudioIn::queueBuffers() {
    const auto size = static_cast<std::size_t>(bufferBytes(m_format, bufferLength()));
    const std::uint8_t silence = m_format.bitsPerSample == 8 ? 127 : 0;
    while (m_outstanding < bufferCount()) {
        auto buffer = std::make_unique<WaveInBuffer>();
        buffer->data.assign(size, silence);
        ++m_outstanding;
        if (const WaveInResult result = m_device.addBuffer(std::move(buffer)); result != 0) {
            --m_outstanding;
            raiseError(result);
        }
    }
}

void TWaveAudioIn::buffersChanged() {
    if (m_deviceOpen && !m_closing)
        queueBuffers();
}

void TWaveAudioIn::dispatchOpened() {
    // A close that came before this notification has already sent the device away.
    if (!m_deviceOpen || m_closing)
        return;
    queueBuffers();
    check(m_device.start());
}

void TWaveAudioIn::dispatchData(std::unique_ptr<WaveInBuffer> buffer) {
    --m_outstanding;
    std::exception_ptr failure;
    if (buffer->recorded > 0) {
        try {
            handleRecordedData(*buffer);
        } catch (...) {
            // A buffer whose bytes were lost is not queued again: the recording winds down
            // instead of failing every buffer.
            failure = std::current_exception();
        }
    }
    if (!failure && !m_closing && m_outstanding < bufferCount()) {
        buffer->recorded = 0;
        ++m_outstanding;
        if (const WaveInResult result = m_device.addBuffer(std::move(buffer)); result != 0) {
            --m_outstanding;
            raiseError(result);
        }
    }
    if (m_closing && m_outstanding == 0)
        check(m_device.close());
    if (failure)
        std::rethrow_exception(failure);
}

void TWaveAudioIn::dispatchClosed() {
    m_deviceOpen = false;
    inputClosed();
}

} // namespace cantorix::audio
