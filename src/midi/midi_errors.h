#pragma once
// The exceptions a MIDI file load raises. The editor shows what() in a message box as it stands,
// so each message is the complete text. All derive from EMidiLoadError so a caller can tell a
// refused file from a programming error.

#include <stdexcept>

namespace cantorix::midi {

class EMidiLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file header: "Invalid MIDI file ID", "Invalid MIDI header size".
class EMidiData : public EMidiLoadError {
public:
    using EMidiLoadError::EMidiLoadError;
};

// A track chunk: "Invalid track start ID", "Error in Running Status", "Error in Sysex".
class EMidiTrackStream : public EMidiLoadError {
public:
    using EMidiLoadError::EMidiLoadError;
};

// A track's record array is full: "Size exceeds capacity".
class EVirtualMemory : public EMidiLoadError {
public:
    using EMidiLoadError::EMidiLoadError;
};

// The file cannot be opened: "Cannot open file "<path>". <reason>".
class EFOpenError : public EMidiLoadError {
public:
    using EMidiLoadError::EMidiLoadError;
};

// The bytes end before a declared length: "Stream read error".
class EReadError : public EMidiLoadError {
public:
    using EMidiLoadError::EMidiLoadError;
};

// A RIFF-wrapped file: "Unable to open <path>", "Unable to descend into <chunk>".
class ERiffError : public EMidiLoadError {
public:
    using EMidiLoadError::EMidiLoadError;
};

} // namespace cantorix::midi
