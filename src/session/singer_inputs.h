#pragma once
// Who sings from where: the address of a sound input as Score.ini keeps it, the slots singers
// take, and which voice of a song each singer sings unless they choose another. Values only.

#include <compare>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace cantorix::session {

// Singers sing at once at most: one per slot, slots 1 to 8.
inline constexpr std::size_t kSingerSlots = 8;

// Where a singer's voice comes from. card is the sound card's stable ALSA id ("USB", "PCH"),
// not its hw:N number, which changes with plug order; kDefaultInputCard is the system's default
// input; kMicFileCard followed by a number ("mic-file-2") the n-th `--mic` file. A sound card's
// channel is addressed by the capture device it belongs to (its ALSA PCM device number) and
// counts from 0 within that device, so a device of the card that is busy or gone never moves
// the others' channels; a file's or the default input's has no device and counts within it.
// A card's address without a device was kept by releases that counted the channels across all
// the card's capture devices: see session/input_binding.h for how it still finds its input.
struct InputAddress {
    std::string card;
    int channel = 0;
    std::optional<int> device = std::nullopt;

    auto operator<=>(const InputAddress&) const = default;
};

inline constexpr std::string_view kDefaultInputCard = "default";
inline constexpr std::string_view kMicFileCard = "mic-file-";

// "USB:0:1" (card, device, channel) or "mic-file-1:0" (card, channel) as kept in Score.ini;
// parseInputAddress reads either back (nothing for malformed text).
std::string inputAddressText(const InputAddress& address);
std::optional<InputAddress> parseInputAddress(std::string_view text);

// The voice (counted from 0) that singer `singer` (counted from 0 among the bound singers)
// sings of voiceCount voices unless they chose another: 1 sings the first, 2 the second, 3 the
// first again, and so on. A song of one voice is everyone's.
std::size_t defaultVoiceOf(std::size_t singer, std::size_t voiceCount);

} // namespace cantorix::session
