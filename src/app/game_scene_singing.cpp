// The parts of the designed scene that a singing session draws into: the note lane with its
// staff, the lyric lines, the voice trail, the lead-in bar, the oscilloscope and the labels of
// the score page.

#include "game_scene.h"

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

constexpr int kOscilloscopeBars = 62;

TGLHUDSprite& addSprite(TGLBaseSceneObject& parent, const char* name, float x, float y, float width,
                        float height, const MaterialRef& material) {
    auto& s = parent.addNewChild<TGLHUDSprite>(name);
    s.setPosition({x, y, 0});
    s.setWidth(width);
    s.setHeight(height);
    s.setMaterial(material);
    return s;
}

} // namespace

void GameScene::buildLane() {
    // Drawn in this order: staff, bars, trail, lyrics, then the lead-in bar and oscilloscope.
    singing.staff = &singing.group->addNewChild<TGLDummyCube>("Stages");
    const char* staffNames[] = {"GLHUDSprite1", "GLHUDSprite2",  "GLHUDSprite3",  "GLHUDSprite4",
                                "GLHUDSprite5", "GLHUDSprite6",  "GLHUDSprite7",  "GLHUDSprite8",
                                "GLHUDSprite9", "GLHUDSprite10", "GLHUDSprite12", "GLHUDSprite13"};
    float y = 350;
    for (const char* name : staffNames) {
        addSprite(*singing.staff, name, 400, y, 800, 3, {&materials.lane, "Strip"});
        y += 15;
    }
    singing.noteBars = &singing.group->addNewChild<TGLDummyCube>("Tabulature");
    singing.voiceTrail = &singing.group->addNewChild<TGLDummyCube>("SingTab");
    singing.lyrics = &singing.group->addNewChild<TGLDummyCube>("SingText");
    singing.leadIn = &singing.group->addNewChild<TGLDummyCube>("LeadIn");
    singing.leadInBar =
        &addSprite(*singing.leadIn, "Progress", 0, 600, 0, 20, {&materials.lane, "Prog"});
    singing.oscilloscope = &singing.group->addNewChild<TGLDummyCube>("Oscillo");
    singing.oscilloscopeBars = &singing.oscilloscope->addNewChild<TGLDummyCube>("Sprites");
    // Outside the singing screen: only its width is ever touched.
    singing.lineWidthSprite = &addSprite(*background.group, "GLHUDSprite11", 0, 0, 16, 16, {});
    singing.lineWidthSprite->setVisible(false);
}

void GameScene::addOscilloscopeBars() {
    if (singing.oscilloscopeBars->count() > 0)
        return;
    for (int i = 0; i < kOscilloscopeBars; ++i)
        addSprite(*singing.oscilloscopeBars, "", 95 + 3.7f * static_cast<float>(i), 165, 3.7f, 2,
                  {&materials.lane, "Osci"});
}

void GameScene::buildScoreLabels() {
    struct Row {
        TGLLabel** value;
        const char* caption;
        const char* name;
        int top;
    };
    for (const Row& r : {Row{&scorePage.notesValue, "Notes", "Score1", 230},
                         Row{&scorePage.bonusValue, "Line Bonus", "score2", 280},
                         Row{&scorePage.totalValue, "Total Score", "Total", 330}}) {
        for (auto [left, name, caption] :
             {std::tuple{120, "", r.caption}, std::tuple{300, r.name, "0"}}) {
            auto& label = scorePage.guiRoot->addNewChild<TGLLabel>(name);
            label.setBounds(left, r.top, 170, 30);
            label.setBitmapFont(&fonts.score);
            label.setDefaultColor(clWhite);
            label.setCaption(caption);
            if (*name != '\0')
                *r.value = &label;
        }
    }
    // The share is of the note points, so it stands on their row, not beside the total, which
    // includes the bonus.
    scorePage.shareValue = &scorePage.guiRoot->addNewChild<TGLLabel>("Share");
    scorePage.shareValue->setBounds(400, 230, 90, 30);
    scorePage.shareValue->setBitmapFont(&fonts.score);
    scorePage.shareValue->setDefaultColor(clWhite);
    scorePage.scoreGauge = &scorePage.guiRoot->addNewChild<TGLPanel>("Gauge1");
    scorePage.scoreGauge->setBounds(490, 460, 80, 0);
    scorePage.scoreGauge->setGuiLayout(&guiLayout);
    scorePage.scoreGauge->setGuiLayoutName("panel");
    auto& nameLabel = scorePage.guiRoot->addNewChild<TGLLabel>("GLLabel15");
    nameLabel.setBounds(120, 375, 240, 30);
    nameLabel.setBitmapFont(&fonts.score);
    nameLabel.setDefaultColor(clWhite);
    nameLabel.setCaption("Player Name");
    scorePage.playerName = &scorePage.guiRoot->addNewChild<TGLEdit>("GLEdit2");
    scorePage.playerName->setBounds(120, 415, 240, 30);
    scorePage.playerName->setBitmapFont(&fonts.menuPlain);
    scorePage.playerName->setDefaultColor(clWhite);
    scorePage.playerName->setGuiLayout(&guiLayout);
    scorePage.playerName->setGuiLayoutName("button_down");
    scorePage.playerName->setCaption("Player");

    materials.lane.addMaterial("Colorific").setDiffuse(toColorF(clWhite));
    hallOfFamePage.rowColour = &addSprite(*hallOfFamePage.group, "Colorific", 0, 0, 16, 16,
                                          {&materials.lane, "Colorific"});
    hallOfFamePage.rowColour->setVisible(false);
}

} // namespace cantorix::app
