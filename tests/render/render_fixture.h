#pragma once
// Shared set-up of the GL drawing tests: a viewer of the game's size over a scene built in
// memory, pictures made of solid rectangles, and pixel checks on the grabbed framebuffer.

#include "scene/render/qt_glyph_rasterizer.h"
#include "scene/render/scene_viewer.h"

#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace cantorix::scene::render::testing {

constexpr int kWidth = 766, kHeight = 729;

class NoPictureFiles : public ImageLoader {
public:
    Image load(const std::filesystem::path& file) override {
        throw EImageError("no picture files in this test: " + file.string());
    }
};

struct Rgb {
    int r, g, b;
};

inline Image filled(int w, int h, Rgb c) {
    Image image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = image.pixel(x, y);
            p[0] = static_cast<std::uint8_t>(c.r);
            p[1] = static_cast<std::uint8_t>(c.g);
            p[2] = static_cast<std::uint8_t>(c.b);
            p[3] = 255;
        }
    return image;
}

inline void fillRect(Image& image, RectI r, Rgb c) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            std::uint8_t* p = image.pixel(x, y);
            p[0] = static_cast<std::uint8_t>(c.r);
            p[1] = static_cast<std::uint8_t>(c.g);
            p[2] = static_cast<std::uint8_t>(c.b);
        }
}

constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kYellow{255, 255, 0},
    kWhite{255, 255, 255}, kGrey{128, 128, 128}, kCyan{0, 255, 255}, kBlack{0, 0, 0},
    kMagenta{255, 0, 255}, kSpriteColour{20, 200, 60};

inline Rgb pixelAt(const QImage& image, int x, int y) {
    const QRgb p = image.pixel(x, y);
    return {qRed(p), qGreen(p), qBlue(p)};
}

inline ::testing::AssertionResult hasColour(const QImage& image, int x, int y, Rgb want,
                                            int tolerance = 8) {
    const Rgb got = pixelAt(image, x, y);
    if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
        std::abs(got.b - want.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << x << ", " << y << ") is (" << got.r << ", " << got.g << ", " << got.b
           << "), expected (" << want.r << ", " << want.g << ", " << want.b << ")";
}

// The box around pixels brighter than the threshold in any channel, inside the search area.
inline RectI litBox(const QImage& image, RectI area, int threshold = 90) {
    RectI box{area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            const Rgb c = pixelAt(image, x, y);
            if (std::max({c.r, c.g, c.b}) > threshold) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
        }
    return box;
}

// A 24 × 12 skin: two nine-slice elements side by side with 4-pixel white corners and grey
// edges; the left one has a cyan centre, the right one a yellow centre.
inline TGLGuiElement skinElement(int x0) {
    TGLGuiElement e;
    int i = 0;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            e.parts[i++] = {x0 + column * 4, row * 4, x0 + column * 4 + 4, row * 4 + 4};
    return e;
}

inline Image skinImage() {
    Image image = filled(24, 12, kGrey);
    for (int x0 : {0, 12}) {
        for (int cx : {0, 8})
            for (int cy : {0, 8})
                fillRect(image, {x0 + cx, cy, x0 + cx + 4, cy + 4}, kWhite);
        fillRect(image, {x0 + 4, 4, x0 + 8, 8}, x0 == 0 ? kCyan : kYellow);
    }
    return image;
}

// A 40 × 30 button picture: magenta (the key colour, taken from the top-left pixel) around a
// blue block at (10, 10)–(30, 20).
inline Image buttonPicture() {
    Image image = filled(40, 30, kMagenta);
    fillRect(image, {10, 10, 30, 20}, kBlue);
    return image;
}

class ViewerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        camera.setPosition({30, 0, 0});
        camera.setTarget({0, 0, 0});
        viewer = std::make_unique<SceneViewer>(scene);
        viewer->addMaterialLibrary(library);
        viewer->setFixedSize(kWidth, kHeight);
    }

    QImage showAndGrab() {
        if (!viewer->isVisible()) {
            viewer->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(viewer.get()));
        }
        QImage image = viewer->grabFramebuffer();
        EXPECT_EQ(image.size(), QSize(kWidth, kHeight));
        return image;
    }

    bool anyLit(const QImage& image, RectI area) { return litBox(image, area).width() > 0; }

    TGLHUDSprite& addSprite(TGLBaseSceneObject& parent, const std::string& material, Image image,
                            Vec3 centre, float w, float h) {
        library.addTextureMaterial(material, std::move(image));
        auto& sprite = parent.addNewChild<TGLHUDSprite>(material);
        sprite.setPosition(centre);
        sprite.setWidth(w);
        sprite.setHeight(h);
        sprite.setMaterial({&library, material});
        return sprite;
    }

    NoPictureFiles loader;
    TGLMaterialLibrary library{"GLMaterialLibrary1", loader, "/"};
    QtGlyphRasterizer rasterizer;
    TGLScene scene;
    TGLCamera& camera = scene.addNewChild<TGLCamera>("GLCamera1");
    std::unique_ptr<SceneViewer> viewer;
};

} // namespace cantorix::scene::render::testing
