// The singers screen's nodes with its phones panel, and its button and line on the selection
// screen.

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
// The phones panel over the rows: two lines about the server, then two rows of four codes. A
// code is centred in the square between its heading and its written-out address, big enough for
// a code of 37 modules (an address of about 70 characters) at 4 pixels a module with its quiet
// zone.
constexpr int kPhonesLeft = 16;
constexpr int kPhonesTop = 96;
constexpr int kPhonesWidth = 734;
constexpr int kPhonesHeight = 544;
constexpr int kCodesTop = 52;
constexpr int kCodeCellWidth = 183;
constexpr int kCodeCellHeight = 246;
constexpr int kCodeHeading = 20;
constexpr int kCodeSquare = 182;
constexpr int kCodeUrlHeight = 40;
constexpr int kFreeButtonWidth = 110;

TGLLabel& panelText(TGLBaseControl& parent, TGLBitmapFont& font, const std::string& name, int left,
                    int top, int width, TColor colour) {
    auto& label = parent.addNewChild<TGLLabel>(name);
    label.setBounds(left, top, width, 22);
    label.setBitmapFont(&font);
    label.setDefaultColor(colour);
    label.setFocusedColor(colour);
    return label;
}

// The panel's lines and a cell per slot; the screen places each code as its size asks.
void buildPhoneCodes(GameScene& g, PhonesPanelNodes& phones) {
    TGLPanel& panel = *phones.panel;
    phones.port = &panelText(panel, g.fonts.menuPlain, "PhonesPort", 272, 4, 140, clWhite);
    phones.fingerprint =
        &panelText(panel, g.fonts.small, "PhonesFingerprint", 0, 31, kPhonesWidth, kStatusColour);
    phones.problem =
        &panelText(panel, g.fonts.menu, "PhonesProblem", 0, kCodesTop, kPhonesWidth, 0x004080FF);
    for (std::size_t i = 0; i < phones.codes.size(); ++i) {
        PhoneCodeNodes& code = phones.codes[i];
        const std::string n = std::to_string(i + 1);
        const int left = static_cast<int>(i % 4) * kCodeCellWidth;
        const int top = kCodesTop + static_cast<int>(i / 4) * kCodeCellHeight;
        code.heading = &panelText(panel, g.fonts.menu, "PhoneHeading" + n, left, top,
                                  kCodeCellWidth - 1, clWhite);
        code.heading->setAlignment(TAlignment::taCenter);
        auto& picture = panel.addNewChild<TGLButton>("PhoneCode" + n);
        picture.setBounds(left, top + kCodeHeading, kCodeSquare, kCodeSquare);
        // Nearest filtering: a module's edge blurred by a scaled texture is what cameras misread.
        TGLLibMaterial& material = g.materials.stuff.addMaterial("PhoneCode" + n);
        material.texture().setFilters(TextureFilter::Nearest, TextureFilter::Nearest);
        material.setLightingOff(true);
        picture.setBitBtn({&g.materials.stuff, "PhoneCode" + n});
        code.code = &picture;
        code.url =
            &panelText(panel, g.fonts.small, "PhoneUrl" + n, left,
                       top + kCodeHeading + kCodeSquare + 2, kCodeCellWidth - 1, kStatusColour);
        code.url->setHeight(kCodeUrlHeight);
        code.url->setAlignment(TAlignment::taCenter);
        code.seat =
            &panelText(panel, g.fonts.menu, "PhoneSeat" + n, left,
                       top + kCodeHeading + kCodeSquare / 3, kCodeCellWidth - 1, 0x0060E060);
        code.seat->setHeight(kCodeSquare / 2);
        code.seat->setAlignment(TAlignment::taCenter);
    }
}

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
    singers.hint =
        &addScreenText(root, fonts.menuPlain, "SingersHint", 300, 74, 440, kStatusColour);
    singers.hint->setCaption(SingersNodes::kRowsHint);

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
    singers.phonesButton = &addSkinButton(root, "SingersPhones", "Phones (F5)", 140, 642, 130, 34);
    singers.phonesButton->setVisible(false);
    // Hidden until the screen opens it.
    auto& panel = root.addNewChild<TGLPanel>("PhonesPanel");
    panel.setBounds(kPhonesLeft, kPhonesTop, kPhonesWidth, kPhonesHeight);
    panel.setVisible(false);
    singers.phones.panel = &panel;
    singers.phones.address = &addSkinButton(panel, "PhonesAddress", "Address", 0, 0, 260, 28);
    singers.phones.address->setBitmapFont(&fonts.menuPlain);
    buildPhoneCodes(*this, singers.phones);
    for (std::size_t i = 0; i < singers.phones.codes.size(); ++i) {
        TGLButton& release = addSkinButton(
            panel, ("PhoneFree" + std::to_string(i + 1)).c_str(), "Free slot",
            static_cast<int>(i % 4) * kCodeCellWidth + (kCodeCellWidth - kFreeButtonWidth) / 2,
            kCodesTop + static_cast<int>(i / 4) * kCodeCellHeight + kCodeHeading +
                kCodeSquare * 5 / 6,
            kFreeButtonWidth, 28);
        release.setBitmapFont(&fonts.menuPlain);
        release.setVisible(false);
        singers.phones.codes[i].release = &release;
    }

    singers.selectionButton =
        &addSkinButton(*selection.form, "SingersButton", "Singers (F2)", 105, 545, 175, 40);
    singers.noMicrophoneLine =
        &addScreenText(*selection.form, fonts.menu, "NoMicrophone", 296, 553, 369, 0x004080FF);
    singers.noMicrophoneLine->setCaption("no microphone");
    singers.noMicrophoneLine->setVisible(false);
}

} // namespace cantorix::app
