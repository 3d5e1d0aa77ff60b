#include "output_stream.h"

#include "wave_audio_errors.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace cantorix::audio {

FileOutputStream::FileOutputStream(const std::filesystem::path& path)
    : m_file(std::fopen(path.c_str(), "w+b")) {
    if (m_file == nullptr)
        throw EFCreateError(path.string(), std::strerror(errno));
    // Unbuffered: a full disk shows in the write that hit it, not in a later flush.
    std::setvbuf(m_file, nullptr, _IONBF, 0);
}

FileOutputStream::~FileOutputStream() {
    std::fclose(m_file);
}

std::size_t FileOutputStream::write(const std::uint8_t* bytes, std::size_t count) {
    const std::size_t written = std::fwrite(bytes, 1, count, m_file);
    m_position += written;
    if (written < count) {
        std::clearerr(m_file);
        // The file position may have moved past what was stored; keep ours authoritative.
        seek(m_position);
    }
    return written;
}

bool FileOutputStream::seek(std::uint64_t position) {
    if (std::fseek(m_file, static_cast<long>(position), SEEK_SET) != 0)
        return false;
    m_position = position;
    return true;
}

bool FileOutputStream::truncate(std::uint64_t size) {
    if (::ftruncate(::fileno(m_file), static_cast<off_t>(size)) != 0)
        return false;
    return seek(size);
}

} // namespace cantorix::audio
