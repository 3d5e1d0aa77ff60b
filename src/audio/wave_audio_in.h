#pragma once
// A wave-in component: opens the device in its PCM format, keeps BufferCount buffers of
// BufferLength ms queued, hands each filled buffer to handleRecordedData() and closes in order.
// Owns its notification queue; main thread. Subclasses decide what the recorded bytes become.

#include "pcm_format.h"
#include "wave_in_device_port.h"
#include "wave_in_notification_queue.h"

#include <chrono>
#include <cstdint>

namespace cantorix::audio {

// Settings shared by wave devices: which device, how long and how many buffers.
class TWaveAudioIO {
public:
    static constexpr std::uint16_t kMinBufferLength = 10;

    virtual ~TWaveAudioIO() = default;

    std::int32_t deviceId() const { return m_deviceId; }
    std::uint16_t bufferLength() const { return m_bufferLength; }
    std::uint32_t bufferCount() const { return m_bufferCount; }
    WaveInResult lastError() const { return m_lastError; }

    // Below kMinBufferLength is stored as kMinBufferLength. While open, tops up the queue.
    void setBufferLength(std::uint16_t milliseconds);
    void setBufferCount(std::uint32_t count);

protected:
    // Called after either setting changes.
    virtual void buffersChanged() = 0;

    WaveInResult m_lastError = kWaveInOk;

private:
    std::int32_t m_deviceId = -1; // the system's default device
    std::uint16_t m_bufferLength = 1000;
    std::uint32_t m_bufferCount = 2;
};

class TWaveAudioIn : public TWaveAudioIO, private WaveInDispatcher {
public:
    // How long close() waits for the device to return its buffers and close.
    static constexpr std::chrono::milliseconds kCloseTimeout{5000};

    // Exceptions raised while handling a notification go to onException.
    TWaveAudioIn(WaveInDevice& device, base::MainThreadInvoker& invoker,
                 ExceptionHandler onException);
    ~TWaveAudioIn() override;

    TPCMFormat pcmFormat() const { return m_pcmFormat; }
    // Raises EWaveAudioInvalidOperation while the device is open.
    void setPcmFormat(TPCMFormat format);

    // Whether the device is open.
    bool deviceOpen() const { return m_deviceOpen; }
    bool closing() const { return m_closing; }
    // Opens the device; recording starts when it reports opened.
    void open();
    // Stops, lets the device return every buffer and waits until it has closed.
    void close();

protected:
    // The format to open with; raises when the PCM format names none.
    virtual base::TWaveFormat getFormat();
    virtual void inputClosed() {}
    virtual void handleRecordedData(const WaveInBuffer& buffer) = 0;
    // Records a failed device result and raises it.
    [[noreturn]] virtual void raiseError(WaveInResult result);
    void check(WaveInResult result);
    // Closes without raising, for destructors; failures go to the exception handler.
    void closeQuietly();

private:
    void dispatchOpened() override;
    void dispatchData(std::unique_ptr<WaveInBuffer> buffer) override;
    void dispatchClosed() override;
    void buffersChanged() override;
    void queueBuffers();

    WaveInDevice& m_device;
    ExceptionHandler m_onException;
    WaveInNotificationQueue m_notifications;
    TPCMFormat m_pcmFormat = TPCMFormat::Mono16bit8000Hz;
    base::TWaveFormat m_format;
    bool m_deviceOpen = false;
    bool m_closing = false;
    std::uint32_t m_outstanding = 0; // buffers allocated and not yet freed
};

} // namespace cantorix::audio
