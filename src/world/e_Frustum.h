#pragma once
// The camera's viewing volume as six inward-facing planes and eight corners in world space.

#include <iterator>

#include "world/e_Math.h"

class TFrustum {
public:
    enum {
        PlaneRight = 0,
        PlaneLeft = 1,
        PlaneBottom = 2,
        PlaneTop = 3,
        PlaneFar = 4,
        PlaneNear = 5
    };

    // Normalized, normals pointing into the volume, in the order of the enum above.
    TMyVector4f Planes[6];
    // Near-bottom-left, near-bottom-right, near-top-right, near-top-left, then the same four on the
    // far plane.
    TMyVector3f Corners[8];

    TFrustum() = default;
    // Shorthand for Calculate(clip).
    explicit TFrustum(const TMatrix4f& clip) { Calculate(clip); }

    // clip = projection x modelview. Sets the planes, then the corners.
    void Calculate(const TMatrix4f& clip);

    // Strictly inside all six planes: a point on a plane is outside.
    bool PointVisible(float x, float y, float z) const;
    bool PointVisible(const TMyVector3f& p) const { return PointVisible(p.x, p.y, p.z); }
    // Conservative: false only when one plane has the whole box behind it or on it.
    bool BoxVisible(const TMyVector3f& boxMin, const TMyVector3f& boxMax) const;
    // The same test for the eight corners of any box (a model's world box).
    bool CornersVisible(const TMyVector3f* corners) const;
    // For anything that keeps its eight world-space box corners in WorldCorners (a TGameModel).
    template <class TModel>
    bool ModelVisible(const TModel& model) const {
        static_assert(sizeof(model.WorldCorners) == 8 * sizeof(TMyVector3f), "a model box has eight corners");
        return CornersVisible(std::data(model.WorldCorners));
    }

    // Shrinks (or, with values beyond -1..1, widens) the frustum to a rectangle of the screen given
    // in normalized device coordinates.
    void NarrowToRect(float left, float bottom, float right, float top);
};
