#pragma once
// The failures of the audio stream and conversion layer, and the texts of the codec manager's
// result codes. Thrown on the calling (main) thread; every class derives from EACMError so a
// caller can show any of them the same way.

#include <stdexcept>
#include <string>
#include <string_view>

namespace cantorix::audio {

class EACMError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A conversion cannot be built or run.
class EACMConversionError : public EACMError {
public:
    using EACMError::EACMError;
};

// A codec (driver) operation failed.
class EACMCodecError : public EACMError {
public:
    using EACMError::EACMError;
};

// A RIFF or MPEG file cannot be read: "Invalid file format.".
class EACMAudioReadError : public EACMError {
public:
    using EACMError::EACMError;
};

inline constexpr const char* kInvalidFileFormat = "Invalid file format.";
inline constexpr const char* kWhileActive = "Cannot perform this action while active.";
inline constexpr const char* kWhileNotActive = "Cannot perform this action while not active.";
inline constexpr const char* kConversionNotPossible = "Conversion not possible.";
inline constexpr const char* kAudioTooLarge = "Audio is too large to fit into conversion buffer";

// Result codes a codec port answers with; 0 is success. The values are the codec manager's.
namespace acm {
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
} // namespace acm

// The message of a non-zero result code: context and a line break (when context is not
// empty) followed by the code's text.
std::string acmErrorMessage(int code, std::string_view context = {});

// Throws E with acmErrorMessage(code, context) unless code is 0.
template <class E = EACMConversionError> void acmCheck(int code, std::string_view context = {}) {
    if (code != acm::kOk)
        throw E(acmErrorMessage(code, context));
}

} // namespace cantorix::audio
