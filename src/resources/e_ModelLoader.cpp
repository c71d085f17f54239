// The message procedure and the game's own model stream (.PRM / .PAM): reading it with every
// count checked, writing it, and peeking at the animation a skinned model may carry. The ASE
// and 3DS readers and the converter have files of their own (e_ModelLoaderASE.cpp,
// e_ModelLoader3DS.cpp, e_ModelLoaderConvert.cpp).

#include "resources/e_ModelLoader.h"

#include "app/e_ByteReader.h"
#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "resources/e_ModelLoaderShared.h"

#include <atomic>
#include <stdexcept>

static_assert(sizeof(TMyVector3f) == 12, "collision vertices are read and written as packed singles");
static_assert(sizeof(TTriangleIndex) == 12, "triangles are read and written as packed indices");
static_assert(sizeof(TDotVector3) == 12 && sizeof(TDotVector2) == 8);

namespace {

void DefaultMessageProc(const std::string& caption, const std::string& text) {
    ShowMessageBox(caption, text);
}

std::atomic<TModelMessageProc> MessageProc{&DefaultMessageProc};

}  // namespace

namespace model_loader {

void ShowModelMessage(const std::string& caption, const std::string& text) {
    MessageProc.load()(caption, text);
}

void Report(const std::string& text) { ShowModelMessage("Program Message:", text); }

}  // namespace model_loader

using namespace model_loader;

namespace {

// ---------------------------------------------------------------------------
// Model stream
// ---------------------------------------------------------------------------

int32_t ReadCount(TMemoryStream& stream, uint64_t bytesEach, const char* what) {
    int32_t count = stream.ReadInt32();
    if (count < 0)
        throw TStreamReadError(std::string("negative ") + what + " count " + std::to_string(count));
    stream.RequireBytes(static_cast<uint64_t>(count) * bytesEach, what);
    return count;
}

void ReadTriangles(TMemoryStream& stream, int32_t vertCount, const std::string& meshName, int32_t& triCount,
                   std::vector<TTriangleIndex>& triangles) {
    triCount = ReadCount(stream, sizeof(TTriangleIndex), "triangle");
    triangles.resize(static_cast<size_t>(triCount));
    stream.ReadBuffer(triangles.data(), triangles.size() * sizeof(TTriangleIndex));
    for (const auto& t : triangles) {
        for (int32_t index : {t.A, t.B, t.C}) {
            if (index < 0 || index >= vertCount)
                throw TStreamReadError("mesh \"" + meshName + "\": triangle index " + std::to_string(index) +
                                       " outside its " + std::to_string(vertCount) + " vertices");
        }
    }
}

void WriteTriangles(TMemoryStream& stream, const std::vector<TTriangleIndex>& triangles) {
    stream.WriteInt32(static_cast<int32_t>(triangles.size()));
    stream.WriteBuffer(triangles.data(), triangles.size() * sizeof(TTriangleIndex));
}

}  // namespace

bool ReadModelStream(TMemoryStream& stream, bool skinned, TModelStreamData& data) {
    data = TModelStreamData{};
    data.Skinned = skinned;
    stream.Seek(0);
    data.Version = stream.ReadInt32();
    if (data.Version != ModelStreamVersion)
        return false;
    if (skinned)
        data.Scale = stream.ReadSingle();

    // The smallest mesh records, used to refuse absurd counts before reading them.
    constexpr uint64_t minColideMesh = 4 + 24 + 4 + 4;
    // Render mesh: name, diffuse map, three flags, alpha reference, bump map, parallax flag
    // and scale, gloss map, specular power, box, vertex and triangle counts.
    constexpr uint64_t minRenderMesh = 4 + 4 + 12 + 4 + 4 + 4 + 4 + 4 + 4 + 24 + 4 + 4;

    auto& colid = data.ColidData;
    colid.MeshCount = ReadCount(stream, minColideMesh, "collision mesh");
    colid.BoxMin = {BoxStart, BoxStart, BoxStart};
    colid.BoxMax = {-BoxStart, -BoxStart, -BoxStart};
    colid.Meshes.resize(static_cast<size_t>(colid.MeshCount));
    for (auto& mesh : colid.Meshes) {
        mesh.Name = stream.ReadString();
        mesh.BoxMin = stream.ReadVector3();
        mesh.BoxMax = stream.ReadVector3();
        mesh.VertCount = ReadCount(stream, sizeof(TMyVector3f), "collision vertex");
        mesh.Vertices.resize(static_cast<size_t>(mesh.VertCount));
        stream.ReadBuffer(mesh.Vertices.data(), mesh.Vertices.size() * sizeof(TMyVector3f));
        ReadTriangles(stream, mesh.VertCount, mesh.Name, mesh.TriCount, mesh.Triangles);
        GrowBox(colid.BoxMin, colid.BoxMax, mesh.BoxMin.x, mesh.BoxMin.y, mesh.BoxMin.z);
        GrowBox(colid.BoxMin, colid.BoxMax, mesh.BoxMax.x, mesh.BoxMax.y, mesh.BoxMax.z);
    }

    auto& rend = data.RendData;
    if (skinned) {
        rend.BoneCount = stream.ReadInt32();
        if (rend.BoneCount < 0)
            throw TStreamReadError("negative bone count " + std::to_string(rend.BoneCount));
    }
    const int32_t vertexSize = skinned ? SkinnedVertexSize : StaticVertexSize;
    rend.MeshCount = ReadCount(stream, minRenderMesh, "render mesh");
    rend.BoxMin = {BoxStart, BoxStart, BoxStart};
    rend.BoxMax = {-BoxStart, -BoxStart, -BoxStart};
    rend.Meshes.resize(static_cast<size_t>(rend.MeshCount));
    for (auto& mesh : rend.Meshes) {
        mesh.Name = stream.ReadString();
        auto& mat = mesh.Material;
        mat.DiffuseMap = stream.ReadString();
        mat.Emissive = stream.ReadBool32();
        mat.Blended = stream.ReadBool32();
        mat.AlphaTest = stream.ReadBool32();
        mat.AlphaRef = stream.ReadSingle();
        mat.BumpMap = stream.ReadString();
        mat.Parallax = stream.ReadBool32();
        mat.ParallaxScale = stream.ReadSingle();
        mat.GlossMap = stream.ReadString();
        mat.SpecPower = stream.ReadSingle();
        mesh.BoxMin = stream.ReadVector3();
        mesh.BoxMax = stream.ReadVector3();
        mesh.VertCount =
            ReadCount(stream, static_cast<uint64_t>(vertexSize) * sizeof(float), "render vertex");
        mesh.Vertices.resize(static_cast<size_t>(mesh.VertCount) * static_cast<size_t>(vertexSize));
        stream.ReadBuffer(mesh.Vertices.data(), mesh.Vertices.size() * sizeof(float));
        ReadTriangles(stream, mesh.VertCount, mesh.Name, mesh.TriCount, mesh.Triangles);
        GrowBox(rend.BoxMin, rend.BoxMax, mesh.BoxMin.x, mesh.BoxMin.y, mesh.BoxMin.z);
        GrowBox(rend.BoxMin, rend.BoxMax, mesh.BoxMax.x, mesh.BoxMax.y, mesh.BoxMax.z);
    }
    return true;
}

void WriteModelStream(TMemoryStream& stream, const TModelStreamData& data) {
    const size_t vertexSize = data.Skinned ? SkinnedVertexSize : StaticVertexSize;
    for (const auto& mesh : data.RendData.Meshes) {
        if (mesh.Vertices.size() % vertexSize != 0)
            throw std::invalid_argument("render mesh \"" + mesh.Name +
                                        "\": " + std::to_string(mesh.Vertices.size()) +
                                        " singles are not whole vertices of " + std::to_string(vertexSize));
    }

    stream.WriteInt32(data.Version);
    if (data.Skinned)
        stream.WriteSingle(data.Scale);
    stream.WriteInt32(static_cast<int32_t>(data.ColidData.Meshes.size()));
    for (const auto& mesh : data.ColidData.Meshes) {
        stream.WriteString(mesh.Name);
        stream.WriteVector3(mesh.BoxMin);
        stream.WriteVector3(mesh.BoxMax);
        stream.WriteInt32(static_cast<int32_t>(mesh.Vertices.size()));
        stream.WriteBuffer(mesh.Vertices.data(), mesh.Vertices.size() * sizeof(TMyVector3f));
        WriteTriangles(stream, mesh.Triangles);
    }
    if (data.Skinned)
        stream.WriteInt32(data.RendData.BoneCount);
    stream.WriteInt32(static_cast<int32_t>(data.RendData.Meshes.size()));
    for (const auto& mesh : data.RendData.Meshes) {
        const auto& mat = mesh.Material;
        stream.WriteString(mesh.Name);
        stream.WriteString(mat.DiffuseMap);
        stream.WriteBool32(mat.Emissive);
        stream.WriteBool32(mat.Blended);
        stream.WriteBool32(mat.AlphaTest);
        stream.WriteSingle(mat.AlphaRef);
        stream.WriteString(mat.BumpMap);
        stream.WriteBool32(mat.Parallax);
        stream.WriteSingle(mat.ParallaxScale);
        stream.WriteString(mat.GlossMap);
        stream.WriteSingle(mat.SpecPower);
        stream.WriteVector3(mesh.BoxMin);
        stream.WriteVector3(mesh.BoxMax);
        stream.WriteInt32(static_cast<int32_t>(mesh.Vertices.size() / vertexSize));
        stream.WriteBuffer(mesh.Vertices.data(), mesh.Vertices.size() * sizeof(float));
        WriteTriangles(stream, mesh.Triangles);
    }
    if (data.Skinned && data.Animation) {
        const auto& anim = *data.Animation;
        stream.WriteInt32(anim.BoneCount);
        stream.WriteInt32(anim.FrameCount);
        stream.WriteInt32(anim.FrameRate);
        for (int32_t bone = 0; bone < anim.BoneCount; ++bone) {
            for (int32_t frame = 0; frame < anim.FrameCount; ++frame) {
                const TBoneFrame& f =
                    anim.Frames.at(static_cast<size_t>(bone)).at(static_cast<size_t>(frame));
                stream.WriteVector3(f.Position);
                stream.WriteSingle(f.Rotation.x);
                stream.WriteSingle(f.Rotation.y);
                stream.WriteSingle(f.Rotation.z);
                stream.WriteSingle(f.Rotation.w);
            }
        }
    }
}

std::vector<uint8_t> WriteModelStream(const TModelStreamData& data) {
    TMemoryStream stream;
    WriteModelStream(stream, data);
    return std::move(stream.Bytes());
}

std::optional<TEmbeddedAnimationInfo> PeekEmbeddedAnimation(const TMemoryStream& stream) {
    if (stream.Remaining() < 12)
        return std::nullopt;
    TByteReader p(stream.Bytes().data() + stream.GetPosition(), 12);
    TEmbeddedAnimationInfo info;
    p.ReadI32(info.BoneCount);
    p.ReadI32(info.FrameCount);
    p.ReadI32(info.FrameRate);
    return info;
}

TModelMessageProc SetModelMessageProc(TModelMessageProc proc) {
    return MessageProc.exchange(proc ? proc : &DefaultMessageProc);
}
