#pragma once
// Draws the video plane's mesh from GL buffers: the vertices and strip indices are sent when
// the mesh is rebuilt, the colours when a new frame is shown, nothing when neither changed.
// Owns the buffers; needs the viewer's GL context current. Main thread only.

#include "scene/scene_nodes.h"

#include <QOpenGLFunctions_2_1>
#include <cstdint>
#include <vector>

namespace cantorix::scene::render {

class VideoPlaneRenderer {
public:
    explicit VideoPlaneRenderer(QOpenGLFunctions_2_1& gl) : m_gl(gl) {}
    ~VideoPlaneRenderer();
    VideoPlaneRenderer(const VideoPlaneRenderer&) = delete;
    VideoPlaneRenderer& operator=(const VideoPlaneRenderer&) = delete;

    // Draws the strips with per-vertex colours in the current model-view; leaves no buffer
    // bound and the client arrays as the painter expects them.
    void draw(const TGLAviPlane& plane);
    // Bytes sent to GL so far (for tests and measurements).
    std::uint64_t bytesUploaded() const { return m_uploaded; }

private:
    void upload(const TGLAviPlane& plane);

    QOpenGLFunctions_2_1& m_gl;
    GLuint m_buffers[3] = {0, 0, 0}; // vertices, colours, indices
    const TGLAviPlane* m_plane = nullptr;
    std::uint64_t m_meshRevision = 0, m_colourRevision = 0;
    bool m_uploadedMesh = false, m_uploadedColours = false;
    std::uint64_t m_uploaded = 0;
    std::vector<GLsizei> m_counts;
    std::vector<const void*> m_offsets;
};

} // namespace cantorix::scene::render
