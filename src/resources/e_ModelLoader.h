#pragma once
// Model files. ".PRM" (static) and ".PAM" (skinned) are the game's own binary model
// stream; ".ASE" (ASCII Scene Export) and ".3DS" (3D Studio chunks) are interchange
// formats whose readers collect the geometry into loader records, which ConvertModel
// turns into a model stream in memory. Every model therefore ends up being read by
// ReadModelStream. Nothing here touches OpenGL: it all runs on the loading thread.
//
// One file per format: e_ModelLoader.cpp (the model stream and the message procedure),
// e_ModelLoaderASE.cpp, e_ModelLoader3DS.cpp and e_ModelLoaderConvert.cpp (loader records to a
// model stream, with the vertex welding); e_ModelLoaderShared.h holds what they share.

#include "resources/e_ResManagerTypes.h"
#include "world/e_Math.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// The model stream (.PRM / .PAM files, and the output of ConvertModel)
// ---------------------------------------------------------------------------

inline constexpr int32_t ModelStreamVersion = 200;

// Everything a model stream holds, in the stored records the resource classes keep.
// Texture names are as stored in the stream: a bare file name without a folder;
// the variant maps are never stored and stay empty.
struct TModelStreamData {
    int32_t Version = ModelStreamVersion;
    bool Skinned = false;  // ".PAM": scale, bone count and 22-single vertices
    float Scale = 1.0f;    // skinned only
    TStoredColidData ColidData;
    TStoredRendData RendData;  // BoneCount is stored for skinned models only
    // Skinned only, written after the render meshes in the animation file layout.
    // ReadModelStream leaves it alone: the animation class reads it from the stream.
    std::optional<TStoredSkeletData> Animation;
};

// Reads a model stream from position 0. The version is read first: when it is not
// ModelStreamVersion the function returns false with only data.Version filled (the caller
// reports the outdated file). Otherwise it reads the collision and render meshes, fills the
// count fields and the per-mesh and overall boxes as stored (overall boxes are the union of
// the mesh boxes, from 3.4e38 / -3.4e38), and returns true with the stream positioned just
// after the last render mesh, where the optional embedded animation of a ".PAM" begins.
// A stream that ends early, a negative count, a count larger than the bytes left or a
// triangle index outside its mesh throws TStreamReadError.
bool ReadModelStream(TMemoryStream& stream, bool skinned, TModelStreamData& data);

// Writes data.Skinned's layout at the stream's position. Counts are taken from the vector
// sizes (the count fields are ignored); a vertex array that is not a whole number of
// vertices throws std::invalid_argument. data.Animation is appended for skinned models.
void WriteModelStream(TMemoryStream& stream, const TModelStreamData& data);
std::vector<uint8_t> WriteModelStream(const TModelStreamData& data);

// The header of the animation a ".PAM" may carry after its meshes (12 bytes: bone count,
// frame count, frame rate); nothing when fewer bytes are left. Does not move the stream.
struct TEmbeddedAnimationInfo {
    int32_t BoneCount = 0;
    int32_t FrameCount = 0;
    int32_t FrameRate = 0;
};
std::optional<TEmbeddedAnimationInfo> PeekEmbeddedAnimation(const TMemoryStream& stream);

// ---------------------------------------------------------------------------
// Loader records: what the ASE and 3DS readers collect
// ---------------------------------------------------------------------------

struct TMaterialData {
    std::string TextureName;  // diffuse bitmap file name
    std::string AuxName;      // written as the bump map name; empty after both readers
};

struct TFaceData {
    int32_t A = 0;
    int32_t B = 0;
    int32_t C = 0;
    uint32_t Smoothing = 0;  // mask of smoothing groups; 0 = none
};

// Three texture-vertex indices of one face (or three vertex indices of a triangle).
struct TTripleIndex {
    int32_t A = 0;
    int32_t B = 0;
    int32_t C = 0;
};

// Face i uses the texture vertices of TFaces[i] for its corners A, B, C. The readers keep
// each count equal to the size of its array; ConvertModel goes by the arrays.
struct TMeshData {
    int32_t VertCount = 0;
    std::vector<TDotVector3> Vertices;
    int32_t FaceCount = 0;
    std::vector<TFaceData> Faces;
    int32_t TVertCount = 0;
    std::vector<TDotVector2> TVerts;
    int32_t TFaceCount = 0;
    std::vector<TTripleIndex> TFaces;
};

struct TGeomData {
    std::string Name;
    TMeshData Mesh;
    int32_t MaterialRef = -1;  // index into the materials; -1 = none
};

struct TLoadModelData {
    int32_t MaterialCount = 0;
    std::vector<TMaterialData> Materials;
    std::vector<TGeomData> Geoms;
};

// One generated vertex: the 14 singles of a static vertex.
struct TDrawVertData {
    TDotVector3 Position;
    TDotVector3 Normal;
    TDotVector3 Tangent;
    TDotVector3 Binormal;
    TDotVector2 TexCoord;
};
static_assert(sizeof(TDrawVertData) == StaticVertexSize * sizeof(float));

// ---------------------------------------------------------------------------
// Readers and converter
// ---------------------------------------------------------------------------

// Messages of the readers go through this procedure; by default it is ShowMessageBox
// (captions "Program Message:" and "Warning"). Tests and tools install their own.
using TModelMessageProc = void (*)(const std::string& caption, const std::string& text);
// Installs `proc` (nullptr restores the default) and returns the previous one.
TModelMessageProc SetModelMessageProc(TModelMessageProc proc);

// Reads an ".ASE" or ".3DS" file (found without regard to case) and converts it.
// Null when the file cannot be read or is refused; the reason has then been reported
// through the message procedure (except for an unreadable 3DS file, which is silent).
std::unique_ptr<TMemoryStream> ReadASE(const std::string& fileName);
std::unique_ptr<TMemoryStream> Read3DS(const std::string& fileName);

// The readers' first stage, on bytes: fill the loader records. False after reporting.
// UTF-16 text (with a byte-order mark) and CRLF, LF or CR line ends are accepted by the ASE
// reader; leading and trailing blanks of a line do not matter.
bool ReadASEData(const std::vector<uint8_t>& bytes, TLoadModelData& data);
// A chunk running past its parent or the file, or a count running past its chunk, makes
// the file damaged: false without a message (the caller reports the damaged file).
bool Read3DSData(const std::vector<uint8_t>& bytes, TLoadModelData& data);

// How ConvertModel merges equal vertices. Both give the same result; Quadratic is the
// straightforward pairwise comparison, kept as the reference for the hashed one.
enum class TWeldMode {
    Hashed,
    Quadratic
};

// Converts the loader records into a new static model stream (position unspecified).
// Null, after a message, when an object refers to a vertex, texture vertex or material
// that does not exist, or a render object's texture faces do not match its faces.
std::unique_ptr<TMemoryStream> ConvertModel(const TLoadModelData& data, TWeldMode weld = TWeldMode::Hashed);

// The weld step on its own: vertex j is merged into the first earlier surviving vertex
// whose 14 singles all differ from its own by less than 0.0001. `kept` receives the
// survivors in order and remap[j] the new index of vertex j.
void WeldVertices(const std::vector<TDrawVertData>& verts, TWeldMode mode, std::vector<TDrawVertData>& kept,
                  std::vector<int32_t>& remap);
