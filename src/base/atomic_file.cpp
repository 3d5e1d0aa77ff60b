#include "base/atomic_file.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace cantorix::base {

namespace {

namespace fs = std::filesystem;

// Created with this mode, so the process's umask applies as to any new file of the user's.
constexpr mode_t kNewFileMode = 0666;
constexpr int kNameAttempts = 100;

[[noreturn]] void fail(int error) {
    throw std::system_error(error, std::generic_category());
}

// The file a save replaces: a link is followed to the file it names, however many links deep.
// A link that cannot be resolved (a loop) is replaced itself, as it holds nothing to keep.
fs::path replacedFile(const fs::path& target) {
    std::error_code ec;
    if (!fs::is_symlink(target, ec))
        return target;
    fs::path resolved = fs::weakly_canonical(target, ec);
    return ec || resolved.empty() ? target : resolved;
}

std::string randomSuffix(std::mt19937& random) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string suffix(8, ' ');
    for (char& c : suffix)
        c = kLetters[pick(random)];
    return suffix;
}

fs::path folderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

AtomicFile::AtomicFile(const fs::path& target) : m_replaced(replacedFile(target)) {
    if (!m_replaced.has_filename())
        fail(ENOENT);
    const fs::path folder = folderOf(m_replaced);
    std::mt19937 random{std::random_device{}()};
    // O_EXCL never opens a file that is already there, whoever made it.
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        m_temporary = folder / ("." + m_replaced.filename().string() + "." + randomSuffix(random));
        m_fd = ::open(m_temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (m_fd >= 0)
            return;
        if (errno != EEXIST)
            fail(errno);
    }
    fail(EEXIST);
}

AtomicFile::~AtomicFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed)
        ::unlink(m_temporary.c_str());
}

void AtomicFile::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(errno);
        if (n == 0)
            fail(EIO);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void AtomicFile::commit() {
    struct stat old {};
    int error = 0;
    if (::stat(m_replaced.c_str(), &old) == 0 && ::fchmod(m_fd, old.st_mode & 07777) != 0)
        error = errno;
    if (error == 0 && ::fsync(m_fd) != 0)
        error = errno;
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(m_temporary.c_str(), m_replaced.c_str()) != 0)
        error = errno;
    if (error != 0)
        fail(error);
    m_committed = true;
    // The new contents are in place; a folder that cannot be synced (one we may not read, a
    // file system without directory sync) only makes the rename less durable, so it is no
    // failure of the save.
    syncFolder(folderOf(m_replaced));
}

void replaceFileAtomically(const fs::path& target, std::string_view bytes) {
    AtomicFile file(target);
    file.write(bytes);
    file.commit();
}

} // namespace cantorix::base
