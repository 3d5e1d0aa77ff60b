#include "codec_errors.h"

namespace cantorix::audio {

namespace {

const char* codeText(int code) {
    switch (code) {
    case codec_result::kBadDeviceId:
        return "Bad device ID.";
    case codec_result::kNotEnabled:
        return "Driver not enabled.";
    case codec_result::kAllocated:
        return "Device already allocated.";
    case codec_result::kInvalidHandle:
        return "The specified handle is invalid.";
    case codec_result::kNoDriver:
        return "A suitable driver is not available to provide valid format selections.";
    case codec_result::kNoMemory:
        return "The system is unable to allocate resources.";
    case codec_result::kNotSupported:
        return "Function not supported.";
    case codec_result::kInvalidFlag:
        return "At least one flag is invalid.";
    case codec_result::kInvalidParameter:
        return "At least one parameter is invalid.";
    case codec_result::kHandleBusy:
        return "Device handle in use.";
    case codec_result::kBadFormat:
        return "The selected audio format is not supported on this machine.";
    case codec_result::kStillPlaying:
        return "Audio device is still playing.";
    case codec_result::kUnprepared:
    case codec_result::kHeaderUnprepared:
        return "Cannot perform this action on a header that has not been prepared.";
    case codec_result::kSync:
        return "Device is synchronous.";
    case codec_result::kNotPossible:
        return "The requested operation cannot be performed.";
    case codec_result::kBusy:
        return "The conversion stream is already in use.";
    default:
        return nullptr;
    }
}

} // namespace

std::string codecErrorMessage(int code, std::string_view context) {
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
