#include "video_plane.h"

namespace cantorix::stage {

namespace {

// Scene units per picture pixel of the mesh.
constexpr float kPixelsPerUnit = 60.0f;

} // namespace

double clipRateOfField(std::uint32_t rateField) {
    double divisor = 10000.0;
    if (rateField <= 1000)
        divisor = 1.0;
    else if (rateField <= 10000)
        divisor = 100.0;
    else if (rateField <= 100000)
        divisor = 1000.0;
    return static_cast<double>(rateField) / divisor;
}

std::optional<int> frameStepOfQuality(int quality) {
    switch (quality) {
    case 1:
        return 8;
    case 2:
        return 4;
    case 3:
        return 2;
    case 4:
        return 1;
    default:
        return std::nullopt;
    }
}

scene::TGLAviPlane::Mesh buildVideoMesh(int width, int height, int step) {
    scene::TGLAviPlane::Mesh mesh;
    if (step <= 0 || width < step || height < step)
        return mesh;
    const int columns = width / step, rows = height / step;
    const float unit = static_cast<float>(step) / kPixelsPerUnit;
    const float left = static_cast<float>(columns * step) / (2 * kPixelsPerUnit);
    const float bottom = static_cast<float>(rows * step) / (2 * kPixelsPerUnit);
    mesh.vertices.reserve(static_cast<std::size_t>(columns) * rows * 3);
    for (int r = 0; r < rows; ++r)
        for (int j = 0; j < columns; ++j)
            mesh.vertices.insert(
                mesh.vertices.end(),
                {static_cast<float>(j) * unit - left, static_cast<float>(r) * unit - bottom, 0.0f});
    mesh.strips = rows - 1;
    mesh.stripLength = 2 * columns;
    mesh.indices.reserve(static_cast<std::size_t>(mesh.strips) * mesh.stripLength);
    for (int r = 0; r + 1 < rows; ++r) {
        const auto lower = static_cast<std::uint32_t>(r * columns);
        const auto upper = lower + static_cast<std::uint32_t>(columns);
        for (int j = 0; j < columns; ++j) {
            mesh.indices.push_back(upper + static_cast<std::uint32_t>(j));
            mesh.indices.push_back(lower + static_cast<std::uint32_t>(j));
        }
    }
    return mesh;
}

void fillVideoColours(const session::VideoFrame& picture, int step, std::vector<float>& colours) {
    colours.clear();
    if (step <= 0 || picture.empty())
        return;
    const int columns = picture.width / step, rows = picture.height / step;
    colours.resize(static_cast<std::size_t>(columns) * rows * 3);
    float* out = colours.data();
    for (int r = 0; r < rows; ++r) {
        for (int j = 0; j < columns; ++j) {
            const std::uint8_t* bgr = picture.pixel((columns - 1 - j) * step, r * step);
            *out++ = static_cast<float>(bgr[2]) / 256.0f;
            *out++ = static_cast<float>(bgr[1]) / 256.0f;
            *out++ = static_cast<float>(bgr[0]) / 256.0f;
        }
    }
}

VideoPlane::VideoPlane(scene::TGLAviPlane& node, std::unique_ptr<session::VideoDecoder> decoder)
    : m_node(node), m_decoder(std::move(decoder)) {}

void VideoPlane::OpenClip(const std::filesystem::path& file) {
    m_fileName = file;
    m_startFrame = m_endFrame = m_currentFrame = 0;
    if (file.empty() || !m_decoder || !m_decoder->open(file)) {
        clearClip();
        return;
    }
    const session::VideoStreamInfo info = m_decoder->info();
    m_clipRate = clipRateOfField(info.rate);
    m_startFrame = info.start;
    m_endFrame = info.start + info.length;
    m_opened = true;
    m_picture = {};
    m_pictureFrame = -1;
    fetchFrame(m_startFrame);
    rebuildMesh();
    m_elapsed = 0;
    m_resync = true;
}

void VideoPlane::CloseClip() {
    m_startFrame = m_endFrame = m_currentFrame = 0;
    clearClip();
}

void VideoPlane::clearClip() {
    if (m_decoder)
        m_decoder->close();
    m_opened = false;
    m_startFrame = m_endFrame = m_currentFrame = 0;
    m_picture = {};
    m_pictureFrame = -1;
    rebuildMesh();
}

void VideoPlane::SetQuality(int quality) {
    m_quality = quality;
    if (const auto step = frameStepOfQuality(quality))
        m_frameStep = *step;
    rebuildMesh();
}

void VideoPlane::SetAutoRate(bool autoRate) {
    m_autoRate = autoRate;
    m_resync = true;
}

void VideoPlane::SetFrame(std::int64_t index) {
    m_currentFrame = index;
    m_resync = true;
}

void VideoPlane::DoProgress(double deltaTime) {
    const double rate = m_autoRate ? m_clipRate : static_cast<double>(m_userRate);
    if (rate <= 0 || !m_opened)
        return;
    m_elapsed += deltaTime;
    if (m_elapsed < 1.0 / rate && !m_resync)
        return;
    m_elapsed -= 1.0 / rate;
    fetchFrame(m_currentFrame);
    // One frame per step at most: a slow viewer slows the clip down instead of skipping.
    if (++m_currentFrame > m_endFrame)
        m_currentFrame = m_startFrame;
    if (m_resync) {
        m_elapsed = 0;
        m_resync = false;
    }
}

std::optional<float> VideoPlane::planeScale() const {
    if (m_widthUnits <= 0)
        return std::nullopt;
    return kShownWidth / m_widthUnits;
}

void VideoPlane::fetchFrame(std::int64_t index) {
    // The same frame again (a paused clip asks for it every step) is the picture already shown.
    if (!m_opened || (index == m_pictureFrame && !m_picture.empty()))
        return;
    if (!m_decoder->frame(index, m_picture))
        return;
    m_pictureFrame = index;
    if (m_picture.width != m_meshWidth || m_picture.height != m_meshHeight) {
        rebuildMesh();
        return;
    }
    fillVideoColours(m_picture, m_frameStep, m_node.colours());
    m_node.coloursChanged();
}

void VideoPlane::rebuildMesh() {
    const bool shown = !m_picture.empty();
    m_meshWidth = shown ? m_picture.width : 0;
    m_meshHeight = shown ? m_picture.height : 0;
    m_node.setMesh(buildVideoMesh(m_meshWidth, m_meshHeight, m_frameStep));
    fillVideoColours(m_picture, m_frameStep, m_node.colours());
    m_node.coloursChanged();
    const int columns = m_meshWidth / m_frameStep, rows = m_meshHeight / m_frameStep;
    m_widthUnits = static_cast<float>(columns * m_frameStep) / kPixelsPerUnit;
    m_heightUnits = static_cast<float>(rows * m_frameStep) / kPixelsPerUnit;
}

} // namespace cantorix::stage
