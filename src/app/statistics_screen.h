#pragma once
// The statistics screen's behaviour: a page for the whole game, then a page per player, stepped
// through by Left and Right or the arrows, opened by the selection's button or F4. Borrows the
// scene and the record book, which it reads whenever it shows a page. Main thread only.

#include "game_scene.h"
#include "records/record_book.h"
#include "records/record_statistics.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::app {

struct StatisticsScreenParts {
    GameScene& game;
    const records::RecordBook& book;
    // Milliseconds since the epoch: where "this week" ends.
    std::function<std::int64_t()> nowMs;
    // Told when the screen is left.
    std::function<void()> left = {};
};

class StatisticsScreen {
public:
    // The selection screen's key that opens the screen.
    static constexpr int kOpenKey = 115; // F4 (F3 picks a song at random)

    explicit StatisticsScreen(StatisticsScreenParts parts);

    bool shown() const;
    // Opens on the whole game's page.
    void show();
    void leave();
    // Left and Right step through the pages (round), Escape leaves.
    void keyDown(int key);
    // Shows the page again from the book, which changed; a removed player's page gives way to
    // the whole game's.
    void refresh();

    // What the page shows now, for tests: its title, its page line, then every text shown, a
    // list's row as one line with " | " between its columns.
    std::vector<std::string> shownLines() const;

private:
    void step(int by);
    void showPage();
    void showGame();
    void showPlayer(const records::PlayerStatistics& stats);
    void hideAll();

    GameScene& m_game;
    const records::RecordBook& m_book;
    std::function<std::int64_t()> m_nowMs;
    std::function<void()> m_left;
    // The player whose page shows; none: the whole game's.
    std::optional<std::int64_t> m_player;
};

// Texts as the screen writes them.
// "45 s", "12 min", "1 h 05 min"; whole minutes, cut down.
std::string sungTimeText(std::int64_t ms);
// A share of 0 … 1 as "87 %", halves rounded to even.
std::string shareText(double share);

} // namespace cantorix::app
