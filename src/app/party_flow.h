#pragma once
// The evening's walk from song to song while "Take songs" is on: a song's score page stays for
// its seconds (a click or the host's phone moves on at once), then the Next up screen counts down
// to the queue's next song (any key or the host's phone starts it at once, S or the host's phone
// skips it, Escape stops until the next song ends), and the song starts with whoever is seated.
// The screens themselves are the window's: this walks between them on a clock it is given.
// Main thread only.

#include "party_host.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace cantorix::app {

struct PartyFlowHooks {
    // Whether the selection screen shows with nothing over it and no song is sung.
    std::function<bool()> idle;
    // Leaves the score page for the selection screen, as its Back button does.
    std::function<void()> leaveScorePage;
    // Shows the Next up screen for the entry (and seats its singers), then the seconds left.
    std::function<void(const party::QueueEntry& entry)> showNextUp;
    std::function<void(int secondsLeft)> showCountdown;
    std::function<void()> hideNextUp;
    // Starts the entry's song with whoever is seated; false when it cannot be sung now.
    std::function<bool(const party::QueueEntry& entry)> start;
};

class PartyFlow {
public:
    enum class Stage { Waiting, ScorePage, NextUp, Singing };

    PartyFlow(PartyHost& party, PartyFlowHooks hooks,
              std::function<std::chrono::steady_clock::time_point()> now);

    Stage stage() const { return m_stage; }
    // The entry the Next up screen shows, or the one being sung.
    const std::optional<party::QueueEntry>& entry() const { return m_entry; }

    // A song ended and its score page shows.
    void scorePageShown();
    // The score page was left by hand (Back): the walk goes on from the selection screen.
    void scorePageLeft();
    // A click on the score page, Enter on the Next up screen, the host's phone: on at once.
    void moveOn();
    // S on the Next up screen, the host's phone: the entry goes back one place (out, the second
    // time) and the next one is shown.
    void skip();
    // Escape on the Next up screen: back to the selection screen until the next song ends or
    // "Take songs" is turned on again.
    void stop();
    // A song started from the selection screen by hand is no queue entry's.
    void sessionStarted();
    // Called often (a few times a second) and after every change of the queue.
    void tick();

private:
    void showNext();
    void startEntry();
    std::chrono::steady_clock::time_point deadlineAfter(int seconds) const;

    PartyHost& m_party;
    PartyFlowHooks m_hooks;
    std::function<std::chrono::steady_clock::time_point()> m_now;
    Stage m_stage = Stage::Waiting;
    std::optional<party::QueueEntry> m_entry;
    std::chrono::steady_clock::time_point m_deadline{};
    int m_shownSeconds = -1;
    // Escape on the Next up screen: nothing starts by itself until this clears.
    bool m_held = false;
    bool m_wasTaking = false;
    bool m_starting = false;
};

} // namespace cantorix::app
