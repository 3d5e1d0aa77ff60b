#pragma once
// Opening a file as data only when it is a regular file. A named pipe, a socket or a device (or a
// link to one) in a song folder or on a command line would otherwise hold the reader for ever or
// feed it without end, so the file is opened without blocking, examined with fstat before any
// byte is read, and only then set back to blocking reads. Pure POSIX; any thread.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace cantorix::base {

// A file that cannot be read as data, with a message naming it and saying why.
class RegularFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Owns one file descriptor.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

// What a file at `path` is when it is not a regular file ("a named pipe", "a folder", …), empty
// for a regular file; links are followed. For messages.
std::string nonRegularKind(unsigned mode);

// What a caller already knows of a file's kind: a folder listing's entry type or an lstat that
// said "regular file" spares the look before opening (what is opened is examined all the same).
enum class FileKind { Unknown, Regular };

// Opens `path` for reading. Returns an invalid descriptor with `reason` set (the system's text,
// or "it is a named pipe, not a regular file") when it cannot be opened or is not a regular file.
UniqueFd openRegularFile(const std::filesystem::path& path, std::string& reason);
UniqueFd openRegularFile(const std::filesystem::path& path, FileKind known, std::string& reason);

// As above, but throws RegularFileError: "Cannot read '<path>': <reason>".
UniqueFd openRegularFileOrThrow(const std::filesystem::path& path);

// A stdio stream over a regular file ("rb"), for libraries that take a FILE*; nullptr with
// `reason` set otherwise. The caller closes it with fclose.
std::FILE* openRegularStdioFile(const std::filesystem::path& path, std::string& reason);

enum class ReadOutcome { Read, NotOpened, TooLarge, ReadFailed };

// Reads a whole regular file into `bytes`, refusing one larger than `maxBytes` before reading any
// of it. Anything but Read leaves `bytes` empty and `reason` set ("it is a named pipe, not a
// regular file", "it is too large to be read (5.0 MiB, 5242880 bytes; the limit is 4.0 MiB)").
ReadOutcome readRegularFileInto(const std::filesystem::path& path, std::size_t maxBytes,
                                std::string& bytes, std::string& reason);

// The modification time (ns since the epoch) and size of the file that was opened.
struct OpenedFile {
    std::int64_t mtimeNs = 0;
    std::int64_t size = -1;
};

// As above; `opened`, when given, is set once the file is open and found regular.
ReadOutcome readRegularFileInto(const std::filesystem::path& path, std::size_t maxBytes,
                                std::string& bytes, std::string& reason, FileKind known,
                                OpenedFile* opened);

// As above, but throws RegularFileError: "Cannot read '<path>': <reason>".
std::string readRegularFile(const std::filesystem::path& path, std::size_t maxBytes);

} // namespace cantorix::base
