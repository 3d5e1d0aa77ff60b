#include "render_fixture.h"

using namespace cantorix::scene;
using namespace cantorix::scene::render;
using namespace cantorix::scene::render::testing;

namespace {

class GuiDrawingTest : public ViewerFixture {
protected:
    void SetUp() override {
        ViewerFixture::SetUp();
        TGLLibMaterial& skin = library.addTextureMaterial("skin", skinImage());
        skin.texture().setFilters(TextureFilter::Nearest, TextureFilter::Nearest);
        layout.add("panel", skinElement(0));
        layout.add("edit", skinElement(0));
        layout.add("button_up", skinElement(0));
        layout.add("button_down", skinElement(12));
        TGLLibMaterial& start = library.addTextureMaterial("Start", buttonPicture());
        start.setBlending(BlendingMode::AlphaTest);
        start.setAlphaThreshold(1.0f);
        start.texture().setTransparentFromTopLeft(true);
        start.texture().setFilters(TextureFilter::Nearest, TextureFilter::Nearest);
        start.texture().setMode(TextureMode::Replace);
        root.setBounds(0, 0, 1000, 1000);
        viewer->addFont(font);
    }

    template <class T> T& addControl(const std::string& name, RectI r) {
        T& control = root.addNewChild<T>(name);
        control.setBounds(r.left, r.top, r.width(), r.height());
        control.setGuiLayout(&layout);
        control.setBitmapFont(&font);
        return control;
    }

    TGLGuiLayout layout{"GLGuiLayout2", MaterialRef{&library, "skin"}};
    TGLBitmapFont font{"Menufont2", FontSpec{"Arial", 16, false, clWhite}, rasterizer};
    TGLDummyCube& background = scene.addNewChild<TGLDummyCube>("Background");
    TGLDummyCube& group = scene.addNewChild<TGLDummyCube>("Firstpage");
    TGLBaseControl& root = group.addNewChild<TGLBaseControl>("Root1");
};

} // namespace

TEST_F(GuiDrawingTest, PanelSkinIsNineSlicedOverItsRectangle) {
    addControl<TGLPanel>("Holder", {50, 500, 150, 580}).setGuiLayoutName("panel");
    root.applyChanges();
    const QImage image = showAndGrab();
    EXPECT_TRUE(hasColour(image, 50, 500, kWhite, 0));
    EXPECT_TRUE(hasColour(image, 149, 579, kWhite, 0));
    EXPECT_TRUE(hasColour(image, 100, 502, kGrey, 0));
    EXPECT_TRUE(hasColour(image, 52, 540, kGrey, 0));
    EXPECT_TRUE(hasColour(image, 100, 540, kCyan, 0));
    EXPECT_TRUE(hasColour(image, 49, 540, kBlack, 0));
    EXPECT_TRUE(hasColour(image, 150, 540, kBlack, 0));
}

TEST_F(GuiDrawingTest, ImageButtonShowsItsPictureAreaWithTheKeyColourTransparent) {
    // Red behind the buttons shows where the picture is transparent.
    addSprite(background, "Back", filled(2, 2, kRed), {300, 430, 0}, 300, 100);
    auto& whole = addControl<TGLButton>("Start", {200, 400, 280, 460});
    whole.setGuiLayoutName("Start"); // no skin of that name: only the picture is drawn
    whole.setBitBtn({&library, "Start"});
    whole.setLogicSize(40, 30);
    auto& part = addControl<TGLButton>("Part", {320, 400, 360, 420});
    part.setBitBtn({&library, "Start"});
    part.setLogicSize(30, 20);
    part.setOffsets(10, 10);
    root.applyChanges();
    const QImage image = showAndGrab();
    // The 40 × 30 picture one to one at the corner: the blue block covers (210, 410)–(230, 420).
    EXPECT_TRUE(hasColour(image, 210, 410, kBlue, 0));
    EXPECT_TRUE(hasColour(image, 229, 419, kBlue, 0));
    EXPECT_TRUE(hasColour(image, 209, 415, kRed, 0));
    EXPECT_TRUE(hasColour(image, 220, 425, kRed, 0));
    EXPECT_TRUE(hasColour(image, 205, 405, kRed, 0));
    EXPECT_TRUE(hasColour(image, 260, 440, kRed, 0)) << "nothing drawn beyond the picture area";
    // Shifted by (10, 10), a 30 × 20 area: the block lands at (340, 420)–(360, 430), past the
    // button's own rectangle.
    EXPECT_TRUE(hasColour(image, 340, 420, kBlue, 0));
    EXPECT_TRUE(hasColour(image, 359, 429, kBlue, 0));
    EXPECT_TRUE(hasColour(image, 335, 415, kRed, 0));
}

TEST_F(GuiDrawingTest, PressedButtonDrawsItsPressedSkinAndCentredCaption) {
    auto& button = addControl<TGLButton>("Back", {550, 600, 650, 630});
    button.setGuiLayoutName("button_up");
    button.setGuiLayoutNamePressed("button_down");
    button.setCaption("Back");
    button.setDefaultColor(clBlack);
    root.applyChanges();
    QImage image = showAndGrab();
    EXPECT_TRUE(hasColour(image, 560, 615, kCyan, 0));
    // Black caption centred on the cyan centre.
    RectI ink{650, 630, 550, 600};
    for (int y = 604; y < 626; ++y)
        for (int x = 554; x < 646; ++x)
            if (pixelAt(image, x, y).g < 128) {
                ink = {std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x + 1),
                       std::max(ink.bottom, y + 1)};
            }
    ASSERT_GT(ink.width(), 0);
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 600, 3);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 615, 4);

    button.setPressed(true);
    root.applyChanges();
    image = viewer->grabFramebuffer();
    EXPECT_TRUE(hasColour(image, 560, 615, kYellow, 0));
}

TEST_F(GuiDrawingTest, LabelCaptionFollowsAlignmentAndFocusedEditShowsItsCaret) {
    auto& label = addControl<TGLLabel>("Name", {400, 100, 600, 140});
    label.setCaption("Label");
    label.setDefaultColor(clWhite);
    label.setAlignment(TAlignment::taRightJustify);
    label.setTextLayout(TTextLayout::tlBottom);
    auto& edit = addControl<TGLEdit>("Input", {400, 680, 600, 710});
    edit.setGuiLayoutName("edit");
    edit.setCaption("ab");
    edit.setFocusedColor(clWhite);
    edit.setSelStart(3);
    edit.setFocus();
    ASSERT_TRUE(edit.focused());
    root.applyChanges();
    const QImage image = showAndGrab();

    const RectI text = litBox(image, {300, 60, 620, 160});
    EXPECT_LE(text.right, 600);
    EXPECT_GE(text.right, 594);
    EXPECT_LE(text.bottom, 140);
    EXPECT_GE(text.top, 140 - font.metrics().lineHeight);

    const int caretX = 404 + font.textWidth("ab");
    EXPECT_TRUE(hasColour(image, caretX, 695, kWhite, 0));
    EXPECT_TRUE(hasColour(image, caretX + 3, 695, kCyan, 0));
    EXPECT_TRUE(hasColour(image, 500, 695, kCyan, 0));
}

TEST_F(GuiDrawingTest, ScrollbarDrawsTrackArrowsAndKnob) {
    auto& bar = addControl<TGLScrollbar>("Bar", {100, 300, 300, 320});
    bar.setGuiLayoutName("panel");
    bar.setGuiLayoutKnobName("button_down");
    bar.setMax(10);
    bar.setPos(5);
    root.applyChanges();
    QImage image = showAndGrab();
    const auto centre = [](RectI r) {
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    };
    const RectI knob = bar.knobRect();
    const RectI dec = bar.decArrowRect();
    ASSERT_GT(knob.width(), 8);
    ASSERT_GT(dec.width(), 8);
    EXPECT_TRUE(hasColour(image, centre(knob).x(), centre(knob).y(), kYellow, 0));
    EXPECT_TRUE(hasColour(image, knob.left, knob.top, kWhite, 0));
    // The arrows: a "button_up" skin with a triangle in the bar's default colour (black).
    EXPECT_TRUE(hasColour(image, centre(dec).x(), centre(dec).y(), kBlack, 0));
    EXPECT_TRUE(hasColour(image, dec.left + 5, dec.top + 5, kCyan, 0));
    const RectI inc = bar.incArrowRect();
    EXPECT_TRUE(hasColour(image, centre(inc).x(), centre(inc).y(), kBlack, 0));
    // The track between the arrow and the knob shows the bar's own skin.
    EXPECT_TRUE(hasColour(image, (dec.right + knob.left) / 2, centre(knob).y(), kCyan, 0));

    // Without a knob skin of its own the knob is drawn as an up button.
    bar.setGuiLayoutKnobName("");
    root.applyChanges();
    image = viewer->grabFramebuffer();
    EXPECT_TRUE(hasColour(image, centre(knob).x(), centre(knob).y(), kCyan, 0));
    EXPECT_TRUE(hasColour(image, knob.left, knob.top, kWhite, 0));
}
