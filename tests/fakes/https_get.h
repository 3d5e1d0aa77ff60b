#pragma once
// One HTTPS request to the game's phone server on this computer, as a phone's browser sends it
// (the game's self-signed certificate accepted): blocking, on the calling thread with a socket of
// its own, so tests and benchmarks may fetch from many threads at once. Needs a QCoreApplication.

#include <chrono>
#include <string>

namespace cantorix::testing {

struct HttpsResponse {
    int status = 0;      // 0: no complete answer within the bound
    std::string headers; // the status line and headers, as sent
    std::string body;

    // A header's value (its name compared ignoring case), empty when it is not there.
    std::string header(const std::string& name) const;
};

HttpsResponse httpsGet(int port, const std::string& target,
                       std::chrono::milliseconds within = std::chrono::seconds(10));

} // namespace cantorix::testing
