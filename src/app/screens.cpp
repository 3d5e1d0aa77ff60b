#include "screens.h"

#include "stage/hall_of_fame_labels.h"

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

// Switches the interactive root: only a root with Tag 1 is offered mouse presses.
void moveInput(TGLBaseControl& from, TGLBaseControl& to) {
    from.setTag(0);
    to.setTag(1);
}

} // namespace

Screens::Screens(GameScene& game, const session::HallOfFameList& hallOfFame)
    : m_game(game), m_hallOfFame(hallOfFame) {
    connectButtons();
    connectHover();
}

void Screens::connectButtons() {
    GameScene& g = m_game;
    const auto click = [this](void (Screens::*handler)()) {
        return [this, handler](TGLBaseControl&) { (this->*handler)(); };
    };
    g.selection.startButton->onButtonClick = click(&Screens::startSong);
    g.selection.scoresButton->onButtonClick = click(&Screens::showHallOfFame);
    g.selection.editorButton->onButtonClick = click(&Screens::showEditor);
    g.selection.optionsButton->onButtonClick = click(&Screens::showOptions);
    g.scorePage.backButton->onButtonClick = click(&Screens::backToSelection);
    g.hallOfFamePage.backButton->onButtonClick = click(&Screens::leaveHallOfFame);
    g.editorScreen.backButton->onButtonClick = click(&Screens::leaveEditor);
    g.options.backButton->onButtonClick = click(&Screens::leaveOptions);
    g.options.gameplayButton->onButtonClick = click(&Screens::showGameplayPage);
    g.options.soundButton->onButtonClick = click(&Screens::showSoundPage);
    g.options.appearanceButton->onButtonClick = click(&Screens::showAppearancePage);
}

void Screens::connectHover() {
    GameScene& g = m_game;
    for (TGLButton* b : {g.selection.startButton, g.selection.editorButton,
                         g.selection.scoresButton, g.selection.optionsButton, g.singing.playButton,
                         g.singing.rewindButton, g.singing.pauseButton}) {
        b->onMouseMove = [](TGLBaseControl& sender, int, int) { StartMouseMove(sender); };
        b->onMouseLeave = &Screens::StartMouseLeave;
    }
    for (TGLButton* b : {g.selection.previousButton, g.selection.nextButton}) {
        b->onMouseMove = [this](TGLBaseControl& sender, int, int) { LeftarrowMouseMove(sender); };
        b->onMouseLeave = [this](TGLBaseControl& sender) { LeftarrowMouseLeave(sender); };
    }
}

void Screens::startSong() {
    // Without a session to start, the song selection keeps the input.
    if (!startSession)
        return;
    if (m_game.selection.group->visible()) {
        // Refused, the selection keeps the input as well.
        if (mayStart && !mayStart())
            return;
        startSession();
    }
    m_game.selection.guiRoot->setTag(0);
}

void Screens::showHallOfFame() {
    GameScene& g = m_game;
    stage::showHallOfFameRows(*g.hallOfFamePage.table,
                              session::rankHallOfFame(m_hallOfFame.entries()),
                              {&g.fonts.hallOfFame, &g.guiLayout, clWhite});
    g.selection.group->setVisible(false);
    g.hallOfFamePage.group->setVisible(true);
    moveInput(*g.selection.guiRoot, *g.hallOfFamePage.guiRoot);
}

void Screens::leaveHallOfFame() {
    GameScene& g = m_game;
    g.selection.group->setVisible(true);
    g.hallOfFamePage.group->setVisible(false);
    moveInput(*g.hallOfFamePage.guiRoot, *g.selection.guiRoot);
}

void Screens::backToSelection() {
    GameScene& g = m_game;
    g.scorePage.group->setVisible(false);
    g.selection.group->setVisible(true);
    moveInput(*g.scorePage.guiRoot, *g.selection.guiRoot);
    if (leftScorePage)
        leftScorePage();
}

void Screens::showEditor() {
    GameScene& g = m_game;
    g.selection.form->setVisible(false);
    g.selection.ring->setVisible(false);
    g.editorScreen.guiRoot->setVisible(true);
    moveInput(*g.selection.guiRoot, *g.editorScreen.guiRoot);
}

void Screens::leaveEditor() {
    GameScene& g = m_game;
    g.selection.form->setVisible(true);
    g.selection.ring->setVisible(true);
    g.editorScreen.guiRoot->setVisible(false);
    moveInput(*g.editorScreen.guiRoot, *g.selection.guiRoot);
}

void Screens::showOptions() {
    GameScene& g = m_game;
    g.options.form->setVisible(true);
    g.selection.form->setVisible(false);
    g.selection.ring->setVisible(false);
    // Through the page buttons' own click events, so whatever they do runs as on a real click.
    for (TGLButton* page : {g.options.soundButton, g.options.gameplayButton})
        if (page->onButtonClick)
            TGLButton::NotifyEvent(page->onButtonClick)(*page);
}

void Screens::leaveOptions() {
    GameScene& g = m_game;
    g.options.form->setVisible(false);
    g.selection.form->setVisible(true);
    g.selection.ring->setVisible(true);
}

void Screens::showGameplayPage() {
    m_game.options.appearance.page->setVisible(false);
    m_game.options.gameplay.page->setVisible(true);
    m_game.options.sound.page->setVisible(false);
}

void Screens::showSoundPage() {
    m_game.options.gameplay.page->setVisible(false);
    m_game.options.sound.page->setVisible(true);
    m_game.options.appearance.page->setVisible(false);
}

void Screens::showAppearancePage() {
    m_game.options.appearance.page->setVisible(true);
    m_game.options.gameplay.page->setVisible(false);
    m_game.options.sound.page->setVisible(false);
}

void Screens::StartMouseMove(TGLBaseControl& sender) {
    if (auto* button = dynamic_cast<TGLButton*>(&sender))
        button->setLibMaterialName(button->guiLayoutName() + "h");
}

void Screens::StartMouseLeave(TGLBaseControl& sender) {
    if (auto* button = dynamic_cast<TGLButton*>(&sender))
        button->setLibMaterialName(button->guiLayoutName());
}

void Screens::setArrowGamma(TGLBaseControl& sender, float gamma) {
    auto* button = dynamic_cast<TGLButton*>(&sender);
    if (!button)
        return;
    if (TGLLibMaterial* m = m_game.materials.buttons.materialByName(button->bitBtn().name))
        m->texture().setImageGamma(gamma);
}

void Screens::LeftarrowMouseMove(TGLBaseControl& sender) {
    setArrowGamma(sender, 1.4f);
}

void Screens::LeftarrowMouseLeave(TGLBaseControl& sender) {
    setArrowGamma(sender, 0.8f);
}

std::vector<TGLBaseControl*> Screens::keyRoots() const {
    return {m_game.selection.guiRoot, m_game.scorePage.guiRoot,  m_game.editorScreen.guiRoot,
            m_game.singers.guiRoot,   m_game.statistics.guiRoot, m_game.queue.guiRoot,
            m_game.nextUp.guiRoot};
}

void Screens::keyDown(int key) {
    m_keysDown.insert(key);
    if (key == singersKey && showSingers && songListShown()) {
        showSingers();
        return;
    }
    if (key == statisticsKey && showStatistics && songListShown()) {
        showStatistics();
        return;
    }
    if (key == queueKey && showQueue && songListShown()) {
        showQueue();
        return;
    }
    if (key == jukeboxKey && startJukebox && songListShown()) {
        startJukebox();
        return;
    }
    if (key == medleyKey && askMedley && songListShown()) {
        askMedley();
        return;
    }
    // Where the key was pressed decides who hears it: Enter on the singers screen's Back must not
    // also start the song the selection screen shows once Back has run.
    const bool songList = songListShown();
    const bool singers = m_game.singers.guiRoot->tag() == 1;
    const bool statistics = m_game.statistics.guiRoot->tag() == 1;
    const bool queue = m_game.queue.guiRoot->tag() == 1;
    const bool nextUp = m_game.nextUp.guiRoot->tag() == 1;
    if (singingKeyDown && m_game.singing.group->visible())
        singingKeyDown(key);
    for (TGLBaseControl* root : keyRoots())
        root->keyDown(key);
    if (songListKeyDown && songList)
        songListKeyDown(key);
    if (singersKeyDown && singers)
        singersKeyDown(key);
    if (statisticsKeyDown && statistics)
        statisticsKeyDown(key);
    if (queueKeyDown && queue)
        queueKeyDown(key);
    if (nextUpKeyDown && nextUp)
        nextUpKeyDown(key);
}

bool Screens::songListShown() const {
    return m_game.selection.group->visible() && m_game.selection.guiRoot->tag() == 1 &&
           m_game.selection.form->visible();
}

void Screens::keyPress(char32_t ch) {
    for (TGLBaseControl* root : keyRoots())
        root->keyPress(ch);
    if (songListKeyPress && songListShown())
        songListKeyPress(ch);
    // Asks whether Escape is held, not which character came: that is how the key ends a song.
    if (keyIsDown(scene::keys::Escape) && m_game.singing.group->visible() && endSession)
        endSession();
}

void Screens::keyUp(int key) {
    m_keysDown.erase(key);
    for (TGLBaseControl* root : keyRoots())
        root->keyUp(key);
}

} // namespace cantorix::app
