// Feeds arbitrary bytes to the game as a phone's WebSocket message, both as text and as a sound
// frame, as a broken or hostile page might send them. Reading must never fail; what is read
// must be within the rules (a cleaned name of valid UTF-8, a slot and rate in range, a finite
// stamp) and must read back the same after the page's own writer has written it again.

#include "phones/phone_protocol.h"
#include "songs/medley_layout.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

using namespace cantorix::phones;

namespace {

// Whether text is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool validUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80             ? 1
                             : (lead & 0xE0) == 0xC0 ? 2
                             : (lead & 0xF0) == 0xE0 ? 3
                             : (lead & 0xF8) == 0xF0 ? 4
                                                     : 0;
        if (length == 0 || i + length > text.size())
            return false;
        std::uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// A song book's request as read (a microphone's message reads as an empty hello).
cantorix::party::GuestRequest guestRequestOf(const PhoneText& text) {
    return std::visit(
        [](const auto& m) -> cantorix::party::GuestRequest {
            if constexpr (std::is_constructible_v<cantorix::party::GuestRequest, decltype(m)>)
                return m;
            else
                return cantorix::party::GuestHello{};
        },
        text);
}

void checkText(std::string_view bytes) {
    const ParsedText parsed = parsePhoneText(bytes);
    if (parsed.message.has_value() == !parsed.problem.empty())
        std::abort();
    if (!parsed.message)
        return;
    if (const auto* join = std::get_if<JoinRequest>(&*parsed.message)) {
        if (join->name.empty() || !validUtf8(join->name) ||
            cleanPhoneName(join->name) != join->name || join->slot < 1 || join->slot > 8 ||
            join->sampleRate < kLowestSampleRate || join->sampleRate > kHighestSampleRate)
            std::abort();
        const ParsedText again = parsePhoneText(joinMessage(*join));
        const auto* reread = again.message ? std::get_if<JoinRequest>(&*again.message) : nullptr;
        if (!reread || reread->name != join->name || reread->slot != join->slot ||
            reread->sampleRate != join->sampleRate || reread->resumeToken != join->resumeToken)
            std::abort();
    } else if (const auto* answer = std::get_if<ClockAnswer>(&*parsed.message)) {
        if (!std::isfinite(answer->phoneSeconds))
            std::abort();
        const ParsedText again = parsePhoneText(clockAnswerMessage(*answer));
        const auto* reread = again.message ? std::get_if<ClockAnswer>(&*again.message) : nullptr;
        if (!reread || reread->id != answer->id || reread->phoneSeconds != answer->phoneSeconds)
            std::abort();
    }
    if (isGuestText(*parsed.message)) {
        // A song book's request: its names cleaned, and written again it reads back the same.
        const cantorix::party::GuestRequest request = guestRequestOf(*parsed.message);
        if (const auto* hello = std::get_if<cantorix::party::GuestHello>(&request);
            hello && (cleanPhoneName(hello->name) != hello->name || hello->host))
            std::abort();
        if (const auto* add = std::get_if<cantorix::party::AddSongRequest>(&request);
            add && (cleanPhoneName(add->partnerName) != add->partnerName ||
                    (add->voice && (*add->voice < 0 || *add->voice > 1))))
            std::abort();
        if (const auto* medley = std::get_if<cantorix::party::AddMedleyRequest>(&request);
            medley && (medley->songs < cantorix::songs::kMedleyFewestSongs ||
                       medley->songs > cantorix::songs::kMedleyMostSongs))
            std::abort();
        const std::string written = guestRequestMessage(request);
        const ParsedText again = parsePhoneText(written);
        if (!again.message || !isGuestText(*again.message) ||
            guestRequestMessage(guestRequestOf(*again.message)) != written)
            std::abort();
    }
    // Whatever a phone sent, the game's own messages carrying it are valid UTF-8.
    if (!validUtf8(noticeMessage(bytes)) || !validUtf8(cleanPhoneName(bytes)))
        std::abort();
}

void checkFrame(const std::uint8_t* data, std::size_t size) {
    const ParsedFrame parsed = parseAudioFrame(data, size);
    if (parsed.frame.has_value() == !parsed.problem.empty())
        std::abort();
    if (!parsed.frame)
        return;
    if (!std::isfinite(parsed.frame->firstSampleSeconds) || parsed.frame->samples.empty() ||
        parsed.frame->samples.size() > kMaxFrameSamples)
        std::abort();
    // A frame is its bytes exactly: written again, it is the message that came.
    const std::vector<std::uint8_t> written = writeAudioFrame(*parsed.frame);
    if (written.size() != size || !std::equal(written.begin(), written.end(), data))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkText(std::string_view(reinterpret_cast<const char*>(data), size));
    checkFrame(data, size);
    return 0;
}
