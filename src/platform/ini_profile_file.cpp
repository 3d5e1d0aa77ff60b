#include "ini_profile_file.h"

#include "base/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace cantorix::platform {

namespace {

constexpr off_t kMaxBytes = static_cast<off_t>(IniProfileFile::kMaxFileSize);

std::string errnoText(int error) { return std::strerror(error); }

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "something else";
}

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

private:
    int m_fd;
};

} // namespace

IniProfileFile::IniProfileFile(std::filesystem::path file) : m_path(std::move(file)) { load(); }

void IniProfileFile::load() {
    // Without O_NONBLOCK a named pipe at this path would hold the game before its window shows,
    // waiting for a writer that may never come; fstat then refuses it.
    FileDescriptor fd(::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
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
        m_readError = std::string("it is ") + kindOf(info.st_mode) + ", not a regular file";
        return;
    }
    const std::string tooLarge = "it is larger than " + std::to_string(kMaxBytes >> 20) +
                                 " MiB, more than a profile file of this game ever holds";
    if (info.st_size > kMaxBytes) {
        m_readError = tooLarge;
        return;
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
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
        // The file may grow while it is read.
        if (static_cast<off_t>(bytes.size()) > kMaxBytes) {
            m_readError = tooLarge;
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
    std::error_code ec;
    if (m_path.has_parent_path())
        fs::create_directories(m_path.parent_path(), ec);
    if (ec)
        throw app::EProfileError(failed + ec.message() + ". The previous file is kept.");
    try {
        base::replaceFileAtomically(m_path, text);
    } catch (const std::system_error& e) {
        throw app::EProfileError(failed + e.code().message() + ". The previous file is kept.");
    }
}

} // namespace cantorix::platform
