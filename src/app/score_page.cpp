#include "score_page.h"

#include "fitted_text.h"
#include "session/scoring.h"
#include "session/singer_inputs.h"
#include "song_records_panel.h"

#include <algorithm>
#include <string>

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

// The table stands above the page's buttons (y = 450): headings, then eight rows.
constexpr int kHeadingTop = 118;
constexpr int kFirstRowTop = 150;
constexpr int kRowPitch = 36;
constexpr int kRankWidth = 34;
constexpr int kSwatchCentre = 47;
constexpr int kSwatchSide = 18;
// The swatch's centre below its row's top: the middle of the digits' height.
constexpr int kSwatchMiddle = 14;
constexpr int kNameLeft = 62;
constexpr int kNameWidth = 170;
constexpr int kColumnGap = 6;
constexpr int kPageWidth = 766;
constexpr TColor kHeadingColour = 0x0080D0FF;
// The record column, when any singer has news: two lines of the plain menu font. The figures
// then close up and the names give way, so that the table keeps within the page.
constexpr int kNewsGap = 12;
constexpr int kNewsWidth = 150;
constexpr std::size_t kSharesALine = 5;
constexpr int kPageMargin = 6;
constexpr int kShortestNameWidth = 90;
constexpr int kOneNewsLineDrop = 5;
constexpr int kTwoNewsLinesRise = -2;

struct ColumnLook {
    const char* heading;
    int width;
    int closeWidth; // beside the record column: the heading's width and a little
};
constexpr std::array<ColumnLook, kScoreColumns> kColumns = {{
    {"Notes", 90, 75},
    {"Line Bonus", 110, 95},
    {"Golden Notes", 115, 105},
    {"Total", 95, 80},
    {"Share", 85, 75},
}};

std::size_t columnIndex(ScoreColumn column) {
    return static_cast<std::size_t>(column);
}

std::string swatchMaterialName(std::size_t row) {
    return "ScoreSwatch" + std::to_string(row + 1);
}

// A singer without a name is still told apart from the others: "Singer" and their place in
// the list given.
std::string shownName(const SingerResult& singer, std::size_t index) {
    if (singer.name.empty())
        return "Singer " + std::to_string(index + 1);
    return singer.name;
}

std::string oneLine(std::string name) {
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return name;
}

std::array<std::string, kScoreColumns> figureTexts(const SingerResult& s) {
    std::array<std::string, kScoreColumns> texts;
    texts[columnIndex(ScoreColumn::Notes)] = std::to_string(s.notePoints);
    texts[columnIndex(ScoreColumn::LineBonus)] = std::to_string(s.lineBonus);
    texts[columnIndex(ScoreColumn::GoldenNotes)] =
        s.goldenPoints ? std::to_string(*s.goldenPoints) : std::string();
    texts[columnIndex(ScoreColumn::Total)] = std::to_string(s.total);
    texts[columnIndex(ScoreColumn::Share)] =
        session::possibleShareText(s.notePoints, s.possible).value_or("");
    return texts;
}

TGLLabel& addTableLabel(TGLBaseControl& parent, TGLBitmapFont& font, int left, int top, int width,
                        TAlignment alignment) {
    auto& label = parent.addNewChild<TGLLabel>("");
    label.setBounds(left, top, width, kRowPitch - 4);
    label.setBitmapFont(&font);
    label.setDefaultColor(clWhite);
    label.setAlignment(alignment);
    return label;
}

void fillOneSinger(ScorePageNodes& page, const SingerResult& singer) {
    const session::ScorePageValues v =
        session::scorePageValues(singer.notePoints, singer.lineBonus);
    page.notesValue->setCaption(v.notes);
    page.bonusValue->setCaption(v.bonus);
    page.totalValue->setCaption(v.total);
    // The share is a standard song's measure; the game's rule has no possible points.
    page.shareValue->setCaption(
        session::possibleShareText(singer.notePoints, singer.possible).value_or(""));
    page.scoreGauge->setHeight(v.gaugeHeight);
    page.scoreGauge->setTop(v.gaugeTop);
    std::string news;
    for (const std::string& line : recordNewsLines(singer))
        news += (news.empty() ? "" : "\n") + line;
    page.recordNews->setCaption(news);
}

std::string orDash(const std::string& text) {
    return text.empty() ? "\xE2\x80\x93" : text;
}

// The record column's cell: the news that matters most, then the best before.
std::string newsCell(const SingerResult& singer) {
    // A medley's shares in the order sung, five to a line: ten songs' fit the row, whose
    // heading names the unit.
    if (!singer.songShares.empty()) {
        std::string cell;
        for (std::size_t i = 0; i < singer.songShares.size(); ++i)
            cell += (i == 0             ? ""
                     : i % kSharesALine ? " \xC2\xB7 "
                                        : "\n") +
                    orDash(singer.songShares[i].percent);
        return cell;
    }
    std::string cell = singer.newSongRecord  ? "New song record"
                       : singer.personalBest ? "Personal best"
                                             : "";
    if (singer.previousBest)
        cell +=
            (cell.empty() ? "" : "\n") + ("Previous best " + groupedTotal(*singer.previousBest));
    return cell;
}

// Which columns show: golden notes only where a format has them, the share only where points
// were possible.
std::array<bool, kScoreColumns> shownColumns(const std::vector<SingerResult>& singers) {
    std::array<bool, kScoreColumns> shown{};
    shown.fill(true);
    shown[columnIndex(ScoreColumn::GoldenNotes)] =
        std::any_of(singers.begin(), singers.end(),
                    [](const SingerResult& s) { return s.goldenPoints.has_value(); });
    shown[columnIndex(ScoreColumn::Share)] = std::any_of(
        singers.begin(), singers.end(), [](const SingerResult& s) { return s.possible > 0; });
    return shown;
}

// Places the shown columns side by side after the names, the record column last, and centres
// the table on the page; returns the names' width.
int layOutColumns(ScorePageNodes& page, const std::array<bool, kScoreColumns>& shown,
                  bool newsShown) {
    ScoreTableNodes& table = page.table;
    int figuresWidth = 0;
    for (std::size_t c = 0; c < kScoreColumns; ++c)
        if (shown[c])
            figuresWidth += newsShown ? kColumns[c].closeWidth : kColumns[c].width;
    const int newsWidth = newsShown ? kNewsGap + kNewsWidth : 0;
    const int nameWidth =
        std::clamp(kPageWidth - 2 * kPageMargin - kNameLeft - kColumnGap - figuresWidth - newsWidth,
                   kShortestNameWidth, kNameWidth);
    int left = kNameLeft + nameWidth + kColumnGap;
    for (std::size_t c = 0; c < kScoreColumns; ++c) {
        table.headings[c]->setVisible(shown[c]);
        table.headings[c]->setLeft(left);
        const int width = newsShown ? kColumns[c].closeWidth : kColumns[c].width;
        table.headings[c]->setWidth(width);
        for (ScoreTableRow& row : table.rows) {
            row.figures[c]->setLeft(left);
            row.figures[c]->setWidth(width);
        }
        if (shown[c])
            left += width;
    }
    page.tableNewsHeading->setVisible(newsShown);
    page.tableNewsHeading->setLeft(left + kNewsGap);
    for (TGLLabel* news : page.tableNews)
        news->setLeft(left + kNewsGap);
    left += newsWidth;
    for (ScoreTableRow& row : table.rows)
        row.name->setWidth(nameWidth);
    table.holder->setWidth(left);
    table.holder->setLeft((kPageWidth - left) / 2);
    return nameWidth;
}

void fillTable(GameScene& game, const std::vector<SingerResult>& singers) {
    ScoreTableNodes& table = game.scorePage.table;
    const std::array<bool, kScoreColumns> shown = shownColumns(singers);
    const bool newsShown = std::any_of(singers.begin(), singers.end(), [](const SingerResult& s) {
        return !recordNewsLines(s).empty();
    });
    const int nameWidth = layOutColumns(game.scorePage, shown, newsShown);
    const bool medley = std::any_of(singers.begin(), singers.end(),
                                    [](const SingerResult& s) { return !s.songShares.empty(); });
    game.scorePage.tableNewsHeading->setCaption(medley ? "Songs (%)" : "Record");
    const std::vector<SingerRank> ranks = rankSingers(singers);
    // Fewer rows stand in the middle of the room eight would take. The holder is only as tall as
    // the rows it shows: a control takes the clicks on all of its rectangle, and the room of the
    // unused rows, moved down, would lie over the page's buttons.
    const int used = static_cast<int>(std::min(ranks.size(), table.rows.size()));
    const int unused = static_cast<int>(table.rows.size()) - used;
    table.holder->setTop(kHeadingTop + unused * kRowPitch / 2);
    table.holder->setHeight(kFirstRowTop - kHeadingTop + used * kRowPitch);
    const int tableLeft = table.holder->left();
    const int firstRowTop = table.holder->top() + kFirstRowTop - kHeadingTop;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        ScoreTableRow& row = table.rows[r];
        const bool used = r < ranks.size();
        row.swatch->setVisible(used);
        row.rank->setVisible(used);
        row.name->setVisible(used);
        for (std::size_t c = 0; c < kScoreColumns; ++c)
            row.figures[c]->setVisible(used && shown[c]);
        TGLLabel& news = *game.scorePage.tableNews[r];
        news.setVisible(used && newsShown);
        if (!used)
            continue;
        const SingerResult& singer = singers[ranks[r].singer];
        row.rank->setCaption(std::to_string(ranks[r].place) + ".");
        row.name->setCaption(
            fitToWidth(*row.name->bitmapFont(), shownName(singer, ranks[r].singer), nameWidth));
        row.name->setDefaultColor(singer.colour);
        if (TGLLibMaterial* m = game.materials.lane.materialByName(swatchMaterialName(r)))
            m->setDiffuse(toColorF(singer.colour));
        row.swatch->setPosition(
            {static_cast<float>(tableLeft + kSwatchCentre),
             static_cast<float>(firstRowTop + static_cast<int>(r) * kRowPitch + kSwatchMiddle), 0});
        const std::array<std::string, kScoreColumns> texts = figureTexts(singer);
        for (std::size_t c = 0; c < kScoreColumns; ++c)
            row.figures[c]->setCaption(texts[c]);
        const std::string cell = newsCell(singer);
        news.setCaption(cell);
        // Centred on the row's figures, in one line or two.
        const int rowTop = kFirstRowTop - kHeadingTop + static_cast<int>(r) * kRowPitch;
        news.setTop(rowTop +
                    (cell.find('\n') == std::string::npos ? kOneNewsLineDrop : kTwoNewsLinesRise));
    }
}

} // namespace

std::vector<std::string> recordNewsLines(const SingerResult& singer) {
    std::vector<std::string> lines;
    for (const SongShare& song : singer.songShares)
        lines.push_back(song.title + " " +
                        (song.percent.empty() ? orDash({}) : song.percent + " %"));
    if (!lines.empty())
        return lines;
    if (singer.newSongRecord)
        lines.push_back("New song record");
    if (singer.personalBest)
        lines.push_back("Personal best");
    if (singer.previousBest)
        lines.push_back("Previous best " + groupedTotal(*singer.previousBest));
    return lines;
}

std::vector<SingerRank> rankSingers(const std::vector<SingerResult>& singers) {
    std::vector<SingerRank> ranks;
    for (std::size_t i = 0; i < singers.size(); ++i)
        ranks.push_back({i, 0});
    std::stable_sort(ranks.begin(), ranks.end(), [&](const SingerRank& a, const SingerRank& b) {
        return singers[a.singer].total > singers[b.singer].total;
    });
    for (std::size_t r = 0; r < ranks.size(); ++r) {
        const bool tied =
            r > 0 && singers[ranks[r].singer].total == singers[ranks[r - 1].singer].total;
        ranks[r].place = tied ? ranks[r - 1].place : static_cast<int>(r) + 1;
    }
    return ranks;
}

void fillScorePage(GameScene& game, const std::vector<SingerResult>& singers) {
    ScorePageNodes& page = game.scorePage;
    const bool several = singers.size() > 1;
    for (TGLBaseControl* control : page.soloControls)
        control->setVisible(!several);
    page.recordNews->setVisible(!several);
    page.table.holder->setVisible(several);
    if (several) {
        fillTable(game, singers);
        return;
    }
    for (ScoreTableRow& row : page.table.rows)
        row.swatch->setVisible(false);
    // The hall of fame takes the name in the box: a seated singer's player or slot name, so the
    // entry and the records agree. A singer without a name leaves what was typed there before.
    if (!singers.empty() && !singers.front().name.empty())
        page.playerName->setCaption(oneLine(singers.front().name));
    fillOneSinger(page, singers.empty() ? SingerResult{} : singers.front());
}

std::vector<std::string> hallOfFameEntries(const std::vector<SingerResult>& singers,
                                           std::string_view typedName) {
    if (singers.size() <= 1)
        return {session::hallOfFameEntry(singers.empty() ? 0 : singers.front().total, typedName)};
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < singers.size(); ++i)
        entries.push_back(
            session::hallOfFameEntry(singers[i].total, oneLine(shownName(singers[i], i))));
    return entries;
}

void buildScoreTable(GameScene& game) {
    ScorePageNodes& page = game.scorePage;
    ScoreTableNodes& table = page.table;
    const int rowCount = static_cast<int>(session::kSingerSlots);
    table.holder = &page.guiRoot->addNewChild<TGLBaseControl>("ScoreTable");
    table.holder->setBounds(0, kHeadingTop, kPageWidth,
                            kFirstRowTop - kHeadingTop + rowCount * kRowPitch);
    table.holder->setVisible(false);
    for (std::size_t c = 0; c < kScoreColumns; ++c) {
        TGLLabel& heading = addTableLabel(*table.holder, game.fonts.menu, 0, 0, kColumns[c].width,
                                          TAlignment::taRightJustify);
        heading.setCaption(kColumns[c].heading);
        heading.setDefaultColor(kHeadingColour);
        table.headings[c] = &heading;
    }
    page.tableNewsHeading =
        &addTableLabel(*table.holder, game.fonts.menu, 0, 0, kNewsWidth, TAlignment::taLeftJustify);
    page.tableNewsHeading->setCaption("Record");
    page.tableNewsHeading->setDefaultColor(kHeadingColour);
    for (int r = 0; r < rowCount; ++r) {
        const int top = kFirstRowTop - kHeadingTop + r * kRowPitch;
        ScoreTableRow row;
        row.rank = &addTableLabel(*table.holder, game.fonts.score, 0, top, kRankWidth,
                                  TAlignment::taRightJustify);
        row.name = &addTableLabel(*table.holder, game.fonts.score, kNameLeft, top, kNameWidth,
                                  TAlignment::taLeftJustify);
        for (std::size_t c = 0; c < kScoreColumns; ++c)
            row.figures[c] = &addTableLabel(*table.holder, game.fonts.score, 0, top,
                                            kColumns[c].width, TAlignment::taRightJustify);
        // Two lines in the height of a row of figures.
        TGLLabel& news = addTableLabel(*table.holder, game.fonts.menuPlain, 0, top - 2, kNewsWidth,
                                       TAlignment::taLeftJustify);
        news.setDefaultColor(kHeadingColour);
        news.setHeight(kRowPitch);
        news.setVisible(false);
        page.tableNews.push_back(&news);
        const std::string material = swatchMaterialName(static_cast<std::size_t>(r));
        TGLLibMaterial& colour = game.materials.lane.addMaterial(material);
        colour.setLightingOff(true);
        row.swatch = &page.group->addNewChild<TGLHUDSprite>("");
        row.swatch->setWidth(kSwatchSide);
        row.swatch->setHeight(kSwatchSide);
        row.swatch->setMaterial({&game.materials.lane, material});
        row.swatch->setVisible(false);
        table.rows.push_back(row);
    }
}

} // namespace cantorix::app
