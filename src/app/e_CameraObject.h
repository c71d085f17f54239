#pragma once
// The viewpoint of a scene. Everything here is plain arithmetic, so cameras work on the loading
// thread and in headless runs; the renderer loads the matrices into GL itself.

#include "world/e_Frustum.h"
#include "world/e_Math.h"

class TCamera {
public:
    double Fov = 60.0;    // vertical field of view, degrees
    double Aspect = 1.0;  // width / height
    double Near = 1.0;
    double Far = 1000.0;
    double Position[3] = {0.0, 0.0, 0.0};
    TMyVector4f Orientation = IdentityQuat;  // identity looks along -z with y up
    TMatrix4f ViewMatrix = IdentityMatrix;   // world to camera
    TMatrix4f ProjectionMatrix = IdentityMatrix;
    // true: Rotate applies any rotation; false: it keeps the horizon level and limits the pitch.
    bool FreeRotation = true;

    TCamera(double fov, double aspect, double znear, double zfar);
    virtual ~TCamera() = default;

    void SetAspect(double aspect);
    void SetPosition(double x, double y, double z);
    TMyVector3f GetPosition() const;

    // Angles in radians about the x, y and z axes (see the source for the level-horizon mode).
    void Rotate(double a, double b, double c);
    // Moves along BackAxis (a negative distance moves forward).
    void MoveBack(double distance);

    TMatrix4f GetViewMatrix() const { return ViewMatrix; }
    TMatrix4f GetProjectionMatrix() const { return ProjectionMatrix; }
    // Projection x view.
    TMatrix4f GetCombinedMatrix() const;
    // A frustum of the current view.
    TFrustum MakeFrustum() const { return TFrustum(GetCombinedMatrix()); }

    // The camera's own axes in world space: +z (opposite to the view direction), +y and +x.
    TMyVector3f BackAxis() const;
    TMyVector3f UpAxis() const;
    TMyVector3f RightAxis() const;

    // Unit direction from the camera through the near-plane point at normalized device coordinates.
    TMyVector3f DeviceDirection(double ndcX, double ndcY) const;

private:
    void RebuildView();
    void RebuildProjection();
};
