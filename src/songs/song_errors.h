#pragma once
// The exceptions a song load raises. Their messages are shown to the player as they stand, so
// what() is the complete text.

#include <stdexcept>

namespace cantorix::songs {

// A number in the song text that cannot be converted; the message quotes the offending text.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A song text whose shape the reader refuses (too few lines, too many for the record table).
class ESongFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A standard-format song text the reader refuses (no usable BPM, no note at all).
class EStandardSongError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace cantorix::songs
