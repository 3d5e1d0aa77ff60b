#pragma once
// Draws a scene tree with OpenGL: depth-first in child order, skipping hidden subtrees; 3D nodes
// through the camera with depth test, HUD nodes and GUI controls in screen space over whatever
// was drawn before them. Owned by the viewer; needs its GL context current. Main thread only.

#include "gl_painter.h"
#include "gui_renderer.h"
#include "scene/node_visitor.h"
#include "video_plane_renderer.h"

namespace cantorix::scene::render {

class SceneRenderer : private NodeVisitor {
public:
    explicit SceneRenderer(GlPainter& painter)
        : m_painter(painter), m_gui(painter), m_video(painter.functions()) {}

    // One frame of the tree under root. The camera is the given one, else the first camera
    // found in the tree; without a camera the 3D nodes are not drawn.
    void render(TGLBaseSceneObject& root, const TGLCamera* camera);

    static const TGLCamera* findCamera(const TGLBaseSceneObject& root);

private:
    void walk(TGLBaseSceneObject& node);
    // What a run of sprites or texts shares to go to GL in one call: a textured material, or,
    // for plain colours, only the blending; or a font's atlas. Each quad keeps its own colour.
    struct BatchKey {
        enum class Kind { None, Material, PlainColour, Glyphs } kind = Kind::None;
        const TGLLibMaterial* material = nullptr; // the textured one; any one of the plain ones
        const TGLBitmapFont* atlasFont = nullptr;
        BlendingMode blending = BlendingMode::Opaque;
        float alphaThreshold = 0;
        bool joins(const BatchKey& next) const;
    };
    // Starts a new batch unless the key joins the one gathered so far.
    void batchAs(const BatchKey& key);
    // Draws the quads gathered since the last other drawing, in one call.
    void flushBatch();

    void visit(TGLHUDSprite& sprite) override;
    void visit(TGLHUDText& text) override;
    void visit(TGLCube& cube) override;
    void visit(TGLAviPlane& plane) override;
    void visit(TGLBaseControl& control) override { m_gui.draw(control); }
    void visit(TGLForm& control) override { m_gui.draw(control); }
    void visit(TGLPanel& control) override { m_gui.draw(control); }
    void visit(TGLLabel& control) override { m_gui.draw(control); }
    void visit(TGLButton& control) override { m_gui.draw(control); }
    void visit(TGLEdit& control) override { m_gui.draw(control); }
    void visit(TGLScrollbar& control) override { m_gui.draw(control); }

    GlPainter& m_painter;
    GuiRenderer m_gui;
    VideoPlaneRenderer m_video;
    const TGLCamera* m_camera = nullptr;
    Mat4 m_projection, m_view;
    // Sprites in one material drawn one after another (a staff, a voice trail), plain colours
    // of one blending (singers' fills, note bars) and texts of one font go to GL as one batch:
    // on a software renderer each call costs far more than its few pixels.
    BatchKey m_batchKey;
    std::vector<ScreenQuad> m_batch;
    std::vector<ColorF> m_batchColours;
};

// The four corners (with texture coordinates) of each face of a cube of that size centred on
// the origin, for the faces in `parts`. Every face shows the whole picture upright as seen from
// outside; the +x face (cpRight) is the one the game's camera looks at.
std::vector<WorldVertex> cubeFaces(Vec3 size, unsigned parts);

} // namespace cantorix::scene::render
