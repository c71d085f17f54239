#pragma once
// A small mesh-building library for the model generators: primitives (boxes, lathed
// profiles, ellipsoids, extruded outlines, flat cards) placed with a matrix and bound to a
// bone, a skeleton with forward kinematics that turns joint rotations into the pose frames
// the skinning shaders expect, and writers for the model stream, the ".PSA" clip, and the
// ".ASE" and ".3DS" interchange files in the layouts the game's readers take.
//
// Conventions of the generated models: y is up, a figure or a pointing model faces +x (the
// game turns +x towards a unit's heading), so +z is a figure's right-hand side. Units are
// map units (one tile).

#include "resources/e_ModelLoader.h"
#include "resources/e_ResManagerTypes.h"
#include "world/e_Math.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gen {

// ---------------------------------------------------------------------------------------------
// Geometry

// A rectangle of the texture in texture coordinates (v = 0 at the bottom row).
struct TUVRect {
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
    float U(float s) const { return u0 + (u1 - u0) * s; }
    float V(float t) const { return v0 + (v1 - v0) * t; }
};

struct TMeshVertex {
    TMyVector3f Pos;
    TMyVector3f Normal{0.0f, 1.0f, 0.0f};
    float U = 0.0f, V = 0.0f;
    std::array<int32_t, 4> Bones{0, 0, 0, 0};
    std::array<float, 4> Weights{0.0f, 0.0f, 0.0f, 0.0f};
};

// Triangles with their vertices. Primitives are built in their own space and added to a
// part with a placement matrix and a bone.
class TMeshPart {
public:
    std::vector<TMeshVertex> Verts;
    std::vector<TTriangleIndex> Tris;

    int32_t AddVertex(const TMyVector3f& pos, const TMyVector3f& normal, float u, float v);
    void AddTriangle(int32_t a, int32_t b, int32_t c) { Tris.push_back({a, b, c}); }
    // a, b, c, d in counter-clockwise order seen from the front.
    void AddQuad(int32_t a, int32_t b, int32_t c, int32_t d);

    // Appends `other` moved by `m` (normals by its inverse transpose), every new vertex bound
    // to `bone` with full weight.
    void Add(const TMeshPart& other, const TMatrix4f& m = IdentityMatrix, int32_t bone = 0);
    // Rebinds the vertices from `first` on: `skin` gives up to four bones and weights for a
    // vertex position (weights are normalised).
    void Skin(size_t first, const std::function<void(const TMyVector3f&, TMeshVertex&)>& skin);
    // Normals from the faces, averaged over vertices at the same position whose face normals
    // lie within `creaseDegrees` of each other (0 gives flat faces).
    void ComputeNormals(float creaseDegrees);
    // Turns every triangle around (for the inside of a shape).
    void Flip();
    // Gives every triangle vertices of its own (for flat shading).
    void Unweld();

    TMyVector3f BoxMin() const;
    TMyVector3f BoxMax() const;
};

// A box of size (sx, sy, sz) centred on the origin; every face shows the whole rectangle.
TMeshPart MakeBox(float sx, float sy, float sz, const TUVRect& uv = {});
// A surface of revolution about the y axis: profile points (radius, height) from bottom to
// top; `segments` around. Closed at either end with a flat cap when its radius is not 0
// and the cap is asked for. u runs around (0 and 1 at +x), v along the profile.
TMeshPart MakeLathe(const std::vector<TMyVector2f>& profile, int32_t segments, const TUVRect& uv = {},
                    bool capBottom = false, bool capTop = false);
// A tapered cylinder from y = 0 to y = height.
TMeshPart MakeCylinder(float r0, float r1, float height, int32_t segments, const TUVRect& uv = {},
                       bool caps = true);
// An ellipsoid with radii (rx, ry, rz) about the origin.
TMeshPart MakeEllipsoid(float rx, float ry, float rz, int32_t segments, int32_t rings,
                        const TUVRect& uv = {});
// A flat outline (any simple polygon in the xy plane, either winding) extruded from
// z = -depth/2 to +depth/2. The faces map the outline's box onto the rectangle.
TMeshPart MakeExtrusion(const std::vector<TMyVector2f>& outline, float depth, const TUVRect& uv = {},
                        const TUVRect& sideUv = {});
// A one-sided rectangle in the xy plane from (x0, y0) to (x1, y1) facing +z.
TMeshPart MakeCard(float x0, float y0, float x1, float y1, const TUVRect& uv = {});
// Triangulates a simple polygon (ear clipping); indices into `outline`, counter-clockwise.
std::vector<TTriangleIndex> TriangulatePolygon(const std::vector<TMyVector2f>& outline);

// A matrix from translation, rotation angles (radians, applied x, then y, then z) and scale.
TMatrix4f Place(const TMyVector3f& at, const TMyVector3f& angles = {}, const TMyVector3f& scale = {1, 1, 1});
// The matrix that turns +y into the direction from a to b and moves the origin to a; the
// length is not changed (build the primitive with the right height).
TMatrix4f AlongSegment(const TMyVector3f& a, const TMyVector3f& b);

// ---------------------------------------------------------------------------------------------
// Models

struct TMaterialSpec {
    std::string Texture;  // file name in Data/Textures, e.g. "Bark.tga"
    bool Emissive = false;
    bool Blended = false;
    bool AlphaTest = false;
    float AlphaRef = 0.0f;
};

// Tangents and binormals from the texture directions, then the stored mesh.
TStoredRenderMesh ToRenderMesh(const std::string& name, const TMaterialSpec& material, const TMeshPart& part,
                               bool skinned);
// A collision mesh of the part's positions and triangles.
TStoredColideMesh ToColideMesh(const std::string& name, const TMeshPart& part);
// The 12 triangles of a box.
TStoredColideMesh BoxColideMesh(const std::string& name, const TMyVector3f& boxMin,
                                const TMyVector3f& boxMax);
// A flat polygon at height y round the origin (`sides` corners, corner 0 at +x), stored as
// its ring of vertices and a fan: an outline drawn through its vertices is the ring.
TStoredColideMesh RingColideMesh(const std::string& name, float radiusX, float radiusZ, float y,
                                 int32_t sides);

// Fills the counts and the overall boxes of a model stream from its meshes.
void FinishModel(TModelStreamData& model);

// ---------------------------------------------------------------------------------------------
// Skeletons and clips

struct TBoneDef {
    std::string Name;
    int32_t Parent = -1;  // an earlier bone, or -1 for a root
    TMyVector3f Pivot;    // the joint in the bind pose, model space
};

class TSkeleton {
public:
    int32_t Add(const std::string& name, int32_t parent, const TMyVector3f& pivot);
    int32_t Find(const std::string& name) const;  // -1 when missing
    int32_t Count() const { return static_cast<int32_t>(Bones.size()); }
    std::vector<TBoneDef> Bones;
};

// Joint rotations relative to the bind pose (each bone's in its parent's turned frame) and
// a move of the roots.
struct TPoseSpec {
    std::vector<TMyVector4f> Rotations;  // one quaternion per bone, scalar first
    TMyVector3f RootOffset;
    explicit TPoseSpec(int32_t bones = 0) : Rotations(static_cast<size_t>(bones), IdentityQuat) {}
    // Multiplies the bone's rotation by one about x, then y, then z (radians).
    void Turn(int32_t bone, float ax, float ay, float az);
};

// Forward kinematics: the frame of every bone, mapping a bind-pose point p of the bone's
// vertices to its posed place rotate(q, p) + t.
std::vector<TBoneFrame> SolvePose(const TSkeleton& skeleton, const TPoseSpec& pose);
TMyVector3f QuatRotate(const TMyVector4f& q, const TMyVector3f& v);
// Where a bind-pose point of a bone lands in a solved pose.
TMyVector3f PosePoint(const std::vector<TBoneFrame>& frames, int32_t bone, const TMyVector3f& p);

// A clip sampled from a pose function. Looping clips: `loopFrames` frames cover one cycle
// (phase 0 .. 1) as frames 1 .. loopFrames; frame 0 repeats the last of them and the final
// frame the first, so the loop runs on seamlessly. A one-shot clip: frame k (k >= 1) is the
// pose at time (k - 1) / rate, frame 0 the same as frame 1; `loopFrames` + 2 frames in all.
TStoredSkeletData SampleClip(const TSkeleton& skeleton, int32_t rate, int32_t loopFrames, bool looping,
                             const std::function<TPoseSpec(float phase)>& pose);
// The ".PSA" file: bone count, frame count, frame rate, then one track per bone.
std::vector<uint8_t> EncodePSA(const TStoredSkeletData& clip);

// ---------------------------------------------------------------------------------------------
// Interchange files

// One object of an interchange file, in the game's axes (y up). Faces of a part with all
// normals smooth are written in smoothing group 1, otherwise without a group.
struct TExchangeObject {
    std::string Name;
    TMeshPart Part;
    int32_t Material = -1;  // index into the materials, -1 = none (collision object)
    bool Smooth = true;
};
// The ".ASE" text in the layout the game's reader takes (the exporter's tab layout).
std::string EncodeASE(const std::vector<std::string>& textures, const std::vector<TExchangeObject>& objects);
// A ".3DS" chunk file with one material per texture and the objects' meshes.
std::vector<uint8_t> Encode3DS(const std::vector<std::string>& textures,
                               const std::vector<TExchangeObject>& objects);

}  // namespace gen
