// The 3DS reader: the chunks of a 3D Studio file walked with every length and count checked
// against the chunk that holds it. Objects, their vertices, faces, texture coordinates,
// smoothing groups and materials become loader records; everything else is skipped.

#include "resources/e_ModelLoader.h"

#include "app/e_ByteReader.h"
#include "app/e_Platform.h"
#include "resources/e_ModelLoaderShared.h"

#include <cstring>

using namespace model_loader;

namespace {

// Thrown when a length or count does not fit: the file is damaged.
struct T3dsDamaged {};

// A 3DS chunk being read: a 2-byte id and a 4-byte length that includes the 6-byte
// header, followed by its data and sub-chunks. Every read stays inside the chunk.
class TChunk {
public:
    uint16_t Id = 0;
    uint32_t Length = 0;

    // Reads the header of the chunk that starts at `start`; it must lie within `limit`.
    TChunk(const uint8_t* file, TLoadModelData& data, size_t start, size_t limit) : Data(data) {
        if (start > limit || limit - start < 6)
            throw T3dsDamaged{};
        TByteReader header(file + start, limit - start);
        header.ReadU16(Id);
        header.ReadU32(Length);
        if (Length < 6 || Length > limit - start)
            throw T3dsDamaged{};
        Body = TByteReader(file + start, Length);
        Body.Skip(6);
    }

    uint16_t ReadU16() {
        uint16_t v;
        Check(Body.ReadU16(v));
        return v;
    }
    uint32_t ReadU32() {
        uint32_t v;
        Check(Body.ReadU32(v));
        return v;
    }
    float ReadSingle() {
        float v;
        Check(Body.ReadSingle(v));
        return v;
    }
    // A zero-terminated string, which must end inside the chunk.
    std::string ReadString() {
        const char* begin = reinterpret_cast<const char*>(Body.Here());
        const void* nul = std::memchr(begin, 0, Body.Remaining());
        if (!nul)
            throw T3dsDamaged{};
        size_t n = static_cast<size_t>(static_cast<const char*>(nul) - begin);
        Body.Skip(n + 1);
        return std::string(begin, n);
    }
    // Fails unless `n` bytes are left, so that a count is checked before it is used.
    void Require(uint64_t n) const { Check(n <= Body.Remaining()); }
    size_t Unread() const { return Body.Remaining(); }
    void SkipRest() { Body.Seek(Body.Size()); }
    // The next sub-chunk; only called while at least 6 bytes are unread.
    TChunk Next() const { return TChunk(Body.Here(), Data, 0, Body.Remaining()); }
    void Consumed(const TChunk& sub) { Body.Skip(sub.Length); }
    TLoadModelData& Model() { return Data; }

private:
    static void Check(bool ok) {
        if (!ok)
            throw T3dsDamaged{};
    }

    TLoadModelData& Data;
    TByteReader Body;  // the whole chunk, header included
};

// Containers nest a handful of levels in real files; the limit keeps a crafted file of
// nested chunks from exhausting the stack.
constexpr int MaxChunkDepth = 32;

void ReadChunk(TChunk& chunk, int depth);

void ReadSubChunks(TChunk& chunk, int depth) {
    if (depth >= MaxChunkDepth)
        throw T3dsDamaged{};
    // Fewer than 6 bytes left over cannot hold a chunk: they are padding.
    while (chunk.Unread() >= 6) {
        TChunk sub = chunk.Next();
        ReadChunk(sub, depth + 1);
        chunk.Consumed(sub);
    }
    chunk.SkipRest();
}

TGeomData* CurrentGeom(TChunk& chunk) {
    auto& geoms = chunk.Model().Geoms;
    return geoms.empty() ? nullptr : &geoms.back();
}

TMaterialData* CurrentMaterial(TChunk& chunk) {
    auto& mats = chunk.Model().Materials;
    return mats.empty() ? nullptr : &mats.back();
}

void ReadChunk(TChunk& chunk, int depth) {
    TLoadModelData& data = chunk.Model();
    switch (chunk.Id) {
    case 0x4D4D:  // main
    case 0x3D3D:  // editor
    case 0x4100:  // triangle mesh
    case 0xA200:  // texture map 1
        ReadSubChunks(chunk, depth);
        break;
    case 0x0002:  // file version
        if (chunk.ReadU32() > 3)
            ShowModelMessage("Warning", "Unsupported file version.");
        break;
    case 0x4000: {  // named object
        TGeomData geom;
        geom.Name = chunk.ReadString();
        data.Geoms.push_back(std::move(geom));
        ReadSubChunks(chunk, depth);
        break;
    }
    case 0x4110: {  // vertex list
        TGeomData* geom = CurrentGeom(chunk);
        if (!geom)
            break;
        uint16_t n = chunk.ReadU16();
        chunk.Require(uint64_t{n} * 12);
        auto& verts = geom->Mesh.Vertices;
        verts.clear();
        verts.reserve(n);
        for (uint16_t i = 0; i < n; ++i) {
            float x = chunk.ReadSingle();
            float y = chunk.ReadSingle();
            float z = chunk.ReadSingle();
            verts.push_back({x, z, -y});
        }
        geom->Mesh.VertCount = n;
        break;
    }
    case 0x4120: {  // face list, then its material and smoothing sub-chunks
        TGeomData* geom = CurrentGeom(chunk);
        if (!geom)
            break;
        uint16_t n = chunk.ReadU16();
        chunk.Require(uint64_t{n} * 8);
        auto& faces = geom->Mesh.Faces;
        faces.clear();
        faces.reserve(n);
        for (uint16_t i = 0; i < n; ++i) {
            TFaceData f;
            f.A = chunk.ReadU16();
            f.B = chunk.ReadU16();
            f.C = chunk.ReadU16();
            chunk.ReadU16();  // edge flags
            faces.push_back(f);
        }
        geom->Mesh.FaceCount = n;
        ReadSubChunks(chunk, depth);
        break;
    }
    case 0x4130: {  // face material: the object takes the material of that exact name
        TGeomData* geom = CurrentGeom(chunk);
        if (!geom)
            break;
        std::string name = chunk.ReadString();
        geom->MaterialRef = -1;
        for (size_t i = 0; i < data.Materials.size(); ++i) {
            if (data.Materials[i].AuxName == name) {
                geom->MaterialRef = static_cast<int32_t>(i);
                break;
            }
        }
        break;
    }
    case 0x4140: {  // texture coordinates, one per vertex
        TGeomData* geom = CurrentGeom(chunk);
        if (!geom)
            break;
        uint16_t n = chunk.ReadU16();
        chunk.Require(uint64_t{n} * 8);
        auto& tverts = geom->Mesh.TVerts;
        tverts.clear();
        tverts.reserve(n);
        for (uint16_t i = 0; i < n; ++i) {
            float u = chunk.ReadSingle();
            float v = chunk.ReadSingle();
            tverts.push_back({u, v});
        }
        geom->Mesh.TVertCount = n;
        break;
    }
    case 0x4150: {  // smoothing groups, one mask per face
        TGeomData* geom = CurrentGeom(chunk);
        if (!geom)
            break;
        auto& faces = geom->Mesh.Faces;
        chunk.Require(uint64_t{faces.size()} * 4);
        for (auto& f : faces)
            f.Smoothing = chunk.ReadU32();
        break;
    }
    case 0xAFFF:  // material block
        data.Materials.emplace_back();
        ReadSubChunks(chunk, depth);
        break;
    case 0xA000:  // material name, kept to resolve face materials
        if (TMaterialData* mat = CurrentMaterial(chunk))
            mat->AuxName = chunk.ReadString();
        break;
    case 0xA300:  // map file name
        if (TMaterialData* mat = CurrentMaterial(chunk))
            mat->TextureName = chunk.ReadString();
        break;
    default:  // keyframer (0xB000) and everything not understood
        break;
    }
    chunk.SkipRest();
}

}  // namespace

bool Read3DSData(const std::vector<uint8_t>& bytes, TLoadModelData& data) {
    data = TLoadModelData{};
    try {
        TChunk main(bytes.data(), data, 0, bytes.size());
        if (main.Id != 0x4D4D) {
            data = TLoadModelData{};
            return false;
        }
        ReadChunk(main, 0);
    } catch (const T3dsDamaged&) {
        data = TLoadModelData{};
        return false;
    }
    data.MaterialCount = static_cast<int32_t>(data.Materials.size());
    for (auto& mat : data.Materials)
        mat.AuxName.clear();
    // One texture coordinate per vertex: the texture faces are the faces.
    for (auto& geom : data.Geoms) {
        if (geom.MaterialRef < 0)
            continue;
        auto& mesh = geom.Mesh;
        mesh.TFaces.clear();
        for (const auto& f : mesh.Faces)
            mesh.TFaces.push_back({f.A, f.B, f.C});
        mesh.TFaceCount = mesh.FaceCount;
    }
    return true;
}

std::unique_ptr<TMemoryStream> Read3DS(const std::string& fileName) {
    auto bytes = ReadWholeFile(fileName);
    if (!bytes)
        return nullptr;
    TLoadModelData data;
    if (!Read3DSData(*bytes, data))
        return nullptr;
    return ConvertModel(data);
}
