#include "editor/atomic_file.h"

#include "base/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace cantorix::editor {

namespace {

std::string quoted(const std::filesystem::path& file) { return "\"" + file.string() + "\""; }

[[noreturn]] void failCreate(const std::filesystem::path& file, int error) {
    throw EFCreateError("Cannot create file " + quoted(file) + ". " + std::strerror(error));
}

} // namespace

std::string readWholeFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw EFOpenError("Cannot open file " + quoted(file) + ". " + std::strerror(errno));
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            throw EFOpenError("Cannot open file " + quoted(file) + ". " + std::strerror(error));
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
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
