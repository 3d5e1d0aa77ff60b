#include "acm_errors.h"

namespace cantorix::audio {

namespace {

const char* codeText(int code) {
    switch (code) {
    case acm::kBadDeviceId:
        return "Bad device ID.";
    case acm::kNotEnabled:
        return "Driver not enabled.";
    case acm::kAllocated:
        return "Device already allocated.";
    case acm::kInvalidHandle:
        return "The specified handle is invalid.";
    case acm::kNoDriver:
        return "A suitable driver is not available to provide valid format selections.";
    case acm::kNoMemory:
        return "The system is unable to allocate resources.";
    case acm::kNotSupported:
        return "Function not supported.";
    case acm::kInvalidFlag:
        return "At least one flag is invalid.";
    case acm::kInvalidParameter:
        return "At least one parameter is invalid.";
    case acm::kHandleBusy:
        return "Device handle in use.";
    case acm::kBadFormat:
        return "The selected audio format is not supported on this machine.";
    case acm::kStillPlaying:
        return "Audio device is still playing.";
    case acm::kUnprepared:
    case acm::kHeaderUnprepared:
        return "Cannot perform this action on a header that has not been prepared.";
    case acm::kSync:
        return "Device is synchronous.";
    case acm::kNotPossible:
        return "The requested operation cannot be performed.";
    case acm::kBusy:
        return "The conversion stream is already in use.";
    default:
        return nullptr;
    }
}

} // namespace

std::string acmErrorMessage(int code, std::string_view context) {
    std::string message;
    if (!context.empty()) {
        message.append(context);
        message.push_back('\n');
    }
    if (const char* text = codeText(code))
        message.append(text);
    else
        message.append("An unexpected error has occurred (code #" + std::to_string(code) + ").");
    return message;
}

} // namespace cantorix::audio
