#pragma once
// Files that are not regular files — a named pipe, a UNIX socket — for tests that check the game
// refuses them instead of waiting on them.

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace cantorix::testing {

// A named pipe nobody writes to: opening it for reading the usual way waits for ever.
inline void makeFifo(const std::filesystem::path& path) {
    if (::mkfifo(path.c_str(), 0644) != 0)
        throw std::runtime_error("mkfifo " + path.string() + ": " + std::strerror(errno));
}

// A UNIX socket's file, left behind with nobody listening.
inline void makeSocket(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof address.sun_path)
        throw std::runtime_error("socket path too long: " + path.string());
    std::memcpy(address.sun_path, path.c_str(), path.native().size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound =
        fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!bound)
        throw std::runtime_error("socket " + path.string() + ": " + std::strerror(error));
}

} // namespace cantorix::testing
