#pragma once
// Reading and saving the files the side windows work on, with the messages the windows show.
// A save replaces the file in one step (base/atomic_file.h), so a failed save leaves the old
// file as it was. Pure C++ over the file system; main thread.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace cantorix::editor {

// A file that cannot be written: "Cannot create file "<path>". <reason>".
class EFCreateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that cannot be read: "Cannot open file "<path>". <reason>".
class EFOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The whole file. Throws EFOpenError.
std::string readWholeFile(const std::filesystem::path& file);

// Replaces the file's contents with `bytes` through a temporary file and a rename; an existing
// file keeps its permissions and a link stays a link. Throws EFCreateError and then leaves the
// target untouched.
void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes);

} // namespace cantorix::editor
