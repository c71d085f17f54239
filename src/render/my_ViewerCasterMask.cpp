// Where in the shadow map a caster may have drawn: a coarse mask over it.
//
// Most of the ground lies in no shadow at all, yet every landscape fragment read
// four texels of the 2048 x 2048 map. A software rasteriser runs both sides of a
// branch, so skipping the reads has to be decided before the draw: the landscape
// draws its tiles that no caster can reach with the program that reads no shadow.
// Each cell of the mask covers 8 x 8 texels and says whether any caster's box, seen
// from the light and two texels wider, touches it. The boxes are generous, so the
// picture is the one the full lookups give: a figure's box follows its pose, bone
// by bone.

#include "render/my_Viewer.h"
#include "render/my_ViewerState.h"

#include <algorithm>
#include <cmath>
#include <map>

using namespace viewer;

namespace {

constexpr int32_t MaskSize = 256;

struct TCellRange {
    int32_t C0 = 0, C1 = -1, R0 = 0, R1 = -1;  // inclusive; empty when C0 > C1 or R0 > R1
};

// The cells under the light-space bounds of a box given by its corners, two texels
// wider on each side: a caster's fragments lie inside its bounds, and a lookup reads
// the 2 x 2 texels round its point. A broken matrix gives every cell.
TCellRange CellsUnder(const TMatrix4f& toLight, const TMyVector3f& lo, const TMyVector3f& hi) {
    float u0 = 1e30f, u1 = -1e30f, v0 = 1e30f, v1 = -1e30f;
    for (int corner = 0; corner < 8; ++corner) {
        const TMyVector3f q = MatTransformPoint(toLight, BoxCorner(lo, hi, corner));
        u0 = std::min(u0, q.x), u1 = std::max(u1, q.x);
        v0 = std::min(v0, q.y), v1 = std::max(v1, q.y);
    }
    if (!(u0 <= u1) || !(v0 <= v1))
        return {0, MaskSize - 1, 0, MaskSize - 1};
    const float margin = 4.0f / float(std::max(V.ShadowSize, 1));  // two texels, in -1..1 units
    auto cell = [](float ndc) {
        const float c = std::floor((ndc * 0.5f + 0.5f) * float(MaskSize));
        return int32_t(std::clamp(c, -1.0f, float(MaskSize)));
    };
    return {std::max(cell(u0 - margin), 0), std::min(cell(u1 + margin), MaskSize - 1),
            std::max(cell(v0 - margin), 0), std::min(cell(v1 + margin), MaskSize - 1)};
}

void MarkBox(std::vector<uint8_t>& cells, const TMatrix4f& toLight, const TMyVector3f& lo,
             const TMyVector3f& hi) {
    const TCellRange range = CellsUnder(toLight, lo, hi);
    for (int32_t r = range.R0; r <= range.R1; ++r)
        std::fill(cells.begin() + r * MaskSize + range.C0, cells.begin() + r * MaskSize + range.C1 + 1,
                  uint8_t(1));
}

struct TBox {
    TMyVector3f Lo{1e30f, 1e30f, 1e30f}, Hi{-1e30f, -1e30f, -1e30f};
    bool Empty() const { return !(Lo.x <= Hi.x); }
    void Add(const TMyVector3f& p) {
        Lo = {std::min(Lo.x, p.x), std::min(Lo.y, p.y), std::min(Lo.z, p.z)};
        Hi = {std::max(Hi.x, p.x), std::max(Hi.y, p.y), std::max(Hi.z, p.z)};
    }
};

// A figure's bind-pose vertices grouped by the bones that move them, as the
// skinning programs read them: a box per bone, and one for vertices no bone moves.
struct TBoneBoxes {
    std::vector<TBox> Bones;  // MaxSkinBones
    TBox Unmoved;
    int32_t HighestBone = -1;
};

TBoneBoxes MakeBoneBoxes(const TStoredRendData& rend) {
    TBoneBoxes boxes;
    boxes.Bones.resize(MaxSkinBones);
    for (const TStoredRenderMesh& mesh : rend.Meshes) {
        const size_t count =
            std::min(size_t(std::max(mesh.VertCount, 0)), mesh.Vertices.size() / SkinnedVertexSize);
        for (size_t v = 0; v < count; ++v) {
            const float* f = &mesh.Vertices[v * SkinnedVertexSize];
            const TMyVector3f p{f[0], f[1], f[2]};
            float total = 0.0f;
            for (int k = 0; k < 4; ++k) {
                const float weight = f[18 + k];
                if (!(weight > 0.0f))
                    continue;
                const int32_t bone = int32_t(std::clamp(f[14 + k] + 0.5f, 0.0f, float(MaxSkinBones - 1)));
                boxes.Bones[bone].Add(p);
                boxes.HighestBone = std::max(boxes.HighestBone, bone);
                total += weight;
            }
            if (total < 0.0001f)
                boxes.Unmoved.Add(p);
        }
    }
    return boxes;
}

TMyVector3f Rotate(const TMyVector4f& q, const TMyVector3f& v) {
    const TMyVector3f u{q.y, q.z, q.w};
    return v + Vec3Cross(u, Vec3Cross(u, v) + v * q.x) * 2.0f;
}

// The box of a figure in its pose: each bone's box moved as the bone moves its
// vertices. A blended vertex lies between the places its bones would put it, so
// inside the union. False when the pose does not say where every used bone is.
// `byModel` keeps the bone boxes of the frame's models (handles are reused once a
// model is freed, so they are kept no longer).
bool PosedBox(const TStoredRendData& rend, int32_t handle, const TModelDrawItem& inst,
              std::map<int32_t, TBoneBoxes>& byModel, TBox& out) {
    auto it = byModel.find(handle);
    if (it == byModel.end())
        it = byModel.emplace(handle, MakeBoneBoxes(rend)).first;
    const TBoneBoxes& boxes = it->second;
    const bool posed = inst.Pose && inst.BoneCount > 0;
    if (posed && boxes.HighestBone >= std::min(inst.BoneCount, MaxSkinBones))
        return false;
    out = boxes.Unmoved;
    for (int32_t b = 0; b <= boxes.HighestBone; ++b) {
        const TBox& box = boxes.Bones[b];
        if (box.Empty())
            continue;
        TMyVector4f q{1.0f, 0.0f, 0.0f, 0.0f};
        TMyVector3f t{};
        if (posed) {
            q = inst.Pose[b].Rotation;
            t = inst.Pose[b].Position;
            const float len = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
            q = len > 0.000001f ? TMyVector4f{q.x / len, q.y / len, q.z / len, q.w / len}
                                : TMyVector4f{1.0f, 0.0f, 0.0f, 0.0f};
        }
        for (int corner = 0; corner < 8; ++corner)
            out.Add(Rotate(q, BoxCorner(box.Lo, box.Hi, corner)) + t);
    }
    return !out.Empty();
}

}  // namespace

namespace viewer {

void MarkShadowCasters(const TMatrix4f& lightProjView) {
    std::vector<uint8_t> cells(size_t(MaskSize) * MaskSize, 0);
    std::map<int32_t, TBoneBoxes> boneBoxes;
    for (TMeshBucket bucket : {BucketStaticBump, BucketStaticPlain, BucketStaticEmissive, BucketSkinBump,
                               BucketSkinPlain, BucketSkinEmissive}) {
        ForEachInstanceIn(bucket, [&](const TModelDrawItem& inst, const TResMdlInfo& info) {
            const TStoredRendData* rend = info.RendData;
            TBox box;
            if (rend)
                box.Lo = rend->BoxMin, box.Hi = rend->BoxMax;
            if (!rend || box.Empty() ||
                (inst.Skinned && !PosedBox(*rend, inst.ModelHandle, inst, boneBoxes, box)))
                cells.assign(cells.size(), 1);  // where it is cannot be told
            else
                MarkBox(cells, MatMultiply(lightProjView, inst.ModelMatrix), box.Lo, box.Hi);
            return true;
        });
    }
    V.CasterCells.Make(MaskSize, MaskSize,
                       [&](int32_t c, int32_t r) { return cells[size_t(r) * MaskSize + size_t(c)] != 0; });
    V.CasterLight = lightProjView;
}

void ForgetShadowCasters() { V.CasterCells.Clear(); }

bool MayReceiveShadow(const TMyVector3f& lo, const TMyVector3f& hi) {
    if (V.CasterCells.Empty())
        return true;
    const TCellRange range = CellsUnder(V.CasterLight, lo, hi);
    if (range.C0 > range.C1 || range.R0 > range.R1)  // off the map, where nothing is shadowed
        return false;
    return V.CasterCells.AnyMarked(range.C0, range.R0, range.C1, range.R1);
}

}  // namespace viewer
