// The video plane's mesh drawn from GL buffers: per-vertex colours where the vertices are, and
// new colours shown when only the colours change.

#include "render_fixture.h"
#include "scene/render/gl_math.h"

using namespace cantorix::scene;
using namespace cantorix::scene::render;
using namespace cantorix::scene::render::testing;

namespace {

class VideoPlaneDrawingTest : public ViewerFixture {
protected:
    // Four columns (x = −3, −1, 1, 3) by two rows (y = −2, 2): a red left half, a blue right half.
    void buildPlane() {
        plane.setDirection({1, 0, 0}); // facing the camera on +x
        TGLAviPlane::Mesh mesh;
        for (float y : {-2.0f, 2.0f})
            for (float x : {-3.0f, -1.0f, 1.0f, 3.0f})
                mesh.vertices.insert(mesh.vertices.end(), {x, y, 0});
        mesh.strips = 1;
        mesh.stripLength = 8;
        mesh.indices = {4, 0, 5, 1, 6, 2, 7, 3};
        plane.setMesh(std::move(mesh));
        paint({1, 0, 0}, {0, 0, 1});
    }
    void paint(std::array<float, 3> left, std::array<float, 3> right) {
        plane.colours().clear();
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < 4; ++column) {
                const auto& c = column < 2 ? left : right;
                plane.colours().insert(plane.colours().end(), c.begin(), c.end());
            }
        plane.coloursChanged();
    }
    // Where a point of the plane lands in the viewer.
    QPoint onScreen(float x, float y) {
        const Vec4 w = worldTransform(plane) * Vec4{x, y, 0, 1};
        const ViewerPoint p = projectToViewer(camera, {w.x, w.y, w.z}, kWidth, kHeight);
        EXPECT_TRUE(p.inFront);
        return {static_cast<int>(p.x), static_cast<int>(p.y)};
    }
    ::testing::AssertionResult colourAt(const QImage& image, float x, float y, Rgb want) {
        const QPoint p = onScreen(x, y);
        return hasColour(image, p.x(), p.y(), want, 4);
    }

    TGLAviPlane& plane = scene.addNewChild<TGLAviPlane>("GLAviPlane1");
};

} // namespace

TEST_F(VideoPlaneDrawingTest, VerticesCarryTheirOwnColours) {
    buildPlane();
    const QImage image = showAndGrab();
    EXPECT_TRUE(colourAt(image, -2, 0, kRed));
    EXPECT_TRUE(colourAt(image, -2, 1.5f, kRed));
    EXPECT_TRUE(colourAt(image, 2, 0, kBlue));
    EXPECT_TRUE(colourAt(image, 2, -1.5f, kBlue));
    // Between the two halves the colours blend smoothly.
    const Rgb middle = pixelAt(image, onScreen(0, 0).x(), onScreen(0, 0).y());
    EXPECT_GT(middle.r, 80);
    EXPECT_GT(middle.b, 80);
    // Nothing outside the mesh.
    EXPECT_TRUE(colourAt(image, 0, 2.5f, kBlack));
    EXPECT_TRUE(colourAt(image, -3.5f, 0, kBlack));
}

TEST_F(VideoPlaneDrawingTest, NewColoursShowWithoutANewMesh) {
    buildPlane();
    showAndGrab();
    const auto meshRevision = plane.meshRevision();
    paint({0, 1, 0}, {1, 1, 0});
    const QImage image = viewer->grabFramebuffer();
    EXPECT_EQ(plane.meshRevision(), meshRevision);
    EXPECT_TRUE(colourAt(image, -2, 0, kGreen));
    EXPECT_TRUE(colourAt(image, 2, 0, kYellow));
}

TEST_F(VideoPlaneDrawingTest, MeshWithoutMatchingColoursIsNotDrawn) {
    buildPlane();
    plane.colours().resize(3);
    plane.coloursChanged();
    const QImage image = showAndGrab();
    EXPECT_TRUE(colourAt(image, -2, 0, kBlack));
    // Drawing goes on normally after the plane was skipped.
    paint({1, 0, 0}, {0, 0, 1});
    EXPECT_TRUE(colourAt(viewer->grabFramebuffer(), -2, 0, kRed));
}
