#pragma once
// The Queue screen: the party's queue as the host runs it at the keyboard, opened from the song
// list by its button or F6. Its first page lists the queue (Up and Down choose an entry; Enter
// plays it next, Page Up and Page Down move it, Delete takes it out; P pauses, R turns the
// rotation on and off, T says whether the game takes its songs from the queue by itself); its
// second page, G, lists the guests (Enter renames, L links to a player, Delete removes). Both
// show the guests' code and the host's own. Borrows the scene and the party host; follows every
// change of the queue while shown. Main thread only.

#include "game_scene.h"
#include "party_host.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::app {

struct QueuePlayerChoice {
    std::int64_t id = 0;
    std::string name;
};

struct QueueScreenParts {
    GameScene& game;
    PartyHost& party;
    // The players a guest may be linked to, in the order the Link button steps through them.
    std::function<std::vector<QueuePlayerChoice>()> players = {};
    // Asks the host for a guest's new name (none: cancelled).
    std::function<std::optional<std::string>(const std::string& current)> askName = {};
    // Draws the party's codes into their sprites (the phones' addresses may have changed).
    std::function<void()> drawCodes = {};
    std::function<void()> startJukebox = {};
    // Told when the screen is left.
    std::function<void()> left = {};
};

class QueueScreen {
public:
    static constexpr int kOpenKey = 117;    // F6
    static constexpr int kJukeboxKey = 118; // F7

    explicit QueueScreen(QueueScreenParts parts);

    bool shown() const;
    void show();
    void leave();
    void keyDown(int key);
    // Shows the rows again from the queue, which changed.
    void refresh();
    bool guestsPage() const { return m_guestsPage; }

    // What the page shows now, for tests: its title, its status line, then each row shown as one
    // line with " | " between its columns, the chosen row marked with "> ".
    std::vector<std::string> shownLines() const;

private:
    void connectButtons();
    void showRows();
    void showQueueRows();
    void showGuestRows();
    // Of `count` rows (at least one), the chosen one is among those shown.
    void keepChosenInView(std::size_t count);
    void step(int by);
    void moveChosen(int by);
    void removeChosen();
    void renameChosen();
    void linkChosen();
    std::optional<party::EntryId> chosenEntry() const;
    std::optional<party::GuestId> chosenGuest() const;

    GameScene& m_game;
    PartyHost& m_party;
    QueueScreenParts m_parts;
    bool m_guestsPage = false;
    std::size_t m_chosen = 0; // the row chosen, counted over the whole list
    std::size_t m_firstShown = 0;
};

} // namespace cantorix::app
