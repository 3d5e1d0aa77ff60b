#pragma once
// The clip behind the lyrics: opens it through the decoder port, steps its frames at the clip's
// or the player's rate in a loop, and keeps the scene's TGLAviPlane mesh (one coloured vertex
// per sampled pixel) in step with the current picture. Owns the decoder; borrows the node.
// Main thread only.

#include "scene/scene_nodes.h"
#include "session/video_decoder_port.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

namespace cantorix::stage {

// Frames per second from the stream header's rate field alone: divided by 1, 100, 1000 or
// 10000 as the field is at most 1000, 10000, 100000 or above (30000 → 30, 29970 → 29.97).
double clipRateOfField(std::uint32_t rateField);

// Sampling step in pixels of a quality level: 1 → 8, 2 → 4, 3 → 2, 4 → 1; none for others.
std::optional<int> frameStepOfQuality(int quality);

// The grid of a width × height picture sampled every `step` pixels: width div step columns
// and height div step rows, vertex (j, r) at (j · step / 60, r · step / 60, 0) less half the
// grid's size, so the grid is centred on the origin; one strip per pair of neighbouring rows.
scene::TGLAviPlane::Mesh buildVideoMesh(int width, int height, int step);

// One (red, green, blue) / 256 per grid vertex: vertex (j, r) takes the pixel at column
// (columns − 1 − j) · step of row r · step from the bottom. The plane's x axis points to the
// viewer's left, so the reversal shows the picture unmirrored.
void fillVideoColours(const session::VideoFrame& picture, int step, std::vector<float>& colours);

class VideoPlane {
public:
    // How wide the picture shows, in scene units, whatever its size and quality.
    static constexpr float kShownWidth = 26.5f;

    // Without a decoder every clip fails to open and nothing is drawn.
    VideoPlane(scene::TGLAviPlane& node, std::unique_ptr<session::VideoDecoder> decoder);

    // Opens the clip and shows its first frame; an empty path, an unreadable file or a clip
    // that cannot be decoded leaves the plane without a clip and without a picture.
    void OpenClip(const std::filesystem::path& file);
    // Releases the clip and the picture.
    void CloseClip();
    // Levels 1 … 4 choose FrameStep; any level rebuilds the mesh.
    void SetQuality(int quality);
    void SetAutoRate(bool autoRate);
    int UserRate() const { return m_userRate; }
    void setUserRate(int framesPerSecond) { m_userRate = framesPerSecond; }
    // Shows `index` at the next step, whatever time has passed.
    void SetFrame(std::int64_t index);
    // The node's progress event: at most one frame per step, looping after EndFrame.
    void DoProgress(double deltaTime);
    // The plane's x and y scale; none until there is a picture.
    std::optional<float> planeScale() const;

    scene::TGLAviPlane& node() { return m_node; }
    std::int64_t CurrentFrame() const { return m_currentFrame; }
    std::int64_t StartFrame() const { return m_startFrame; }
    std::int64_t EndFrame() const { return m_endFrame; }
    int quality() const { return m_quality; }
    int FrameStep() const { return m_frameStep; }
    double ClipRate() const { return m_clipRate; }
    bool AutoRate() const { return m_autoRate; }
    bool opened() const { return m_opened; }
    const std::filesystem::path& fileName() const { return m_fileName; }
    float WidthUnits() const { return m_widthUnits; }
    float HeightUnits() const { return m_heightUnits; }
    const session::VideoFrame& picture() const { return m_picture; }
    // The index of the frame the picture shows; −1 without a picture.
    std::int64_t pictureFrame() const { return m_pictureFrame; }

private:
    void fetchFrame(std::int64_t index);
    void rebuildMesh();
    void clearClip();

    scene::TGLAviPlane& m_node;
    std::unique_ptr<session::VideoDecoder> m_decoder;
    std::filesystem::path m_fileName;
    int m_quality = 4;
    int m_frameStep = 1;
    std::int64_t m_currentFrame = 0, m_startFrame = 0, m_endFrame = 0;
    bool m_autoRate = true;
    int m_userRate = 0;
    double m_clipRate = 0;
    double m_elapsed = 0;
    bool m_resync = false;
    bool m_opened = false;
    session::VideoFrame m_picture;
    std::int64_t m_pictureFrame = -1;
    int m_meshWidth = 0, m_meshHeight = 0;
    float m_widthUnits = 0, m_heightUnits = 0;
};

} // namespace cantorix::stage
