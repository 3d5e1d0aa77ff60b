#include "render_fixture.h"

using namespace cantorix::scene;
using namespace cantorix::scene::render;
using namespace cantorix::scene::render::testing;

namespace {
class SceneDrawingTest : public ViewerFixture {};
} // namespace

TEST_F(SceneDrawingTest, SpriteCoversItsRectangleCentredOnItsPosition) {
    addSprite(scene, "Solid", filled(4, 4, kSpriteColour), {100, 100, 0}, 60, 40);
    const QImage image = showAndGrab();
    EXPECT_TRUE(hasColour(image, 70, 80, kSpriteColour, 2));
    EXPECT_TRUE(hasColour(image, 129, 119, kSpriteColour, 2));
    EXPECT_TRUE(hasColour(image, 100, 100, kSpriteColour, 2));
    EXPECT_TRUE(hasColour(image, 69, 100, kBlack, 0));
    EXPECT_TRUE(hasColour(image, 130, 100, kBlack, 0));
    EXPECT_TRUE(hasColour(image, 100, 79, kBlack, 0));
    EXPECT_TRUE(hasColour(image, 100, 120, kBlack, 0));
    // The grab is opaque everywhere: no alpha fringes from the framebuffer.
    EXPECT_EQ(qAlpha(image.pixel(100, 100)), 255);
    EXPECT_EQ(qAlpha(image.pixel(5, 5)), 255);
}

TEST_F(SceneDrawingTest, MaterialsBlendModulateAndReplaceAsSet) {
    auto& back = addSprite(scene, "Back", filled(2, 2, kRed), {200, 100, 0}, 300, 100);
    (void)back;
    auto& add = addSprite(scene, "Add", filled(2, 2, kGreen), {100, 100, 0}, 40, 40);
    library.materialByName("Add")->setBlending(BlendingMode::Additive);
    library.materialByName("Add")->setDiffuse({1, 1, 1, 0.5f});
    auto& half = addSprite(scene, "Half", filled(2, 2, kBlue), {200, 100, 0}, 40, 40);
    library.materialByName("Half")->setBlending(BlendingMode::Transparency);
    library.materialByName("Half")->setDiffuse({1, 1, 1, 0.5f});
    auto& tinted = addSprite(scene, "Tinted", filled(2, 2, kWhite), {300, 100, 0}, 20, 20);
    library.materialByName("Tinted")->setDiffuse({0, 0, 1, 1});
    auto& replaced = addSprite(scene, "Replaced", filled(2, 2, kWhite), {330, 100, 0}, 20, 20);
    library.materialByName("Replaced")->setDiffuse({0, 0, 1, 1});
    library.materialByName("Replaced")->texture().setMode(TextureMode::Replace);
    (void)add, (void)half, (void)tinted, (void)replaced;

    const QImage image = showAndGrab();
    EXPECT_TRUE(hasColour(image, 100, 100, {255, 128, 0}, 3));
    EXPECT_TRUE(hasColour(image, 200, 100, {128, 0, 128}, 3));
    EXPECT_TRUE(hasColour(image, 300, 100, kBlue, 0));
    EXPECT_TRUE(hasColour(image, 330, 100, kWhite, 0));
}

// Consecutive sprites of plain colours, of one picture and texts of one font go to GL together:
// each keeps its own colour, part of the picture and place in the drawing order.
TEST_F(SceneDrawingTest, BatchedSpritesAndTextsKeepTheirOwnColoursAndParts) {
    Image halves = filled(4, 4, kRed);
    fillRect(halves, {0, 2, 4, 4}, kBlue);
    auto& whole = addSprite(scene, "Halves", halves, {40, 100, 0}, 40, 40);
    auto& bottomHalf = scene.addNewChild<TGLHUDSprite>();
    bottomHalf.setPosition({100, 100, 0});
    bottomHalf.setWidth(40);
    bottomHalf.setHeight(40);
    bottomHalf.setMaterial(whole.material());
    bottomHalf.setPicturePart({0, 0.5f, 1, 1});
    bottomHalf.setModulateColor({0.5f, 0.5f, 0.5f, 1});
    const std::pair<const char*, ColorF> plain[] = {
        {"PlainRed", {1, 0, 0, 1}}, {"PlainGreen", {0, 1, 0, 1}}, {"HalfWhite", {1, 1, 1, 0.5f}}};
    float x = 160;
    for (const auto& [name, colour] : plain) {
        TGLLibMaterial& material = library.addMaterial(name);
        material.setDiffuse(colour);
        material.setBlending(colour.a < 1 ? BlendingMode::Transparency : BlendingMode::Opaque);
        auto& sprite = scene.addNewChild<TGLHUDSprite>();
        sprite.setPosition({x, 100, 0});
        sprite.setWidth(40);
        sprite.setHeight(40);
        sprite.setMaterial({&library, name});
        x += 50;
    }
    TGLBitmapFont font("Font", FontSpec{"Arial", 24, true, clWhite}, rasterizer);
    viewer->addFont(font);
    for (const auto& [left, tint] :
         {std::pair{400.0f, ColorF{1, 0, 0, 1}}, std::pair{460.0f, ColorF{0, 0, 1, 1}}}) {
        auto& text = scene.addNewChild<TGLHUDText>();
        text.setFont(&font);
        text.setText("MM");
        text.setPosition({left, 90, 0});
        text.setModulateColor(tint);
    }
    // Drawn after the texts, over the first one's left part.
    addSprite(scene, "Over", filled(2, 2, kGreen), {405, 100, 0}, 10, 40);

    const QImage image = showAndGrab();
    EXPECT_TRUE(hasColour(image, 40, 90, kRed, 0));
    EXPECT_TRUE(hasColour(image, 40, 110, kBlue, 0));
    EXPECT_TRUE(hasColour(image, 100, 90, {0, 0, 128}, 2)) << "the bottom half, darkened";
    EXPECT_TRUE(hasColour(image, 100, 110, {0, 0, 128}, 2));
    EXPECT_TRUE(hasColour(image, 160, 100, kRed, 0));
    EXPECT_TRUE(hasColour(image, 210, 100, kGreen, 0));
    EXPECT_TRUE(hasColour(image, 260, 100, {128, 128, 128}, 2)) << "half white over black";
    const RectI red = litBox(image, {412, 80, 455, 130});
    const RectI blue = litBox(image, {455, 80, 520, 130});
    ASSERT_GT(red.width(), 0);
    ASSERT_GT(blue.width(), 0);
    bool redLetters = false, blueLetters = false;
    for (int px = red.left; px < blue.right; ++px)
        for (int py = red.top; py < red.bottom; ++py) {
            const Rgb c = pixelAt(image, px, py);
            redLetters |= px < 455 && c.r > 150 && c.g == 0 && c.b == 0;
            blueLetters |= px >= 455 && c.b > 150 && c.r == 0 && c.g == 0;
        }
    EXPECT_TRUE(redLetters && blueLetters);
    EXPECT_TRUE(hasColour(image, 405, 100, kGreen, 0)) << "the sprite after the texts is on top";
}

TEST_F(SceneDrawingTest, CoverCubeFacesTheCameraUprightInsideItsFrame) {
    Image cover(64, 64);
    cover = filled(64, 64, kRed);
    fillRect(cover, {32, 0, 64, 32}, kGreen);
    fillRect(cover, {0, 32, 32, 64}, kBlue);
    fillRect(cover, {32, 32, 64, 64}, kYellow);
    library.addTextureMaterial("Cover", cover);
    library.addTextureMaterial("Frame", filled(4, 4, kWhite));
    auto& ring = scene.addNewChild<TGLDummyCube>("Ring");
    ring.setPosition({0, 0, -5});
    auto& cube = ring.addNewChild<TGLCube>("Cover");
    cube.setSize({0.5f, 3, 3});
    cube.setMaterial({&library, "Cover"});
    auto& frame = cube.addNewChild<TGLCube>("GLCube1");
    frame.setSize({1, 3.1f, 3.1f});
    frame.setParts(cpTop | cpBottom | cpFront | cpBack);
    frame.setMaterial({&library, "Frame"});

    const QImage image = showAndGrab();
    // The +x face is centred near (573.6, 364.5) and 114 pixels square.
    EXPECT_TRUE(hasColour(image, 545, 336, kRed));
    EXPECT_TRUE(hasColour(image, 602, 336, kGreen));
    EXPECT_TRUE(hasColour(image, 545, 393, kBlue));
    EXPECT_TRUE(hasColour(image, 602, 393, kYellow));
    EXPECT_TRUE(hasColour(image, 572, 300, kBlack, 0));
    EXPECT_TRUE(hasColour(image, 640, 364, kBlack, 0));
    // The frame's +z side is seen edge-on left of the cover; its open ±x sides show the cover.
    EXPECT_TRUE(hasColour(image, 513, 364, kWhite, 40));

    // A turn about up moves the face's centre off the ring's projection.
    cube.setTurnAngle(90);
    const QImage turned = viewer->grabFramebuffer();
    EXPECT_FALSE(hasColour(turned, 545, 336, kRed));
}

TEST_F(SceneDrawingTest, HudTextIsAnchoredAlignedAndTinted) {
    TGLBitmapFont font("GLStoredBitmapFont1", FontSpec{"Arial", 16, true, clSilver}, rasterizer);
    viewer->addFont(font);
    auto& artist = scene.addNewChild<TGLHUDText>("Artist");
    artist.setFont(&font);
    artist.setText("Artist");
    artist.setPosition({570, 255, 0});
    artist.setAlignment(TAlignment::taCenter);
    artist.setModulateColor({1, 1, 0, 1});
    auto& right = scene.addNewChild<TGLHUDText>("Right");
    right.setFont(&font);
    right.setText("Right\nside");
    right.setPosition({700, 100, 0});
    right.setAlignment(TAlignment::taRightJustify);
    right.setLayout(TTextLayout::tlBottom);

    const QImage image = showAndGrab();
    const int width = font.textWidth("Artist");
    const RectI box = litBox(image, {470, 230, 670, 300});
    ASSERT_GT(box.width(), 0) << "no text drawn";
    EXPECT_NEAR((box.left + box.right) / 2.0, 570, 3);
    EXPECT_NEAR(box.width(), width, 4);
    EXPECT_GE(box.top, 255);
    EXPECT_LE(box.bottom, 255 + font.metrics().lineHeight);
    // Silver tinted by yellow: red and green, no blue.
    bool yellowish = false;
    for (int x = box.left; x < box.right && !yellowish; ++x) {
        const Rgb c = pixelAt(image, x, box.top + 6);
        yellowish = c.r > 150 && std::abs(c.r - c.g) < 10 && c.b == 0;
    }
    EXPECT_TRUE(yellowish);

    const RectI two = litBox(image, {600, 40, 760, 140});
    EXPECT_LE(two.right, 700);
    EXPECT_GE(two.right, 694);
    EXPECT_LE(two.bottom, 100);
    EXPECT_GT(two.height(), font.metrics().lineHeight); // two lines

    // The text's alpha comes from ModulateColor.
    artist.setModulateColor({1, 1, 0, 0});
    const QImage hidden = viewer->grabFramebuffer();
    EXPECT_FALSE(anyLit(hidden, {470, 230, 670, 300}));
}
