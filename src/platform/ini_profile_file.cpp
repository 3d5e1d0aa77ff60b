#include "ini_profile_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cantorix::platform {

namespace {

// A profile file is a few kilobytes; anything far larger is not one we wrote.
constexpr off_t kMaxFileSize = 16 * 1024 * 1024;
constexpr mode_t kNewFileMode = 0644;

std::string errnoText(int error) { return std::strerror(error); }

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now so that a failing close is seen; returns errno or 0.
    int close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

IniProfileFile::IniProfileFile(std::filesystem::path file) : m_path(std::move(file)) { load(); }

void IniProfileFile::load() {
    FileDescriptor fd(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno != ENOENT)
            m_readError = errnoText(errno);
        return;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        m_readError = errnoText(errno);
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        m_readError = "not a regular file";
        return;
    }
    if (info.st_size > kMaxFileSize) {
        m_readError = "the file is too large";
        return;
    }
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            m_readError = errnoText(errno);
            return;
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (static_cast<off_t>(bytes.size()) > kMaxFileSize) {
            m_readError = "the file is too large";
            return;
        }
    }
    m_document = IniDocument::parse(bytes);
}

std::string IniProfileFile::readString(std::string_view section, std::string_view key,
                                       std::string_view defaultValue) const {
    if (const std::string* value = m_document.find(section, key))
        return *value;
    return std::string(trimBlanks(defaultValue));
}

std::vector<std::string> IniProfileFile::keyNames(std::string_view section) const {
    return m_document.keyNames(section);
}

void IniProfileFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    m_document.set(section, key, value);
}

void IniProfileFile::eraseSection(std::string_view section) { m_document.eraseSection(section); }

void IniProfileFile::flush() {
    const std::string failed = "Could not save \"" + m_path.string() + "\": ";
    if (!m_readError.empty())
        throw app::EProfileError(failed + "the file could not be read (" + m_readError +
                                 "), so it is left as it is.");
    replaceFile(m_document.text());
}

void IniProfileFile::replaceFile(const std::string& text) {
    namespace fs = std::filesystem;
    const std::string failed = "Could not save \"" + m_path.string() + "\": ";
    // A link to the file stays a link: the file it points to is the one replaced.
    std::error_code ec;
    fs::path target = fs::is_symlink(m_path, ec) ? fs::weakly_canonical(m_path, ec) : m_path;
    if (ec || target.empty())
        target = m_path;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    fs::create_directories(folder, ec);
    if (ec)
        throw app::EProfileError(failed + ec.message() + ". The previous file is kept.");

    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (fd.get() < 0)
        throw app::EProfileError(failed + errnoText(errno) + ". The previous file is kept.");
    struct stat old {};
    const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : kNewFileMode;
    int error = 0;
    if (!writeAll(fd.get(), text))
        error = errno ? errno : EIO;
    else if (::fchmod(fd.get(), mode) != 0 || ::fsync(fd.get()) != 0)
        error = errno;
    const int closeError = fd.close();
    if (!error)
        error = closeError;
    if (!error && ::rename(pattern.c_str(), target.c_str()) != 0)
        error = errno;
    if (error) {
        ::unlink(pattern.c_str());
        throw app::EProfileError(failed + errnoText(error) + ". The previous file is kept.");
    }
    // The rename itself becomes durable with the folder's entry.
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

} // namespace cantorix::platform
