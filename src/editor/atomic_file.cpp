#include "editor/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cantorix::editor {

namespace {

std::string quoted(const std::filesystem::path& file) { return "\"" + file.string() + "\""; }

[[noreturn]] void failCreate(const std::filesystem::path& file, int error) {
    throw EFCreateError("Cannot create file " + quoted(file) + ". " + std::strerror(error));
}

// Writes all bytes to fd, then flushes them to the disk; the errno of a failure, else 0.
int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return ::fsync(fd) == 0 ? 0 : errno;
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
    std::string temporary = file.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        failCreate(file, errno);
    struct stat existing {};
    const mode_t mode = ::stat(file.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
    int error = ::fchmod(fd, mode) == 0 ? 0 : errno;
    if (error == 0)
        error = writeAll(fd, bytes);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.c_str(), file.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        failCreate(file, error);
    }
}

} // namespace cantorix::editor
