#include "screens.h"

#include "session/hall_of_fame_labels.h"

namespace cantorix::app {

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
    g.Start->onButtonClick = click(&Screens::StartButtonClick);
    g.Scores->onButtonClick = click(&Screens::ScoresButtonClick);
    g.Editor->onButtonClick = click(&Screens::EditorButtonClick);
    g.Options->onButtonClick = click(&Screens::OptionsButtonClick);
    g.GLButton23->onButtonClick = click(&Screens::GLButton23ButtonClick);
    g.GLButton9->onButtonClick = click(&Screens::GLButton9ButtonClick);
    g.GLButton13->onButtonClick = click(&Screens::GLButton13ButtonClick);
    g.Backbutton->onButtonClick = click(&Screens::BackbuttonClick);
    g.Gameplay->onButtonClick = click(&Screens::GameplayClick);
    g.Soundbtn->onButtonClick = click(&Screens::SoundbtnClick);
    g.Apperance->onButtonClick = click(&Screens::ApperanceClick);
}

void Screens::connectHover() {
    GameScene& g = m_game;
    for (TGLButton* b : {g.Start, g.Editor, g.Scores, g.Options, g.Play, g.Rewind, g.Pause}) {
        b->onMouseMove = [](TGLBaseControl& sender, int, int) { StartMouseMove(sender); };
        b->onMouseLeave = &Screens::StartMouseLeave;
    }
    for (TGLButton* b : {g.Leftarrow, g.RightArrow}) {
        b->onMouseMove = [this](TGLBaseControl& sender, int, int) { LeftarrowMouseMove(sender); };
        b->onMouseLeave = [this](TGLBaseControl& sender) { LeftarrowMouseLeave(sender); };
    }
}

void Screens::StartButtonClick() {
    // Without a session to start, the song selection keeps the input.
    if (!startSession)
        return;
    if (m_game.Firstpage->visible()) {
        // Refused, the selection keeps the input as well.
        if (mayStart && !mayStart())
            return;
        startSession();
    }
    m_game.Root1->setTag(0);
}

void Screens::ScoresButtonClick() {
    GameScene& g = m_game;
    session::showHallOfFameRows(*g.Holder, session::rankHallOfFame(m_hallOfFame.entries()),
                                {&g.GLStoredBitmapFont3, &g.GLGuiLayout2, clWhite});
    g.Firstpage->setVisible(false);
    g.Hallofame->setVisible(true);
    moveInput(*g.Root1, *g.Root4);
}

void Screens::GLButton9ButtonClick() {
    GameScene& g = m_game;
    g.Firstpage->setVisible(true);
    g.Hallofame->setVisible(false);
    moveInput(*g.Root4, *g.Root1);
}

void Screens::GLButton23ButtonClick() {
    GameScene& g = m_game;
    g.Scorepage->setVisible(false);
    g.Firstpage->setVisible(true);
    moveInput(*g.root2, *g.Root1);
}

void Screens::EditorButtonClick() {
    GameScene& g = m_game;
    g.GLForm1->setVisible(false);
    g.Ring->setVisible(false);
    g.Root5->setVisible(true);
    moveInput(*g.Root1, *g.Root5);
}

void Screens::GLButton13ButtonClick() {
    GameScene& g = m_game;
    g.GLForm1->setVisible(true);
    g.Ring->setVisible(true);
    g.Root5->setVisible(false);
    moveInput(*g.Root5, *g.Root1);
}

void Screens::OptionsButtonClick() {
    GameScene& g = m_game;
    g.GLForm2->setVisible(true);
    g.GLForm1->setVisible(false);
    g.Ring->setVisible(false);
    // Through the page buttons' own click events, so whatever they do runs as on a real click.
    for (TGLButton* page : {g.Soundbtn, g.Gameplay})
        if (page->onButtonClick)
            TGLButton::NotifyEvent(page->onButtonClick)(*page);
}

void Screens::BackbuttonClick() {
    GameScene& g = m_game;
    g.GLForm2->setVisible(false);
    g.GLForm1->setVisible(true);
    g.Ring->setVisible(true);
}

void Screens::GameplayClick() {
    m_game.Menu3->setVisible(false);
    m_game.Menu1->setVisible(true);
    m_game.Menu2->setVisible(false);
}

void Screens::SoundbtnClick() {
    m_game.Menu1->setVisible(false);
    m_game.Menu2->setVisible(true);
    m_game.Menu3->setVisible(false);
}

void Screens::ApperanceClick() {
    m_game.Menu3->setVisible(true);
    m_game.Menu1->setVisible(false);
    m_game.Menu2->setVisible(false);
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
    if (TGLLibMaterial* m = m_game.Menulyb.materialByName(button->bitBtn().name))
        m->texture().setImageGamma(gamma);
}

void Screens::LeftarrowMouseMove(TGLBaseControl& sender) {
    setArrowGamma(sender, 1.4f);
}

void Screens::LeftarrowMouseLeave(TGLBaseControl& sender) {
    setArrowGamma(sender, 0.8f);
}

std::vector<TGLBaseControl*> Screens::keyRoots() const {
    return {m_game.Root1, m_game.root2, m_game.Root5};
}

void Screens::FormKeyDown(int key) {
    m_keysDown.insert(key);
    for (TGLBaseControl* root : keyRoots())
        root->keyDown(key);
    if (songListKeyDown && songListShown())
        songListKeyDown(key);
}

bool Screens::songListShown() const {
    return m_game.Firstpage->visible() && m_game.Root1->tag() == 1 && m_game.GLForm1->visible();
}

void Screens::FormKeyPress(char32_t ch) {
    for (TGLBaseControl* root : keyRoots())
        root->keyPress(ch);
    if (songListKeyPress && songListShown())
        songListKeyPress(ch);
    // Asks whether Escape is held, not which character came: that is how the key ends a song.
    if (keyIsDown(scene::keys::Escape) && m_game.Singing->visible() && endSession)
        endSession();
}

void Screens::FormKeyUp(int key) {
    m_keysDown.erase(key);
    for (TGLBaseControl* root : keyRoots())
        root->keyUp(key);
}

} // namespace cantorix::app
