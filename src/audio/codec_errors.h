#pragma once
// The failures of the audio stream and conversion layer, and the texts of the codec manager's
// result codes. Thrown on the calling (main) thread; every class derives from EAudioCodecError so a
// caller can show any of them the same way.

#include <stdexcept>
#include <string>
#include <string_view>

namespace cantorix::audio {

class EAudioCodecError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A conversion cannot be built or run.
class EConversionError : public EAudioCodecError {
public:
    using EAudioCodecError::EAudioCodecError;
};

// A codec (driver) operation failed.
class ECodecDriverError : public EAudioCodecError {
public:
    using EAudioCodecError::EAudioCodecError;
};

// A RIFF or MPEG file cannot be read: "Invalid file format.".
class EAudioReadError : public EAudioCodecError {
public:
    using EAudioCodecError::EAudioCodecError;
};

inline constexpr const char* kInvalidFileFormat = "Invalid file format.";
inline constexpr const char* kWhileActive = "Cannot perform this action while active.";
inline constexpr const char* kWhileNotActive = "Cannot perform this action while not active.";
inline constexpr const char* kConversionNotPossible = "Conversion not possible.";
inline constexpr const char* kAudioTooLarge = "Audio is too large to fit into conversion buffer";

// Result codes a codec port answers with; 0 is success. The values are the codec manager's.
namespace codec_result {
inline constexpr int kOk = 0;
inline constexpr int kBadDeviceId = 2;
inline constexpr int kNotEnabled = 3;
inline constexpr int kAllocated = 4;
inline constexpr int kInvalidHandle = 5;
inline constexpr int kNoDriver = 6;
inline constexpr int kNoMemory = 7;
inline constexpr int kNotSupported = 8;
inline constexpr int kInvalidFlag = 10;
inline constexpr int kInvalidParameter = 11;
inline constexpr int kHandleBusy = 12;
inline constexpr int kBadFormat = 32;
inline constexpr int kStillPlaying = 33;
inline constexpr int kUnprepared = 34;
inline constexpr int kSync = 35;
inline constexpr int kNotPossible = 512;
inline constexpr int kBusy = 513;
inline constexpr int kHeaderUnprepared = 514;
} // namespace codec_result

// The message of a non-zero result code: context and a line break (when context is not
// empty) followed by the code's text.
std::string codecErrorMessage(int code, std::string_view context = {});

// Throws E with codecErrorMessage(code, context) unless code is 0.
template <class E = EConversionError>
void checkCodecResult(int code, std::string_view context = {}) {
    if (code != codec_result::kOk)
        throw E(codecErrorMessage(code, context));
}

} // namespace cantorix::audio
