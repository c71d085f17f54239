// The game map: the map file and its writer, loading with trees, entities and water, passability
// per unit type and the path finder's grids, rings, what is queued for drawing, troop chains and
// refusal of damaged files.

#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>

#include "test_world_support.h"
#include "resources/e_ModelObject.h"
#include "units/GameUnits.h"
#include "world/e_Frustum.h"

namespace {

// A 12 x 10 map with two trees, a rock in each entity list and a square pond whose rim triangles
// are hidden. Heights rise by 0.01 per grid row.
TMapFileData SmallMap() {
    TMapFileData d;
    d.Trees = {{"Tree", {2.5f, 3.5f, 0.25f}, 0.0f}, {"Tree", {8.0f, 1.0f, 0.0f}, 1.0f}};
    d.Entities = {{"Rock", {5.0f, 5.0f, 0.5f}, float(std::numbers::pi / 2)}};
    d.Entities2 = {{"Rock.PRM", {11.5f, 9.5f, 0.0f}, 0.0f}};
    d.WaterColour = {0.1f, 0.2f, 0.7f, 0.5f};
    TMapWaterEntry pond;
    pond.Unused = 77;
    // World x (rows) 6..8, z (columns) 1..3 at height 0.3, a 3 x 3 vertex grid; the far
    // column's two triangles are hidden.
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            pond.Section.Vertices.push_back({6.0f + i, 0.3f, 1.0f + j});
    pond.Section.Triangles = {{0, 1, 4, 1}, {0, 4, 3, 1}, {3, 4, 7, 1}, {3, 7, 6, 1},
                              {1, 2, 5, 0}, {1, 5, 4, 1}, {4, 5, 8, 0}, {4, 8, 7, 1}};
    d.Waters.push_back(pond);
    d.Reserved = 5;
    d.Landscape = MakeSection(12, 10, [](int r, int) { return int16_t(2 * r); });
    // Terrain types along row 0: tile col = type; impassable flags on row 1.
    for (int t = 0; t < 12; ++t)
        d.Landscape.Tiles[size_t(t)].TileType = uint8_t(t);
    d.Landscape.Tiles[12 + 0].Flags = 0x8;
    d.Landscape.Tiles[12 + 1].Flags = 0x20000;
    d.Landscape.Tiles[12 + 2].Flags = 0x40000;
    d.Landscape.Tiles[12 + 3].Flags = 0x10 | 0x1 | 0x80000000u;  // other bits are not read
    return d;
}

// The map section of a whole map file, as the battle scene hands it over.
TMapStream SectionStream(const std::vector<uint8_t>& file, const std::string& name = "test.map") {
    TMapStream stream(file, name);
    stream.SetPosition(8);
    return stream;
}

// A frustum that sees the cube -1..1 around the world origin.
TFrustum OriginCube() {
    TFrustum f;
    f.Calculate(IdentityMatrix);
    return f;
}

}  // namespace

TEST(MapFile, WriterAndReaderAgree) {
    const TMapFileData d = SmallMap();
    const auto bytes = WriteMapFile(d);
    TMapStream stream(bytes, "round.map");
    const TMapFileData back = ReadMapFile(stream);
    EXPECT_EQ(stream.Remaining(), 0u);
    EXPECT_EQ(back.FileVersion, 100);
    ASSERT_EQ(back.Trees.size(), 2u);
    EXPECT_EQ(back.Trees[1].Name, "Tree");
    EXPECT_FLOAT_EQ(back.Trees[1].Position.x, 8.0f);
    EXPECT_FLOAT_EQ(back.Trees[1].Yaw, 1.0f);
    ASSERT_EQ(back.Entities.size(), 1u);
    EXPECT_FLOAT_EQ(back.Entities[0].Position.z, 0.5f);
    ASSERT_EQ(back.Entities2.size(), 1u);
    EXPECT_EQ(back.Entities2[0].Name, "Rock.PRM");
    EXPECT_FLOAT_EQ(back.WaterColour.z, 0.7f);
    ASSERT_EQ(back.Waters.size(), 1u);
    EXPECT_EQ(back.Waters[0].Unused, 77);
    EXPECT_EQ(back.Waters[0].Section.Vertices.size(), 9u);
    EXPECT_EQ(back.Waters[0].Section.Triangles[4].Shown, 0);
    EXPECT_EQ(back.Reserved, 5);
    EXPECT_EQ(back.Landscape.Cols, 12);
    EXPECT_EQ(back.Landscape.Tiles[12 + 1].Flags, 0x20000u);
    // A name the one-byte length cannot hold is refused by the writer.
    TMapFileData longName = d;
    longName.Trees[0].Name.assign(256, 'x');
    EXPECT_THROW(WriteMapFile(longName), std::invalid_argument);
}

TEST(MapFile, RefusesOtherVersions) {
    TMapFileData d = SmallMap();
    d.FileVersion = 99;
    TMapStream old(WriteMapFile(d), "Data/Maps/Old.map");
    try {
        ReadMapFile(old);
        FAIL();
    } catch (const EMapVersionError& e) {
        EXPECT_STREQ(e.what(), "Версия файла \"Data/Maps/Old.map\" устарела. Загрузка невозможна.");
    }
    d.FileVersion = 100;
    d.Version = 101;
    TMapStream section(WriteMapFile(d), "x.map");
    try {
        ReadMapFile(section);
        FAIL();
    } catch (const EMapVersionError& e) {
        EXPECT_STREQ(e.what(), "Версия карты устарела. Загрузка невозможна.");
    }
}

using GameMap = WorldTest;

TEST_F(GameMap, LoadsASmallMap) {
    TTestDrawQueue queue;
    std::vector<float>& progress = queue.Progress;
    const auto file = WriteMapFile(SmallMap());
    TMapStream stream = SectionStream(file);
    TGameMap map;
    map.Create(stream);
    EXPECT_EQ(stream.Remaining(), 0u);

    EXPECT_EQ(map.MapCols, 12);
    EXPECT_EQ(map.MapRows, 10);
    ASSERT_EQ(map.Trees.size(), 2u);
    ASSERT_EQ(map.Entities.size(), 1u);
    ASSERT_EQ(map.Entities2.size(), 1u);
    ASSERT_EQ(map.Waters.size(), 1u);
    EXPECT_EQ(map.Occupancy.size(), 120u);
    for (auto* head : map.Occupancy)
        EXPECT_EQ(head, nullptr);
    EXPECT_GE(map.CloudsTexture, 0);
    EXPECT_GE(map.RingTexture, 0);
    EXPECT_TRUE(map.Rings.empty());
    EXPECT_EQ(map.Time, 0.0);
    EXPECT_EQ(progress, (std::vector<float>{0.25f, 0.5f}));

    // An entity stands at world (my, h, mx), turned by -yaw about the vertical axis.
    const TGameEntity& rock = *map.Entities[0];
    EXPECT_EQ(rock.Model->Name, "Rock");
    const TMatrix4f& m = rock.Model->ModelMatrix;
    EXPECT_FLOAT_EQ(m[12], 5.0f);
    EXPECT_FLOAT_EQ(m[13], 0.5f);
    EXPECT_FLOAT_EQ(m[14], 5.0f);
    // The rock's long axis (model x, 2 units) now lies along world z; its world box follows.
    EXPECT_NEAR(rock.Model->WorldCorners[0].x, 5.25f, 1e-5);
    EXPECT_NEAR(rock.Model->WorldCorners[0].z, 4.0f, 1e-5);
    EXPECT_NEAR(rock.Model->WorldBox.Center.y, 0.75f, 1e-5);
    EXPECT_FLOAT_EQ(map.Entities2[0]->Position.x, 11.5f);

    for (const auto& tree : map.Trees) {
        EXPECT_GE(tree->SwayPhase, -float(std::numbers::pi));
        EXPECT_LT(tree->SwayPhase, float(std::numbers::pi));
    }

    // The pond: hidden rim triangles dropped, their corners transparent, the box over the rest.
    const TWaterObject& pond = *map.Waters[0];
    EXPECT_EQ(pond.VertexCount, 9);
    EXPECT_EQ(pond.TriangleCount, 6);
    EXPECT_FLOAT_EQ(pond.Vertices[0].b, 0.7f);
    EXPECT_FLOAT_EQ(pond.Vertices[0].a, 0.5f);
    for (int hidden : {1, 2, 4, 5, 8})
        EXPECT_EQ(pond.Vertices[size_t(hidden)].a, 0.0f) << hidden;
    EXPECT_FLOAT_EQ(pond.BoxMin.x, 6.0f);
    EXPECT_FLOAT_EQ(pond.BoxMax.x, 8.0f);
    EXPECT_FLOAT_EQ(pond.BoxMin.z, 1.0f);
    EXPECT_FLOAT_EQ(pond.BoxMax.z, 2.0f);  // vertex 7 is the only opaque one beyond column 0
    EXPECT_FLOAT_EQ(pond.BoxMax.y, 0.3f);

    const std::string log = LogText();
    size_t at = 0;
    for (const char* line :
         {"CreateMap ...", "CreateModel: \"", "Water Object Create ...", "Water Object Create - complete.",
          "Landshaft Create ...", "Landshaft Create - complete.", "CreateMap - complete."}) {
        at = log.find(line, at);
        ASSERT_NE(at, std::string::npos) << line;
    }
}

TEST_F(GameMap, HeightsAndPickingAreTheLandscapes) {
    const auto file = WriteMapFile(SmallMap());
    TMapStream stream = SectionStream(file);
    TGameMap map;
    map.Load(stream);
    // Heights rise by 0.01 per grid row, that is 0.02 per unit of my.
    for (auto [mx, my] :
         {std::pair{0.0f, 0.0f}, {6.5f, 4.5f}, {12.0f, 10.0f}, {12.0f, 0.0f}, {0.0f, 10.0f}}) {
        EXPECT_NEAR(map.GetHeight(mx, my), 0.02f * my, 1e-5);
        TMyVector3f point, normal;
        ASSERT_TRUE(map.RayPick({my, 5.0f, mx}, {0.0f, -10.0f, 0.0f}, point, normal));
        EXPECT_NEAR(point.y, 0.02f * my, 1e-5);
        EXPECT_GT(normal.y, 0.99f);
    }
    EXPECT_NEAR(map.GetTileHeight(11, 9), 0.02f * 9.5f, 1e-5);
    EXPECT_NEAR(map.GetTileHeight(12, 10), 0.02f * 9.5f, 1e-5);
    EXPECT_EQ(map.GetTileType(7, 0), TTileType::Rocky);
    EXPECT_EQ(map.GetTileType(12, 0), TTileType::OffMap);
    EXPECT_EQ(map.GetTileType(0, -1), TTileType::OffMap);
}

TEST_F(GameMap, PassabilityPerUnitType) {
    const auto file = WriteMapFile(SmallMap());
    TMapStream stream = SectionStream(file);
    TGameMap map;
    map.Load(stream);

    // Row 0 holds the types 0..11 in columns 0..11.
    const bool open[12] = {true, true, false, false, true, true, false, false, false, true, false, false};
    for (int type = 0; type < 12; ++type)
        for (int unit = 0; unit < 4; ++unit) {
            bool expected = open[type];
            if (type == 3)
                expected = UnitFeatures[size_t(unit)].BlockedByType3 != 1;
            if (type == 6)
                expected = UnitFeatures[size_t(unit)].BlockedByType6 != 1;
            EXPECT_EQ(map.IsPassable(type, 0, unit), expected) << "type " << type << " unit " << unit;
        }
    // Type 3: bowmen and cavalry pass, warriors and the debug unit do not; type 6 stops cavalry only.
    EXPECT_TRUE(map.IsPassable(3, 0, UnitTypeBowman));
    EXPECT_FALSE(map.IsPassable(3, 0, UnitTypeWarrior));
    EXPECT_TRUE(map.IsPassable(3, 0, UnitTypeCavalryman));
    EXPECT_TRUE(map.IsPassable(6, 0, UnitTypeWarrior));
    EXPECT_FALSE(map.IsPassable(6, 0, UnitTypeCavalryman));
    // Flags 0x8, 0x20000 and 0x40000 block every type; other bits do nothing.
    for (int unit = 0; unit < 4; ++unit) {
        EXPECT_FALSE(map.IsPassable(0, 1, unit));
        EXPECT_FALSE(map.IsPassable(1, 1, unit));
        EXPECT_FALSE(map.IsPassable(2, 1, unit));
        EXPECT_TRUE(map.IsPassable(3, 1, unit));
    }
    // Off the map or for an unknown unit type nothing is passable.
    EXPECT_FALSE(map.IsPassable(-1, 5, 1));
    EXPECT_FALSE(map.IsPassable(12, 5, 1));
    EXPECT_FALSE(map.IsPassable(4, 10, 1));
    EXPECT_FALSE(map.IsPassable(4, 4, 4));
    EXPECT_FALSE(map.IsPassable(4, 4, -1));

    // The path finder has one grid per type, built from the same rule.
    ASSERT_TRUE(map.PathFinder);
    EXPECT_EQ(map.PathFinder->GetGridCount(), 4);
    for (int unit = 0; unit < 4; ++unit) {
        const auto grid = map.PassGrid(unit);
        ASSERT_EQ(grid.size(), 120u);
        for (int row = 0; row < 10; ++row)
            for (int col = 0; col < 12; ++col) {
                const bool passable = map.IsPassable(col, row, unit);
                EXPECT_EQ(grid[size_t(row) * 12 + col], passable ? 0 : 255);
                EXPECT_EQ(map.PathFinder->CellCost(unit, col, row) == TPathFinder::MaxCost, !passable);
            }
    }
}

TEST_F(GameMap, PathsFollowTheUnitTypesGrid) {
    // A river of type 3 down column 2: bowmen and cavalry wade through, warriors cannot cross.
    TMapFileData d;
    d.Landscape = MakeSection(5, 3);
    for (int row = 0; row < 3; ++row)
        d.Landscape.Tiles[size_t(row) * 5 + 2].TileType = 3;
    const auto file = WriteMapFile(d);
    TMapStream stream = SectionStream(file);
    TGameMap map;
    map.Load(stream);
    const TWay bowman = map.FindPath({0, 1}, {4, 1}, UnitTypeBowman);
    EXPECT_EQ(bowman, (TWay{{0, 1}, {4, 1}}));
    const TWay cavalry = map.FindPath({0, 1}, {4, 1}, UnitTypeCavalryman);
    EXPECT_EQ(cavalry, (TWay{{0, 1}, {4, 1}}));
    const TWay warrior = map.FindPath({0, 1}, {4, 1}, UnitTypeWarrior);
    EXPECT_EQ(warrior, (TWay{{4, 1}, {4, 1}}));
}

TEST_F(GameMap, RingsAgeAndFloatOnWater) {
    const auto file = WriteMapFile(SmallMap());
    TMapStream stream = SectionStream(file);
    TGameMap map;
    map.Load(stream);

    // Outside every water box the ring keeps its height; on the pond it floats above it.
    map.AddRing({9.0f, 9.0f, 0.4f});
    ASSERT_EQ(map.Rings.size(), 1u);
    EXPECT_FLOAT_EQ(map.Rings[0].x, 9.0f);
    EXPECT_FLOAT_EQ(map.Rings[0].y, 0.4f);
    EXPECT_FLOAT_EQ(map.Rings[0].z, 9.0f);
    EXPECT_FLOAT_EQ(map.Rings[0].Age, 0.2f);
    EXPECT_TRUE(map.Rings[0].Active);
    map.AddRing({1.0f, 7.0f, -3.0f});  // world (7, ?, 1): on the pond's opaque edge
    ASSERT_EQ(map.Rings.size(), 2u);
    EXPECT_FLOAT_EQ(map.Rings[1].y, 0.31f);
    map.AddRing({2.5f, 7.0f, -3.0f});  // over the pond's faded part: outside its box
    EXPECT_FLOAT_EQ(map.Rings[2].y, -3.0f);

    // A ring lives 1.8 seconds of map time.
    map.Update(1.0);
    EXPECT_FLOAT_EQ(map.Rings[0].Age, 1.2f);
    map.Update(1.79);
    EXPECT_TRUE(map.Rings[0].Active);
    map.Update(1.81);
    EXPECT_FALSE(map.Rings[0].Active);
    EXPECT_FALSE(map.Rings[2].Active);
    EXPECT_EQ(map.Time, 1.81);
    // An inactive ring no longer ages; its slot is taken by the next ring.
    const float oldAge = map.Rings[1].Age;
    map.Update(3.0);
    EXPECT_FLOAT_EQ(map.Rings[1].Age, oldAge);
    map.AddRing({4.0f, 4.0f, 1.0f});
    EXPECT_EQ(map.Rings.size(), 3u);
    EXPECT_TRUE(map.Rings[0].Active);
    EXPECT_FLOAT_EQ(map.Rings[0].z, 4.0f);
}

TEST_F(GameMap, PrepareDrawQueuesWhatIsInView) {
    TMapFileData d = SmallMap();
    d.Trees = {{"Tree", {0.0f, 0.0f, 0.0f}, 0.5f}, {"Tree", {9.0f, 9.0f, 0.0f}, 0.0f}};
    d.Entities = {{"Rock", {0.5f, 0.5f, 0.0f}, 0.0f}, {"Rock", {6.0f, 2.0f, 0.0f}, 0.0f}};
    d.Entities2 = {{"Rock", {-0.5f, 0.0f, 0.0f}, 0.0f}};
    const auto file = WriteMapFile(d);
    TMapStream stream = SectionStream(file);
    TGameMap map;
    map.Load(stream);

    TTestDrawQueue queue;
    const std::vector<TGameModel*>& queued = queue.Models;
    const std::vector<std::array<float, 5>>& rings = queue.Rings;
    TLandshaftObject*& landscape = queue.Landscape;

    map.AddRing({0.0f, 0.0f, 0.0f});
    map.Update(1.0);
    map.AddRing({1.0f, 1.0f, 0.0f});
    map.Update(1.9);                  // the first ring goes out
    map.AddRing({2.0f, 2.0f, 0.0f});  // and its slot is reused
    map.Update(2.0);
    const TFrustum view = OriginCube();
    map.PrepareDraw(view);

    EXPECT_EQ(map.Frustum, &view);
    EXPECT_EQ(map.Landshaft->Frustum, &view);
    EXPECT_EQ(landscape, map.Landshaft.get());
    EXPECT_EQ(queue.Water, &map);
    ASSERT_EQ(rings.size(), 2u);
    EXPECT_FLOAT_EQ(rings[0][0], 2.0f);
    EXPECT_NEAR(rings[0][3], 0.3f, 1e-6);
    EXPECT_EQ(int(rings[0][4]), map.RingTexture);
    EXPECT_FLOAT_EQ(rings[1][0], 1.0f);
    EXPECT_NEAR(rings[1][3], 1.2f, 1e-6);
    // In view: the tree at the origin, the near rock of the first list and the one of the second.
    ASSERT_EQ(queued.size(), 3u);
    EXPECT_EQ(queued[0], map.Trees[0]->Model.get());
    EXPECT_EQ(queued[1], map.Entities[0]->Model.get());
    EXPECT_EQ(queued[2], map.Entities2[0]->Model.get());
    // The tree in view was swayed for the map clock.
    const float angle = TGameTree::SwayAngle(2.0, map.Trees[0]->SwayPhase);
    const TMatrix4f expected = MatMultiply(MatRotationX(angle), MatRotationY(-0.5f));
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(map.Trees[0]->Model->ModelMatrix[i], expected[i], 1e-6) << i;

    // Freeing the map takes its landscape and water away from the renderer.
    map.Destroy();
    EXPECT_EQ(landscape, nullptr);
    EXPECT_EQ(queue.Water, nullptr);
}

TEST_F(GameMap, MapWithoutSceneryLoads) {
    TMapFileData d;
    d.Landscape = MakeSection(3, 3);
    const auto file = WriteMapFile(d);
    TMapStream stream = SectionStream(file);
    TGameMap map;
    map.Load(stream);
    EXPECT_TRUE(map.Trees.empty());
    EXPECT_TRUE(map.Entities.empty());
    EXPECT_TRUE(map.Waters.empty());
    TTestDrawQueue queue;
    const std::vector<TGameModel*>& queued = queue.Models;
    const TFrustum view = OriginCube();
    map.PrepareDraw(view);
    EXPECT_TRUE(queued.empty());
    map.AddRing({1.0f, 1.0f, 2.0f});
    EXPECT_FLOAT_EQ(map.Rings[0].y, 2.0f);
}

TEST_F(GameMap, RefusesDamagedFiles) {
    auto expectRefused = [&](const std::vector<uint8_t>& file, const std::string& part) {
        TMapStream stream = SectionStream(file, "Data/Maps/Bad.map");
        TGameMap map;
        try {
            map.Load(stream);
            ADD_FAILURE() << "accepted (" << part << ")";
        } catch (const EMapVersionError& e) {
            ADD_FAILURE() << "reported as outdated: " << e.what();
        } catch (const EMapFileError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find("\"Data/Maps/Bad.map\""), std::string::npos) << what;
            EXPECT_NE(what.find(part), std::string::npos) << what;
        }
    };

    // A water triangle with an index at the vertex count.
    TMapFileData d = SmallMap();
    d.Waters[0].Section.Triangles[3].C = 9;
    expectRefused(WriteMapFile(d), "uses vertex 9 of a surface with 9 vertices");
    // Counts that run past the end of the stream.
    const auto good = WriteMapFile(SmallMap());
    auto patched = [&](size_t offset, int32_t value) {
        auto bytes = good;
        std::memcpy(bytes.data() + offset, &value, 4);
        return bytes;
    };
    expectRefused(patched(12, 1000000), "tree records");
    expectRefused(patched(12, -1), "negative");
    // A name that runs past the end.
    TMapWriter name;
    name.WriteInt32(100);
    name.WriteInt32(0);
    name.WriteInt32(100);
    name.WriteInt32(1);
    name.WriteByte(200);
    name.Bytes.resize(name.Bytes.size() + 20);
    expectRefused(name.Bytes, "ends inside an entity name");
    // A tile count that does not match the landscape's size.
    TMapFileData tiles = SmallMap();
    tiles.Landscape.Tiles.pop_back();
    expectRefused(WriteMapFile(tiles), "tile count 119");

    // Every truncation of a good file is refused cleanly.
    for (size_t n = 8; n < good.size(); n += (n < 200 ? 1 : 37))
        expectRefused(std::vector<uint8_t>(good.begin(), good.begin() + long(n)), "ends inside");
}

TEST_F(GameMap, MissingModelsAndTextures) {
    TMapFileData d = SmallMap();
    d.Entities[0].Name = "NoSuchModel";
    const auto file = WriteMapFile(d);
    TMapStream stream = SectionStream(file);
    TGameMap map;
    EXPECT_THROW(map.Load(stream), TModelLoadError);

    std::filesystem::remove(Root + "Data/Textures/Clouds.tga");
    std::filesystem::remove(Root + "Data/Textures/CurvedRing.tga");
    const auto good = WriteMapFile(SmallMap());
    TMapStream again = SectionStream(good);
    EXPECT_THROW(map.Load(again), EMapResourceError);
}

TEST_F(GameMap, WithoutARingTextureRingsAreNotQueued) {
    std::filesystem::remove(Root + "Data/Textures/CurvedRing.tga");
    const auto file = WriteMapFile(SmallMap());
    TMapStream stream = SectionStream(file);
    TGameMap map;
    map.Load(stream);
    EXPECT_EQ(map.RingTexture, -1);
    TTestDrawQueue queue;
    map.AddRing({1.0f, 1.0f, 0.0f});
    const TFrustum view = OriginCube();
    map.PrepareDraw(view);
    EXPECT_TRUE(queue.Rings.empty());
}

using GameMapDeathTest = WorldTest;

TEST_F(GameMapDeathTest, DamagedOrOutdatedMapsEndTheProgramWithAMessage) {
    TMapFileData d = SmallMap();
    d.Waters[0].Section.Triangles[0].A = 1000;
    const auto damaged = WriteMapFile(d);
    EXPECT_EXIT(
        {
            TMapStream stream = SectionStream(damaged, "Data/Maps/Broken.map");
            TGameMap map;
            map.Create(stream);
        },
        ::testing::ExitedWithCode(0), "Map file \"Data/Maps/Broken.map\" is damaged");
    d = SmallMap();
    d.Version = 7;
    const auto outdated = WriteMapFile(d);
    EXPECT_EXIT(
        {
            TMapStream stream = SectionStream(outdated);
            TGameMap map;
            map.Create(stream);
        },
        ::testing::ExitedWithCode(0), "Версия карты устарела. Загрузка невозможна.");
}

TEST(Water, SurfacesWithEveryTriangleHidden) {
    TWaterSection s;
    s.Vertices = {{0, 1, 0}, {1, 1, 0}, {0, 1, 1}, {5, 2, 5}};
    s.Triangles = {{0, 1, 2, 0}};
    TWaterObject w;
    w.Build(s, {1, 1, 1, 1});
    EXPECT_EQ(w.TriangleCount, 0);
    // Vertex 3 belongs to no triangle and stays opaque; the others fade.
    EXPECT_EQ(w.Vertices[0].a, 0.0f);
    EXPECT_EQ(w.Vertices[3].a, 1.0f);
    EXPECT_FLOAT_EQ(w.BoxMin.x, 5.0f);
    s.Vertices.pop_back();
    w.Build(s, {1, 1, 1, 1});
    EXPECT_EQ(w.BoxMin.x, PlusInfinity);
    EXPECT_EQ(w.BoxMax.y, MinusInfinity);
    // An empty box is never in view.
    const TFrustum view = OriginCube();
    EXPECT_FALSE(view.BoxVisible(w.BoxMin, w.BoxMax));
}

TEST(Trees, SwayIsPeriodicAndOutOfStep) {
    const double period = 2.0 * std::numbers::pi / 0.75;
    const float degree = float(std::numbers::pi / 180.0);
    for (double t : {0.0, 0.4, 3.3, 100.0}) {
        EXPECT_NEAR(TGameTree::SwayAngle(t, 0.3f), TGameTree::SwayAngle(t + period, 0.3f), 1e-6);
        EXPECT_LE(std::fabs(TGameTree::SwayAngle(t, -2.0f)), degree);
    }
    EXPECT_FLOAT_EQ(TGameTree::SwayAngle(0.0, 0.0f), degree);
    EXPECT_NEAR(TGameTree::SwayAngle(0.0, float(std::numbers::pi)), -degree, 1e-7);
    EXPECT_GT(std::fabs(TGameTree::SwayAngle(1.0, 0.0f) - TGameTree::SwayAngle(1.0, 1.5f)), 0.1f * degree);
}

TEST(TroopChains, LinkAndUnlink) {
    TBaseTroopObj a, b, c, stranger;
    TBaseTroopObj* head = nullptr;
    a.LinkTo(head);
    b.LinkTo(head);
    c.LinkTo(head);  // c, b, a
    EXPECT_EQ(head, &c);
    EXPECT_EQ(c.Next, &b);
    EXPECT_EQ(b.Prev, &c);
    EXPECT_EQ(a.Prev, &b);

    b.Unlink(head);  // from the middle
    EXPECT_EQ(c.Next, &a);
    EXPECT_EQ(a.Prev, &c);
    EXPECT_EQ(b.Next, nullptr);
    EXPECT_EQ(b.Prev, nullptr);
    c.Unlink(head);  // the head moves on
    EXPECT_EQ(head, &a);
    EXPECT_EQ(a.Prev, nullptr);
    // An object that is not in the chain leaves it alone.
    TBaseTroopObj* other = nullptr;
    stranger.LinkTo(other);
    stranger.Unlink(head);
    EXPECT_EQ(head, &a);
    EXPECT_EQ(other, &stranger);
    a.Unlink(head);
    EXPECT_EQ(head, nullptr);
}

TEST(MapInfo, DataToolDescribesAMap) {
    const std::string tool = std::string(MYGAME_BINARY_DIR) + "/mygame-data";
    if (!std::filesystem::exists(tool))
        GTEST_SKIP() << "mygame-data is not built";
    TempDir dir;
    ASSERT_TRUE(SaveMapFile(dir.file("Small.MAP"), SmallMap()));
    const std::string command = tool + " info " + dir.file("Small.MAP") + " > " + dir.file("out.json");
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string json = ReadText(dir.file("out.json"));
    for (const char* part :
         {"\"cols\": 12", "\"rows\": 10", "\"tiles\": 120", "\"vertices\": 525", "\"trees\": 2",
          "\"entities\": 1", "\"entities2\": 1", "\"models\": [\"Rock\", \"Rock.PRM\", \"Tree\"]",
          "\"flagged_tiles\": 3", "\"Bowman\": 112", "\"Warrior\": 111", "\"Cavalryman\": 111",
          "\"waters\": 1, \"water_triangles\": 6",
          "\"water_sections\": [{\"vertices\": 9, \"triangles\": 8, \"shown\": 6, \"box_min\": [6, 0.3, 1]"})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;

    // A damaged file is refused with a message and a failing exit code.
    auto bytes = WriteMapFile(SmallMap());
    bytes.resize(bytes.size() - 1);
    WriteBytes(dir.file("Cut.map"), bytes);
    const std::string cut = tool + " info " + dir.file("Cut.map") + " > /dev/null 2> " + dir.file("err.txt");
    EXPECT_NE(std::system(cut.c_str()), 0);
    EXPECT_NE(ReadText(dir.file("err.txt")).find("is damaged"), std::string::npos);
}

TEST(MapFile, MutatedFilesAreReadOrRefusedCleanly) {
    // Small files with bytes flipped at random: each is either read whole or refused with
    // EMapFileError, and whatever is read builds a landscape and water without complaint.
    TMapFileData d = SmallMap();
    d.Landscape = MakeSection(3, 2, [](int r, int c) { return int16_t(r * 31 - c * 17); });
    const auto good = WriteMapFile(d);
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    int read = 0, refused = 0;
    for (int round = 0; round < 3000; ++round) {
        auto bytes = good;
        const int flips = 1 + int(next() % 4);
        for (int i = 0; i < flips; ++i) {
            const size_t at = next() % bytes.size();
            // Mostly small changes to counts and lengths, sometimes any byte.
            bytes[at] = (next() & 1) ? uint8_t(bytes[at] + 1 + next() % 3) : uint8_t(next());
        }
        if (next() % 8 == 0)
            bytes.resize(next() % bytes.size());
        TMapStream stream(bytes, "fuzz.map");
        try {
            const TMapFileData back = ReadMapFile(stream);
            TLandshaftObject land;
            land.Build(back.Landscape, 256, 256);
            for (const auto& w : back.Waters) {
                TWaterObject water;
                water.Build(w.Section, back.WaterColour);
            }
            TMyVector3f point, normal;
            land.RayPick({1.0f, 5.0f, 1.0f}, {0.5f, -10.0f, 0.5f}, point, normal);
            land.GetHeight(1e9f, -1e9f);
            ++read;
        } catch (const EMapFileError&) {
            ++refused;
        }
    }
    EXPECT_GT(read, 0);
    EXPECT_GT(refused, 0);
}
