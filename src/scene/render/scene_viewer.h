#pragma once
// The widget that shows the scene: draws it with OpenGL when something changed since the last
// frame, reports each rendered frame and passes mouse input on in design pixels. A scene with a
// designed size is scaled uniformly into any widget size and centred (letterboxed). Owns the GL
// texture cache and renderer; borrows the scene, libraries and fonts. Main thread only.

#include "letterbox.h"
#include "scene/gui/gui_control.h"
#include "scene/material.h"
#include "scene/scene_nodes.h"

#include <QOpenGLWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QOpenGLFunctions_2_1;

namespace cantorix::scene::render {

class GlPainter;
class SceneRenderer;
class TextureCache;

class SceneViewer : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit SceneViewer(TGLScene& scene, QWidget* parent = nullptr);
    ~SceneViewer() override;

    // Libraries and fonts whose changes should redraw the scene; their textures stay uploaded
    // while they exist, even when nothing shows them.
    void addMaterialLibrary(const TGLMaterialLibrary& library);
    void addFont(const TGLBitmapFont& font);
    // The camera to look through; by default the first camera of the scene.
    void setCamera(const TGLCamera* camera) { m_camera = camera; }

    // The size the scene was laid out for; every node and control position is in its pixels.
    // Without one the widget's own size is the design size and nothing is scaled.
    void setDesignSize(int width, int height);
    // Colour of the margins beside or above and below the scaled scene.
    void setMarginColour(ColorF colour);
    // Where the scene lies in the widget now (device pixels) and how it scales.
    Letterbox letterbox() const;

    // Schedules a repaint when the scene, a library or a font changed since the last frame.
    void invalidate();
    // Textures held in GL (for tests and diagnostics).
    std::size_t textureCount() const;
    std::uint64_t textureUploads() const;
    std::uint64_t framesRendered() const { return m_frames; }
    // Main-thread time spent drawing frames so far, and the longest single frame.
    double paintMilliseconds() const { return m_paintMs; }
    double longestPaintMilliseconds() const { return m_longestPaintMs; }

signals:
    void afterRender();
    void mouseDown(cantorix::scene::TMouseButton button, int x, int y);
    void mouseMove(int x, int y);
    void mouseUp(cantorix::scene::TMouseButton button, int x, int y);

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // A widget point in design pixels, truncated as the controls' integer hit test expects.
    QPoint designPoint(const QMouseEvent& event) const;
    std::uint64_t changeStamp() const;
    void releaseGl();

    TGLScene& m_scene;
    const TGLCamera* m_camera = nullptr;
    int m_designWidth = 0, m_designHeight = 0;
    ColorF m_margin{0, 0, 0, 1};
    // A new size or margin draws a new frame even when the scene has not changed.
    bool m_layoutChanged = false;
    std::vector<const TGLMaterialLibrary*> m_libraries;
    std::vector<const TGLBitmapFont*> m_fonts;
    std::optional<std::uint64_t> m_paintedStamp;
    std::uint64_t m_frames = 0;
    double m_paintMs = 0;
    double m_longestPaintMs = 0;
    QMetaObject::Connection m_contextGone;
    QOpenGLFunctions_2_1* m_gl = nullptr;
    std::unique_ptr<TextureCache> m_textures;
    std::unique_ptr<GlPainter> m_painter;
    std::unique_ptr<SceneRenderer> m_renderer;
};

} // namespace cantorix::scene::render
