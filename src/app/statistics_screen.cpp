#include "statistics_screen.h"

#include "fitted_text.h"
#include "records/record_texts.h"
#include "session/round_half_even.h"

#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

constexpr TColor kNoteColour = 0x00C0C0C0;
constexpr const char* kNothingSung = "Nothing sung yet.";

struct RowText {
    std::string figure, text, note;
    TColor colour = clWhite;
};

// Song titles and names come from files and players: a line break would spill over the rows
// below.
std::string oneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
    return text;
}

void setText(TGLLabel& label, const std::string& text, TColor colour) {
    label.setCaption(label.bitmapFont()
                         ? fitToWidth(*label.bitmapFont(), oneLine(text), label.width())
                         : oneLine(text));
    label.setDefaultColor(colour);
    label.setFocusedColor(colour);
    label.setVisible(true);
}

void fillList(StatisticsListNodes& list, const std::string& heading,
              const std::vector<RowText>& rows, const std::string& whenEmpty) {
    list.heading->setCaption(heading);
    list.heading->setVisible(true);
    if (rows.empty()) {
        setText(*list.rows[0].text, whenEmpty, kNoteColour);
        return;
    }
    for (std::size_t i = 0; i < rows.size() && i < list.rows.size(); ++i) {
        setText(*list.rows[i].figure, rows[i].figure, clWhite);
        setText(*list.rows[i].text, rows[i].text, rows[i].colour);
        setText(*list.rows[i].note, rows[i].note, kNoteColour);
    }
}

std::string songText(const std::string& artist, const std::string& title) {
    return artist.empty() ? title : artist + " \xE2\x80\x93 " + title;
}

std::vector<RowText> songCountRows(const std::vector<records::SongCount>& songs) {
    std::vector<RowText> rows;
    rows.reserve(songs.size());
    for (const records::SongCount& song : songs)
        rows.push_back(
            {std::to_string(song.times) + "\xC3\x97", songText(song.artist, song.title), ""});
    return rows;
}

std::vector<RowText> singerRows(const std::vector<records::SingerRanking>& singers) {
    std::vector<RowText> rows;
    rows.reserve(singers.size());
    for (const records::SingerRanking& singer : singers)
        rows.push_back(
            {std::to_string(singer.total), singer.name,
             std::to_string(singer.performances) + (singer.performances == 1 ? " song" : " songs"),
             singer.colour});
    return rows;
}

std::vector<RowText> bestRows(const std::vector<records::SongBest>& songs) {
    std::vector<RowText> rows;
    rows.reserve(songs.size());
    for (const records::SongBest& song : songs) {
        std::string text = songText(song.artist, song.title);
        if (song.voice > 0)
            text += " (voice " + std::to_string(song.voice) + ")";
        // Songs scored by the game's own rule have no share: 0 says nothing there.
        std::string note = song.share > 0 ? shareText(song.share) + "   " : "";
        rows.push_back({std::to_string(song.total), text, note + records::localDay(song.sungAtMs)});
    }
    return rows;
}

} // namespace

std::string sungTimeText(std::int64_t ms) {
    const std::int64_t seconds = std::max<std::int64_t>(ms, 0) / 1000;
    if (seconds < 60)
        return std::to_string(seconds) + " s";
    const std::int64_t minutes = seconds / 60;
    if (minutes < 60)
        return std::to_string(minutes) + " min";
    const std::int64_t rest = minutes % 60;
    return std::to_string(minutes / 60) + " h " + (rest < 10 ? "0" : "") + std::to_string(rest) +
           " min";
}

std::string shareText(double share) {
    return std::to_string(session::roundHalfEven(100.0 * std::clamp(share, 0.0, 1.0))) + " %";
}

StatisticsScreen::StatisticsScreen(StatisticsScreenParts parts)
    : m_game(parts.game), m_book(parts.book), m_nowMs(std::move(parts.nowMs)),
      m_left(std::move(parts.left)) {
    StatisticsNodes& nodes = m_game.statistics;
    nodes.selectionButton->onButtonClick = [this](TGLBaseControl& sender) {
        static_cast<TGLButton&>(sender).setPressed(false);
        // After the press has been offered to every root: shown at once, the screen's own root
        // would take this press as a click on whatever lies under the pointer.
        QTimer::singleShot(0, [this] { show(); });
    };
    const auto stepBy = [this](int by) {
        return [this, by](TGLBaseControl& sender) {
            static_cast<TGLButton&>(sender).setPressed(false);
            step(by);
        };
    };
    nodes.previousButton->onButtonClick = stepBy(-1);
    nodes.nextButton->onButtonClick = stepBy(1);
    nodes.backButton->onButtonClick = [this](TGLBaseControl& sender) {
        static_cast<TGLButton&>(sender).setPressed(false);
        leave();
    };
}

bool StatisticsScreen::shown() const {
    return m_game.statistics.group->visible();
}

void StatisticsScreen::show() {
    GameScene& g = m_game;
    if (shown())
        return;
    g.selection.form->setVisible(false);
    g.selection.ring->setVisible(false);
    g.statistics.group->setVisible(true);
    g.selection.guiRoot->setTag(0);
    g.statistics.guiRoot->setTag(1);
    m_player.reset();
    showPage();
}

void StatisticsScreen::leave() {
    GameScene& g = m_game;
    if (!shown())
        return;
    g.statistics.group->setVisible(false);
    g.statistics.guiRoot->setTag(0);
    g.selection.form->setVisible(true);
    g.selection.ring->setVisible(true);
    g.selection.guiRoot->setTag(1);
    if (m_left)
        m_left();
}

void StatisticsScreen::keyDown(int key) {
    if (!shown())
        return;
    if (key == keys::Escape)
        leave();
    else if (key == keys::Left || key == keys::Right)
        step(key == keys::Left ? -1 : 1);
}

void StatisticsScreen::refresh() {
    if (shown())
        showPage();
}

void StatisticsScreen::step(int by) {
    const std::vector<records::Player>& players = m_book.players();
    const auto at = std::find_if(players.begin(), players.end(), [&](const records::Player& p) {
        return m_player && p.id == *m_player;
    });
    const auto pages = static_cast<std::ptrdiff_t>(players.size()) + 1;
    const std::ptrdiff_t page = at == players.end() ? 0 : at - players.begin() + 1;
    const std::ptrdiff_t next = ((page + by) % pages + pages) % pages;
    m_player =
        next == 0 ? std::nullopt : std::optional(players[static_cast<std::size_t>(next - 1)].id);
    showPage();
}

void StatisticsScreen::showPage() {
    StatisticsNodes& nodes = m_game.statistics;
    hideAll();
    const std::vector<records::Player>& players = m_book.players();
    const auto at = std::find_if(players.begin(), players.end(), [&](const records::Player& p) {
        return m_player && p.id == *m_player;
    });
    if (at == players.end())
        m_player.reset();
    const bool several = !players.empty();
    nodes.previousButton->setVisible(several);
    nodes.nextButton->setVisible(several);
    nodes.pageLine->setVisible(several);
    nodes.pageLine->setCaption(std::to_string(m_player ? at - players.begin() + 2 : 1) + " / " +
                               std::to_string(players.size() + 1));
    if (m_player)
        showPlayer(records::playerStatistics(m_book, *m_player, kStatisticsListRows));
    else
        showGame();
    nodes.guiRoot->applyChanges();
}

void StatisticsScreen::showGame() {
    StatisticsNodes& nodes = m_game.statistics;
    setText(*nodes.title, "Statistics", clWhite);
    if (m_book.performanceCount() == 0) {
        setText(*nodes.emptyLine, kNothingSung, kNoteColour);
        return;
    }
    const records::GameStatistics stats =
        records::gameStatistics(m_book, m_nowMs ? m_nowMs() : 0, kStatisticsListRows);
    fillList(nodes.lists[0], "Most sung songs", songCountRows(stats.mostSung), kNothingSung);
    fillList(nodes.lists[1], "Top singers of the last 7 days", singerRows(stats.topOfWeek),
             "Nobody finished a song in these 7 days.");
    fillList(nodes.lists[2], "Top singers of all time", singerRows(stats.topOfAllTime),
             "Nobody finished a song yet.");
}

void StatisticsScreen::showPlayer(const records::PlayerStatistics& stats) {
    StatisticsNodes& nodes = m_game.statistics;
    setText(*nodes.title, stats.name, stats.colour);
    if (stats.sessions == 0) {
        setText(*nodes.emptyLine, kNothingSung, kNoteColour);
        return;
    }
    const std::array<std::string, 4> figures = {
        "Sessions: " + std::to_string(stats.sessions), "Songs: " + std::to_string(stats.songs),
        "Time sung: " + sungTimeText(stats.msSung),
        "Average share: " + (stats.averageShare ? shareText(*stats.averageShare) : "none")};
    for (std::size_t i = 0; i < figures.size(); ++i)
        setText(*nodes.summary[i], figures[i], clWhite);
    fillList(nodes.lists[0], "Best songs", bestRows(stats.bestSongs), "No song finished yet.");
    fillList(nodes.lists[1], "Most sung songs", songCountRows(stats.mostSung), kNothingSung);
}

void StatisticsScreen::hideAll() {
    StatisticsNodes& nodes = m_game.statistics;
    for (TGLLabel* figure : nodes.summary)
        figure->setVisible(false);
    nodes.emptyLine->setVisible(false);
    for (StatisticsListNodes& list : nodes.lists) {
        list.heading->setVisible(false);
        for (StatisticsRowNodes& row : list.rows)
            for (TGLLabel* label : {row.figure, row.text, row.note})
                label->setVisible(false);
    }
}

std::vector<std::string> StatisticsScreen::shownLines() const {
    const StatisticsNodes& nodes = m_game.statistics;
    std::vector<std::string> lines = {nodes.title->caption()};
    if (nodes.pageLine->visible())
        lines.push_back(nodes.pageLine->caption());
    for (const TGLLabel* label : nodes.summary)
        if (label->visible())
            lines.push_back(label->caption());
    if (nodes.emptyLine->visible())
        lines.push_back(nodes.emptyLine->caption());
    for (const StatisticsListNodes& list : nodes.lists) {
        if (!list.heading->visible())
            continue;
        lines.push_back(list.heading->caption());
        for (const StatisticsRowNodes& row : list.rows) {
            std::string line;
            for (const TGLLabel* label : {row.figure, row.text, row.note})
                if (label->visible() && !label->caption().empty())
                    line += (line.empty() ? "" : " | ") + label->caption();
            if (!line.empty())
                lines.push_back(line);
        }
    }
    return lines;
}

} // namespace cantorix::app
