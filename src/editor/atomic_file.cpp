#include "editor/atomic_file.h"

#include "base/atomic_file.h"
#include "base/regular_file.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace cantorix::editor {

namespace {

std::string quoted(const std::filesystem::path& file) {
    return "\"" + file.string() + "\"";
}

[[noreturn]] void failCreate(const std::filesystem::path& file, int error) {
    throw EFCreateError("Cannot create file " + quoted(file) + ". " + std::strerror(error));
}

} // namespace

std::string readWholeFile(const std::filesystem::path& file) {
    // What the editor reads whole are song texts, held to the same limit as everywhere else.
    constexpr std::size_t kMaxSongTextBytes = 4 * 1024 * 1024;
    std::string bytes, reason;
    if (base::readRegularFileInto(file, kMaxSongTextBytes, bytes, reason) !=
        base::ReadOutcome::Read) {
        reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
        throw EFOpenError("Cannot open file " + quoted(file) + ". " + reason);
    }
    return bytes;
}

void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
    if (file.empty() || !file.has_filename())
        failCreate(file, ENOENT);
    try {
        base::replaceFileAtomically(file, bytes);
    } catch (const std::system_error& e) {
        failCreate(file, e.code().value());
    }
}

} // namespace cantorix::editor
