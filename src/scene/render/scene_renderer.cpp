#include "scene_renderer.h"

#include "text_layout.h"

namespace cantorix::scene::render {

namespace {

// Face corners in the order top-left, top-right, bottom-right, bottom-left as seen from
// outside, in units of the half sizes.
struct FaceCorners {
    unsigned part;
    float corners[4][3];
};

constexpr FaceCorners kFaces[] = {
    {cpRight, {{1, 1, 1}, {1, 1, -1}, {1, -1, -1}, {1, -1, 1}}},
    {cpLeft, {{-1, 1, -1}, {-1, 1, 1}, {-1, -1, 1}, {-1, -1, -1}}},
    {cpFront, {{-1, 1, 1}, {1, 1, 1}, {1, -1, 1}, {-1, -1, 1}}},
    {cpBack, {{1, 1, -1}, {-1, 1, -1}, {-1, -1, -1}, {1, -1, -1}}},
    {cpTop, {{-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1}}},
    {cpBottom, {{-1, -1, 1}, {1, -1, 1}, {1, -1, -1}, {-1, -1, -1}}},
};

constexpr float kCornerUv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

} // namespace

std::vector<WorldVertex> cubeFaces(Vec3 size, unsigned parts) {
    const float half[3] = {size.x / 2, size.y / 2, size.z / 2};
    std::vector<WorldVertex> out;
    for (const FaceCorners& face : kFaces) {
        if (!(parts & face.part))
            continue;
        for (int i = 0; i < 4; ++i)
            out.push_back({face.corners[i][0] * half[0], face.corners[i][1] * half[1],
                           face.corners[i][2] * half[2], kCornerUv[i][0], kCornerUv[i][1]});
    }
    return out;
}

const TGLCamera* SceneRenderer::findCamera(const TGLBaseSceneObject& root) {
    for (int i = 0; i < root.count(); ++i) {
        const TGLBaseSceneObject& child = root.child(i);
        if (auto* camera = dynamic_cast<const TGLCamera*>(&child))
            return camera;
        if (const TGLCamera* found = findCamera(child))
            return found;
    }
    return nullptr;
}

void SceneRenderer::render(TGLBaseSceneObject& root, const TGLCamera* camera) {
    m_camera = camera ? camera : findCamera(root);
    if (m_camera) {
        m_projection =
            cameraProjection(*m_camera, m_painter.viewerWidth(), m_painter.viewerHeight());
        m_view = cameraView(*m_camera);
    }
    walk(root);
    flushBatch();
}

void SceneRenderer::walk(TGLBaseSceneObject& node) {
    if (!node.visible())
        return;
    // Anything drawn other than a sprite or a text ends the batch first, so the tree's order
    // holds.
    if (!dynamic_cast<TGLHUDSprite*>(&node) && !dynamic_cast<TGLHUDText*>(&node) &&
        !dynamic_cast<TGLDummyCube*>(&node))
        flushBatch();
    node.accept(*this);
    for (int i = 0; i < node.count(); ++i)
        walk(node.child(i));
}

bool SceneRenderer::BatchKey::joins(const BatchKey& next) const {
    if (kind != next.kind)
        return false;
    switch (kind) {
    case Kind::None:
        return false;
    case Kind::Material:
        return material == next.material;
    case Kind::PlainColour:
        return blending == next.blending && alphaThreshold == next.alphaThreshold;
    case Kind::Glyphs:
        return atlasFont == next.atlasFont;
    }
    return false;
}

void SceneRenderer::batchAs(const BatchKey& key) {
    if (!m_batchKey.joins(key))
        flushBatch();
    m_batchKey = key;
}

void SceneRenderer::visit(TGLHUDSprite& sprite) {
    if (sprite.width() <= 0 || sprite.height() <= 0)
        return;
    const TGLLibMaterial* material = sprite.material().resolve();
    BatchKey key;
    ColorF colour;
    if (material && material->texture().hasImage()) {
        key = {.kind = BatchKey::Kind::Material, .material = material};
        colour = material->diffuse();
    } else if (material) {
        key = {.kind = BatchKey::Kind::PlainColour,
               .material = material,
               .blending = material->blending(),
               .alphaThreshold = material->alphaThreshold()};
        colour = material->diffuse();
    } else {
        // No material draws opaque white, as a plain material of that colour would.
        key = {.kind = BatchKey::Kind::PlainColour};
    }
    batchAs(key);
    const Vec3 p = sprite.position();
    const float halfW = sprite.width() / 2, halfH = sprite.height() / 2;
    const PicturePart& part = sprite.picturePart();
    m_batch.push_back({{p.x - halfW, p.y - halfH, p.x + halfW, p.y + halfH},
                       {part.left, part.top, part.right, part.bottom}});
    const ColorF m = sprite.modulateColor();
    m_batchColours.push_back({colour.r * m.r, colour.g * m.g, colour.b * m.b, colour.a * m.a});
}

void SceneRenderer::visit(TGLHUDText& text) {
    TGLBitmapFont* font = text.font();
    if (!font || text.text().empty())
        return;
    const Vec3 p = text.position();
    const TextLayout layout =
        layoutText(*font, text.text(), p.x, p.y, text.alignment(), text.layout());
    std::vector<ScreenQuad> quads;
    const TGLBitmapFont& atlasFont = m_painter.glyphQuads(*font, layout, quads);
    batchAs({.kind = BatchKey::Kind::Glyphs, .atlasFont = &atlasFont});
    m_batch.insert(m_batch.end(), quads.begin(), quads.end());
    const ColorF fontColour = toColorF(font->style().colour);
    const ColorF m = text.modulateColor();
    m_batchColours.insert(m_batchColours.end(), quads.size(),
                          {fontColour.r * m.r, fontColour.g * m.g, fontColour.b * m.b, m.a});
}

void SceneRenderer::flushBatch() {
    const BatchKey key = m_batchKey;
    m_batchKey = {};
    if (m_batch.empty())
        return;
    m_painter.useScreenSpace();
    if (key.kind == BatchKey::Kind::Glyphs) {
        m_painter.drawGlyphQuads(*key.atlasFont, m_batch, m_batchColours);
    } else {
        m_painter.applyMaterial(key.material);
        m_painter.drawScreenQuads(m_batch, m_batchColours);
    }
    m_batch.clear();
    m_batchColours.clear();
}

void SceneRenderer::visit(TGLCube& cube) {
    if (!m_camera)
        return;
    m_painter.useWorld(m_projection, m_view * worldTransform(cube));
    m_painter.applyMaterial(cube.material().resolve());
    m_painter.drawWorldQuads(cubeFaces(cube.size(), cube.parts()));
}

void SceneRenderer::visit(TGLAviPlane& plane) {
    if (!m_camera || plane.mesh().strips <= 0)
        return;
    m_painter.useWorld(m_projection, m_view * worldTransform(plane));
    m_painter.applyColour({1, 1, 1, 1});
    m_video.draw(plane);
}

} // namespace cantorix::scene::render
