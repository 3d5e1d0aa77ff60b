#pragma once
// Chooses the program's capture input at start-up: the WAV file of `--mic`, else the default
// microphone; when the choice fails, silence, so that a machine without a microphone still
// starts. Main thread.

#include "capture_service.h"
#include "session/session_input_control_port.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace cantorix::platform {

struct CaptureOpening {
    std::unique_ptr<CaptureService> service; // never null
    // What to show the player once, empty when the chosen input works.
    std::string error;
    // The underlying library's reason for a failure, for the log; may be empty.
    std::string detail;
    // The WAV file's control, which the sessions drive; null for a microphone or silence.
    session::SessionInputControl* sessionInput = nullptr;
};

CaptureOpening openCapture(const std::optional<std::filesystem::path>& micWav);

// Silence at real-time pace: for machines and tests without any input.
std::unique_ptr<CaptureService> openSilentCapture();

} // namespace cantorix::platform
