#include "world/e_Math.h"

#include <cmath>
#include <numbers>
#include <utility>

// ---- scalars ----

float ArcTan2(float y, float x) { return std::atan2(y, x); }

float Tan(float angle) { return std::tan(angle); }

bool IsZero(float value, float tolerance) {
    if (tolerance == 0.0f)
        tolerance = Epsilon;
    return std::fabs(value) <= tolerance;
}

bool IsNan(float value) { return std::isnan(value); }

// ---- two-component vectors ----

TMyVector2f Vec2Negate(const TMyVector2f& a) { return {-a.x, -a.y}; }
TMyVector2f Vec2Add(const TMyVector2f& a, const TMyVector2f& b) { return {a.x + b.x, a.y + b.y}; }
TMyVector2f Vec2Sub(const TMyVector2f& a, const TMyVector2f& b) { return {a.x - b.x, a.y - b.y}; }
TMyVector2f Vec2Scale(const TMyVector2f& a, float s) { return {s * a.x, s * a.y}; }
float Vec2Dot(const TMyVector2f& a, const TMyVector2f& b) { return a.x * b.x + a.y * b.y; }
float Vec2Length(const TMyVector2f& a) { return std::sqrt(a.x * a.x + a.y * a.y); }

void Vec2Normalize(TMyVector2f& a) {
    const float len = Vec2Length(a);
    if (len == 0.0f) {
        a = ZeroVector2f;
        return;
    }
    a.x /= len;
    a.y /= len;
}

// ---- three-component vectors ----

TMyVector3f Vec3Negate(const TMyVector3f& a) { return {-a.x, -a.y, -a.z}; }
TMyVector3f Vec3Add(const TMyVector3f& a, const TMyVector3f& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
TMyVector3f Vec3Sub(const TMyVector3f& a, const TMyVector3f& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
TMyVector3f Vec3Scale(const TMyVector3f& a, float s) { return {s * a.x, s * a.y, s * a.z}; }
float Vec3Dot(const TMyVector3f& a, const TMyVector3f& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

TMyVector3f Vec3Cross(const TMyVector3f& a, const TMyVector3f& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Vec3Length(const TMyVector3f& a) { return std::sqrt(Vec3Dot(a, a)); }

void Vec3Normalize(TMyVector3f& a) {
    const float sq = Vec3Dot(a, a);
    if (sq == 0.0f) {
        a = ZeroVector3f;
        return;
    }
    const float len = std::sqrt(sq);
    a.x /= len;
    a.y /= len;
    a.z /= len;
}

TMyVector3f Vec3Lerp(const TMyVector3f& a, const TMyVector3f& b, float t) {
    const float s = 1.0f - t;
    return {s * a.x + t * b.x, s * a.y + t * b.y, s * a.z + t * b.z};
}

// ---- matrices ----

TMatrix4f MatMultiply(const TMatrix4f& a, const TMatrix4f& b) {
    TMatrix4f r;
    for (int c = 0; c < 4; ++c) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[k * 4 + row] * b.m[c * 4 + k];
            r.m[c * 4 + row] = sum;
        }
    }
    return r;
}

TMyVector3f MatTransformPoint(const TMatrix4f& m, const TMyVector3f& p) {
    const float* e = m.m;
    return {e[0] * p.x + e[4] * p.y + e[8] * p.z + e[12], e[1] * p.x + e[5] * p.y + e[9] * p.z + e[13],
            e[2] * p.x + e[6] * p.y + e[10] * p.z + e[14]};
}

TMyVector4f MatTransformVec4(const TMatrix4f& m, const TMyVector4f& v) {
    const float* e = m.m;
    return {e[0] * v.x + e[4] * v.y + e[8] * v.z + e[12] * v.w,
            e[1] * v.x + e[5] * v.y + e[9] * v.z + e[13] * v.w,
            e[2] * v.x + e[6] * v.y + e[10] * v.z + e[14] * v.w,
            e[3] * v.x + e[7] * v.y + e[11] * v.z + e[15] * v.w};
}

TMatrix4f MatRotationX(float angle) {
    TMatrix4f r = IdentityMatrix;
    const float c = std::cos(angle), s = std::sin(angle);
    r.m[5] = c;
    r.m[6] = s;
    r.m[9] = -s;
    r.m[10] = c;
    return r;
}

TMatrix4f MatRotationY(float angle) {
    TMatrix4f r = IdentityMatrix;
    const float c = std::cos(angle), s = std::sin(angle);
    r.m[0] = c;
    r.m[2] = -s;
    r.m[8] = s;
    r.m[10] = c;
    return r;
}

TMatrix4f MatRotationZ(float angle) {
    TMatrix4f r = IdentityMatrix;
    const float c = std::cos(angle), s = std::sin(angle);
    r.m[0] = c;
    r.m[1] = s;
    r.m[4] = -s;
    r.m[5] = c;
    return r;
}

TMatrix4f MatRotationAxis(float x, float y, float z, float angle) {
    TMatrix4f r = IdentityMatrix;
    const float c = std::cos(angle), s = std::sin(angle), k = 1.0f - c;
    r.m[0] = c + k * x * x;
    r.m[1] = k * x * y + s * z;
    r.m[2] = k * x * z - s * y;
    r.m[4] = k * x * y - s * z;
    r.m[5] = c + k * y * y;
    r.m[6] = k * y * z + s * x;
    r.m[8] = k * x * z + s * y;
    r.m[9] = k * y * z - s * x;
    r.m[10] = c + k * z * z;
    return r;
}

TMatrix4f MatRotationAxis(const TMyVector3f& axis, float angle) {
    return MatRotationAxis(axis.x, axis.y, axis.z, angle);
}

TMatrix4f MatTranslation(float x, float y, float z) {
    TMatrix4f r = IdentityMatrix;
    r.m[12] = x;
    r.m[13] = y;
    r.m[14] = z;
    return r;
}

TMatrix4f MatScaling(float x, float y, float z) {
    TMatrix4f r = IdentityMatrix;
    r.m[0] = x;
    r.m[5] = y;
    r.m[10] = z;
    return r;
}

void MatInverseRigid(TMatrix4f& m) {
    const TMatrix4f o = m;
    float* e = m.m;
    e[1] = o.m[4];
    e[2] = o.m[8];
    e[4] = o.m[1];
    e[6] = o.m[9];
    e[8] = o.m[2];
    e[9] = o.m[6];
    e[3] = e[7] = e[11] = 0.0f;
    e[12] = -(o.m[0] * o.m[12] + o.m[1] * o.m[13] + o.m[2] * o.m[14]);
    e[13] = -(o.m[4] * o.m[12] + o.m[5] * o.m[13] + o.m[6] * o.m[14]);
    e[14] = -(o.m[8] * o.m[12] + o.m[9] * o.m[13] + o.m[10] * o.m[14]);
    e[15] = 1.0f;
}

void MatTranspose(TMatrix4f& m) {
    for (int c = 0; c < 4; ++c)
        for (int r = c + 1; r < 4; ++r)
            std::swap(m.m[c * 4 + r], m.m[r * 4 + c]);
}

TMatrix4f MatFrustum(float left, float right, float bottom, float top, float znear, float zfar) {
    TMatrix4f r;
    r.m[0] = 2.0f * znear / (right - left);
    r.m[5] = 2.0f * znear / (top - bottom);
    r.m[8] = (right + left) / (right - left);
    r.m[9] = (top + bottom) / (top - bottom);
    r.m[10] = -(zfar + znear) / (zfar - znear);
    r.m[11] = -1.0f;
    r.m[14] = -2.0f * zfar * znear / (zfar - znear);
    return r;
}

TMatrix4f MatPerspective(float fovyDegrees, float aspect, float znear, float zfar) {
    const float top = std::tan(fovyDegrees * std::numbers::pi_v<float> / 360.0f) * znear;
    const float right = top * aspect;
    return MatFrustum(-right, right, -top, top, znear, zfar);
}

// ---- planes ----

void PlaneNormalize(TMyVector4f& plane) {
    const float len = std::sqrt(plane.x * plane.x + plane.y * plane.y + plane.z * plane.z);
    if (len == 0.0f) {
        plane = TMyVector4f{};
        return;
    }
    plane.x /= len;
    plane.y /= len;
    plane.z /= len;
    plane.w /= len;
}

TMyVector4f PlaneFromPoints(const TMyVector3f& p1, const TMyVector3f& p2, const TMyVector3f& p3) {
    TMyVector3f n = Vec3Cross(Vec3Sub(p2, p1), Vec3Sub(p3, p1));
    Vec3Normalize(n);
    return {n.x, n.y, n.z, -Vec3Dot(n, p1)};
}

bool PlaneIntersect3(const TMyVector4f& plane1, const TMyVector4f& plane2, const TMyVector4f& plane3,
                     TMyVector3f& point) {
    const TMyVector3f a{plane1.x, plane1.y, plane1.z};
    const TMyVector3f b{plane2.x, plane2.y, plane2.z};
    const TMyVector3f c{plane3.x, plane3.y, plane3.z};
    const TMyVector3f bc = Vec3Cross(b, c);
    const float det = Vec3Dot(a, bc);
    if (std::isnan(det) || std::fabs(det) <= Epsilon)
        return false;
    const TMyVector3f ca = Vec3Cross(c, a);
    const TMyVector3f ab = Vec3Cross(a, b);
    const TMyVector3f sum =
        Vec3Add(Vec3Add(Vec3Scale(bc, plane1.w), Vec3Scale(ca, plane2.w)), Vec3Scale(ab, plane3.w));
    point = Vec3Scale(sum, -1.0f / det);
    return true;
}

// ---- quaternions ----

float QuatLength(const TMyVector4f& q) { return std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w); }

void QuatNormalize(TMyVector4f& q) {
    const float len = QuatLength(q);
    if (len == 0.0f)
        return;
    q.x /= len;
    q.y /= len;
    q.z /= len;
    q.w /= len;
}

TMyVector4f QuatMultiply(const TMyVector4f& q, const TMyVector4f& r) {
    // Stored scalar first: x is the scalar part, (y, z, w) the vector part.
    const float qw = q.x, rw = r.x;
    const TMyVector3f qv{q.y, q.z, q.w};
    const TMyVector3f rv{r.y, r.z, r.w};
    const TMyVector3f cross = Vec3Cross(qv, rv);
    TMyVector4f out{qw * rw - Vec3Dot(qv, rv), rw * qv.x + qw * rv.x + cross.x,
                    rw * qv.y + qw * rv.y + cross.y, rw * qv.z + qw * rv.z + cross.z};
    QuatNormalize(out);
    return out;
}

TMyVector4f QuatFromAxisAngle(const TMyVector3f& axis, float angle) {
    const float s = std::sin(angle * 0.5f);
    TMyVector4f q{std::cos(angle * 0.5f), s * axis.x, s * axis.y, s * axis.z};
    QuatNormalize(q);
    return q;
}

TMyVector4f QuatFromAngles(float ax, float ay, float az) {
    const TMyVector4f qx{std::cos(ax * 0.5f), std::sin(ax * 0.5f), 0.0f, 0.0f};
    const TMyVector4f qy{std::cos(ay * 0.5f), 0.0f, std::sin(ay * 0.5f), 0.0f};
    const TMyVector4f qz{std::cos(az * 0.5f), 0.0f, 0.0f, std::sin(az * 0.5f)};
    return QuatMultiply(QuatMultiply(qz, qy), qx);
}

TMatrix4f QuatToMatrix(const TMyVector4f& q) {
    const float w = q.x, x = q.y, y = q.z, z = q.w;
    TMatrix4f r;
    r.m[0] = 1.0f - 2.0f * (y * y + z * z);
    r.m[1] = 2.0f * (x * y + w * z);
    r.m[2] = 2.0f * (x * z - w * y);
    r.m[4] = 2.0f * (x * y - w * z);
    r.m[5] = 1.0f - 2.0f * (x * x + z * z);
    r.m[6] = 2.0f * (y * z + w * x);
    r.m[8] = 2.0f * (x * z + w * y);
    r.m[9] = 2.0f * (y * z - w * x);
    r.m[10] = 1.0f - 2.0f * (x * x + y * y);
    r.m[15] = 1.0f;
    return r;
}

TMyVector4f QuatBlend(const TMyVector4f& q, const TMyVector4f& r, float t) {
    const float dot = q.x * r.x + q.y * r.y + q.z * r.z + q.w * r.w;
    if (dot >= 0.0f)
        return {q.x + t * (r.x - q.x), q.y + t * (r.y - q.y), q.z + t * (r.z - q.z), q.w + t * (r.w - q.w)};
    return {q.x - t * (r.x + q.x), q.y - t * (r.y + q.y), q.z - t * (r.z + q.z), q.w - t * (r.w + q.w)};
}

// ---- ray tests ----

bool RayPlane(const TMyVector3f& origin, const TMyVector3f& dir, const TMyVector4f& plane, TMyVector3f& point,
              float& t) {
    const TMyVector3f n{plane.x, plane.y, plane.z};
    const float d = Vec3Dot(dir, n);
    const float dist = Vec3Dot(n, origin) + plane.w;
    if (std::fabs(d) < Epsilon) {
        // Parallel: a hit only when the ray lies in the plane (the point is left as it was).
        if (std::fabs(dist) < Epsilon) {
            t = 0.0f;
            return true;
        }
        return false;
    }
    t = -dist / d;
    point = Vec3Add(origin, Vec3Scale(dir, t));
    return true;
}

bool RayTriangle(const TMyVector3f& a, const TMyVector3f& b, const TMyVector3f& c, const TMyVector3f& origin,
                 const TMyVector3f& dir, TMyVector3f& point, float& t) {
    const TMyVector3f e1 = Vec3Sub(b, a);
    const TMyVector3f e2 = Vec3Sub(c, a);
    const TMyVector3f p = Vec3Cross(dir, e2);
    const float det = Vec3Dot(p, e1);
    if (det > -Epsilon && det < Epsilon)
        return false;
    const TMyVector3f s = Vec3Sub(origin, a);
    const float u = Vec3Dot(s, p) / det;
    if (!(u >= 0.0f && u <= 1.0f))
        return false;
    const TMyVector3f q = Vec3Cross(s, e1);
    const float v = Vec3Dot(dir, q) / det;
    if (!(v >= 0.0f && v <= 1.0f && u + v <= 1.0f))
        return false;
    t = Vec3Dot(e2, q) / det;
    point = Vec3Add(origin, Vec3Scale(dir, t));
    return true;
}

bool RayBox(const TMyVector3f& origin, const TMyVector3f& dir, const TMyVector3f& boxMin,
            const TMyVector3f& boxMax, float& tNear, float& tFar) {
    const float o[3] = {origin.x, origin.y, origin.z};
    const float d[3] = {dir.x, dir.y, dir.z};
    const float lo[3] = {boxMin.x, boxMin.y, boxMin.z};
    const float hi[3] = {boxMax.x, boxMax.y, boxMax.z};
    float tn = MinusInfinity, tf = PlusInfinity;
    for (int k = 0; k < 3; ++k) {
        if (std::fabs(d[k]) < Epsilon) {
            if (o[k] < lo[k] || o[k] > hi[k])
                return false;
            continue;
        }
        float t1 = (lo[k] - o[k]) / d[k];
        float t2 = (hi[k] - o[k]) / d[k];
        if (t1 > t2)
            std::swap(t1, t2);
        if (t1 > tn)
            tn = t1;
        if (t2 < tf)
            tf = t2;
        if (tn > tf)
            return false;
    }
    if (tf < 0.0f)
        return false;
    if (tn < 0.0f)
        tn = 0.0f;
    tNear = tn;
    tFar = tf;
    return true;
}

bool RayOrientedBox(const TMyVector3f& origin, const TMyVector3f& dir, const TOrientedBox& box, float& t) {
    float tMin = MinusInfinity, tMax = PlusInfinity;
    const TMyVector3f delta = Vec3Sub(box.Center, origin);
    for (int i = 0; i < 3; ++i) {
        const float h = box.HalfSize[i];
        const float e = Vec3Dot(box.Axis[i], delta);
        const float f = Vec3Dot(box.Axis[i], dir);
        if (std::fabs(f) < Epsilon) {
            if (e < -h || e > h)
                return false;
            continue;
        }
        float t1 = (e + h) / f;
        float t2 = (e - h) / f;
        if (t1 > t2)
            std::swap(t1, t2);
        if (t1 > tMin)
            tMin = t1;
        if (t2 < tMax)
            tMax = t2;
        if (tMin > tMax || tMax < 0.0f)
            return false;
    }
    t = tMin > 0.0f ? tMin : tMax;
    return true;
}

// ---- loader vectors ----

TDotVector2 DotVector2(float x, float y) { return {x, y}; }
TDotVector3 DotVector3(float x, float y, float z) { return {x, y, z}; }
TDotVector3 DotAdd(const TDotVector3& a, const TDotVector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
TDotVector3 DotSub(const TDotVector3& a, const TDotVector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float DotDot(const TDotVector3& a, const TDotVector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

TDotVector3 DotCross(const TDotVector3& a, const TDotVector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

TDotVector3 DotNegate(const TDotVector3& a) { return {-a.x, -a.y, -a.z}; }
float DotLengthSq(const TDotVector3& a) { return DotDot(a, a); }

void DotNormalize(TDotVector3& a) {
    const float sq = DotLengthSq(a);
    if (sq == 0.0f)
        return;
    const float len = std::sqrt(sq);
    a.x /= len;
    a.y /= len;
    a.z /= len;
}

void TriangleTangents(const TDotVector3& p1, const TDotVector3& p2, const TDotVector3& p3,
                      const TDotVector2& t1, const TDotVector2& t2, const TDotVector2& t3,
                      const TDotVector3& n, TDotVector3& tangent, TDotVector3& binormal) {
    const float a1[3] = {p1.x, p1.y, p1.z};
    const float a2[3] = {p2.x, p2.y, p2.z};
    const float a3[3] = {p3.x, p3.y, p3.z};
    float tan[3], bin[3];
    // One component at a time: the plane through (position, u, v) gives d(pos)/du and d(pos)/dv.
    for (int c = 0; c < 3; ++c) {
        const TDotVector3 e1{a2[c] - a1[c], t2.x - t1.x, t2.y - t1.y};
        const TDotVector3 e2{a3[c] - a1[c], t3.x - t1.x, t3.y - t1.y};
        const TDotVector3 k = DotCross(e1, e2);
        if (std::fabs(k.x) <= Epsilon) {
            tan[c] = 0.0f;
            bin[c] = 0.0f;
        } else {
            tan[c] = -k.y / k.x;
            bin[c] = -k.z / k.x;
        }
    }
    tangent = {tan[0], tan[1], tan[2]};
    binormal = {bin[0], bin[1], bin[2]};
    if (DotDot(DotCross(tangent, binormal), n) < 0.0f)
        tangent = DotNegate(tangent);
    DotNormalize(tangent);
    DotNormalize(binormal);
}
