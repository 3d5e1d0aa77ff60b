#include "capture_factory.h"

#include "pitch/capture_errors.h"
#include "portaudio_input.h"
#include "silent_input.h"
#include "wav_file_input.h"
#include "wav_reader.h"

namespace cantorix::platform {

std::unique_ptr<CaptureService> openSilentCapture() {
    return std::make_unique<CaptureService>(
        [](CaptureHub& hub) { return std::make_unique<SilentInput>(hub); });
}

CaptureOpening openCapture(const std::optional<std::filesystem::path>& micWav) {
    CaptureOpening opening;
    try {
        if (micWav) {
            opening.service = std::make_unique<CaptureService>([&](CaptureHub& hub) {
                auto input = std::make_unique<WavFileInput>(hub, *micWav);
                opening.sessionInput = input.get();
                return input;
            });
        } else {
            opening.service = std::make_unique<CaptureService>([&](CaptureHub& hub) {
                return std::make_unique<PortAudioInput>(hub, &opening.detail);
            });
        }
        return opening;
    } catch (const pitch::ESoundSystemError& e) {
        opening.error = e.what();
    } catch (const pitch::ESoundCaptureStreamError& e) {
        opening.error = e.what();
    } catch (const EWavError& e) {
        opening.error = e.what();
    }
    opening.service = openSilentCapture();
    opening.sessionInput = nullptr;
    return opening;
}

} // namespace cantorix::platform
