// The game's generated data, checked with the game's own readers: the battle map is playable
// (open, low start areas that every army can leave and reach the enemy from, fords, water over
// the water tiles, seamless terrain), the pictures have the sizes and shapes the game draws them
// with, every name the game asks for exists, and two runs of the generator give the same bytes.

#include "TestSupport.h"

#include "app/e_Platform.h"
#include "resources/_TGA2.h"
#include "units/GameUnits.h"
#include "world/MapObject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include <sys/wait.h>

namespace {

const std::string Tool = MYGAME_BINARY_DIR "/mygame-data";

// Runs a command, returning its exit code and standard output.
int RunCommand(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
        text.append(buf, n);
    const int status = pclose(pipe);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Every file under `root`, as paths relative to it, sorted.
std::vector<std::string> FilesUnder(const std::string& root) {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        if (e.is_regular_file())
            files.push_back(std::filesystem::relative(e.path(), root).string());
    std::sort(files.begin(), files.end());
    return files;
}

// A decoded texture as the game's texture path sees it: first row at the bottom.
struct TPicture {
    TStoredTextureData Data;
    int Channels = 0;
    const uint8_t* At(int x, int y) const { return &Data.Pixels[(size_t(y) * Data.Width + x) * Channels]; }
    int Alpha(int x, int y) const { return Channels == 4 ? At(x, y)[3] : 255; }
};

class GeneratedData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Dir = std::make_unique<TempDir>();
        std::string out;
        GenerateStatus = RunCommand(Quote(Tool) + " generate " + Quote(Dir->path()), &out);
        GenerateOutput = out;
    }
    static void TearDownTestSuite() { Dir.reset(); }

    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(Tool)) << "build the mygame-data target first: " << Tool;
        ASSERT_EQ(GenerateStatus, 0) << GenerateOutput;
    }

    static std::string DataFile(const std::string& relative) { return Dir->path() + "/Data/" + relative; }

    // The file as the game would find it (names are matched without regard to case).
    static std::string Resolve(const std::string& relative) {
        auto found = ResolvePath(DataFile(relative));
        return found ? *found : std::string();
    }

    static TPicture Picture(const std::string& relative) {
        TPicture p;
        const std::string path = Resolve(relative);
        auto bytes = path.empty() ? std::nullopt : ReadWholeFile(path);
        std::string error;
        if (!bytes || !DecodeTGATexture(*bytes, p.Data, error))
            ADD_FAILURE() << relative << ": " << (bytes ? error : "missing");
        p.Channels = TextureFormatBytes(p.Data.Format);
        return p;
    }

    static std::unique_ptr<TempDir> Dir;
    static int GenerateStatus;
    static std::string GenerateOutput;
};

std::unique_ptr<TempDir> GeneratedData::Dir;
int GeneratedData::GenerateStatus = -1;
std::string GeneratedData::GenerateOutput;

// ---------------------------------------------------------------------------------------------

TEST_F(GeneratedData, TwoRunsGiveTheSameBytes) {
    TempDir second;
    std::string out;
    ASSERT_EQ(RunCommand(Quote(Tool) + " generate " + Quote(second.path()), &out), 0) << out;
    const auto first = FilesUnder(Dir->path() + "/Data");
    ASSERT_EQ(first, FilesUnder(second.path() + "/Data"));
    for (const auto& f : first)
        EXPECT_TRUE(ReadBytes(Dir->path() + "/Data/" + f) == ReadBytes(second.path() + "/Data/" + f)) << f;
}

// The map and the pictures that the battle, the HUD and the menus ask for, spelled as the game
// asks for them (the resource manager appends ".TGA" to texture names).
std::vector<std::string> GameNames() {
    std::vector<std::string> names{"Maps/FirstBlood.map", "Maps/FirstBlood.tga"};
    for (const char* c : {"Stop", "Cursor", "Nature", "Water", "Grass", "Attack", "Defence", "Move"})
        names.push_back(std::string("Cursors/") + c + ".tga");
    for (const char* t : {"TileSet",
                          "Clouds",
                          "CurvedRing",
                          "FlatRing",
                          "GroupsInfo",
                          "PlayerStat",
                          "MiniMap",
                          "UnitsInfo",
                          "CommandPanel",
                          "CommandButtons",
                          "CommandButtonsGray",
                          "Unit1ico",
                          "Unit2ico",
                          "Unit3ico",
                          "Unit4ico",
                          "TroopLabel",
                          "Znak",
                          "Znak1",
                          "Aura",
                          "Title",
                          "Loading",
                          "Splash"})
        names.push_back(std::string("Textures/") + t + ".TGA");
    return names;
}

TEST_F(GeneratedData, EveryNameTheGameAsksForExists) {
    for (const auto& name : GameNames()) {
        const std::string path = Resolve(name);
        ASSERT_FALSE(path.empty()) << name << " is missing";
        if (name.ends_with(".map"))
            continue;
        std::string error;
        EXPECT_NE(LoadTGATexture(path, &error), nullptr) << name << ": " << error;
    }
}

TEST_F(GeneratedData, InfoAcceptsEveryFile) {
    const auto files = FilesUnder(Dir->path() + "/Data");
    ASSERT_FALSE(files.empty());
    for (const auto& f : files) {
        if (f.starts_with("."))
            continue;
        std::string out;
        const int rc = RunCommand(Quote(Tool) + " info " + Quote(DataFile(f)), &out);
        const bool ok =
            out.find("\"ok\": true") != std::string::npos || out.find("\"ok\":true") != std::string::npos;
        EXPECT_TRUE(rc == 0 && ok) << f << " (exit " << rc << "): " << out.substr(0, 300);
    }
}

// ---------------------------------------------------------------------------------------------
// The battle map

class BattleMap : public GeneratedData {
protected:
    void SetUp() override {
        GeneratedData::SetUp();
        if (!Map) {
            TMapStream stream = TMapStream::FromFile(DataFile("Maps/FirstBlood.map"));
            Map = std::make_unique<TMapFileData>(ReadMapFile(stream));
            Atlas = std::make_unique<TPicture>(Picture("Textures/TileSet.tga"));
            Land = std::make_unique<TLandshaftObject>();
            Land->Build(Map->Landscape, Atlas->Data.Width, Atlas->Data.Height);
        }
        Cols = Land->TileCols;
        Rows = Land->TileRows;
    }
    static void TearDownTestSuite() {
        Land.reset();
        Atlas.reset();
        Map.reset();
        GeneratedData::TearDownTestSuite();
    }

    bool Passable(int col, int row, int unitType) const {
        const TTilePlace& t = Land->Tile(col, row);
        return TilePassable(t.TileType, t.TileFlags, unitType);
    }

    // Tiles reachable from `start` (4-neighbour steps) for the unit type.
    std::vector<uint8_t> Reach(int col, int row, int unitType) const {
        std::vector<uint8_t> seen(size_t(Cols) * Rows, 0);
        if (!Passable(col, row, unitType))
            return seen;
        std::vector<std::pair<int, int>> queue{{col, row}};
        seen[size_t(row) * Cols + col] = 1;
        for (size_t i = 0; i < queue.size(); ++i) {
            const auto [c, r] = queue[i];
            const int dc[4] = {1, -1, 0, 0}, dr[4] = {0, 0, 1, -1};
            for (int k = 0; k < 4; ++k) {
                const int nc = c + dc[k], nr = r + dr[k];
                if (nc < 0 || nr < 0 || nc >= Cols || nr >= Rows || seen[size_t(nr) * Cols + nc] ||
                    !Passable(nc, nr, unitType))
                    continue;
                seen[size_t(nr) * Cols + nc] = 1;
                queue.emplace_back(nc, nr);
            }
        }
        return seen;
    }

    // The start areas: the human troop's tiles and a few tiles round each computer camp.
    std::vector<std::pair<int, int>> StartTiles() const {
        std::vector<std::pair<int, int>> tiles;
        for (int row = 53; row <= 67; ++row)
            for (int col = Cols - 37; col <= Cols - 23; ++col)
                tiles.emplace_back(col, row);
        for (auto [cx, cy] : {std::pair{7, 10}, std::pair{7, Rows - 8}})
            for (int dy = -3; dy <= 3; ++dy)
                for (int dx = -3; dx <= 3; ++dx)
                    tiles.emplace_back(cx + dx, cy + dy);
        return tiles;
    }

    // The colour the landscape program gives layer 1 and layer 2 of a tile at its local vertex k,
    // mixed by the cell's alpha times the vertex alpha.
    std::array<float, 3> GroundColour(int col, int row, int k) const {
        const TTilePlace& t = Land->Tile(col, row);
        const auto uv1 = Land->TileTexCoords(t.Col1, t.Row1, t.Rot1, t.MirrorU1, t.MirrorV1);
        const auto uv2 = Land->TileTexCoords(t.Col2, t.Row2, t.Rot2, t.MirrorU2, t.MirrorV2);
        const auto l1 = Sample(uv1[k].x, uv1[k].y), l2 = Sample(uv2[k].x, uv2[k].y);
        const float alpha = Land->Vert(2 * row + k / 3, 2 * col + k % 3).Alpha;
        const float w = l2[3] * alpha;
        return {l1[0] + (l2[0] - l1[0]) * w, l1[1] + (l2[1] - l1[1]) * w, l1[2] + (l2[2] - l1[2]) * w};
    }

    // Bilinear, repeating, as the atlas is filtered.
    std::array<float, 4> Sample(float u, float v) const {
        const auto& d = Atlas->Data;
        const float x = u * d.Width - 0.5f, y = v * d.Height - 0.5f;
        const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
        const float fx = x - x0, fy = y - y0;
        std::array<float, 4> out{};
        for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 2; ++i) {
                const int px = ((x0 + i) % d.Width + d.Width) % d.Width,
                          py = ((y0 + j) % d.Height + d.Height) % d.Height;
                const float w = (i ? fx : 1 - fx) * (j ? fy : 1 - fy);
                for (int c = 0; c < 4; ++c)
                    out[size_t(c)] += w * (c < Atlas->Channels ? Atlas->At(px, py)[c] / 255.0f : 1.0f);
            }
        return out;
    }

    static std::unique_ptr<TMapFileData> Map;
    static std::unique_ptr<TPicture> Atlas;
    static std::unique_ptr<TLandshaftObject> Land;
    int Cols = 0, Rows = 0;
};

std::unique_ptr<TMapFileData> BattleMap::Map;
std::unique_ptr<TPicture> BattleMap::Atlas;
std::unique_ptr<TLandshaftObject> BattleMap::Land;

TEST_F(BattleMap, StartAreasAreOpenLowGround) {
    EXPECT_GE(Cols, 96);
    EXPECT_GE(Rows, 96);
    std::set<std::pair<int, int>> start;
    for (auto [col, row] : StartTiles()) {
        start.insert({col, row});
        for (int type = 1; type <= 3; ++type)
            EXPECT_TRUE(Passable(col, row, type)) << "tile " << col << "," << row << " type " << type;
        // Troops stand at height 0 and see only tiles at most 1.0 above them.
        EXPECT_LE(std::abs(Land->GetTileHeight(col, row)), 0.3f) << "tile " << col << "," << row;
    }
    for (const auto* list : {&Map->Trees, &Map->Entities, &Map->Entities2})
        for (const auto& e : *list)
            EXPECT_FALSE(start.count({int(e.Position.x), int(e.Position.y)}))
                << e.Name << " stands in a start area at " << e.Position.x << "," << e.Position.y;
}

TEST_F(BattleMap, EveryArmyCanReachTheOthers) {
    const std::pair<int, int> human{Cols - 30, 60}, cpu1{7, 10}, cpu2{7, Rows - 8};
    for (int type = 1; type <= 3; ++type) {
        const auto fromHuman = Reach(human.first, human.second, type);
        EXPECT_TRUE(fromHuman[size_t(cpu1.second) * Cols + cpu1.first]) << "unit type " << type << " to CPU1";
        EXPECT_TRUE(fromHuman[size_t(cpu2.second) * Cols + cpu2.first]) << "unit type " << type << " to CPU2";
    }
    // No pockets that walking troops can see but never enter (bowmen wade and cross woods).
    const auto reach = Reach(human.first, human.second, 1);
    int passable = 0, reached = 0;
    for (int row = 0; row < Rows; ++row)
        for (int col = 0; col < Cols; ++col)
            if (Passable(col, row, 1)) {
                ++passable;
                reached += reach[size_t(row) * Cols + col];
            }
    EXPECT_GE(reached, passable * 99 / 100) << reached << " of " << passable << " passable tiles reachable";
}

TEST_F(BattleMap, HasRiverFordsWoodsRocksAndBuildings) {
    std::map<int, int> types;
    int flagged = 0, fords = 0;
    for (int row = 0; row < Rows; ++row)
        for (int col = 0; col < Cols; ++col) {
            const TTilePlace& t = Land->Tile(col, row);
            ++types[int(t.TileType)];
            flagged += (t.TileFlags & 0x8) != 0;
            // A ford: shallow water with nothing but water round it, so troops wade across.
            if (t.TileType != TTileType::Shallow || col == 0 || row == 0 || col == Cols - 1 ||
                row == Rows - 1)
                continue;
            bool open = true;
            for (int dr = -1; dr <= 1; ++dr)
                for (int dc = -1; dc <= 1; ++dc) {
                    const int tt = int(Land->Tile(col + dc, row + dr).TileType);
                    open = open && (tt == 2 || tt == 3);
                }
            fords += open;
        }
    EXPECT_GT(types[2], 100) << "deep water";
    EXPECT_GT(fords, 4) << "shallow crossings in the river";
    EXPECT_GT(types[6], 300) << "woods";
    EXPECT_GT(types[7] + types[8], 100) << "rocky ground and cliffs";
    EXPECT_GT(flagged, 30) << "tiles blocked under buildings and rocks";

    // Trees of three kinds, most of them in the woods; scenery of the agreed model names, on the
    // ground and on the map; buildings block their tiles.
    std::set<std::string> species;
    int inWoods = 0;
    for (const auto& tree : Map->Trees) {
        species.insert(tree.Name);
        inWoods += Land->Tile(int(tree.Position.x), int(tree.Position.y)).TileType == TTileType::Woods;
    }
    EXPECT_EQ(species, (std::set<std::string>{"Tree1", "Tree2", "Tree3"}));
    EXPECT_GT(Map->Trees.size(), 300u);
    EXPECT_GE(inWoods * 10, int(Map->Trees.size()) * 9);
    const std::set<std::string> known{"Tree1", "Tree2", "Tree3", "Rock1", "House1", "Fence1", "Ruin1"};
    std::map<std::string, int> count;
    std::set<std::string> extensions;
    for (const auto* list : {&Map->Trees, &Map->Entities, &Map->Entities2})
        for (const auto& record : *list) {
            // Scenery named with its interchange extension is read by that format's reader.
            TEntityRecord e = record;
            if (auto dot = e.Name.find('.'); dot != std::string::npos) {
                extensions.insert(e.Name.substr(dot));
                e.Name.resize(dot);
            }
            ++count[e.Name];
            EXPECT_TRUE(known.count(e.Name)) << e.Name;
            ASSERT_TRUE(e.Position.x > 0 && e.Position.y > 0 && e.Position.x < Cols && e.Position.y < Rows)
                << e.Name << " off the map";
            EXPECT_NEAR(e.Position.z, Land->GetHeight(e.Position.x, e.Position.y), 0.05f)
                << e.Name << " floats";
            if (e.Name == "House1" || e.Name == "Ruin1" || e.Name == "Fence1") {
                EXPECT_TRUE(Land->Tile(int(e.Position.x), int(e.Position.y)).TileFlags & 0x8)
                    << e.Name << " at " << e.Position.x << "," << e.Position.y << " does not block its tile";
            }
        }
    for (const char* name : {"House1", "Fence1", "Ruin1", "Rock1"})
        EXPECT_GT(count[name], 1) << name;
    EXPECT_EQ(extensions, (std::set<std::string>{".ASE", ".3DS"}));
}

TEST_F(BattleMap, WaterLiesOverTheWaterTiles) {
    ASSERT_FALSE(Map->Waters.empty());
    const auto& c = Map->WaterColour;
    EXPECT_GT(c.z, c.x) << "water is bluer than it is red";
    EXPECT_GT(c.w, 0.3f);
    EXPECT_LT(c.w, 1.0f);

    struct TTri {
        TMyVector3f a, b, c;
    };
    std::vector<TTri> shown;
    int fading = 0;
    for (const auto& entry : Map->Waters) {
        const auto& s = entry.Section;
        std::vector<uint8_t> inShown(s.Vertices.size(), 0), inHidden(s.Vertices.size(), 0);
        int sectionShown = 0;
        for (const auto& t : s.Triangles) {
            for (uint32_t i : {t.A, t.B, t.C}) {
                ASSERT_LT(i, s.Vertices.size());
                (t.Shown ? inShown : inHidden)[i] = 1;
            }
            if (t.Shown) {
                shown.push_back({s.Vertices[t.A], s.Vertices[t.B], s.Vertices[t.C]});
                ++sectionShown;
            }
        }
        EXPECT_GT(sectionShown, 0) << "a water section that shows nothing";
        for (const auto& v : s.Vertices) {
            EXPECT_TRUE(v.x >= 0 && v.x <= Rows && v.z >= 0 && v.z <= Cols)
                << "water vertex off the map at " << v.x << "," << v.z;
        }
        for (size_t i = 0; i < s.Vertices.size(); ++i)
            fading += inShown[i] && inHidden[i];
    }
    EXPECT_GT(fading, 100) << "the water should fade out along its shores";

    // Every tile of deep or shallow water has water over its centre.
    auto covered = [&](float x, float z, float ground) {
        for (const auto& t : shown) {
            auto side = [&](const TMyVector3f& p, const TMyVector3f& q) {
                return (q.x - p.x) * (z - p.z) - (q.z - p.z) * (x - p.x);
            };
            const float s1 = side(t.a, t.b), s2 = side(t.b, t.c), s3 = side(t.c, t.a);
            const bool inside = (s1 >= 0 && s2 >= 0 && s3 >= 0) || (s1 <= 0 && s2 <= 0 && s3 <= 0);
            if (inside && std::max({t.a.y, t.b.y, t.c.y}) > ground)
                return true;
        }
        return false;
    };
    int water = 0;
    for (int row = 0; row < Rows; ++row)
        for (int col = 0; col < Cols; ++col) {
            const int type = int(Land->Tile(col, row).TileType);
            if (type != 2 && type != 3)
                continue;
            ++water;
            EXPECT_TRUE(covered(row + 0.5f, col + 0.5f, Land->GetTileHeight(col, row)))
                << "tile " << col << "," << row << " of type " << type << " lies dry";
        }
    EXPECT_GT(water, 0);
}

TEST_F(BattleMap, TerrainJoinsWithoutSeams) {
    // Where two tiles share a vertex, both must give it the same ground colour; otherwise the
    // tile grid shows. A few corners where three materials meet may differ.
    int points = 0, seams = 0;
    auto compare = [&](int colA, int rowA, int kA, int colB, int rowB, int kB) {
        const auto a = GroundColour(colA, rowA, kA), b = GroundColour(colB, rowB, kB);
        const float d = std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
        ++points;
        seams += d > 0.08f;
    };
    for (int row = 0; row < Rows; ++row)
        for (int col = 0; col < Cols; ++col)
            for (int i = 0; i < 3; ++i) {
                if (col + 1 < Cols)
                    compare(col, row, 3 * i + 2, col + 1, row, 3 * i);
                if (row + 1 < Rows)
                    compare(col, row, 6 + i, col, row + 1, i);
            }
    EXPECT_LE(seams, points / 500) << seams << " of " << points << " shared vertices differ";
}

TEST_F(BattleMap, LightComesFromTheBattlesLight) {
    // Slopes that face the light are brighter than slopes that turn away from it. The two outer
    // rings are darkened by the landscape itself.
    const TMyVector3f lightPos{-500.0f, 1000.0f, -300.0f};
    double facing = 0, away = 0;
    int nFacing = 0, nAway = 0;
    for (int r = 2; r < Land->VertRows - 2; ++r)
        for (int c = 2; c < Land->VertCols - 2; ++c) {
            const TLandVert& v = Land->Vert(r, c);
            if (v.Normal.y > 0.95f)
                continue;
            TMyVector3f l = lightPos - v.Position;
            Vec3Normalize(l);
            const float nl = v.Normal.x * l.x + v.Normal.y * l.y + v.Normal.z * l.z;
            if (nl > 0.9f) {
                facing += v.R;
                ++nFacing;
            } else if (nl < 0.6f) {
                away += v.R;
                ++nAway;
            }
        }
    ASSERT_GT(nFacing, 50);
    ASSERT_GT(nAway, 50);
    EXPECT_GT(facing / nFacing, away / nAway + 0.1);
}

TEST_F(BattleMap, MinimapIsTheMapSeenFromAbove) {
    const TPicture mini = Picture("Maps/FirstBlood.tga");
    ASSERT_EQ(mini.Data.Width, Cols);
    ASSERT_EQ(mini.Data.Height, Rows);
    ASSERT_GE(mini.Channels, 3);
    // The picture's bottom row is tile row 0: deep water is blue there, woods green.
    int water = 0, blue = 0, woods = 0, green = 0;
    for (int row = 0; row < Rows; ++row)
        for (int col = 0; col < Cols; ++col) {
            const uint8_t* p = mini.At(col, row);
            const int type = int(Land->Tile(col, row).TileType);
            if (type == 2) {
                ++water;
                blue += p[2] > p[0] + 20;
            } else if (type == 6) {
                ++woods;
                green += p[1] > p[0] && p[1] > p[2];
            }
        }
    EXPECT_GE(blue * 100, water * 95) << blue << " of " << water;
    EXPECT_GE(green * 100, woods * 95) << green << " of " << woods;
}

// ---------------------------------------------------------------------------------------------
// Pictures

TEST_F(GeneratedData, CursorsHaveTheirHotSpots) {
    for (const char* name : {"Stop", "Cursor", "Nature", "Water", "Grass", "Attack", "Defence", "Move"}) {
        const TPicture c = Picture(std::string("Cursors/") + name + ".tga");
        ASSERT_EQ(c.Data.Width, 32) << name;
        ASSERT_EQ(c.Data.Height, 32) << name;
        ASSERT_EQ(c.Channels, 4) << name;
        // Rows count from the bottom, so the top-left pixel is (0, 31).
        if (std::string(name) == "Stop") {
            EXPECT_EQ(c.Alpha(0, 31), 0) << name;
            double sx = 0, sy = 0, sw = 0;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x) {
                    sx += (x + 0.5) * c.Alpha(x, y);
                    sy += (y + 0.5) * c.Alpha(x, y);
                    sw += c.Alpha(x, y);
                }
            ASSERT_GT(sw, 0);
            EXPECT_NEAR(sx / sw, 16.0, 1.5) << name << " is drawn centred on the pointer";
            EXPECT_NEAR(sy / sw, 16.0, 1.5) << name;
        } else {
            EXPECT_GE(c.Alpha(0, 31), 128) << name << " must point with its top-left pixel";
        }
    }
}

TEST_F(GeneratedData, PicturesAreStoredBottomUp) {
    // The TGA header's descriptor: bit 5 set would mean rows stored from the top.
    for (const auto& name : GameNames()) {
        if (name.ends_with(".map"))
            continue;
        const auto bytes = ReadBytes(Resolve(name));
        ASSERT_GE(bytes.size(), 18u) << name;
        EXPECT_EQ(bytes[17] & 0x20, 0) << name << " is stored top-down";
    }
}

TEST_F(GeneratedData, EmblemsLetTheOwnersColourShowRoundThem) {
    // Drawn over a fill in the owner's colour: clear round the sign, opaque in its middle.
    for (const char* name : {"Znak", "Znak1"}) {
        const TPicture p = Picture(std::string("Textures/") + name + ".tga");
        const int w = p.Data.Width, h = p.Data.Height;
        for (auto [x, y] :
             {std::pair{0, 0}, std::pair{w - 1, 0}, std::pair{0, h - 1}, std::pair{w - 1, h - 1}})
            EXPECT_EQ(p.Alpha(x, y), 0) << name;
        int opaque = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                opaque += p.Alpha(x, y) == 255;
        EXPECT_GT(opaque, w * h / 10) << name;
        EXPECT_LT(opaque, w * h * 7 / 10) << name;
    }
}

TEST_F(GeneratedData, AlphaTestedPicturesHaveHardEdges) {
    for (const char* name : {"UnitsInfo", "TroopLabel", "Znak", "Znak1"}) {
        const TPicture p = Picture(std::string("Textures/") + name + ".tga");
        ASSERT_EQ(p.Channels, 4) << name;
        std::set<int> alphas;
        for (int y = 0; y < p.Data.Height; ++y)
            for (int x = 0; x < p.Data.Width; ++x)
                alphas.insert(p.Alpha(x, y));
        EXPECT_EQ(alphas, (std::set<int>{0, 255})) << name;
    }
}

TEST_F(GeneratedData, CommandButtonIconsSitInTheirCells) {
    // A 4 x 3 grid with row 0 at the bottom: hold at (0, 1), move (0, 2), attack (1, 2) and two
    // more icons at (2, 2) and (3, 2); the other cells are plain buttons.
    for (const char* name : {"CommandButtons", "CommandButtonsGray"}) {
        const TPicture p = Picture(std::string("Textures/") + name + ".tga");
        ASSERT_EQ(p.Data.Width % 4, 0);
        ASSERT_EQ(p.Data.Height % 3, 0);
        const int cw = p.Data.Width / 4, ch = p.Data.Height / 3;
        auto difference = [&](int i1, int j1, int i2, int j2) {
            double d = 0;
            for (int y = 0; y < ch; ++y)
                for (int x = 0; x < cw; ++x)
                    for (int k = 0; k < 3; ++k)
                        d += std::abs(p.At(i1 * cw + x, j1 * ch + y)[k] - p.At(i2 * cw + x, j2 * ch + y)[k]);
            return d / (cw * ch * 3);
        };
        for (auto [i, j] :
             {std::pair{0, 1}, std::pair{0, 2}, std::pair{1, 2}, std::pair{2, 2}, std::pair{3, 2}})
            EXPECT_GT(difference(i, j, 1, 0), 8.0) << name << " cell " << i << "," << j << " holds no icon";
        EXPECT_LT(difference(1, 1, 1, 0), 8.0) << name << ": an unused cell should be a plain button";
    }
    const TPicture gray = Picture("Textures/CommandButtonsGray.tga");
    for (int y = 0; y < gray.Data.Height; ++y)
        for (int x = 0; x < gray.Data.Width; ++x) {
            const uint8_t* px = gray.At(x, y);
            ASSERT_LE(std::max({px[0], px[1], px[2]}) - std::min({px[0], px[1], px[2]}), 2)
                << "grey at " << x << "," << y;
        }
}

TEST_F(GeneratedData, FullScreenPicturesHaveMipmapSizes) {
    // Flat picture models build mipmaps, which want power-of-two sides.
    for (const char* name : {"Title", "Loading", "Splash", "Clouds", "CurvedRing", "FlatRing"}) {
        const TPicture p = Picture(std::string("Textures/") + name + ".tga");
        EXPECT_EQ(p.Data.Width & (p.Data.Width - 1), 0) << name;
        EXPECT_EQ(p.Data.Height & (p.Data.Height - 1), 0) << name;
    }
    // The water's noise repeats without a seam: across the wrap it changes no more than
    // between neighbouring pixels.
    const TPicture clouds = Picture("Textures/Clouds.tga");
    double inside = 0, across = 0;
    for (int y = 0; y < clouds.Data.Height; ++y) {
        for (int x = 0; x + 1 < clouds.Data.Width; ++x)
            inside += std::abs(clouds.At(x, y)[0] - clouds.At(x + 1, y)[0]);
        across += std::abs(clouds.At(clouds.Data.Width - 1, y)[0] - clouds.At(0, y)[0]);
    }
    inside /= double(clouds.Data.Height) * (clouds.Data.Width - 1);
    across /= clouds.Data.Height;
    EXPECT_LT(across, 2 * inside + 1) << "Clouds shows a seam where it repeats";

    // The rings are white with the shape in the alpha, transparent at the texture's corners.
    for (const char* name : {"CurvedRing", "FlatRing"}) {
        const TPicture p = Picture(std::string("Textures/") + name + ".tga");
        ASSERT_EQ(p.Channels, 4) << name;
        EXPECT_EQ(p.Alpha(0, 0), 0) << name;
        EXPECT_EQ(p.Alpha(p.Data.Width / 2, p.Data.Height / 2), 0) << name << " is a ring, not a disc";
    }
}

}  // namespace
