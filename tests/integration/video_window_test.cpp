// The clip behind the lyrics in the real main window: the demo song with a video, sung from the
// Start click with a silent microphone, its picture checked in grabbed frames where the plane's
// sampled pixels land on screen.

#include "game_window_fixture.h"
#include "platform/media/ffmpeg_video_decoder.h"
#include "platform/sound_input/silent_input.h"
#include "scene/render/gl_math.h"
#include "scene/render/scene_renderer.h"

#include <QImage>

namespace {

using namespace cantorix;
using cantorix::testing::waitUntil;
namespace fs = std::filesystem;

const char* const kVideoSong = "Cantorix - Harbour Lights";
const char* const kPlainSong = "Cantorix - Paper Kites";

struct Sample {
    QPoint screen;
    int r, g, b; // the picture's colour there
};

class VideoWindowTest : public cantorix::testing::SingingWindowTest {
protected:
    void SetUp() override { m_root = cantorix::testing::makeProgramRoot("cantorix-video", {}); }
    // Starts the game over the one song and sings it in silence.
    void startSinging(const char* song) {
        fs::create_directory_symlink(fs::path(CANTORIX_PROGRAM_DIR) / "songs" / song,
                                     m_root / "songs" / song);
        app::AppServices withVideo = services();
        withVideo.videoDecoders = [] { return std::make_unique<platform::FfmpegVideoDecoder>(); };
        ASSERT_TRUE(showWindow(withVideo));
        m_input = std::make_unique<platform::SilentInput>(m_capture.hub());
        click(*m_game->selection.startButton);
        ASSERT_TRUE(m_game->singing.group->visible());
    }
    stage::VideoPlane& video() { return *m_form->videoPlane(); }

    // A grab, and where a grid of the picture's sampled pixels shows in it with their colours.
    std::vector<Sample> grabSamples(QImage& image) {
        image = m_form->viewer()->grabFramebuffer();
        const stage::VideoPlane& v = *m_form->videoPlane();
        const session::VideoFrame& picture = v.picture();
        const int s = v.FrameStep();
        const int columns = picture.width / s, rows = picture.height / s;
        const scene::TGLCamera* camera = scene::render::SceneRenderer::findCamera(m_game->scene());
        const scene::render::Mat4 world = scene::render::worldTransform(
            *m_game->singing.videoHolder->find<scene::TGLAviPlane>("GLAviPlane1"));
        std::vector<Sample> samples;
        for (int r = 2; r < rows - 2; r += rows / 12)
            for (int j = 2; j < columns - 2; j += columns / 12) {
                const float x =
                    static_cast<float>(j * s) / 60 - static_cast<float>(columns * s) / 120;
                const float y = static_cast<float>(r * s) / 60 - static_cast<float>(rows * s) / 120;
                const scene::render::Vec4 w = world * scene::render::Vec4{x, y, 0, 1};
                const auto p = scene::render::projectToViewer(*camera, {w.x, w.y, w.z},
                                                              image.width(), image.height());
                const std::uint8_t* bgr = picture.pixel((columns - 1 - j) * s, r * s);
                samples.push_back(
                    {QPoint(static_cast<int>(p.x), static_cast<int>(p.y)), bgr[2], bgr[1], bgr[0]});
            }
        return samples;
    }
    static int matching(const QImage& image, const std::vector<Sample>& samples, int tolerance) {
        int n = 0;
        for (const Sample& s : samples) {
            if (!image.rect().contains(s.screen))
                continue;
            const QRgb c = image.pixel(s.screen);
            n += std::abs(qRed(c) - s.r) <= tolerance && std::abs(qGreen(c) - s.g) <= tolerance &&
                 std::abs(qBlue(c) - s.b) <= tolerance;
        }
        return n;
    }
    static bool samePixels(const QImage& a, const QImage& b, const std::vector<Sample>& samples) {
        for (const Sample& s : samples)
            if (a.rect().contains(s.screen) && a.pixel(s.screen) != b.pixel(s.screen))
                return false;
        return true;
    }
};

TEST_F(VideoWindowTest, ClipPlaysBehindTheLyricsAndPauseHoldsIt) {
    startSinging(kVideoSong);
    stage::VideoPlane& v = video();
    ASSERT_TRUE(v.opened());
    EXPECT_TRUE(v.node().visibleInTree());
    EXPECT_EQ(v.FrameStep(), 8); // the design quality
    EXPECT_DOUBLE_EQ(v.ClipRate(), 25.0);
    ASSERT_TRUE(waitUntil([&] { return v.pictureFrame() >= 20; }));
    // 26.5 units wide: 640 pixels of 1/60 unit each, scaled.
    EXPECT_FLOAT_EQ(v.node().scale().x, 26.5f * 60 / 640);

    QImage playing;
    const std::vector<Sample> samples = grabSamples(playing);
    playing.save("/tmp/cantorix-video.png");
    // The picture fills the area behind the lane and the lyrics: most samples show its colour
    // (the lane, the lyrics and the panels cover the rest).
    EXPECT_GE(matching(playing, samples, 12), static_cast<int>(samples.size()) * 2 / 3)
        << samples.size() << " samples";
    QTest::qWait(400);
    QImage later;
    grabSamples(later);
    EXPECT_FALSE(samePixels(playing, later, samples)); // the clip moves

    click(*m_game->singing.pauseButton);
    QTest::qWait(200);
    const std::int64_t held = v.pictureFrame();
    EXPECT_EQ(held, m_form->session().pausedVideoFrame());
    QImage pausedA, pausedB;
    const std::vector<Sample> heldSamples = grabSamples(pausedA);
    QTest::qWait(600);
    grabSamples(pausedB);
    EXPECT_EQ(v.pictureFrame(), held);
    EXPECT_TRUE(samePixels(pausedA, pausedB, heldSamples));
    EXPECT_GE(matching(pausedB, heldSamples, 12), static_cast<int>(heldSamples.size()) * 2 / 3);

    click(*m_game->singing.playButton);
    ASSERT_TRUE(waitUntil([&] { return v.pictureFrame() != held; }, 2000));
    // Resumed from the held frame, not from where the clip would have got to meanwhile.
    EXPECT_LE((v.pictureFrame() - held + 125) % 125, 5);
}

TEST_F(VideoWindowTest, QualityChangesTheDensityNotTheSize) {
    startSinging(kVideoSong);
    stage::VideoPlane& v = video();
    ASSERT_TRUE(waitUntil([&] { return v.pictureFrame() >= 5; }));
    const float scale = v.node().scale().x * v.WidthUnits();
    m_form->session().startVideo(1, 4);
    EXPECT_EQ(v.FrameStep(), 1);
    EXPECT_EQ(v.node().mesh().vertices.size(), 640u * 480 * 3);
    ASSERT_TRUE(waitUntil([&] { return v.pictureFrame() >= 5; }));
    QTest::qWait(100);
    EXPECT_FLOAT_EQ(v.node().scale().x * v.WidthUnits(), scale);
    QImage image;
    const std::vector<Sample> samples = grabSamples(image);
    EXPECT_GE(matching(image, samples, 12), static_cast<int>(samples.size()) * 2 / 3);

    // Any speed but 1 plays at that many frames per second.
    m_form->session().startVideo(10, 1);
    EXPECT_FALSE(v.AutoRate());
    EXPECT_EQ(v.UserRate(), 10);
}

TEST_F(VideoWindowTest, SongWithoutClipHidesThePlane) {
    startSinging(kPlainSong);
    stage::VideoPlane& v = video();
    EXPECT_FALSE(v.opened());
    EXPECT_FALSE(v.node().visible());
    EXPECT_TRUE(v.node().mesh().vertices.empty());
}

TEST_F(VideoWindowTest, EndingTheSessionHidesAndReleasesTheClip) {
    startSinging(kVideoSong);
    stage::VideoPlane& v = video();
    ASSERT_TRUE(v.opened());
    m_form->session().endSession();
    EXPECT_FALSE(v.node().visible());
    EXPECT_FALSE(v.opened());
    EXPECT_TRUE(v.node().mesh().vertices.empty());
}

} // namespace
