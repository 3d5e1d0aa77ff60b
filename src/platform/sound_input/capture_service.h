#pragma once
// The program's one capture: owns the hub and the input feeding it (microphone, WAV file or
// silence); serves the pitch stream through createRing() and others (the recorder) through
// subscribe(). Main thread; its rings and subscriptions must be destroyed before it.

#include "capture_hub.h"
#include "pitch/capture_port.h"

#include <functional>
#include <memory>
#include <string>

namespace cantorix::platform {

// An input feeding a capture hub from the moment it is made until it is destroyed.
class CaptureSource {
public:
    virtual ~CaptureSource() = default;
    // A short name for logs: "microphone", "WAV file", "silence".
    virtual std::string describe() const = 0;
};

class CaptureService : public pitch::CaptureDevice {
public:
    using SourceFactory = std::function<std::unique_ptr<CaptureSource>(CaptureHub&)>;

    // makeSource builds the input over this service's hub; its exceptions pass on. Without
    // one, whoever holds hub() delivers the frames (tests do).
    explicit CaptureService(const SourceFactory& makeSource = {});
    // Stops the input before the hub goes.
    ~CaptureService() override;

    // The 8- and 16-bit formats, mono or stereo, at any rate from 1000 to 384000 Hz: the hub's
    // frames are converted for each ring. Null for every other format.
    std::unique_ptr<pitch::CaptureRing> createRing(const base::TWaveFormat& format,
                                                   std::int32_t bufferBytes) override;

    // 44100 Hz mono 16-bit frames from now on; convert them with a PcmConverter as needed.
    std::unique_ptr<CaptureHub::Subscription> subscribe(std::size_t capacityFrames) {
        return m_hub.subscribe(capacityFrames);
    }

    CaptureHub& hub() { return m_hub; }
    std::string describe() const { return m_source ? m_source->describe() : "manual"; }

private:
    CaptureHub m_hub;
    std::unique_ptr<CaptureSource> m_source; // declared after the hub: destroyed before it
};

} // namespace cantorix::platform
