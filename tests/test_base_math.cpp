// Vector, matrix, plane, quaternion and ray math, checked against values worked out by hand, and the
// little-endian byte reader every file format goes through.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/e_ByteReader.h"
#include "world/e_Math.h"

namespace {

const float Tol = 1e-5f;

float Rad(float degrees) { return degrees * Pi / 180.0f; }

void ExpectVec3(const TMyVector3f& v, float x, float y, float z, float tol = Tol) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

void ExpectVec4(const TMyVector4f& v, float x, float y, float z, float w, float tol = Tol) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
    EXPECT_NEAR(v.w, w, tol);
}

void ExpectMat(const TMatrix4f& a, const TMatrix4f& b, float tol = Tol) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}

TMatrix4f FromList(std::initializer_list<float> values) {
    TMatrix4f m;
    int i = 0;
    for (float v : values)
        m.m[i++] = v;
    return m;
}

}  // namespace

TEST(MathScalars, Wrappers) {
    EXPECT_NEAR(ArcTan2(1.0f, 0.0f), Pi / 2, Tol);  // y first
    EXPECT_NEAR(ArcTan2(0.0f, -1.0f), Pi, Tol);
    EXPECT_NEAR(Tan(Pi / 4), 1.0f, Tol);
    EXPECT_TRUE(IsZero(0.00009f, 0.0f));
    EXPECT_TRUE(IsZero(-0.0001f, 0.0f));
    EXPECT_FALSE(IsZero(0.0002f, 0.0f));
    EXPECT_TRUE(IsZero(0.5f, 1.0f));
    EXPECT_FALSE(IsZero(-1.5f, 1.0f));
    EXPECT_TRUE(IsNan(std::nanf("")));
    EXPECT_FALSE(IsNan(PlusInfinity));
}

TEST(MathVectors, TwoComponents) {
    const TMyVector2f a{3.0f, -4.0f}, b{1.0f, 2.0f};
    EXPECT_FLOAT_EQ(Vec2Negate(a).x, -3.0f);
    EXPECT_FLOAT_EQ(Vec2Negate(a).y, 4.0f);
    EXPECT_FLOAT_EQ(Vec2Sub(a, b).x, 2.0f);
    EXPECT_FLOAT_EQ(Vec2Sub(a, b).y, -6.0f);
    EXPECT_FLOAT_EQ(Vec2Add(a, b).y, -2.0f);
    EXPECT_FLOAT_EQ(Vec2Scale(a, 2.0f).y, -8.0f);
    EXPECT_FLOAT_EQ(Vec2Dot(a, b), -5.0f);
    EXPECT_FLOAT_EQ(Vec2Length(a), 5.0f);
    TMyVector2f n = a;
    Vec2Normalize(n);
    EXPECT_FLOAT_EQ(n.x, 0.6f);
    EXPECT_FLOAT_EQ(n.y, -0.8f);
    TMyVector2f zero{0.0f, 0.0f};
    Vec2Normalize(zero);
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
}

TEST(MathVectors, ThreeComponents) {
    const TMyVector3f x{1, 0, 0}, y{0, 1, 0};
    ExpectVec3(Vec3Cross(x, y), 0, 0, 1);  // right-handed
    ExpectVec3(Vec3Cross(y, x), 0, 0, -1);
    ExpectVec3(Vec3Cross({1, 2, 3}, {4, 5, 6}), -3, 6, -3);
    EXPECT_FLOAT_EQ(Vec3Dot({1, 2, 3}, {4, -5, 6}), 12.0f);
    EXPECT_FLOAT_EQ(Vec3Length({2, 3, 6}), 7.0f);
    ExpectVec3(Vec3Sub({1, 2, 3}, {3, 2, 1}), -2, 0, 2);
    ExpectVec3(Vec3Scale({1, 2, 3}, -2), -2, -4, -6);
    ExpectVec3(Vec3Negate({1, -2, 3}), -1, 2, -3);
    ExpectVec3(Vec3Lerp({0, 10, 4}, {10, 20, 0}, 0.25f), 2.5f, 12.5f, 3.0f);

    TMyVector3f v{2, 3, 6};
    Vec3Normalize(v);
    ExpectVec3(v, 2.0f / 7, 3.0f / 7, 6.0f / 7);
    TMyVector3f zero{0, 0, 0};
    Vec3Normalize(zero);
    ExpectVec3(zero, 0, 0, 0, 0.0f);
}

TEST(MathMatrices, MultiplicationOrderAndLayout) {
    // Translation in elements 12..14, column-major.
    const TMatrix4f t = MatTranslation(1, 2, 3);
    EXPECT_EQ(t.m[12], 1.0f);
    EXPECT_EQ(t.m[13], 2.0f);
    EXPECT_EQ(t.m[14], 3.0f);
    ExpectVec3(MatTransformPoint(t, ZeroVector3f), 1, 2, 3);

    // A x B applies B first: rotate (1, 0, 0) to (0, 1, 0), then move by +x.
    const TMatrix4f r = MatRotationZ(Rad(90));
    ExpectVec3(MatTransformPoint(MatMultiply(MatTranslation(1, 0, 0), r), {1, 0, 0}), 1, 1, 0);
    ExpectVec3(MatTransformPoint(MatMultiply(r, MatTranslation(1, 0, 0)), {1, 0, 0}), 0, 2, 0);

    // A full product worked out by hand: A holds 1..16 column by column, B = scale (2,3,4) + move (5,6,7).
    TMatrix4f a;
    for (int i = 0; i < 16; ++i)
        a.m[i] = float(i + 1);
    const TMatrix4f b = MatMultiply(MatTranslation(5, 6, 7), MatScaling(2, 3, 4));
    ExpectMat(MatMultiply(a, b), FromList({2, 4, 6, 8, 15, 18, 21, 24, 36, 40, 44, 48, 111, 130, 149, 168}));
    ExpectMat(MatMultiply(a, IdentityMatrix), a);
    ExpectMat(MatMultiply(IdentityMatrix, a), a);

    // The fourth row counts in MatTransformVec4 but not in MatTransformPoint.
    const TMyVector4f v = MatTransformVec4(a, {1, 0, 0, 1});
    ExpectVec4(v, 14, 16, 18, 20);
    ExpectVec3(MatTransformPoint(a, {1, 0, 0}), 14, 16, 18);

    MatTranspose(a);
    EXPECT_EQ(a.m[1], 5.0f);
    EXPECT_EQ(a.m[4], 2.0f);
    EXPECT_EQ(a.m[3], 13.0f);
    EXPECT_EQ(a.m[12], 4.0f);
    EXPECT_EQ(a.m[15], 16.0f);
    EXPECT_EQ(a.m[0], 1.0f);

    ExpectMat(MatScaling(2, 3, 4), FromList({2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}));
}

TEST(MathMatrices, RotationDirections) {
    // Counter-clockwise looking down each axis: x -> y about z, y -> z about x, z -> x about y.
    ExpectVec3(MatTransformPoint(MatRotationZ(Rad(90)), {1, 0, 0}), 0, 1, 0);
    ExpectVec3(MatTransformPoint(MatRotationX(Rad(90)), {0, 1, 0}), 0, 0, 1);
    ExpectVec3(MatTransformPoint(MatRotationY(Rad(90)), {0, 0, 1}), 1, 0, 0);
    ExpectVec3(MatTransformPoint(MatRotationY(Rad(90)), {1, 0, 0}), 0, 0, -1);
    ExpectVec3(MatTransformPoint(MatRotationX(Rad(30)), {0, 2, 0}), 0, 2 * std::cos(Rad(30)),
               2 * std::sin(Rad(30)));

    const float angle = 0.7f;
    ExpectMat(MatRotationAxis(0, 1, 0, angle), MatRotationY(angle));
    ExpectMat(MatRotationAxis(0, 0, 1, angle), MatRotationZ(angle));
    ExpectMat(MatRotationAxis(TMyVector3f{1, 0, 0}, angle), MatRotationX(angle));

    // A third of a turn about the diagonal cycles the axes.
    const float d = 1.0f / std::sqrt(3.0f);
    const TMatrix4f cycle = MatRotationAxis(d, d, d, Rad(120));
    ExpectVec3(MatTransformPoint(cycle, {1, 0, 0}), 0, 1, 0);
    ExpectVec3(MatTransformPoint(cycle, {0, 1, 0}), 0, 0, 1);
}

TEST(MathMatrices, RigidInverse) {
    const TMatrix4f m = MatMultiply(MatTranslation(1, 2, 3), MatRotationAxis(0.6f, 0.0f, 0.8f, 1.1f));
    TMatrix4f inv = m;
    MatInverseRigid(inv);
    ExpectMat(MatMultiply(inv, m), IdentityMatrix);
    ExpectMat(MatMultiply(m, inv), IdentityMatrix);

    // By hand: (move by (1, 2, 3)) after (turn 90 degrees about z) is undone by -90 degrees after -(1, 2, 3).
    TMatrix4f inv2 = MatMultiply(MatTranslation(1, 2, 3), MatRotationZ(Rad(90)));
    inv2.m[3] = 7.0f;  // garbage in the last row is cleared
    MatInverseRigid(inv2);
    ExpectMat(inv2, FromList({0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, -2, 1, -3, 1}));
    ExpectVec3(MatTransformPoint(inv2, {1, 2, 3}), 0, 0, 0);
}

TEST(MathMatrices, Projection) {
    const TMatrix4f f = MatFrustum(-1, 3, -2, 2, 1, 11);
    ExpectMat(f, FromList({0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0.5f, 0, -1.2f, -1, 0, 0, -2.2f, 0}));

    const TMatrix4f p = MatPerspective(90, 1, 1, 100);
    EXPECT_NEAR(p.m[0], 1.0f, Tol);
    EXPECT_NEAR(p.m[5], 1.0f, Tol);
    EXPECT_EQ(p.m[11], -1.0f);
    EXPECT_EQ(p.m[15], 0.0f);

    // 60 degrees, aspect 2: the top edge of the near plane lands on y = +1, the near plane on z = -1
    // and the far plane on z = +1.
    const TMatrix4f q = MatPerspective(60, 2, 1, 10);
    const float top = std::tan(Rad(30));
    EXPECT_NEAR(q.m[5], 1.0f / top, Tol);
    EXPECT_NEAR(q.m[0], 1.0f / (2 * top), Tol);
    TMyVector4f c = MatTransformVec4(q, {2 * top, top, -1, 1});
    EXPECT_NEAR(c.x / c.w, 1.0f, Tol);
    EXPECT_NEAR(c.y / c.w, 1.0f, Tol);
    EXPECT_NEAR(c.z / c.w, -1.0f, Tol);
    c = MatTransformVec4(q, {0, 0, -10, 1});
    EXPECT_NEAR(c.w, 10.0f, Tol);
    EXPECT_NEAR(c.z / c.w, 1.0f, Tol);
}

TEST(MathPlanes, NormalizeFromPointsIntersect) {
    TMyVector4f p{0, 0, 2, 4};
    PlaneNormalize(p);
    ExpectVec4(p, 0, 0, 1, 2);
    TMyVector4f zero{0, 0, 0, 5};
    PlaneNormalize(zero);
    ExpectVec4(zero, 0, 0, 0, 0, 0.0f);

    // Counter-clockwise seen from +z gives the +z normal; w places the plane at z = 2.
    ExpectVec4(PlaneFromPoints({0, 0, 2}, {3, 0, 2}, {0, 5, 2}), 0, 0, 1, -2);
    ExpectVec4(PlaneFromPoints({0, 0, 2}, {0, 5, 2}, {3, 0, 2}), 0, 0, -1, 2);

    TMyVector3f point;
    ASSERT_TRUE(PlaneIntersect3({1, 0, 0, -1}, {0, 1, 0, -2}, {0, 0, 1, -3}, point));
    ExpectVec3(point, 1, 2, 3);
    // x + y = 3, x - y = 1, z = -4  ->  (2, 1, -4)
    const float s = 1.0f / std::sqrt(2.0f);
    ASSERT_TRUE(PlaneIntersect3({s, s, 0, -3 * s}, {s, -s, 0, -s}, {0, 0, -1, -4}, point));
    ExpectVec3(point, 2, 1, -4, 1e-4f);

    TMyVector3f untouched{9, 9, 9};
    EXPECT_FALSE(PlaneIntersect3({1, 0, 0, -1}, {-1, 0, 0, 5}, {0, 0, 1, -3}, untouched));
    EXPECT_FALSE(PlaneIntersect3({0, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, untouched));
    ExpectVec3(untouched, 9, 9, 9, 0.0f);
}

TEST(MathQuaternions, ConversionsMatchMatrices) {
    // Scalar first.
    const TMyVector4f qz = QuatFromAxisAngle({0, 0, 1}, Rad(90));
    ExpectVec4(qz, std::cos(Rad(45)), 0, 0, std::sin(Rad(45)));
    ExpectMat(QuatToMatrix(qz), MatRotationZ(Rad(90)));
    ExpectMat(QuatToMatrix(QuatFromAxisAngle({1, 0, 0}, 0.4f)), MatRotationX(0.4f));
    ExpectMat(QuatToMatrix(QuatFromAxisAngle({0, 1, 0}, -1.3f)), MatRotationY(-1.3f));
    ExpectMat(QuatToMatrix(IdentityQuat), IdentityMatrix);
    // A non-unit axis still gives a unit quaternion.
    EXPECT_NEAR(QuatLength(QuatFromAxisAngle({0, 3, 0}, 1.0f)), 1.0f, Tol);

    // The product q * r corresponds to the matrix product Q x R (r applied first).
    const TMyVector4f qa = QuatFromAxisAngle({0, 1, 0}, Rad(90));
    const TMyVector4f qb = QuatFromAxisAngle({1, 0, 0}, Rad(90));
    const TMyVector4f ab = QuatMultiply(qa, qb);
    ExpectMat(QuatToMatrix(ab), MatMultiply(MatRotationY(Rad(90)), MatRotationX(Rad(90))));
    // (0, 1, 0) -> x-turn -> (0, 0, 1) -> y-turn -> (1, 0, 0)
    ExpectVec3(MatTransformPoint(QuatToMatrix(ab), {0, 1, 0}), 1, 0, 0);
    ExpectVec4(ab, 0.5f, 0.5f, 0.5f, -0.5f);

    // x first, then y, then z.
    const TMatrix4f angles = QuatToMatrix(QuatFromAngles(0.3f, -0.5f, 1.2f));
    ExpectMat(angles, MatMultiply(MatRotationZ(1.2f), MatMultiply(MatRotationY(-0.5f), MatRotationX(0.3f))));

    // The product is normalized even for non-unit factors.
    const TMyVector4f big = QuatMultiply({2, 0, 0, 0}, {0, 0, 3, 0});
    ExpectVec4(big, 0, 0, 1, 0);
}

TEST(MathQuaternions, LengthNormalizeBlend) {
    EXPECT_FLOAT_EQ(QuatLength({1, 2, 2, 4}), 5.0f);
    TMyVector4f q{1, 2, 2, 4};
    QuatNormalize(q);
    ExpectVec4(q, 0.2f, 0.4f, 0.4f, 0.8f);
    TMyVector4f zero{0, 0, 0, 0};
    QuatNormalize(zero);
    ExpectVec4(zero, 0, 0, 0, 0, 0.0f);

    const TMyVector4f a{1, 0, 0, 0}, b{0, 1, 0, 0};
    ExpectVec4(QuatBlend(a, b, 0.0f), 1, 0, 0, 0);
    ExpectVec4(QuatBlend(a, b, 0.25f), 0.75f, 0.25f, 0, 0);  // not normalized
    // The negated target describes the same turn: the blend goes the short way to +b.
    const TMyVector4f nb{-0.6f, -0.8f, 0, 0};
    ExpectVec4(QuatBlend(a, nb, 1.0f), 0.6f, 0.8f, 0, 0);
    ExpectVec4(QuatBlend(a, nb, 0.5f), 0.8f, 0.4f, 0, 0);
}

TEST(MathRays, Plane) {
    const TMyVector4f ground{0, 0, 1, -2};  // z = 2
    TMyVector3f point;
    float t = -1;
    ASSERT_TRUE(RayPlane({1, 1, 6}, {0, 0, -2}, ground, point, t));
    EXPECT_NEAR(t, 2.0f, Tol);
    ExpectVec3(point, 1, 1, 2);
    // Behind the origin still counts.
    ASSERT_TRUE(RayPlane({1, 1, 6}, {1, 0, 4}, ground, point, t));
    EXPECT_NEAR(t, -1.0f, Tol);
    ExpectVec3(point, 0, 1, 2);

    // In the plane: t = 0, the point output stays as it was.
    TMyVector3f keep{7, 7, 7};
    ASSERT_TRUE(RayPlane({0, 0, 2}, {1, 1, 0}, ground, keep, t));
    EXPECT_EQ(t, 0.0f);
    ExpectVec3(keep, 7, 7, 7, 0.0f);
    EXPECT_FALSE(RayPlane({0, 0, 3}, {1, 0, 0}, ground, keep, t));
}

TEST(MathRays, Triangle) {
    const TMyVector3f a{0, 0, 0}, b{2, 0, 0}, c{0, 2, 0};
    TMyVector3f point;
    float t = 0;
    ASSERT_TRUE(RayTriangle(a, b, c, {0.5f, 0.5f, 3}, {0, 0, -1}, point, t));
    EXPECT_NEAR(t, 3.0f, Tol);
    ExpectVec3(point, 0.5f, 0.5f, 0);
    // From the other side.
    ASSERT_TRUE(RayTriangle(a, b, c, {0.5f, 0.5f, -2}, {0, 0, 4}, point, t));
    EXPECT_NEAR(t, 0.5f, Tol);
    // Through the hypotenuse (u + v = 1).
    ASSERT_TRUE(RayTriangle(a, b, c, {1, 1, 1}, {0, 0, -1}, point, t));
    ExpectVec3(point, 1, 1, 0);
    // Just beyond it, and outside the other two edges.
    EXPECT_FALSE(RayTriangle(a, b, c, {1.01f, 1.01f, 1}, {0, 0, -1}, point, t));
    EXPECT_FALSE(RayTriangle(a, b, c, {-0.1f, 0.5f, 1}, {0, 0, -1}, point, t));
    EXPECT_FALSE(RayTriangle(a, b, c, {0.5f, -0.1f, 1}, {0, 0, -1}, point, t));
    // Parallel to the triangle.
    EXPECT_FALSE(RayTriangle(a, b, c, {0.5f, 0.5f, 1}, {1, 0, 0}, point, t));
    // No test of the sign of t.
    ASSERT_TRUE(RayTriangle(a, b, c, {0.5f, 0.5f, 3}, {0, 0, 1}, point, t));
    EXPECT_NEAR(t, -3.0f, Tol);
    // A slanted triangle: the plane x + y + z = 3 is met at (1, 1, 1).
    ASSERT_TRUE(RayTriangle({3, 0, 0}, {0, 3, 0}, {0, 0, 3}, {0, 0, 0}, {2, 2, 2}, point, t));
    EXPECT_NEAR(t, 0.5f, Tol);
    ExpectVec3(point, 1, 1, 1);
}

TEST(MathRays, AxisAlignedBox) {
    const TMyVector3f lo{0, 0, 0}, hi{1, 2, 3};
    float tn = -1, tf = -1;
    ASSERT_TRUE(RayBox({-1, 1, 1}, {2, 0, 0}, lo, hi, tn, tf));
    EXPECT_NEAR(tn, 0.5f, Tol);
    EXPECT_NEAR(tf, 1.0f, Tol);
    // Through two slabs: enters by y at t = 1, leaves by x at t = 1.5.
    ASSERT_TRUE(RayBox({-0.5f, -1, 1}, {1, 1, 0}, lo, hi, tn, tf));
    EXPECT_NEAR(tn, 1.0f, Tol);
    EXPECT_NEAR(tf, 1.5f, Tol);
    // From inside.
    ASSERT_TRUE(RayBox({0.5f, 1, 1}, {0, 0, 1}, lo, hi, tn, tf));
    EXPECT_EQ(tn, 0.0f);
    EXPECT_NEAR(tf, 2.0f, Tol);
    // Pointing away, parallel outside a slab, and passing beside it.
    EXPECT_FALSE(RayBox({-1, 1, 1}, {-1, 0, 0}, lo, hi, tn, tf));
    EXPECT_FALSE(RayBox({-1, 2.5f, 1}, {1, 0, 0}, lo, hi, tn, tf));
    EXPECT_FALSE(RayBox({-1, 1, 1}, {1, 4, 0}, lo, hi, tn, tf));
}

TEST(MathRays, OrientedBox) {
    TOrientedBox box;
    box.Center = {0, 0, -10};
    box.Axis[0] = {1, 0, 0};
    box.Axis[1] = {0, 1, 0};
    box.Axis[2] = {0, 0, 1};
    box.HalfSize[0] = 2;
    box.HalfSize[1] = 3;
    box.HalfSize[2] = 4;
    float t = 0;
    ASSERT_TRUE(RayOrientedBox({0, 0, 0}, {0, 0, -1}, box, t));
    EXPECT_NEAR(t, 6.0f, Tol);
    ASSERT_TRUE(RayOrientedBox({0, 0, 0}, {0, 0, -2}, box, t));
    EXPECT_NEAR(t, 3.0f, Tol);
    EXPECT_FALSE(RayOrientedBox({2.5f, 0, 0}, {0, 0, -1}, box, t));
    EXPECT_FALSE(RayOrientedBox({0, 0, 0}, {0, 0, 1}, box, t));
    // From inside: the exit distance.
    ASSERT_TRUE(RayOrientedBox({0, 0, -10}, {0, 1, 0}, box, t));
    EXPECT_NEAR(t, 3.0f, Tol);

    // Turned 45 degrees about y: the unit cube's edge points at the ray, sqrt(2) before the centre.
    const float s = std::sqrt(0.5f);
    TOrientedBox turned;
    turned.Center = {5, 0, 0};
    turned.Axis[0] = {s, 0, -s};
    turned.Axis[1] = {0, 1, 0};
    turned.Axis[2] = {s, 0, s};
    turned.HalfSize[0] = turned.HalfSize[1] = turned.HalfSize[2] = 1;
    ASSERT_TRUE(RayOrientedBox({0, 0, 0}, {1, 0, 0}, turned, t));
    EXPECT_NEAR(t, 5.0f - std::sqrt(2.0f), 1e-4f);
    ASSERT_TRUE(RayOrientedBox({0, 0, 1}, {1, 0, 0}, turned, t));
    EXPECT_NEAR(t, 5.0f - (std::sqrt(2.0f) - 1.0f), 1e-4f);
    EXPECT_FALSE(RayOrientedBox({0, 0, 1.5f}, {1, 0, 0}, turned, t));
    // Starts inside the axis-aligned bounds but beside the turned box, running along its face.
    float tn = 0, tf = 0;
    EXPECT_TRUE(RayBox({5.8f, 0, -0.8f}, {1, 0, 1}, {3.5f, -1, -1.5f}, {6.5f, 1, 1.5f}, tn, tf));
    EXPECT_FALSE(RayOrientedBox({5.8f, 0, -0.8f}, {1, 0, 1}, turned, t));
}

TEST(MathDotVectors, OperationsAndTangents) {
    const TDotVector3 a = DotVector3(1, 2, 3), b = DotVector3(4, 5, 6);
    const TDotVector3 cr = DotCross(a, b);
    EXPECT_FLOAT_EQ(cr.x, -3);
    EXPECT_FLOAT_EQ(cr.y, 6);
    EXPECT_FLOAT_EQ(cr.z, -3);
    EXPECT_FLOAT_EQ(DotDot(a, b), 32);
    EXPECT_FLOAT_EQ(DotLengthSq(a), 14);
    EXPECT_FLOAT_EQ(DotSub(a, b).x, -3);
    EXPECT_FLOAT_EQ(DotAdd(a, b).z, 9);
    EXPECT_FLOAT_EQ(DotNegate(a).y, -2);
    TDotVector3 z = DotVector3(0, 0, 0);
    DotNormalize(z);
    EXPECT_EQ(z.x, 0.0f);
    EXPECT_EQ(z.y, 0.0f);
    EXPECT_EQ(z.z, 0.0f);
    const TDotVector2 uv = DotVector2(0.25f, 0.75f);
    EXPECT_EQ(uv.x, 0.25f);
    EXPECT_EQ(uv.y, 0.75f);

    // A triangle in the xy plane whose u runs along x and v along y.
    const TDotVector3 p1{0, 0, 0}, p2{1, 0, 0}, p3{0, 1, 0};
    const TDotVector3 up{0, 0, 1};
    TDotVector3 tangent, binormal;
    TriangleTangents(p1, p2, p3, {0, 0}, {2, 0}, {0, 1}, up, tangent, binormal);
    EXPECT_NEAR(tangent.x, 1, Tol);
    EXPECT_NEAR(tangent.y, 0, Tol);
    EXPECT_NEAR(binormal.y, 1, Tol);
    EXPECT_NEAR(binormal.x, 0, Tol);
    // Mirrored texture (v runs down): tangent x binormal would point away from the normal, so the
    // tangent turns round.
    TriangleTangents(p1, p2, p3, {0, 0}, {1, 0}, {0, -1}, up, tangent, binormal);
    EXPECT_NEAR(tangent.x, -1, Tol);
    EXPECT_NEAR(binormal.y, -1, Tol);
    // u along y, v along x.
    TriangleTangents(p1, p2, p3, {0, 0}, {0, 1}, {1, 0}, DotVector3(0, 0, -1), tangent, binormal);
    EXPECT_NEAR(tangent.y, 1, Tol);
    EXPECT_NEAR(binormal.x, 1, Tol);
    // Degenerate texture coordinates give zero vectors, not NaN.
    TriangleTangents(p1, p2, p3, {0, 0}, {0, 0}, {0, 0}, up, tangent, binormal);
    EXPECT_EQ(DotLengthSq(tangent), 0.0f);
    EXPECT_EQ(DotLengthSq(binormal), 0.0f);
}

// The byte order is the files' whatever the machine's is, and a reader that runs out of bytes
// neither reads on nor moves: each format relies on that to refuse a damaged file in its own words.
TEST(ByteReader, LittleEndianAndBounded) {
    const std::vector<uint8_t> bytes = {0x34, 0x12, 0x78, 0x56, 0x34, 0x12,
                                        0x00, 0x00, 0x80, 0xBF, 0xFE, 0xFF};
    EXPECT_EQ(LoadLE16(bytes.data()), 0x1234);
    EXPECT_EQ(LoadLE32(bytes.data() + 2), 0x12345678u);
    EXPECT_EQ(LoadLESingle(bytes.data() + 6), -1.0f);

    std::vector<uint8_t> out;
    AppendLE16(out, 0x1234);
    AppendLE32(out, 0x12345678u);
    AppendLESingle(out, -1.0f);
    AppendLE16(out, static_cast<uint16_t>(-2));
    EXPECT_EQ(out, bytes);

    TByteReader r(bytes);
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    float f = 0;
    int16_t i16 = 0;
    ASSERT_TRUE(r.ReadU16(u16) && r.ReadU32(u32) && r.ReadSingle(f) && r.ReadI16(i16));
    EXPECT_EQ(u16, 0x1234);
    EXPECT_EQ(u32, 0x12345678u);
    EXPECT_EQ(f, -1.0f);
    EXPECT_EQ(i16, -2);
    EXPECT_EQ(r.Remaining(), 0u);

    // Three bytes left: a 32-bit read fails and leaves them for smaller reads.
    ASSERT_TRUE(r.Seek(9));
    int32_t i32 = 7;
    EXPECT_FALSE(r.ReadI32(i32));
    EXPECT_EQ(i32, 7);
    EXPECT_EQ(r.Position(), 9u);
    uint8_t b[4] = {};
    EXPECT_FALSE(r.Read(b, 4));
    EXPECT_FALSE(r.Skip(4));
    EXPECT_EQ(r.Position(), 9u);
    EXPECT_TRUE(r.ReadU16(u16));
    EXPECT_EQ(u16, 0xFEBF);
    EXPECT_FALSE(r.Seek(bytes.size() + 1));
    EXPECT_TRUE(r.Seek(bytes.size()));
    EXPECT_FALSE(r.ReadU8(b[0]));
}
