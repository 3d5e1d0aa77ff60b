#include "singer_roster.h"

#include "form_storage.h"
#include "session/input_binding.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace cantorix::app {

namespace {

// Score.ini's keys of a slot: "Slot1Name", "Slot1Colour", "Slot1Input", "Slot1Delay" …
std::string slotKey(std::size_t index, const char* field) {
    return "Slot" + std::to_string(index + 1) + field;
}

constexpr const char* kNameKey = "Name";
constexpr const char* kColourKey = "Colour";
constexpr const char* kInputKey = "Input";
constexpr const char* kDelayKey = "Delay";
constexpr const char* kPlayerKey = "Player";
// An unbound slot's input as the file keeps it.
constexpr const char* kNoInput = "none";

bool isMicFile(const session::InputAddress& address) {
    return address.card.starts_with(session::kMicFileCard);
}

// A phone's seat lasts while the game runs: neither it nor the name typed on the phone is kept.
bool isPhone(const std::optional<session::InputAddress>& address) {
    return address && address->card == kPhoneInputCard;
}

bool isOpen(const SoundInput* input) {
    return input && input->capture;
}

// A stored player's id (positive); anything else is a guest.
std::optional<std::int64_t> parsePlayerId(const std::string& text) {
    std::int64_t id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (error != std::errc() || end != text.data() + text.size() || id <= 0)
        return std::nullopt;
    return id;
}

int clampedDelay(int ms) {
    return std::clamp(ms, 0, SingerRoster::kMaxDelayMs);
}

} // namespace

const std::vector<scene::TColor>& singerPalette() {
    // 0x00BBGGRR. Bright and far apart on a dark background; the first eight are the slots'.
    static const std::vector<scene::TColor> palette = {
        0x0000C0FF, // amber
        0x00FFB040, // sky blue
        0x0060E060, // green
        0x00C060FF, // pink
        0x0040FFFF, // yellow
        0x00FF60A0, // violet
        0x00E0E040, // teal
        0x004070FF, // orange red
        0x00FFFFFF, // white
        0x00A0A0A0, // grey
        0x00FF4040, // blue
        0x004040FF, // red
    };
    return palette;
}

scene::TColor nextSingerColour(scene::TColor colour) {
    const std::vector<scene::TColor>& palette = singerPalette();
    const auto at = std::find(palette.begin(), palette.end(), colour);
    if (at == palette.end() || at + 1 == palette.end())
        return palette.front();
    return *(at + 1);
}

std::string defaultSingerName(std::size_t slot) {
    return "Singer " + std::to_string(slot + 1);
}

SingerRoster::SingerRoster() {
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        m_slots[i].name = defaultSingerName(i);
        m_slots[i].colour = singerPalette()[i];
    }
}

bool SingerRoster::anyBinding() const {
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [](const SingerSlot& s) { return s.input.has_value(); });
}

std::vector<BoundSinger> SingerRoster::boundSingers(const SoundInputs& inputs) const {
    std::vector<BoundSinger> singers;
    if (!anyBinding()) {
        // Nobody chose: the system's default input, or the one input there is, is slot 1's.
        const SoundInput* only = inputs.find({std::string(session::kDefaultInputCard), 0});
        if (!isOpen(only)) {
            only = nullptr;
            const auto open = std::count_if(inputs.inputs().begin(), inputs.inputs().end(),
                                            [](const SoundInput& in) { return isOpen(&in); });
            if (open == 1)
                only = &*std::find_if(inputs.inputs().begin(), inputs.inputs().end(),
                                      [](const SoundInput& in) { return isOpen(&in); });
        }
        if (only)
            singers.push_back({0, m_slots[0].playerId, m_slots[0].name, m_slots[0].colour,
                               m_slots[0].delayMs, only});
        return singers;
    }
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        const SingerSlot& s = m_slots[i];
        if (!s.input)
            continue;
        const SoundInput* input = session::boundInput(*s.input, inputs.inputs());
        if (isOpen(input))
            singers.push_back({i, s.playerId, s.name, s.colour, s.delayMs, input});
    }
    return singers;
}

bool SingerRoster::notConnected(std::size_t index, const SoundInputs& inputs) const {
    const SingerSlot& s = slot(index);
    return s.input && !isOpen(session::boundInput(*s.input, inputs.inputs()));
}

bool SingerRoster::placeMicFiles(const SoundInputs& inputs) {
    // A binding kept under the former count of a card's channels takes the input's address
    // while the count is certain, so a device that is busy or gone later cannot move it.
    bool readdressed = false;
    for (SingerSlot& s : m_slots) {
        const SoundInput* input =
            s.input ? session::boundInput(*s.input, inputs.inputs()) : nullptr;
        if (input && input->address != *s.input) {
            s.input = input->address;
            readdressed = true;
        }
    }
    std::size_t next = 0;
    for (const SoundInput& input : inputs.inputs()) {
        if (!isMicFile(input.address) || std::find(m_placedMicFiles.begin(), m_placedMicFiles.end(),
                                                   input.address) != m_placedMicFiles.end())
            continue;
        while (next < m_slots.size() && m_slots[next].input)
            ++next;
        if (next == m_slots.size())
            return readdressed;
        m_slots[next++].input = input.address;
        m_placedMicFiles.push_back(input.address);
    }
    return readdressed;
}

void SingerRoster::load(const ProfileStore& profile, int legacyMicDelayMs) {
    if (profile.keyNames(kSection).empty()) {
        m_slots[0].delayMs = clampedDelay(legacyMicDelayMs);
        return;
    }
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        SingerSlot& s = m_slots[i];
        const std::string name =
            trimmedText(profile.readString(kSection, slotKey(i, kNameKey), ""));
        if (!name.empty())
            s.name = name;
        const std::string colour = profile.readString(kSection, slotKey(i, kColourKey), "");
        // profileInteger reads anything unusable as 0, which is black: a colour nobody sees.
        if (const scene::TColor value =
                static_cast<scene::TColor>(profileInteger(colour)) & 0x00FFFFFF;
            value != 0)
            s.colour = value;
        const std::string input = profile.readString(kSection, slotKey(i, kInputKey), kNoInput);
        s.input = session::parseInputAddress(input);
        if (s.input && isMicFile(*s.input))
            s.input.reset();
        s.delayMs = clampedDelay(profileInteger(
            profile.readString(kSection, slotKey(i, kDelayKey), std::to_string(s.delayMs))));
        s.playerId = parsePlayerId(profile.readString(kSection, slotKey(i, kPlayerKey), ""));
    }
}

void SingerRoster::save(ProfileStore& profile) const {
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        const SingerSlot& s = m_slots[i];
        const bool phoneGuest = isPhone(s.input) && !s.playerId;
        const std::string& ownName =
            s.nameBeforePhone.empty() ? defaultSingerName(i) : s.nameBeforePhone;
        profile.writeString(kSection, slotKey(i, kNameKey), phoneGuest ? ownName : s.name);
        profile.writeString(kSection, slotKey(i, kColourKey), std::to_string(s.colour));
        // A `--mic` file and a phone are this run's inputs only.
        const bool kept = s.input && !isMicFile(*s.input) && !isPhone(s.input);
        profile.writeString(kSection, slotKey(i, kInputKey),
                            kept ? session::inputAddressText(*s.input) : kNoInput);
        profile.writeString(kSection, slotKey(i, kDelayKey), std::to_string(s.delayMs));
        profile.writeString(kSection, slotKey(i, kPlayerKey),
                            s.playerId ? std::to_string(*s.playerId) : "");
    }
}

std::vector<std::string> phoneSlotReservations(const SingerRoster& roster) {
    std::vector<std::string> reasons(session::kSingerSlots);
    for (std::size_t i = 0; i < reasons.size(); ++i) {
        const SingerSlot& s = roster.slot(i);
        if (isPhone(s.input) || (!s.input && !s.playerId))
            continue;
        reasons[i] = "Slot " + std::to_string(i + 1) + " is " + s.name + "'s.";
    }
    return reasons;
}

void SingerRoster::bindPlayer(std::size_t index, const records::Player& player) {
    SingerSlot& s = slot(index);
    s.playerId = player.id;
    s.name = player.name;
    s.colour = player.colour & 0x00FFFFFF;
}

void SingerRoster::makeGuest(std::size_t index) {
    SingerSlot& s = slot(index);
    s.playerId.reset();
    s.name = defaultSingerName(index);
}

std::optional<std::size_t> SingerRoster::slotOf(std::int64_t playerId) const {
    for (std::size_t i = 0; i < m_slots.size(); ++i)
        if (m_slots[i].playerId == playerId)
            return i;
    return std::nullopt;
}

bool SingerRoster::followPlayers(const records::RecordBook& book) {
    bool changed = false;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        const SingerSlot before = m_slots[i];
        if (!before.playerId)
            continue;
        const records::Player* player = book.player(*before.playerId);
        // One player sings in one slot: a file edited by hand may name them twice.
        if (player && slotOf(player->id) == i)
            bindPlayer(i, *player);
        else
            makeGuest(i);
        const SingerSlot& after = m_slots[i];
        changed = changed || after.playerId != before.playerId || after.name != before.name ||
                  after.colour != before.colour;
    }
    return changed;
}

std::vector<SingerRoster::Unadopted>
SingerRoster::adoptNamesAsPlayers(const records::RecordBook& book, const AddPlayer& add) {
    std::vector<Unadopted> unadopted;
    // Players made here, which `add` may not have put into the book.
    std::vector<records::Player> made;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        SingerSlot& s = m_slots[i];
        const std::string name = records::cleanPlayerName(s.name);
        if (s.playerId || name.empty() || name == defaultSingerName(i))
            continue;
        const records::Player* known = book.playerNamed(name);
        const auto same = std::find_if(made.begin(), made.end(), [&](const records::Player& p) {
            return records::foldPlayerName(p.name) == records::foldPlayerName(name);
        });
        if (!known && same != made.end())
            known = &*same;
        if (known) {
            if (!slotOf(known->id))
                bindPlayer(i, *known);
            continue;
        }
        try {
            records::Player player;
            player.name = name;
            player.colour = s.colour;
            made.push_back(add(player));
            bindPlayer(i, made.back());
        } catch (const std::exception& e) {
            unadopted.push_back({i, e.what()});
        }
    }
    return unadopted;
}

} // namespace cantorix::app
