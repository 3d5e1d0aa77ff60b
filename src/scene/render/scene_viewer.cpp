#include "scene_viewer.h"

#include "gl_painter.h"
#include "scene_renderer.h"
#include "texture_cache.h"

#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions_2_1>
#include <QOpenGLVersionFunctionsFactory>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace cantorix::scene::render {

namespace {

std::optional<TMouseButton> gameButton(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return TMouseButton::mbLeft;
    case Qt::RightButton:
        return TMouseButton::mbRight;
    case Qt::MiddleButton:
        return TMouseButton::mbMiddle;
    default:
        return std::nullopt;
    }
}

} // namespace

SceneViewer::SceneViewer(TGLScene& scene, QWidget* parent) : QOpenGLWidget(parent), m_scene(scene) {
    setMouseTracking(true);
    setUpdateBehavior(QOpenGLWidget::NoPartialUpdate);
}

SceneViewer::~SceneViewer() {
    // The base class destroys the context later, when this object's members are gone.
    disconnect(m_contextGone);
    if (m_textures && context()) {
        makeCurrent();
        releaseGl();
        doneCurrent();
    }
}

void SceneViewer::addMaterialLibrary(const TGLMaterialLibrary& library) {
    m_libraries.push_back(&library);
    m_paintedStamp.reset();
}

void SceneViewer::addFont(const TGLBitmapFont& font) {
    m_fonts.push_back(&font);
    m_paintedStamp.reset();
}

std::uint64_t SceneViewer::changeStamp() const {
    // Every revision only grows, so the sum changes whenever any of them does.
    std::uint64_t stamp = m_scene.revision();
    for (const TGLMaterialLibrary* library : m_libraries)
        stamp += library->revision();
    for (const TGLBitmapFont* font : m_fonts)
        stamp += font->revision();
    return stamp;
}

void SceneViewer::setDesignSize(int width, int height) {
    m_designWidth = width;
    m_designHeight = height;
    m_layoutChanged = true;
    update();
}

void SceneViewer::setMarginColour(ColorF colour) {
    if (colour == m_margin)
        return;
    m_margin = colour;
    m_layoutChanged = true;
    update();
}

Letterbox SceneViewer::letterbox() const {
    const bool designed = m_designWidth > 0 && m_designHeight > 0;
    return fitLetterbox(designed ? m_designWidth : width(), designed ? m_designHeight : height(),
                        width(), height(), devicePixelRatioF());
}

void SceneViewer::resizeEvent(QResizeEvent* event) {
    m_layoutChanged = true;
    QOpenGLWidget::resizeEvent(event);
}

void SceneViewer::invalidate() {
    if (m_layoutChanged || m_paintedStamp != changeStamp())
        update();
}

std::size_t SceneViewer::textureCount() const {
    return m_textures ? m_textures->size() : 0;
}

std::uint64_t SceneViewer::textureUploads() const {
    return m_textures ? m_textures->uploadCount() : 0;
}

void SceneViewer::initializeGL() {
    // A new context (the first, or after the widget moved to another window) starts afresh.
    releaseGl();
    m_gl = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_2_1>(context());
    if (!m_gl || !m_gl->initializeOpenGLFunctions()) {
        qCritical("The scene cannot be drawn: it needs OpenGL 2.1 or a compatibility profile.");
        m_gl = nullptr;
        return;
    }
    m_textures = std::make_unique<TextureCache>(*m_gl);
    m_painter = std::make_unique<GlPainter>(*m_gl, *m_textures);
    m_renderer = std::make_unique<SceneRenderer>(*m_painter);
    disconnect(m_contextGone);
    m_contextGone = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
        makeCurrent();
        releaseGl();
        doneCurrent();
    });
}

void SceneViewer::releaseGl() {
    if (m_textures)
        m_textures->releaseAll();
    m_renderer.reset();
    m_painter.reset();
    m_textures.reset();
    m_gl = nullptr;
}

void SceneViewer::paintGL() {
    if (!m_renderer)
        return;
    const auto started = std::chrono::steady_clock::now();
    const bool designed = m_designWidth > 0 && m_designHeight > 0;
    m_painter->beginFrame(designed ? m_designWidth : width(), designed ? m_designHeight : height(),
                          letterbox(), m_margin);
    m_layoutChanged = false;
    try {
        m_renderer->render(m_scene, m_camera);
    } catch (const std::exception& e) {
        // Qt cannot carry an exception out of a paint; the rest of this frame is skipped.
        qWarning("Drawing the scene failed: %s", e.what());
    }
    m_painter->endFrame();
    m_textures->endFrame(m_libraries, m_fonts);
    // Taken after drawing: text drawn for the first time adds glyphs to its font.
    m_paintedStamp = changeStamp();
    ++m_frames;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    m_paintMs += ms;
    m_longestPaintMs = std::max(m_longestPaintMs, ms);
    emit afterRender();
}

QPoint SceneViewer::designPoint(const QMouseEvent& event) const {
    const PointF p = letterbox().toDesign({event.position().x(), event.position().y()});
    // Floor, not round: a design pixel covers [x, x + 1), as the hit test counts it.
    return {static_cast<int>(std::floor(p.x)), static_cast<int>(std::floor(p.y))};
}

void SceneViewer::mousePressEvent(QMouseEvent* event) {
    if (auto button = gameButton(event->button())) {
        const QPoint p = designPoint(*event);
        emit mouseDown(*button, p.x(), p.y());
    }
}

void SceneViewer::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = designPoint(*event);
    emit mouseMove(p.x(), p.y());
}

void SceneViewer::mouseReleaseEvent(QMouseEvent* event) {
    if (auto button = gameButton(event->button())) {
        const QPoint p = designPoint(*event);
        emit mouseUp(*button, p.x(), p.y());
    }
}

} // namespace cantorix::scene::render
