#pragma once
// Where a recording's bytes go: a seekable byte sink, and its file implementation over the C
// library. Short writes are reported, never thrown, so the caller decides what a full disk
// means. One thread.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace cantorix::audio {

class OutputStream {
public:
    virtual ~OutputStream() = default;
    // Writes at the current position; returns how many bytes were stored.
    virtual std::size_t write(const std::uint8_t* bytes, std::size_t count) = 0;
    virtual bool seek(std::uint64_t position) = 0;
    virtual std::uint64_t position() const = 0;
    // Cuts the stream to size bytes; the position moves there.
    virtual bool truncate(std::uint64_t size) = 0;
};

class FileOutputStream : public OutputStream {
public:
    // Creates or truncates the file; throws EFCreateError with the system's reason.
    explicit FileOutputStream(const std::filesystem::path& path);
    ~FileOutputStream() override;
    FileOutputStream(const FileOutputStream&) = delete;
    FileOutputStream& operator=(const FileOutputStream&) = delete;

    std::size_t write(const std::uint8_t* bytes, std::size_t count) override;
    bool seek(std::uint64_t position) override;
    std::uint64_t position() const override { return m_position; }
    bool truncate(std::uint64_t size) override;

private:
    std::FILE* m_file = nullptr;
    std::uint64_t m_position = 0;
};

} // namespace cantorix::audio
