#include "file_stream.h"

#include "base/regular_file.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cantorix::audio {

FileStream::FileStream(const std::filesystem::path& path, Mode mode) : m_path(path) {
    if (mode == Mode::Read) {
        openForReading();
        return;
    }
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_fd < 0)
        fail("create");
    struct stat info {};
    if (::fstat(m_fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        errno = EISDIR;
        fail("create");
    }
}

void FileStream::openForReading() {
    // Only a regular file is read: a named pipe or a device would hold the export for ever.
    std::string reason;
    m_fd = base::openRegularFile(m_path, reason).release();
    if (m_fd >= 0)
        return;
    struct stat info {};
    if (::stat(m_path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        reason = std::strerror(EISDIR);
    reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
    throw EStreamError("Cannot open file \"" + m_path.string() + "\". " + reason);
}

FileStream::~FileStream() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void FileStream::fail(const char* what) const {
    throw EStreamError("Cannot " + std::string(what) + " file \"" + m_path.string() + "\". " +
                       std::strerror(errno));
}

std::size_t FileStream::read(void* buffer, std::size_t count) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(m_fd, out + done, count - done, m_position);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail("read");
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
        m_position += n;
    }
    return done;
}

std::size_t FileStream::write(const void* buffer, std::size_t count) {
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(m_fd, in + done, count - done, m_position);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            fail("write");
        }
        done += static_cast<std::size_t>(n);
        m_position += n;
    }
    return done;
}

std::int64_t FileStream::seek(std::int64_t offset, SeekOrigin origin) {
    const std::int64_t base = origin == SeekOrigin::Begin     ? 0
                              : origin == SeekOrigin::Current ? m_position
                                                              : size();
    if (offset < -base)
        throw EStreamError("Stream seek error");
    m_position = base + offset;
    return m_position;
}

std::int64_t FileStream::size() const {
    struct stat info {};
    if (::fstat(m_fd, &info) != 0)
        fail("read");
    return info.st_size;
}

void FileStream::flush() {
    if (::fsync(m_fd) != 0 && errno != EINVAL)
        fail("write");
}

} // namespace cantorix::audio
