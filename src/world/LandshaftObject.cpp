#include "world/LandshaftObject.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "app/e_ByteReader.h"
#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "resources/GameDataNames.h"
#include "resources/e_ResourceManager.h"
#include "world/MapPoint.h"
#include "world/e_Frustum.h"

// ---------------------------------------------------------------------------------------------
// TMapStream

TMapStream::TMapStream(std::vector<uint8_t> data, std::string name)
    : Data_(std::move(data)), Name_(std::move(name)) {}

TMapStream TMapStream::FromFile(const std::string& path) {
    auto data = ReadWholeFile(path);
    if (!data)
        throw EMapFileError("Map file \"" + path + "\" cannot be read.");
    return TMapStream(std::move(*data), path);
}

void TMapStream::SetPosition(size_t pos) {
    if (pos > Data_.size())
        Fail("a position lies beyond its end");
    Pos_ = pos;
}

void TMapStream::Fail(const std::string& problem) const {
    throw EMapFileError("Map file \"" + Name_ + "\" is damaged: " + problem + ".");
}

void TMapStream::Need(size_t bytes, const char* what) const {
    if (bytes > Remaining())
        Fail(std::string("it ends inside ") + what + " (byte " + std::to_string(Pos_) + " of " +
             std::to_string(Data_.size()) + ")");
}

void TMapStream::RequireRecords(int64_t count, size_t recordSize, const char* what) const {
    if (count < 0)
        Fail(std::string("the count of ") + what + " is negative (" + std::to_string(count) + ")");
    // Compared by division so that no product can overflow.
    if (recordSize != 0 && static_cast<uint64_t>(count) > Remaining() / recordSize)
        Fail(std::string("it ends inside ") + what + " (" + std::to_string(count) + " records of " +
             std::to_string(recordSize) + " bytes at byte " + std::to_string(Pos_) + " of " +
             std::to_string(Data_.size()) + ")");
}

uint32_t TMapStream::ReadUInt32(const char* what) {
    Need(4, what);
    const uint32_t v = LoadLE32(Data_.data() + Pos_);
    Pos_ += 4;
    return v;
}

int32_t TMapStream::ReadInt32(const char* what) { return static_cast<int32_t>(ReadUInt32(what)); }

int16_t TMapStream::ReadInt16(const char* what) {
    Need(2, what);
    const auto v = static_cast<int16_t>(LoadLE16(Data_.data() + Pos_));
    Pos_ += 2;
    return v;
}

uint8_t TMapStream::ReadByte(const char* what) {
    Need(1, what);
    return Data_[Pos_++];
}

float TMapStream::ReadSingle(const char* what) { return std::bit_cast<float>(ReadUInt32(what)); }

std::string TMapStream::ReadString(size_t length, const char* what) {
    Need(length, what);
    std::string s(reinterpret_cast<const char*>(Data_.data() + Pos_), length);
    Pos_ += length;
    return s;
}

// ---------------------------------------------------------------------------------------------
// TMapWriter

void TMapWriter::WriteUInt32(uint32_t v) { AppendLE32(Bytes, v); }

void TMapWriter::WriteInt32(int32_t v) { WriteUInt32(static_cast<uint32_t>(v)); }

void TMapWriter::WriteInt16(int16_t v) { AppendLE16(Bytes, static_cast<uint16_t>(v)); }

void TMapWriter::WriteByte(uint8_t v) { Bytes.push_back(v); }

void TMapWriter::WriteSingle(float v) { AppendLESingle(Bytes, v); }

void TMapWriter::WriteBytes(const void* data, size_t size) {
    auto p = static_cast<const uint8_t*>(data);
    Bytes.insert(Bytes.end(), p, p + size);
}

// ---------------------------------------------------------------------------------------------
// Landscape section

namespace {

constexpr size_t TileRecordSize = 11;
constexpr size_t VertRecordSize = 4;
// Render vertices are addressed with 32-bit indices and counted in 32-bit fields.
constexpr int64_t MaxRenderVerts = std::numeric_limits<int32_t>::max();
constexpr int64_t MaxSide = 1 << 20;

}  // namespace

TLandscapeSection ReadLandscapeSection(TMapStream& stream) {
    TLandscapeSection s;
    s.Version = stream.ReadInt32("the landscape version");
    if (s.Version != LandscapeVersion)
        throw EMapVersionError("Версия ландшафта устарела. Загрузка невозможна.");
    s.Cols = stream.ReadInt32("the landscape width");
    s.Rows = stream.ReadInt32("the landscape height");
    const int64_t cols = s.Cols, rows = s.Rows;
    if (cols < 1 || rows < 1 || cols > MaxSide || rows > MaxSide || cols * rows * 9 > MaxRenderVerts)
        stream.Fail("the landscape size " + std::to_string(cols) + " x " + std::to_string(rows) +
                    " tiles is out of range");

    const int64_t tileCount = stream.ReadInt32("the tile count");
    if (tileCount != cols * rows)
        stream.Fail("the tile count " + std::to_string(tileCount) + " does not match the " +
                    std::to_string(cols) + " x " + std::to_string(rows) + " tiles of the landscape");
    stream.RequireRecords(tileCount, TileRecordSize, "the tile records");
    s.Tiles.resize(static_cast<size_t>(tileCount));
    for (auto& t : s.Tiles) {
        t.Col1 = stream.ReadByte("a tile record");
        t.Row1 = stream.ReadByte("a tile record");
        t.Packed1 = stream.ReadByte("a tile record");
        t.Col2 = stream.ReadByte("a tile record");
        t.Row2 = stream.ReadByte("a tile record");
        t.Packed2 = stream.ReadByte("a tile record");
        t.TileType = stream.ReadByte("a tile record");
        t.Flags = stream.ReadUInt32("a tile record");
    }

    const int64_t vertCount = stream.ReadInt32("the vertex count");
    const int64_t expected = (2 * cols + 1) * (2 * rows + 1);
    if (vertCount != expected)
        stream.Fail("the vertex count " + std::to_string(vertCount) + " does not match the " +
                    std::to_string(expected) + " vertices of " + std::to_string(cols) + " x " +
                    std::to_string(rows) + " tiles");
    stream.RequireRecords(vertCount, VertRecordSize, "the vertex records");
    s.Verts.resize(static_cast<size_t>(vertCount));
    for (auto& v : s.Verts) {
        v.Height = stream.ReadInt16("a vertex record");
        v.Light = stream.ReadByte("a vertex record");
        v.Alpha = stream.ReadByte("a vertex record");
    }
    return s;
}

void WriteLandscapeSection(TMapWriter& out, const TLandscapeSection& s) {
    out.WriteInt32(s.Version);
    out.WriteInt32(s.Cols);
    out.WriteInt32(s.Rows);
    out.WriteInt32(static_cast<int32_t>(s.Tiles.size()));
    for (const auto& t : s.Tiles) {
        out.WriteByte(t.Col1);
        out.WriteByte(t.Row1);
        out.WriteByte(t.Packed1);
        out.WriteByte(t.Col2);
        out.WriteByte(t.Row2);
        out.WriteByte(t.Packed2);
        out.WriteByte(t.TileType);
        out.WriteUInt32(t.Flags);
    }
    out.WriteInt32(static_cast<int32_t>(s.Verts.size()));
    for (const auto& v : s.Verts) {
        out.WriteInt16(v.Height);
        out.WriteByte(v.Light);
        out.WriteByte(v.Alpha);
    }
}

// ---------------------------------------------------------------------------------------------
// TLandshaftObject: loading

TLandshaftObject::~TLandshaftObject() { Destroy(); }

void TLandshaftObject::Create(TMapStream& stream) {
    try {
        Load(stream);
    } catch (const EMapFileError& e) {
        FatalProgramMessage(e.what());
    }
}

void TLandshaftObject::Load(TMapStream& stream) {
    Log("Landshaft Create ...");
    TLandscapeSection section = ReadLandscapeSection(stream);

    // A tile uses the central 60 x 60 pixels of its 64 x 64 atlas cell, so the coordinates depend
    // on the atlas's pixel size. Without the atlas the terrain still loads and answers queries.
    int32_t atlasW = 1024, atlasH = 1024;
    TileSetTexture = LoadTexture(GameNames::TileSetTexture, false);
    if (TileSetTexture >= 0) {
        if (const TStoredTextureData* data = GetTextureData(TileSetTexture);
            data && data->Width > 0 && data->Height > 0) {
            atlasW = data->Width;
            atlasH = data->Height;
        }
    }
    Build(section, atlasW, atlasH);
    Log("Landshaft Create - complete.");
}

void TLandshaftObject::Build(const TLandscapeSection& section, int32_t atlasWidth, int32_t atlasHeight) {
    if (section.Cols < 1 || section.Rows < 1 ||
        section.Tiles.size() != size_t(section.Cols) * size_t(section.Rows) ||
        section.Verts.size() != size_t(2 * section.Cols + 1) * size_t(2 * section.Rows + 1))
        throw EMapFileError("The landscape section is inconsistent: its arrays do not match its size.");
    if (atlasWidth < 1 || atlasHeight < 1)
        atlasWidth = atlasHeight = 1024;

    TileCols = section.Cols;
    TileRows = section.Rows;
    VertCols = 2 * TileCols + 1;
    VertRows = 2 * TileRows + 1;

    CellU = 64.0f / float(atlasWidth);
    CellV = 64.0f / float(atlasHeight);
    HalfU = 30.0f / float(atlasWidth);
    HalfV = 30.0f / float(atlasHeight);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            Offsets[3 * i + j] = {float(j - 1) * HalfU, float(i - 1) * HalfV};

    Tiles.assign(size_t(TileCols) * size_t(TileRows), TTilePlace{});
    Verts.assign(size_t(VertCols) * size_t(VertRows), TLandVert{});
    for (int32_t r = 0; r < VertRows; ++r)
        for (int32_t c = 0; c < VertCols; ++c)
            Verts[size_t(r) * VertCols + c].Position = ToWorld({float(c) * 0.5f, float(r) * 0.5f, 0.0f});

    for (size_t i = 0; i < Tiles.size(); ++i) {
        const TTileRecord& rec = section.Tiles[i];
        TTilePlace& t = Tiles[i];
        t.Col1 = rec.Col1;
        t.Row1 = rec.Row1;
        t.Rot1 = rec.Packed1 & 3;
        t.MirrorU1 = (rec.Packed1 & 4) != 0;
        t.MirrorV1 = (rec.Packed1 & 8) != 0;
        t.Col2 = rec.Col2;
        t.Row2 = rec.Row2;
        t.Rot2 = rec.Packed2 & 3;
        t.MirrorU2 = (rec.Packed2 & 4) != 0;
        t.MirrorV2 = (rec.Packed2 & 8) != 0;
        t.TileType = TileTypeOfByte(rec.TileType);
        t.TileFlags = rec.Flags;
    }
    for (size_t i = 0; i < Verts.size(); ++i) {
        const TVertRecord& rec = section.Verts[i];
        TLandVert& v = Verts[i];
        v.Position.y = float(rec.Height) / 200.0f;
        v.R = v.G = v.B = float(rec.Light) / 255.0f;
        v.Alpha = float(rec.Alpha) / 255.0f;
    }

    DarkenBorder();
    ComputeNormals();

    RendVerts.clear();
    Indices.clear();
    RendVerts.reserve(Tiles.size() * 9);
    Indices.reserve(Tiles.size() * 24);
    TreeRoot = std::make_unique<TMyTreeNode>();
    TreeRoot->Col0 = 0;
    TreeRoot->Row0 = 0;
    TreeRoot->Col1 = TileCols - 1;
    TreeRoot->Row1 = TileRows - 1;
    TreeRoot->BoxMin = {0.0f, -0.0001f, 0.0f};
    TreeRoot->BoxMax = {float(TileRows), 0.0001f, float(TileCols)};
    BuildNode(*TreeRoot);
    RendVertCount = static_cast<int32_t>(RendVerts.size());
    IndexCount = static_cast<int32_t>(Indices.size());
    Uploaded = false;
}

void TLandshaftObject::DarkenBorder() {
    // The map fades to black at its edge: the outer ring of vertices black, the next one grey.
    for (int32_t r = 0; r < VertRows; ++r)
        for (int32_t c = 0; c < VertCols; ++c) {
            TLandVert& v = Verts[size_t(r) * VertCols + c];
            const bool outer = r == 0 || r == VertRows - 1 || c == 0 || c == VertCols - 1;
            const bool second = r == 1 || r == VertRows - 2 || c == 1 || c == VertCols - 2;
            if (outer)
                v.R = v.G = v.B = 0.0f;
            else if (second)
                v.R = v.G = v.B = 0.5f;
        }
}

void TLandshaftObject::ComputeNormals() {
    struct Step {
        int dr, dc;
        float dx, dz;
    };
    // The eight neighbours round the vertex, the first repeated to close the ring.
    static constexpr Step ring[9] = {{-1, 0, -0.5f, 0.0f}, {-1, -1, -0.5f, -0.5f}, {0, -1, 0.0f, -0.5f},
                                     {1, -1, 0.5f, -0.5f}, {1, 0, 0.5f, 0.0f},     {1, 1, 0.5f, 0.5f},
                                     {0, 1, 0.0f, 0.5f},   {-1, 1, -0.5f, 0.5f},   {-1, 0, -0.5f, 0.0f}};
    std::vector<TMyVector3f> normals(Verts.size());
    for (int32_t r = 0; r < VertRows; ++r)
        for (int32_t c = 0; c < VertCols; ++c) {
            const float h0 = H(r, c);
            TMyVector3f d[9];
            for (int k = 0; k < 9; ++k) {
                const int32_t nr = std::clamp(r + ring[k].dr, 0, VertRows - 1);
                const int32_t nc = std::clamp(c + ring[k].dc, 0, VertCols - 1);
                d[k] = {ring[k].dx, H(nr, nc) - h0, ring[k].dz};
            }
            TMyVector3f n{0.0f, 0.0f, 0.0f};
            for (int k = 1; k < 9; ++k)
                n = n + Vec3Cross(d[k], d[k - 1]);
            Vec3Normalize(n);
            normals[size_t(r) * VertCols + c] = n;
        }
    for (size_t i = 0; i < Verts.size(); ++i)
        Verts[i].Normal = normals[i];
}

std::array<TMyVector2f, 9> TLandshaftObject::TileTexCoords(int32_t col, int32_t row, int32_t rot,
                                                           bool mirrorU, bool mirrorV) const {
    static constexpr int order[4][9] = {{0, 1, 2, 3, 4, 5, 6, 7, 8},
                                        {2, 5, 8, 1, 4, 7, 0, 3, 6},
                                        {8, 7, 6, 5, 4, 3, 2, 1, 0},
                                        {6, 3, 0, 7, 4, 1, 8, 5, 2}};
    std::array<TMyVector2f, 9> uv;
    for (int k = 0; k < 9; ++k)
        uv[k] = Offsets[order[rot & 3][k]];
    if (mirrorU) {
        std::swap(uv[0], uv[2]);
        std::swap(uv[3], uv[5]);
        std::swap(uv[6], uv[8]);
    }
    if (mirrorV) {
        std::swap(uv[0], uv[6]);
        std::swap(uv[1], uv[7]);
        std::swap(uv[2], uv[8]);
    }
    const TMyVector2f centre{(float(col) + 0.5f) * CellU, (float(row) + 0.5f) * CellV};
    for (auto& t : uv)
        t = t + centre;
    return uv;
}

void TLandshaftObject::BuildNode(TMyTreeNode& node) {
    const int32_t cols = node.Col1 - node.Col0 + 1;
    const int32_t rows = node.Row1 - node.Row0 + 1;
    if (cols <= LeafTiles && rows <= LeafTiles) {
        BuildLeaf(node);
        return;
    }
    node.IsInner = true;
    node.Child1 = std::make_unique<TMyTreeNode>();
    node.Child2 = std::make_unique<TMyTreeNode>();
    TMyTreeNode& a = *node.Child1;
    TMyTreeNode& b = *node.Child2;
    // Both start as the parent's range and box; the split below cuts them apart.
    for (TMyTreeNode* child : {&a, &b}) {
        child->Parent = &node;
        child->Col0 = node.Col0;
        child->Row0 = node.Row0;
        child->Col1 = node.Col1;
        child->Row1 = node.Row1;
        child->BoxMin = node.BoxMin;
        child->BoxMax = node.BoxMax;
    }
    if ((node.Row1 - node.Row0) < (node.Col1 - node.Col0)) {
        const int32_t half = (cols / LeafTiles + 1) / 2;
        const int32_t first = half * LeafTiles;
        a.Col1 = node.Col0 + first - 1;
        b.Col0 = node.Col0 + first;
        a.BoxMax.z -= float(cols - first);
        b.BoxMin.z += float(first);
    } else {
        const int32_t half = (rows / LeafTiles + 1) / 2;
        const int32_t first = half * LeafTiles;
        a.Row1 = node.Row0 + first - 1;
        b.Row0 = node.Row0 + first;
        a.BoxMax.x -= float(rows - first);
        b.BoxMin.x += float(first);
    }
    BuildNode(a);
    BuildNode(b);
}

void TLandshaftObject::BuildLeaf(TMyTreeNode& node) {
    static constexpr uint32_t triangles[8][3] = {{0, 1, 4}, {0, 4, 3}, {3, 4, 6}, {6, 4, 7},
                                                 {4, 8, 7}, {4, 5, 8}, {4, 2, 5}, {1, 2, 4}};
    const int32_t tiles = (node.Col1 - node.Col0 + 1) * (node.Row1 - node.Row0 + 1);
    node.IsInner = false;
    node.FirstVertex = static_cast<int32_t>(RendVerts.size());
    node.FirstIndex = static_cast<int32_t>(Indices.size());
    node.VertexCount = 9 * tiles;
    node.TriangleCount = 8 * tiles;
    node.GridTriangles.clear();
    node.GridTriangles.reserve(size_t(node.TriangleCount) * 3);

    for (int32_t row = node.Row0; row <= node.Row1; ++row)
        for (int32_t col = node.Col0; col <= node.Col1; ++col) {
            TTilePlace& tile = Tiles[size_t(row) * TileCols + col];
            tile.Node = &node;
            const auto uv1 = TileTexCoords(tile.Col1, tile.Row1, tile.Rot1, tile.MirrorU1, tile.MirrorV1);
            const auto uv2 = TileTexCoords(tile.Col2, tile.Row2, tile.Rot2, tile.MirrorU2, tile.MirrorV2);
            const auto base = static_cast<uint32_t>(RendVerts.size());
            uint32_t grid[9];
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) {
                    const int k = 3 * i + j;
                    grid[k] = uint32_t(2 * row + i) * uint32_t(VertCols) + uint32_t(2 * col + j);
                    const TLandVert& v = Verts[grid[k]];
                    TRendVert rv;
                    rv.Position = v.Position;
                    rv.R = v.R;
                    rv.G = v.G;
                    rv.B = v.B;
                    rv.Alpha = v.Alpha;
                    rv.Normal = v.Normal;
                    rv.U1 = uv1[k].x;
                    rv.V1 = uv1[k].y;
                    rv.U2 = uv2[k].x;
                    rv.V2 = uv2[k].y;
                    RendVerts.push_back(rv);
                }
            for (const auto& tri : triangles)
                for (uint32_t local : tri) {
                    Indices.push_back(base + local);
                    node.GridTriangles.push_back(grid[local]);
                }
        }

    float lo = PlusInfinity, hi = MinusInfinity;
    for (int32_t r = 2 * node.Row0; r <= 2 * node.Row1 + 2; ++r)
        for (int32_t c = 2 * node.Col0; c <= 2 * node.Col1 + 2; ++c) {
            lo = std::min(lo, H(r, c));
            hi = std::max(hi, H(r, c));
        }
    node.BoxMin.y = lo;
    node.BoxMax.y = hi;
    for (TMyTreeNode* p = node.Parent; p; p = p->Parent) {
        p->BoxMin.y = std::min({p->BoxMin.y, p->Child1->BoxMin.y, p->Child2->BoxMin.y});
        p->BoxMax.y = std::max({p->BoxMax.y, p->Child1->BoxMax.y, p->Child2->BoxMax.y});
    }
}

// ---------------------------------------------------------------------------------------------
// Queries

float TLandshaftObject::GetHeight(float mx, float my) const {
    if (VertRows < 2 || VertCols < 2)
        return 0.0f;
    // Clamped so that the far edges (mx = W, my = H) and anything off the map stay in the grid.
    float gx = 2.0f * my, gz = 2.0f * mx;
    if (!(gx > 0.0f))
        gx = 0.0f;
    if (gx > float(VertRows - 1))
        gx = float(VertRows - 1);
    if (!(gz > 0.0f))
        gz = 0.0f;
    if (gz > float(VertCols - 1))
        gz = float(VertCols - 1);
    const int32_t r = std::min(static_cast<int32_t>(gx), VertRows - 2);
    const int32_t c = std::min(static_cast<int32_t>(gz), VertCols - 2);
    const float fx = gx - float(r), fz = gz - float(c);
    return (1.0f - fx) * ((1.0f - fz) * H(r, c) + fz * H(r, c + 1)) +
           fx * ((1.0f - fz) * H(r + 1, c) + fz * H(r + 1, c + 1));
}

float TLandshaftObject::GetTileHeight(int32_t col, int32_t row) const {
    if (TileCols < 1 || TileRows < 1)
        return 0.0f;
    col = std::clamp(col, 0, TileCols - 1);
    row = std::clamp(row, 0, TileRows - 1);
    return H(2 * row + 1, 2 * col + 1);
}

void TLandshaftObject::CollectLeaves(const TMyTreeNode& node, const TMyVector3f& origin,
                                     const TMyVector3f& segment,
                                     std::vector<const TMyTreeNode*>& leaves) const {
    float tNear, tFar;
    // A node counts when the segment reaches its box before its end; the segment may end inside
    // the box (a short segment that stops below the surface still hits it).
    if (!RayBox(origin, segment, node.BoxMin, node.BoxMax, tNear, tFar) || tNear > 1.0f)
        return;
    if (node.IsInner) {
        CollectLeaves(*node.Child1, origin, segment, leaves);
        CollectLeaves(*node.Child2, origin, segment, leaves);
    } else {
        leaves.push_back(&node);
    }
}

bool TLandshaftObject::RayPick(const TMyVector3f& origin, const TMyVector3f& segment, TMyVector3f& point,
                               TMyVector3f& normal) const {
    if (!TreeRoot)
        return false;
    std::vector<const TMyTreeNode*> leaves;
    CollectLeaves(*TreeRoot, origin, segment, leaves);

    bool found = false;
    float best = Vec3Length(segment) + 1.0f;
    for (const TMyTreeNode* leaf : leaves) {
        const auto& tri = leaf->GridTriangles;
        for (size_t i = 0; i + 2 < tri.size(); i += 3) {
            TMyVector3f p;
            float t;
            if (!RayTriangle(Verts[tri[i]].Position, Verts[tri[i + 1]].Position, Verts[tri[i + 2]].Position,
                             origin, segment, p, t))
                continue;
            if (t < 0.0f || t > 1.0f)
                continue;
            const float dist = Vec3Length(p - origin);
            if (dist < best) {
                best = dist;
                point = p;
                found = true;
            }
        }
    }
    if (!found)
        return false;
    // nearbyint rounds halves to even in the default rounding mode.
    const auto r =
        static_cast<int32_t>(std::clamp(std::nearbyint(2.0f * point.x), 0.0f, float(VertRows - 1)));
    const auto c =
        static_cast<int32_t>(std::clamp(std::nearbyint(2.0f * point.z), 0.0f, float(VertCols - 1)));
    normal = Verts[size_t(r) * VertCols + c].Normal;
    return true;
}

void TLandshaftObject::Destroy() {
    // Buffers exist only after a draw, which happened on the thread that owns the GL context.
    DeleteStaticBuffer(VertexBuffer);
    DeleteStaticBuffer(IndexBuffer);
    Uploaded = false;
    TreeRoot.reset();
    Tiles.clear();
    Verts.clear();
    RendVerts.clear();
    Indices.clear();
    RendVertCount = IndexCount = 0;
    TileCols = TileRows = VertCols = VertRows = 0;
}
