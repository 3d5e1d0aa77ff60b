#include "game_scene.h"

#include "options_form.h"

namespace cantorix::app {

namespace {

FontSpec font(const char* face, int height, bool bold, TColor colour) {
    return FontSpec{face, height, bold, colour};
}

// Image buttons draw only their picture: alpha test, key colour from the top-left pixel,
// nearest filtering, replace mode. Hover variants are the same picture made brighter.
void makeButtonMaterial(TGLMaterialLibrary& lib, const char* name, const char* file,
                        float alphaTest, bool hover) {
    TGLLibMaterial& m = lib.addTextureMaterial(name, file);
    m.setBlending(BlendingMode::AlphaTest);
    m.setAlphaThreshold(alphaTest);
    m.setLightingOff(true);
    TGLTexture& t = m.texture();
    t.setTransparentFromTopLeft(true);
    t.setFilters(TextureFilter::Nearest, TextureFilter::Nearest);
    t.setMode(TextureMode::Replace);
    if (hover) {
        t.setImageBrightness(1.2f);
        t.setImageGamma(1.2f);
    }
}

void makeColourMaterial(TGLMaterialLibrary& lib, const char* name, ColorF colour) {
    TGLLibMaterial& m = lib.addMaterial(name);
    m.setDiffuse(colour);
    m.setBlending(colour.a < 1.0f ? BlendingMode::Transparency : BlendingMode::Opaque);
    m.setLightingOff(true);
}

} // namespace

GameScene::GameScene(ImageLoader& loader, GlyphRasterizer& glyphs,
                     const std::filesystem::path& programDir)
    : GLMaterialLibrary1("GLMaterialLibrary1", loader, programDir),
      Menulyb("Menulyb", loader, programDir), Covers("Covers", loader, programDir),
      Stuff("Stuff", loader, programDir), SkinImages("SkinImages", loader, programDir),
      GLStoredBitmapFont1("GLStoredBitmapFont1", font("Arial", 16, true, clSilver), glyphs),
      GLStoredBitmapFont2("GLStoredBitmapFont2", font("Digit", 37, false, clWhite), glyphs),
      GLStoredBitmapFont3("GLStoredBitmapFont3", font("Lucida Sans", 37, true, clOlive), glyphs),
      GLStoredBitmapFont4("GLStoredBitmapFont4", font("MS Sans Serif", 11, false, clWhite), glyphs),
      SingingText("SingingText", font("Arial", 27, true, clWhite), glyphs),
      Menufont1("Menufont1", font("Arial", 16, true, clWhite), glyphs),
      Menufont2("Menufont2", font("Arial", 16, false, clWhite), glyphs),
      ScoreFont("ScoreFont", font("Arial", 24, false, clWhite), glyphs),
      GLGuiLayout2("GLGuiLayout2", MaterialRef{&SkinImages, "defaultSkin"}) {
    loadMaterials();
    addDefaultSkinElements(GLGuiLayout2);

    GLCamera1 = &m_scene.addNewChild<TGLCamera>("GLCamera1");
    GLCamera1->setPosition({30, 0, 0});
    GLCamera1->setDepthOfView(300);
    m_scene.addNewChild<TGLLightSource>("GLLightSource1").setPosition({50, 50, 50});
    m_scene.addNewChild<TGLLightSource>("GLLightSource2").setPosition({50, -50, -50});

    buildBackground();
    buildHallOfFame();
    buildFirstPage();
    buildEditorScreen();
    buildScorePage();
    buildSinging();
}

std::vector<TGLMaterialLibrary*> GameScene::libraries() {
    return {&GLMaterialLibrary1, &Menulyb, &Covers, &Stuff, &SkinImages};
}

std::vector<TGLBitmapFont*> GameScene::fonts() {
    return {&GLStoredBitmapFont1, &GLStoredBitmapFont2, &GLStoredBitmapFont3, &GLStoredBitmapFont4,
            &SingingText,         &Menufont1,           &Menufont2,           &ScoreFont};
}

void GameScene::loadMaterials() {
    GLMaterialLibrary1.addTextureMaterial("Cover", "data/gfx/song cover.jpg");
    GLMaterialLibrary1.addTextureMaterial("Strip", "data/gfx/strip.tga");
    makeColourMaterial(GLMaterialLibrary1, "Knob1", toColorF(0x00FF8000, 0.82f));
    makeColourMaterial(GLMaterialLibrary1, "Knob2", toColorF(0x0000C0FF, 0.82f));
    makeColourMaterial(GLMaterialLibrary1, "Knob3", toColorF(0x000000FF, 0.82f));
    // Standard songs' note kinds: golden notes in gold, freestyle ones faint (their colours follow
    // the tab colours, set with them), rap notes hollow.
    makeColourMaterial(GLMaterialLibrary1, "KnobGold1", toColorF(0x0000D7FF, 0.9f));
    makeColourMaterial(GLMaterialLibrary1, "KnobGold2", toColorF(0x00A0FFFF, 0.95f));
    makeColourMaterial(GLMaterialLibrary1, "KnobFaint1", toColorF(0x00FF8000, 0.3f));
    makeColourMaterial(GLMaterialLibrary1, "KnobFaint2", toColorF(0x0000C0FF, 0.3f));
    makeColourMaterial(GLMaterialLibrary1, "KnobHole", toColorF(0x00201010, 0.85f));
    GLMaterialLibrary1.addTextureMaterial("Osci", "data/gfx/OsciSkin.tga")
        .setBlending(BlendingMode::Additive);
    GLMaterialLibrary1.addTextureMaterial("Prog", "data/skins/vip/progress.tga");
    // The open frame around the cover slab.
    makeColourMaterial(GLMaterialLibrary1, "LibMaterial", toColorF(0x0040B0E0));

    struct ButtonImage {
        const char* name;
        const char* file;
        float alphaTest;
    };
    const ButtonImage images[] = {
        {"Start", "data/skins/vip/about.tga", 1.0f},
        {"Editor", "data/skins/vip/editor.tga", 1.0f},
        {"Scores", "data/skins/vip/score.tga", 1.0f},
        {"Options", "data/skins/vip/options.tga", 1.0f},
        {"Play", "data/skins/vip/Play.tga", 1.0f},
        {"Rewind", "data/skins/vip/Rewind.tga", 1.0f},
        {"Pause", "data/skins/vip/Pause.tga", 0.5f},
    };
    for (const ButtonImage& b : images) {
        makeButtonMaterial(Menulyb, b.name, b.file, b.alphaTest, false);
        makeButtonMaterial(Menulyb, (std::string(b.name) + "h").c_str(), b.file, 1.0f, true);
    }
    makeButtonMaterial(Menulyb, "Larrow", "data/skins/vip/arrow.tga", 1.0f, false);
    makeButtonMaterial(Menulyb, "Rarrow", "data/skins/vip/arrow2.tga", 1.0f, false);

    TGLLibMaterial& skin =
        SkinImages.addTextureMaterial("defaultSkin", "data/skins/vip/defaultSkin.tga");
    skin.setBlending(BlendingMode::Transparency);
    skin.texture().setFilters(TextureFilter::Nearest, TextureFilter::Nearest);
    SkinImages.addTextureMaterial("track", "data/gfx/track.tga")
        .setBlending(BlendingMode::Transparency);
    SkinImages.addTextureMaterial("track1", "data/gfx/track1.tga")
        .setBlending(BlendingMode::Transparency);
}

void GameScene::buildBackground() {
    Background = &m_scene.addNewChild<TGLDummyCube>("Background");
    Bg = &Background->addNewChild<TGLHUDSprite>("Bg");
    Bg->setWidth(766);
    Bg->setHeight(730);
    Bg->setPosition({383, 365, 0});
    Bg->setMaterial({&SkinImages, "Bg"});
}

TGLBaseControl& GameScene::addRoot(TGLDummyCube& group, const char* name, int width, int height,
                                   int tag) {
    auto& root = group.addNewChild<TGLBaseControl>(name);
    root.setBounds(0, 0, width, height);
    root.setTag(tag);
    root.setGuiLayout(&GLGuiLayout2);
    return root;
}

TGLButton& GameScene::addImageButton(TGLBaseControl& parent, const char* name, int left, int top,
                                     int width, int height, const char* material, int logicW,
                                     int logicH, int xOff, int yOff) {
    auto& b = parent.addNewChild<TGLButton>(name);
    b.setBounds(left, top, width, height);
    b.setGuiLayout(&GLGuiLayout2);
    // The skin has no element of the material's name, so only the picture is drawn.
    b.setGuiLayoutName(material);
    b.setGuiLayoutNamePressed(material);
    b.setBitBtn({&Menulyb, material});
    b.setLogicSize(logicW, logicH);
    b.setOffsets(xOff, yOff);
    return b;
}

TGLButton& GameScene::addSkinButton(TGLBaseControl& parent, const char* name, const char* caption,
                                    int left, int top, int width, int height) {
    auto& b = parent.addNewChild<TGLButton>(name);
    b.setBounds(left, top, width, height);
    b.setCaption(caption);
    b.setBitmapFont(&Menufont1);
    b.setDefaultColor(clWhite);
    b.setFocusedColor(0x0080D0FF);
    b.setGuiLayout(&GLGuiLayout2);
    b.setGuiLayoutName("button_up");
    b.setGuiLayoutNamePressed("button_down");
    return b;
}

void GameScene::buildHallOfFame() {
    Hallofame = &m_scene.addNewChild<TGLDummyCube>("Hallofame");
    Hallofame->setVisible(false);
    Root4 = &addRoot(*Hallofame, "Root4", 1000, 1000, 0);
    Holder = &Root4->addNewChild<TGLPanel>("Holder");
    Holder->setBounds(82, 250, 600, 400);
    Holder->setGuiLayout(&GLGuiLayout2);
    Holder->setGuiLayoutName("panel");
    GLButton9 = &addSkinButton(*Root4, "GLButton9", "Back", 550, 600, 100, 30);
}

void GameScene::buildFirstPage() {
    Firstpage = &m_scene.addNewChild<TGLDummyCube>("Firstpage");
    Ring = &Firstpage->addNewChild<TGLDummyCube>("Ring");
    Ring->setPosition({0, 0, -5});
    Cover = &Ring->addNewChild<TGLCube>("Cover");
    Cover->setSize({0.5f, 3, 3});
    Cover->setDirection({0, 0, 1});
    Cover->setUp({0, 1, 0});
    Cover->setMaterial({&GLMaterialLibrary1, "Cover"});
    GLCube1 = &Cover->addNewChild<TGLCube>("GLCube1");
    GLCube1->setSize({1, 3.1f, 3.1f});
    GLCube1->setParts(cpTop | cpBottom | cpFront | cpBack);
    GLCube1->setMaterial({&GLMaterialLibrary1, "LibMaterial"});
    for (auto [text, name, y] :
         {std::tuple{&Artist, "Artist", 255}, std::tuple{&Title, "Title", 275}}) {
        *text = &Ring->addNewChild<TGLHUDText>(name);
        (*text)->setPosition({570, static_cast<float>(y), 0});
        (*text)->setFont(&GLStoredBitmapFont1);
        (*text)->setAlignment(TAlignment::taCenter);
        (*text)->setLayout(TTextLayout::tlTop);
        (*text)->setText(name);
    }
    Voices = &Ring->addNewChild<TGLHUDText>("Voices");
    Voices->setPosition({570, 208, 0});
    Voices->setFont(&GLStoredBitmapFont1);
    Voices->setAlignment(TAlignment::taCenter);
    Voices->setLayout(TTextLayout::tlTop);
    Voices->setVisible(false);
    for (auto [text, y] : {std::pair{&SearchText, 180}, std::pair{&LibraryStatus, 428}}) {
        *text =
            &Ring->addNewChild<TGLHUDText>(text == &SearchText ? "SearchText" : "LibraryStatus");
        (*text)->setPosition({570, static_cast<float>(y), 0});
        (*text)->setFont(&GLStoredBitmapFont1);
        (*text)->setAlignment(TAlignment::taCenter);
        (*text)->setLayout(TTextLayout::tlTop);
    }
    SearchText->setVisible(false);
    // Why the selected song cannot be played, over its artist in place of a duet's voices.
    SongProblem = &Ring->addNewChild<TGLHUDText>("SongProblem");
    SongProblem->setPosition({570, 246, 0});
    SongProblem->setFont(&Menufont2);
    SongProblem->setAlignment(TAlignment::taCenter);
    SongProblem->setLayout(TTextLayout::tlBottom);
    SongProblem->setModulateColor({1.0f, 0.62f, 0.3f, 1.0f});
    SongProblem->setVisible(false);
    // When nothing can be played: where songs are looked for, over the empty top of the screen.
    AddSongsText = &Ring->addNewChild<TGLHUDText>("AddSongsText");
    AddSongsText->setPosition({383, 90, 0});
    AddSongsText->setFont(&Menufont2);
    AddSongsText->setAlignment(TAlignment::taCenter);
    AddSongsText->setLayout(TTextLayout::tlTop);
    AddSongsText->setVisible(false);

    Root1 = &addRoot(*Firstpage, "Root1", 1000, 1000, 1);
    GLForm1 = &Root1->addNewChild<TGLForm>("GLForm1");
    GLForm1->setBounds(0, 0, 766, 729);
    Start = &addImageButton(*GLForm1, "Start", 105, 240, 360, 186, "Start", 359, 250, 0, 8);
    Editor = &addImageButton(*GLForm1, "Editor", 105, 445, 175, 91, "Editor", 185, 100, 4, 10);
    Scores = &addImageButton(*GLForm1, "Scores", 296, 445, 175, 91, "Scores", 185, 100, 4, 8);
    Options = &addImageButton(*GLForm1, "Options", 490, 445, 175, 91, "Options", 185, 100, 4, 8);
    Leftarrow = &addImageButton(*GLForm1, "Leftarrow", 480, 350, 30, 32, "Larrow", 40, 40, 6, 8);
    RightArrow = &addImageButton(*GLForm1, "RightArrow", 640, 350, 30, 32, "Rarrow", 40, 40, 12, 8);
    VoiceChoice = &GLForm1->addNewChild<TGLLabel>("VoiceChoice");
    VoiceChoice->setBounds(460, 226, 220, 24);
    VoiceChoice->setBitmapFont(&Menufont1);
    VoiceChoice->setDefaultColor(0x0080D0FF);
    VoiceChoice->setAlignment(TAlignment::taCenter);
    VoiceChoice->setVisible(false);
    // The library line is drawn by LibraryStatus; this caption-less label over it takes the
    // click that opens the song problems.
    LibraryStatusLink = &GLForm1->addNewChild<TGLLabel>("LibraryStatusLink");
    LibraryStatusLink->setBounds(470, 424, 200, 21); // clear of Options below

    buildOptionsForm();
}

void GameScene::buildOptionsForm() {
    // The form covers the viewer like GLForm1, so its controls sit at viewer coordinates.
    GLForm2 = &Root1->addNewChild<TGLForm>("GLForm2");
    GLForm2->setBounds(0, 0, 766, 729);
    GLForm2->setBitmapFont(&Menufont1);
    GLForm2->setVisible(false);
    struct PageButton {
        TGLButton** button;
        const char* name;
        const char* caption;
        int top;
    };
    for (const PageButton& p : {PageButton{&Gameplay, "Gameplay", "Gameplay", 250},
                                PageButton{&Soundbtn, "Soundbtn", "Sound", 320},
                                PageButton{&Apperance, "Apperance", "Apperance", 390},
                                PageButton{&Backbutton, "Backbutton", "Back", 460}}) {
        TGLButton& b = addSkinButton(*GLForm2, p.name, p.caption, 150, p.top, 200, 60);
        b.setGuiLayoutName("panel");
        b.setGuiLayoutNamePressed("panel");
        b.setDefaultColor(16763025);
        b.setFocusedColor(clWhite);
        *p.button = &b;
    }
    struct Page {
        TGLPanel** panel;
        const char* name;
        int top, height;
        bool visible;
    };
    for (const Page& p :
         {Page{&Menu1, "Menu1", 200, 490, true}, Page{&Menu2, "Menu2", 265, 250, false},
          Page{&Menu3, "Menu3", 200, 360, false}}) {
        TGLPanel& panel = GLForm2->addNewChild<TGLPanel>(p.name);
        panel.setBounds(400, p.top, 280, p.height);
        panel.setGuiLayout(&GLGuiLayout2);
        panel.setGuiLayoutName("panel");
        panel.setVisible(p.visible);
        *p.panel = &panel;
    }
    buildOptionsControls(*this);
}

void GameScene::buildEditorScreen() {
    Editorscrn = &m_scene.addNewChild<TGLDummyCube>("Editorscrn");
    Root5 = &addRoot(*Editorscrn, "Root5", 1000, 1000, 0);
    Root5->setVisible(false);
    editorControls = editor::buildEditorControls(*Root5, editorLook());
    GLButton13 = editorControls.backButton;
}

editor::EditorLook GameScene::editorLook() {
    return {GLGuiLayout2, Menufont1, Menufont2, GLStoredBitmapFont4, Stuff};
}

void GameScene::buildScorePage() {
    Scorepage = &m_scene.addNewChild<TGLDummyCube>("Scorepage");
    Scorepage->setVisible(false);
    root2 = &addRoot(*Scorepage, "root2", 50000, 5000, 0);
    GLButton23 = &addSkinButton(*root2, "GLButton23", "Back", 120, 450, 70, 30);
    GLButton7 = &addSkinButton(*root2, "GLButton7", "Submit", 205, 450, 70, 30);
    GLButton8 = &addSkinButton(*root2, "GLButton8", "Save", 290, 450, 70, 30);
    buildScoreLabels();
}

void GameScene::buildSinging() {
    Singing = &m_scene.addNewChild<TGLDummyCube>("Singing");
    Singing->setVisible(false);
    SongBackground = &Singing->addNewChild<TGLHUDSprite>("SongBackground");
    SongBackground->setPosition({383, 365, 0});
    SongBackground->setWidth(766);
    SongBackground->setHeight(730);
    SongBackground->setMaterial({&SkinImages, "SongBackground"});
    SongBackground->setVisible(false);
    Tv = &Singing->addNewChild<TGLDummyCube>("Tv");
    Tv->setPosition({-16.6f, -1, 0.2f});
    // The direction (−1, 0, 0) is the design's quarter turn (−90°) already made: the plane's
    // x-y plane faces the camera and its x axis points to the viewer's left. Turning it once
    // more would show the video plane edge-on.
    Tv->setDirection({-1, 0, 0});
    buildLane();

    Gui = &Singing->addNewChild<TGLDummyCube>("Gui");
    Song = &Gui->addNewChild<TGLHUDSprite>("Song");
    Song->setPosition({590, 130, 0});
    Song->setWidth(200);
    Song->setHeight(100);
    Song->setMaterial({&SkinImages, "track"});
    Vibro = &Gui->addNewChild<TGLHUDSprite>("Vibro");
    Vibro->setPosition({210, 130, 0});
    Vibro->setWidth(260);
    Vibro->setHeight(100);
    Vibro->setMaterial({&SkinImages, "track1"});

    Indicator = &Singing->addNewChild<TGLDummyCube>("Indicator");
    Text = &Indicator->addNewChild<TGLHUDText>("Text");
    Text->setPosition({608, 90, 0});
    Text->setFont(&GLStoredBitmapFont2);
    Text->setAlignment(TAlignment::taCenter);
    Text->setText("00:00");
    Gauge = &Indicator->addNewChild<TGLHUDSprite>("Gauge");
    Gauge->setPosition({502, 159, 0});
    Gauge->setHeight(12);
    Gauge->setWidth(0);
    Gauge->setMaterial({&GLMaterialLibrary1, "Prog"});
    led = &Indicator->addNewChild<TGLHUDSprite>("led");
    led->setPosition({675, 157, 0});
    led->setWidth(6);
    led->setHeight(6);
    led->setMaterial({&GLMaterialLibrary1, "Knob3"});
    Pointtext = &Indicator->addNewChild<TGLHUDText>("Pointtext");
    Pointtext->setPosition({490, 40, 0});
    Pointtext->setFont(&GLStoredBitmapFont1);
    Pointtext->setText("P-0");

    Root3 = &addRoot(*Singing, "Root3", 50000, 5000, 0);
    Pause = &addImageButton(*Root3, "Pause", 630, 10, 64, 64, "Pause", 65, 64, 4, 4);
    Play = &addImageButton(*Root3, "Play", 630, 10, 64, 64, "Play", 65, 64, 4, 4);
    Play->setVisible(false);
    Rewind = &addImageButton(*Root3, "Rewind", 560, 10, 64, 64, "Rewind", 65, 64, 4, 4);
    Rewind->setVisible(false);
}

} // namespace cantorix::app
