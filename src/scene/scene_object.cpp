#include "scene_object.h"

#include "node_visitor.h"

#include <cmath>

namespace cantorix::scene {

float normalizeTurnAngle(float degrees) {
    // Halves go to the even neighbour, as every rounding of the game does.
    float x = degrees - 360.0f * std::nearbyint(degrees / 360.0f);
    if (x < -180.0f)
        x += 360.0f;
    else if (x > 180.0f)
        x -= 360.0f;
    return x;
}

TGLBaseSceneObject::TGLBaseSceneObject(std::string name) : m_name(std::move(name)) {}

TGLBaseSceneObject::~TGLBaseSceneObject() = default;

void TGLBaseSceneObject::setVisible(bool visible) {
    assignChanged(*this, m_visible, visible);
}

bool TGLBaseSceneObject::visibleInTree() const {
    for (const TGLBaseSceneObject* node = this; node; node = node->m_parent)
        if (!node->m_visible)
            return false;
    return true;
}

void TGLBaseSceneObject::setPosition(Vec3 p) {
    assignChanged(*this, m_position, p);
}
void TGLBaseSceneObject::setDirection(Vec3 d) {
    assignChanged(*this, m_direction, d);
}
void TGLBaseSceneObject::setUp(Vec3 u) {
    assignChanged(*this, m_up, u);
}
void TGLBaseSceneObject::setScale(Vec3 s) {
    assignChanged(*this, m_scale, s);
}

void TGLBaseSceneObject::setTurnAngle(float degrees) {
    assignChanged(*this, m_turnAngle, normalizeTurnAngle(degrees));
}

void TGLBaseSceneObject::deleteChildren() {
    if (m_children.empty())
        return;
    // Move the children out first so a destructor that inspects the tree sees it consistent.
    auto doomed = std::move(m_children);
    m_children.clear();
    touch();
}

TGLBaseSceneObject* TGLBaseSceneObject::findChild(std::string_view name) const {
    for (const auto& c : m_children) {
        if (c->m_name == name)
            return c.get();
        if (auto* found = c->findChild(name))
            return found;
    }
    return nullptr;
}

void TGLBaseSceneObject::doProgress(double deltaTime) {
    if (onProgress)
        onProgress(*this, deltaTime);
    // Index loop: a progress handler may add children; those start with the next step.
    const std::size_t n = m_children.size();
    for (std::size_t i = 0; i < n && i < m_children.size(); ++i)
        m_children[i]->doProgress(deltaTime);
}

void TGLBaseSceneObject::accept(NodeVisitor& visitor) {
    visitor.visit(*this);
}

void TGLBaseSceneObject::touch() {
    for (TGLBaseSceneObject* node = this; node; node = node->m_parent)
        ++node->m_revision;
}

void TGLBaseSceneObject::adopt(std::unique_ptr<TGLBaseSceneObject> node) {
    node->m_parent = this;
    TGLBaseSceneObject& ref = *node;
    m_children.push_back(std::move(node));
    childAdded(ref);
    touch();
}

} // namespace cantorix::scene
