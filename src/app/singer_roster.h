#pragma once
// The eight singer slots as the player set them up: each slot's player (or a guest's name),
// colour, bound input and microphone delay, kept in Score.ini's section "Singers", and which
// slots can sing now (bound to an input that is listed and open). Values only; main thread only.

#include "phone_hall_port.h"
#include "profile_store_port.h"
#include "records/record_book.h"
#include "scene/colour.h"
#include "session/singer_inputs.h"
#include "sound_inputs_port.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::app {

struct SingerSlot {
    // The player who sings in this slot; none: a guest, sung under the slot's name.
    std::optional<std::int64_t> playerId = std::nullopt;
    // The player's name and colour while the slot has one (the singers screen keeps them so).
    std::string name;
    scene::TColor colour = scene::clWhite;
    std::optional<session::InputAddress> input;
    int delayMs = 0;
    // While a phone's guest sings here under their own name: the slot's name before, which is
    // what is saved and what the slot is called again when the phone goes.
    std::string nameBeforePhone;
};

// A slot that sings in the next session; singer k is the k-th of them in slot order.
struct BoundSinger {
    std::size_t slot;
    // The slot's player; none: a guest.
    std::optional<std::int64_t> playerId = std::nullopt;
    std::string name;
    scene::TColor colour;
    int delayMs;
    const SoundInput* input;
};

// The colours a slot's colour button steps through, the first eight being the slots' defaults.
const std::vector<scene::TColor>& singerPalette();
// The palette's colour after `colour` (the first one for a colour not in it).
scene::TColor nextSingerColour(scene::TColor colour);
// "Singer 3" for slot index 2.
std::string defaultSingerName(std::size_t slot);

class SingerRoster {
public:
    static constexpr const char* kSection = "Singers";
    static constexpr int kMaxDelayMs = 500;

    SingerRoster(); // 8 slots, distinct default colours, names "Singer 1"…

    SingerSlot& slot(std::size_t index) { return m_slots.at(index); }
    const SingerSlot& slot(std::size_t index) const { return m_slots.at(index); }

    // Slots whose input (session::boundInput) is listed and open (capture not null), in slot
    // order. With no binding
    // saved or made at all and exactly one open input, slot 1 sings through it, so a player who
    // never opens the singers screen sings as before.
    std::vector<BoundSinger> boundSingers(const SoundInputs& inputs) const;
    // The `--mic` inputs go to slots 1, 2, … in order, skipping slots with a binding. Each is
    // placed once: one the player moved or unbound on the singers screen stays as they left it.
    // These bindings are not saved: the next start without `--mic` finds the slots as they were.
    // First a binding kept in a former release's address takes its input's address when the
    // input is found (session::boundInput): true when one did, so the caller saves it.
    bool placeMicFiles(const SoundInputs& inputs);
    // Whether slot index is bound to an input that is not listed or cannot be opened.
    bool notConnected(std::size_t index, const SoundInputs& inputs) const;

    // Reads the section; what is missing or cannot be used keeps its default. Without the
    // section (the first start of a game that has one), slot 1 takes legacyMicDelayMs.
    void load(const ProfileStore& profile, int legacyMicDelayMs);
    // Writes the section (the caller flushes the store).
    void save(ProfileStore& profile) const;

    // The slot sings as this player, under their name and in their colour.
    void bindPlayer(std::size_t index, const records::Player& player);
    // The slot sings as a guest under its default name.
    void makeGuest(std::size_t index);
    // The slot bound to the player, if any.
    std::optional<std::size_t> slotOf(std::int64_t playerId) const;
    // Slots take their players' names and colours as the book has them now; a slot whose player
    // the book does not know (removed, or never stored) becomes a guest. True when a slot changed.
    bool followPlayers(const records::RecordBook& book);

    // A slot whose name could not be made a player, and why.
    struct Unadopted {
        std::size_t slot;
        std::string reason;
    };
    // Each guest slot named other than its default is bound to the player of that name, or to a
    // new one made by `add` (the name, the slot's colour) when the book has none. A player
    // bound to an earlier slot leaves a later slot of the same name a guest. What `add` throws
    // leaves its slot a guest and is returned.
    using AddPlayer = std::function<records::Player(const records::Player&)>;
    std::vector<Unadopted> adoptNamesAsPlayers(const records::RecordBook& book,
                                               const AddPlayer& add);

private:
    bool anyBinding() const;

    std::array<SingerSlot, session::kSingerSlots> m_slots;
    std::vector<session::InputAddress> m_placedMicFiles;
};

// Why each slot is not a phone's to take, empty for a free one: a slot the host gave a microphone
// or a player is theirs ("Slot 1 is Anna's"); a slot a phone holds already is left to it.
std::vector<std::string> phoneSlotReservations(const SingerRoster& roster);

} // namespace cantorix::app
