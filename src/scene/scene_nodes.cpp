#include "scene_nodes.h"

#include "node_visitor.h"

namespace cantorix::scene {

void TGLDummyCube::accept(NodeVisitor& visitor) {
    visitor.visit(*this);
}
void TGLCamera::accept(NodeVisitor& visitor) {
    visitor.visit(*this);
}
void TGLLightSource::accept(NodeVisitor& visitor) {
    visitor.visit(*this);
}
void TGLHUDSprite::accept(NodeVisitor& visitor) {
    visitor.visit(*this);
}
void TGLHUDText::accept(NodeVisitor& visitor) {
    visitor.visit(*this);
}
void TGLCube::accept(NodeVisitor& visitor) {
    visitor.visit(*this);
}
void TGLAviPlane::accept(NodeVisitor& visitor) {
    visitor.visit(*this);
}

void TGLAviPlane::setMesh(Mesh mesh) {
    m_mesh = std::move(mesh);
    ++m_meshRevision;
    touch();
}

void TGLAviPlane::coloursChanged() {
    ++m_colourRevision;
    touch();
}

} // namespace cantorix::scene
