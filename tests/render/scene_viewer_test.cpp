#include "render_fixture.h"

#include <QMouseEvent>
#include <QSignalSpy>
#include <cstdint>
#include <cstdlib>

using namespace cantorix::scene;
using namespace cantorix::scene::render;
using namespace cantorix::scene::render::testing;

namespace {

class SceneViewerTest : public ViewerFixture {
protected:
    // Lets the event loop deliver whatever repaint is pending.
    void settle() { QTest::qWait(60); }
    // Waits until the viewer has drawn `frames` frames, however long a loaded machine takes to
    // deliver the repaint (up to five seconds), then settles, so that a frame too many shows.
    void settleAt(std::uint64_t frames) {
        for (int i = 0; i < 500 && viewer->framesRendered() < frames; ++i)
            QTest::qWait(10);
        settle();
    }
};

} // namespace

TEST_F(SceneViewerTest, RepaintsOnlyAfterAChangeAndUploadsOnlyChangedTextures) {
    auto& sprite = addSprite(scene, "Solid", filled(4, 4, kGreen), {100, 100, 0}, 60, 40);
    QSignalSpy rendered(viewer.get(), &SceneViewer::afterRender);
    showAndGrab();
    settle();
    ASSERT_GE(rendered.count(), 1);
    const auto uploads = viewer->textureUploads();
    EXPECT_EQ(uploads, 1u);

    // Nothing changed: invalidating many times draws nothing.
    const auto frames = viewer->framesRendered();
    for (int i = 0; i < 5; ++i)
        viewer->invalidate();
    settle();
    EXPECT_EQ(viewer->framesRendered(), frames);

    // A moved node redraws without uploading its texture again.
    sprite.setPosition({200, 100, 0});
    viewer->invalidate();
    settleAt(frames + 1);
    EXPECT_EQ(viewer->framesRendered(), frames + 1);
    EXPECT_EQ(viewer->textureUploads(), uploads);

    // A changed picture setting (the hover gamma of the menu buttons) uploads it again.
    library.materialByName("Solid")->texture().setImageGamma(1.4f);
    viewer->invalidate();
    settleAt(frames + 2);
    EXPECT_EQ(viewer->framesRendered(), frames + 2);
    EXPECT_EQ(viewer->textureUploads(), uploads + 1);
}

TEST_F(SceneViewerTest, HiddenGroupHidesItsWholeSubtree) {
    auto& group = scene.addNewChild<TGLDummyCube>("Singing");
    auto& inner = group.addNewChild<TGLDummyCube>("Tv");
    addSprite(inner, "Solid", filled(4, 4, kGreen), {100, 100, 0}, 60, 40);
    EXPECT_TRUE(hasColour(showAndGrab(), 100, 100, kGreen, 0));
    group.setVisible(false);
    EXPECT_TRUE(hasColour(viewer->grabFramebuffer(), 100, 100, kBlack, 0));
}

TEST_F(SceneViewerTest, TexturesOfRemovedMaterialsAreReleased) {
    addSprite(scene, "Cover", filled(4, 4, kGreen), {100, 100, 0}, 60, 40);
    TGLMaterialLibrary covers{"Covers", loader, "/"};
    covers.addTextureMaterial("c0", filled(2, 2, kRed));
    auto& other = scene.addNewChild<TGLHUDSprite>("Other");
    other.setMaterial({&covers, "c0"});
    showAndGrab();
    EXPECT_EQ(viewer->textureCount(), 2u);

    // Not drawn, but its library is registered: the texture stays for the next time.
    other.setVisible(false);
    viewer->grabFramebuffer();
    EXPECT_EQ(viewer->textureCount(), 1u); // Covers is not registered with the viewer
    viewer->addMaterialLibrary(covers);
    other.setVisible(true);
    viewer->grabFramebuffer();
    other.setVisible(false);
    viewer->grabFramebuffer();
    EXPECT_EQ(viewer->textureCount(), 2u);

    covers.clear();
    library.clear();
    const QImage image = viewer->grabFramebuffer();
    EXPECT_EQ(viewer->textureCount(), 0u);
    // A sprite whose material has gone draws as a plain white rectangle.
    EXPECT_TRUE(hasColour(image, 100, 100, kWhite, 0));
}

TEST_F(SceneViewerTest, MouseEventsArriveInViewerPixels) {
    showAndGrab();
    QSignalSpy downs(viewer.get(), &SceneViewer::mouseDown);
    QSignalSpy moves(viewer.get(), &SceneViewer::mouseMove);
    QSignalSpy ups(viewer.get(), &SceneViewer::mouseUp);
    // Sent straight to the widget: pointer events through the X server race with Xvfb's own.
    const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button) {
        QMouseEvent event(type, QPointF(at), QPointF(viewer->mapToGlobal(at)), button,
                          type == QEvent::MouseButtonPress ? button : Qt::NoButton, {});
        QCoreApplication::sendEvent(viewer.get(), &event);
    };
    EXPECT_TRUE(viewer->hasMouseTracking()); // moves arrive without a button held
    send(QEvent::MouseMove, {120, 80}, Qt::NoButton);
    send(QEvent::MouseButtonPress, {300, 200}, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {310, 205}, Qt::RightButton);
    send(QEvent::MouseButtonPress, {1, 1}, Qt::BackButton); // not a game button
    ASSERT_EQ(moves.count(), 1);
    EXPECT_EQ(moves.at(0).at(0).toInt(), 120);
    EXPECT_EQ(moves.at(0).at(1).toInt(), 80);
    ASSERT_EQ(downs.count(), 1);
    EXPECT_EQ(downs.at(0).at(0).value<TMouseButton>(), TMouseButton::mbLeft);
    EXPECT_EQ(downs.at(0).at(1).toInt(), 300);
    EXPECT_EQ(downs.at(0).at(2).toInt(), 200);
    ASSERT_EQ(ups.count(), 1);
    EXPECT_EQ(ups.at(0).at(0).value<TMouseButton>(), TMouseButton::mbRight);
    EXPECT_EQ(ups.at(0).at(1).toInt(), 310);
}

TEST_F(SceneViewerTest, SongSelectionLikeSceneIsDrawnInTreeOrder) {
    Image backdrop(64, 64);
    for (int y = 0; y < 64; ++y)
        fillRect(backdrop, {0, y, 64, y + 1}, {20, 30, 60 + 2 * y});
    auto& background = scene.addNewChild<TGLDummyCube>("Background");
    addSprite(background, "Bg", backdrop, {383, 365, 0}, kWidth, 730);

    Image cover = filled(64, 64, {200, 60, 40});
    fillRect(cover, {8, 8, 56, 30}, kYellow);
    fillRect(cover, {8, 34, 30, 56}, kCyan);
    library.addTextureMaterial("Cover", cover);
    library.addTextureMaterial("Frame", filled(2, 2, {230, 230, 230}));
    auto& ring = scene.addNewChild<TGLDummyCube>("Ring");
    ring.setPosition({0, 0, -5});
    auto& slab = ring.addNewChild<TGLCube>("Cover");
    slab.setSize({0.5f, 3, 3});
    slab.setMaterial({&library, "Cover"});
    auto& frame = slab.addNewChild<TGLCube>("GLCube1");
    frame.setSize({1, 3.1f, 3.1f});
    frame.setParts(cpTop | cpBottom | cpFront | cpBack);
    frame.setMaterial({&library, "Frame"});

    TGLBitmapFont font("GLStoredBitmapFont1", FontSpec{"Arial", 16, true, clSilver}, rasterizer);
    viewer->addFont(font);
    for (auto [name, y] : {std::pair{"Artist", 255.0f}, std::pair{"Title", 275.0f}}) {
        auto& text = ring.addNewChild<TGLHUDText>(name);
        text.setFont(&font);
        text.setText(name);
        text.setAlignment(TAlignment::taCenter);
        text.setPosition({570, y, 0});
    }

    library.addTextureMaterial("skin", skinImage())
        .texture()
        .setFilters(TextureFilter::Nearest, TextureFilter::Nearest);
    TGLGuiLayout layout("GLGuiLayout2", {&library, "skin"});
    layout.add("panel", skinElement(0));
    auto& root = ring.addNewChild<TGLBaseControl>("Root1");
    root.setBounds(0, 0, 1000, 1000);
    auto& form = root.addNewChild<TGLForm>("GLForm1");
    form.setBounds(60, 220, 260, 300);
    form.setGuiLayout(&layout);
    form.setGuiLayoutName("panel");
    form.setBitmapFont(&font);
    form.setCaption("Menu");
    TGLLibMaterial& start = library.addTextureMaterial("Start", buttonPicture());
    start.setBlending(BlendingMode::AlphaTest);
    start.setAlphaThreshold(1.0f);
    start.texture().setTransparentFromTopLeft(true);
    auto& button = form.addNewChild<TGLButton>("Start");
    button.setBounds(30, 60, 200, 150);
    button.setBitBtn({&library, "Start"});
    button.setBitmapFont(&font);
    button.setCaption("Start");
    button.setDefaultColor(clWhite);
    root.applyChanges();

    QSignalSpy rendered(viewer.get(), &SceneViewer::afterRender);
    const QImage image = showAndGrab();
    EXPECT_GE(rendered.count(), 1);
    if (const char* path = std::getenv("CANTORIX_SCREENSHOT"))
        image.save(QString::fromLocal8Bit(path));

    EXPECT_TRUE(hasColour(image, 5, 5, {20, 30, 60}, 4));      // backdrop, top row
    EXPECT_TRUE(hasColour(image, 5, 720, {20, 30, 186}, 4));   // backdrop, bottom row
    EXPECT_TRUE(hasColour(image, 573, 364, {200, 60, 40}, 8)); // the cover over the backdrop
    EXPECT_TRUE(hasColour(image, 560, 340, kYellow, 8));
    EXPECT_TRUE(hasColour(image, 100, 300, kCyan, 0)); // form centre under the button
    EXPECT_TRUE(hasColour(image, 180, 360, kBlue, 0)); // the button picture's block
    EXPECT_TRUE(anyLit(image, {540, 255, 600, 272}));  // "Artist"
}
