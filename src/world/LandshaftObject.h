#pragma once
// The terrain of a battle map: a grid of square tiles with a height field, per-vertex light and
// normals, textured from a tile atlas in up to two layers. It is read from the landscape section of
// a map file, keeps a tree of tile blocks for culling and picking, and the render arrays that the
// renderer puts into two buffer objects on its first draw. Nothing here needs a GL context.
//
// Map coordinates (mx, my, h): mx runs along the tile columns, my along the rows, one tile is one
// unit. The world position of (mx, my, h) is (x = my, y = h, z = mx).

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "world/TileType.h"
#include "world/e_Math.h"

class TFrustum;

// A map file that cannot be read. The message names the file and says what is wrong with it.
class EMapFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A map or landscape section written for another version of the game. The message is the text
// the player is shown.
class EMapVersionError : public EMapFileError {
public:
    using EMapFileError::EMapFileError;
};

// Little-endian reader over a whole map file held in memory. Every read is checked against the end
// of the data; running past it throws EMapFileError naming the file.
class TMapStream {
public:
    TMapStream(std::vector<uint8_t> data, std::string name);
    // Reads the file (case-insensitive lookup); throws EMapFileError when it cannot be read.
    static TMapStream FromFile(const std::string& path);

    const std::string& Name() const { return Name_; }
    size_t Position() const { return Pos_; }
    void SetPosition(size_t pos);
    size_t Size() const { return Data_.size(); }
    size_t Remaining() const { return Data_.size() - Pos_; }

    // `what` names the field in the message when the data ends inside it.
    int32_t ReadInt32(const char* what);
    uint32_t ReadUInt32(const char* what);
    int16_t ReadInt16(const char* what);
    uint8_t ReadByte(const char* what);
    float ReadSingle(const char* what);
    std::string ReadString(size_t length, const char* what);

    // Throws unless `count` is not negative and `count` records of `recordSize` bytes remain.
    void RequireRecords(int64_t count, size_t recordSize, const char* what) const;
    // Throws EMapFileError: "Map file "<name>" is damaged: <problem>".
    [[noreturn]] void Fail(const std::string& problem) const;

private:
    void Need(size_t bytes, const char* what) const;

    std::vector<uint8_t> Data_;
    std::string Name_;
    size_t Pos_ = 0;
};

// Appends little-endian values; the counterpart of TMapStream used by the map writer.
class TMapWriter {
public:
    void WriteInt32(int32_t v);
    void WriteUInt32(uint32_t v);
    void WriteInt16(int16_t v);
    void WriteByte(uint8_t v);
    void WriteSingle(float v);
    void WriteBytes(const void* data, size_t size);

    std::vector<uint8_t> Bytes;
};

inline constexpr int32_t LandscapeVersion = 100;

// One tile record of the file, as stored. Packed bytes: bits 0-1 quarter turns, bit 2 mirror
// across u, bit 3 mirror across v.
struct TTileRecord {
    uint8_t Col1 = 0, Row1 = 0, Packed1 = 0;
    uint8_t Col2 = 0, Row2 = 0, Packed2 = 0;
    uint8_t TileType = 0;  // a TTileType
    uint32_t Flags = 0;
};

// One vertex record of the file: height in 1/200 units, grey light and alpha in 1/255.
struct TVertRecord {
    int16_t Height = 0;
    uint8_t Light = 255;
    uint8_t Alpha = 255;
};

// The landscape section as stored in the file.
struct TLandscapeSection {
    int32_t Version = LandscapeVersion;
    int32_t Cols = 0;
    int32_t Rows = 0;
    std::vector<TTileRecord> Tiles;  // Rows * Cols, row by row
    std::vector<TVertRecord> Verts;  // (2 Rows + 1) * (2 Cols + 1), grid index order
};

// Reads and checks a landscape section: the version (EMapVersionError), a positive size, counts
// that match the size and records that lie inside the stream (EMapFileError otherwise).
TLandscapeSection ReadLandscapeSection(TMapStream& stream);
// Writes the section with the counts taken from the sizes of the two arrays, so a writer can also
// produce the damaged files the reader must refuse.
void WriteLandscapeSection(TMapWriter& out, const TLandscapeSection& section);

struct TMyTreeNode;
using PMyTreeNode = TMyTreeNode*;

// One tile of the landscape.
struct TTilePlace {
    PMyTreeNode Node = nullptr;  // the leaf that holds this tile
    int32_t Col1 = 0, Row1 = 0;
    uint8_t Rot1 = 0;
    bool MirrorU1 = false, MirrorV1 = false;
    int32_t Col2 = 0, Row2 = 0;
    uint8_t Rot2 = 0;
    bool MirrorU2 = false, MirrorV2 = false;
    TTileType TileType = TTileType::Ground;  // decides passability
    uint32_t TileFlags = 0;                  // bits 0x8, 0x20000 and 0x40000 make the tile impassable
};

// One vertex of the height grid.
struct TLandVert {
    TMyVector3f Position;  // world coordinates
    float R = 1.0f, G = 1.0f, B = 1.0f;
    float Alpha = 0.0f;
    TMyVector3f Normal{0.0f, 1.0f, 0.0f};
};

// One vertex of the render buffer (56 bytes): the grid vertex, then both layers' coordinates.
struct TRendVert {
    TMyVector3f Position;
    float R = 1.0f, G = 1.0f, B = 1.0f;
    float Alpha = 0.0f;
    TMyVector3f Normal{0.0f, 1.0f, 0.0f};
    float U1 = 0.0f, V1 = 0.0f;
    float U2 = 0.0f, V2 = 0.0f;
};
static_assert(sizeof(TRendVert) == 56, "the render buffer stride is 56 bytes");

// A block of tiles in the culling tree. Inner nodes own two children; leaves name their slice of
// the shared render arrays and keep their triangles as grid indices for picking.
struct TMyTreeNode {
    PMyTreeNode Parent = nullptr;
    int32_t Col0 = 0, Row0 = 0, Col1 = 0, Row1 = 0;  // inclusive tile range
    TMyVector3f BoxMin, BoxMax;                      // world box
    bool IsInner = false;
    std::unique_ptr<TMyTreeNode> Child1, Child2;  // inner nodes
    int32_t FirstVertex = 0;                      // leaves: first TRendVert in the buffer
    int32_t VertexCount = 0;                      // 9 per tile
    int32_t TriangleCount = 0;                    // 8 per tile
    std::vector<uint32_t> GridTriangles;          // TriangleCount * 3 grid-vertex indices
    int32_t FirstIndex = 0;                       // first index in the shared index buffer
};

class TLandshaftObject {
public:
    // Largest leaf side, in tiles.
    static constexpr int32_t LeafTiles = 20;

    TLandshaftObject() = default;
    ~TLandshaftObject();
    TLandshaftObject(const TLandshaftObject&) = delete;
    TLandshaftObject& operator=(const TLandshaftObject&) = delete;

    // Reads the landscape section at the stream's position and builds everything. An outdated
    // version or a damaged section shows the program message and ends the program, as every
    // failure that makes loading impossible does.
    void Create(TMapStream& stream);
    // The same, but throws EMapVersionError / EMapFileError instead of ending the program.
    void Load(TMapStream& stream);
    // Builds the landscape from a section already read, with the atlas of the given pixel size.
    void Build(const TLandscapeSection& section, int32_t atlasWidth, int32_t atlasHeight);

    // Bilinear height at a map point; points off the map are clamped to its edge.
    float GetHeight(float mx, float my) const;
    // Height of the tile's centre vertex; the tile is clamped into the map.
    float GetTileHeight(int32_t col, int32_t row) const;
    // Nearest hit of the world-space segment origin .. origin + segment with the terrain. `point`
    // is a world position (x = my, y = h, z = mx); `normal` the normal of the nearest grid vertex.
    bool RayPick(const TMyVector3f& origin, const TMyVector3f& segment, TMyVector3f& point,
                 TMyVector3f& normal) const;
    // Deletes the buffer objects (through the resource device), the arrays and the tree.
    void Destroy();

    // Texture coordinates of the nine local vertices of one layer of one tile (k = 3 i + j).
    std::array<TMyVector2f, 9> TileTexCoords(int32_t col, int32_t row, int32_t rot, bool mirrorU,
                                             bool mirrorV) const;
    const TLandVert& Vert(int32_t gridRow, int32_t gridCol) const {
        return Verts[gridRow * VertCols + gridCol];
    }
    const TTilePlace& Tile(int32_t col, int32_t row) const { return Tiles[row * TileCols + col]; }

    // The renderer's buffer objects, made from RendVerts and Indices on its first draw.
    uint32_t VertexBuffer = 0;
    uint32_t IndexBuffer = 0;
    int32_t TileSetTexture = -1;
    std::unique_ptr<TMyTreeNode> TreeRoot;
    bool Uploaded = false;
    int32_t TileCols = 0;
    int32_t TileRows = 0;
    std::vector<TTilePlace> Tiles;
    int32_t VertCols = 0;
    int32_t VertRows = 0;
    std::vector<TLandVert> Verts;
    const TFrustum* Frustum = nullptr;

    // Host copies of the render arrays; the renderer releases them once they are in its buffers.
    std::vector<TRendVert> RendVerts;
    std::vector<uint32_t> Indices;
    // Sizes kept after the host copies are released.
    int32_t RendVertCount = 0;
    int32_t IndexCount = 0;

    // Atlas constants: cell step and the half-extent of the 60 x 60 pixels a tile uses.
    float CellU = 0.0f, CellV = 0.0f, HalfU = 0.0f, HalfV = 0.0f;

private:
    void ComputeNormals();
    void DarkenBorder();
    void BuildNode(TMyTreeNode& node);
    void BuildLeaf(TMyTreeNode& node);
    void CollectLeaves(const TMyTreeNode& node, const TMyVector3f& origin, const TMyVector3f& segment,
                       std::vector<const TMyTreeNode*>& leaves) const;
    float H(int32_t r, int32_t c) const { return Verts[r * VertCols + c].Position.y; }

    std::array<TMyVector2f, 9> Offsets{};  // T[k] = ((j - 1) a, (i - 1) b)
};
