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
    flushSprites();
}

void SceneRenderer::walk(TGLBaseSceneObject& node) {
    if (!node.visible())
        return;
    // Anything drawn other than a sprite ends the batch first, so the tree's order holds.
    if (!dynamic_cast<TGLHUDSprite*>(&node) && !dynamic_cast<TGLDummyCube*>(&node))
        flushSprites();
    node.accept(*this);
    for (int i = 0; i < node.count(); ++i)
        walk(node.child(i));
}

void SceneRenderer::visit(TGLHUDSprite& sprite) {
    if (sprite.width() <= 0 || sprite.height() <= 0)
        return;
    const TGLLibMaterial* material = sprite.material().resolve();
    if (material != m_batchMaterial)
        flushSprites();
    m_batchMaterial = material;
    const Vec3 p = sprite.position();
    const float halfW = sprite.width() / 2, halfH = sprite.height() / 2;
    m_spriteBatch.push_back({{p.x - halfW, p.y - halfH, p.x + halfW, p.y + halfH}});
}

void SceneRenderer::flushSprites() {
    if (m_spriteBatch.empty())
        return;
    m_painter.useScreenSpace();
    m_painter.applyMaterial(m_batchMaterial);
    m_painter.drawScreenQuads(m_spriteBatch);
    m_spriteBatch.clear();
}

void SceneRenderer::visit(TGLHUDText& text) {
    TGLBitmapFont* font = text.font();
    if (!font || text.text().empty())
        return;
    m_painter.useScreenSpace();
    const Vec3 p = text.position();
    const TextLayout layout =
        layoutText(*font, text.text(), p.x, p.y, text.alignment(), text.layout());
    const ColorF fontColour = toColorF(font->style().colour);
    const ColorF m = text.modulateColor();
    m_painter.drawText(*font, layout,
                       {fontColour.r * m.r, fontColour.g * m.g, fontColour.b * m.b, m.a});
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
