#include "singer_inputs.h"

#include <charconv>

namespace cantorix::session {

namespace {

// A number of 0 to 255 written in plain digits, as the addresses keep channels and devices.
std::optional<int> smallNumber(std::string_view text) {
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last || value < 0 || value > 255)
        return std::nullopt;
    return value;
}

} // namespace

std::string inputAddressText(const InputAddress& address) {
    return address.card + ":" + (address.device ? std::to_string(*address.device) + ":" : "") +
           std::to_string(address.channel);
}

std::optional<InputAddress> parseInputAddress(std::string_view text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    const std::optional<int> channel = smallNumber(text.substr(colon + 1));
    if (!channel)
        return std::nullopt;
    const std::string_view before = text.substr(0, colon);
    // ALSA's card ids are letters, digits and underscores: a colon left before the channel
    // separates the card from its device.
    if (const std::size_t deviceColon = before.rfind(':'); deviceColon != std::string_view::npos) {
        const std::optional<int> device = smallNumber(before.substr(deviceColon + 1));
        if (!device || deviceColon == 0)
            return std::nullopt;
        return InputAddress{std::string(before.substr(0, deviceColon)), *channel, device};
    }
    return InputAddress{std::string(before), *channel};
}

std::size_t defaultVoiceOf(std::size_t singer, std::size_t voiceCount) {
    return voiceCount == 0 ? 0 : singer % voiceCount;
}

} // namespace cantorix::session
