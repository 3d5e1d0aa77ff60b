#pragma once
// A Stream over a file on disk. Failures carry the file's name and the system's reason
// ("No space left on device"), so a full disk or an unwritable folder reads clearly. Owns the
// file descriptor; one thread at a time.

#include "stream.h"

#include <filesystem>

namespace cantorix::audio {

class FileStream : public Stream {
public:
    enum class Mode {
        Read,   // an existing file, read only
        Create, // a new or emptied file, read and write
    };

    // Throws EStreamError "Cannot open file "…". reason" or "Cannot create file "…". reason";
    // Read opens only a regular file ("… It is a named pipe, not a regular file").
    FileStream(const std::filesystem::path& path, Mode mode);
    ~FileStream() override;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    std::size_t read(void* buffer, std::size_t count) override;
    // Throws EStreamError "Cannot write file "…". reason" when not all bytes are stored.
    std::size_t write(const void* buffer, std::size_t count) override;
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t size() const override;

    // Forces the written bytes to the disk; throws like write.
    void flush();
    const std::filesystem::path& path() const { return m_path; }

private:
    void openForReading();
    [[noreturn]] void fail(const char* what) const;

    std::filesystem::path m_path;
    int m_fd = -1;
    std::int64_t m_position = 0;
};

} // namespace cantorix::audio
