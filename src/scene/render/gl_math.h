#pragma once
// The small amount of 4×4 matrix algebra the renderer needs: the camera's projection and view,
// the placement of 3D nodes, and a projection of world points to viewer pixels that the tests
// use to check the camera without a GL context. Pure functions, any thread.

#include "scene/scene_nodes.h"

#include <array>

namespace cantorix::scene::render {

// Column-major, as OpenGL loads it: element (row r, column c) is m[c * 4 + r].
struct Mat4 {
    std::array<float, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float operator()(int row, int column) const { return m[column * 4 + row]; }
    float& operator()(int row, int column) { return m[column * 4 + row]; }
    friend Mat4 operator*(const Mat4& a, const Mat4& b);
};

struct Vec4 {
    float x = 0, y = 0, z = 0, w = 1;
};

Vec4 operator*(const Mat4& a, Vec4 v);
Mat4 translation(Vec3 offset);
Mat4 scaling(Vec3 factors);
// Rotation about the y axis, counter-clockwise when seen from +y.
Mat4 rotationY(float degrees);
Mat4 perspective(float fovYDegrees, float aspect, float zNear, float zFar);
Mat4 lookAt(Vec3 eye, Vec3 target, Vec3 up);

// A node's own placement within its parent: position, then the basis of its direction (local z)
// and up (local y) vectors, then the turn about up, then its scale.
Mat4 localTransform(const TGLBaseSceneObject& node);
// Placement in the world: the local transforms of the node and all its ancestors.
Mat4 worldTransform(const TGLBaseSceneObject& node);

// The camera's projection for a viewer of that size: the vertical field of view follows from
// the focal length in pixels, 2 · atan(height / 2 / focal length).
float cameraFovY(const TGLCamera& camera, int viewerHeight);
Mat4 cameraProjection(const TGLCamera& camera, int viewerWidth, int viewerHeight);
Mat4 cameraView(const TGLCamera& camera);

struct ViewerPoint {
    float x = 0, y = 0; // viewer pixels, origin top-left, y down
    float depth = 0;    // 0 at the near plane, 1 at the far plane
    bool inFront = false;
};
ViewerPoint projectToViewer(const TGLCamera& camera, Vec3 world, int viewerWidth, int viewerHeight);

} // namespace cantorix::scene::render
