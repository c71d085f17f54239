// The landscape section: reading, lighting, normals, texture coordinates, the culling tree,
// height queries and picking, and refusal of damaged sections.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "test_world_support.h"

namespace {

std::vector<uint8_t> Bytes(const TLandscapeSection& s) {
    TMapWriter w;
    WriteLandscapeSection(w, s);
    return w.Bytes;
}

TLandscapeSection Reread(const std::vector<uint8_t>& bytes) {
    TMapStream stream(bytes, "test.map");
    return ReadLandscapeSection(stream);
}

std::unique_ptr<TLandshaftObject> Build(const TLandscapeSection& s, int atlas = 256) {
    auto land = std::make_unique<TLandshaftObject>();
    land->Build(Reread(Bytes(s)), atlas, atlas);
    return land;
}

// A ray straight down onto map point (mx, my).
bool PickDown(const TLandshaftObject& land, float mx, float my, TMyVector3f& point, TMyVector3f& normal) {
    return land.RayPick({my, 50.0f, mx}, {0.0f, -100.0f, 0.0f}, point, normal);
}

}  // namespace

TEST(LandscapeSection, RoundTripsThroughTheWriter) {
    TLandscapeSection s = MakeSection(3, 2, [](int r, int c) { return int16_t(r * 100 - c * 7); });
    s.Tiles[4] = {7, 9, 0x0E, 1, 2, 0x05, 6, 0x20008};
    const auto bytes = Bytes(s);
    EXPECT_EQ(bytes.size(), 16u + 11u * 6 + 4u + 4u * 7 * 5);
    const TLandscapeSection back = Reread(bytes);
    EXPECT_EQ(back.Cols, 3);
    EXPECT_EQ(back.Rows, 2);
    ASSERT_EQ(back.Tiles.size(), 6u);
    EXPECT_EQ(back.Tiles[4].Col1, 7);
    EXPECT_EQ(back.Tiles[4].Row1, 9);
    EXPECT_EQ(back.Tiles[4].Packed1, 0x0E);
    EXPECT_EQ(back.Tiles[4].Packed2, 0x05);
    EXPECT_EQ(back.Tiles[4].TileType, 6);
    EXPECT_EQ(back.Tiles[4].Flags, 0x20008u);
    ASSERT_EQ(back.Verts.size(), 35u);
    EXPECT_EQ(back.Verts[8].Height, 100 - 7);
}

TEST(LandscapeSection, RefusesDamagedSections) {
    const TLandscapeSection good = MakeSection(2, 2);

    auto expectRefused = [](const std::vector<uint8_t>& bytes, const std::string& part) {
        try {
            Reread(bytes);
            ADD_FAILURE() << "accepted a damaged section (" << part << ")";
        } catch (const EMapVersionError&) {
            ADD_FAILURE() << "a damaged section reported as outdated (" << part << ")";
        } catch (const EMapFileError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find("\"test.map\""), std::string::npos) << what;
            EXPECT_NE(what.find(part), std::string::npos) << what;
        }
    };

    TLandscapeSection fewTiles = good;
    fewTiles.Tiles.pop_back();
    expectRefused(Bytes(fewTiles), "tile count 3");
    TLandscapeSection moreVerts = good;
    moreVerts.Verts.push_back({});
    expectRefused(Bytes(moreVerts), "vertex count 26");
    TLandscapeSection empty = MakeSection(0, 3);
    expectRefused(Bytes(empty), "size 0 x 3");
    TLandscapeSection negative = good;
    negative.Cols = -2;
    expectRefused(Bytes(negative), "out of range");
    TLandscapeSection huge = good;
    huge.Cols = 1 << 30;
    huge.Rows = 1 << 30;
    expectRefused(Bytes(huge), "out of range");

    // A header that promises more tiles than the stream holds is refused before anything is sized.
    TLandscapeSection big = MakeSection(2, 2);
    big.Cols = 4000;
    big.Rows = 4000;
    auto bytes = Bytes(big);
    uint32_t count = 4000u * 4000u;
    std::memcpy(bytes.data() + 12, &count, 4);
    expectRefused(bytes, "tile records");

    // Every truncation ends in a clean refusal.
    const auto whole = Bytes(good);
    for (size_t n = 0; n < whole.size(); ++n)
        expectRefused(std::vector<uint8_t>(whole.begin(), whole.begin() + long(n)), "ends inside");
}

TEST(LandscapeSection, RefusesOtherVersions) {
    TLandscapeSection s = MakeSection(1, 1);
    s.Version = 99;
    try {
        Reread(Bytes(s));
        FAIL() << "version 99 accepted";
    } catch (const EMapVersionError& e) {
        EXPECT_STREQ(e.what(), "Версия ландшафта устарела. Загрузка невозможна.");
    }
}

TEST(LandscapeSectionDeathTest, OutdatedVersionEndsTheProgramWithTheMessage) {
    TempDir dir;
    TLandscapeSection s = MakeSection(1, 1);
    s.Version = 101;
    const auto bytes = Bytes(s);
    EXPECT_EXIT(
        {
            AppPath = dir.path() + "/";
            SetMessageBoxesEnabled(false);
            TMapStream stream(bytes, "old.map");
            TLandshaftObject land;
            land.Create(stream);
        },
        ::testing::ExitedWithCode(0), "Версия ландшафта устарела. Загрузка невозможна.");
}

using LandscapeLoad = WorldTest;

TEST_F(LandscapeLoad, ReadsFromTheStreamWithTheAtlasSize) {
    TMapWriter w;
    w.WriteInt32(1234);  // whatever precedes the section
    WriteLandscapeSection(w, MakeSection(2, 3, [](int r, int c) { return int16_t(r * c); }));
    w.WriteInt32(-1);  // and follows it
    TMapStream stream(w.Bytes, "land.map");
    stream.SetPosition(4);
    TLandshaftObject land;
    land.Create(stream);
    EXPECT_EQ(stream.Remaining(), 4u);
    EXPECT_EQ(land.TileCols, 2);
    EXPECT_EQ(land.TileRows, 3);
    EXPECT_GE(land.TileSetTexture, 0);
    // The atlas is 256 x 128 pixels of 64-pixel cells.
    EXPECT_FLOAT_EQ(land.CellU, 0.25f);
    EXPECT_FLOAT_EQ(land.CellV, 0.5f);
    EXPECT_FLOAT_EQ(land.HalfU, 30.0f / 256);
    EXPECT_FLOAT_EQ(land.HalfV, 30.0f / 128);
    EXPECT_FLOAT_EQ(land.GetHeight(1.0f, 1.5f), 6.0f / 200);
    const std::string log = LogText();
    const auto begin = log.find("Landshaft Create ...");
    EXPECT_NE(begin, std::string::npos);
    EXPECT_NE(log.find("Landshaft Create - complete.", begin), std::string::npos);
}

TEST(Landscape, VerticesLightAndBorder) {
    auto land = Build(MakeSection(3, 2, [](int r, int c) { return int16_t(r * 40 + c); }));
    ASSERT_EQ(land->VertCols, 7);
    ASSERT_EQ(land->VertRows, 5);
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 7; ++c) {
            const TLandVert& v = land->Vert(r, c);
            EXPECT_FLOAT_EQ(v.Position.x, r * 0.5f);
            EXPECT_FLOAT_EQ(v.Position.z, c * 0.5f);
            EXPECT_FLOAT_EQ(v.Position.y, float(r * 40 + c) / 200.0f);
            EXPECT_FLOAT_EQ(v.Alpha, 100.0f / 255.0f);
            const bool outer = r == 0 || r == 4 || c == 0 || c == 6;
            const bool second = r == 1 || r == 3 || c == 1 || c == 5;
            const float expected = outer ? 0.0f : second ? 0.5f : 200.0f / 255.0f;
            EXPECT_FLOAT_EQ(v.R, expected) << r << "," << c;
            EXPECT_FLOAT_EQ(v.G, expected);
            EXPECT_FLOAT_EQ(v.B, expected);
        }
}

TEST(Landscape, Normals) {
    auto flat = Build(MakeSection(2, 2, [](int, int) { return int16_t(300); }));
    for (const auto& v : flat->Verts) {
        EXPECT_FLOAT_EQ(v.Normal.x, 0.0f);
        EXPECT_FLOAT_EQ(v.Normal.y, 1.0f);
        EXPECT_FLOAT_EQ(v.Normal.z, 0.0f);
    }

    // Height rising by 0.5 per grid column (slope 1 along z): the inner normals lean towards -z.
    auto slope = Build(MakeSection(3, 3, [](int, int c) { return int16_t(c * 100); }));
    const TLandVert& v = slope->Vert(3, 3);
    EXPECT_NEAR(v.Normal.x, 0.0f, 1e-6);
    EXPECT_NEAR(v.Normal.y, std::sqrt(0.5f), 1e-6);
    EXPECT_NEAR(v.Normal.z, -std::sqrt(0.5f), 1e-6);
    // At the edge the clamped neighbours still give a unit normal.
    const TLandVert& e = slope->Vert(0, 0);
    EXPECT_NEAR(Vec3Length(e.Normal), 1.0f, 1e-5);
    EXPECT_GT(e.Normal.y, 0.0f);
}

TEST(Landscape, TileTextureCoordinates) {
    auto land = Build(MakeSection(1, 1), 256);
    const float a = 30.0f / 256, cell = 64.0f / 256;
    const auto rot0 = land->TileTexCoords(2, 1, 0, false, false);
    // Centre vertex at the cell centre, corners at the 60-pixel square's corners.
    EXPECT_FLOAT_EQ(rot0[4].x, 2.5f * cell);
    EXPECT_FLOAT_EQ(rot0[4].y, 1.5f * cell);
    EXPECT_FLOAT_EQ(rot0[0].x, 2.5f * cell - a);
    EXPECT_FLOAT_EQ(rot0[0].y, 1.5f * cell - a);
    EXPECT_FLOAT_EQ(rot0[5].x, 2.5f * cell + a);
    EXPECT_FLOAT_EQ(rot0[5].y, 1.5f * cell);

    auto same = [](const std::array<TMyVector2f, 9>& p, const std::array<TMyVector2f, 9>& q) {
        for (int k = 0; k < 9; ++k)
            if (p[k].x != q[k].x || p[k].y != q[k].y)
                return false;
        return true;
    };
    EXPECT_TRUE(same(land->TileTexCoords(2, 1, 2, false, false), land->TileTexCoords(2, 1, 0, true, true)));
    // A quarter turn: local vertex 0 takes what vertex 2 had unturned.
    const auto rot1 = land->TileTexCoords(2, 1, 1, false, false);
    EXPECT_FLOAT_EQ(rot1[0].x, rot0[2].x);
    EXPECT_FLOAT_EQ(rot1[0].y, rot0[2].y);
    EXPECT_FLOAT_EQ(rot1[1].x, rot0[5].x);
    // Four quarter turns in two steps of two come back.
    const auto rot3 = land->TileTexCoords(2, 1, 3, false, false);
    EXPECT_FLOAT_EQ(rot3[0].x, rot0[6].x);
    EXPECT_FLOAT_EQ(rot3[0].y, rot0[6].y);
    EXPECT_FALSE(same(rot1, rot3));

    // The packed byte of the file picks rotation and mirrors for the render vertices.
    TLandscapeSection s = MakeSection(1, 1);
    s.Tiles[0] = {2, 1, 0x02, 2, 1, 0x0C, 0, 0};
    auto tile = Build(s, 256);
    ASSERT_EQ(tile->RendVerts.size(), 9u);
    const auto rot2 = land->TileTexCoords(2, 1, 2, false, false);
    const auto mirrored = land->TileTexCoords(2, 1, 0, true, true);
    for (int k = 0; k < 9; ++k) {
        EXPECT_FLOAT_EQ(tile->RendVerts[k].U1, rot2[k].x);
        EXPECT_FLOAT_EQ(tile->RendVerts[k].V1, rot2[k].y);
        EXPECT_FLOAT_EQ(tile->RendVerts[k].U2, mirrored[k].x);
        EXPECT_FLOAT_EQ(tile->RendVerts[k].V2, mirrored[k].y);
    }
}

TEST(Landscape, SmallLandscapeIsOneLeaf) {
    auto land = Build(MakeSection(20, 20, [](int r, int c) { return int16_t(r - c); }));
    const TMyTreeNode& root = *land->TreeRoot;
    EXPECT_FALSE(root.IsInner);
    EXPECT_EQ(root.FirstVertex, 0);
    EXPECT_EQ(root.VertexCount, 3600);
    EXPECT_EQ(root.TriangleCount, 3200);
    EXPECT_EQ(root.GridTriangles.size(), 9600u);
    EXPECT_FLOAT_EQ(root.BoxMin.y, -40.0f / 200.0f);
    EXPECT_FLOAT_EQ(root.BoxMax.y, 40.0f / 200.0f);
    EXPECT_EQ(land->RendVerts.size(), 3600u);
    EXPECT_EQ(land->Indices.size(), 9600u);
    for (const auto& tile : land->Tiles)
        EXPECT_EQ(tile.Node, &root);
}

TEST(Landscape, TreeSplitsTheLongerSide) {
    // 64 columns: 40 + 24, and the 40 into 20 + 20; 30 rows in each leaf column block: 20 + 10.
    auto land = Build(MakeSection(64, 30, [](int r, int) { return int16_t(r); }));
    const TMyTreeNode& root = *land->TreeRoot;
    ASSERT_TRUE(root.IsInner);
    const TMyTreeNode& left = *root.Child1;
    const TMyTreeNode& right = *root.Child2;
    EXPECT_EQ(left.Col0, 0);
    EXPECT_EQ(left.Col1, 39);
    EXPECT_EQ(right.Col0, 40);
    EXPECT_EQ(right.Col1, 63);
    EXPECT_EQ(left.Row0, 0);
    EXPECT_EQ(left.Row1, 29);
    EXPECT_FLOAT_EQ(left.BoxMax.z, 40.0f);
    EXPECT_FLOAT_EQ(right.BoxMin.z, 40.0f);
    EXPECT_FLOAT_EQ(right.BoxMax.z, 64.0f);
    EXPECT_FLOAT_EQ(left.BoxMax.x, 30.0f);
    ASSERT_TRUE(left.IsInner);
    EXPECT_EQ(left.Child1->Col1, 19);
    EXPECT_EQ(left.Child2->Col0, 20);
    // 20 x 30: rows are longer now, split 20 + 10.
    const TMyTreeNode& block = *left.Child1;
    ASSERT_TRUE(block.IsInner);
    EXPECT_EQ(block.Child1->Row1, 19);
    EXPECT_EQ(block.Child2->Row0, 20);
    EXPECT_FLOAT_EQ(block.Child1->BoxMax.x, 20.0f);
    EXPECT_FLOAT_EQ(block.Child2->BoxMin.x, 20.0f);
    EXPECT_FALSE(block.Child1->IsInner);

    // Leaves are laid out depth first in the shared arrays; every tile knows its leaf.
    const TMyTreeNode& first = *block.Child1;
    const TMyTreeNode& second = *block.Child2;
    EXPECT_EQ(first.FirstVertex, 0);
    EXPECT_EQ(second.FirstVertex, 9 * 400);
    EXPECT_EQ(second.FirstIndex, 24 * 400);
    EXPECT_EQ(land->Tile(5, 25).Node, &second);
    EXPECT_EQ(land->Tile(63, 29).Node->Col1, 63);
    EXPECT_EQ(land->RendVerts.size(), size_t(64 * 30 * 9));
    EXPECT_EQ(land->Indices.size(), size_t(64 * 30 * 24));

    // Leaf heights cover their vertex block (rows 40..60 for the second leaf); ancestors the union.
    EXPECT_FLOAT_EQ(second.BoxMin.y, 40.0f / 200.0f);
    EXPECT_FLOAT_EQ(second.BoxMax.y, 60.0f / 200.0f);
    EXPECT_FLOAT_EQ(first.BoxMax.y, 40.0f / 200.0f);
    EXPECT_FLOAT_EQ(root.BoxMax.y, 60.0f / 200.0f);
    EXPECT_FLOAT_EQ(root.BoxMin.y, -0.0001f);

    // Each leaf's indices stay inside its own vertex slice and its grid triangles match them.
    const TMyTreeNode& leaf = *right.Child2;
    for (int i = 0; i < leaf.TriangleCount * 3; ++i) {
        const uint32_t index = land->Indices[size_t(leaf.FirstIndex) + i];
        ASSERT_GE(index, uint32_t(leaf.FirstVertex));
        ASSERT_LT(index, uint32_t(leaf.FirstVertex + leaf.VertexCount));
        const TRendVert& rv = land->RendVerts[index];
        const TLandVert& gv = land->Verts[leaf.GridTriangles[size_t(i)]];
        ASSERT_FLOAT_EQ(rv.Position.x, gv.Position.x);
        ASSERT_FLOAT_EQ(rv.Position.z, gv.Position.z);
    }
}

TEST(Landscape, HeightsAtVerticesMidpointsEdgesAndCorners) {
    // h(r, c) = (3r + 5c) / 200 is bilinear, so GetHeight reproduces it exactly everywhere.
    auto land = Build(MakeSection(3, 2, [](int r, int c) { return int16_t(3 * r + 5 * c); }));
    auto expected = [](float mx, float my) { return (3.0f * 2 * my + 5.0f * 2 * mx) / 200.0f; };
    for (float mx : {0.0f, 0.25f, 0.5f, 1.0f, 1.75f, 2.5f, 2.99f, 3.0f})
        for (float my : {0.0f, 0.5f, 1.25f, 1.99f, 2.0f})
            EXPECT_NEAR(land->GetHeight(mx, my), expected(mx, my), 1e-5) << mx << "," << my;

    auto bumpy = Build(MakeSection(2, 2, [](int r, int c) { return int16_t((r * 7 + c * 13) % 11 * 20); }));
    // At a grid vertex the height is the vertex's; midway between two it is their mean.
    EXPECT_FLOAT_EQ(bumpy->GetHeight(0.5f, 1.0f), bumpy->Vert(2, 1).Position.y);
    EXPECT_FLOAT_EQ(bumpy->GetHeight(0.75f, 1.0f),
                    (bumpy->Vert(2, 1).Position.y + bumpy->Vert(2, 2).Position.y) / 2);
    // Far edges and the far corner stay inside the grid.
    EXPECT_FLOAT_EQ(bumpy->GetHeight(2.0f, 2.0f), bumpy->Vert(4, 4).Position.y);
    EXPECT_FLOAT_EQ(bumpy->GetHeight(2.0f, 0.0f), bumpy->Vert(0, 4).Position.y);
    EXPECT_FLOAT_EQ(bumpy->GetHeight(0.0f, 2.0f), bumpy->Vert(4, 0).Position.y);
    // Off the map: clamped to the edge; not-a-number lands on the first row or column.
    EXPECT_FLOAT_EQ(bumpy->GetHeight(-5.0f, 7.0f), bumpy->Vert(4, 0).Position.y);
    EXPECT_FLOAT_EQ(bumpy->GetHeight(NAN, NAN), bumpy->Vert(0, 0).Position.y);

    // Tile heights are the tile centres' vertices; tiles off the map are clamped.
    EXPECT_FLOAT_EQ(bumpy->GetTileHeight(1, 0), bumpy->Vert(1, 3).Position.y);
    EXPECT_FLOAT_EQ(bumpy->GetTileHeight(1, 1), bumpy->Vert(3, 3).Position.y);
    EXPECT_FLOAT_EQ(bumpy->GetTileHeight(2, 2), bumpy->Vert(3, 3).Position.y);
    EXPECT_FLOAT_EQ(bumpy->GetTileHeight(-1, -1), bumpy->Vert(1, 1).Position.y);

    // A flat landscape gives the stored height everywhere.
    auto flat = Build(MakeSection(4, 4, [](int, int) { return int16_t(-150); }));
    for (float p : {0.0f, 0.3f, 1.7f, 3.99f, 4.0f})
        EXPECT_FLOAT_EQ(flat->GetHeight(p, 4.0f - p), -0.75f);
}

TEST(Landscape, PickingAtCentresEdgesAndCorners) {
    auto land = Build(MakeSection(30, 25, [](int r, int c) { return int16_t((r * 7 + c * 3) % 50); }));
    TMyVector3f point, normal;
    for (auto [mx, my] : {std::pair{0.5f, 0.5f},
                          {12.5f, 7.5f},
                          {29.5f, 24.5f},
                          {0.0f, 0.0f},
                          {30.0f, 25.0f},
                          {30.0f, 0.0f},
                          {20.0f, 13.3f},
                          {19.99f, 20.01f}}) {
        ASSERT_TRUE(PickDown(*land, mx, my, point, normal)) << mx << "," << my;
        EXPECT_NEAR(point.x, my, 1e-4);
        EXPECT_NEAR(point.z, mx, 1e-4);
        // The normal is the one of the grid vertex nearest to the hit (row from x, column from z).
        EXPECT_NEAR(normal.y, land->Vert(int(std::nearbyint(2 * my)), int(std::nearbyint(2 * mx))).Normal.y,
                    1e-6);
    }
    ASSERT_TRUE(PickDown(*land, 12.5f, 7.5f, point, normal));
    EXPECT_NEAR(point.y, land->GetTileHeight(12, 7), 1e-4);

    // Off the map, and pointing away, nothing is hit.
    EXPECT_FALSE(PickDown(*land, 31.0f, 5.0f, point, normal));
    EXPECT_FALSE(land->RayPick({5.0f, 5.0f, 5.0f}, {0.0f, 10.0f, 0.0f}, point, normal));
    // A segment that stops above the ground does not reach it.
    EXPECT_FALSE(land->RayPick({5.0f, 5.0f, 5.0f}, {0.0f, -4.0f, 0.0f}, point, normal));
    // A segment that ends just below the surface, inside the leaf's box, still hits.
    const float h = land->GetHeight(5.0f, 5.0f);
    ASSERT_TRUE(land->RayPick({5.0f, h + 1.0f, 5.0f}, {0.0f, -1.001f, 0.0f}, point, normal));
    EXPECT_NEAR(point.y, h, 1e-4);
}

TEST(Landscape, PickingTakesTheNearestHit) {
    // A ridge along row 10 (world x = 5): a flat ray at height 1 meets its near flank first.
    auto land = Build(MakeSection(10, 10, [](int r, int) { return int16_t(r == 10 ? 400 : 0); }));
    TMyVector3f point, normal;
    ASSERT_TRUE(land->RayPick({0.5f, 1.0f, 3.25f}, {9.0f, 0.0f, 0.0f}, point, normal));
    EXPECT_NEAR(point.x, 4.75f, 1e-4);
    ASSERT_TRUE(land->RayPick({9.5f, 1.0f, 3.25f}, {-9.0f, 0.0f, 0.0f}, point, normal));
    EXPECT_NEAR(point.x, 5.25f, 1e-4);
    // Normal of the nearest grid vertex: (row 10, column 6) is the ridge line itself.
    ASSERT_TRUE(land->RayPick({5.0f, 5.0f, 3.0f}, {0.0f, -10.0f, 0.0f}, point, normal));
    EXPECT_FLOAT_EQ(normal.y, land->Vert(10, 6).Normal.y);
}
