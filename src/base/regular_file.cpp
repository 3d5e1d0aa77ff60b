#include "base/regular_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cantorix::base {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other)
        reset(other.release());
    return *this;
}

int UniqueFd::release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void UniqueFd::reset(int fd) {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

std::string nonRegularKind(unsigned mode) {
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "not a file";
}

UniqueFd openRegularFile(const std::filesystem::path& path, std::string& reason) {
    // O_NONBLOCK: opening a named pipe for reading would otherwise wait for a writer.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        reason = std::strerror(errno);
        return {};
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        reason = std::strerror(errno);
        return {};
    }
    if (const std::string kind = nonRegularKind(info.st_mode); !kind.empty()) {
        reason = "it is " + kind + ", not a regular file";
        return {};
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        reason = std::strerror(errno);
        return {};
    }
    return fd;
}

UniqueFd openRegularFileOrThrow(const std::filesystem::path& path) {
    std::string reason;
    UniqueFd fd = openRegularFile(path, reason);
    if (!fd)
        throw RegularFileError("Cannot read '" + path.string() + "': " + reason);
    return fd;
}

std::FILE* openRegularStdioFile(const std::filesystem::path& path, std::string& reason) {
    UniqueFd fd = openRegularFile(path, reason);
    if (!fd)
        return nullptr;
    std::FILE* file = ::fdopen(fd.get(), "rb");
    if (!file) {
        reason = std::strerror(errno);
        return nullptr;
    }
    fd.release();
    return file;
}

std::string tooLargeMessage(const std::filesystem::path& path, std::uintmax_t size) {
    const double mib = static_cast<double>(size) / (1024.0 * 1024.0);
    char text[64];
    std::snprintf(text, sizeof text, "%.1f MiB", mib);
    return "'" + path.string() + "' is too large to be read (" + text + ")";
}

std::string readRegularFile(const std::filesystem::path& path, std::size_t maxBytes) {
    UniqueFd fd = openRegularFileOrThrow(path);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throw RegularFileError("Cannot read '" + path.string() + "': " + std::strerror(errno));
    const auto size = static_cast<std::uintmax_t>(info.st_size);
    if (size > maxBytes)
        throw RegularFileError(tooLargeMessage(path, size));
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t got = 0;
    // The file may grow while it is read: what lies past the size it had is not taken, so the
    // cap holds whatever a writer does meanwhile.
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw RegularFileError("Cannot read '" + path.string() + "': " + std::strerror(errno));
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

} // namespace cantorix::base
