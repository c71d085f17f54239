// The converter: loader records to a model stream. Objects named "CM_..." become collision
// meshes, objects with a material render meshes whose corners are welded; a render object
// without a collision object of its own collides with its own shape unless its name begins
// "JR_". A record that cannot be right is refused with a message naming the object.

#include "resources/e_ModelLoader.h"

#include "app/e_Platform.h"
#include "resources/e_ModelLoaderShared.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

using namespace model_loader;

namespace {

const float* Singles(const TDrawVertData& v) { return reinterpret_cast<const float*>(&v); }

bool WeldClose(const TDrawVertData& a, const TDrawVertData& b) {
    const float* pa = Singles(a);
    const float* pb = Singles(b);
    for (int k = 0; k < StaticVertexSize; ++k) {
        if (!(std::fabs(static_cast<double>(pa[k]) - static_cast<double>(pb[k])) < 0.0001))
            return false;
    }
    return true;
}

void WeldQuadratic(const std::vector<TDrawVertData>& verts, std::vector<TDrawVertData>& kept,
                   std::vector<int32_t>& remap) {
    std::vector<size_t> survivors;
    for (size_t j = 0; j < verts.size(); ++j) {
        remap[j] = -1;
        for (size_t s = 0; s < survivors.size(); ++s) {
            if (WeldClose(verts[survivors[s]], verts[j])) {
                remap[j] = static_cast<int32_t>(s);
                break;
            }
        }
        if (remap[j] < 0) {
            remap[j] = static_cast<int32_t>(kept.size());
            kept.push_back(verts[j]);
            survivors.push_back(j);
        }
    }
}

// Survivors are filed in a grid over the position whose cells are four times the tolerance
// wide. A position closer than the tolerance to another lies less than a quarter cell
// away from it, so per axis only the vertex's own cell and the neighbour on the nearer
// side can hold it: eight cells in all. Each cell chains its survivors in order, so the
// first close one in a cell is its lowest, and the lowest over the eight cells is exactly
// the survivor the pairwise comparison finds.
struct TCellKey {
    int64_t X, Y, Z;
    bool operator==(const TCellKey&) const = default;
};

struct TCellHash {
    size_t operator()(const TCellKey& k) const {
        uint64_t h = static_cast<uint64_t>(k.X) * 0x9E3779B97F4A7C15ull;
        h ^= static_cast<uint64_t>(k.Y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
        h ^= static_cast<uint64_t>(k.Z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
        return static_cast<size_t>(h);
    }
};

struct TCellSpan {
    int64_t First;  // the vertex's own cell, or the lower neighbour when it sits in the lower half
};

TCellSpan CellsOf(float v, int64_t& own) {
    constexpr double cell = 0.0004;
    constexpr double limit = 4.0e18;  // far beyond any float whose neighbours are this close
    double d = static_cast<double>(v) / cell;
    double c = std::floor(d);
    own = static_cast<int64_t>(std::clamp(c, -limit, limit));
    return {d - c < 0.5 ? own - 1 : own};
}

struct TCellChain {
    int32_t Head;
    int32_t Tail;
};

void WeldHashed(const std::vector<TDrawVertData>& verts, std::vector<TDrawVertData>& kept,
                std::vector<int32_t>& remap) {
    std::unordered_map<TCellKey, TCellChain, TCellHash> grid;
    grid.reserve(verts.size());
    std::vector<int32_t> next;  // next survivor in the same cell, -1 at the end
    for (size_t j = 0; j < verts.size(); ++j) {
        const TDrawVertData& v = verts[j];
        const TDotVector3& p = v.Position;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            // Nothing is within the tolerance of an infinite or undefined position.
            remap[j] = static_cast<int32_t>(kept.size());
            kept.push_back(v);
            next.push_back(-1);
            continue;
        }
        TCellKey own;
        const int64_t x0 = CellsOf(p.x, own.X).First;
        const int64_t y0 = CellsOf(p.y, own.Y).First;
        const int64_t z0 = CellsOf(p.z, own.Z).First;
        int32_t best = -1;
        for (int64_t x = x0; x <= x0 + 1; ++x) {
            for (int64_t y = y0; y <= y0 + 1; ++y) {
                for (int64_t z = z0; z <= z0 + 1; ++z) {
                    auto it = grid.find({x, y, z});
                    if (it == grid.end())
                        continue;
                    for (int32_t s = it->second.Head; s >= 0 && (best < 0 || s < best);
                         s = next[static_cast<size_t>(s)]) {
                        if (WeldClose(kept[static_cast<size_t>(s)], v)) {
                            best = s;
                            break;
                        }
                    }
                }
            }
        }
        if (best >= 0) {
            remap[j] = best;
            continue;
        }
        const int32_t index = static_cast<int32_t>(kept.size());
        remap[j] = index;
        kept.push_back(v);
        next.push_back(-1);
        auto [it, added] = grid.try_emplace(own, TCellChain{index, index});
        if (!added) {
            next[static_cast<size_t>(it->second.Tail)] = index;
            it->second.Tail = index;
        }
    }
}

void WriteColideBox(TStoredColideMesh& mesh) {
    mesh.BoxMin = {BoxStart, BoxStart, BoxStart};
    mesh.BoxMax = {-BoxStart, -BoxStart, -BoxStart};
    for (const auto& p : mesh.Vertices)
        GrowBox(mesh.BoxMin, mesh.BoxMax, p.x, p.y, p.z);
}

bool IndexOk(int32_t index, size_t count) { return index >= 0 && static_cast<size_t>(index) < count; }

// The converter's checks of one object; false after a message naming it.
bool CheckFaces(const TGeomData& geom) {
    const auto& mesh = geom.Mesh;
    for (const auto& f : mesh.Faces) {
        if (!IndexOk(f.A, mesh.Vertices.size()) || !IndexOk(f.B, mesh.Vertices.size()) ||
            !IndexOk(f.C, mesh.Vertices.size())) {
            Report("Объект \"" + geom.Name + "\": индекс вершины вне диапазона!");
            return false;
        }
    }
    return true;
}

bool CheckRender(const TLoadModelData& data, const TGeomData& geom) {
    const auto& mesh = geom.Mesh;
    if (!IndexOk(geom.MaterialRef, data.Materials.size())) {
        Report("Объект \"" + geom.Name + "\": материал " + std::to_string(geom.MaterialRef) +
               " не существует!");
        return false;
    }
    if (mesh.TFaces.size() != mesh.Faces.size()) {
        Report("Объект \"" + geom.Name + "\": число текстурных граней (" +
               std::to_string(mesh.TFaces.size()) + ") не совпадает с числом граней (" +
               std::to_string(mesh.Faces.size()) + ")!");
        return false;
    }
    if (mesh.TVerts.empty() && !mesh.Faces.empty()) {
        Report("Объект \"" + geom.Name + "\": нет текстурных координат!");
        return false;
    }
    for (const auto& tf : mesh.TFaces) {
        if (!IndexOk(tf.A, mesh.TVerts.size()) || !IndexOk(tf.B, mesh.TVerts.size()) ||
            !IndexOk(tf.C, mesh.TVerts.size())) {
            Report("Объект \"" + geom.Name + "\": индекс текстурной вершины вне диапазона!");
            return false;
        }
    }
    return CheckFaces(geom);
}

TStoredColideMesh MakeColideMesh(const TGeomData& geom) {
    TStoredColideMesh mesh;
    mesh.Name = geom.Name;
    mesh.Vertices.reserve(geom.Mesh.Vertices.size());
    for (const auto& v : geom.Mesh.Vertices)
        mesh.Vertices.push_back({v.x, v.y, v.z});
    for (const auto& f : geom.Mesh.Faces)
        mesh.Triangles.push_back({f.A, f.B, f.C});
    mesh.VertCount = static_cast<int32_t>(mesh.Vertices.size());
    mesh.TriCount = static_cast<int32_t>(mesh.Triangles.size());
    WriteColideBox(mesh);
    return mesh;
}

TStoredRenderMesh MakeRenderMesh(const TLoadModelData& data, const TGeomData& geom, TWeldMode weld) {
    const TMeshData& src = geom.Mesh;
    const size_t faceCount = src.Faces.size();

    // Unweld: three vertices of its own for every face.
    std::vector<TDrawVertData> verts(faceCount * 3);
    std::vector<TDotVector3> faceNormals(faceCount);
    for (size_t f = 0; f < faceCount; ++f) {
        const TFaceData& face = src.Faces[f];
        const TTripleIndex& tf = src.TFaces[f];
        const int32_t corners[3] = {face.A, face.B, face.C};
        const int32_t tcorners[3] = {tf.A, tf.B, tf.C};
        for (int k = 0; k < 3; ++k) {
            verts[f * 3 + k].Position = src.Vertices[static_cast<size_t>(corners[k])];
            verts[f * 3 + k].TexCoord = src.TVerts[static_cast<size_t>(tcorners[k])];
        }
        const TDotVector3& p0 = verts[f * 3].Position;
        TDotVector3 n =
            DotCross(DotSub(verts[f * 3 + 1].Position, p0), DotSub(verts[f * 3 + 2].Position, p0));
        DotNormalize(n);
        faceNormals[f] = n;
    }

    // Smoothed faces on each file vertex, once per corner on it, in face order: summing
    // over this list adds the same normals in the same order as scanning every face.
    std::vector<std::vector<int32_t>> facesAt(src.Vertices.size());
    for (size_t g = 0; g < faceCount; ++g) {
        const TFaceData& face = src.Faces[g];
        if (face.Smoothing == 0)
            continue;
        for (int32_t v : {face.A, face.B, face.C})
            facesAt[static_cast<size_t>(v)].push_back(static_cast<int32_t>(g));
    }
    for (size_t f = 0; f < faceCount; ++f) {
        const TFaceData& face = src.Faces[f];
        const int32_t corners[3] = {face.A, face.B, face.C};
        for (int k = 0; k < 3; ++k) {
            TDotVector3 n = faceNormals[f];
            if (face.Smoothing != 0) {
                n = {};
                for (int32_t g : facesAt[static_cast<size_t>(corners[k])]) {
                    if ((src.Faces[static_cast<size_t>(g)].Smoothing & face.Smoothing) != 0)
                        n = DotAdd(n, faceNormals[static_cast<size_t>(g)]);
                }
                DotNormalize(n);
            }
            verts[f * 3 + k].Normal = n;
        }
    }

    // Tangents: each corner takes the triangle starting at itself, in cyclic order.
    for (size_t f = 0; f < faceCount; ++f) {
        for (int k = 0; k < 3; ++k) {
            TDrawVertData& a = verts[f * 3 + k];
            const TDrawVertData& b = verts[f * 3 + (k + 1) % 3];
            const TDrawVertData& c = verts[f * 3 + (k + 2) % 3];
            TriangleTangents(a.Position, b.Position, c.Position, a.TexCoord, b.TexCoord, c.TexCoord, a.Normal,
                             a.Tangent, a.Binormal);
        }
    }

    std::vector<TDrawVertData> kept;
    std::vector<int32_t> remap;
    WeldVertices(verts, weld, kept, remap);

    TStoredRenderMesh mesh;
    mesh.Name = geom.Name;
    const TMaterialData& mat = data.Materials[static_cast<size_t>(geom.MaterialRef)];
    mesh.Material.DiffuseMap = mat.TextureName;
    mesh.Material.BumpMap = mat.AuxName;
    mesh.BoxMin = {BoxStart, BoxStart, BoxStart};
    mesh.BoxMax = {-BoxStart, -BoxStart, -BoxStart};
    mesh.Vertices.reserve(kept.size() * StaticVertexSize);
    for (const auto& v : kept) {
        GrowBox(mesh.BoxMin, mesh.BoxMax, v.Position.x, v.Position.y, v.Position.z);
        const float* s = Singles(v);
        mesh.Vertices.insert(mesh.Vertices.end(), s, s + StaticVertexSize);
    }
    mesh.Triangles.reserve(faceCount);
    for (size_t f = 0; f < faceCount; ++f)
        mesh.Triangles.push_back({remap[f * 3], remap[f * 3 + 1], remap[f * 3 + 2]});
    mesh.VertCount = static_cast<int32_t>(kept.size());
    mesh.TriCount = static_cast<int32_t>(faceCount);
    return mesh;
}

std::string Prefix3(const std::string& name) { return ToUpperAscii(name.substr(0, 3)); }

}  // namespace

void WeldVertices(const std::vector<TDrawVertData>& verts, TWeldMode mode, std::vector<TDrawVertData>& kept,
                  std::vector<int32_t>& remap) {
    kept.clear();
    remap.assign(verts.size(), -1);
    if (mode == TWeldMode::Quadratic)
        WeldQuadratic(verts, kept, remap);
    else
        WeldHashed(verts, kept, remap);
}

std::unique_ptr<TMemoryStream> ConvertModel(const TLoadModelData& data, TWeldMode weld) {
    std::vector<const TGeomData*> colide;
    std::vector<const TGeomData*> render;
    for (const auto& geom : data.Geoms) {
        if (Prefix3(geom.Name) == "CM_")
            colide.push_back(&geom);
        else if (geom.MaterialRef >= 0)
            render.push_back(&geom);
    }
    // A render object without a collision object of its own collides with its own shape,
    // unless its name says it never collides.
    const size_t ownColide = colide.size();
    for (const TGeomData* geom : render) {
        if (Prefix3(geom->Name) == "JR_")
            continue;
        bool hasOwn = false;
        for (size_t i = 0; i < ownColide && !hasOwn; ++i)
            hasOwn = colide[i]->Name == "CM_" + geom->Name;
        if (!hasOwn)
            colide.push_back(geom);
    }

    for (const TGeomData* geom : colide) {
        if (!CheckFaces(*geom))
            return nullptr;
    }
    for (const TGeomData* geom : render) {
        if (!CheckRender(data, *geom))
            return nullptr;
    }

    TModelStreamData model;
    for (const TGeomData* geom : colide)
        model.ColidData.Meshes.push_back(MakeColideMesh(*geom));
    for (const TGeomData* geom : render)
        model.RendData.Meshes.push_back(MakeRenderMesh(data, *geom, weld));
    model.ColidData.MeshCount = static_cast<int32_t>(model.ColidData.Meshes.size());
    model.RendData.MeshCount = static_cast<int32_t>(model.RendData.Meshes.size());

    auto stream = std::make_unique<TMemoryStream>();
    WriteModelStream(*stream, model);
    return stream;
}
