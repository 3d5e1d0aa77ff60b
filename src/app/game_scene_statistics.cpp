// The statistics screen's nodes, and its button on the selection screen.

#include "game_scene.h"

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

constexpr int kFirstListTop = 140;
constexpr int kListPitch = 150;
constexpr int kHeadingHeight = 26;
constexpr int kRowPitch = 23;
constexpr TColor kHeadingColour = 0x0080D0FF;
constexpr TColor kNoteColour = 0x00C0C0C0;

} // namespace

void GameScene::buildStatisticsScreen() {
    statistics.group = &m_scene.addNewChild<TGLDummyCube>("Statistics");
    statistics.group->setVisible(false);
    statistics.guiRoot = &addRoot(*statistics.group, "StatisticsRoot", 1000, 1000, 0);
    TGLBaseControl& root = *statistics.guiRoot;
    // The singers screen's frame, so the two read as one family.
    auto& frame = root.addNewChild<TGLPanel>("StatisticsFrame");
    frame.setBounds(8, 56, 750, 630);
    frame.setGuiLayout(&guiLayout);
    frame.setGuiLayoutName("panel");
    statistics.title = &addScreenText(root, fonts.score, "StatisticsTitle", 24, 66, 520, clWhite);
    statistics.previousButton = &addSkinButton(root, "StatisticsPrevious", "<", 560, 64, 40, 32);
    statistics.pageLine =
        &addScreenText(root, fonts.menuPlain, "StatisticsPage", 604, 70, 96, kNoteColour);
    statistics.pageLine->setAlignment(TAlignment::taCenter);
    statistics.nextButton = &addSkinButton(root, "StatisticsNext", ">", 704, 64, 40, 32);
    for (std::size_t i = 0; i < statistics.summary.size(); ++i)
        statistics.summary[i] =
            &addScreenText(root, fonts.menu, "StatisticsFigure" + std::to_string(i + 1),
                           24 + static_cast<int>(i) * 180, 108, 176, clWhite);
    statistics.emptyLine = &addScreenText(root, fonts.menuPlain, "StatisticsEmpty", 24,
                                          kFirstListTop, 700, kNoteColour);

    for (std::size_t i = 0; i < statistics.lists.size(); ++i) {
        StatisticsListNodes& list = statistics.lists[i];
        const int top = kFirstListTop + static_cast<int>(i) * kListPitch;
        const std::string n = std::to_string(i + 1);
        list.heading =
            &addScreenText(root, fonts.menu, "StatisticsList" + n, 24, top, 700, kHeadingColour);
        for (std::size_t r = 0; r < list.rows.size(); ++r) {
            StatisticsRowNodes& row = list.rows[r];
            const int rowTop = top + kHeadingHeight + static_cast<int>(r) * kRowPitch;
            const std::string name = "StatisticsRow" + n + "_" + std::to_string(r + 1);
            row.figure = &addScreenText(root, fonts.menu, name + "Figure", 24, rowTop, 90, clWhite);
            row.figure->setAlignment(TAlignment::taRightJustify);
            row.text =
                &addScreenText(root, fonts.menuPlain, name + "Text", 126, rowTop, 440, clWhite);
            row.note =
                &addScreenText(root, fonts.menuPlain, name + "Note", 576, rowTop, 168, kNoteColour);
        }
    }
    statistics.backButton = &addSkinButton(root, "StatisticsBack", "Back", 30, 642, 100, 34);

    // Below the singers screen's button, clear of the line beside it.
    statistics.selectionButton =
        &addSkinButton(*selection.form, "StatisticsButton", "Statistics (F4)", 105, 593, 175, 40);
}

} // namespace cantorix::app
