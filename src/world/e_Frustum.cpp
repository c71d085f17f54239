#include "world/e_Frustum.h"

namespace {

float PlaneDistance(const TMyVector4f& plane, const TMyVector3f& p) {
    return plane.x * p.x + plane.y * p.y + plane.z * p.z + plane.w;
}

// Corner triples (near/far, bottom/top, left/right) in corner order.
const int CornerPlanes[8][3] = {
    {TFrustum::PlaneNear, TFrustum::PlaneBottom, TFrustum::PlaneLeft},
    {TFrustum::PlaneNear, TFrustum::PlaneBottom, TFrustum::PlaneRight},
    {TFrustum::PlaneNear, TFrustum::PlaneTop, TFrustum::PlaneRight},
    {TFrustum::PlaneNear, TFrustum::PlaneTop, TFrustum::PlaneLeft},
    {TFrustum::PlaneFar, TFrustum::PlaneBottom, TFrustum::PlaneLeft},
    {TFrustum::PlaneFar, TFrustum::PlaneBottom, TFrustum::PlaneRight},
    {TFrustum::PlaneFar, TFrustum::PlaneTop, TFrustum::PlaneRight},
    {TFrustum::PlaneFar, TFrustum::PlaneTop, TFrustum::PlaneLeft},
};

// Points of each plane for rebuilding it from the corners, in plane order.
const int PlanePoints[6][3] = {
    {6, 5, 2},  // right
    {7, 3, 4},  // left
    {4, 0, 5},  // bottom
    {6, 2, 7},  // top
    {4, 5, 7},  // far
    {2, 1, 3},  // near
};

TMyVector3f Along(const TMyVector3f& base, float f1, const TMyVector3f& to1, float f2,
                  const TMyVector3f& to2) {
    return Vec3Add(base, Vec3Add(Vec3Scale(Vec3Sub(to1, base), f1), Vec3Scale(Vec3Sub(to2, base), f2)));
}

}  // namespace

void TFrustum::Calculate(const TMatrix4f& clip) {
    const float* m = clip.m;
    auto row = [m](int i) { return TMyVector4f{m[i], m[4 + i], m[8 + i], m[12 + i]}; };
    const TMyVector4f r0 = row(0), r1 = row(1), r2 = row(2), r3 = row(3);
    auto sub = [](const TMyVector4f& a, const TMyVector4f& b) {
        return TMyVector4f{a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w};
    };
    auto add = [](const TMyVector4f& a, const TMyVector4f& b) {
        return TMyVector4f{a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w};
    };
    Planes[PlaneRight] = sub(r3, r0);
    Planes[PlaneLeft] = add(r3, r0);
    Planes[PlaneBottom] = add(r3, r1);
    Planes[PlaneTop] = sub(r3, r1);
    Planes[PlaneFar] = sub(r3, r2);
    Planes[PlaneNear] = add(r3, r2);
    for (auto& p : Planes)
        PlaneNormalize(p);

    for (int i = 0; i < 8; ++i) {
        TMyVector3f corner;
        if (PlaneIntersect3(Planes[CornerPlanes[i][0]], Planes[CornerPlanes[i][1]],
                            Planes[CornerPlanes[i][2]], corner))
            Corners[i] = corner;
        else
            Corners[i] = ZeroVector3f;
    }
}

bool TFrustum::PointVisible(float x, float y, float z) const {
    const TMyVector3f p{x, y, z};
    for (const auto& plane : Planes)
        if (!(PlaneDistance(plane, p) > 0.0f))
            return false;
    return true;
}

bool TFrustum::CornersVisible(const TMyVector3f* corners) const {
    for (const auto& plane : Planes) {
        bool anyInside = false;
        for (int i = 0; i < 8 && !anyInside; ++i)
            anyInside = PlaneDistance(plane, corners[i]) > 0.0f;
        if (!anyInside)
            return false;
    }
    return true;
}

bool TFrustum::BoxVisible(const TMyVector3f& boxMin, const TMyVector3f& boxMax) const {
    // An empty box (min above max, as a box that never received a point is kept)
    // holds nothing; its corners alone could still straddle every plane.
    if (!(boxMin.x <= boxMax.x && boxMin.y <= boxMax.y && boxMin.z <= boxMax.z))
        return false;
    TMyVector3f corners[8];
    for (int i = 0; i < 8; ++i)
        corners[i] = {(i & 1) ? boxMax.x : boxMin.x, (i & 2) ? boxMax.y : boxMin.y,
                      (i & 4) ? boxMax.z : boxMin.z};
    return CornersVisible(corners);
}

void TFrustum::NarrowToRect(float left, float bottom, float right, float top) {
    const float u0 = (left + 1.0f) * 0.5f;
    const float w0 = (bottom + 1.0f) * 0.5f;
    const float u1 = (right + 1.0f) * 0.5f;
    const float w1 = (top + 1.0f) * 0.5f;

    TMyVector3f c[8];
    for (int base = 0; base < 8; base += 4) {
        const TMyVector3f* o = Corners + base;  // bottom-left, bottom-right, top-right, top-left
        c[base + 0] = Along(o[0], u0, o[1], w0, o[3]);
        c[base + 1] = Along(o[1], 1.0f - u1, o[0], w0, o[2]);
        c[base + 2] = Along(o[2], 1.0f - u1, o[3], 1.0f - w1, o[1]);
        c[base + 3] = Along(o[3], u0, o[2], 1.0f - w1, o[0]);
    }
    for (int i = 0; i < 8; ++i)
        Corners[i] = c[i];

    for (int i = 0; i < 6; ++i) {
        TMyVector4f plane = PlaneFromPoints(Corners[PlanePoints[i][0]], Corners[PlanePoints[i][1]],
                                            Corners[PlanePoints[i][2]]);
        // The corner winding depends on the handedness of the clip matrix; keep the inward side.
        const TMyVector4f& old = Planes[i];
        if (plane.x * old.x + plane.y * old.y + plane.z * old.z < 0.0f)
            plane = TMyVector4f{-plane.x, -plane.y, -plane.z, -plane.w};
        Planes[i] = plane;
    }
}
