#include "scene/render/gl_math.h"
#include "scene/render/scene_renderer.h"

#include <gtest/gtest.h>

using namespace cantorix::scene;
using namespace cantorix::scene::render;

namespace {

constexpr int kWidth = 766, kHeight = 729;

class CameraTest : public ::testing::Test {
protected:
    CameraTest() {
        camera.setPosition({30, 0, 0});
        camera.setTarget({0, 0, 0});
        camera.setUp({0, 1, 0});
    }
    ViewerPoint project(Vec3 p) { return projectToViewer(camera, p, kWidth, kHeight); }

    TGLScene scene;
    TGLCamera& camera = scene.addNewChild<TGLCamera>("GLCamera1");
};

} // namespace

TEST_F(CameraTest, FieldOfViewFollowsFocalLengthAndViewerHeight) {
    EXPECT_NEAR(camera.focalLengthPixels(), 1133.86f, 0.01f);
    EXPECT_NEAR(cameraFovY(camera, kHeight), 35.642f, 0.001f);
    camera.setFocalLengthPixels(364.5f);
    EXPECT_NEAR(cameraFovY(camera, kHeight), 90.0f, 1e-3f);
}

TEST_F(CameraTest, ProjectsTheCoverRingWhereTheGameExpectsIt) {
    const ViewerPoint target = project({0, 0, 0});
    EXPECT_NEAR(target.x, 383.0f, 0.01f);
    EXPECT_NEAR(target.y, 364.5f, 0.01f);
    EXPECT_TRUE(target.inFront);

    // World −z is screen right; the offset is focal length × 5 / 30.
    const ViewerPoint ring = project({0, 0, -5});
    EXPECT_NEAR(ring.x, 383.0f + 1133.86f * 5.0f / 30.0f, 0.05f);
    EXPECT_NEAR(ring.x, 572.0f, 0.1f);
    EXPECT_NEAR(ring.y, 364.5f, 0.01f);

    // World +y is screen up; nearer points are larger and closer to the near plane in depth.
    const ViewerPoint up = project({0, 1, 0});
    EXPECT_NEAR(up.y, 364.5f - 1133.86f / 30.0f, 0.05f);
    EXPECT_LT(project({5, 0, 0}).depth, target.depth);
    EXPECT_FALSE(project({40, 0, 0}).inFront);
}

TEST_F(CameraTest, CameraInsideAGroupMovesWithIt) {
    TGLScene world;
    auto& group = world.addNewChild<TGLDummyCube>("rig");
    group.setPosition({0, 0, -5});
    auto& moved = group.addNewChild<TGLCamera>("cam");
    moved.setPosition({30, 0, 5}); // world (30, 0, 0)
    const ViewerPoint p = projectToViewer(moved, {0, 0, -5}, kWidth, kHeight);
    EXPECT_NEAR(p.x, 572.0f, 0.1f);
}

TEST(WorldTransformTest, ChainsParentsAndTurnsAboutUp) {
    TGLScene scene;
    auto& ring = scene.addNewChild<TGLDummyCube>("Ring");
    ring.setPosition({0, 0, -5});
    auto& cover = ring.addNewChild<TGLCube>("Cover");
    cover.setPosition({1, 2, 0});
    auto centre = worldTransform(cover) * Vec4{0, 0, 0, 1};
    EXPECT_FLOAT_EQ(centre.x, 1);
    EXPECT_FLOAT_EQ(centre.y, 2);
    EXPECT_FLOAT_EQ(centre.z, -5);

    // A quarter turn about up carries local +x to −z (counter-clockwise seen from above).
    cover.setTurnAngle(90);
    auto side = worldTransform(cover) * Vec4{1, 0, 0, 1};
    EXPECT_NEAR(side.x, 1, 1e-5);
    EXPECT_NEAR(side.z, -6, 1e-5);

    // Direction and up form the basis: direction (1,0,0) makes local z point along world x.
    cover.setTurnAngle(0);
    cover.setDirection({1, 0, 0});
    auto forward = worldTransform(cover) * Vec4{0, 0, 1, 1};
    EXPECT_NEAR(forward.x, 2, 1e-5);
    EXPECT_NEAR(forward.z, -5, 1e-5);

    // A degenerate basis keeps the identity instead of producing NaNs.
    cover.setDirection({0, 1, 0});
    auto p = worldTransform(cover) * Vec4{0, 0, 1, 1};
    EXPECT_NEAR(p.z, -4, 1e-5);

    cover.setDirection({0, 0, 1});
    cover.setScale({2, 2, 2});
    auto scaled = worldTransform(cover) * Vec4{1, 0, 0, 1};
    EXPECT_NEAR(scaled.x, 3, 1e-5);
}

TEST_F(CameraTest, CubeFacesShowTheirPictureUprightToTheCamera) {
    // The +x face of the cover at the ring, seen by the game's camera: the picture's top-left
    // corner must land top-left on screen, so it is neither mirrored nor upside down.
    const auto faces = cubeFaces({0.5f, 3, 3}, cpRight);
    ASSERT_EQ(faces.size(), 4u);
    const auto screen = [&](const WorldVertex& v) { return project({v.x, v.y, v.z - 5}); };
    ViewerPoint byUv[2][2];
    for (const WorldVertex& v : faces)
        byUv[static_cast<int>(v.v)][static_cast<int>(v.u)] = screen(v);
    EXPECT_LT(byUv[0][0].x, byUv[0][1].x); // u grows to the right
    EXPECT_LT(byUv[0][0].y, byUv[1][0].y); // v grows downwards
    // The face is 0.25 nearer than the ring centre: 383 + 5 · 1133.86 / 29.75.
    EXPECT_NEAR((byUv[0][0].x + byUv[1][1].x) / 2, 573.56f, 0.05f);
    EXPECT_NEAR(byUv[0][1].x - byUv[0][0].x, 3 * 1133.86f / 29.75f, 0.5f);

    EXPECT_EQ(cubeFaces({1, 1, 1}, cpAll).size(), 24u);
    const auto frame = cubeFaces({1, 3.1f, 3.1f}, cpTop | cpBottom | cpFront | cpBack);
    ASSERT_EQ(frame.size(), 16u);
    for (const WorldVertex& v : frame) // the open sides are the ±x ones
        EXPECT_TRUE(std::abs(v.y) == 1.55f || std::abs(v.z) == 1.55f);
}
