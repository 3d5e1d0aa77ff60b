// The singers screen's nodes, and its button and line on the selection screen.

#include "game_scene.h"

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

constexpr int kFirstRowTop = 112;
constexpr int kRowHeight = 62;
constexpr TColor kHintColour = 0x0080D0FF;
constexpr TColor kStatusColour = 0x00C0C0C0;
// The second line of a row: the picture below the colour, then the player's buttons.
constexpr int kPictureSide = 28;
constexpr int kSecondLine = 32;

} // namespace

void GameScene::buildSingersScreen() {
    singers.group = &m_scene.addNewChild<TGLDummyCube>("Singers");
    singers.group->setVisible(false);
    singers.guiRoot = &addRoot(*singers.group, "SingersRoot", 1000, 1000, 0);
    TGLBaseControl& root = *singers.guiRoot;
    const auto smallButton = [&](const std::string& name, const char* caption, int left, int top) {
        TGLButton& button = addSkinButton(root, name.c_str(), caption, left, top, 60, 26);
        button.setBitmapFont(&fonts.menuPlain);
        return &button;
    };
    auto& frame = root.addNewChild<TGLPanel>("SingersFrame");
    frame.setBounds(8, 56, 750, 630);
    frame.setGuiLayout(&guiLayout);
    frame.setGuiLayoutName("panel");
    singers.title = &addScreenText(root, fonts.score, "SingersTitle", 24, 66, 300, clWhite);
    singers.title->setCaption("Singers");
    addScreenText(root, fonts.menuPlain, "SingersHint", 300, 74, 440, kStatusColour)
        .setCaption("Listen, then sing: the microphone heard is the singer's.");

    for (std::size_t i = 0; i < singers.rows.size(); ++i) {
        SingerRowNodes& row = singers.rows[i];
        const int top = kFirstRowTop + static_cast<int>(i) * kRowHeight;
        const std::string n = std::to_string(i + 1);
        row.focusMark = &addScreenText(root, fonts.menu, ("SingerMark" + n).c_str(), 14, top + 4,
                                       14, kHintColour);
        row.focusMark->setCaption(">");
        row.focusMark->setVisible(false);
        row.colour = &addSkinButton(root, ("SingerColour" + n).c_str(), n.c_str(), 30, top, 34, 30);
        row.colour->setGuiLayoutName("button_down");
        row.colour->setBitBtn({&materials.stuff, "ColourButton"});
        row.colour->setLogicSize(34, 30);
        row.colour->setOffsets(3, 5);
        auto& name = root.addNewChild<TGLEdit>("SingerName" + n);
        name.setBounds(70, top, 150, 30);
        name.setBitmapFont(&fonts.menuPlain);
        name.setDefaultColor(clWhite);
        name.setFocusedColor(clWhite);
        name.setGuiLayout(&guiLayout);
        name.setGuiLayoutName("button_down");
        row.name = &name;
        row.input = &addSkinButton(root, ("SingerInput" + n).c_str(), "none", 226, top, 230, 30);
        row.input->setBitmapFont(&fonts.menuPlain);
        row.listen = &addSkinButton(root, ("SingerListen" + n).c_str(), "Listen", 462, top, 70, 30);
        row.listen->setBitmapFont(&fonts.menuPlain);
        row.calibrate =
            &addSkinButton(root, ("SingerCalibrate" + n).c_str(), "Calibrate", 538, top, 80, 30);
        row.calibrate->setBitmapFont(&fonts.menuPlain);
        auto& delay = root.addNewChild<TGLScrollbar>("SingerDelay" + n);
        delay.setBounds(624, top, 120, 30);
        delay.setGuiLayout(&guiLayout);
        delay.setGuiLayoutName("edit");
        delay.setGuiLayoutKnobName("button_up");
        delay.setMin(0);
        delay.setMax(500);
        delay.setPageSize(1);
        delay.setStep(5);
        delay.setPos(0);
        row.delay = &delay;
        const int line = top + kSecondLine;
        auto& picture = root.addNewChild<TGLButton>("SingerPicture" + n);
        picture.setBounds(33, line, kPictureSide, kPictureSide);
        // Its own material, whose picture the screen replaces as the slot's player changes.
        TGLLibMaterial& material = materials.stuff.addMaterial("SingerPicture" + n);
        material.texture().setFilters(TextureFilter::Linear, TextureFilter::Linear);
        material.setLightingOff(true);
        picture.setBitBtn({&materials.stuff, "SingerPicture" + n});
        picture.setLogicSize(kPictureSide, kPictureSide);
        row.picture = &picture;
        row.player = smallButton("SingerPlayer" + n, "Player", 70, line);
        row.choosePicture = smallButton("SingerPictureChoose" + n, "Picture", 134, line);
        row.remove = smallButton("SingerRemove" + n, "Remove", 198, line);
        row.status = &addScreenText(root, fonts.menuPlain, ("SingerStatus" + n).c_str(), 264,
                                    top + kSecondLine + 2, 194, kStatusColour);
        row.meter = &addScreenText(root, fonts.menu, ("SingerLevel" + n).c_str(), 462, top + 32,
                                   120, 0x0060E060);
        row.note = &addScreenText(root, fonts.menu, ("SingerNote" + n).c_str(), 584, top + 32, 40,
                                  clWhite);
        row.delayLabel = &addScreenText(root, fonts.menuPlain, ("SingerDelayText" + n).c_str(), 624,
                                        top + 32, 120, kStatusColour);
        row.delayLabel->setAlignment(TAlignment::taCenter);
    }
    singers.inputsLine =
        &addScreenText(root, fonts.menuPlain, "InputsLine", 30, 612, 710, kHintColour);
    singers.backButton = &addSkinButton(root, "SingersBack", "Back", 30, 642, 100, 34);

    singers.selectionButton =
        &addSkinButton(*selection.form, "SingersButton", "Singers (F2)", 105, 545, 175, 40);
    singers.noMicrophoneLine =
        &addScreenText(*selection.form, fonts.menu, "NoMicrophone", 296, 553, 369, 0x004080FF);
    singers.noMicrophoneLine->setCaption("no microphone");
    singers.noMicrophoneLine->setVisible(false);
}

} // namespace cantorix::app
