// The scene camera and the view frustum, without any GL context.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "app/e_CameraObject.h"
#include "world/e_Frustum.h"
#include "world/e_Math.h"

namespace {

const double Pi = 3.14159265358979;
const float Tol = 1e-4f;

double Rad(double degrees) { return degrees * Pi / 180.0; }

void ExpectVec3(const TMyVector3f& v, float x, float y, float z, float tol = Tol) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

void ExpectPlane(const TMyVector4f& p, float x, float y, float z, float w, float tol = Tol) {
    EXPECT_NEAR(p.x, x, tol);
    EXPECT_NEAR(p.y, y, tol);
    EXPECT_NEAR(p.z, z, tol);
    EXPECT_NEAR(p.w, w, tol);
}

// Normalized device coordinates of a world point.
TMyVector3f Project(const TMatrix4f& clip, const TMyVector3f& p) {
    const TMyVector4f c = MatTransformVec4(clip, {p.x, p.y, p.z, 1.0f});
    return {c.x / c.w, c.y / c.w, c.z / c.w};
}

// 90 degrees, square, near 1, far 100, at the origin looking down -z: the volume is the pyramid
// |x| < -z, |y| < -z, 1 < -z < 100.
TFrustum SquareFrustum() { return TFrustum(MatPerspective(90, 1, 1, 100)); }

struct FakeModel {
    TMyVector3f WorldCorners[8];
};

struct FakeModelStd {
    std::array<TMyVector3f, 8> WorldCorners;
};

}  // namespace

TEST(Frustum, IdentityGivesTheClipCube) {
    const TFrustum f(IdentityMatrix);
    ExpectPlane(f.Planes[TFrustum::PlaneRight], -1, 0, 0, 1);
    ExpectPlane(f.Planes[TFrustum::PlaneLeft], 1, 0, 0, 1);
    ExpectPlane(f.Planes[TFrustum::PlaneBottom], 0, 1, 0, 1);
    ExpectPlane(f.Planes[TFrustum::PlaneTop], 0, -1, 0, 1);
    ExpectPlane(f.Planes[TFrustum::PlaneFar], 0, 0, -1, 1);
    ExpectPlane(f.Planes[TFrustum::PlaneNear], 0, 0, 1, 1);
    ExpectVec3(f.Corners[0], -1, -1, -1);
    ExpectVec3(f.Corners[1], 1, -1, -1);
    ExpectVec3(f.Corners[2], 1, 1, -1);
    ExpectVec3(f.Corners[3], -1, 1, -1);
    ExpectVec3(f.Corners[4], -1, -1, 1);
    ExpectVec3(f.Corners[6], 1, 1, 1);
    ExpectVec3(f.Corners[7], -1, 1, 1);

    EXPECT_TRUE(f.PointVisible(0.999f, 0.5f, -0.5f));
    // Strict: on a face is outside.
    EXPECT_FALSE(f.PointVisible(1, 0, 0));
    EXPECT_FALSE(f.PointVisible(0, -1, 0));
    EXPECT_FALSE(f.PointVisible(0, 0, 1));
    EXPECT_FALSE(f.PointVisible(0, 0, -1.5f));
    // A box touching a face from outside is not visible; one crossing it is.
    EXPECT_FALSE(f.BoxVisible({1, -0.5f, -0.5f}, {2, 0.5f, 0.5f}));
    EXPECT_TRUE(f.BoxVisible({0.9f, -0.5f, -0.5f}, {2, 0.5f, 0.5f}));
}

TEST(Frustum, PerspectivePlanesAndCorners) {
    const TFrustum f = SquareFrustum();
    const float s = std::sqrt(0.5f);
    ExpectPlane(f.Planes[TFrustum::PlaneRight], -s, 0, -s, 0);
    ExpectPlane(f.Planes[TFrustum::PlaneLeft], s, 0, -s, 0);
    ExpectPlane(f.Planes[TFrustum::PlaneBottom], 0, s, -s, 0);
    ExpectPlane(f.Planes[TFrustum::PlaneTop], 0, -s, -s, 0);
    ExpectPlane(f.Planes[TFrustum::PlaneFar], 0, 0, 1, 100, 1e-3f);
    ExpectPlane(f.Planes[TFrustum::PlaneNear], 0, 0, -1, -1);
    ExpectVec3(f.Corners[0], -1, -1, -1);
    ExpectVec3(f.Corners[2], 1, 1, -1);
    ExpectVec3(f.Corners[5], 100, -100, -100, 0.05f);
    ExpectVec3(f.Corners[7], -100, 100, -100, 0.05f);

    EXPECT_TRUE(f.PointVisible(0, 0, -50));
    EXPECT_TRUE(f.PointVisible(49, -49, -50));
    EXPECT_FALSE(f.PointVisible(51, 0, -50));   // right
    EXPECT_FALSE(f.PointVisible(-51, 0, -50));  // left
    EXPECT_FALSE(f.PointVisible(0, 51, -50));   // top
    EXPECT_FALSE(f.PointVisible(0, -51, -50));  // bottom
    EXPECT_FALSE(f.PointVisible(0, 0, -0.5f));  // before the near plane
    EXPECT_FALSE(f.PointVisible(0, 0, -101));   // beyond the far plane
    EXPECT_FALSE(f.PointVisible(0, 0, 50));     // behind the eye

    EXPECT_TRUE(f.BoxVisible({40, -1, -51}, {60, 1, -49}));          // straddles the right plane
    EXPECT_FALSE(f.BoxVisible({55, -1, -51}, {60, 1, -49}));         // wholly right of it
    EXPECT_FALSE(f.BoxVisible({-1, -1, -120}, {1, 1, -101}));        // beyond the far plane
    EXPECT_TRUE(f.BoxVisible({-500, -500, -500}, {500, 500, 500}));  // holds the whole volume
}

TEST(Frustum, ModelCornersAreTestedConservatively) {
    const TFrustum f = SquareFrustum();
    // Eight points outside the volume near its top-right edge, behind neither the right nor the
    // top plane alone: still counted as visible.
    FakeModel m;
    const float xy[4][2] = {{48, 60}, {60, 48}, {49, 61}, {61, 49}};
    for (int i = 0; i < 8; ++i) {
        m.WorldCorners[i] = {xy[i % 4][0], xy[i % 4][1], i < 4 ? -50.0f : -50.5f};
        EXPECT_FALSE(f.PointVisible(m.WorldCorners[i]));
    }
    EXPECT_TRUE(f.ModelVisible(m));
    // Moved wholly right of the right plane.
    for (auto& c : m.WorldCorners)
        c.x += 20;
    EXPECT_FALSE(f.ModelVisible(m));

    FakeModelStd inside;
    for (int i = 0; i < 8; ++i)
        inside.WorldCorners[i] = {float(i & 1), float((i >> 1) & 1), -10.0f - (i >> 2)};
    EXPECT_TRUE(f.ModelVisible(inside));
    for (auto& c : inside.WorldCorners)
        c.z += 20;  // behind the eye
    EXPECT_FALSE(f.ModelVisible(inside));
}

// The battle camera is turned about two axes; a box that never received a point
// (min above max) and an inverted box around what is in view both hold nothing.
TEST(Frustum, AnEmptyBoxIsNeverVisibleFromATiltedCamera) {
    const TMatrix4f clip =
        MatMultiply(MatPerspective(60, 1.33f, 0.5f, 5000),
                    MatMultiply(MatRotationX(float(Rad(60))),
                                MatMultiply(MatRotationY(float(Rad(45))), MatTranslation(-100, -30, -100))));
    const TFrustum f(clip);
    const TMyVector3f seen{100, 30 - 20, 100 - 10};
    ASSERT_TRUE(f.PointVisible(seen.x, seen.y, seen.z));
    const TMyVector3f lo{seen.x - 5, seen.y - 5, seen.z - 5}, hi{seen.x + 5, seen.y + 5, seen.z + 5};
    EXPECT_TRUE(f.BoxVisible(lo, hi));
    EXPECT_FALSE(f.BoxVisible(hi, lo));
    EXPECT_FALSE(f.BoxVisible({lo.x, hi.y, lo.z}, {hi.x, lo.y, hi.z}));
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(f.BoxVisible({inf, inf, inf}, {-inf, -inf, -inf}));
}

TEST(Frustum, NarrowToRect) {
    // The whole screen changes nothing, whichever way the clip matrix turns the corners.
    for (const TMatrix4f& clip : {IdentityMatrix, MatPerspective(90, 1, 1, 100),
                                  MatMultiply(MatPerspective(60, 1.5f, 0.5f, 50),
                                              MatMultiply(MatRotationX(0.8f), MatTranslation(-3, -9, 2)))}) {
        TFrustum f(clip);
        const TFrustum before = f;
        f.NarrowToRect(-1, -1, 1, 1);
        for (int i = 0; i < 8; ++i)
            ExpectVec3(f.Corners[i], before.Corners[i].x, before.Corners[i].y, before.Corners[i].z, 1e-3f);
        for (int i = 0; i < 6; ++i)
            ExpectPlane(f.Planes[i], before.Planes[i].x, before.Planes[i].y, before.Planes[i].z,
                        before.Planes[i].w, 2e-3f);
    }

    // The upper-right quarter of the screen.
    TFrustum f = SquareFrustum();
    f.NarrowToRect(0, 0, 1, 1);
    ExpectVec3(f.Corners[0], 0, 0, -1);
    ExpectVec3(f.Corners[1], 1, 0, -1);
    ExpectVec3(f.Corners[3], 0, 1, -1);
    ExpectVec3(f.Corners[4], 0, 0, -100, 0.05f);
    ExpectPlane(f.Planes[TFrustum::PlaneLeft], 1, 0, 0, 0);
    ExpectPlane(f.Planes[TFrustum::PlaneBottom], 0, 1, 0, 0);
    const float s = std::sqrt(0.5f);
    ExpectPlane(f.Planes[TFrustum::PlaneRight], -s, 0, -s, 0);
    EXPECT_TRUE(f.PointVisible(25, 25, -50));
    EXPECT_FALSE(f.PointVisible(-25, 25, -50));
    EXPECT_FALSE(f.PointVisible(25, -25, -50));
    EXPECT_FALSE(f.PointVisible(25, 25, -0.5f));

    // Widening takes in what lies just outside the screen.
    TFrustum wide = SquareFrustum();
    wide.NarrowToRect(-1.3f, -1.5f, 1.3f, 1.2f);
    EXPECT_TRUE(wide.PointVisible(60, 0, -50));   // ndc x 1.2
    EXPECT_FALSE(wide.PointVisible(70, 0, -50));  // ndc x 1.4
    EXPECT_TRUE(wide.PointVisible(0, -70, -50));  // ndc y -1.4
    EXPECT_FALSE(wide.PointVisible(0, 65, -50));  // ndc y 1.3
}

TEST(Camera, NewCamera) {
    const TCamera cam(60, 1.5, 0.5, 5000);
    EXPECT_TRUE(cam.FreeRotation);
    ExpectVec3(cam.GetPosition(), 0, 0, 0, 0.0f);
    ExpectVec3(cam.BackAxis(), 0, 0, 1);
    ExpectVec3(cam.UpAxis(), 0, 1, 0);
    ExpectVec3(cam.RightAxis(), 1, 0, 0);
    ExpectVec3(cam.DeviceDirection(0, 0), 0, 0, -1);
    const TMatrix4f p = MatPerspective(60, 1.5f, 0.5f, 5000);
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(cam.GetProjectionMatrix().m[i], p.m[i]);
        EXPECT_EQ(cam.GetViewMatrix().m[i], IdentityMatrix.m[i]);
    }
}

TEST(Camera, AspectRebuildsProjection) {
    TCamera cam(60, 1.0, 0.5, 5000);
    cam.SetAspect(2.0);
    EXPECT_EQ(cam.Aspect, 2.0);
    EXPECT_NEAR(cam.GetProjectionMatrix().m[0], 1.0f / (2.0f * std::tan(float(Rad(30)))), 1e-5f);
    EXPECT_NEAR(cam.GetProjectionMatrix().m[5], 1.0f / std::tan(float(Rad(30))), 1e-5f);
}

TEST(Camera, DeviceDirection) {
    TCamera cam(60, 1.0, 0.5, 5000);
    const TMyVector3f corner = cam.DeviceDirection(1, 1);
    const float forward = -corner.z;
    EXPECT_GT(forward, 0.0f);
    EXPECT_NEAR(corner.x, corner.y, 1e-6f);
    EXPECT_NEAR(corner.x, std::tan(Rad(30)) * forward, 1e-5f);
    EXPECT_NEAR(Vec3Length(corner), 1.0f, 1e-5f);

    cam.SetAspect(2.0);
    const TMyVector3f left = cam.DeviceDirection(-1, 0);
    EXPECT_NEAR(left.x, -2 * std::tan(Rad(30)) * -left.z, 1e-5f);
    EXPECT_NEAR(left.y, 0.0f, 1e-6f);

    // Anywhere the camera stands, a point along the direction projects back to the same place.
    cam.Rotate(0.3, -1.1, 0.2);
    cam.SetPosition(12, 7, -30);
    const TMatrix4f clip = cam.GetCombinedMatrix();
    for (const auto& ndc : {std::array<float, 2>{0.4f, -0.7f}, {-1.0f, 1.0f}, {0.0f, 0.0f}}) {
        const TMyVector3f d = cam.DeviceDirection(ndc[0], ndc[1]);
        const TMyVector3f p = Vec3Add(cam.GetPosition(), Vec3Scale(d, 25.0f));
        const TMyVector3f n = Project(clip, p);
        EXPECT_NEAR(n.x, ndc[0], 1e-3f);
        EXPECT_NEAR(n.y, ndc[1], 1e-3f);
    }
}

TEST(Camera, PositionAndViewMatrix) {
    TCamera cam(60, 1.0, 0.5, 5000);
    cam.SetPosition(1, 2, 3);
    const TMatrix4f v = cam.GetViewMatrix();
    EXPECT_FLOAT_EQ(v.m[12], -1);
    EXPECT_FLOAT_EQ(v.m[13], -2);
    EXPECT_FLOAT_EQ(v.m[14], -3);
    EXPECT_EQ(v.m[15], 1.0f);
    ExpectVec3(MatTransformPoint(v, {1, 2, -7}), 0, 0, -10);

    // After a turn the eye still maps to the origin and a point ahead to -z.
    cam.Rotate(0, Rad(90), 0);
    ExpectVec3(cam.BackAxis(), -1, 0, 0);
    ExpectVec3(cam.RightAxis(), 0, 0, 1);
    ExpectVec3(cam.UpAxis(), 0, 1, 0);
    ExpectVec3(MatTransformPoint(cam.GetViewMatrix(), {1, 2, 3}), 0, 0, 0);
    ExpectVec3(MatTransformPoint(cam.GetViewMatrix(), {6, 2, 3}), 0, 0, -5);
    ExpectVec3(MatTransformPoint(cam.GetViewMatrix(), {1, 2, 4}), 1, 0, 0);

    // The combined matrix is projection x view.
    const TMatrix4f expected = MatMultiply(cam.GetProjectionMatrix(), cam.GetViewMatrix());
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(cam.GetCombinedMatrix().m[i], expected.m[i]);
    const TFrustum f = cam.MakeFrustum();
    EXPECT_TRUE(f.PointVisible(20, 2, 3));
    EXPECT_FALSE(f.PointVisible(-20, 2, 3));
}

TEST(Camera, TurnDownAndMoveBack) {
    TCamera cam(60, 1.0, 0.5, 5000);
    cam.Rotate(Rad(60), 0, 0);
    const float s = std::sin(Rad(60)), c = std::cos(Rad(60));
    ExpectVec3(cam.BackAxis(), 0, s, c);
    ExpectVec3(cam.UpAxis(), 0, c, -s);
    ExpectVec3(cam.DeviceDirection(0, 0), 0, -s, -c);  // looking down and ahead
    cam.MoveBack(20);
    // Above and behind the former position, 20 units away.
    ExpectVec3(cam.GetPosition(), 0, 20 * s, 20 * c, 1e-3f);
    EXPECT_NEAR(Vec3Length(cam.GetPosition()), 20.0f, 1e-3f);
    ExpectVec3(MatTransformPoint(cam.GetViewMatrix(), ZeroVector3f), 0, 0, -20, 1e-3f);

    // The battle camera: a yaw of 45 degrees, then 60 degrees down, then 20 back. The yaw is made
    // in the world, the pitch about the camera's own turned x axis.
    TCamera battle(60, 1.0, 0.5, 5000);
    battle.Rotate(0, Rad(45), 0);
    battle.Rotate(Rad(60), 0, 0);
    battle.MoveBack(20);
    const float h = std::sqrt(0.5f) * c;
    ExpectVec3(battle.BackAxis(), -h, s, h);
    ExpectVec3(battle.GetPosition(), -20 * h, 20 * s, 20 * h, 1e-3f);
    EXPECT_NEAR(battle.RightAxis().y, 0.0f, 1e-5f);  // horizon still level
}

TEST(Camera, LevelHorizonMode) {
    TCamera cam(60, 1.0, 0.5, 5000);
    cam.Rotate(0, Rad(45), 0);
    cam.Rotate(Rad(60), 0, 0);
    cam.FreeRotation = false;

    // The first angle is ignored.
    const TMyVector3f back0 = cam.BackAxis();
    cam.Rotate(0.5, 0, 0);
    ExpectVec3(cam.BackAxis(), back0.x, back0.y, back0.z, 1e-6f);

    // Yawing and pitching in turn never rolls the view.
    for (int i = 0; i < 10; ++i) {
        cam.Rotate(0, 0.3, 0);
        cam.Rotate(0, 0, -0.05);
        EXPECT_NEAR(cam.RightAxis().y, 0.0f, 1e-4f);
    }
    // Whereas free rotation does roll it.
    TCamera freeCam = cam;
    freeCam.FreeRotation = true;
    freeCam.Rotate(0, 0.3, 0);
    EXPECT_GT(std::fabs(freeCam.RightAxis().y), 0.05f);

    // Pitch steps of 5 degrees from level stop at 85 degrees down, the first past the 0.99 limit.
    TCamera level(60, 1.0, 0.5, 5000);
    level.FreeRotation = false;
    for (int i = 0; i < 30; ++i)
        level.Rotate(0, 0, Rad(5));
    EXPECT_NEAR(level.BackAxis().y, std::sin(Rad(85)), 1e-4f);
    // Yaw is never limited and keeps the pitch.
    const TMyVector3f right = level.RightAxis();
    level.Rotate(0, Rad(30), 0);
    EXPECT_GT(Vec3Length(Vec3Sub(level.RightAxis(), right)), 0.3f);
    EXPECT_NEAR(level.BackAxis().y, std::sin(Rad(85)), 1e-4f);
    // Pitching back up is allowed.
    level.Rotate(0, 0, Rad(-5));
    EXPECT_NEAR(level.BackAxis().y, std::sin(Rad(80)), 1e-4f);
    // And upwards it stops likewise.
    for (int i = 0; i < 60; ++i)
        level.Rotate(0, 0, Rad(-5));
    EXPECT_NEAR(level.BackAxis().y, -std::sin(Rad(85)), 1e-4f);
    EXPECT_NEAR(level.RightAxis().y, 0.0f, 1e-4f);
}
