#include "../node_visitor.h"
#include "gui_control.h"

namespace cantorix::scene {

namespace {

bool isPressKey(int key) {
    return key == keys::Space || key == keys::Enter;
}

} // namespace

void TGLButton::setPressed(bool p) {
    if (!assignChanged(*this, m_pressed, p) || !p)
        return;
    if (m_group >= 0 && parent()) {
        TGLBaseSceneObject& siblings = *parent();
        for (int i = 0; i < siblings.count(); ++i) {
            auto* other = dynamic_cast<TGLButton*>(&siblings.child(i));
            if (other && other != this && other->m_group == m_group)
                other->setPressed(false);
        }
    }
    raise(onButtonClick, *this);
}

void TGLButton::press() {
    setPressed(m_allowUp ? !m_pressed : true);
}

void TGLButton::setLibMaterialName(std::string name) {
    MaterialRef ref = m_bitBtn;
    ref.name = std::move(name);
    assignChanged(*this, m_bitBtn, ref);
}

void TGLButton::setLogicSize(int w, int h) {
    assignChanged(*this, m_logicWidth, w);
    assignChanged(*this, m_logicHeight, h);
}

void TGLButton::setOffsets(int x, int y) {
    assignChanged(*this, m_xOffset, x);
    assignChanged(*this, m_yOffset, y);
}

void TGLButton::internalMouseDown(TMouseButton button, int x, int y) {
    const auto alive = lifeToken();
    TGLBaseControl::internalMouseDown(button, x, y);
    if (*alive && button == TMouseButton::mbLeft)
        press();
}

void TGLButton::internalMouseUp(TMouseButton button, int x, int y) {
    if (button == TMouseButton::mbLeft && !m_allowUp)
        setPressed(false);
    TGLBaseControl::internalMouseUp(button, x, y);
}

void TGLButton::internalKeyDown(int key) {
    const auto alive = lifeToken();
    TGLBaseControl::internalKeyDown(key);
    // Auto-repeat sends more key-downs while the key is held: one press, not a toggle each.
    if (!*alive || !isPressKey(key) || m_pressKeyHeld)
        return;
    m_pressKeyHeld = true;
    press();
}

void TGLButton::internalKeyUp(int key) {
    if (isPressKey(key)) {
        m_pressKeyHeld = false;
        if (!m_allowUp)
            setPressed(false);
    }
    TGLBaseControl::internalKeyUp(key);
}

const std::string& TGLButton::currentLayoutName() const {
    return m_pressed && !m_layoutNamePressed.empty() ? m_layoutNamePressed : guiLayoutName();
}

void TGLButton::accept(NodeVisitor& visitor) {
    visitor.visit(*this);
}

} // namespace cantorix::scene
