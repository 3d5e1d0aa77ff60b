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

namespace {

// True, with `reason` set, when `mode` is not a regular file's.
bool refuseKind(unsigned mode, std::string& reason) {
    const std::string kind = nonRegularKind(mode);
    if (kind.empty())
        return false;
    reason = "it is " + kind + ", not a regular file";
    return true;
}

// "too large to be read (5.0 MiB, 5242880 bytes; the limit is 4.0 MiB)"
std::string tooLarge(std::uintmax_t size, std::uintmax_t maxBytes) {
    constexpr double kMiB = 1024.0 * 1024.0;
    // The exact byte count as well: a file just over the limit rounds to the limit in MiB.
    char text[128];
    std::snprintf(text, sizeof text, "%.1f MiB, %ju bytes; the limit is %.1f MiB",
                  static_cast<double>(size) / kMiB, size, static_cast<double>(maxBytes) / kMiB);
    return std::string("too large to be read (") + text + ")";
}

// Opens `path` for reading when it is a regular file, with `info` what fstat says of what was
// opened. The descriptor is left non-blocking, which changes nothing for a regular file.
UniqueFd openExamined(const std::filesystem::path& path, FileKind known, struct stat& info,
                      std::string& reason) {
    // Looked at before opening too: opening a device can itself act (a tape rewinds, a modem
    // line is raised), and opening a socket fails with a reason that names none. A folder
    // listing's entry type or an lstat that said "regular file" has looked already.
    if (known != FileKind::Regular && ::stat(path.c_str(), &info) == 0 &&
        refuseKind(info.st_mode, reason))
        return {};
    // O_NONBLOCK: opening a named pipe for reading would otherwise wait for a writer. The file
    // may have been replaced since it was looked at, so what was opened is examined again.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        reason = std::strerror(errno);
        return {};
    }
    if (::fstat(fd.get(), &info) != 0) {
        reason = std::strerror(errno);
        return {};
    }
    if (refuseKind(info.st_mode, reason))
        return {};
    return fd;
}

} // namespace

UniqueFd openRegularFile(const std::filesystem::path& path, std::string& reason) {
    return openRegularFile(path, FileKind::Unknown, reason);
}

UniqueFd openRegularFile(const std::filesystem::path& path, FileKind known, std::string& reason) {
    struct stat info {};
    UniqueFd fd = openExamined(path, known, info, reason);
    if (!fd)
        return {};
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

ReadOutcome readRegularFileInto(const std::filesystem::path& path, std::size_t maxBytes,
                                std::string& bytes, std::string& reason) {
    return readRegularFileInto(path, maxBytes, bytes, reason, FileKind::Unknown, nullptr);
}

ReadOutcome readRegularFileInto(const std::filesystem::path& path, std::size_t maxBytes,
                                std::string& bytes, std::string& reason, FileKind known,
                                OpenedFile* opened) {
    bytes.clear();
    struct stat info {};
    // Read here in full, so the descriptor may stay non-blocking: a regular file's reads never
    // wait anyway.
    UniqueFd fd = openExamined(path, known, info, reason);
    if (!fd)
        return ReadOutcome::NotOpened;
    if (opened)
        *opened = {static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
                       info.st_mtim.tv_nsec,
                   static_cast<std::int64_t>(info.st_size)};
    const auto size = static_cast<std::uintmax_t>(info.st_size);
    if (size > maxBytes) {
        reason = "it is " + tooLarge(size, maxBytes);
        return ReadOutcome::TooLarge;
    }
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t got = 0;
    // The file may grow while it is read: what lies past the size it had is not taken, so the
    // cap holds whatever a writer does meanwhile.
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            reason = std::strerror(errno);
            bytes.clear();
            return ReadOutcome::ReadFailed;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return ReadOutcome::Read;
}

std::string readRegularFile(const std::filesystem::path& path, std::size_t maxBytes) {
    std::string bytes, reason;
    if (readRegularFileInto(path, maxBytes, bytes, reason) == ReadOutcome::Read)
        return bytes;
    throw RegularFileError("Cannot read '" + path.string() + "': " + reason);
}

} // namespace cantorix::base
