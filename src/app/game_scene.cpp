#include "game_scene.h"

#include "options_form.h"
#include "score_page.h"

namespace cantorix::app {

using namespace cantorix::scene;

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

SceneMaterials::SceneMaterials(ImageLoader& loader, const std::filesystem::path& programDir)
    : lane("GLMaterialLibrary1", loader, programDir), buttons("Menulyb", loader, programDir),
      covers("Covers", loader, programDir), stuff("Stuff", loader, programDir),
      skin("SkinImages", loader, programDir) {}

std::vector<TGLMaterialLibrary*> SceneMaterials::all() {
    return {&lane, &buttons, &covers, &stuff, &skin};
}

SceneFonts::SceneFonts(GlyphRasterizer& glyphs)
    : songInfo("GLStoredBitmapFont1", font("Arial", 16, true, clSilver), glyphs),
      clock("GLStoredBitmapFont2", font("Digit", 37, false, clWhite), glyphs),
      hallOfFame("GLStoredBitmapFont3", font("Lucida Sans", 37, true, clOlive), glyphs),
      small("GLStoredBitmapFont4", font("MS Sans Serif", 11, false, clWhite), glyphs),
      lyrics("SingingText", font("Arial", 27, true, clWhite), glyphs),
      menu("Menufont1", font("Arial", 16, true, clWhite), glyphs),
      menuPlain("Menufont2", font("Arial", 16, false, clWhite), glyphs),
      score("ScoreFont", font("Arial", 24, false, clWhite), glyphs) {}

std::vector<TGLBitmapFont*> SceneFonts::all() {
    return {&songInfo, &clock, &hallOfFame, &small, &lyrics, &menu, &menuPlain, &score};
}

GameScene::GameScene(ImageLoader& loader, GlyphRasterizer& glyphs,
                     const std::filesystem::path& programDir)
    : materials(loader, programDir), fonts(glyphs),
      guiLayout("GLGuiLayout2", MaterialRef{&materials.skin, "defaultSkin"}) {
    loadMaterials();
    addDefaultSkinElements(guiLayout);

    camera = &m_scene.addNewChild<TGLCamera>("GLCamera1");
    camera->setPosition({30, 0, 0});
    camera->setDepthOfView(300);
    m_scene.addNewChild<TGLLightSource>("GLLightSource1").setPosition({50, 50, 50});
    m_scene.addNewChild<TGLLightSource>("GLLightSource2").setPosition({50, -50, -50});

    buildBackground();
    buildHallOfFame();
    buildFirstPage();
    buildEditorScreen();
    buildScorePage();
    buildSinging();
    buildSingersScreen();
    buildStatisticsScreen();
    buildQueueScreen();
    buildNextUpScreen();
}

void GameScene::loadMaterials() {
    materials.lane.addTextureMaterial("Cover", "data/gfx/song cover.jpg");
    materials.lane.addTextureMaterial("Strip", "data/gfx/strip.tga");
    makeColourMaterial(materials.lane, "Knob1", toColorF(0x00FF8000, 0.82f));
    makeColourMaterial(materials.lane, "Knob2", toColorF(0x0000C0FF, 0.82f));
    makeColourMaterial(materials.lane, "Knob3", toColorF(0x000000FF, 0.82f));
    // Standard songs' note kinds: golden notes in gold, freestyle ones faint (their colours follow
    // the tab colours, set with them), rap notes hollow.
    makeColourMaterial(materials.lane, "KnobGold1", toColorF(0x0000D7FF, 0.9f));
    makeColourMaterial(materials.lane, "KnobGold2", toColorF(0x00A0FFFF, 0.95f));
    makeColourMaterial(materials.lane, "KnobFaint1", toColorF(0x00FF8000, 0.3f));
    makeColourMaterial(materials.lane, "KnobFaint2", toColorF(0x0000C0FF, 0.3f));
    makeColourMaterial(materials.lane, "KnobHole", toColorF(0x00201010, 0.85f));
    materials.lane.addTextureMaterial("Osci", "data/gfx/OsciSkin.tga")
        .setBlending(BlendingMode::Additive);
    materials.lane.addTextureMaterial("Prog", "data/skins/vip/progress.tga");
    // The open frame around the cover slab.
    makeColourMaterial(materials.lane, "LibMaterial", toColorF(0x0040B0E0));

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
        makeButtonMaterial(materials.buttons, b.name, b.file, b.alphaTest, false);
        makeButtonMaterial(materials.buttons, (std::string(b.name) + "h").c_str(), b.file, 1.0f,
                           true);
    }
    makeButtonMaterial(materials.buttons, "Larrow", "data/skins/vip/arrow.tga", 1.0f, false);
    makeButtonMaterial(materials.buttons, "Rarrow", "data/skins/vip/arrow2.tga", 1.0f, false);

    TGLLibMaterial& skin =
        materials.skin.addTextureMaterial("defaultSkin", "data/skins/vip/defaultSkin.tga");
    skin.setBlending(BlendingMode::Transparency);
    skin.texture().setFilters(TextureFilter::Nearest, TextureFilter::Nearest);
    materials.skin.addTextureMaterial("track", "data/gfx/track.tga")
        .setBlending(BlendingMode::Transparency);
    materials.skin.addTextureMaterial("track1", "data/gfx/track1.tga")
        .setBlending(BlendingMode::Transparency);
}

void GameScene::buildBackground() {
    background.group = &m_scene.addNewChild<TGLDummyCube>("Background");
    background.picture = &background.group->addNewChild<TGLHUDSprite>("Bg");
    background.picture->setWidth(766);
    background.picture->setHeight(730);
    background.picture->setPosition({383, 365, 0});
    background.picture->setMaterial({&materials.skin, "Bg"});
}

TGLBaseControl& GameScene::addRoot(TGLDummyCube& group, const char* name, int width, int height,
                                   int tag) {
    auto& root = group.addNewChild<TGLBaseControl>(name);
    root.setBounds(0, 0, width, height);
    root.setTag(tag);
    root.setGuiLayout(&guiLayout);
    return root;
}

TGLButton& GameScene::addImageButton(TGLBaseControl& parent, const char* name, int left, int top,
                                     int width, int height, const char* material, int logicW,
                                     int logicH, int xOff, int yOff) {
    auto& b = parent.addNewChild<TGLButton>(name);
    b.setBounds(left, top, width, height);
    b.setGuiLayout(&guiLayout);
    // The skin has no element of the material's name, so only the picture is drawn.
    b.setGuiLayoutName(material);
    b.setGuiLayoutNamePressed(material);
    b.setBitBtn({&materials.buttons, material});
    b.setLogicSize(logicW, logicH);
    b.setOffsets(xOff, yOff);
    return b;
}

TGLLabel& GameScene::addScreenText(TGLBaseControl& parent, TGLBitmapFont& font,
                                   const std::string& name, int left, int top, int width,
                                   TColor colour) {
    auto& label = parent.addNewChild<TGLLabel>(name);
    label.setBounds(left, top, width, 22);
    label.setBitmapFont(&font);
    label.setDefaultColor(colour);
    label.setFocusedColor(colour);
    return label;
}

TGLButton& GameScene::addSkinButton(TGLBaseControl& parent, const char* name, const char* caption,
                                    int left, int top, int width, int height) {
    auto& b = parent.addNewChild<TGLButton>(name);
    b.setBounds(left, top, width, height);
    b.setCaption(caption);
    b.setBitmapFont(&fonts.menu);
    b.setDefaultColor(clWhite);
    b.setFocusedColor(0x0080D0FF);
    b.setGuiLayout(&guiLayout);
    b.setGuiLayoutName("button_up");
    b.setGuiLayoutNamePressed("button_down");
    return b;
}

void GameScene::buildHallOfFame() {
    hallOfFamePage.group = &m_scene.addNewChild<TGLDummyCube>("Hallofame");
    hallOfFamePage.group->setVisible(false);
    hallOfFamePage.guiRoot = &addRoot(*hallOfFamePage.group, "Root4", 1000, 1000, 0);
    hallOfFamePage.table = &hallOfFamePage.guiRoot->addNewChild<TGLPanel>("Holder");
    hallOfFamePage.table->setBounds(82, 250, 600, 400);
    hallOfFamePage.table->setGuiLayout(&guiLayout);
    hallOfFamePage.table->setGuiLayoutName("panel");
    hallOfFamePage.backButton =
        &addSkinButton(*hallOfFamePage.guiRoot, "GLButton9", "Back", 550, 600, 100, 30);
}

void GameScene::buildFirstPage() {
    selection.group = &m_scene.addNewChild<TGLDummyCube>("Firstpage");
    selection.ring = &selection.group->addNewChild<TGLDummyCube>("Ring");
    selection.ring->setPosition({0, 0, -5});
    selection.cover = &selection.ring->addNewChild<TGLCube>("Cover");
    selection.cover->setSize({0.5f, 3, 3});
    selection.cover->setDirection({0, 0, 1});
    selection.cover->setUp({0, 1, 0});
    selection.cover->setMaterial({&materials.lane, "Cover"});
    selection.coverFrame = &selection.cover->addNewChild<TGLCube>("GLCube1");
    selection.coverFrame->setSize({1, 3.1f, 3.1f});
    selection.coverFrame->setParts(cpTop | cpBottom | cpFront | cpBack);
    selection.coverFrame->setMaterial({&materials.lane, "LibMaterial"});
    buildSelectionTexts();

    selection.guiRoot = &addRoot(*selection.group, "Root1", 1000, 1000, 1);
    selection.form = &selection.guiRoot->addNewChild<TGLForm>("GLForm1");
    selection.form->setBounds(0, 0, 766, 729);
    selection.startButton =
        &addImageButton(*selection.form, "Start", 105, 240, 360, 186, "Start", 359, 250, 0, 8);
    selection.editorButton =
        &addImageButton(*selection.form, "Editor", 105, 445, 175, 91, "Editor", 185, 100, 4, 10);
    selection.scoresButton =
        &addImageButton(*selection.form, "Scores", 296, 445, 175, 91, "Scores", 185, 100, 4, 8);
    selection.optionsButton =
        &addImageButton(*selection.form, "Options", 490, 445, 175, 91, "Options", 185, 100, 4, 8);
    selection.previousButton =
        &addImageButton(*selection.form, "Leftarrow", 480, 350, 30, 32, "Larrow", 40, 40, 6, 8);
    selection.nextButton =
        &addImageButton(*selection.form, "RightArrow", 640, 350, 30, 32, "Rarrow", 40, 40, 12, 8);
    selection.voiceChoice = &selection.form->addNewChild<TGLLabel>("VoiceChoice");
    // Wide enough for every singer's voice; low enough to stay clear of Start's top edge.
    selection.voiceChoice->setBounds(380, 226, 380, 14);
    selection.voiceChoice->setBitmapFont(&fonts.menu);
    selection.voiceChoice->setDefaultColor(0x0080D0FF);
    selection.voiceChoice->setAlignment(TAlignment::taCenter);
    selection.voiceChoice->setVisible(false);
    // The library line is drawn by LibraryStatus; this caption-less label over it takes the
    // click that opens the song problems.
    selection.libraryStatusLink = &selection.form->addNewChild<TGLLabel>("LibraryStatusLink");
    selection.libraryStatusLink->setBounds(470, 424, 200, 21); // clear of Options below

    buildOptionsForm();
}

// The selected song's texts over the ring, and the library line.
void GameScene::buildSelectionTexts() {
    for (auto [text, name, y] : {std::tuple{&selection.artist, "Artist", 255},
                                 std::tuple{&selection.title, "Title", 275}}) {
        *text = &selection.ring->addNewChild<TGLHUDText>(name);
        (*text)->setPosition({570, static_cast<float>(y), 0});
        (*text)->setFont(&fonts.songInfo);
        (*text)->setAlignment(TAlignment::taCenter);
        (*text)->setLayout(TTextLayout::tlTop);
        (*text)->setText(name);
    }
    selection.voices = &selection.ring->addNewChild<TGLHUDText>("Voices");
    selection.voices->setPosition({570, 208, 0});
    selection.voices->setFont(&fonts.songInfo);
    selection.voices->setAlignment(TAlignment::taCenter);
    selection.voices->setLayout(TTextLayout::tlTop);
    selection.voices->setVisible(false);
    for (auto [text, y] :
         {std::pair{&selection.searchText, 180}, std::pair{&selection.libraryStatus, 428}}) {
        *text = &selection.ring->addNewChild<TGLHUDText>(
            text == &selection.searchText ? "SearchText" : "LibraryStatus");
        (*text)->setPosition({570, static_cast<float>(y), 0});
        (*text)->setFont(&fonts.songInfo);
        (*text)->setAlignment(TAlignment::taCenter);
        (*text)->setLayout(TTextLayout::tlTop);
    }
    selection.searchText->setVisible(false);
    // Why the selected song cannot be played, over its artist in place of a duet's voices.
    selection.songProblem = &selection.ring->addNewChild<TGLHUDText>("SongProblem");
    selection.songProblem->setPosition({570, 246, 0});
    selection.songProblem->setFont(&fonts.menuPlain);
    selection.songProblem->setAlignment(TAlignment::taCenter);
    selection.songProblem->setLayout(TTextLayout::tlBottom);
    selection.songProblem->setModulateColor({1.0f, 0.62f, 0.3f, 1.0f});
    selection.songProblem->setVisible(false);
    // When nothing can be played: where songs are looked for, over the empty top of the screen.
    selection.addSongsText = &selection.ring->addNewChild<TGLHUDText>("AddSongsText");
    selection.addSongsText->setPosition({383, 90, 0});
    selection.addSongsText->setFont(&fonts.menuPlain);
    selection.addSongsText->setAlignment(TAlignment::taCenter);
    selection.addSongsText->setLayout(TTextLayout::tlTop);
    selection.addSongsText->setVisible(false);
    // The song book's code in the empty top right, above the ring; drawn once phones may join.
    selection.songBookCode = &selection.ring->addNewChild<TGLHUDSprite>("SongBookCode");
    selection.songBookCode->setPosition({kSongBookCodeX, kSongBookCodeY, 0});
    selection.songBookCode->setMaterial({&materials.skin, "SongBookCode"});
    selection.songBookCode->setVisible(false);
    selection.songBookCaption = &selection.ring->addNewChild<TGLHUDText>("SongBookCaption");
    selection.songBookCaption->setFont(&fonts.menuPlain);
    selection.songBookCaption->setAlignment(TAlignment::taCenter);
    selection.songBookCaption->setLayout(TTextLayout::tlTop);
    selection.songBookCaption->setText("Scan to choose songs");
    selection.songBookCaption->setVisible(false);
    selection.records = &selection.ring->addNewChild<TGLDummyCube>("SongRecords");
    selection.records->setVisible(false);
    // A heading, three results and a line for each singer.
    constexpr std::size_t kRecordLines = 1 + 3 + session::kSingerSlots;
    for (std::size_t i = 0; i < kRecordLines; ++i) {
        auto& line = selection.records->addNewChild<TGLHUDText>("SongRecord" + std::to_string(i));
        line.setFont(&fonts.menuPlain);
        line.setLayout(TTextLayout::tlTop);
        selection.recordLines.push_back(&line);
    }
}

void GameScene::buildOptionsForm() {
    // The form covers the viewer like the first page's, so its controls sit at viewer coordinates.
    options.form = &selection.guiRoot->addNewChild<TGLForm>("GLForm2");
    options.form->setBounds(0, 0, 766, 729);
    options.form->setBitmapFont(&fonts.menu);
    options.form->setVisible(false);
    struct PageButton {
        TGLButton** button;
        const char* name;
        const char* caption;
        int top;
    };
    for (const PageButton& p :
         {PageButton{&options.gameplayButton, "Gameplay", "Gameplay", 250},
          PageButton{&options.soundButton, "Soundbtn", "Sound", 320},
          PageButton{&options.appearanceButton, "Apperance", "Apperance", 390},
          PageButton{&options.backButton, "Backbutton", "Back", 460}}) {
        TGLButton& b = addSkinButton(*options.form, p.name, p.caption, 150, p.top, 200, 60);
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
    for (const Page& p : {Page{&options.gameplay.page, "Menu1", 200, 490, true},
                          Page{&options.sound.page, "Menu2", 265, 300, false},
                          Page{&options.appearance.page, "Menu3", 200, 360, false}}) {
        TGLPanel& panel = options.form->addNewChild<TGLPanel>(p.name);
        panel.setBounds(400, p.top, 280, p.height);
        panel.setGuiLayout(&guiLayout);
        panel.setGuiLayoutName("panel");
        panel.setVisible(p.visible);
        *p.panel = &panel;
    }
    buildOptionsControls(*this);
}

void GameScene::buildEditorScreen() {
    editorScreen.group = &m_scene.addNewChild<TGLDummyCube>("Editorscrn");
    editorScreen.guiRoot = &addRoot(*editorScreen.group, "Root5", 1000, 1000, 0);
    editorScreen.guiRoot->setVisible(false);
    editorScreen.controls = editor::buildEditorControls(*editorScreen.guiRoot, editorLook());
    editorScreen.backButton = editorScreen.controls.backButton;
}

editor::EditorLook GameScene::editorLook() {
    return {guiLayout, fonts.menu, fonts.menuPlain, fonts.small, materials.stuff};
}

void GameScene::buildScorePage() {
    scorePage.group = &m_scene.addNewChild<TGLDummyCube>("Scorepage");
    scorePage.group->setVisible(false);
    scorePage.guiRoot = &addRoot(*scorePage.group, "root2", 50000, 5000, 0);
    scorePage.backButton =
        &addSkinButton(*scorePage.guiRoot, "GLButton23", "Back", 120, 450, 70, 30);
    scorePage.submitButton =
        &addSkinButton(*scorePage.guiRoot, "GLButton7", "Submit", 205, 450, 70, 30);
    scorePage.saveButton =
        &addSkinButton(*scorePage.guiRoot, "GLButton8", "Save", 290, 450, 70, 30);
    buildScoreLabels();
    // On the total's row, right of the gauge, which grows up from below it.
    scorePage.recordNews = &scorePage.guiRoot->addNewChild<TGLLabel>("RecordNews");
    scorePage.recordNews->setBounds(585, 322, 175, 60);
    scorePage.recordNews->setBitmapFont(&fonts.menu);
    scorePage.recordNews->setDefaultColor(0x0080D0FF);
    // Everything but the buttons belongs to the page of one singer.
    for (int i = 0; i < scorePage.guiRoot->count(); ++i)
        if (auto* control = dynamic_cast<TGLBaseControl*>(&scorePage.guiRoot->child(i));
            control && !dynamic_cast<TGLButton*>(control))
            scorePage.soloControls.push_back(control);
    buildScoreTable(*this);
}

void GameScene::buildSinging() {
    singing.group = &m_scene.addNewChild<TGLDummyCube>("Singing");
    singing.group->setVisible(false);
    singing.songBackground = &singing.group->addNewChild<TGLDummyCube>("SongBackground");
    singing.songBackground->setVisible(false);
    // The whole picture, then the slices of it around and behind two bands' strips.
    for (int part = 0; part < 1 + kMostBackgroundSlices; ++part) {
        auto& sprite = singing.songBackground->addNewChild<TGLHUDSprite>();
        sprite.setPosition({383, 365, 0});
        sprite.setWidth(766);
        sprite.setHeight(730);
        sprite.setMaterial({&materials.skin, "SongBackground"});
        sprite.setVisible(part == 0);
    }
    singing.videoHolder = &singing.group->addNewChild<TGLDummyCube>("Tv");
    singing.videoHolder->setPosition({-16.6f, -1, 0.2f});
    // The direction (−1, 0, 0) is the design's quarter turn (−90°) already made: the plane's
    // x-y plane faces the camera and its x axis points to the viewer's left. Turning it once
    // more would show the video plane edge-on.
    singing.videoHolder->setDirection({-1, 0, 0});
    buildLane();

    singing.trackPictures = &singing.group->addNewChild<TGLDummyCube>("Gui");
    singing.timeTrack = &singing.trackPictures->addNewChild<TGLHUDSprite>("Song");
    singing.timeTrack->setPosition({590, 130, 0});
    singing.timeTrack->setWidth(200);
    singing.timeTrack->setHeight(100);
    singing.timeTrack->setMaterial({&materials.skin, "track"});
    singing.oscilloscopeTrack = &singing.trackPictures->addNewChild<TGLHUDSprite>("Vibro");
    singing.oscilloscopeTrack->setPosition({210, 130, 0});
    singing.oscilloscopeTrack->setWidth(260);
    singing.oscilloscopeTrack->setHeight(100);
    singing.oscilloscopeTrack->setMaterial({&materials.skin, "track1"});

    singing.clockDisplay = &singing.group->addNewChild<TGLDummyCube>("Indicator");
    singing.timeText = &singing.clockDisplay->addNewChild<TGLHUDText>("Text");
    singing.timeText->setPosition({608, 90, 0});
    singing.timeText->setFont(&fonts.clock);
    singing.timeText->setAlignment(TAlignment::taCenter);
    singing.timeText->setText("00:00");
    singing.songProgress = &singing.clockDisplay->addNewChild<TGLHUDSprite>("Gauge");
    singing.songProgress->setPosition({502, 159, 0});
    singing.songProgress->setHeight(12);
    singing.songProgress->setWidth(0);
    singing.songProgress->setMaterial({&materials.lane, "Prog"});
    singing.led = &singing.clockDisplay->addNewChild<TGLHUDSprite>("led");
    singing.led->setPosition({675, 157, 0});
    singing.led->setWidth(6);
    singing.led->setHeight(6);
    singing.led->setMaterial({&materials.lane, "Knob3"});
    singing.pointsText = &singing.clockDisplay->addNewChild<TGLHUDText>("Pointtext");
    singing.pointsText->setPosition({490, 40, 0});
    singing.pointsText->setFont(&fonts.songInfo);
    singing.pointsText->setText("P-0");

    singing.guiRoot = &addRoot(*singing.group, "Root3", 50000, 5000, 0);
    singing.pauseButton =
        &addImageButton(*singing.guiRoot, "Pause", 630, 10, 64, 64, "Pause", 65, 64, 4, 4);
    singing.playButton =
        &addImageButton(*singing.guiRoot, "Play", 630, 10, 64, 64, "Play", 65, 64, 4, 4);
    singing.playButton->setVisible(false);
    singing.rewindButton =
        &addImageButton(*singing.guiRoot, "Rewind", 560, 10, 64, 64, "Rewind", 65, 64, 4, 4);
    singing.rewindButton->setVisible(false);
}

} // namespace cantorix::app
