#include "singer_inputs.h"

#include <charconv>

namespace cantorix::session {

std::string inputAddressText(const InputAddress& address) {
    return address.card + ":" + std::to_string(address.channel);
}

std::optional<InputAddress> parseInputAddress(std::string_view text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    int channel = 0;
    const char* first = text.data() + colon + 1;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, channel);
    if (error != std::errc() || end != last || first == last || channel < 0 || channel > 255)
        return std::nullopt;
    return InputAddress{std::string(text.substr(0, colon)), channel};
}

std::size_t defaultVoiceOf(std::size_t singer, std::size_t voiceCount) {
    return voiceCount == 0 ? 0 : singer % voiceCount;
}

} // namespace cantorix::session
