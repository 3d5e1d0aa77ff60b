#pragma once
// The node kinds of the scene that are not GUI controls: groups, camera, lights, HUD sprites
// and texts, the cube and the video plane. Main thread only.

#include "colour.h"
#include "material.h"
#include "scene_object.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cantorix::scene {

class TGLBitmapFont;

// Invisible group.
class TGLDummyCube : public TGLBaseSceneObject {
public:
    using TGLBaseSceneObject::TGLBaseSceneObject;
    void accept(NodeVisitor& visitor) override;
};

class TGLCamera : public TGLBaseSceneObject {
public:
    using TGLBaseSceneObject::TGLBaseSceneObject;
    float depthOfView() const { return m_depthOfView; }
    void setDepthOfView(float d) { assignChanged(*this, m_depthOfView, d); }
    // Focal length in pixels of the viewer (a 150 mm lens at 96 dpi: 2 · 150 · 96 / 25.4).
    float focalLengthPixels() const { return m_focalPixels; }
    void setFocalLengthPixels(float f) { assignChanged(*this, m_focalPixels, f); }
    Vec3 target() const { return m_target; }
    void setTarget(Vec3 t) { assignChanged(*this, m_target, t); }
    void accept(NodeVisitor& visitor) override;

private:
    float m_depthOfView = 300.0f;
    float m_focalPixels = 2.0f * 150.0f * 96.0f / 25.4f;
    Vec3 m_target{};
};

class TGLLightSource : public TGLBaseSceneObject {
public:
    using TGLBaseSceneObject::TGLBaseSceneObject;
    void accept(NodeVisitor& visitor) override;
};

// Screen-space rectangle: position is its centre in viewer pixels, y down.
// The part of a picture a sprite shows, in fractions of its width and height (0 at its top).
struct PicturePart {
    float left = 0, top = 0, right = 1, bottom = 1;
    friend bool operator==(const PicturePart&, const PicturePart&) = default;
};

class TGLHUDSprite : public TGLBaseSceneObject {
public:
    using TGLBaseSceneObject::TGLBaseSceneObject;
    float width() const { return m_width; }
    void setWidth(float w) { assignChanged(*this, m_width, w); }
    float height() const { return m_height; }
    void setHeight(float h) { assignChanged(*this, m_height, h); }
    const MaterialRef& material() const { return m_material; }
    void setMaterial(const MaterialRef& ref) { assignChanged(*this, m_material, ref); }
    // Which part of the material's picture is stretched over the sprite; the whole by default.
    const PicturePart& picturePart() const { return m_part; }
    void setPicturePart(const PicturePart& part) { assignChanged(*this, m_part, part); }
    // Multiplies the material's colour, as a text's modulate colour multiplies its font's.
    ColorF modulateColor() const { return m_modulate; }
    void setModulateColor(ColorF c) { assignChanged(*this, m_modulate, c); }
    void accept(NodeVisitor& visitor) override;

private:
    float m_width = 16, m_height = 16;
    MaterialRef m_material;
    PicturePart m_part;
    ColorF m_modulate{1, 1, 1, 1};
};

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TTextLayout { tlTop, tlCenter, tlBottom };

// Screen-space text anchored at its position (viewer pixels, y down).
class TGLHUDText : public TGLBaseSceneObject {
public:
    using TGLBaseSceneObject::TGLBaseSceneObject;
    const std::string& text() const { return m_text; } // UTF-8
    void setText(const std::string& t) { assignChanged(*this, m_text, t); }
    TGLBitmapFont* font() const { return m_font; }
    void setFont(TGLBitmapFont* f) { assignChanged(*this, m_font, f); }
    TAlignment alignment() const { return m_alignment; }
    void setAlignment(TAlignment a) { assignChanged(*this, m_alignment, a); }
    TTextLayout layout() const { return m_layout; }
    void setLayout(TTextLayout l) { assignChanged(*this, m_layout, l); }
    ColorF modulateColor() const { return m_modulate; }
    void setModulateColor(ColorF c) { assignChanged(*this, m_modulate, c); }
    void accept(NodeVisitor& visitor) override;

private:
    std::string m_text;
    TGLBitmapFont* m_font = nullptr;
    TAlignment m_alignment = TAlignment::taLeftJustify;
    TTextLayout m_layout = TTextLayout::tlTop;
    ColorF m_modulate{1, 1, 1, 1};
};

enum CubePart : unsigned {
    cpTop = 1,
    cpBottom = 2,
    cpFront = 4,
    cpBack = 8,
    cpLeft = 16,
    cpRight = 32,
    cpAll = 63
};

class TGLCube : public TGLBaseSceneObject {
public:
    using TGLBaseSceneObject::TGLBaseSceneObject;
    Vec3 size() const { return m_size; } // CubeWidth (x), CubeHeight (y), CubeDepth (z)
    void setSize(Vec3 s) { assignChanged(*this, m_size, s); }
    unsigned parts() const { return m_parts; }
    void setParts(unsigned p) { assignChanged(*this, m_parts, p); }
    const MaterialRef& material() const { return m_material; }
    void setMaterial(const MaterialRef& ref) { assignChanged(*this, m_material, ref); }
    void accept(NodeVisitor& visitor) override;

private:
    Vec3 m_size{1, 1, 1};
    unsigned m_parts = cpAll;
    MaterialRef m_material;
};

// The plane behind the lyrics that shows the video clip as a mesh of coloured vertices, one per
// sampled pixel, drawn as triangle strips. The session's video plane fills the mesh; the renderer
// keeps it in GL buffers and re-sends only what a revision says has changed.
class TGLAviPlane : public TGLBaseSceneObject {
public:
    // Vertices (x, y, z) in the plane's own units, centred on its origin; `indices` holds
    // `strips` triangle strips of `stripLength` vertex indices each, one after another.
    struct Mesh {
        std::vector<float> vertices;
        std::vector<std::uint32_t> indices;
        int strips = 0;
        int stripLength = 0;
    };

    using TGLBaseSceneObject::TGLBaseSceneObject;
    bool lightingOff() const { return m_lightingOff; }
    void setLightingOff(bool off) { assignChanged(*this, m_lightingOff, off); }
    void accept(NodeVisitor& visitor) override;

    const Mesh& mesh() const { return m_mesh; }
    // Replaces the mesh; the colours must then be refilled for the new vertex count.
    void setMesh(Mesh mesh);
    // One (red, green, blue) per vertex, 0 … 1. Fill in place, then call coloursChanged().
    std::vector<float>& colours() { return m_colours; }
    const std::vector<float>& colours() const { return m_colours; }
    void coloursChanged();
    std::uint64_t meshRevision() const { return m_meshRevision; }
    std::uint64_t colourRevision() const { return m_colourRevision; }

private:
    bool m_lightingOff = false;
    Mesh m_mesh;
    std::vector<float> m_colours;
    std::uint64_t m_meshRevision = 0;
    std::uint64_t m_colourRevision = 0;
};

// Root of the scene graph.
class TGLScene : public TGLBaseSceneObject {
public:
    TGLScene() : TGLBaseSceneObject("GLScene1") {}
};

} // namespace cantorix::scene
