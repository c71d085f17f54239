#pragma once
// Small single-precision geometry library shared by the world, the camera, the renderer and the
// model loaders: vectors, column-major 4x4 matrices, planes, quaternions and ray tests.
//
// Conventions:
//  - Angles are radians unless a name says degrees.
//  - Functions never change their inputs unless they are in-place operations (taking a non-const
//    reference as their first argument: the Normalize family, MatInverseRigid, MatTranspose).
//  - TMatrix4f is column-major as OpenGL expects it: m[c*4 + r] is row r of column c; the translation
//    is in m[12..14].
//  - A plane is a TMyVector4f (normal x, y, z; distance w): p lies on it when n.p + w = 0.
//  - A quaternion is a TMyVector4f stored scalar first: x = w, (y, z, w) = (qx, qy, qz).

#include <limits>
#include <numbers>

inline constexpr float Pi = std::numbers::pi_v<float>;
inline constexpr float Radians(float degrees) { return degrees * Pi / 180.0f; }

struct TMyVector2f {
    float x = 0.0f;
    float y = 0.0f;
};

struct TMyVector3f {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

struct TMyVector4f {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;
};

struct TMatrix4f {
    float m[16] = {};

    float& operator[](int i) { return m[i]; }
    const float& operator[](int i) const { return m[i]; }
};

// An oriented box for ray picking: centre, three unit axes and the half-extent along each axis.
struct TOrientedBox {
    TMyVector3f Center;
    TMyVector3f Axis[3];
    float HalfSize[3] = {0.0f, 0.0f, 0.0f};
};

// Plain vectors used by the model file loaders (texture coordinates, tangent computation).
struct TDotVector2 {
    float x = 0.0f;
    float y = 0.0f;
};

struct TDotVector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// ---- constants ----
inline constexpr float Epsilon = 0.0001f;
inline constexpr float MinusInfinity = -std::numeric_limits<float>::infinity();
inline constexpr float PlusInfinity = std::numeric_limits<float>::infinity();
inline constexpr TMyVector2f ZeroVector2f{0.0f, 0.0f};
inline constexpr TMyVector3f ZeroVector3f{0.0f, 0.0f, 0.0f};
inline constexpr TMyVector4f IdentityQuat{1.0f, 0.0f, 0.0f, 0.0f};
inline constexpr TMatrix4f IdentityMatrix{
    {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f}};

// ---- scalars ----
float ArcTan2(float y, float x);
float Tan(float angle);
// |value| <= tolerance; a tolerance of exactly 0 stands for Epsilon.
bool IsZero(float value, float tolerance = 0.0f);
bool IsNan(float value);

// ---- two-component vectors ----
TMyVector2f Vec2Negate(const TMyVector2f& a);
TMyVector2f Vec2Add(const TMyVector2f& a, const TMyVector2f& b);
TMyVector2f Vec2Sub(const TMyVector2f& a, const TMyVector2f& b);
TMyVector2f Vec2Scale(const TMyVector2f& a, float s);
float Vec2Dot(const TMyVector2f& a, const TMyVector2f& b);
float Vec2Length(const TMyVector2f& a);
void Vec2Normalize(TMyVector2f& a);

// ---- three-component vectors ----
TMyVector3f Vec3Negate(const TMyVector3f& a);
TMyVector3f Vec3Add(const TMyVector3f& a, const TMyVector3f& b);
TMyVector3f Vec3Sub(const TMyVector3f& a, const TMyVector3f& b);
TMyVector3f Vec3Scale(const TMyVector3f& a, float s);
float Vec3Dot(const TMyVector3f& a, const TMyVector3f& b);
TMyVector3f Vec3Cross(const TMyVector3f& a, const TMyVector3f& b);
float Vec3Length(const TMyVector3f& a);
void Vec3Normalize(TMyVector3f& a);
TMyVector3f Vec3Lerp(const TMyVector3f& a, const TMyVector3f& b, float t);

// Operator shorthands for the functions above.
inline TMyVector2f operator+(const TMyVector2f& a, const TMyVector2f& b) { return {a.x + b.x, a.y + b.y}; }
inline TMyVector2f operator-(const TMyVector2f& a, const TMyVector2f& b) { return {a.x - b.x, a.y - b.y}; }
inline TMyVector2f operator-(const TMyVector2f& a) { return {-a.x, -a.y}; }
inline TMyVector2f operator*(const TMyVector2f& a, float s) { return {a.x * s, a.y * s}; }
inline TMyVector2f operator*(float s, const TMyVector2f& a) { return {a.x * s, a.y * s}; }
inline TMyVector3f operator+(const TMyVector3f& a, const TMyVector3f& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline TMyVector3f operator-(const TMyVector3f& a, const TMyVector3f& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline TMyVector3f operator-(const TMyVector3f& a) { return {-a.x, -a.y, -a.z}; }
inline TMyVector3f operator*(const TMyVector3f& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline TMyVector3f operator*(float s, const TMyVector3f& a) { return {a.x * s, a.y * s, a.z * s}; }

// ---- matrices (column-major) ----
// A x B: applies B first, then A, to a column vector.
TMatrix4f MatMultiply(const TMatrix4f& a, const TMatrix4f& b);
// Upper 3x4 of M applied to (p, 1); no division by w.
TMyVector3f MatTransformPoint(const TMatrix4f& m, const TMyVector3f& p);
// M x v, all four rows.
TMyVector4f MatTransformVec4(const TMatrix4f& m, const TMyVector4f& v);
TMatrix4f MatRotationX(float angle);
TMatrix4f MatRotationY(float angle);
TMatrix4f MatRotationZ(float angle);
// Rotation by angle about a unit axis.
TMatrix4f MatRotationAxis(float x, float y, float z, float angle);
TMatrix4f MatRotationAxis(const TMyVector3f& axis, float angle);
TMatrix4f MatTranslation(float x, float y, float z);
TMatrix4f MatScaling(float x, float y, float z);
// In place: inverse of a rotation-plus-translation matrix.
void MatInverseRigid(TMatrix4f& m);
// In place: full 4x4 transpose.
void MatTranspose(TMatrix4f& m);
// The perspective matrix of glFrustum.
TMatrix4f MatFrustum(float left, float right, float bottom, float top, float znear, float zfar);
// The perspective matrix of gluPerspective; fovy in degrees.
TMatrix4f MatPerspective(float fovyDegrees, float aspect, float znear, float zfar);

// ---- planes ----
// In place: divide all four components by the normal's length; a zero normal gives (0, 0, 0, 0).
void PlaneNormalize(TMyVector4f& plane);
// Normal = normalized (p2 - p1) x (p3 - p1); w = -n.p1.
TMyVector4f PlaneFromPoints(const TMyVector3f& p1, const TMyVector3f& p2, const TMyVector3f& p3);
// The common point of three planes; false when two or more are parallel.
bool PlaneIntersect3(const TMyVector4f& plane1, const TMyVector4f& plane2, const TMyVector4f& plane3,
                     TMyVector3f& point);

// ---- quaternions (w, qx, qy, qz) ----
float QuatLength(const TMyVector4f& q);
// In place; a zero quaternion is left unchanged.
void QuatNormalize(TMyVector4f& q);
// Normalized Hamilton product q * r.
TMyVector4f QuatMultiply(const TMyVector4f& q, const TMyVector4f& r);
TMyVector4f QuatFromAxisAngle(const TMyVector3f& axis, float angle);
// Rotation about x by ax, then y by ay, then z by az (QuatMultiply(QuatMultiply(qz, qy), qx)).
TMyVector4f QuatFromAngles(float ax, float ay, float az);
TMatrix4f QuatToMatrix(const TMyVector4f& q);
// Linear blend along the shorter arc; not normalized.
TMyVector4f QuatBlend(const TMyVector4f& q, const TMyVector4f& r, float t);

// ---- ray tests (t in multiples of dir; dir need not be normalized) ----
bool RayPlane(const TMyVector3f& origin, const TMyVector3f& dir, const TMyVector4f& plane, TMyVector3f& point,
              float& t);
// Two-sided Moller-Trumbore test; the sign of t is not checked.
bool RayTriangle(const TMyVector3f& a, const TMyVector3f& b, const TMyVector3f& c, const TMyVector3f& origin,
                 const TMyVector3f& dir, TMyVector3f& point, float& t);
// Slab test against an axis-aligned box; tNear is 0 for an origin inside the box.
bool RayBox(const TMyVector3f& origin, const TMyVector3f& dir, const TMyVector3f& boxMin,
            const TMyVector3f& boxMax, float& tNear, float& tFar);
bool RayOrientedBox(const TMyVector3f& origin, const TMyVector3f& dir, const TOrientedBox& box, float& t);

// ---- loader vectors ----
TDotVector2 DotVector2(float x, float y);
TDotVector3 DotVector3(float x, float y, float z);
TDotVector3 DotAdd(const TDotVector3& a, const TDotVector3& b);
TDotVector3 DotSub(const TDotVector3& a, const TDotVector3& b);
float DotDot(const TDotVector3& a, const TDotVector3& b);
TDotVector3 DotCross(const TDotVector3& a, const TDotVector3& b);
TDotVector3 DotNegate(const TDotVector3& a);
float DotLengthSq(const TDotVector3& a);
// In place; a zero vector stays zero.
void DotNormalize(TDotVector3& a);
// Per-triangle tangent and binormal from positions p1..p3, texture coordinates t1..t3 and the face
// normal n; both outputs normalized.
void TriangleTangents(const TDotVector3& p1, const TDotVector3& p2, const TDotVector3& p3,
                      const TDotVector2& t1, const TDotVector2& t2, const TDotVector2& t3,
                      const TDotVector3& n, TDotVector3& tangent, TDotVector3& binormal);
