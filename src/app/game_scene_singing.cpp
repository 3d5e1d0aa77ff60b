// The parts of the designed scene that a singing session draws into: the note lane with its
// staff, the lyric lines, the voice trail, the lead-in bar, the oscilloscope and the labels of
// the score page.

#include "game_scene.h"

namespace cantorix::app {

namespace {

constexpr int kOscilloscopeBars = 62;

TGLHUDSprite& addSprite(TGLBaseSceneObject& parent, const char* name, float x, float y, float width,
                        float height, MaterialRef material) {
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
    Stages = &Singing->addNewChild<TGLDummyCube>("Stages");
    const char* staffNames[] = {"GLHUDSprite1", "GLHUDSprite2",  "GLHUDSprite3",  "GLHUDSprite4",
                                "GLHUDSprite5", "GLHUDSprite6",  "GLHUDSprite7",  "GLHUDSprite8",
                                "GLHUDSprite9", "GLHUDSprite10", "GLHUDSprite12", "GLHUDSprite13"};
    float y = 350;
    for (const char* name : staffNames) {
        addSprite(*Stages, name, 400, y, 800, 3, {&GLMaterialLibrary1, "Strip"});
        y += 15;
    }
    Tabulature = &Singing->addNewChild<TGLDummyCube>("Tabulature");
    SingTab = &Singing->addNewChild<TGLDummyCube>("SingTab");
    SingText = &Singing->addNewChild<TGLDummyCube>("SingText");
    LeadIn = &Singing->addNewChild<TGLDummyCube>("LeadIn");
    Progress = &addSprite(*LeadIn, "Progress", 0, 600, 0, 20, {&GLMaterialLibrary1, "Prog"});
    Oscillo = &Singing->addNewChild<TGLDummyCube>("Oscillo");
    Sprites = &Oscillo->addNewChild<TGLDummyCube>("Sprites");
    Point = &Singing->addNewChild<TGLDummyCube>("Point");
    // Outside the singing screen: only its width is ever touched.
    GLHUDSprite11 = &addSprite(*Background, "GLHUDSprite11", 0, 0, 16, 16, {});
    GLHUDSprite11->setVisible(false);
}

void GameScene::addOscilloscopeBars() {
    if (Sprites->count() > 0)
        return;
    for (int i = 0; i < kOscilloscopeBars; ++i)
        addSprite(*Sprites, "", 95 + 3.7f * static_cast<float>(i), 165, 3.7f, 2,
                  {&GLMaterialLibrary1, "Osci"});
}

void GameScene::buildScoreLabels() {
    struct Row {
        TGLLabel** value;
        const char* caption;
        const char* name;
        int top;
    };
    for (const Row& r :
         {Row{&Score1, "Notes", "Score1", 230}, Row{&score2, "Line Bonus", "score2", 280},
          Row{&Total, "Total Score", "Total", 330}}) {
        for (auto [left, name, caption] :
             {std::tuple{120, "", r.caption}, std::tuple{300, r.name, "0"}}) {
            auto& label = root2->addNewChild<TGLLabel>(name);
            label.setBounds(left, r.top, 170, 30);
            label.setBitmapFont(&ScoreFont);
            label.setDefaultColor(clWhite);
            label.setCaption(caption);
            if (*name != '\0')
                *r.value = &label;
        }
    }
    // The share is of the note points, so it stands on their row, not beside the total, which
    // includes the bonus.
    Share = &root2->addNewChild<TGLLabel>("Share");
    Share->setBounds(400, 230, 90, 30);
    Share->setBitmapFont(&ScoreFont);
    Share->setDefaultColor(clWhite);
    Gauge1 = &root2->addNewChild<TGLPanel>("Gauge1");
    Gauge1->setBounds(490, 460, 80, 0);
    Gauge1->setGuiLayout(&GLGuiLayout2);
    Gauge1->setGuiLayoutName("panel");
    auto& nameLabel = root2->addNewChild<TGLLabel>("GLLabel15");
    nameLabel.setBounds(120, 375, 240, 30);
    nameLabel.setBitmapFont(&ScoreFont);
    nameLabel.setDefaultColor(clWhite);
    nameLabel.setCaption("Player Name");
    GLEdit2 = &root2->addNewChild<TGLEdit>("GLEdit2");
    GLEdit2->setBounds(120, 415, 240, 30);
    GLEdit2->setBitmapFont(&Menufont2);
    GLEdit2->setDefaultColor(clWhite);
    GLEdit2->setGuiLayout(&GLGuiLayout2);
    GLEdit2->setGuiLayoutName("button_down");
    GLEdit2->setCaption("Player");

    GLMaterialLibrary1.addMaterial("Colorific").setDiffuse(toColorF(clWhite));
    Colorific =
        &addSprite(*Hallofame, "Colorific", 0, 0, 16, 16, {&GLMaterialLibrary1, "Colorific"});
    Colorific->setVisible(false);
}

} // namespace cantorix::app
