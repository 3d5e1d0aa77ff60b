#pragma once
// What a guest's phone asks of the party and what the party tells it, as the game sees them once
// read from the network: the phone's own words (JSON over its WebSocket) are read and written by
// the phone server, the answers decided by the game's party host. The host's phone, which opened
// the host's own code, may also ask for the host's actions.

#include "fair_rotation.h"
#include "queue_view.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace cantorix::party {

// A phone's song book opened its connection to the queue. Without a name the phone only looks;
// with one it is in line, as the guest its token names when it has one (the page keeps it), else
// as a new guest.
struct GuestHello {
    std::string name; // cleaned already; empty: looking only
    std::string token;
    std::string hostKey; // the key of the host's code, when the phone opened that
    // Set by the server, which alone knows the host's key: the phone opened the host's code.
    bool host = false;
};

struct AddSongRequest {
    std::string songId;
    std::optional<GuestId> partner; // a guest in line
    std::string partnerName;        // or a name typed on the spot (cleaned already)
    std::optional<int> voice;       // the guest's voice of a duet, from 0
};

// A medley of songs drawn at random, queued as one entry of the guest's.
struct AddMedleyRequest {
    std::size_t songs = 5;
};

struct EntryRequest {
    enum class Kind { Remove, Later };
    Kind kind = Kind::Remove;
    EntryId entry = 0;
};

// The host's actions from their phone. `index` is the place a Move puts the entry at.
struct HostRequest {
    enum class Action { PlayNext, Move, Remove, Clear, Pause, Resume, StartNow, Skip };
    Action action = Action::PlayNext;
    EntryId entry = 0;
    std::size_t index = 0;
};

using GuestRequest =
    std::variant<GuestHello, AddSongRequest, AddMedleyRequest, EntryRequest, HostRequest>;

// The game's answer to a hello: who the phone is in line (guest 0: looking only), with the token
// that finds the guest again, and whether it holds the host's actions.
struct GuestWelcome {
    GuestId guest = 0;
    std::string name;
    std::string token;
    bool host = false;
};

struct GuestSummary {
    GuestId id = 0;
    std::string name;
};

// The queue as this phone sees it, sent after every change.
struct QueueNews {
    std::vector<QueueRow> rows;
    std::vector<GuestSummary> guests; // to name a partner from
    bool paused = false;
    // For the guest whose song is next: "You're next: Title — get ready"; else empty.
    std::string next;
    // What happened to one of this guest's songs that left the queue unsung ("skipped twice").
    std::string gone;
    int mostWaiting = 0;
};

// A request refused, or a word for the guest ("Added: Title"), shown on the page.
struct GuestAnswer {
    std::string text;
};

// The guest's turn has come and the phone is not yet a microphone: "You're up: tap to sing"
// joins `slot` (the tap is what a browser needs before it gives the microphone).
struct YoureUp {
    std::size_t slot = 0;
};

using GuestNews = std::variant<GuestWelcome, QueueNews, GuestAnswer, YoureUp>;

} // namespace cantorix::party
