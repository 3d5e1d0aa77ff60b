#include "gl_math.h"

#include <cmath>
#include <numbers>

namespace cantorix::scene::render {

namespace {

// Near enough for the cover slab a few units in front of the camera, far enough from zero to
// keep depth precision over the camera's 300-unit depth of view.
constexpr float kNearPlane = 0.1f;

float radians(float degrees) {
    return degrees * std::numbers::pi_v<float> / 180.0f;
}

Vec3 sub(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
float dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
bool normalize(Vec3& v) {
    const float length = std::sqrt(dot(v, v));
    if (length < 1e-6f)
        return false;
    v = {v.x / length, v.y / length, v.z / length};
    return true;
}

// Columns x, y, z of the node's orientation. A degenerate pair (zero or parallel vectors) keeps
// the identity rather than producing NaNs.
Mat4 orientation(Vec3 direction, Vec3 up) {
    Vec3 z = direction;
    Vec3 y = up;
    if (!normalize(z) || !normalize(y))
        return {};
    Vec3 x = cross(y, z);
    if (!normalize(x))
        return {};
    y = cross(z, x);
    Mat4 r;
    const Vec3 columns[3] = {x, y, z};
    for (int c = 0; c < 3; ++c) {
        r(0, c) = columns[c].x;
        r(1, c) = columns[c].y;
        r(2, c) = columns[c].z;
    }
    return r;
}

} // namespace

Mat4 operator*(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            float sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a(row, k) * b(k, column);
            r(row, column) = sum;
        }
    return r;
}

Vec4 operator*(const Mat4& a, Vec4 v) {
    const float in[4] = {v.x, v.y, v.z, v.w};
    float out[4] = {};
    for (int row = 0; row < 4; ++row)
        for (int k = 0; k < 4; ++k)
            out[row] += a(row, k) * in[k];
    return {out[0], out[1], out[2], out[3]};
}

Mat4 translation(Vec3 offset) {
    Mat4 r;
    r(0, 3) = offset.x;
    r(1, 3) = offset.y;
    r(2, 3) = offset.z;
    return r;
}

Mat4 scaling(Vec3 factors) {
    Mat4 r;
    r(0, 0) = factors.x;
    r(1, 1) = factors.y;
    r(2, 2) = factors.z;
    return r;
}

Mat4 rotationY(float degrees) {
    const float c = std::cos(radians(degrees));
    const float s = std::sin(radians(degrees));
    Mat4 r;
    r(0, 0) = c;
    r(0, 2) = s;
    r(2, 0) = -s;
    r(2, 2) = c;
    return r;
}

Mat4 perspective(float fovYDegrees, float aspect, float zNear, float zFar) {
    const float f = 1.0f / std::tan(radians(fovYDegrees) / 2.0f);
    Mat4 r;
    r(0, 0) = f / aspect;
    r(1, 1) = f;
    r(2, 2) = (zFar + zNear) / (zNear - zFar);
    r(2, 3) = 2.0f * zFar * zNear / (zNear - zFar);
    r(3, 2) = -1.0f;
    r(3, 3) = 0.0f;
    return r;
}

Mat4 lookAt(Vec3 eye, Vec3 target, Vec3 up) {
    Vec3 forward = sub(target, eye);
    if (!normalize(forward))
        forward = {0, 0, -1};
    Vec3 side = cross(forward, up);
    if (!normalize(side)) // up along the line of sight: any perpendicular will do
        side = std::abs(forward.y) < 0.9f ? cross(forward, Vec3{0, 1, 0}) : Vec3{1, 0, 0};
    normalize(side);
    const Vec3 trueUp = cross(side, forward);
    Mat4 r;
    const Vec3 rows[3] = {side, trueUp, {-forward.x, -forward.y, -forward.z}};
    for (int row = 0; row < 3; ++row) {
        r(row, 0) = rows[row].x;
        r(row, 1) = rows[row].y;
        r(row, 2) = rows[row].z;
        r(row, 3) = -dot(rows[row], eye);
    }
    return r;
}

Mat4 localTransform(const TGLBaseSceneObject& node) {
    return translation(node.position()) * orientation(node.direction(), node.up()) *
           rotationY(node.turnAngle()) * scaling(node.scale());
}

Mat4 worldTransform(const TGLBaseSceneObject& node) {
    Mat4 world = localTransform(node);
    for (const TGLBaseSceneObject* p = node.parent(); p; p = p->parent())
        world = localTransform(*p) * world;
    return world;
}

float cameraFovY(const TGLCamera& camera, int viewerHeight) {
    const float focal = camera.focalLengthPixels() > 0 ? camera.focalLengthPixels() : 1.0f;
    return 2.0f * std::atan(static_cast<float>(viewerHeight) / 2.0f / focal) * 180.0f /
           std::numbers::pi_v<float>;
}

Mat4 cameraProjection(const TGLCamera& camera, int viewerWidth, int viewerHeight) {
    const int height = viewerHeight > 0 ? viewerHeight : 1;
    const float aspect = static_cast<float>(viewerWidth > 0 ? viewerWidth : 1) / height;
    const float zFar = camera.depthOfView() > kNearPlane * 2 ? camera.depthOfView() : 1.0f;
    return perspective(cameraFovY(camera, height), aspect, kNearPlane, zFar);
}

Mat4 cameraView(const TGLCamera& camera) {
    Vec4 eye{camera.position().x, camera.position().y, camera.position().z, 1};
    if (camera.parent())
        eye = worldTransform(*camera.parent()) * eye;
    return lookAt({eye.x, eye.y, eye.z}, camera.target(), camera.up());
}

ViewerPoint projectToViewer(const TGLCamera& camera, Vec3 world, int viewerWidth,
                            int viewerHeight) {
    const Mat4 clip = cameraProjection(camera, viewerWidth, viewerHeight) * cameraView(camera);
    const Vec4 p = clip * Vec4{world.x, world.y, world.z, 1};
    ViewerPoint out;
    out.inFront = p.w > 0;
    if (p.w == 0)
        return out;
    const float ndcX = p.x / p.w, ndcY = p.y / p.w, ndcZ = p.z / p.w;
    out.x = (ndcX + 1.0f) / 2.0f * static_cast<float>(viewerWidth);
    out.y = (1.0f - ndcY) / 2.0f * static_cast<float>(viewerHeight);
    out.depth = (ndcZ + 1.0f) / 2.0f;
    return out;
}

} // namespace cantorix::scene::render
