#include "video_plane_renderer.h"

namespace cantorix::scene::render {

namespace {

enum Buffer { Vertices, Colours, Indices };

template <class T> GLsizeiptr byteSize(const std::vector<T>& v) {
    return static_cast<GLsizeiptr>(v.size() * sizeof(T));
}

} // namespace

VideoPlaneRenderer::~VideoPlaneRenderer() {
    if (m_buffers[0])
        m_gl.glDeleteBuffers(3, m_buffers);
}

void VideoPlaneRenderer::upload(const TGLAviPlane& plane) {
    if (!m_buffers[0])
        m_gl.glGenBuffers(3, m_buffers);
    const TGLAviPlane::Mesh& mesh = plane.mesh();
    if (&plane != m_plane || !m_uploadedMesh || plane.meshRevision() != m_meshRevision) {
        m_gl.glBindBuffer(GL_ARRAY_BUFFER, m_buffers[Vertices]);
        m_gl.glBufferData(GL_ARRAY_BUFFER, byteSize(mesh.vertices), mesh.vertices.data(),
                          GL_STATIC_DRAW);
        m_gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_buffers[Indices]);
        m_gl.glBufferData(GL_ELEMENT_ARRAY_BUFFER, byteSize(mesh.indices), mesh.indices.data(),
                          GL_STATIC_DRAW);
        m_uploaded += static_cast<std::uint64_t>(byteSize(mesh.vertices) + byteSize(mesh.indices));
        m_plane = &plane;
        m_meshRevision = plane.meshRevision();
        m_uploadedMesh = true;
        m_uploadedColours = false;
    }
    if (!m_uploadedColours || plane.colourRevision() != m_colourRevision) {
        m_gl.glBindBuffer(GL_ARRAY_BUFFER, m_buffers[Colours]);
        m_gl.glBufferData(GL_ARRAY_BUFFER, byteSize(plane.colours()), plane.colours().data(),
                          GL_STREAM_DRAW);
        m_uploaded += static_cast<std::uint64_t>(byteSize(plane.colours()));
        m_colourRevision = plane.colourRevision();
        m_uploadedColours = true;
    }
}

void VideoPlaneRenderer::draw(const TGLAviPlane& plane) {
    const TGLAviPlane::Mesh& mesh = plane.mesh();
    // A mesh whose colours have not been filled for it yet is not drawn.
    if (mesh.strips <= 0 || mesh.stripLength <= 0 ||
        plane.colours().size() != mesh.vertices.size() ||
        mesh.indices.size() != static_cast<std::size_t>(mesh.strips) * mesh.stripLength)
        return;
    upload(plane);
    m_gl.glShadeModel(GL_SMOOTH);
    m_gl.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    m_gl.glEnableClientState(GL_COLOR_ARRAY);
    m_gl.glBindBuffer(GL_ARRAY_BUFFER, m_buffers[Vertices]);
    m_gl.glVertexPointer(3, GL_FLOAT, 0, nullptr);
    m_gl.glBindBuffer(GL_ARRAY_BUFFER, m_buffers[Colours]);
    m_gl.glColorPointer(3, GL_FLOAT, 0, nullptr);
    m_gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_buffers[Indices]);
    // All strips in one call: a software rasteriser pays for every call.
    const std::size_t stripBytes =
        static_cast<std::size_t>(mesh.stripLength) * sizeof(std::uint32_t);
    m_counts.assign(static_cast<std::size_t>(mesh.strips), mesh.stripLength);
    m_offsets.resize(static_cast<std::size_t>(mesh.strips));
    for (std::size_t s = 0; s < m_offsets.size(); ++s)
        m_offsets[s] = reinterpret_cast<const void*>(s * stripBytes);
    m_gl.glMultiDrawElements(GL_TRIANGLE_STRIP, m_counts.data(), GL_UNSIGNED_INT, m_offsets.data(),
                             mesh.strips);
    // The other drawing passes client-side arrays: no buffer may stay bound.
    m_gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    m_gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
    m_gl.glDisableClientState(GL_COLOR_ARRAY);
    m_gl.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

} // namespace cantorix::scene::render
