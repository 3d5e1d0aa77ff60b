#include "fakes/fake_video_decoder.h"
#include "stage/video_plane.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>

namespace cantorix::stage {
namespace {

using session::VideoFrame;
using session::testing::FakeVideoDecoder;

// A picture whose every pixel tells where it is: blue = column, green = row from the bottom,
// red = 200.
VideoFrame coordinateFrame(int width, int height) {
    VideoFrame f{width, height, {}};
    f.rows.assign(f.stride() * static_cast<std::size_t>(height), 0xEE); // padding marked
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = f.rows.data() + f.stride() * static_cast<std::size_t>(y) +
                              static_cast<std::size_t>(x) * 3;
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = 200;
        }
    return f;
}

// Red, green, blue of vertex i, back in bytes.
std::array<int, 3> vertexColour(const std::vector<float>& colours, std::size_t i) {
    return {static_cast<int>(colours[i * 3] * 256), static_cast<int>(colours[i * 3 + 1] * 256),
            static_cast<int>(colours[i * 3 + 2] * 256)};
}

TEST(VideoRateTest, RateFieldIsDividedByAPowerOfTenChosenFromItsSizeAlone) {
    EXPECT_DOUBLE_EQ(clipRateOfField(25), 25.0);
    EXPECT_DOUBLE_EQ(clipRateOfField(1000), 1000.0);
    EXPECT_DOUBLE_EQ(clipRateOfField(1001), 10.01);
    EXPECT_DOUBLE_EQ(clipRateOfField(2500), 25.0);
    EXPECT_DOUBLE_EQ(clipRateOfField(10000), 100.0);
    EXPECT_DOUBLE_EQ(clipRateOfField(29970), 29.97);
    EXPECT_DOUBLE_EQ(clipRateOfField(30000), 30.0);
    EXPECT_DOUBLE_EQ(clipRateOfField(100000), 100.0);
    EXPECT_DOUBLE_EQ(clipRateOfField(100001), 10.0001);
    EXPECT_DOUBLE_EQ(clipRateOfField(0), 0.0);
}

TEST(VideoQualityTest, EachLevelHalvesTheStepAndOtherLevelsHaveNone) {
    EXPECT_EQ(frameStepOfQuality(1), 8);
    EXPECT_EQ(frameStepOfQuality(2), 4);
    EXPECT_EQ(frameStepOfQuality(3), 2);
    EXPECT_EQ(frameStepOfQuality(4), 1);
    EXPECT_EQ(frameStepOfQuality(0), std::nullopt);
    EXPECT_EQ(frameStepOfQuality(5), std::nullopt);
}

TEST(VideoMeshTest, GridIsCentredWithOneStripPerPairOfRows) {
    const auto mesh = buildVideoMesh(5, 3, 1);
    ASSERT_EQ(mesh.vertices.size(), 15u * 3);
    EXPECT_EQ(mesh.strips, 2);
    EXPECT_EQ(mesh.stripLength, 10);
    ASSERT_EQ(mesh.indices.size(), 20u);
    // Vertex (j, r) at (j / 60 − 5 / 120, r / 60 − 3 / 120, 0).
    EXPECT_FLOAT_EQ(mesh.vertices[0], -5.0f / 120);
    EXPECT_FLOAT_EQ(mesh.vertices[1], -3.0f / 120);
    const std::size_t last = 14 * 3;
    EXPECT_FLOAT_EQ(mesh.vertices[last], 4.0f / 60 - 5.0f / 120);
    EXPECT_FLOAT_EQ(mesh.vertices[last + 1], 2.0f / 60 - 3.0f / 120);
    EXPECT_FLOAT_EQ(mesh.vertices[last + 2], 0.0f);
    // Strips alternate between the upper and the lower row, one column at a time.
    EXPECT_EQ((std::vector<std::uint32_t>(mesh.indices.begin(), mesh.indices.begin() + 4)),
              (std::vector<std::uint32_t>{5, 0, 6, 1}));
    EXPECT_EQ(mesh.indices[10], 10u);
    EXPECT_EQ(mesh.indices[11], 5u);
}

TEST(VideoMeshTest, SamplingStepSpacesTheVerticesAndDropsThePartialColumns) {
    const auto mesh = buildVideoMesh(21, 17, 4); // 5 columns, 4 rows of 4 pixels
    ASSERT_EQ(mesh.vertices.size(), 20u * 3);
    EXPECT_EQ(mesh.strips, 3);
    EXPECT_FLOAT_EQ(mesh.vertices[3] - mesh.vertices[0], 4.0f / 60);
    EXPECT_FLOAT_EQ(mesh.vertices[0], -20.0f / 120);
    EXPECT_FLOAT_EQ(mesh.vertices[1], -16.0f / 120);
    EXPECT_TRUE(buildVideoMesh(7, 7, 8).vertices.empty());
    EXPECT_EQ(buildVideoMesh(16, 8, 8).strips, 0); // a single row has no strip
}

TEST(VideoMeshTest, ColoursAreMirroredAndReadFromTheBottomRowUp) {
    const VideoFrame frame = coordinateFrame(5, 3); // rows of 15 bytes padded to 16
    std::vector<float> colours;
    fillVideoColours(frame, 1, colours);
    ASSERT_EQ(colours.size(), 15u * 3);
    // Vertex (0, 0) shows column 4 of the bottom row; vertex (4, 2) column 0 of the top row.
    EXPECT_EQ(vertexColour(colours, 0), (std::array<int, 3>{200, 0, 4}));
    EXPECT_EQ(vertexColour(colours, 4), (std::array<int, 3>{200, 0, 0}));
    EXPECT_EQ(vertexColour(colours, 7), (std::array<int, 3>{200, 1, 2}));
    EXPECT_EQ(vertexColour(colours, 14), (std::array<int, 3>{200, 2, 0}));
    EXPECT_FLOAT_EQ(colours[0], 200.0f / 256);

    fillVideoColours(coordinateFrame(9, 6), 2, colours); // 4 columns, 3 rows
    ASSERT_EQ(colours.size(), 12u * 3);
    EXPECT_EQ(vertexColour(colours, 0), (std::array<int, 3>{200, 0, 6}));
    EXPECT_EQ(vertexColour(colours, 5), (std::array<int, 3>{200, 2, 4}));
    EXPECT_EQ(vertexColour(colours, 11), (std::array<int, 3>{200, 4, 0}));
}

class VideoPlaneTest : public ::testing::Test {
protected:
    VideoPlaneTest() {
        auto decoder = std::make_unique<FakeVideoDecoder>();
        fake = decoder.get();
        plane = std::make_unique<VideoPlane>(node, std::move(decoder));
    }
    // Steps until `count` frames have been fetched by the plane's own pace of `dt`.
    void steps(int count, double dt) {
        for (int i = 0; i < count; ++i)
            plane->DoProgress(dt);
    }
    int shownBlue() const { return plane->picture().empty() ? -1 : plane->picture().rows[0]; }

    scene::TGLAviPlane node{"GLAviPlane1"};
    FakeVideoDecoder* fake = nullptr;
    std::unique_ptr<VideoPlane> plane;
};

TEST_F(VideoPlaneTest, OpeningShowsTheFirstFrameAndSizesTheMesh) {
    fake->clip = {25, 1, 0, 10, 640, 480};
    EXPECT_EQ(plane->quality(), 4);
    EXPECT_EQ(plane->FrameStep(), 1);
    EXPECT_EQ(plane->planeScale(), std::nullopt); // nothing to show yet
    plane->SetQuality(1);
    plane->OpenClip("clip.avi");
    ASSERT_TRUE(plane->opened());
    EXPECT_EQ(plane->pictureFrame(), 0);
    EXPECT_EQ(plane->EndFrame(), 10);
    EXPECT_DOUBLE_EQ(plane->ClipRate(), 25.0);
    EXPECT_EQ(node.mesh().vertices.size(), 80u * 60 * 3);
    EXPECT_EQ(node.colours().size(), 80u * 60 * 3);
    EXPECT_FLOAT_EQ(plane->WidthUnits(), 640.0f / 60);
    EXPECT_FLOAT_EQ(plane->HeightUnits(), 480.0f / 60);
    EXPECT_FLOAT_EQ(*plane->planeScale(), 26.5f * 60 / 640);

    // Finer sampling: four times the vertices in each direction, the same size on screen.
    const auto before = node.meshRevision();
    plane->SetQuality(3);
    EXPECT_EQ(plane->FrameStep(), 2);
    EXPECT_GT(node.meshRevision(), before);
    EXPECT_EQ(node.mesh().vertices.size(), 320u * 240 * 3);
    EXPECT_FLOAT_EQ(*plane->planeScale(), 26.5f * 60 / 640);
    plane->SetQuality(7); // stored, the step stays
    EXPECT_EQ(plane->quality(), 7);
    EXPECT_EQ(plane->FrameStep(), 2);
}

TEST_F(VideoPlaneTest, ScaleKeepsThePictureWidthWhenColumnsAreCutOff) {
    fake->clip = {25, 1, 0, 10, 100, 60};
    plane->SetQuality(1);
    plane->OpenClip("clip.avi");
    EXPECT_FLOAT_EQ(plane->WidthUnits(), 96.0f / 60); // 12 columns of 8 pixels
    EXPECT_FLOAT_EQ(*plane->planeScale(), 26.5f * 60 / 96);
}

TEST_F(VideoPlaneTest, ClipLoopsAfterEndFrameKeepingTheLastPictureForOneStep) {
    fake->clip = {4, 1, 0, 3, 16, 8}; // 4 frames per second: steps of 0.25 s are exact
    plane->OpenClip("clip.avi");
    std::vector<int> shown;
    std::vector<std::int64_t> current;
    for (int i = 0; i < 7; ++i) {
        plane->DoProgress(i == 0 ? 0.0 : 0.25);
        shown.push_back(shownBlue());
        current.push_back(plane->CurrentFrame());
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 2, 0, 1, 2}));
    EXPECT_EQ(current, (std::vector<std::int64_t>{1, 2, 3, 0, 1, 2, 3}));
    EXPECT_TRUE(std::find(fake->requests.begin(), fake->requests.end(), 3) != fake->requests.end());
}

TEST_F(VideoPlaneTest, RateIsTheClipsOwnOrTheChosenOne) {
    fake->clip = {30000, 1001, 0, 1000, 16, 8};
    plane->OpenClip("clip.avi");
    EXPECT_DOUBLE_EQ(plane->ClipRate(), 30.0);
    plane->DoProgress(0); // the resync step shows frame 0
    steps(300, 0.01);     // three seconds at a viewer of 100 steps per second
    EXPECT_NEAR(static_cast<double>(plane->CurrentFrame()), 91, 1);

    plane->SetAutoRate(false);
    plane->setUserRate(5);
    const std::int64_t from = plane->CurrentFrame();
    plane->DoProgress(0.001); // switching rates shows a frame at once
    EXPECT_EQ(plane->CurrentFrame(), from + 1);
    steps(200, 0.01);
    EXPECT_NEAR(static_cast<double>(plane->CurrentFrame() - from), 11, 1);

    plane->setUserRate(0); // no rate, no frames
    const std::int64_t still = plane->CurrentFrame();
    steps(100, 0.01);
    EXPECT_EQ(plane->CurrentFrame(), still);
}

TEST_F(VideoPlaneTest, SlowViewerShowsOneFramePerStep) {
    plane->OpenClip("clip.avi"); // 25 fps
    plane->DoProgress(0);
    steps(4, 0.5);
    EXPECT_EQ(plane->CurrentFrame(), 5);
}

TEST_F(VideoPlaneTest, PauseHoldsTheFrameAndResumeGoesOnFromIt) {
    plane->OpenClip("clip.avi");
    plane->DoProgress(0);
    steps(3, 0.04);
    const std::int64_t paused = plane->CurrentFrame(); // the pause remembers this
    for (int i = 0; i < 20; ++i) {
        plane->DoProgress(0.04);
        plane->SetFrame(paused); // the housekeeping while the Play button shows
    }
    EXPECT_EQ(shownBlue(), paused);
    // The held picture is decoded once, not once per step.
    EXPECT_EQ(std::count(fake->requests.begin(), fake->requests.end(), paused), 1);
    const auto colourRevision = node.colourRevision();
    plane->DoProgress(0.04);
    EXPECT_EQ(node.colourRevision(), colourRevision);
    EXPECT_EQ(plane->CurrentFrame(), paused + 1);
    plane->DoProgress(0.04); // resumed: no more SetFrame
    EXPECT_EQ(shownBlue(), paused + 1);
}

TEST_F(VideoPlaneTest, BrokenFrameKeepsThePreviousPicture) {
    fake->brokenFrames = {2};
    plane->OpenClip("clip.avi");
    plane->DoProgress(0);
    steps(2, 0.04);
    EXPECT_EQ(shownBlue(), 1);
    EXPECT_EQ(plane->CurrentFrame(), 3);
    plane->DoProgress(0.04);
    EXPECT_EQ(shownBlue(), 3);
}

TEST_F(VideoPlaneTest, ClipThatCannotOpenShowsNothingUntilTheNextOne) {
    plane->OpenClip("clip.avi");
    ASSERT_FALSE(node.mesh().vertices.empty());
    fake->failing = {"broken.avi"};
    plane->OpenClip("broken.avi");
    EXPECT_FALSE(plane->opened());
    EXPECT_TRUE(node.mesh().vertices.empty());
    EXPECT_TRUE(node.colours().empty());
    EXPECT_EQ(plane->planeScale(), std::nullopt);
    EXPECT_EQ(plane->EndFrame(), 0);
    const std::size_t asked = fake->requests.size();
    steps(10, 0.1);
    EXPECT_EQ(fake->requests.size(), asked);

    plane->OpenClip(""); // a song without a clip never reaches the decoder
    EXPECT_EQ(fake->opened.back(), "broken.avi");
    EXPECT_FALSE(plane->opened());

    plane->OpenClip("next.avi"); // the next song's clip opens afresh
    EXPECT_TRUE(plane->opened());
    EXPECT_EQ(plane->pictureFrame(), 0);
    EXPECT_EQ(node.mesh().vertices.size(), 16u * 8 * 3);
}

TEST_F(VideoPlaneTest, ClosingReleasesTheClipAndThePicture) {
    plane->OpenClip("clip.avi");
    plane->CloseClip();
    EXPECT_FALSE(fake->isOpen);
    EXPECT_FALSE(plane->opened());
    EXPECT_TRUE(node.mesh().vertices.empty());
}

TEST(VideoPlaneWithoutDecoderTest, EveryClipFailsQuietly) {
    scene::TGLAviPlane node;
    VideoPlane plane(node, nullptr);
    plane.OpenClip("clip.avi");
    plane.DoProgress(1.0);
    EXPECT_FALSE(plane.opened());
    EXPECT_TRUE(node.mesh().vertices.empty());
}

} // namespace
} // namespace cantorix::stage
