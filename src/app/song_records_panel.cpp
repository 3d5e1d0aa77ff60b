#include "song_records_panel.h"

#include "fitted_text.h"
#include "records/record_texts.h"
#include "songs/song_identity.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

// The panel stands below the Scores and Options buttons, right of the singers' and statistics
// buttons and under the "no microphone" line, out to the screen's right edge: eight lines of
// the plain menu font.
constexpr int kLeft = 296;
constexpr int kTop = 588;
constexpr int kWidth = 460;
constexpr int kPitch = 17;
constexpr int kRows = 8;
constexpr int kColumnGap = 12;
constexpr std::size_t kBestShown = 3;
constexpr std::uint32_t kHeadingColour = 0x0080D0FF;
constexpr std::uint32_t kQuietColour = 0x00C0C0C0;

// The voice whose results are listed: the first singer's in a duet (the first voice when they
// have none yet); a song of one voice has only voice 0.
int shownVoice(bool duet, const std::vector<PanelSinger>& singers) {
    if (!duet)
        return 0;
    if (!singers.empty() && (singers.front().voice == 1 || singers.front().voice == 2))
        return singers.front().voice;
    return 1;
}

std::string voiceTag(int voice) {
    return " (P" + std::to_string(voice) + ")";
}

RecordLine singerLine(const records::RecordBook& book, std::string_view song, bool duet,
                      const PanelSinger& singer) {
    // The player's name now: a rename shows at once.
    const records::Player* player = book.player(*singer.playerId);
    std::string text = player ? player->name : singer.name;
    const std::size_t nameLength = text.size();
    const int voice = duet ? std::clamp(singer.voice, 1, 2) : 0;
    if (duet)
        text += voiceTag(voice);
    const std::optional<records::Performance> best =
        book.bestOf(records::RecordKey{std::string(song), voice}, *singer.playerId);
    text += best ? ": best " + groupedTotal(best->total) : ": not sung yet";
    return {RecordLine::Kind::Singer, std::move(text), singer.colour, 0, nameLength};
}

RecordLine resultLine(const records::RecordBook& book, const records::Performance& result,
                      std::size_t place) {
    const std::string before = std::to_string(place) + ". ";
    const std::string name = book.nameOf(result);
    return {RecordLine::Kind::Result,
            before + name + " " + groupedTotal(result.total) + " " +
                records::difficultyName(result.difficulty) + " " +
                records::localDay(result.sungAtMs),
            book.colourOf(result), before.size(), name.size()};
}

// A line as wide as it may be: the name gives way, never the figures or the day.
std::string fittedLine(TGLBitmapFont& font, const RecordLine& line, int width) {
    if (line.nameLength == 0 || font.textWidth(line.text) <= width)
        return fitToWidth(font, line.text, width);
    const std::string before = line.text.substr(0, line.nameStart);
    const std::string after = line.text.substr(line.nameStart + line.nameLength);
    const int room = width - font.textWidth(before) - font.textWidth(after);
    return before +
           fitToWidth(font, line.text.substr(line.nameStart, line.nameLength), std::max(room, 0)) +
           after;
}

} // namespace

std::string groupedTotal(std::int64_t total) {
    const bool negative = total < 0;
    std::string digits = std::to_string(total);
    if (negative)
        digits.erase(0, 1);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return negative ? "-" + grouped : grouped;
}

std::vector<RecordLine> songRecordLines(const records::RecordBook& book, std::string_view song,
                                        bool duet, const std::vector<PanelSinger>& singers) {
    const int voice = shownVoice(duet, singers);
    std::vector<RecordLine> lines{
        {RecordLine::Kind::Heading, duet ? "Best" + voiceTag(voice) : "Best", kHeadingColour}};
    const std::vector<records::Performance> best =
        book.best(records::RecordKey{std::string(song), voice}, kBestShown);
    for (std::size_t i = 0; i < best.size(); ++i)
        lines.push_back(resultLine(book, best[i], i + 1));
    if (best.empty())
        lines.push_back({RecordLine::Kind::Result, "Not sung yet", kQuietColour});
    for (const PanelSinger& singer : singers)
        if (singer.playerId)
            lines.push_back(singerLine(book, song, duet, singer));
    return lines;
}

SongRecordsPanel::SongRecordsPanel(GameScene& game, const records::RecordBook& book)
    : m_game(game), m_book(book) {
    hideSong();
}

void SongRecordsPanel::showSong(std::string_view artist, std::string_view title, bool duet) {
    m_song = songs::songIdentity(artist, title);
    m_duet = duet;
    refresh();
}

void SongRecordsPanel::hideSong() {
    m_song.reset();
    refresh();
}

void SongRecordsPanel::setSingers(std::vector<PanelSinger> singers) {
    m_singers = std::move(singers);
    refresh();
}

void SongRecordsPanel::refresh() {
    SelectionNodes& nodes = m_game.selection;
    nodes.records->setVisible(m_song.has_value());
    layOut(m_song ? songRecordLines(m_book, *m_song, m_duet, m_singers)
                  : std::vector<RecordLine>{});
}

std::vector<std::string> SongRecordsPanel::shownLines() const {
    return m_shown;
}

// The heading and results take a row each; the singers follow in one column, or in two when
// they would run past the bottom of the screen.
void SongRecordsPanel::layOut(const std::vector<RecordLine>& lines) {
    const std::vector<TGLHUDText*>& texts = m_game.selection.recordLines;
    m_shown.clear();
    const std::size_t count = std::min(lines.size(), texts.size());
    const auto firstSinger =
        std::find_if(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(count),
                     [](const RecordLine& l) { return l.kind == RecordLine::Kind::Singer; });
    const int headRows = static_cast<int>(firstSinger - lines.begin());
    const int singerCount = static_cast<int>(count) - headRows;
    const bool twoColumns = singerCount > kRows - headRows;
    const int singerRows = twoColumns ? (singerCount + 1) / 2 : singerCount;
    const int columnWidth = twoColumns ? (kWidth - kColumnGap) / 2 : kWidth;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        TGLHUDText& text = *texts[i];
        text.setVisible(i < count);
        if (i >= count) {
            text.setText("");
            continue;
        }
        int row = static_cast<int>(i), left = kLeft, width = kWidth;
        if (row >= headRows) {
            const int n = row - headRows;
            row = headRows + n % singerRows;
            left += n / singerRows * (columnWidth + kColumnGap);
            width = columnWidth;
        }
        text.setText(fittedLine(*text.font(), lines[i], width));
        text.setModulateColor(toColorF(lines[i].colour));
        text.setPosition({static_cast<float>(left), static_cast<float>(kTop + row * kPitch), 0});
        m_shown.push_back(text.text());
    }
}

} // namespace cantorix::app
