#pragma once
// The microphone as a read-only wave stream over one looping ring of the capture device; while
// capturing, a notification thread has OnFilledBuffer raised whenever new bytes wait. Owns the
// ring and that thread, borrows the device and the invoker. Main thread only.

#include "capture_notify.h"
#include "capture_port.h"
#include "wave_stream.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace cantorix::pitch {

struct TSoundCaptureFormat {
    std::uint32_t bitsPerSample = 0;
    std::uint32_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    friend bool operator==(const TSoundCaptureFormat&, const TSoundCaptureFormat&) = default;
};

// The formats a device accepted, in the order they were asked for.
class TSoundCaptureFormats {
public:
    std::int32_t count() const { return static_cast<std::int32_t>(m_items.size()); }
    // EListError when index is not below count().
    const TSoundCaptureFormat& items(std::int32_t index) const;
    void add(const TSoundCaptureFormat& format) { m_items.push_back(format); }

private:
    std::vector<TSoundCaptureFormat> m_items;
};

class TSoundCaptureStream;

// A handler bound to its receiver, comparable like a method pointer so that assigning the same
// handler twice can be recognised: TFilledBufferEvent::of<&TSound::OnSoundCaptured>(sound).
class TFilledBufferEvent {
public:
    TFilledBufferEvent() = default;
    template <auto Method, class Receiver> static TFilledBufferEvent of(Receiver& receiver) {
        TFilledBufferEvent event;
        event.m_receiver = &receiver;
        event.m_thunk = &thunk<Method, Receiver>;
        return event;
    }
    explicit operator bool() const { return m_thunk != nullptr; }
    void operator()(TSoundCaptureStream& sender) const { m_thunk(m_receiver, sender); }
    friend bool operator==(const TFilledBufferEvent&, const TFilledBufferEvent&) = default;

private:
    template <auto Method, class Receiver>
    static void thunk(void* receiver, TSoundCaptureStream& s) {
        (static_cast<Receiver*>(receiver)->*Method)(s);
    }
    void* m_receiver = nullptr;
    void (*m_thunk)(void*, TSoundCaptureStream&) = nullptr;
};

class TSoundCaptureStream : public TFormattedWaveStream {
public:
    // Receives an exception thrown by the OnFilledBuffer handler, on the main thread, before
    // the capture stops for good.
    using ExceptionReporter = std::function<void(const std::exception&)>;

    static constexpr std::int32_t kDefaultBufferLength = 1000;
    static constexpr std::int32_t kMinRingSize = 8000;

    // Asks the (already open) device for each of the 56 formats and keeps those it accepts.
    TSoundCaptureStream(CaptureDevice& device, MainThreadInvoker& invoker,
                        ExceptionReporter reportException,
                        StopEventFactory stopEvents = defaultStopEventFactory());
    // Stops the capture first.
    ~TSoundCaptureStream() override;

    // Captured bytes not yet delivered, measured modulo the ring; 0 when not capturing.
    std::int32_t filledSize() override;
    // The newest out.size() samples up to the ring's read position, oldest first, decoded as
    // 16-bit mono (the format the analysis assumes), read where they lie in the ring without
    // consuming anything: filledSize() and read() go on as if nothing had been looked at.
    // Samples the ring does not hold (not captured yet, older than the ring) or cannot give (a
    // position it cannot tell, a failed lock, a stopped capture) are silence before the newest.
    // Returns how many of the samples came from the ring.
    std::int32_t peekNewest(std::span<std::int16_t> out);
    // Samples (16-bit mono) that have reached the read position since the start, counting those
    // the ring no longer holds; a count that only grows, so it can place a sample in time.
    std::int64_t capturedSamples();
    // Of those, samples that are silence standing in for sound lost before it reached the ring.
    std::int64_t lostSamples();
    // The out.size() samples just before sample endSample (as capturedSamples() counts them),
    // oldest first, without consuming anything. False, with out silent, when any of them has
    // not been captured yet or is no longer in the ring.
    bool peekEndingAt(std::int64_t endSample, std::span<std::int16_t> out);

    std::int32_t bufferLength() const { return m_bufferLength; }
    // Milliseconds of audio the ring holds from the next start; negative values store 0.
    void setBufferLength(std::int32_t ms);
    // An index into supportedFormats(), checked at start.
    std::int32_t captureFormat() const { return m_captureFormat; }
    void setCaptureFormat(std::int32_t index) { m_captureFormat = index; }
    const TFilledBufferEvent& onFilledBuffer() const { return m_onFilledBuffer; }
    // While capturing, replaces the notification thread; an empty handler stops notifying.
    void setOnFilledBuffer(TFilledBufferEvent handler);
    const TSoundCaptureFormats& supportedFormats() const { return m_formats; }

    bool capturing() const { return m_capturing; }
    std::int32_t ringSize() const { return m_ringSize; }
    // The notification thread's wait: min(bufferLength div 4, 50) ms.
    std::int32_t notifyWaitMs() const;

    // Restarts from an empty ring. Throws EListError for a format index the device did not
    // offer and ESoundCaptureStreamError when the ring cannot be made; either leaves the
    // capture stopped.
    void start();
    // Does nothing when stopped.
    void stop();

    // How read() waits 50 ms for bytes that have not arrived yet; tests record instead.
    void setSleep(std::function<void(std::int32_t ms)> sleep) { m_sleep = std::move(sleep); }

protected:
    // Waits until count bytes have been delivered (starting the capture if needed); if the
    // ring fails to lock, the rest comes back as silence. Always returns count.
    std::int32_t readWaveData(void* buffer, std::int32_t count) override;
    virtual void doFilledBuffer();

private:
    void discoverFormats();
    void startNotifyThread();
    // The notification thread's step, run on the main thread.
    void notifyStep();
    // Hands a handler's exception to the reporter and ends the capture.
    void report(const std::exception& e);
    std::int32_t copyFromRing(std::uint8_t* out, std::int32_t room, std::int32_t wanted, bool& ok);
    // The ring's read position, or false when it cannot tell; keeps count of the bytes the
    // ring holds since the start.
    bool readPosition(std::int32_t& capture, std::int32_t& read);
    // Decodes out.size() samples that end `back` bytes before the read position; false when the
    // ring does not safely hold all of them.
    std::int32_t safeBytes(std::int32_t capture, std::int32_t read) const;
    bool copySamples(std::int32_t capture, std::int32_t read, std::int32_t back,
                     std::span<std::int16_t> out);

    CaptureDevice& m_device;
    MainThreadInvoker& m_invoker;
    ExceptionReporter m_reportException;
    StopEventFactory m_stopEvents;
    std::function<void(std::int32_t)> m_sleep;

    TSoundCaptureFormats m_formats;
    TWaveFormat m_format;
    std::unique_ptr<CaptureRing> m_ring;
    std::int32_t m_bufferLength = kDefaultBufferLength;
    std::int32_t m_ringSize = 0;
    std::int32_t m_cursor = 0;
    // What the ring holds since the start, up to its size, as of the read position last seen.
    // Positions are looked at every 50 ms, far less than a ring's length, so the distance
    // between two of them is never a whole lap short.
    std::int32_t m_heldBytes = 0;
    std::int32_t m_lastRead = 0;
    std::int64_t m_capturedBytes = 0;
    std::int32_t m_captureFormat = 0;
    bool m_capturing = false;
    TFilledBufferEvent m_onFilledBuffer;
    std::unique_ptr<TSoundCaptureStreamNotify> m_notify;
};

} // namespace cantorix::pitch
