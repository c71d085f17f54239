#pragma once
// The in-memory form of the shared resources (textures, animations, models) and the
// little-endian memory stream that carries them between the file readers and the
// resource classes. The readers fill these records on the loading thread; the
// renderer, the map and the landscape read them; only the VBO records hold OpenGL names.

#include "world/e_Math.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// A read that would run past the end of a stream, or a count that cannot be right
// (negative, or larger than the bytes left). Raised to the caller of LoadModel/LoadTexture.
class TStreamReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A growable byte buffer with a position, read and written in little-endian order.
// Every read is bounds-checked and throws TStreamReadError instead of reading past the end.
class TMemoryStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : Data(std::move(bytes)) {}

    // Replaces the content with the whole file (case-insensitive lookup); false when it
    // cannot be read. The position is 0 afterwards.
    bool LoadFromFile(const std::string& fileName);
    bool SaveToFile(const std::string& fileName) const;

    int64_t GetSize() const { return static_cast<int64_t>(Data.size()); }
    int64_t GetPosition() const { return Position; }
    // Any position >= 0 may be set; reads beyond the end fail, writes beyond it fill with zeros.
    void Seek(int64_t position);
    int64_t Remaining() const { return Position < GetSize() ? GetSize() - Position : 0; }

    void ReadBuffer(void* dest, size_t count);
    void WriteBuffer(const void* src, size_t count);
    // Fails unless `count` bytes remain; used to test a count before sizing an array after it.
    void RequireBytes(uint64_t count, const char* what) const;

    uint8_t ReadByte();
    uint16_t ReadUInt16();
    int32_t ReadInt32();
    uint32_t ReadUInt32();
    float ReadSingle();
    // A 32-bit integer, true when not 0.
    bool ReadBool32();
    // A signed 32-bit byte length followed by that many bytes.
    std::string ReadString();
    TMyVector3f ReadVector3();

    void WriteByte(uint8_t v);
    void WriteUInt16(uint16_t v);
    void WriteInt32(int32_t v);
    void WriteUInt32(uint32_t v);
    void WriteSingle(float v);
    void WriteBool32(bool v);
    void WriteString(const std::string& s);
    void WriteVector3(const TMyVector3f& v);

    const std::vector<uint8_t>& Bytes() const { return Data; }
    std::vector<uint8_t>& Bytes() { return Data; }

private:
    std::vector<uint8_t> Data;
    int64_t Position = 0;
};

// Three vertex indices of one triangle.
struct TTriangleIndex {
    int32_t A = 0;
    int32_t B = 0;
    int32_t C = 0;
};

// Pixel formats of decoded textures. The numbers are OpenGL's, which the texture streams
// store and the renderer passes on.
inline constexpr uint32_t TextureRGB = 0x1907;        // GL_RGB
inline constexpr uint32_t TextureRGBA = 0x1908;       // GL_RGBA
inline constexpr uint32_t TextureLuminance = 0x1909;  // GL_LUMINANCE

// Decoded pixels of one texture. Format is TextureRGB, TextureRGBA or TextureLuminance; rows
// run from the bottom of the image to the top with no padding between them.
struct TStoredTextureData {
    uint32_t Format = 0;
    uint16_t Width = 0;
    uint16_t Height = 0;
    std::vector<uint8_t> Pixels;
};

// Bytes per pixel of a texture format; 0 for anything else.
int TextureFormatBytes(uint32_t format);

// One bone in one animation frame.
struct TBoneFrame {
    TMyVector3f Position;
    TMyVector4f Rotation;  // quaternion, scalar first
};

// One skeletal animation: Frames[bone][frame].
struct TStoredSkeletData {
    int32_t BoneCount = 0;
    int32_t FrameCount = 0;
    int32_t FrameRate = 0;
    std::vector<std::vector<TBoneFrame>> Frames;
};

// Material of one render mesh. Texture names include their folder.
struct TMatTexNames {
    std::string DiffuseMap;
    std::array<std::string, 7> VariantMaps;  // variants 1..7; empty when missing
    bool Emissive = false;
    bool Blended = false;
    bool AlphaTest = false;
    float AlphaRef = 0.0f;
    std::string BumpMap;
    bool Parallax = false;
    float ParallaxScale = 0.0f;
    std::string GlossMap;
    float SpecPower = 0.0f;
};

// Singles per vertex: position, normal, tangent, binormal, texture coordinate ...
inline constexpr int32_t StaticVertexSize = 14;
// ... then four bone indices (as singles) and four bone weights.
inline constexpr int32_t SkinnedVertexSize = 22;

struct TStoredRenderMesh {
    std::string Name;
    TMatTexNames Material;
    TMyVector3f BoxMin;
    TMyVector3f BoxMax;
    int32_t VertCount = 0;
    std::vector<float> Vertices;  // VertCount x vertex size
    int32_t TriCount = 0;
    std::vector<TTriangleIndex> Triangles;  // local to this mesh
};

struct TStoredRendData {
    int32_t BoneCount = 0;  // 0 for a static model
    int32_t MeshCount = 0;
    std::vector<TStoredRenderMesh> Meshes;
    TMyVector3f BoxMin;
    TMyVector3f BoxMax;
    std::vector<int32_t> Animations;  // animation handles
};

struct TStoredColideMesh {
    std::string Name;
    TMyVector3f BoxMin;
    TMyVector3f BoxMax;
    int32_t VertCount = 0;
    std::vector<TMyVector3f> Vertices;
    int32_t TriCount = 0;
    std::vector<TTriangleIndex> Triangles;
};

struct TStoredColidData {
    int32_t MeshCount = 0;
    std::vector<TStoredColideMesh> Meshes;
    TMyVector3f BoxMin;
    TMyVector3f BoxMax;
};

// The OpenGL form of one render mesh: texture handles of the registry and an index buffer.
struct TVBORendMesh {
    std::array<int32_t, 8> Textures{-1, -1, -1, -1, -1, -1, -1, -1};  // [0] diffuse, [1..7] variants
    bool Emissive = false;
    bool Blended = false;
    bool AlphaTest = false;
    float AlphaRef = 0.0f;
    int32_t BumpTexture = -1;
    bool Parallax = false;
    float ParallaxScale = 0.0f;
    int32_t GlossTexture = -1;
    float SpecPower = 0.0f;
    int32_t VertCount = 0;
    int32_t TriCount = 0;
    uint32_t IndexBuffer = 0;  // index buffer of TriCount x 3 unsigned 32-bit indices
};

// The buffer form of a model: one vertex buffer holding every mesh, mesh after mesh.
struct TVBORendData {
    int32_t MeshCount = 0;
    uint32_t VertexBuffer = 0;
    std::vector<TVBORendMesh> Meshes;
};
