#pragma once
// Sends the standard error to /dev/null for its lifetime. PortAudio's host APIs report every
// device they fail to probe there (dozens of lines on a machine without a sound card), while
// the game says itself which devices it uses. Main thread, at start-up, while nothing else
// writes there.

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace cantorix::platform {

class QuietStandardError {
public:
    QuietStandardError() {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_saved >= 0 && devNull >= 0)
            ::dup2(devNull, STDERR_FILENO);
        if (devNull >= 0)
            ::close(devNull);
    }
    ~QuietStandardError() {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int m_saved = -1;
};

} // namespace cantorix::platform
