#include "../node_visitor.h"
#include "gui_control.h"

#include <algorithm>
#include <cmath>

namespace cantorix::scene {

namespace {

// Halves go to the even neighbour, as every rounding of the game does.
long long roundHalfEven(double value) {
    return static_cast<long long>(std::nearbyint(value));
}

} // namespace

double TGLScrollbar::lastPos() const {
    return std::max<double>(m_min, static_cast<double>(m_max) - m_pageSize + 1);
}

void TGLScrollbar::movePos(double target) {
    if (std::isnan(target))
        return;
    const auto clamped = static_cast<float>(std::clamp<double>(target, m_min, lastPos()));
    if (assignChanged(*this, m_pos, clamped))
        raise(onChange, *this);
}

void TGLScrollbar::setPos(float v) {
    movePos(v);
}

void TGLScrollbar::setMin(float v) {
    assignChanged(*this, m_min, v);
    movePos(m_pos);
}

void TGLScrollbar::setMax(float v) {
    assignChanged(*this, m_max, v);
    movePos(m_pos);
}

void TGLScrollbar::setPageSize(float v) {
    assignChanged(*this, m_pageSize, std::max(1.0f, v));
    movePos(m_pos);
}

// ---- geometry

TGLScrollbar::Axis TGLScrollbar::axis() const {
    const RectI r = globalRect();
    if (m_horizontal)
        return Axis{r.left, std::max(0, r.width()), std::max(0, r.height())};
    return Axis{r.top, std::max(0, r.height()), std::max(0, r.width())};
}

RectI TGLScrollbar::spanRect(int from, int to) const {
    const RectI r = globalRect();
    if (m_horizontal)
        return RectI{from, r.top, to, r.bottom};
    return RectI{r.left, from, r.right, to};
}

TGLScrollbar::Track TGLScrollbar::track() const {
    const Axis a = axis();
    const int arrow = std::min(a.thickness, a.length / 2);
    Track t;
    t.start = a.start + arrow;
    t.length = a.length - 2 * arrow;
    const double values = static_cast<double>(m_max) - m_min + 1;
    long long knob =
        values > 0 ? roundHalfEven(static_cast<double>(t.length) * m_pageSize / values) : t.length;
    knob = std::clamp<long long>(std::max<long long>(knob, a.thickness), 0, t.length);
    t.knobLength = static_cast<int>(knob);
    const double span = lastPos() - m_min;
    const int travel = t.length - t.knobLength;
    t.knobStart = t.start;
    if (span > 0) {
        const double offset = static_cast<double>(m_pos) - m_min;
        t.knobStart += static_cast<int>(roundHalfEven(offset * travel / span));
    }
    return t;
}

RectI TGLScrollbar::decArrowRect() const {
    const Axis a = axis();
    return spanRect(a.start, track().start);
}

RectI TGLScrollbar::incArrowRect() const {
    const Axis a = axis();
    const Track t = track();
    return spanRect(t.start + t.length, a.start + a.length);
}

RectI TGLScrollbar::trackRect() const {
    const Track t = track();
    return spanRect(t.start, t.start + t.length);
}

RectI TGLScrollbar::knobRect() const {
    const Track t = track();
    return spanRect(t.knobStart, t.knobStart + t.knobLength);
}

double TGLScrollbar::valueAt(int coordinate) const {
    const Track t = track();
    const int travel = t.length - t.knobLength;
    const double span = lastPos() - m_min;
    if (travel <= 0 || span <= 0)
        return m_min;
    return m_min + static_cast<double>(coordinate - t.start) * span / travel;
}

// ---- mouse

void TGLScrollbar::internalMouseDown(TMouseButton button, int x, int y) {
    m_dragging = false;
    const auto alive = lifeToken();
    TGLBaseControl::internalMouseDown(button, x, y);
    if (!*alive || button != TMouseButton::mbLeft)
        return;
    const int along = m_horizontal ? x : y;
    const Track t = track();
    if (decArrowRect().contains(x, y)) {
        movePos(static_cast<double>(m_pos) - m_step);
    } else if (incArrowRect().contains(x, y)) {
        movePos(static_cast<double>(m_pos) + m_step);
    } else if (along < t.knobStart) {
        movePos(static_cast<double>(m_pos) - m_pageSize);
    } else if (along >= t.knobStart + t.knobLength) {
        movePos(static_cast<double>(m_pos) + m_pageSize);
    } else {
        m_dragging = true;
        m_grabOffset = valueAt(along) - m_pos;
    }
}

void TGLScrollbar::capturedMouseMove(int x, int y) {
    if (m_dragging)
        movePos(static_cast<double>(roundHalfEven(valueAt(m_horizontal ? x : y) - m_grabOffset)));
}

void TGLScrollbar::internalMouseUp(TMouseButton button, int x, int y) {
    if (button == TMouseButton::mbLeft)
        m_dragging = false;
    TGLBaseControl::internalMouseUp(button, x, y);
}

void TGLScrollbar::rebuildGeometry() {
    TGLBaseControl::rebuildGeometry();
    const TGLGuiElement* knob = guiLayout() ? guiLayout()->find(m_knobName) : nullptr;
    if (!knob)
        return;
    const auto quads = nineSlice(*knob, toRectF(knobRect()));
    m_skinQuads.insert(m_skinQuads.end(), quads.begin(), quads.end());
}

void TGLScrollbar::accept(NodeVisitor& visitor) {
    visitor.visit(*this);
}

} // namespace cantorix::scene
