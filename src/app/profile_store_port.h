#pragma once
// Port: ProfileStore. Adapter: platform/storage/ini_profile_file.h.
// The profile (INI) file the options and the hall of fame live in: named sections of named
// string values, looked up ignoring ASCII case, with defaults for what is missing, a section
// that can be erased whole, and new keys kept in the order they were written. Changes stay in
// memory until flush() makes them durable in one piece. Main thread only.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::app {

// The file could not be written (or read before writing); the message names the file and says
// why. The previous file is left as it was.
class EProfileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ProfileStore {
public:
    virtual ~ProfileStore() = default;

    // The value with leading and trailing blanks and control characters removed, or
    // defaultValue when the section or the key is missing.
    virtual std::string readString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue) const = 0;
    // The key names of a section in file order; empty when the section is missing.
    virtual std::vector<std::string> keyNames(std::string_view section) const = 0;
    // Replaces the key's value in place, or appends the key to its section (the section to the
    // end of the file) when it is new.
    virtual void writeString(std::string_view section, std::string_view key,
                             std::string_view value) = 0;
    // Removes the section with all its keys.
    virtual void eraseSection(std::string_view section) = 0;
    // Writes everything to the file so that it holds either the old or the new text, never a
    // mix. Throws EProfileError when it cannot.
    virtual void flush() = 0;
};

} // namespace cantorix::app
