// The party's screens: the Queue screen, the Next up screen, and their buttons on the selection
// screen.

#include "game_scene.h"

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

constexpr int kRowsTop = 132;
constexpr int kRowPitch = 23;
constexpr int kButtonsTop = 420;
constexpr int kButtonPitch = 40;
constexpr TColor kNoteColour = 0x00C0C0C0;

} // namespace

void GameScene::buildQueueScreen() {
    queue.group = &m_scene.addNewChild<TGLDummyCube>("Queue");
    queue.group->setVisible(false);
    queue.guiRoot = &addRoot(*queue.group, "QueueRoot", 1000, 1000, 0);
    TGLBaseControl& root = *queue.guiRoot;
    // The singers screen's frame, so the party's screens read as the same family.
    auto& frame = root.addNewChild<TGLPanel>("QueueFrame");
    frame.setBounds(8, 56, 750, 630);
    frame.setGuiLayout(&guiLayout);
    frame.setGuiLayoutName("panel");
    queue.title = &addScreenText(root, fonts.score, "QueueTitle", 24, 66, 520, clWhite);
    queue.statusLine =
        &addScreenText(root, fonts.menuPlain, "QueueStatus", 24, 102, 540, kNoteColour);
    queue.emptyLine =
        &addScreenText(root, fonts.menuPlain, "QueueEmpty", 24, kRowsTop, 540, kNoteColour);
    for (std::size_t i = 0; i < queue.rows.size(); ++i) {
        QueueRowNodes& row = queue.rows[i];
        const int top = kRowsTop + static_cast<int>(i) * kRowPitch;
        const std::string name = "QueueRow" + std::to_string(i + 1);
        row.place = &addScreenText(root, fonts.menu, name + "Place", 16, top, 30, clWhite);
        row.place->setAlignment(TAlignment::taRightJustify);
        row.song = &addScreenText(root, fonts.menuPlain, name + "Song", 54, top, 282, clWhite);
        row.singers =
            &addScreenText(root, fonts.menuPlain, name + "Singers", 342, top, 140, clWhite);
        row.starts =
            &addScreenText(root, fonts.menuPlain, name + "Starts", 486, top, 78, kNoteColour);
    }
    const auto button = [&](const char* name, const char* caption, int column, int row) {
        return &addSkinButton(root, name, caption, 24 + column * 182,
                              kButtonsTop + row * kButtonPitch, 174, 34);
    };
    queue.playNextButton = button("QueuePlayNext", "Play next (Enter)", 0, 0);
    queue.moveUpButton = button("QueueMoveUp", "Earlier (PgUp)", 0, 1);
    queue.moveDownButton = button("QueueMoveDown", "Later (PgDn)", 0, 2);
    queue.removeButton = button("QueueRemove", "Take out (Del)", 0, 3);
    queue.pauseButton = button("QueuePause", "Pause (P)", 1, 0);
    queue.rotationButton = button("QueueRotation", "Rotation: on (R)", 1, 1);
    queue.perGuestButton = button("QueuePerGuest", "3 songs a guest", 1, 2);
    queue.clearButton = button("QueueClear", "Clear the queue", 1, 3);
    queue.takeFromQueueButton = button("QueueTake", "Take songs: off (T)", 2, 0);
    queue.guestsButton = button("QueueGuests", "Guests (G)", 2, 1);
    queue.jukeboxButton = button("QueueJukebox", "Jukebox (F7)", 2, 2);
    queue.sungRecentlyButton = button("QueueSungRecently", "Sung recently: refused", 2, 3);
    queue.scorePageButton = button("QueueScorePage", "Score page: 15 s", 0, 4);
    queue.nextUpButton = button("QueueNextUp", "Next up: 20 s", 1, 4);
    // The guests' page puts its own buttons where the entry's stand.
    queue.renameButton = button("QueueRename", "Rename (Enter)", 0, 0);
    queue.linkButton = button("QueueLink", "Link to player (L)", 0, 1);
    queue.removeGuestButton = button("QueueRemoveGuest", "Remove (Del)", 0, 2);
    queue.backButton = &addSkinButton(root, "QueueBack", "Back", 30, 642, 100, 34);

    // The two codes right of the rows: the guests' song book above, the host's own below.
    const auto code = [&](const char* name, const char* captionName, const char* caption,
                          float top) {
        auto& sprite = queue.group->addNewChild<TGLHUDSprite>(name);
        sprite.setPosition({kQueueCodeX, top, 0});
        sprite.setMaterial({&materials.skin, name});
        sprite.setVisible(false);
        auto& text = queue.group->addNewChild<TGLHUDText>(captionName);
        text.setFont(&fonts.menuPlain);
        text.setAlignment(TAlignment::taCenter);
        text.setLayout(TTextLayout::tlTop);
        text.setText(caption);
        text.setVisible(false);
        return std::pair{&sprite, &text};
    };
    std::tie(queue.guestCode, queue.guestCaption) = code(
        "QueueGuestCode", "QueueGuestCaption", "Guests: scan to choose songs", kQueueGuestCodeY);
    std::tie(queue.hostCode, queue.hostCaption) =
        code("QueueHostCode", "QueueHostCaption", "Host: scan to run the queue", kQueueHostCodeY);

    queue.selectionButton =
        &addSkinButton(*selection.form, "QueueButton", "Queue (F6)", 105, 641, 175, 40);
    // Beside the singers screen's button: the song's records lines take the room beside the
    // queue's.
    queue.selectionJukeboxButton =
        &addSkinButton(*selection.form, "JukeboxButton", "Jukebox (F7)", 290, 545, 175, 40);
    selection.medleyButton =
        &addSkinButton(*selection.form, "MedleyButton", "Medley (F8)", 475, 545, 175, 40);
}

void GameScene::buildNextUpScreen() {
    nextUp.group = &m_scene.addNewChild<TGLDummyCube>("NextUp");
    nextUp.group->setVisible(false);
    nextUp.guiRoot = &addRoot(*nextUp.group, "NextUpRoot", 1000, 1000, 0);
    TGLBaseControl& root = *nextUp.guiRoot;
    auto& frame = root.addNewChild<TGLPanel>("NextUpFrame");
    frame.setBounds(8, 56, 750, 630);
    frame.setGuiLayout(&guiLayout);
    frame.setGuiLayoutName("panel");
    nextUp.heading = &addScreenText(root, fonts.score, "NextUpHeading", 24, 66, 700, clWhite);
    nextUp.cover = &nextUp.group->addNewChild<TGLHUDSprite>("NextUpCover");
    nextUp.cover->setPosition({kNextUpCoverX, kNextUpCoverY, 0});
    nextUp.cover->setWidth(kNextUpCoverSize);
    nextUp.cover->setHeight(kNextUpCoverSize);
    nextUp.cover->setVisible(false);
    nextUp.artist = &addScreenText(root, fonts.menu, "NextUpArtist", 290, 120, 450, kNoteColour);
    nextUp.title = &addScreenText(root, fonts.score, "NextUpTitle", 290, 146, 450, clWhite);
    for (std::size_t i = 0; i < nextUp.singers.size(); ++i)
        nextUp.singers[i] = &addScreenText(root, fonts.menu, "NextUpSinger" + std::to_string(i + 1),
                                           290, 196 + static_cast<int>(i) * 26, 450, clWhite);
    nextUp.unseated =
        &addScreenText(root, fonts.menuPlain, "NextUpUnseated", 24, 420, 720, 0x0080D0FF);
    nextUp.howToJoin =
        &addScreenText(root, fonts.menuPlain, "NextUpHowToJoin", 24, 446, 720, kNoteColour);
    nextUp.countdown = &addScreenText(root, fonts.score, "NextUpCountdown", 24, 500, 720, clWhite);
    nextUp.countdown->setAlignment(TAlignment::taCenter);
    nextUp.startButton =
        &addSkinButton(root, "NextUpStart", "Start now (Enter)", 200, 580, 174, 40);
    nextUp.skipButton = &addSkinButton(root, "NextUpSkip", "Skip (S)", 392, 580, 174, 40);
    nextUp.stopButton = &addSkinButton(root, "NextUpStop", "Stop the party", 30, 642, 150, 34);
}

} // namespace cantorix::app
