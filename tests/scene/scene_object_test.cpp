#include "scene/material.h"
#include "scene/scene_nodes.h"

#include <gtest/gtest.h>

using namespace cantorix::scene;

TEST(TurnAngleTest, NormalisesIntoHalfTurn) {
    EXPECT_FLOAT_EQ(normalizeTurnAngle(0), 0);
    EXPECT_FLOAT_EQ(normalizeTurnAngle(170), 170);
    EXPECT_FLOAT_EQ(normalizeTurnAngle(190), -170);
    EXPECT_FLOAT_EQ(normalizeTurnAngle(-190), 170);
    EXPECT_FLOAT_EQ(normalizeTurnAngle(725), 5);
    // 540 / 360 = 1.5 rounds to the even 2: 540 − 720 = −180 stays inside the range.
    EXPECT_FLOAT_EQ(normalizeTurnAngle(540), -180);
    // −180 − 8.6 = −188.6 wraps to +171.4: the left turn of the cover ends this way.
    EXPECT_NEAR(normalizeTurnAngle(-188.6f), 171.4f, 1e-4);
}

TEST(SceneObjectTest, ChildrenAreOwnedCountedAndDeleted) {
    TGLScene scene;
    auto& group = scene.addNewChild<TGLDummyCube>("Firstpage");
    group.addNewChild<TGLHUDText>("Title");
    group.addNewChild<TGLHUDSprite>("Bg");
    EXPECT_EQ(scene.count(), 1);
    EXPECT_EQ(group.count(), 2);
    EXPECT_EQ(group.child(1).name(), "Bg");
    EXPECT_EQ(scene.find<TGLHUDText>("Title"), &group.child(0));
    EXPECT_EQ(scene.find<TGLHUDSprite>("Title"), nullptr);
    group.deleteChildren();
    EXPECT_EQ(group.count(), 0);
    EXPECT_EQ(scene.findChild("Title"), nullptr);
}

TEST(SceneObjectTest, HiddenAncestorHidesSubtree) {
    TGLScene scene;
    auto& group = scene.addNewChild<TGLDummyCube>();
    auto& text = group.addNewChild<TGLHUDText>();
    EXPECT_TRUE(text.visibleInTree());
    group.setVisible(false);
    EXPECT_TRUE(text.visible());
    EXPECT_FALSE(text.visibleInTree());
}

TEST(SceneObjectTest, ChangesClimbToTheRootOnlyWhenSomethingChanged) {
    TGLScene scene;
    auto& text = scene.addNewChild<TGLDummyCube>().addNewChild<TGLHUDText>();
    text.setText("P-0");
    const auto before = scene.revision();
    text.setText("P-0");
    EXPECT_EQ(scene.revision(), before);
    text.setText("P-1");
    EXPECT_GT(scene.revision(), before);
}

TEST(SceneObjectTest, ProgressReachesEveryNodeInOrder) {
    TGLScene scene;
    std::string order;
    auto& a = scene.addNewChild<TGLDummyCube>("a");
    auto& b = a.addNewChild<TGLCube>("b");
    auto& c = scene.addNewChild<TGLDummyCube>("c");
    for (TGLBaseSceneObject* n :
         {static_cast<TGLBaseSceneObject*>(&a), static_cast<TGLBaseSceneObject*>(&b),
          static_cast<TGLBaseSceneObject*>(&c)})
        n->onProgress = [&](TGLBaseSceneObject& s, double dt) {
            EXPECT_DOUBLE_EQ(dt, 0.25);
            order += s.name();
        };
    scene.doProgress(0.25);
    EXPECT_EQ(order, "abc");
}

namespace {
class BlankLoader : public ImageLoader {
public:
    Image load(const std::filesystem::path&) override { return Image(2, 2); }
};
} // namespace

TEST(MaterialLibraryTest, RevisionGrowsWhenAMaterialIsReplacedOrCleared) {
    BlankLoader loader;
    TGLMaterialLibrary library("Stuff", loader, ".");
    TGLLibMaterial& first = library.addTextureMaterial("Bg", "a.jpg");
    first.texture().setImageGamma(1.4f);
    first.texture().setImageGamma(0.8f);
    auto before = library.revision();
    library.addTextureMaterial("Bg", "b.jpg");
    EXPECT_GT(library.revision(), before) << "the viewer would not redraw the new picture";
    before = library.revision();
    library.clear();
    EXPECT_GT(library.revision(), before);
}
