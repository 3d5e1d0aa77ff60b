// A peer's bytes as the phone server reads them: the whole input and a cut of it chosen by its
// first byte, since the server reads whatever has arrived so far. A complete reading must keep
// within the bytes it was given and name a path that starts with a slash.

#include "phones/http_request.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using cantorix::phones::HttpReading;
    if (size == 0)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t cut = bytes.empty() ? 0 : data[0] % (bytes.size() + 1);
    for (const std::string_view seen : {bytes, bytes.substr(0, cut)}) {
        const HttpReading reading = cantorix::phones::readHttpRequest(seen, 1024);
        if (reading.state == HttpReading::State::Complete &&
            (reading.request.headerBytes > seen.size() || reading.request.path.empty() ||
             reading.request.path.front() != '/'))
            std::abort();
        if (reading.state == HttpReading::State::Refused && reading.status < 400)
            std::abort();
    }
    return 0;
}
