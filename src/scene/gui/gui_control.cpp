#include "gui_control.h"

#include "../node_visitor.h"

#include <algorithm>

namespace cantorix::scene {

// Event handlers may delete controls, even the one whose event runs. The routing code below
// therefore keeps no pointer across a handler without checking it again: own liveness through
// lifeToken(), children by looking them up among the current children.

TGLBaseControl::~TGLBaseControl() {
    *m_alive = false;
}

void TGLBaseControl::setBounds(int left, int top, int width, int height) {
    setLeft(left);
    setTop(top);
    setWidth(width);
    setHeight(height);
}

RectI TGLBaseControl::globalRect() const {
    int x = m_left, y = m_top;
    for (const TGLBaseControl* p = guiParent(); p; p = p->guiParent()) {
        x += p->m_left;
        y += p->m_top;
    }
    return RectI{x, y, x + m_width, y + m_height};
}

TGLBaseControl* TGLBaseControl::guiParent() const {
    for (TGLBaseSceneObject* node = parent(); node; node = node->parent())
        if (auto* control = dynamic_cast<TGLBaseControl*>(node))
            return control;
    return nullptr;
}

TGLBaseControl& TGLBaseControl::root() {
    TGLBaseControl* control = this;
    while (TGLBaseControl* p = control->guiParent())
        control = p;
    return *control;
}

const TGLBaseControl& TGLBaseControl::root() const {
    return const_cast<TGLBaseControl*>(this)->root();
}

bool TGLBaseControl::guiVisible() const {
    for (const TGLBaseControl* c = this; c; c = c->guiParent())
        if (!c->visible())
            return false;
    return true;
}

bool TGLBaseControl::hitTest(int x, int y) const {
    return guiVisible() && globalRect().contains(x, y);
}

std::vector<TGLBaseControl*> TGLBaseControl::guiChildren() const {
    std::vector<TGLBaseControl*> result;
    for (int i = 0; i < count(); ++i)
        if (auto* control = dynamic_cast<TGLBaseControl*>(&child(i)))
            result.push_back(control);
    return result;
}

bool TGLBaseControl::isGuiChild(const TGLBaseControl* control) const {
    if (!control)
        return false;
    for (int i = 0; i < count(); ++i)
        if (dynamic_cast<const TGLBaseControl*>(&child(i)) == control)
            return true;
    return false;
}

namespace {

// Compares addresses only: the pointer may be stale and is never dereferenced.
bool subtreeHolds(const TGLBaseSceneObject& node, const TGLBaseControl* control) {
    for (int i = 0; i < node.count(); ++i) {
        const TGLBaseSceneObject& c = node.child(i);
        if (dynamic_cast<const TGLBaseControl*>(&c) == control || subtreeHolds(c, control))
            return true;
    }
    return false;
}

} // namespace

bool TGLBaseControl::isInSubtree(const TGLBaseControl* control) const {
    return control && subtreeHolds(*this, control);
}

TGLBaseControl* TGLBaseControl::childAt(int x, int y) const {
    const std::vector<TGLBaseControl*> children = guiChildren();
    const auto it = std::find_if(children.rbegin(), children.rend(),
                                 [&](const TGLBaseControl* c) { return c->hitTest(x, y); });
    return it == children.rend() ? nullptr : *it;
}

void TGLBaseControl::childAdded(TGLBaseSceneObject& node) {
    // A new control may reuse the address of a deleted one that is still remembered here or
    // above; forget such pointers so the newcomer is not taken for the old control.
    auto* added = dynamic_cast<TGLBaseControl*>(&node);
    if (!added)
        return;
    for (TGLBaseControl* c = this; c; c = c->guiParent()) {
        if (c->m_hovered == added)
            c->m_hovered = nullptr;
        if (c->m_captured == added) {
            c->m_captured = nullptr;
            root().m_capturing = false; // the control that took the mouse-down is gone
        }
        if (c->m_focusedChild == added)
            c->m_focusedChild = nullptr;
    }
}

// ---- mouse

TGLBaseControl* TGLBaseControl::controlAt(int x, int y) {
    if (!hitTest(x, y))
        return nullptr;
    TGLBaseControl* target = this;
    while (TGLBaseControl* c = target->childAt(x, y))
        target = c;
    return target;
}

bool TGLBaseControl::mouseDown(TMouseButton button, int x, int y) {
    m_capturing = false;
    if (!hitTest(x, y))
        return false;
    // Descending runs no handler, so the path can be recorded as it is found.
    TGLBaseControl* target = this;
    while (TGLBaseControl* c = target->childAt(x, y)) {
        target->m_captured = c;
        target = c;
    }
    target->m_captured = nullptr;
    m_capturing = true;
    target->internalMouseDown(button, x, y);
    return true;
}

TGLBaseControl* TGLBaseControl::captureTarget() const {
    if (!m_capturing)
        return nullptr;
    const TGLBaseControl* c = this;
    while (c->m_captured) {
        if (!c->isGuiChild(c->m_captured))
            return nullptr; // the control that took the mouse-down has been deleted
        c = c->m_captured;
    }
    return const_cast<TGLBaseControl*>(c);
}

bool TGLBaseControl::mouseUp(TMouseButton button, int x, int y) {
    if (m_capturing) {
        TGLBaseControl* target = captureTarget();
        m_capturing = false;
        if (target)
            target->internalMouseUp(button, x, y);
        return true;
    }
    if (!hitTest(x, y))
        return false;
    TGLBaseControl* target = this;
    while (TGLBaseControl* c = target->childAt(x, y))
        target = c;
    target->internalMouseUp(button, x, y);
    return true;
}

bool TGLBaseControl::mouseMove(int x, int y) {
    const auto alive = lifeToken();
    if (TGLBaseControl* target = captureTarget()) {
        target->capturedMouseMove(x, y);
        if (!*alive)
            return true;
    }
    if (!hitTest(x, y)) {
        leaveHoverChain();
        return false;
    }
    TGLBaseControl* c = this;
    while (true) {
        TGLBaseControl* next = c->childAt(x, y);
        if (!c->setHoveredChild(next))
            return true;
        if (!next)
            break;
        if (!c->isGuiChild(next))
            return true; // a hover handler deleted it
        c = next;
    }
    c->internalMouseMove(x, y);
    return true;
}

bool TGLBaseControl::setHoveredChild(TGLBaseControl* child) {
    TGLBaseControl* old = hoveredChild();
    if (old == child)
        return true;
    const auto alive = lifeToken();
    m_hovered = child;
    if (old) {
        const auto oldAlive = old->lifeToken();
        old->leaveHoverChain();
        if (*oldAlive)
            old->internalMouseLeave();
        if (!*alive)
            return false;
    }
    if (child && isGuiChild(child))
        child->internalMouseEnter();
    return *alive;
}

void TGLBaseControl::leaveHoverChain() {
    TGLBaseControl* hovered = hoveredChild();
    m_hovered = nullptr;
    if (!hovered)
        return;
    const auto alive = hovered->lifeToken();
    hovered->leaveHoverChain();
    if (*alive)
        hovered->internalMouseLeave();
}

// ---- keys and focus

TGLBaseControl* TGLBaseControl::focusedControl() const {
    if (!m_focusedChild)
        return nullptr;
    if (m_focusedChild == this || isInSubtree(m_focusedChild))
        return m_focusedChild;
    return nullptr;
}

bool TGLBaseControl::focused() const {
    return root().focusedControl() == this;
}

void TGLBaseControl::setFocus() {
    TGLBaseControl& r = root();
    TGLBaseControl* old = r.focusedControl();
    if (old == this)
        return;
    r.m_focusedChild = this;
    if (old)
        old->touch();
    touch();
}

TGLBaseControl* TGLBaseControl::keyTarget() const {
    TGLBaseControl* target = root().focusedControl();
    if (!target || !target->guiVisible())
        return nullptr;
    for (const TGLBaseControl* c = target; c; c = c->guiParent())
        if (c == this)
            return target;
    return nullptr;
}

void TGLBaseControl::keyDown(int key) {
    if (TGLBaseControl* target = keyTarget())
        target->internalKeyDown(key);
}

void TGLBaseControl::keyPress(char32_t ch) {
    if (TGLBaseControl* target = keyTarget())
        target->internalKeyPress(ch);
}

void TGLBaseControl::keyUp(int key) {
    if (TGLBaseControl* target = keyTarget())
        target->internalKeyUp(key);
}

// ---- default handlers: raise the events

void TGLBaseControl::internalMouseDown(TMouseButton button, int x, int y) {
    raise(onMouseDown, *this, button, x, y);
}
void TGLBaseControl::internalMouseUp(TMouseButton button, int x, int y) {
    raise(onMouseUp, *this, button, x, y);
}
void TGLBaseControl::internalMouseMove(int x, int y) {
    raise(onMouseMove, *this, x, y);
}
void TGLBaseControl::internalKeyDown(int key) {
    raise(onKeyDown, *this, key);
}
void TGLBaseControl::internalKeyPress(char32_t ch) {
    raise(onKeyPress, *this, ch);
}
void TGLBaseControl::internalKeyUp(int key) {
    raise(onKeyUp, *this, key);
}
void TGLBaseControl::internalMouseEnter() {
    raise(onMouseEnter, *this);
}
void TGLBaseControl::internalMouseLeave() {
    raise(onMouseLeave, *this);
}

// ---- skin geometry

void TGLBaseControl::applyChanges() {
    // The skin geometry depends on the controls' own settings and their parents' places, and every
    // change to them climbs to the root's revision; the game applies every frame, sixty times a
    // second on a screen that mostly stands still.
    const bool root = guiParent() == nullptr;
    if (root && m_appliedRevision == revision())
        return;
    rebuildSubtree();
    if (root)
        m_appliedRevision = revision();
}

void TGLBaseControl::rebuildSubtree() {
    rebuildGeometry();
    for (TGLBaseControl* c : guiChildren())
        c->rebuildSubtree();
}

void TGLBaseControl::rebuildGeometry() {
    m_skinQuads.clear();
    const TGLGuiElement* element = m_layout ? m_layout->find(currentLayoutName()) : nullptr;
    if (!element)
        return;
    m_skinQuads = nineSlice(*element, toRectF(globalRect()));
}

void TGLBaseControl::accept(NodeVisitor& visitor) {
    visitor.visit(*this);
}
void TGLForm::accept(NodeVisitor& visitor) {
    visitor.visit(*this);
}
void TGLPanel::accept(NodeVisitor& visitor) {
    visitor.visit(*this);
}
void TGLLabel::accept(NodeVisitor& visitor) {
    visitor.visit(*this);
}

} // namespace cantorix::scene
