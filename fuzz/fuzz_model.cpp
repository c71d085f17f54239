// The game's binary model stream: ".PRM" (static) and ".PAM" (skinned, optionally with
// its animation after the meshes). Each input is read in both layouts.

#include "FuzzSupport.h"
#include "resources/e_ModelLoader.h"
#include "resources/e_ResManagerClasses.h"

#include <vector>

namespace {

// What was read must write back into a stream that reads the same.
void CheckRoundTrip(const TModelStreamData& data, bool skinned) {
    TModelStreamData copy = data;
    copy.Skinned = skinned;
    copy.Animation.reset();
    TMemoryStream stream(WriteModelStream(copy));
    TModelStreamData again;
    fuzz::Require(ReadModelStream(stream, skinned, again), "rewritten model stream has another version");
    fuzz::Require(stream.Remaining() == 0, "rewritten model stream has bytes left over");
    fuzz::Require(again.ColidData.Meshes.size() == data.ColidData.Meshes.size() &&
                      again.RendData.Meshes.size() == data.RendData.Meshes.size(),
                  "rewritten model stream has other mesh counts");
    for (size_t i = 0; i < data.RendData.Meshes.size(); ++i) {
        const auto& a = data.RendData.Meshes[i];
        const auto& b = again.RendData.Meshes[i];
        fuzz::Require(a.Name == b.Name && a.Vertices.size() == b.Vertices.size() &&
                          a.Triangles.size() == b.Triangles.size() &&
                          a.Material.DiffuseMap == b.Material.DiffuseMap,
                      "rewritten render mesh differs");
    }
}

void ReadAs(const std::vector<uint8_t>& bytes, bool skinned) {
    TMemoryStream stream(bytes);
    TModelStreamData data;
    try {
        if (!ReadModelStream(stream, skinned, data))
            return;  // another version: the caller reports it
    } catch (const TStreamReadError&) {
        return;
    }
    fuzz::Require(data.ColidData.MeshCount == int32_t(data.ColidData.Meshes.size()) &&
                      data.RendData.MeshCount == int32_t(data.RendData.Meshes.size()),
                  "mesh counts differ from the meshes read");
    const size_t vertexSize = skinned ? SkinnedVertexSize : StaticVertexSize;
    for (const auto& mesh : data.RendData.Meshes) {
        fuzz::Require(mesh.Vertices.size() == size_t(mesh.VertCount) * vertexSize,
                      "render mesh vertex count");
        for (const auto& t : mesh.Triangles)
            fuzz::Require(t.A >= 0 && t.B >= 0 && t.C >= 0 && t.A < mesh.VertCount && t.B < mesh.VertCount &&
                              t.C < mesh.VertCount,
                          "render triangle outside its mesh");
    }
    for (const auto& mesh : data.ColidData.Meshes) {
        fuzz::Require(mesh.Vertices.size() == size_t(mesh.VertCount), "collision mesh vertex count");
        for (const auto& t : mesh.Triangles)
            fuzz::Require(t.A >= 0 && t.B >= 0 && t.C >= 0 && t.A < mesh.VertCount && t.B < mesh.VertCount &&
                              t.C < mesh.VertCount,
                          "collision triangle outside its mesh");
    }
    CheckRoundTrip(data, skinned);

    // A ".PAM" goes on with the animation the model class reads from here.
    if (skinned && PeekEmbeddedAnimation(stream)) {
        try {
            TSkeletalAnimation animation("", data.Scale, stream);
            fuzz::Require(animation.Data.Frames.size() == size_t(animation.Data.BoneCount),
                          "embedded animation has another number of tracks");
        } catch (const TStreamReadError&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    ReadAs(bytes, false);
    ReadAs(bytes, true);
    return 0;
}
