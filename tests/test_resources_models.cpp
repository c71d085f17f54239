// The model stream (writer and reader) and the converter from loader records to it.

#include "resources/e_ModelLoader.h"

#include "TestSupport.h"
#include "test_resources_messages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace {

// ---- the stream ----

TStoredColideMesh ColideMesh(const std::string& name, int verts) {
    TStoredColideMesh m;
    m.Name = name;
    for (int i = 0; i < verts; ++i)
        m.Vertices.push_back({float(i), float(i * 2), float(-i)});
    for (int i = 0; i + 2 < verts; ++i)
        m.Triangles.push_back({i, i + 1, i + 2});
    m.BoxMin = {0, 0, float(1 - verts)};
    m.BoxMax = {float(verts - 1), float(2 * verts - 2), 0};
    return m;
}

TStoredRenderMesh RenderMesh(const std::string& name, int verts, int vertexSize) {
    TStoredRenderMesh m;
    m.Name = name;
    m.Material.DiffuseMap = name + ".tga";
    m.Material.Emissive = true;
    m.Material.AlphaTest = true;
    m.Material.AlphaRef = 0.5f;
    m.Material.BumpMap = name + "_n.tga";
    m.Material.Parallax = true;
    m.Material.ParallaxScale = 0.03f;
    m.Material.SpecPower = 16.0f;
    for (int i = 0; i < verts * vertexSize; ++i)
        m.Vertices.push_back(float(i) * 0.25f);
    for (int i = 0; i + 2 < verts; ++i)
        m.Triangles.push_back({i + 2, i + 1, i});
    m.BoxMin = {-1, -2, -3};
    m.BoxMax = {4, 5, 6};
    return m;
}

TModelStreamData SampleModel(bool skinned) {
    TModelStreamData d;
    d.Skinned = skinned;
    int size = skinned ? SkinnedVertexSize : StaticVertexSize;
    d.ColidData.Meshes = {ColideMesh("CM_Wall", 4), ColideMesh("Gate", 3)};
    d.RendData.Meshes = {RenderMesh("Wall", 5, size), RenderMesh("Gate", 3, size)};
    d.RendData.Meshes[1].Material = TMatTexNames{};  // all zero, empty names
    d.RendData.Meshes[1].Material.DiffuseMap = "gate.tga";
    if (skinned) {
        d.Scale = 0.5f;
        d.RendData.BoneCount = 2;
        TStoredSkeletData anim;
        anim.BoneCount = 2;
        anim.FrameCount = 3;
        anim.FrameRate = 25;
        anim.Frames.resize(2);
        for (int b = 0; b < 2; ++b)
            for (int f = 0; f < 3; ++f)
                anim.Frames[b].push_back({{float(b), float(f), 1.0f}, {1.0f, 0.0f, float(b), float(f)}});
        d.Animation = anim;
    }
    return d;
}

void ExpectSameMeshes(const TModelStreamData& a, const TModelStreamData& b) {
    ASSERT_EQ(a.ColidData.Meshes.size(), b.ColidData.Meshes.size());
    for (size_t i = 0; i < a.ColidData.Meshes.size(); ++i) {
        const auto& x = a.ColidData.Meshes[i];
        const auto& y = b.ColidData.Meshes[i];
        EXPECT_EQ(x.Name, y.Name);
        EXPECT_EQ(0, std::memcmp(&x.BoxMin, &y.BoxMin, 12));
        EXPECT_EQ(0, std::memcmp(&x.BoxMax, &y.BoxMax, 12));
        EXPECT_EQ(y.VertCount, int32_t(x.Vertices.size()));
        EXPECT_EQ(y.TriCount, int32_t(x.Triangles.size()));
        ASSERT_EQ(x.Vertices.size(), y.Vertices.size());
        EXPECT_EQ(0, std::memcmp(x.Vertices.data(), y.Vertices.data(), x.Vertices.size() * 12));
        ASSERT_EQ(x.Triangles.size(), y.Triangles.size());
        EXPECT_EQ(0, std::memcmp(x.Triangles.data(), y.Triangles.data(), x.Triangles.size() * 12));
    }
    ASSERT_EQ(a.RendData.Meshes.size(), b.RendData.Meshes.size());
    for (size_t i = 0; i < a.RendData.Meshes.size(); ++i) {
        const auto& x = a.RendData.Meshes[i];
        const auto& y = b.RendData.Meshes[i];
        EXPECT_EQ(x.Name, y.Name);
        EXPECT_EQ(x.Material.DiffuseMap, y.Material.DiffuseMap);
        EXPECT_EQ(x.Material.Emissive, y.Material.Emissive);
        EXPECT_EQ(x.Material.Blended, y.Material.Blended);
        EXPECT_EQ(x.Material.AlphaTest, y.Material.AlphaTest);
        EXPECT_EQ(x.Material.AlphaRef, y.Material.AlphaRef);
        EXPECT_EQ(x.Material.BumpMap, y.Material.BumpMap);
        EXPECT_EQ(x.Material.Parallax, y.Material.Parallax);
        EXPECT_EQ(x.Material.ParallaxScale, y.Material.ParallaxScale);
        EXPECT_EQ(x.Material.GlossMap, y.Material.GlossMap);
        EXPECT_EQ(x.Material.SpecPower, y.Material.SpecPower);
        EXPECT_EQ(0, std::memcmp(&x.BoxMin, &y.BoxMin, 12));
        EXPECT_EQ(0, std::memcmp(&x.BoxMax, &y.BoxMax, 12));
        EXPECT_EQ(x.Vertices, y.Vertices);
        ASSERT_EQ(x.Triangles.size(), y.Triangles.size());
        EXPECT_EQ(0, std::memcmp(x.Triangles.data(), y.Triangles.data(), x.Triangles.size() * 12));
    }
}

// Little-endian appenders for spelling out a stream by hand.
struct Bytes {
    std::vector<uint8_t> b;
    Bytes& i32(int32_t v) { return raw(&v, 4); }
    Bytes& f32(float v) { return raw(&v, 4); }
    Bytes& str(const std::string& s) { return i32(int32_t(s.size())).raw(s.data(), s.size()); }
    Bytes& raw(const void* p, size_t n) {
        auto c = static_cast<const uint8_t*>(p);
        b.insert(b.end(), c, c + n);
        return *this;
    }
};

TEST(ModelStream, StaticLayoutIsTheDocumentedFieldOrder) {
    TModelStreamData d;
    TStoredColideMesh c;
    c.Name = "CM_A";
    c.Vertices = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    c.Triangles = {{0, 1, 2}};
    c.BoxMin = {1, 2, 3};
    c.BoxMax = {7, 8, 9};
    d.ColidData.Meshes.push_back(c);
    TStoredRenderMesh r;
    r.Name = "A";
    r.Material.DiffuseMap = "a.tga";
    r.Material.Blended = true;
    r.Material.AlphaRef = 0.25f;
    r.Material.GlossMap = "g.tga";
    r.Material.SpecPower = 8;
    r.Vertices.assign(14, 1.5f);
    r.Triangles = {{0, 0, 0}};
    r.BoxMin = {1.5f, 1.5f, 1.5f};
    r.BoxMax = {1.5f, 1.5f, 1.5f};
    d.RendData.Meshes.push_back(r);

    Bytes e;
    e.i32(200).i32(1).str("CM_A");
    for (float v : {1, 2, 3, 7, 8, 9})
        e.f32(v);
    e.i32(3);
    for (float v : {1, 2, 3, 4, 5, 6, 7, 8, 9})
        e.f32(v);
    e.i32(1).i32(0).i32(1).i32(2);
    e.i32(1).str("A").str("a.tga").i32(0).i32(1).i32(0).f32(0.25f).str("").i32(0).f32(0).str("g.tga").f32(8);
    for (int k = 0; k < 6; ++k)
        e.f32(1.5f);
    e.i32(1);
    for (int k = 0; k < 14; ++k)
        e.f32(1.5f);
    e.i32(1).i32(0).i32(0).i32(0);

    EXPECT_EQ(WriteModelStream(d), e.b);
}

TEST(ModelStream, RoundTripsStaticAndSkinnedModels) {
    for (bool skinned : {false, true}) {
        SCOPED_TRACE(skinned ? "skinned" : "static");
        TModelStreamData in = SampleModel(skinned);
        TMemoryStream stream(WriteModelStream(in));
        TModelStreamData out;
        ASSERT_TRUE(ReadModelStream(stream, skinned, out));
        EXPECT_EQ(out.Version, 200);
        EXPECT_EQ(out.Skinned, skinned);
        EXPECT_EQ(out.Scale, skinned ? 0.5f : 1.0f);
        EXPECT_EQ(out.RendData.BoneCount, skinned ? 2 : 0);
        EXPECT_EQ(out.ColidData.MeshCount, 2);
        EXPECT_EQ(out.RendData.MeshCount, 2);
        ExpectSameMeshes(in, out);
        // The overall boxes are the union of the mesh boxes.
        EXPECT_EQ(out.ColidData.BoxMin.z, -3.0f);
        EXPECT_EQ(out.ColidData.BoxMax.y, 6.0f);
        EXPECT_EQ(out.RendData.BoxMin.x, -1.0f);
        EXPECT_EQ(out.RendData.BoxMax.z, 6.0f);
        EXPECT_EQ(out.RendData.Meshes[0].Vertices.size(), size_t(5 * (skinned ? 22 : 14)));

        if (skinned) {
            // The reader stops where the embedded animation begins.
            auto anim = PeekEmbeddedAnimation(stream);
            ASSERT_TRUE(anim);
            EXPECT_EQ(anim->BoneCount, 2);
            EXPECT_EQ(anim->FrameCount, 3);
            EXPECT_EQ(anim->FrameRate, 25);
            EXPECT_EQ(stream.Remaining(), 12 + 2 * 3 * 28);
            stream.Seek(stream.GetPosition() + 12 + 28 * 4);  // bone 1, frame 1
            EXPECT_EQ(stream.ReadVector3().x, 1.0f);
            EXPECT_EQ(stream.ReadSingle(), 1.0f);  // quaternion scalar first
        } else {
            EXPECT_EQ(stream.Remaining(), 0);
            EXPECT_FALSE(PeekEmbeddedAnimation(stream));
        }
    }
}

TEST(ModelStream, OutdatedVersionStopsAfterTheVersion) {
    TModelStreamData in = SampleModel(false);
    in.Version = 199;
    TMemoryStream stream(WriteModelStream(in));
    TModelStreamData out;
    EXPECT_FALSE(ReadModelStream(stream, false, out));
    EXPECT_EQ(out.Version, 199);
    EXPECT_TRUE(out.RendData.Meshes.empty());
}

TEST(ModelStream, EveryTruncationThrowsInsteadOfReadingPastTheEnd) {
    for (bool skinned : {false, true}) {
        TModelStreamData in = SampleModel(skinned);
        in.Animation.reset();
        std::vector<uint8_t> full = WriteModelStream(in);
        for (size_t n = 0; n < full.size(); ++n) {
            TMemoryStream stream(
                std::vector<uint8_t>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n)));
            TModelStreamData out;
            EXPECT_THROW(ReadModelStream(stream, skinned, out), TStreamReadError) << "length " << n;
        }
        TMemoryStream stream(full);
        TModelStreamData out;
        EXPECT_TRUE(ReadModelStream(stream, skinned, out));
    }
}

TEST(ModelStream, RefusesImpossibleCountsAndIndices) {
    auto patched = [](size_t offset, int32_t value) {
        std::vector<uint8_t> bytes = WriteModelStream(SampleModel(false));
        std::memcpy(bytes.data() + offset, &value, 4);
        return bytes;
    };
    // Offsets in the sample: version 0, collision count 4, first name length 8.
    const size_t firstVertCount = 8 + 4 + 7 + 24;
    const size_t firstTriCount = firstVertCount + 4 + 4 * 12;
    const size_t firstTri = firstTriCount + 4;
    struct Case {
        size_t offset;
        int32_t value;
    } cases[] = {
        {4, -1},          // negative mesh count
        {4, 0x7fffffff},  // more meshes than bytes
        {8, -5},          // negative string length
        {firstVertCount, 0x40000000},
        {firstTriCount, -1},
        {firstTri, 4},  // index one past the four vertices
        {firstTri + 8, -1},
    };
    for (const auto& c : cases) {
        TMemoryStream stream(patched(c.offset, c.value));
        TModelStreamData out;
        EXPECT_THROW(ReadModelStream(stream, false, out), TStreamReadError) << c.offset << " = " << c.value;
    }
}

TEST(ModelStream, WriterRefusesPartialVertices) {
    TModelStreamData d = SampleModel(false);
    d.RendData.Meshes[0].Vertices.push_back(0.0f);
    EXPECT_THROW(WriteModelStream(d), std::invalid_argument);
}

// ---- the converter ----

TGeomData Geom(const std::string& name, int materialRef, const std::vector<TDotVector3>& verts,
               const std::vector<TFaceData>& faces) {
    TGeomData g;
    g.Name = name;
    g.MaterialRef = materialRef;
    g.Mesh.Vertices = verts;
    g.Mesh.VertCount = int32_t(verts.size());
    g.Mesh.Faces = faces;
    g.Mesh.FaceCount = int32_t(faces.size());
    // Texture coordinates from the position, one per vertex, faces reuse their indices.
    for (const auto& v : verts)
        g.Mesh.TVerts.push_back({v.x * 0.5f + v.z * 0.25f, v.y * 0.5f});
    g.Mesh.TVertCount = g.Mesh.VertCount;
    for (const auto& f : faces)
        g.Mesh.TFaces.push_back({f.A, f.B, f.C});
    g.Mesh.TFaceCount = g.Mesh.FaceCount;
    return g;
}

const std::vector<TDotVector3> TriangleVerts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};

TLoadModelData OneMaterial() {
    TLoadModelData d;
    d.Materials = {{"stone.tga", ""}};
    d.MaterialCount = 1;
    return d;
}

TModelStreamData Convert(const TLoadModelData& d, TWeldMode mode = TWeldMode::Hashed) {
    auto stream = ConvertModel(d, mode);
    EXPECT_TRUE(stream);
    TModelStreamData out;
    if (stream) {
        EXPECT_TRUE(ReadModelStream(*stream, false, out));
    }
    return out;
}

std::vector<std::string> Names(const std::vector<TStoredColideMesh>& m) {
    std::vector<std::string> out;
    for (const auto& x : m)
        out.push_back(x.Name);
    return out;
}
std::vector<std::string> Names(const std::vector<TStoredRenderMesh>& m) {
    std::vector<std::string> out;
    for (const auto& x : m)
        out.push_back(x.Name);
    return out;
}

TEST(ConvertModel, SplitsObjectsIntoRenderAndCollisionMeshes) {
    TLoadModelData d = OneMaterial();
    std::vector<TFaceData> face = {{0, 1, 2, 0}};
    d.Geoms = {Geom("Wall", 0, TriangleVerts, face),    Geom("CM_Wall", -1, TriangleVerts, face),
               Geom("Helper", -1, TriangleVerts, face), Geom("JR_Grass", 0, TriangleVerts, face),
               Geom("jr_Fern", 0, TriangleVerts, face), Geom("Rock", 0, TriangleVerts, face),
               Geom("cm_Post", 0, TriangleVerts, face), Geom("Post", 0, TriangleVerts, face)};
    TModelStreamData m = Convert(d);
    EXPECT_EQ(Names(m.RendData.Meshes),
              (std::vector<std::string>{"Wall", "JR_Grass", "jr_Fern", "Rock", "Post"}));
    // Collision objects first in file order, then the render objects that lack their own;
    // the pairing by name is exact, so "cm_Post" does not count as Post's.
    EXPECT_EQ(Names(m.ColidData.Meshes), (std::vector<std::string>{"CM_Wall", "cm_Post", "Rock", "Post"}));
}

TEST(ConvertModel, WritesTheMaterialAndStaticDefaults) {
    TLoadModelData d = OneMaterial();
    d.Materials[0].AuxName = "stone_n.tga";
    d.Geoms = {Geom("Block", 0, TriangleVerts, {{0, 1, 2, 0}})};
    auto stream = ConvertModel(d);
    ASSERT_TRUE(stream);
    TModelStreamData m;
    ASSERT_TRUE(ReadModelStream(*stream, false, m));
    EXPECT_EQ(stream->Remaining(), 0);
    ASSERT_EQ(m.RendData.Meshes.size(), 1u);
    const auto& mat = m.RendData.Meshes[0].Material;
    EXPECT_EQ(mat.DiffuseMap, "stone.tga");
    EXPECT_EQ(mat.BumpMap, "stone_n.tga");
    EXPECT_EQ(mat.GlossMap, "");
    EXPECT_FALSE(mat.Emissive || mat.Blended || mat.AlphaTest || mat.Parallax);
    EXPECT_EQ(mat.AlphaRef, 0.0f);
    EXPECT_EQ(mat.ParallaxScale, 0.0f);
    EXPECT_EQ(mat.SpecPower, 0.0f);

    const auto& mesh = m.RendData.Meshes[0];
    ASSERT_EQ(mesh.VertCount, 3);
    // Corner 0 of the triangle: position, normal +z, texture coordinate of vertex 0.
    const float* v = mesh.Vertices.data();
    EXPECT_EQ(v[0], 0.0f);
    EXPECT_EQ(v[5], 1.0f);
    EXPECT_EQ(v[12], 0.0f);
    EXPECT_EQ(mesh.Vertices[14 + 12], 0.5f);  // vertex 1 has u = 0.5
    // Tangent along +x (u grows with x), binormal along +y.
    EXPECT_NEAR(v[6], 1.0f, 1e-6);
    EXPECT_NEAR(v[10], 1.0f, 1e-6);
    EXPECT_EQ(mesh.BoxMin.x, 0.0f);
    EXPECT_EQ(mesh.BoxMax.y, 1.0f);
    const auto& col = m.ColidData.Meshes.at(0);
    EXPECT_EQ(col.BoxMax.x, 1.0f);
    EXPECT_EQ(col.Triangles[0].C, 2);
}

TEST(ConvertModel, EmptyInputGivesAnEmptyModel) {
    auto stream = ConvertModel(TLoadModelData{});
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->Bytes(), (Bytes{}.i32(200).i32(0).i32(0).b));
}

// A cube of side 2 around the origin; vertex i has x, y, z = +1 where bits 0, 1, 2 of i are set.
std::vector<TDotVector3> CubeVerts() {
    std::vector<TDotVector3> v;
    for (int i = 0; i < 8; ++i)
        v.push_back({(i & 1) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 4) ? 1.0f : -1.0f});
    return v;
}

std::vector<TFaceData> CubeFaces(uint32_t smoothing) {
    const int idx[12][3] = {{0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}, {0, 1, 5}, {0, 5, 4},
                            {2, 6, 7}, {2, 7, 3}, {0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}};
    std::vector<TFaceData> f;
    for (const auto& t : idx)
        f.push_back({t[0], t[1], t[2], smoothing});
    return f;
}

// The corner normal as the rule states it: every smoothed face sharing a group, once per
// corner it has on the vertex.
TDotVector3 ReferenceCornerNormal(const TMeshData& mesh, size_t face, int32_t vertex) {
    auto faceNormal = [&](const TFaceData& f) {
        TDotVector3 p0 = mesh.Vertices[f.A], p1 = mesh.Vertices[f.B], p2 = mesh.Vertices[f.C];
        TDotVector3 n = DotCross(DotSub(p1, p0), DotSub(p2, p0));
        DotNormalize(n);
        return n;
    };
    const TFaceData& self = mesh.Faces[face];
    if (self.Smoothing == 0)
        return faceNormal(self);
    TDotVector3 sum{};
    for (const auto& g : mesh.Faces) {
        if (g.Smoothing == 0 || (g.Smoothing & self.Smoothing) == 0)
            continue;
        for (int32_t c : {g.A, g.B, g.C})
            if (c == vertex)
                sum = DotAdd(sum, faceNormal(g));
    }
    DotNormalize(sum);
    return sum;
}

TEST(ConvertModel, FlatCubeKeepsFourVerticesPerSide) {
    TLoadModelData d = OneMaterial();
    TGeomData cube = Geom("Cube", 0, CubeVerts(), CubeFaces(0));
    // Each side maps its two free axes to u and v, so both triangles of a side agree.
    cube.Mesh.TVerts.clear();
    cube.Mesh.TFaces.clear();
    for (const auto& f : cube.Mesh.Faces) {
        TTripleIndex tf;
        int32_t* out[3] = {&tf.A, &tf.B, &tf.C};
        int k = 0;
        const auto& v = cube.Mesh.Vertices;
        TDotVector3 n = DotCross(DotSub(v[f.B], v[f.A]), DotSub(v[f.C], v[f.A]));
        for (int32_t c : {f.A, f.B, f.C}) {
            const TDotVector3& p = v[c];
            TDotVector2 uv = n.x != 0   ? TDotVector2{p.y, p.z}
                             : n.y != 0 ? TDotVector2{p.x, p.z}
                                        : TDotVector2{p.x, p.y};
            *out[k++] = int32_t(cube.Mesh.TVerts.size());
            cube.Mesh.TVerts.push_back(uv);
        }
        cube.Mesh.TFaces.push_back(tf);
    }
    d.Geoms = {cube};
    TModelStreamData m = Convert(d);
    ASSERT_EQ(m.RendData.Meshes.size(), 1u);
    const auto& mesh = m.RendData.Meshes[0];
    EXPECT_EQ(mesh.VertCount, 24);
    EXPECT_EQ(mesh.TriCount, 12);
    for (int i = 0; i < mesh.VertCount; ++i) {
        const float* v = &mesh.Vertices[size_t(i) * 14];
        // Flat: the normal is a unit axis, and the tangent lies in the side.
        EXPECT_NEAR(std::fabs(v[3]) + std::fabs(v[4]) + std::fabs(v[5]), 1.0f, 1e-6);
        EXPECT_NEAR(v[3] * v[6] + v[4] * v[7] + v[5] * v[8], 0.0f, 1e-6);
        EXPECT_NEAR(v[6] * v[6] + v[7] * v[7] + v[8] * v[8], 1.0f, 1e-5);
    }
    EXPECT_EQ(mesh.BoxMin.x, -1.0f);
    EXPECT_EQ(mesh.BoxMax.z, 1.0f);
}

TEST(ConvertModel, SmoothCubeWeldsToEightVertices) {
    TLoadModelData d = OneMaterial();
    TGeomData cube = Geom("Cube", 0, CubeVerts(), CubeFaces(1));
    // Equal texture coordinates give equal (zero) tangents, so shared corners can merge.
    for (auto& t : cube.Mesh.TVerts)
        t = {0.0f, 0.0f};
    d.Geoms = {cube};
    TModelStreamData m = Convert(d);
    const auto& mesh = m.RendData.Meshes.at(0);
    ASSERT_EQ(mesh.VertCount, 8);
    for (size_t f = 0; f < cube.Mesh.Faces.size(); ++f) {
        const auto& face = cube.Mesh.Faces[f];
        const TTriangleIndex& tri = mesh.Triangles[f];
        int32_t src[3] = {face.A, face.B, face.C};
        int32_t dst[3] = {tri.A, tri.B, tri.C};
        for (int k = 0; k < 3; ++k) {
            const float* v = &mesh.Vertices[size_t(dst[k]) * 14];
            const TDotVector3& p = cube.Mesh.Vertices[src[k]];
            EXPECT_EQ(v[0], p.x);
            EXPECT_EQ(v[1], p.y);
            EXPECT_EQ(v[2], p.z);
            TDotVector3 n = ReferenceCornerNormal(cube.Mesh, f, src[k]);
            EXPECT_NEAR(v[3], n.x, 1e-6);
            EXPECT_NEAR(v[4], n.y, 1e-6);
            EXPECT_NEAR(v[5], n.z, 1e-6);
            // Pointing out of the corner's octant.
            EXPECT_GT(v[3] * p.x, 0.0f);
            EXPECT_GT(v[4] * p.y, 0.0f);
            EXPECT_GT(v[5] * p.z, 0.0f);
        }
    }
    // Vertex 0 sits on two triangles of each of its three sides: exactly the diagonal.
    const float* v0 = &mesh.Vertices[size_t(mesh.Triangles[0].A) * 14];
    EXPECT_NEAR(v0[3], -1.0f / std::sqrt(3.0f), 1e-6);
}

TEST(ConvertModel, SmoothingGroupsDecideWhichFacesShareNormals) {
    // Two triangles folded along the edge 0-1.
    std::vector<TDotVector3> verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, -1}};
    auto convert = [&](uint32_t s1, uint32_t s2) {
        TLoadModelData d = OneMaterial();
        TGeomData g = Geom("Fold", 0, verts, {{0, 1, 2, s1}, {1, 0, 3, s2}});
        for (auto& t : g.Mesh.TVerts)
            t = {0.0f, 0.0f};
        d.Geoms = {g};
        return Convert(d).RendData.Meshes.at(0);
    };
    EXPECT_EQ(convert(1, 2).VertCount, 6);  // different groups: hard edge
    EXPECT_EQ(convert(0, 0).VertCount, 6);  // no groups: flat
    EXPECT_EQ(convert(1, 0).VertCount, 6);  // an unsmoothed face shares with nobody
    EXPECT_EQ(convert(3, 2).VertCount, 4);  // a common group
    TStoredRenderMesh smooth = convert(1, 1);
    ASSERT_EQ(smooth.VertCount, 4);
    // The shared edge carries the average of the two face normals, +z and -y.
    const float* v = &smooth.Vertices[size_t(smooth.Triangles[0].A) * 14];
    EXPECT_NEAR(v[4], -std::sqrt(0.5f), 1e-6);
    EXPECT_NEAR(v[5], std::sqrt(0.5f), 1e-6);
}

TEST(ConvertModel, RefusesReferencesThatDoNotExist) {
    struct Case {
        const char* what;
        void (*spoil)(TLoadModelData&);
        const char* message;
    } cases[] = {
        {"vertex", [](TLoadModelData& d) { d.Geoms[0].Mesh.Faces[0].C = 3; }, "индекс вершины"},
        {"negative vertex", [](TLoadModelData& d) { d.Geoms[0].Mesh.Faces[0].A = -1; }, "индекс вершины"},
        {"texture vertex", [](TLoadModelData& d) { d.Geoms[0].Mesh.TFaces[0].B = 9; }, "текстурной вершины"},
        {"material", [](TLoadModelData& d) { d.Geoms[0].MaterialRef = 1; }, "материал 1"},
        {"texture faces", [](TLoadModelData& d) { d.Geoms[0].Mesh.TFaces.clear(); },
         "число текстурных граней"},
        {"texture coordinates", [](TLoadModelData& d) { d.Geoms[0].Mesh.TVerts.clear(); }, "нет текстурных"},
        {"collision vertex", [](TLoadModelData& d) { d.Geoms[1].Mesh.Faces[0].B = 7; }, "\"CM_Box\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TLoadModelData d = OneMaterial();
        d.Geoms = {Geom("Box", 0, TriangleVerts, {{0, 1, 2, 0}}),
                   Geom("CM_Box", -1, TriangleVerts, {{0, 1, 2, 0}})};
        c.spoil(d);
        MessageCapture capture;
        EXPECT_FALSE(ConvertModel(d));
        ASSERT_EQ(Messages.size(), 1u);
        EXPECT_NE(Messages[0].find("Program Message:|"), std::string::npos);
        EXPECT_NE(Messages[0].find(c.message), std::string::npos) << Messages[0];
    }
}

// ---- the weld ----

std::vector<TDrawVertData> NearDuplicates(uint32_t seed, size_t count) {
    std::mt19937 rng(seed);
    // Values on a grid of half the tolerance, so many pairs fall just inside or outside it.
    std::uniform_int_distribution<int> step(0, 6);
    std::uniform_int_distribution<int> pick(0, 99);
    std::vector<TDrawVertData> out;
    for (size_t i = 0; i < count; ++i) {
        TDrawVertData v{};
        float* s = reinterpret_cast<float*>(&v);
        // Positions straddle zero and the welding grid's cell edges.
        const float bases[] = {1.0f, 0.0f, -0.0004f, 0.0002f, -0.00021f};
        const float base = bases[pick(rng) % 5];
        for (int k = 0; k < 14; ++k)
            s[k] = k < 3 ? base + float(step(rng)) * 0.00005f : float(step(rng) % 2) * 0.00005f;
        int r = pick(rng);
        if (r == 0)
            s[pick(rng) % 14] = std::nanf("");
        else if (r == 1)
            s[pick(rng) % 3] = std::numeric_limits<float>::infinity();
        else if (r == 2)
            s[0] = 3.0e38f;
        out.push_back(v);
    }
    return out;
}

TEST(WeldVertices, HashedGivesExactlyThePairwiseResult) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        auto verts = NearDuplicates(seed, 400);
        std::vector<TDrawVertData> keptA, keptB;
        std::vector<int32_t> remapA, remapB;
        WeldVertices(verts, TWeldMode::Quadratic, keptA, remapA);
        WeldVertices(verts, TWeldMode::Hashed, keptB, remapB);
        ASSERT_EQ(remapA, remapB) << "seed " << seed;
        ASSERT_EQ(keptA.size(), keptB.size());
        EXPECT_EQ(0, std::memcmp(keptA.data(), keptB.data(), keptA.size() * sizeof(TDrawVertData)));
        EXPECT_LT(keptA.size(), verts.size());
    }
}

TEST(WeldVertices, MergesIntoTheFirstCloseSurvivorOnly) {
    // 1 is close to 0; 2 is close to 1 but not to 0, so it survives: closeness does not chain.
    std::vector<TDrawVertData> verts(4);
    verts[1].Position.x = 0.00009f;
    verts[2].Position.x = 0.00015f;
    verts[3].Position.x = 0.00016f;  // close to 2 (a survivor) and not to 0
    for (TWeldMode mode : {TWeldMode::Quadratic, TWeldMode::Hashed}) {
        std::vector<TDrawVertData> kept;
        std::vector<int32_t> remap;
        WeldVertices(verts, mode, kept, remap);
        EXPECT_EQ(remap, (std::vector<int32_t>{0, 0, 1, 1}));
        ASSERT_EQ(kept.size(), 2u);
        EXPECT_EQ(kept[1].Position.x, 0.00015f);
    }
}

TEST(ConvertModel, HashedAndQuadraticWeldsWriteIdenticalStreams) {
    // A smooth sphere-like grid with seams, plus noise below and above the tolerance.
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> jitter(-0.00008f, 0.00008f);
    TLoadModelData d = OneMaterial();
    const int n = 24;
    std::vector<TDotVector3> verts;
    std::vector<TFaceData> faces;
    for (int i = 0; i <= n; ++i)
        for (int j = 0; j <= n; ++j) {
            float a = float(i) / n * 3.14159f, b = float(j) / n * 6.28318f;
            verts.push_back(
                {std::sin(a) * std::cos(b) + jitter(rng), std::cos(a), std::sin(a) * std::sin(b)});
        }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            int a = i * (n + 1) + j, b = a + 1, c = a + n + 1, e = c + 1;
            uint32_t s = (i < n / 2) ? 1u : 2u;
            faces.push_back({a, c, b, s});
            faces.push_back({b, c, e, s});
        }
    d.Geoms = {Geom("Ball", 0, verts, faces)};
    auto a = ConvertModel(d, TWeldMode::Quadratic);
    auto b = ConvertModel(d, TWeldMode::Hashed);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->Bytes(), b->Bytes());
    TModelStreamData m = Convert(d);
    EXPECT_LT(m.RendData.Meshes.at(0).VertCount, int32_t(faces.size() * 3));
}

}  // namespace
