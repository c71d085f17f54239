#include "app/e_CameraObject.h"

#include <cmath>
#include <numbers>

TCamera::TCamera(double fov, double aspect, double znear, double zfar)
    : Fov(fov), Aspect(aspect), Near(znear), Far(zfar) {
    RebuildProjection();
}

void TCamera::RebuildProjection() {
    ProjectionMatrix = MatPerspective(static_cast<float>(Fov), static_cast<float>(Aspect),
                                      static_cast<float>(Near), static_cast<float>(Far));
}

void TCamera::RebuildView() {
    const TMatrix4f r = QuatToMatrix(Orientation);
    ViewMatrix = r;
    const double* p = Position;
    ViewMatrix.m[12] = static_cast<float>(-(r.m[0] * p[0] + r.m[4] * p[1] + r.m[8] * p[2]));
    ViewMatrix.m[13] = static_cast<float>(-(r.m[1] * p[0] + r.m[5] * p[1] + r.m[9] * p[2]));
    ViewMatrix.m[14] = static_cast<float>(-(r.m[2] * p[0] + r.m[6] * p[1] + r.m[10] * p[2]));
    ViewMatrix.m[15] = 1.0f;
}

void TCamera::SetAspect(double aspect) {
    Aspect = aspect;
    RebuildProjection();
}

void TCamera::SetPosition(double x, double y, double z) {
    Position[0] = x;
    Position[1] = y;
    Position[2] = z;
    RebuildView();
}

TMyVector3f TCamera::GetPosition() const {
    return {static_cast<float>(Position[0]), static_cast<float>(Position[1]),
            static_cast<float>(Position[2])};
}

void TCamera::Rotate(double a, double b, double c) {
    if (FreeRotation) {
        const TMyVector4f q =
            QuatFromAngles(static_cast<float>(a), static_cast<float>(b), static_cast<float>(c));
        Orientation = QuatMultiply(q, Orientation);
    } else {
        // Yaw about the world vertical (seen from the camera), so the horizon stays level.
        const TMatrix4f r = QuatToMatrix(Orientation);
        const TMyVector3f worldUp{r.m[4], r.m[5], r.m[6]};
        Orientation = QuatMultiply(QuatFromAxisAngle(worldUp, static_cast<float>(b)), Orientation);

        // Pitch about the camera's own x axis, stopping short of straight up or down.
        const TMatrix4f yawed = QuatToMatrix(Orientation);
        const TMyVector3f back{yawed.m[2], yawed.m[6], yawed.m[10]};
        const float f = Vec3Dot(back, TMyVector3f{0.0f, 1.0f, 0.0f});
        if ((f > -0.99f && c < 0.0) || (f < 0.99f && c > 0.0))
            Orientation = QuatMultiply(
                QuatFromAxisAngle(TMyVector3f{1.0f, 0.0f, 0.0f}, static_cast<float>(c)), Orientation);
    }
    RebuildView();
}

void TCamera::MoveBack(double distance) {
    const TMyVector3f back = BackAxis();
    Position[0] += distance * back.x;
    Position[1] += distance * back.y;
    Position[2] += distance * back.z;
    RebuildView();
}

TMatrix4f TCamera::GetCombinedMatrix() const { return MatMultiply(ProjectionMatrix, ViewMatrix); }

// The rows of the view rotation are the camera's axes in world space.
TMyVector3f TCamera::BackAxis() const { return {ViewMatrix.m[2], ViewMatrix.m[6], ViewMatrix.m[10]}; }
TMyVector3f TCamera::UpAxis() const { return {ViewMatrix.m[1], ViewMatrix.m[5], ViewMatrix.m[9]}; }
TMyVector3f TCamera::RightAxis() const { return {ViewMatrix.m[0], ViewMatrix.m[4], ViewMatrix.m[8]}; }

TMyVector3f TCamera::DeviceDirection(double ndcX, double ndcY) const {
    const double h = Near * std::tan(Fov * std::numbers::pi / 360.0);
    const double w = h * Aspect;
    const TMyVector3f forward = Vec3Negate(BackAxis());
    TMyVector3f d = Vec3Add(Vec3Scale(forward, static_cast<float>(Near)),
                            Vec3Add(Vec3Scale(RightAxis(), static_cast<float>(ndcX * w)),
                                    Vec3Scale(UpAxis(), static_cast<float>(ndcY * h))));
    Vec3Normalize(d);
    return d;
}
