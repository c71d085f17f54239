// The mesh-building library of the model generators; see mesh_builder.h.

#include "mesh_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <stdexcept>
#include <tuple>

namespace gen {

namespace {

constexpr float Pi = std::numbers::pi_v<float>;

TMyVector3f Normalized(TMyVector3f v) {
    Vec3Normalize(v);
    return v;
}

// Normals go through the inverse transpose of the 3x3 part: its cofactor matrix is that
// up to a positive factor for any matrix that keeps handedness, and we normalise anyway.
TMyVector3f TransformNormal(const TMatrix4f& m, const TMyVector3f& n) {
    const TMyVector3f c0{m[0], m[1], m[2]}, c1{m[4], m[5], m[6]}, c2{m[8], m[9], m[10]};
    const TMyVector3f r0 = Vec3Cross(c1, c2), r1 = Vec3Cross(c2, c0), r2 = Vec3Cross(c0, c1);
    const float det = Vec3Dot(c0, r0);
    TMyVector3f out = r0 * n.x + r1 * n.y + r2 * n.z;
    if (det < 0)
        out = -out;
    return Normalized(out);
}

float Determinant3(const TMatrix4f& m) {
    const TMyVector3f c0{m[0], m[1], m[2]}, c1{m[4], m[5], m[6]}, c2{m[8], m[9], m[10]};
    return Vec3Dot(c0, Vec3Cross(c1, c2));
}

TMyVector3f MinV(const TMyVector3f& a, const TMyVector3f& b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)};
}
TMyVector3f MaxV(const TMyVector3f& a, const TMyVector3f& b) {
    return {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)};
}

constexpr float BoxStart = 3.4e38f;

}  // namespace

// ---------------------------------------------------------------------------------------------
// TMeshPart

int32_t TMeshPart::AddVertex(const TMyVector3f& pos, const TMyVector3f& normal, float u, float v) {
    TMeshVertex vert;
    vert.Pos = pos;
    vert.Normal = normal;
    vert.U = u;
    vert.V = v;
    vert.Weights[0] = 1.0f;
    Verts.push_back(vert);
    return static_cast<int32_t>(Verts.size() - 1);
}

void TMeshPart::AddQuad(int32_t a, int32_t b, int32_t c, int32_t d) {
    AddTriangle(a, b, c);
    AddTriangle(a, c, d);
}

void TMeshPart::Add(const TMeshPart& other, const TMatrix4f& m, int32_t bone) {
    const int32_t base = static_cast<int32_t>(Verts.size());
    const bool mirrored = Determinant3(m) < 0;
    for (TMeshVertex v : other.Verts) {
        v.Pos = MatTransformPoint(m, v.Pos);
        v.Normal = TransformNormal(m, v.Normal);
        v.Bones = {bone, 0, 0, 0};
        v.Weights = {1.0f, 0.0f, 0.0f, 0.0f};
        Verts.push_back(v);
    }
    for (const TTriangleIndex& t : other.Tris) {
        if (mirrored)
            Tris.push_back({t.A + base, t.C + base, t.B + base});
        else
            Tris.push_back({t.A + base, t.B + base, t.C + base});
    }
}

void TMeshPart::Skin(size_t first, const std::function<void(const TMyVector3f&, TMeshVertex&)>& skin) {
    for (size_t i = first; i < Verts.size(); ++i) {
        TMeshVertex& v = Verts[i];
        skin(v.Pos, v);
        float total = 0.0f;
        for (float w : v.Weights)
            total += std::max(w, 0.0f);
        for (float& w : v.Weights)
            w = total > 0.0f ? std::max(w, 0.0f) / total : 0.0f;
        if (total <= 0.0f)
            v.Weights[0] = 1.0f;
    }
}

void TMeshPart::ComputeNormals(float creaseDegrees) {
    std::vector<TMyVector3f> faceNormals(Tris.size());
    for (size_t f = 0; f < Tris.size(); ++f) {
        const TTriangleIndex& t = Tris[f];
        faceNormals[f] =
            Normalized(Vec3Cross(Verts[t.B].Pos - Verts[t.A].Pos, Verts[t.C].Pos - Verts[t.A].Pos));
    }
    // Corners grouped by position, so that seams of a grid still smooth across.
    std::map<std::tuple<int64_t, int64_t, int64_t>, std::vector<std::pair<size_t, int>>> byPos;
    auto key = [](const TMyVector3f& p) {
        return std::make_tuple(std::llround(p.x * 1e4), std::llround(p.y * 1e4), std::llround(p.z * 1e4));
    };
    for (size_t f = 0; f < Tris.size(); ++f) {
        const int32_t corners[3] = {Tris[f].A, Tris[f].B, Tris[f].C};
        for (int c = 0; c < 3; ++c)
            byPos[key(Verts[corners[c]].Pos)].push_back({f, corners[c]});
    }
    const float cosCrease = std::cos(creaseDegrees * Pi / 180.0f);
    std::vector<TMyVector3f> sum(Verts.size(), TMyVector3f{});
    std::vector<bool> touched(Verts.size(), false);
    for (const auto& [k, corners] : byPos) {
        for (const auto& [f, v] : corners) {
            if (touched[v])
                continue;
            TMyVector3f n{};
            for (const auto& [g, w] : corners) {
                (void)w;
                if (creaseDegrees > 0.0f ? Vec3Dot(faceNormals[f], faceNormals[g]) >= cosCrease : f == g)
                    n = n + faceNormals[g];
            }
            // A vertex shared by several faces takes the first face's smoothing set; vertices
            // on a hard edge are separate vertices already.
            sum[v] = n;
            touched[v] = true;
        }
    }
    for (size_t i = 0; i < Verts.size(); ++i) {
        if (touched[i] && Vec3Length(sum[i]) > 0.0f)
            Verts[i].Normal = Normalized(sum[i]);
    }
}

void TMeshPart::Flip() {
    for (auto& t : Tris)
        std::swap(t.B, t.C);
    for (auto& v : Verts)
        v.Normal = -v.Normal;
}

void TMeshPart::Unweld() {
    std::vector<TMeshVertex> verts;
    verts.reserve(Tris.size() * 3);
    for (auto& t : Tris) {
        const int32_t base = static_cast<int32_t>(verts.size());
        verts.push_back(Verts[t.A]);
        verts.push_back(Verts[t.B]);
        verts.push_back(Verts[t.C]);
        t = {base, base + 1, base + 2};
    }
    Verts = std::move(verts);
}

TMyVector3f TMeshPart::BoxMin() const {
    TMyVector3f m{BoxStart, BoxStart, BoxStart};
    for (const auto& v : Verts)
        m = MinV(m, v.Pos);
    return m;
}

TMyVector3f TMeshPart::BoxMax() const {
    TMyVector3f m{-BoxStart, -BoxStart, -BoxStart};
    for (const auto& v : Verts)
        m = MaxV(m, v.Pos);
    return m;
}

// ---------------------------------------------------------------------------------------------
// Primitives

TMeshPart MakeBox(float sx, float sy, float sz, const TUVRect& uv) {
    TMeshPart p;
    const float hx = sx / 2, hy = sy / 2, hz = sz / 2;
    struct Face {
        TMyVector3f n, u, v;  // normal, right and up directions of the face
        float du, dv, dn;     // half sizes along u, v and the distance along n
    };
    const Face faces[6] = {
        {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}, hz, hy, hx}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}, hz, hy, hx},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, hx, hy, hz},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}, hx, hy, hz},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}, hx, hz, hy}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}, hx, hz, hy},
    };
    for (const Face& f : faces) {
        const TMyVector3f c = f.n * f.dn;
        int32_t idx[4];
        const float su[4] = {-1, 1, 1, -1}, sv[4] = {-1, -1, 1, 1};
        for (int k = 0; k < 4; ++k)
            idx[k] = p.AddVertex(c + f.u * (su[k] * f.du) + f.v * (sv[k] * f.dv), f.n, uv.U((su[k] + 1) / 2),
                                 uv.V((sv[k] + 1) / 2));
        p.AddQuad(idx[0], idx[1], idx[2], idx[3]);
    }
    return p;
}

TMeshPart MakeLathe(const std::vector<TMyVector2f>& profile, int32_t segments, const TUVRect& uv,
                    bool capBottom, bool capTop) {
    TMeshPart p;
    const int32_t n = static_cast<int32_t>(profile.size());
    if (n < 2 || segments < 3)
        return p;
    // v along the profile by arc length
    std::vector<float> along(static_cast<size_t>(n), 0.0f);
    for (int32_t i = 1; i < n; ++i)
        along[i] = along[i - 1] + Vec2Length(profile[i] - profile[i - 1]);
    const float total = along.back() > 0 ? along.back() : 1.0f;
    // Profile normals: perpendicular to the profile, averaged over the two neighbouring edges.
    std::vector<TMyVector2f> pn(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        TMyVector2f d = profile[std::min(i + 1, n - 1)] - profile[std::max(i - 1, 0)];
        TMyVector2f nn{d.y, -d.x};  // (dr, dy) turned outwards
        Vec2Normalize(nn);
        pn[i] = nn;
    }
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t s = 0; s <= segments; ++s) {
            const float a = 2 * Pi * static_cast<float>(s) / static_cast<float>(segments);
            const float c = std::cos(a), sn = std::sin(a);
            // u runs round clockwise seen from above, so the outside faces out with CCW quads
            const TMyVector3f pos{profile[i].x * c, profile[i].y, -profile[i].x * sn};
            const TMyVector3f nrm{pn[i].x * c, pn[i].y, -pn[i].x * sn};
            p.AddVertex(pos, nrm, uv.U(static_cast<float>(s) / static_cast<float>(segments)),
                        uv.V(along[i] / total));
        }
    }
    const int32_t row = segments + 1;
    for (int32_t i = 0; i + 1 < n; ++i) {
        for (int32_t s = 0; s < segments; ++s) {
            const int32_t a = i * row + s, b = a + 1, c = a + row + 1, d = a + row;
            if (profile[i].x <= 0.0f)  // a point at the bottom: one triangle
                p.AddTriangle(a, c, d);
            else if (profile[i + 1].x <= 0.0f)
                p.AddTriangle(a, b, c);
            else
                p.AddQuad(a, b, c, d);
        }
    }
    auto cap = [&](int32_t i, bool top) {
        if (profile[i].x <= 0.0f)
            return;
        const TMyVector3f nrm{0, top ? 1.0f : -1.0f, 0};
        const int32_t centre = p.AddVertex({0, profile[i].y, 0}, nrm, uv.U(0.5f), uv.V(top ? 1.0f : 0.0f));
        int32_t first = -1;
        for (int32_t s = 0; s <= segments; ++s) {
            const float a = 2 * Pi * static_cast<float>(s) / static_cast<float>(segments);
            const float c = std::cos(a), sn = std::sin(a);
            const int32_t v = p.AddVertex({profile[i].x * c, profile[i].y, -profile[i].x * sn}, nrm,
                                          uv.U(0.5f + 0.5f * c), uv.V(0.5f + 0.5f * sn));
            if (first < 0)
                first = v;
        }
        for (int32_t s = 0; s < segments; ++s) {
            if (top)
                p.AddTriangle(centre, first + s, first + s + 1);
            else
                p.AddTriangle(centre, first + s + 1, first + s);
        }
    };
    if (capBottom)
        cap(0, false);
    if (capTop)
        cap(n - 1, true);
    return p;
}

TMeshPart MakeCylinder(float r0, float r1, float height, int32_t segments, const TUVRect& uv, bool caps) {
    return MakeLathe({{r0, 0.0f}, {r1, height}}, segments, uv, caps, caps);
}

TMeshPart MakeEllipsoid(float rx, float ry, float rz, int32_t segments, int32_t rings, const TUVRect& uv) {
    std::vector<TMyVector2f> profile;
    for (int32_t i = 0; i <= rings; ++i) {
        const float a = -Pi / 2 + Pi * static_cast<float>(i) / static_cast<float>(rings);
        profile.push_back({std::cos(a), std::sin(a)});
    }
    profile.front().x = 0.0f;
    profile.back().x = 0.0f;
    TMeshPart unit = MakeLathe(profile, segments, uv);
    TMeshPart p;
    p.Add(unit, MatScaling(rx, ry, rz));
    return p;
}

TMeshPart MakeCard(float x0, float y0, float x1, float y1, const TUVRect& uv) {
    TMeshPart p;
    const TMyVector3f n{0, 0, 1};
    const int32_t a = p.AddVertex({x0, y0, 0}, n, uv.U(0), uv.V(0));
    const int32_t b = p.AddVertex({x1, y0, 0}, n, uv.U(1), uv.V(0));
    const int32_t c = p.AddVertex({x1, y1, 0}, n, uv.U(1), uv.V(1));
    const int32_t d = p.AddVertex({x0, y1, 0}, n, uv.U(0), uv.V(1));
    p.AddQuad(a, b, c, d);
    return p;
}

namespace {

float SignedArea(const std::vector<TMyVector2f>& poly) {
    float a = 0.0f;
    for (size_t i = 0; i < poly.size(); ++i) {
        const TMyVector2f& p = poly[i];
        const TMyVector2f& q = poly[(i + 1) % poly.size()];
        a += p.x * q.y - q.x * p.y;
    }
    return a / 2;
}

float Cross2(const TMyVector2f& o, const TMyVector2f& a, const TMyVector2f& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

}  // namespace

std::vector<TTriangleIndex> TriangulatePolygon(const std::vector<TMyVector2f>& outline) {
    std::vector<TTriangleIndex> tris;
    std::vector<int32_t> idx(outline.size());
    for (size_t i = 0; i < idx.size(); ++i)
        idx[i] = static_cast<int32_t>(i);
    if (SignedArea(outline) < 0)
        std::reverse(idx.begin(), idx.end());
    size_t guard = 0;
    while (idx.size() > 3 && guard++ < outline.size() * outline.size()) {
        bool clipped = false;
        for (size_t i = 0; i < idx.size(); ++i) {
            const int32_t ia = idx[(i + idx.size() - 1) % idx.size()], ib = idx[i],
                          ic = idx[(i + 1) % idx.size()];
            const TMyVector2f &a = outline[ia], &b = outline[ib], &c = outline[ic];
            if (Cross2(a, b, c) <= 1e-9f)
                continue;  // reflex corner
            bool inside = false;
            for (int32_t j : idx) {
                if (j == ia || j == ib || j == ic)
                    continue;
                const TMyVector2f& p = outline[j];
                if (Cross2(a, b, p) >= 0 && Cross2(b, c, p) >= 0 && Cross2(c, a, p) >= 0) {
                    inside = true;
                    break;
                }
            }
            if (inside)
                continue;
            tris.push_back({ia, ib, ic});
            idx.erase(idx.begin() + static_cast<std::ptrdiff_t>(i));
            clipped = true;
            break;
        }
        if (!clipped)
            throw std::invalid_argument("TriangulatePolygon: the outline is not a simple polygon");
    }
    if (idx.size() == 3)
        tris.push_back({idx[0], idx[1], idx[2]});
    return tris;
}

TMeshPart MakeExtrusion(const std::vector<TMyVector2f>& outline, float depth, const TUVRect& uv,
                        const TUVRect& sideUv) {
    TMeshPart p;
    const size_t n = outline.size();
    if (n < 3)
        return p;
    TMyVector2f lo{BoxStart, BoxStart}, hi{-BoxStart, -BoxStart};
    for (const auto& q : outline) {
        lo = {std::min(lo.x, q.x), std::min(lo.y, q.y)};
        hi = {std::max(hi.x, q.x), std::max(hi.y, q.y)};
    }
    const float w = std::max(hi.x - lo.x, 1e-6f), h = std::max(hi.y - lo.y, 1e-6f);
    const std::vector<TTriangleIndex> tris = TriangulatePolygon(outline);
    const float hz = depth / 2;
    for (int side = 0; side < 2; ++side) {
        const float z = side == 0 ? hz : -hz;
        const TMyVector3f nrm{0, 0, side == 0 ? 1.0f : -1.0f};
        const int32_t base = static_cast<int32_t>(p.Verts.size());
        for (const auto& q : outline)
            p.AddVertex({q.x, q.y, z}, nrm, uv.U((q.x - lo.x) / w), uv.V((q.y - lo.y) / h));
        for (const auto& t : tris) {
            if (side == 0)
                p.AddTriangle(base + t.A, base + t.B, base + t.C);
            else
                p.AddTriangle(base + t.A, base + t.C, base + t.B);
        }
    }
    // Side walls, outward whatever the outline's winding.
    const bool ccw = SignedArea(outline) >= 0;
    float run = 0.0f, perimeter = 0.0f;
    for (size_t i = 0; i < n; ++i)
        perimeter += Vec2Length(outline[(i + 1) % n] - outline[i]);
    for (size_t i = 0; i < n; ++i) {
        const TMyVector2f a = outline[i], b = outline[(i + 1) % n];
        const TMyVector2f d = b - a;
        const float len = Vec2Length(d);
        if (len <= 0.0f)
            continue;
        TMyVector3f nrm = ccw ? TMyVector3f{d.y / len, -d.x / len, 0} : TMyVector3f{-d.y / len, d.x / len, 0};
        const float s0 = run / perimeter, s1 = (run + len) / perimeter;
        run += len;
        const int32_t i0 = p.AddVertex({a.x, a.y, hz}, nrm, sideUv.U(s0), sideUv.V(1));
        const int32_t i1 = p.AddVertex({b.x, b.y, hz}, nrm, sideUv.U(s1), sideUv.V(1));
        const int32_t i2 = p.AddVertex({b.x, b.y, -hz}, nrm, sideUv.U(s1), sideUv.V(0));
        const int32_t i3 = p.AddVertex({a.x, a.y, -hz}, nrm, sideUv.U(s0), sideUv.V(0));
        if (ccw)
            p.AddQuad(i0, i3, i2, i1);
        else
            p.AddQuad(i0, i1, i2, i3);
    }
    return p;
}

TMatrix4f Place(const TMyVector3f& at, const TMyVector3f& angles, const TMyVector3f& scale) {
    TMatrix4f m = MatTranslation(at.x, at.y, at.z);
    m = MatMultiply(m, MatRotationZ(angles.z));
    m = MatMultiply(m, MatRotationY(angles.y));
    m = MatMultiply(m, MatRotationX(angles.x));
    return MatMultiply(m, MatScaling(scale.x, scale.y, scale.z));
}

TMatrix4f AlongSegment(const TMyVector3f& a, const TMyVector3f& b) {
    TMyVector3f y = b - a;
    if (Vec3Length(y) <= 0.0f)
        return MatTranslation(a.x, a.y, a.z);
    Vec3Normalize(y);
    // any x perpendicular to y, preferring the world x so that textures keep their front
    TMyVector3f ref = std::fabs(y.z) < 0.9f ? TMyVector3f{0, 0, 1} : TMyVector3f{1, 0, 0};
    TMyVector3f x = Normalized(Vec3Cross(y, ref));
    TMyVector3f z = Vec3Cross(x, y);
    TMatrix4f m = IdentityMatrix;
    m[0] = x.x, m[1] = x.y, m[2] = x.z;
    m[4] = y.x, m[5] = y.y, m[6] = y.z;
    m[8] = z.x, m[9] = z.y, m[10] = z.z;
    m[12] = a.x, m[13] = a.y, m[14] = a.z;
    return m;
}

// ---------------------------------------------------------------------------------------------
// Models

TStoredRenderMesh ToRenderMesh(const std::string& name, const TMaterialSpec& material, const TMeshPart& part,
                               bool skinned) {
    // Tangent and binormal per vertex from the texture directions of its faces.
    std::vector<TDotVector3> tan(part.Verts.size()), bin(part.Verts.size());
    for (const auto& t : part.Tris) {
        const TMeshVertex &a = part.Verts[t.A], &b = part.Verts[t.B], &c = part.Verts[t.C];
        const TMyVector3f fn = Normalized(Vec3Cross(b.Pos - a.Pos, c.Pos - a.Pos));
        TDotVector3 ft, fb;
        TriangleTangents(DotVector3(a.Pos.x, a.Pos.y, a.Pos.z), DotVector3(b.Pos.x, b.Pos.y, b.Pos.z),
                         DotVector3(c.Pos.x, c.Pos.y, c.Pos.z), DotVector2(a.U, a.V), DotVector2(b.U, b.V),
                         DotVector2(c.U, c.V), DotVector3(fn.x, fn.y, fn.z), ft, fb);
        for (int32_t i : {t.A, t.B, t.C}) {
            tan[i] = DotAdd(tan[i], ft);
            bin[i] = DotAdd(bin[i], fb);
        }
    }
    TStoredRenderMesh m;
    m.Name = name;
    m.Material.DiffuseMap = material.Texture;
    m.Material.Emissive = material.Emissive;
    m.Material.Blended = material.Blended;
    m.Material.AlphaTest = material.AlphaTest;
    m.Material.AlphaRef = material.AlphaRef;
    m.BoxMin = part.BoxMin();
    m.BoxMax = part.BoxMax();
    m.VertCount = static_cast<int32_t>(part.Verts.size());
    for (size_t i = 0; i < part.Verts.size(); ++i) {
        const TMeshVertex& v = part.Verts[i];
        const TMyVector3f n = Normalized(v.Normal);
        // Gram-Schmidt against the normal; a degenerate tangent falls back to any perpendicular.
        TMyVector3f t{tan[i].x, tan[i].y, tan[i].z};
        t = t - n * Vec3Dot(n, t);
        if (Vec3Length(t) < 1e-6f)
            t = Vec3Cross(std::fabs(n.y) < 0.9f ? TMyVector3f{0, 1, 0} : TMyVector3f{1, 0, 0}, n);
        t = Normalized(t);
        TMyVector3f b = Vec3Cross(n, t);
        if (Vec3Dot(b, TMyVector3f{bin[i].x, bin[i].y, bin[i].z}) < 0)
            b = -b;
        const float f[14] = {v.Pos.x, v.Pos.y, v.Pos.z, n.x, n.y, n.z, t.x,
                             t.y,     t.z,     b.x,     b.y, b.z, v.U, v.V};
        m.Vertices.insert(m.Vertices.end(), f, f + 14);
        if (skinned) {
            for (int k = 0; k < 4; ++k)
                m.Vertices.push_back(static_cast<float>(v.Bones[k]));
            for (int k = 0; k < 4; ++k)
                m.Vertices.push_back(v.Weights[k]);
        }
    }
    m.Triangles = part.Tris;
    m.TriCount = static_cast<int32_t>(part.Tris.size());
    return m;
}

TStoredColideMesh ToColideMesh(const std::string& name, const TMeshPart& part) {
    TStoredColideMesh c;
    c.Name = name;
    for (const auto& v : part.Verts)
        c.Vertices.push_back(v.Pos);
    c.Triangles = part.Tris;
    c.VertCount = static_cast<int32_t>(c.Vertices.size());
    c.TriCount = static_cast<int32_t>(c.Triangles.size());
    c.BoxMin = part.BoxMin();
    c.BoxMax = part.BoxMax();
    return c;
}

TStoredColideMesh BoxColideMesh(const std::string& name, const TMyVector3f& lo, const TMyVector3f& hi) {
    TStoredColideMesh c;
    c.Name = name;
    for (int i = 0; i < 8; ++i)
        c.Vertices.push_back({(i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z});
    c.Triangles = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}, {0, 1, 5}, {0, 5, 4},
                   {2, 6, 7}, {2, 7, 3}, {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
    c.VertCount = 8;
    c.TriCount = 12;
    c.BoxMin = lo;
    c.BoxMax = hi;
    return c;
}

TStoredColideMesh RingColideMesh(const std::string& name, float rx, float rz, float y, int32_t sides) {
    TStoredColideMesh c;
    c.Name = name;
    for (int32_t i = 0; i < sides; ++i) {
        const float a = 2 * Pi * static_cast<float>(i) / static_cast<float>(sides);
        c.Vertices.push_back({rx * std::cos(a), y, -rz * std::sin(a)});
    }
    for (int32_t i = 1; i + 1 < sides; ++i)
        c.Triangles.push_back({0, i, i + 1});
    c.VertCount = sides;
    c.TriCount = static_cast<int32_t>(c.Triangles.size());
    c.BoxMin = {-rx, y, -rz};
    c.BoxMax = {rx, y, rz};
    return c;
}

void FinishModel(TModelStreamData& model) {
    model.ColidData.MeshCount = static_cast<int32_t>(model.ColidData.Meshes.size());
    model.RendData.MeshCount = static_cast<int32_t>(model.RendData.Meshes.size());
    TMyVector3f lo{BoxStart, BoxStart, BoxStart}, hi{-BoxStart, -BoxStart, -BoxStart};
    for (const auto& m : model.ColidData.Meshes)
        lo = MinV(lo, m.BoxMin), hi = MaxV(hi, m.BoxMax);
    model.ColidData.BoxMin = lo, model.ColidData.BoxMax = hi;
    lo = {BoxStart, BoxStart, BoxStart}, hi = {-BoxStart, -BoxStart, -BoxStart};
    for (const auto& m : model.RendData.Meshes)
        lo = MinV(lo, m.BoxMin), hi = MaxV(hi, m.BoxMax);
    model.RendData.BoxMin = lo, model.RendData.BoxMax = hi;
}

// ---------------------------------------------------------------------------------------------
// Skeletons and clips

int32_t TSkeleton::Add(const std::string& name, int32_t parent, const TMyVector3f& pivot) {
    if (parent >= Count())
        throw std::invalid_argument("TSkeleton::Add: the parent of " + name + " must come first");
    Bones.push_back({name, parent, pivot});
    return Count() - 1;
}

int32_t TSkeleton::Find(const std::string& name) const {
    for (int32_t i = 0; i < Count(); ++i)
        if (Bones[i].Name == name)
            return i;
    return -1;
}

void TPoseSpec::Turn(int32_t bone, float ax, float ay, float az) {
    if (bone < 0 || bone >= static_cast<int32_t>(Rotations.size()))
        return;
    Rotations[bone] = QuatMultiply(Rotations[bone], QuatFromAngles(ax, ay, az));
}

TMyVector3f QuatRotate(const TMyVector4f& q, const TMyVector3f& v) {
    // v + 2 w (u x v) + 2 u x (u x v), with u the vector part; the shaders use the same form.
    const TMyVector3f u{q.y, q.z, q.w};
    const TMyVector3f uv = Vec3Cross(u, v);
    return v + uv * (2.0f * q.x) + Vec3Cross(u, uv) * 2.0f;
}

std::vector<TBoneFrame> SolvePose(const TSkeleton& skeleton, const TPoseSpec& pose) {
    std::vector<TBoneFrame> frames(skeleton.Bones.size());
    for (size_t b = 0; b < skeleton.Bones.size(); ++b) {
        const TBoneDef& bone = skeleton.Bones[b];
        const TMyVector4f local = b < pose.Rotations.size() ? pose.Rotations[b] : IdentityQuat;
        TMyVector3f joint;  // where the joint is now
        TMyVector4f rot;
        if (bone.Parent < 0) {
            joint = bone.Pivot + pose.RootOffset;
            rot = local;
        } else {
            const TBoneFrame& parent = frames[static_cast<size_t>(bone.Parent)];
            joint = QuatRotate(parent.Rotation, bone.Pivot) + parent.Position;
            rot = QuatMultiply(parent.Rotation, local);
        }
        frames[b].Rotation = rot;
        frames[b].Position = joint - QuatRotate(rot, bone.Pivot);
    }
    return frames;
}

TMyVector3f PosePoint(const std::vector<TBoneFrame>& frames, int32_t bone, const TMyVector3f& p) {
    const TBoneFrame& f = frames.at(static_cast<size_t>(bone));
    return QuatRotate(f.Rotation, p) + f.Position;
}

TStoredSkeletData SampleClip(const TSkeleton& skeleton, int32_t rate, int32_t loopFrames, bool looping,
                             const std::function<TPoseSpec(float phase)>& pose) {
    TStoredSkeletData clip;
    clip.BoneCount = skeleton.Count();
    clip.FrameCount = loopFrames + 2;
    clip.FrameRate = rate;
    clip.Frames.assign(static_cast<size_t>(clip.BoneCount),
                       std::vector<TBoneFrame>(static_cast<size_t>(clip.FrameCount)));
    for (int32_t k = 0; k < clip.FrameCount; ++k) {
        float phase;
        if (looping) {
            // frame k >= 1 shows phase (k - 1) / loopFrames; frame 0 is the last looping frame
            // and the final frame is the first one again.
            const int32_t step = k == 0 ? loopFrames - 1 : (k == clip.FrameCount - 1 ? 0 : k - 1);
            phase = static_cast<float>(step) / static_cast<float>(loopFrames);
        } else {
            // a one-shot clip from its start to its end, frame 1 = phase 0, the last = phase 1
            const int32_t step = std::max(k - 1, 0);
            phase = static_cast<float>(step) / static_cast<float>(clip.FrameCount - 2);
        }
        const std::vector<TBoneFrame> frames = SolvePose(skeleton, pose(phase));
        for (int32_t b = 0; b < clip.BoneCount; ++b)
            clip.Frames[b][k] = frames[b];
    }
    return clip;
}

std::vector<uint8_t> EncodePSA(const TStoredSkeletData& clip) {
    TMemoryStream s;
    s.WriteInt32(clip.BoneCount);
    s.WriteInt32(clip.FrameCount);
    s.WriteInt32(clip.FrameRate);
    for (const auto& track : clip.Frames) {
        for (const TBoneFrame& f : track) {
            s.WriteVector3(f.Position);
            s.WriteSingle(f.Rotation.x);
            s.WriteSingle(f.Rotation.y);
            s.WriteSingle(f.Rotation.z);
            s.WriteSingle(f.Rotation.w);
        }
    }
    return s.Bytes();
}

// ---------------------------------------------------------------------------------------------
// Interchange files

namespace {

// The readers store a file point (x, y, z) as (x, z, -y); this is the way back.
TMyVector3f ToFile(const TMyVector3f& p) { return {p.x, -p.z, p.y}; }

std::string Num(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", static_cast<double>(v));
    std::string s = buf;
    if (s == "-0.0000")
        s = "0.0000";
    return s;
}

}  // namespace

std::string EncodeASE(const std::vector<std::string>& textures, const std::vector<TExchangeObject>& objects) {
    std::string s =
        "*3DSMAX_ASCIIEXPORT\t200\n*COMMENT \"AsciiExport Version  2,00\"\n*SCENE {\n"
        "\t*SCENE_FILENAME \"scenery.max\"\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 100\n}\n";
    s += "*MATERIAL_LIST {\n\t*MATERIAL_COUNT " + std::to_string(textures.size()) + "\n";
    for (size_t i = 0; i < textures.size(); ++i) {
        s += "\t*MATERIAL " + std::to_string(i) + " {\n\t\t*MATERIAL_NAME \"Material" + std::to_string(i) +
             "\"\n";
        s += "\t\t*MATERIAL_CLASS \"Standard\"\n\t\t*MATERIAL_AMBIENT 0.5882\t0.5882\t0.5882\n";
        s += "\t\t*MATERIAL_DIFFUSE 0.5882\t0.5882\t0.5882\n";
        s += "\t\t*MAP_DIFFUSE {\n\t\t\t*MAP_NAME \"Map #" + std::to_string(i + 1) +
             "\"\n\t\t\t*MAP_CLASS \"Bitmap\"\n\t\t\t*MAP_SUBNO 1\n\t\t\t*MAP_AMOUNT 1.0000\n";
        s += "\t\t\t*BITMAP \"maps\\" + textures[i] + "\"\n\t\t\t*MAP_TYPE Screen\n\t\t}\n";
        s += "\t}\n";
    }
    s += "}\n";
    for (const TExchangeObject& o : objects) {
        const TMeshPart& p = o.Part;
        s += "*GEOMOBJECT {\n\t*NODE_NAME \"" + o.Name + "\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"" + o.Name +
             "\"\n\t\t*TM_ROW0 1.0000\t0.0000\t0.0000\n\t\t*TM_ROW1 0.0000\t1.0000\t0.0000\n"
             "\t\t*TM_ROW2 0.0000\t0.0000\t1.0000\n\t\t*TM_ROW3 0.0000\t0.0000\t0.0000\n\t}\n";
        s += "\t*MESH {\n\t\t*TIMEVALUE 0\n";
        s += "\t\t*MESH_NUMVERTEX " + std::to_string(p.Verts.size()) + "\n";
        s += "\t\t*MESH_NUMFACES " + std::to_string(p.Tris.size()) + "\n\t\t*MESH_VERTEX_LIST {\n";
        for (size_t i = 0; i < p.Verts.size(); ++i) {
            const TMyVector3f f = ToFile(p.Verts[i].Pos);
            s += "\t\t\t*MESH_VERTEX    " + std::to_string(i) + "\t" + Num(f.x) + "\t" + Num(f.y) + "\t" +
                 Num(f.z) + "\n";
        }
        s += "\t\t}\n\t\t*MESH_FACE_LIST {\n";
        const std::string group = o.Smooth ? "1" : "";
        for (size_t i = 0; i < p.Tris.size(); ++i) {
            const TTriangleIndex& t = p.Tris[i];
            s += "\t\t\t*MESH_FACE    " + std::to_string(i) + ":    A:    " + std::to_string(t.A) +
                 " B:    " + std::to_string(t.B) + " C:    " + std::to_string(t.C) +
                 " AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING " + group + " \t*MESH_MTLID 0\n";
        }
        s += "\t\t}\n\t\t*MESH_NUMTVERTEX " + std::to_string(p.Verts.size()) + "\n";
        if (!p.Verts.empty()) {
            s += "\t\t*MESH_TVERTLIST {\n";
            for (size_t i = 0; i < p.Verts.size(); ++i)
                s += "\t\t\t*MESH_TVERT " + std::to_string(i) + "\t" + Num(p.Verts[i].U) + "\t" +
                     Num(p.Verts[i].V) + "\t0.0000\n";
            s += "\t\t}\n\t\t*MESH_NUMTVFACES " + std::to_string(p.Tris.size()) + "\n\t\t*MESH_TFACELIST {\n";
            for (size_t i = 0; i < p.Tris.size(); ++i) {
                const TTriangleIndex& t = p.Tris[i];
                s += "\t\t\t*MESH_TFACE " + std::to_string(i) + "\t" + std::to_string(t.A) + "\t" +
                     std::to_string(t.B) + "\t" + std::to_string(t.C) + "\n";
            }
            s += "\t\t}\n";
        }
        s +=
            "\t\t*MESH_NUMCVERTEX 0\n\t}\n\t*PROP_MOTIONBLUR 0\n\t*PROP_CASTSHADOW 1\n\t*PROP_RECVSHADOW 1\n";
        if (o.Material >= 0)
            s += "\t*MATERIAL_REF " + std::to_string(o.Material) + "\n";
        s += "}\n";
    }
    return s;
}

namespace {

// A chunk being written: its header is patched with the length when it closes.
class TChunkWriter {
public:
    void Open(uint16_t id) {
        Starts.push_back(Out.GetPosition());
        Out.WriteUInt16(id);
        Out.WriteUInt32(0);
    }
    void Close() {
        const int64_t start = Starts.back();
        Starts.pop_back();
        const int64_t end = Out.GetPosition();
        Out.Seek(start + 2);
        Out.WriteUInt32(static_cast<uint32_t>(end - start));
        Out.Seek(end);
    }
    void String(const std::string& s) {
        Out.WriteBuffer(s.data(), s.size());
        Out.WriteByte(0);
    }
    TMemoryStream Out;

private:
    std::vector<int64_t> Starts;
};

}  // namespace

std::vector<uint8_t> Encode3DS(const std::vector<std::string>& textures,
                               const std::vector<TExchangeObject>& objects) {
    TChunkWriter w;
    w.Open(0x4D4D);
    w.Open(0x0002);
    w.Out.WriteUInt32(3);
    w.Close();
    w.Open(0x3D3D);
    w.Open(0x3D3E);  // mesh version: not read, skipped by its length
    w.Out.WriteUInt32(3);
    w.Close();
    for (size_t i = 0; i < textures.size(); ++i) {
        w.Open(0xAFFF);
        w.Open(0xA000);
        w.String("Material" + std::to_string(i));
        w.Close();
        w.Open(0xA200);
        w.Open(0xA300);
        w.String(textures[i]);
        w.Close();
        w.Close();
        w.Close();
    }
    for (const TExchangeObject& o : objects) {
        const TMeshPart& p = o.Part;
        if (p.Verts.size() > 0xFFFF || p.Tris.size() > 0xFFFF)
            throw std::invalid_argument("Encode3DS: object " + o.Name + " is too large for 16-bit counts");
        w.Open(0x4000);
        w.String(o.Name);
        w.Open(0x4100);
        w.Open(0x4110);
        w.Out.WriteUInt16(static_cast<uint16_t>(p.Verts.size()));
        for (const auto& v : p.Verts) {
            const TMyVector3f f = ToFile(v.Pos);
            w.Out.WriteSingle(f.x);
            w.Out.WriteSingle(f.y);
            w.Out.WriteSingle(f.z);
        }
        w.Close();
        w.Open(0x4140);
        w.Out.WriteUInt16(static_cast<uint16_t>(p.Verts.size()));
        for (const auto& v : p.Verts) {
            w.Out.WriteSingle(v.U);
            w.Out.WriteSingle(v.V);
        }
        w.Close();
        w.Open(0x4120);
        w.Out.WriteUInt16(static_cast<uint16_t>(p.Tris.size()));
        for (const auto& t : p.Tris) {
            w.Out.WriteUInt16(static_cast<uint16_t>(t.A));
            w.Out.WriteUInt16(static_cast<uint16_t>(t.B));
            w.Out.WriteUInt16(static_cast<uint16_t>(t.C));
            w.Out.WriteUInt16(7);
        }
        if (o.Material >= 0) {
            w.Open(0x4130);
            w.String("Material" + std::to_string(o.Material));
            w.Out.WriteUInt16(static_cast<uint16_t>(p.Tris.size()));
            for (size_t i = 0; i < p.Tris.size(); ++i)
                w.Out.WriteUInt16(static_cast<uint16_t>(i));
            w.Close();
        }
        w.Open(0x4150);
        for (size_t i = 0; i < p.Tris.size(); ++i)
            w.Out.WriteUInt32(o.Smooth ? 1u : 0u);
        w.Close();
        w.Close();  // face list
        w.Close();  // triangle mesh
        w.Close();  // named object
    }
    w.Close();  // editor block
    w.Close();  // main
    return w.Out.Bytes();
}

}  // namespace gen
