#pragma once
// The selected song's records on the selection screen: the best results of the voice shown and
// the best of each singer bound to a player, read from the book in memory (a few hash lookups per
// song, so the ring never waits for it). Fills SelectionNodes::recordLines; borrows the scene
// and the book. Main thread only.

#include "game_scene.h"
#include "records/record_book.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::app {

// Someone about to sing, as the selection screen knows them.
struct PanelSinger {
    std::optional<std::int64_t> playerId; // none for a guest
    std::string name;
    std::uint32_t colour = 0xFFFFFF;
    int voice = 0; // 0 for a song of one voice, else 1 or 2
};

// One line of the panel, as it is shown.
struct RecordLine {
    enum class Kind { Heading, Result, Singer };
    Kind kind = Kind::Result;
    std::string text;
    std::uint32_t colour = 0xFFFFFF;
    // Where the singer's name stands in the text: what gives way when the line is too wide.
    std::size_t nameStart = 0, nameLength = 0;
};

// What the panel says of a song: the heading ("Best", for a duet "Best (P1)" with the voice of
// the first singer), up to three results "1. Anna 12,340 Medium 2026-12-08" in their singer's
// colour (or "Not sung yet"), then a line per singer bound to a player. Names are not fitted.
std::vector<RecordLine> songRecordLines(const records::RecordBook& book, std::string_view song,
                                        bool duet, const std::vector<PanelSinger>& singers);

// A total as the records show it: digits in groups of three, "12,340".
std::string groupedTotal(std::int64_t total);

class SongRecordsPanel {
public:
    SongRecordsPanel(GameScene& game, const records::RecordBook& book);

    // The selected song (its identity from songs::songIdentity(artist, title)); duet: whether
    // it has two voices.
    void showSong(std::string_view artist, std::string_view title, bool duet);
    // Nothing selected: the panel hides.
    void hideSong();
    // Who sings and in which voice; the panel shows each one's best.
    void setSingers(std::vector<PanelSinger> singers);
    // The book changed (read, a session stored, a player renamed).
    void refresh();

    // The texts shown, top to bottom and left to right; empty while hidden.
    std::vector<std::string> shownLines() const;

private:
    void layOut(const std::vector<RecordLine>& lines);

    GameScene& m_game;
    const records::RecordBook& m_book;
    std::optional<std::string> m_song;
    bool m_duet = false;
    std::vector<PanelSinger> m_singers;
    std::vector<std::string> m_shown;
};

} // namespace cantorix::app
