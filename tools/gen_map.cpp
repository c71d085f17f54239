// The battle map "FirstBlood.map" and its minimap picture "FirstBlood.tga".
//
// The battlefield, 128 x 128 tiles: the human army starts on open ground in the east, the two
// computer armies in the south-west and north-west corners. A river comes from the northern edge
// and ends in a lake south of the middle; two shallow fords cross it. Hills with terraces and
// cliffs rise in the north-east, the south-east and on a ridge between the computer camps; woods,
// a village with a paddock, ruins and rocks fill the rest. Everything comes from fixed seeds.

#include "gen_common.h"
#include "gen_terrain.h"

#include "DataTool.h"
#include "app/e_Platform.h"
#include "resources/_TGA2.h"
#include "world/BattleLayout.h"
#include "world/MapObject.h"
#include "world/MapPoint.h"
#include "world/TileType.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <numbers>

namespace gen {

namespace {

constexpr float Pi = std::numbers::pi_v<float>;

constexpr int32_t MapCols = 128;
constexpr int32_t MapRows = 128;
constexpr int32_t VertCols = 2 * MapCols + 1;
constexpr int32_t VertRows = 2 * MapRows + 1;
constexpr float WaterLevel = -0.35f;
constexpr float DeepWater = 0.55f;  // water deeper than this cannot be waded
constexpr uint32_t Seed = 0xF1257B00u;
using BattleLayout::LightPos;
const TMyVector4f WaterColour{0.16f, 0.33f, 0.42f, 0.8f};

constexpr uint32_t FlagBlocked = 0x8;

struct TVec2 {
    float x = 0.0f, y = 0.0f;  // (mx, my)
};

float Dist(TVec2 a, TVec2 b) { return std::hypot(a.x - b.x, a.y - b.y); }

float DistToSegment(TVec2 p, TVec2 a, TVec2 b, float* t = nullptr) {
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float len2 = dx * dx + dy * dy;
    float u = len2 > 0.0f ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0.0f;
    u = std::clamp(u, 0.0f, 1.0f);
    if (t)
        *t = u;
    return std::hypot(p.x - (a.x + u * dx), p.y - (a.y + u * dy));
}

// Distance to a polyline; `along` receives the position along it (0 at the start, 1 at the end).
float DistToPolyline(TVec2 p, const std::vector<TVec2>& line, float* along = nullptr) {
    float best = 1e30f, bestAlong = 0.0f;
    for (size_t i = 1; i < line.size(); ++i) {
        float t = 0.0f;
        const float d = DistToSegment(p, line[i - 1], line[i], &t);
        if (d < best) {
            best = d;
            bestAlong = (static_cast<float>(i - 1) + t) / static_cast<float>(line.size() - 1);
        }
    }
    if (along)
        *along = bestAlong;
    return best;
}

// ---------------------------------------------------------------------------------------------
// The layout

struct THill {
    TVec2 Centre;
    float RadiusX, RadiusY, Peak;
    bool Terraced;
    std::vector<float> Ramps;  // directions (radians, from the centre) of the ways up a terraced hill
};

const THill Hills[] = {
    {{112, 108}, 20, 18, 6.5f, true, {-2.4f, 3.0f, -1.1f, 1.7f}},  // north-east
    {{108, 16}, 18, 14, 5.0f, true, {2.3f, 1.5f}},                 // south-east
    {{9, 66}, 12, 24, 5.5f, true, {0.2f, -1.2f, 1.3f}},            // the ridge between the computer camps
    {{36, 86}, 6, 6, 2.0f, false, {}},                             // a knoll west of the river
    {{28, 38}, 8, 7, 2.5f, false, {}},                             // a knoll in the south-west
    {{79, 75}, 5, 4, 1.0f, false, {}},                             // a low mound where the armies meet
};

struct TForest {
    TVec2 Centre;
    float Radius;
};

const TForest Forests[] = {
    {{84, 97}, 13}, {{85, 26}, 10}, {{31, 60}, 10}, {{40, 108}, 9},
    {{17, 29}, 7},  {{114, 81}, 7}, {{106, 40}, 5},
};

// Where the armies stand at the start and where reinforcements arrive: kept flat, open and low.
const BattleLayout::TArea HumanZone = BattleLayout::HumanStartArea(MapCols);
// The centre of the tile a camp's units stand on.
TVec2 CampCentre(const TMyVector3f& camp) { return {camp.x + 0.5f, camp.y + 0.5f}; }
const TVec2 Cpu1Camp = CampCentre(BattleLayout::Cpu1Camp());
const TVec2 Cpu2Camp = CampCentre(BattleLayout::Cpu2Camp(MapRows));
using BattleLayout::CampRadius;

float ZoneDistance(TVec2 p) {
    const float dx = std::max({HumanZone.X0 - p.x, 0.0f, p.x - HumanZone.X1});
    const float dy = std::max({HumanZone.Y0 - p.y, 0.0f, p.y - HumanZone.Y1});
    const float human = std::hypot(dx, dy);
    const float cpu1 = std::max(Dist(p, Cpu1Camp) - CampRadius, 0.0f);
    const float cpu2 = std::max(Dist(p, Cpu2Camp) - CampRadius, 0.0f);
    return std::min({human, cpu1, cpu2});
}

// ---------------------------------------------------------------------------------------------

struct TTile {
    TTileType Type = TTileType::Grass;
    int32_t Material = MatGrass;
    uint32_t Flags = 0;
    bool Woods = false;
    bool Road = false;
};

struct TMapBuilder {
    std::vector<float> Heights = std::vector<float>(static_cast<size_t>(VertRows) * VertCols, 0.0f);
    std::vector<TTile> Tiles = std::vector<TTile>(static_cast<size_t>(MapRows) * MapCols);
    std::vector<TVec2> River;
    std::vector<float> FordsAlong;  // positions along the river
    std::vector<TVec2> Fords;
    std::vector<std::vector<TVec2>> Roads;
    TMapFileData File;

    float& H(int32_t r, int32_t c) { return Heights[static_cast<size_t>(r) * VertCols + c]; }
    float H(int32_t r, int32_t c) const { return Heights[static_cast<size_t>(r) * VertCols + c]; }
    TTile& Tile(int32_t col, int32_t row) { return Tiles[static_cast<size_t>(row) * MapCols + col]; }
    const TTile& Tile(int32_t col, int32_t row) const {
        return Tiles[static_cast<size_t>(row) * MapCols + col];
    }
    float TileHeight(int32_t col, int32_t row) const { return H(2 * row + 1, 2 * col + 1); }

    // Bilinear height at a map point, as the landscape computes it.
    float HeightAt(float mx, float my) const {
        const float gx = std::clamp(2.0f * my, 0.0f, VertRows - 1.001f);
        const float gz = std::clamp(2.0f * mx, 0.0f, VertCols - 1.001f);
        const int32_t r = static_cast<int32_t>(gx), c = static_cast<int32_t>(gz);
        const float fx = gx - r, fz = gz - c;
        return (1 - fx) * ((1 - fz) * H(r, c) + fz * H(r, c + 1)) +
               fx * ((1 - fz) * H(r + 1, c) + fz * H(r + 1, c + 1));
    }

    // Largest rise per map unit between neighbouring vertices of a tile.
    float TileSlope(int32_t col, int32_t row) const {
        float worst = 0.0f;
        for (int32_t i = 0; i <= 2; ++i)
            for (int32_t j = 0; j <= 2; ++j) {
                const float h = H(2 * row + i, 2 * col + j);
                if (j < 2)
                    worst = std::max(worst, std::abs(h - H(2 * row + i, 2 * col + j + 1)) / 0.5f);
                if (i < 2)
                    worst = std::max(worst, std::abs(h - H(2 * row + i + 1, 2 * col + j)) / 0.5f);
            }
        return worst;
    }

    void Build();
    void MakeRiver();
    void MakeHeights();
    void MakeRoads();
    void ClassifyTiles();
    void CloseUnreachable();
    void SeparateMaterials();
    void PlaceEntities();
    void MakeLandscape();
    void MakeWater();
    TImage MakeMinimap() const;

private:
    bool OpenGround(int32_t col, int32_t row) const;
    bool Footprint(const TMyVector3f& position, float yaw, float halfX, float halfZ,
                   std::vector<std::pair<int32_t, int32_t>>& tiles) const;
    void AddEntity(std::vector<TEntityRecord>& list, const std::string& name, TVec2 p, float yaw);
};

void TMapBuilder::Build() {
    MakeRiver();
    MakeHeights();
    MakeRoads();
    ClassifyTiles();
    CloseUnreachable();
    SeparateMaterials();
    PlaceEntities();
    MakeLandscape();
    MakeWater();
}

// The river: from beyond the northern edge, winding south into the lake.
void TMapBuilder::MakeRiver() {
    for (int32_t i = 0; i <= 60; ++i) {
        const float t = i / 60.0f;
        const float y = 131.0f - t * (131.0f - 44.0f);
        const float x = 63.0f + 6.5f * std::sin(t * 2.6f * Pi) + 3.0f * std::sin(t * 5.3f * Pi + 1.0f);
        River.push_back({x, y});
    }
    FordsAlong = {0.30f, 0.63f};
    for (float a : FordsAlong) {
        const float f = a * 60.0f;
        const int32_t i = std::min(static_cast<int32_t>(f), 59);
        const float t = f - i;
        Fords.push_back(
            {River[i].x + (River[i + 1].x - River[i].x) * t, River[i].y + (River[i + 1].y - River[i].y) * t});
    }
}

void TMapBuilder::MakeHeights() {
    const TVec2 lake{56, 38};
    for (int32_t r = 0; r < VertRows; ++r)
        for (int32_t c = 0; c < VertCols; ++c) {
            const TVec2 p{c * 0.5f, r * 0.5f};
            // Gently rolling ground.
            float h = 0.55f * (FractalNoise(p.x / 22.0f, p.y / 22.0f, 0, 4, 0.5f, Seed + 1) - 0.5f) + 0.12f;
            // Hills, terraced into plateaus with steep steps where they are high.
            float hills = 0.0f;
            for (const THill& hill : Hills) {
                const float ex = (p.x - hill.Centre.x) / hill.RadiusX,
                            ey = (p.y - hill.Centre.y) / hill.RadiusY;
                const float wobble = (hill.Terraced ? 0.1f : 0.25f) *
                                     (FractalNoise(p.x / 7.0f, p.y / 7.0f, 0, 3, 0.5f, Seed + 2) - 0.5f);
                const float e = std::sqrt(ex * ex + ey * ey) + wobble;
                if (e >= 1.0f)
                    continue;
                float bump = hill.Peak * std::pow(1.0f - e * e, 2.0f) *
                             (0.75f + 0.5f * FractalNoise(p.x / 9.0f, p.y / 9.0f, 0, 3, 0.5f, Seed + 3));
                if (hill.Terraced) {
                    // Plateaus with steep steps, except along a few ramps that lead up.
                    const float step = 2.2f;
                    const float q = bump / step;
                    const float fl = std::floor(q);
                    const float terraced = (fl + SmoothStep(0.8f, 0.92f, q - fl)) * step;
                    const float angle = std::atan2(ey, ex);
                    float ramp = 0.0f;
                    for (float a : hill.Ramps) {
                        const float diff = std::remainder(angle - a, 2.0f * Pi);
                        ramp = std::max(ramp, std::exp(-(diff * diff) / (0.5f * 0.5f)));
                    }
                    bump = terraced + (bump - terraced) * SmoothStep(0.3f, 0.7f, ramp);
                }
                hills = std::max(hills, bump);
            }
            h += hills;
            // Flat, low ground where the armies start.
            const float flat = 1.0f - SmoothStep(0.0f, 7.0f, ZoneDistance(p));
            h = h + (0.05f - h) * flat;
            h = std::max(h, WaterLevel + 0.2f);  // no puddles away from the river
            // The river bed, shallow at the fords, and the lake.
            float along = 0.0f;
            const float d = DistToPolyline(p, River, &along);
            const float width = 2.3f + 0.8f * FractalNoise(along * 12.0f, 0.5f, 0, 2, 0.5f, Seed + 4);
            float ford = 0.0f;
            for (float a : FordsAlong)
                ford = std::max(ford, 1.0f - SmoothStep(0.02f, 0.045f, std::abs(along - a)));
            if (d < width + 6.0f) {
                const float depth =
                    (1.45f - 1.15f * ford) * std::clamp(1.0f - (d / width) * (d / width), 0.0f, 1.0f) + 0.05f;
                const float carved =
                    d < width ? WaterLevel - depth : WaterLevel - 0.05f + (d - width) * 0.45f;
                h = std::min(h, carved);
            }
            const float lx = (p.x - lake.x) / 13.0f, ly = (p.y - lake.y) / 9.0f;
            const float e = std::sqrt(lx * lx + ly * ly) +
                            0.18f * (FractalNoise(p.x / 6.0f, p.y / 6.0f, 0, 3, 0.5f, Seed + 5) - 0.5f);
            const float inside = (1.0f - e) * 9.0f;  // roughly the distance from the shore
            if (inside > -6.0f) {
                const float carved = inside > 0.0f ? WaterLevel - 0.05f - std::min(2.0f, inside * 0.45f)
                                                   : WaterLevel - 0.05f - inside * 0.4f;
                h = std::min(h, carved);
            }
            H(r, c) =
                std::round(h * 200.0f) / 200.0f;  // as stored, so every later step sees the file's heights
        }
}

void TMapBuilder::MakeRoads() {
    const TVec2 ford1 = Fords[0];
    // From the eastern edge through the human camp, over the northern ford, to the north-west camp.
    Roads.push_back({{127.8f, 61.5f},
                     {106, 61},
                     {92, 62},
                     {84, 69},
                     {74, 84},
                     {ford1.x + 6, ford1.y - 3},
                     ford1,
                     {ford1.x - 7, ford1.y + 3},
                     {42, 111},
                     {24, 117},
                     {12, 120}});
    // A branch south through the village, round the south of the lake, to the south-west camp.
    Roads.push_back({{84, 69}, {82, 56}, {79, 46}, {72, 30}, {60, 22}, {40, 17}, {22, 13}, {12, 11}});
}

// A tile shows two materials at most, so materials are kept from meeting three at a corner:
// sand lines the water for two tiles (the river bed shows only in the middle), grass surrounds
// the woods and the roads, and bare earth (scree) rings the rock.
void TMapBuilder::SeparateMaterials() {
    auto within = [&](int32_t reach, auto test) {
        std::vector<uint8_t> near(Tiles.size(), 0);
        for (int32_t row = 0; row < MapRows; ++row)
            for (int32_t col = 0; col < MapCols; ++col) {
                if (!test(Tile(col, row)))
                    continue;
                for (int32_t dr = -reach; dr <= reach; ++dr)
                    for (int32_t dc = -reach; dc <= reach; ++dc) {
                        const int32_t c = col + dc, r = row + dr;
                        if (c >= 0 && r >= 0 && c < MapCols && r < MapRows)
                            near[static_cast<size_t>(r) * MapCols + c] = 1;
                    }
            }
        return near;
    };
    const auto isWater = [](const TTile& t) {
        return t.Type == TTileType::DeepWater || t.Type == TTileType::Shallow;
    };
    const auto nearLand = within(2, [&](const TTile& t) { return !isWater(t); });
    const auto nearWoods = within(1, [](const TTile& t) { return t.Woods; });
    const auto nearRoad = within(1, [](const TTile& t) { return t.Road; });
    for (size_t i = 0; i < Tiles.size(); ++i) {
        TTile& t = Tiles[i];
        if (isWater(t))
            t.Material = nearLand[i] ? MatSand : MatRiverBed;
        else if ((nearWoods[i] || nearRoad[i]) && (t.Material == MatEarth || t.Material == MatDryGrass))
            t.Material = MatGrass;
    }
    const auto nearRock = within(2, [](const TTile& t) { return t.Material == MatRock; });
    for (size_t i = 0; i < Tiles.size(); ++i) {
        TTile& t = Tiles[i];
        if (nearRock[i] && (t.Material == MatGrass || t.Material == MatDryGrass || t.Material == MatForest)) {
            t.Material = MatEarth;
            if (t.Type == TTileType::Grass)
                t.Type = TTileType::Ground;
        }
    }
}

// Ground that the walking troops could use but cannot reach (a hilltop ringed by cliffs) is
// made rock: an army should not see a plateau it can never climb.
void TMapBuilder::CloseUnreachable() {
    std::vector<uint8_t> seen(Tiles.size(), 0);
    auto walkable = [&](int32_t col, int32_t row) {
        const TTileType t = Tile(col, row).Type;
        return t != TTileType::DeepWater && t != TTileType::Rocky && t != TTileType::Cliff;
    };
    std::vector<std::pair<int32_t, int32_t>> queue{
        {static_cast<int32_t>(HumanZone.X0) + 7, static_cast<int32_t>(HumanZone.Y0) + 7}};
    seen[static_cast<size_t>(queue[0].second) * MapCols + queue[0].first] = 1;
    for (size_t i = 0; i < queue.size(); ++i) {
        const auto [col, row] = queue[i];
        const int32_t dc[4] = {1, -1, 0, 0}, dr[4] = {0, 0, 1, -1};
        for (int32_t k = 0; k < 4; ++k) {
            const int32_t c = col + dc[k], r = row + dr[k];
            if (c < 0 || r < 0 || c >= MapCols || r >= MapRows ||
                seen[static_cast<size_t>(r) * MapCols + c] || !walkable(c, r))
                continue;
            seen[static_cast<size_t>(r) * MapCols + c] = 1;
            queue.emplace_back(c, r);
        }
    }
    for (int32_t row = 0; row < MapRows; ++row)
        for (int32_t col = 0; col < MapCols; ++col)
            if (!seen[static_cast<size_t>(row) * MapCols + col] && walkable(col, row)) {
                TTile& t = Tile(col, row);
                t = TTile{};
                t.Type = TTileType::Rocky;
                t.Material = MatRock;
            }
}

bool TMapBuilder::OpenGround(int32_t col, int32_t row) const {
    const TTile& t = Tile(col, row);
    return !t.Woods && !t.Road && t.Flags == 0 &&
           (t.Type == TTileType::Grass || t.Type == TTileType::Ground || t.Type == TTileType::Sand);
}

void TMapBuilder::ClassifyTiles() {
    // Woods: each forest is a ragged blob; small groves are scattered where they fit.
    std::vector<TForest> forests(std::begin(Forests), std::end(Forests));
    TGenRandom rnd(Seed + 10);
    while (forests.size() < std::size(Forests) + 7) {
        const TVec2 p{rnd.Range(10, 118), rnd.Range(10, 118)};
        if (ZoneDistance(p) > 12.0f && DistToPolyline(p, River) > 8.0f && Dist(p, {56, 38}) > 20.0f)
            forests.push_back({p, rnd.Range(2.0f, 3.5f)});
    }
    for (int32_t row = 0; row < MapRows; ++row)
        for (int32_t col = 0; col < MapCols; ++col) {
            const TVec2 p{col + 0.5f, row + 0.5f};
            TTile& t = Tile(col, row);
            const float h = TileHeight(col, row);
            const float depth = WaterLevel - h;
            const float slope = TileSlope(col, row);
            float woods = 0.0f;
            for (const TForest& f : forests)
                woods = std::max(woods, 1.0f - Dist(p, f.Centre) / f.Radius);
            woods += 0.9f * (FractalNoise(p.x / 6.0f, p.y / 6.0f, 0, 3, 0.55f, Seed + 11) - 0.5f);
            float roadDist = 1e30f;
            for (const auto& road : Roads)
                roadDist = std::min(roadDist, DistToPolyline(p, road));
            const float zone = ZoneDistance(p);
            const float meadow = FractalNoise(p.x / 10.0f, p.y / 10.0f, 0, 4, 0.5f, Seed + 12);
            const float outcrop = FractalNoise(p.x / 5.0f, p.y / 5.0f, 0, 3, 0.5f, Seed + 13);

            if (depth > DeepWater) {
                t.Type = TTileType::DeepWater;
                t.Material = MatRiverBed;
            } else if (h < WaterLevel) {
                t.Type = TTileType::Shallow;
                t.Material = depth < 0.15f ? MatSand : MatRiverBed;
            } else if (slope >= 1.6f && zone > 2.0f) {
                t.Type = TTileType::Cliff;
                t.Material = MatRock;
            } else if ((slope >= 1.0f || (h > 3.0f && outcrop > 0.72f)) && zone > 2.0f) {
                t.Type = TTileType::Rocky;
                t.Material = MatRock;
            } else if (roadDist < 0.8f) {
                t.Type = TTileType::Road;
                t.Material = MatRoad;
                t.Road = true;
            } else if (woods > 0.3f && zone > 3.0f && roadDist > 1.5f) {
                t.Type = TTileType::Woods;
                t.Material = MatForest;
                t.Woods = true;
            } else if (depth > -0.2f) {
                t.Type = TTileType::Sand;
                t.Material = MatSand;
            } else if (meadow < 0.3f || (h > 2.5f && outcrop > 0.55f)) {
                t.Type = TTileType::Ground;
                t.Material = MatEarth;
            } else {
                t.Type = TTileType::Grass;
                t.Material = meadow > 0.66f || h > 2.0f ? MatDryGrass : MatGrass;
            }
        }
}

// The tiles under a model standing at `position` (map coordinates) with the yaw, whose ground
// plan is the rectangle |x| <= halfX, |z| <= halfZ of its own coordinates. Placed as the map
// places entities: translation to the world position times a rotation about y by -yaw.
bool TMapBuilder::Footprint(const TMyVector3f& position, float yaw, float halfX, float halfZ,
                            std::vector<std::pair<int32_t, int32_t>>& tiles) const {
    const TMyVector3f w = MapToWorld(position);
    const TMatrix4f m = MatMultiply(MatTranslation(w.x, w.y, w.z), MatRotationY(-yaw));
    tiles.clear();
    // Sample points no more than a quarter unit apart, both edges included.
    const int32_t nx = static_cast<int32_t>(std::ceil(2.0f * halfX / 0.25f)),
                  nz = static_cast<int32_t>(std::ceil(2.0f * halfZ / 0.25f));
    for (int32_t i = 0; i <= nx; ++i)
        for (int32_t k = 0; k <= nz; ++k) {
            const float x = -halfX + 2.0f * halfX * i / nx, z = -halfZ + 2.0f * halfZ * k / nz;
            const TMyVector3f w = MatTransformPoint(m, {x, 0.0f, z});
            const int32_t col = static_cast<int32_t>(std::floor(w.z)),
                          row = static_cast<int32_t>(std::floor(w.x));
            if (col < 1 || row < 1 || col >= MapCols - 1 || row >= MapRows - 1)
                return false;
            if (std::find(tiles.begin(), tiles.end(), std::make_pair(col, row)) == tiles.end())
                tiles.emplace_back(col, row);
        }
    return true;
}

void TMapBuilder::AddEntity(std::vector<TEntityRecord>& list, const std::string& name, TVec2 p, float yaw) {
    list.push_back({name, {p.x, p.y, HeightAt(p.x, p.y)}, yaw});
}

// Ground plans of the scenery models, half extents in their own x and z. Some are named
// with their interchange-format extension so that every battle reads an ".ASE" and a ".3DS".
struct TPlan {
    const char* Name;
    float HalfX, HalfZ;
};
constexpr TPlan HousePlan{"House1.3DS", 1.5f, 1.0f};
constexpr TPlan RuinPlan{"Ruin1.ASE", 1.5f, 1.5f};
constexpr TPlan FencePlan{"Fence1.3DS", 1.0f, 0.1f};
constexpr TPlan RockPlan{"Rock1.ASE", 0.45f, 0.45f};

void TMapBuilder::PlaceEntities() {
    TGenRandom rnd(Seed + 20);
    std::vector<std::pair<int32_t, int32_t>> plan;

    // Places a blocking model near `around`: on open, nearly flat ground, then levels the ground
    // under it and blocks its tiles. Returns false when no place was found.
    auto placeBuilding = [&](const TPlan& what, TVec2 around, float spread, float baseYaw,
                             std::vector<TEntityRecord>& list) {
        for (int32_t attempt = 0; attempt < 200; ++attempt) {
            const TVec2 p{around.x + rnd.Range(-spread, spread), around.y + rnd.Range(-spread, spread)};
            const float yaw = baseYaw + rnd.Range(-0.06f, 0.06f);
            if (!Footprint({p.x, p.y, 0.0f}, yaw, what.HalfX + 0.6f, what.HalfZ + 0.6f, plan))
                continue;
            bool fits = true;
            float lo = 1e30f, hi = -1e30f;
            for (auto [col, row] : plan) {
                fits = fits && OpenGround(col, row) && Tile(col, row).Type != TTileType::Sand &&
                       ZoneDistance({col + 0.5f, row + 0.5f}) > 3.0f;
                lo = std::min(lo, TileHeight(col, row));
                hi = std::max(hi, TileHeight(col, row));
            }
            if (!fits || hi - lo > 0.5f)
                continue;
            Footprint({p.x, p.y, 0.0f}, yaw, what.HalfX, what.HalfZ, plan);
            // Level the ground under the building to the mean of its tiles.
            float mean = 0.0f;
            for (auto [col, row] : plan)
                mean += TileHeight(col, row);
            mean = std::round(mean / static_cast<float>(plan.size()) * 200.0f) / 200.0f;
            for (auto [col, row] : plan) {
                for (int32_t i = 0; i <= 2; ++i)
                    for (int32_t j = 0; j <= 2; ++j)
                        H(2 * row + i, 2 * col + j) = mean;
                Tile(col, row).Flags |= FlagBlocked;
            }
            AddEntity(list, what.Name, p, yaw);
            return true;
        }
        return false;
    };

    // The village on the southern road, a paddock beside it, ruins further out.
    for (int32_t i = 0; i < 5; ++i)
        placeBuilding(HousePlan, {80, 43}, 7.0f, (rnd.Int(4)) * Pi / 2, File.Entities);
    for (TVec2 ruin : {TVec2{40, 93}, TVec2{98, 100}, TVec2{22, 22}})
        placeBuilding(RuinPlan, ruin, 5.0f, rnd.Range(0.0f, 2.0f * Pi), File.Entities);
    {
        // The paddock: fence pieces two units long round a rectangle, with a gate on its west side.
        const float x0 = 88.5f, y0 = 34.5f, x1 = 96.5f, y1 = 42.5f;  // along tile centres
        std::vector<std::pair<TVec2, float>> pieces;
        for (float x = x0 + 1; x < x1; x += 2) {
            pieces.push_back({{x, y0}, Pi / 2});  // along the columns
            pieces.push_back({{x, y1}, Pi / 2});
        }
        for (float y = y0 + 1; y < y1; y += 2) {
            pieces.push_back({{x1, y}, 0.0f});  // along the rows
            if (std::abs(y - (y0 + y1) / 2) > 1.5f)
                pieces.push_back({{x0, y}, 0.0f});
        }
        bool clear = true;
        for (const auto& [p, yaw] : pieces) {
            Footprint({p.x, p.y, 0.0f}, yaw, FencePlan.HalfX, FencePlan.HalfZ, plan);
            for (auto [col, row] : plan)
                clear = clear && (OpenGround(col, row) || (Tile(col, row).Flags & FlagBlocked));
        }
        if (clear)
            for (const auto& [p, yaw] : pieces) {
                Footprint({p.x, p.y, 0.0f}, yaw, FencePlan.HalfX, FencePlan.HalfZ, plan);
                for (auto [col, row] : plan)
                    Tile(col, row).Flags |= FlagBlocked;
                AddEntity(File.Entities, FencePlan.Name, p, yaw + rnd.Range(-0.03f, 0.03f));
            }
    }

    // Rocks: boulders on the rocky ground and scattered over the hillsides; those on open
    // ground block their tile.
    for (int32_t n = 0, tries = 0; n < 70 && tries < 5000; ++tries) {
        const int32_t col = 2 + rnd.Int(MapCols - 4), row = 2 + rnd.Int(MapRows - 4);
        const TTile& t = Tile(col, row);
        const bool rocky = t.Type == TTileType::Rocky || t.Type == TTileType::Cliff;
        const bool hillside = OpenGround(col, row) && TileHeight(col, row) > 0.9f &&
                              ZoneDistance({col + 0.5f, row + 0.5f}) > 4.0f;
        if (!rocky && !(hillside && rnd.Int(3) == 0))
            continue;
        const TVec2 p{col + rnd.Range(0.35f, 0.65f), row + rnd.Range(0.35f, 0.65f)};
        if (!rocky)
            Tile(col, row).Flags |= FlagBlocked;
        AddEntity(File.Entities2, RockPlan.Name, p, rnd.Range(0.0f, 2.0f * Pi));
        ++n;
    }

    // Trees: the woods are full of them; a few stand alone in the fields.
    for (int32_t row = 0; row < MapRows; ++row)
        for (int32_t col = 0; col < MapCols; ++col) {
            if (!Tile(col, row).Woods)
                continue;
            const float kind = FractalNoise(col / 9.0f, row / 9.0f, 0, 2, 0.5f, Seed + 21);
            const int32_t count = rnd.Float() < 0.7f ? 1 : (rnd.Float() < 0.5f ? 2 : 0);
            for (int32_t k = 0; k < count; ++k) {
                const TVec2 p{col + rnd.Range(0.2f, 0.8f), row + rnd.Range(0.2f, 0.8f)};
                const float pick = kind + rnd.Range(-0.15f, 0.15f);
                // Pines (Tree2) on the heights, birches (Tree3) and oaks (Tree1) in mixed stands.
                const char* name = TileHeight(col, row) > 1.5f || pick > 0.58f
                                       ? "Tree2"
                                       : (pick < 0.42f ? "Tree3" : "Tree1");
                AddEntity(File.Trees, name, p, rnd.Range(0.0f, 2.0f * Pi));
            }
        }
    for (int32_t n = 0, tries = 0; n < 40 && tries < 5000; ++tries) {
        const int32_t col = 2 + rnd.Int(MapCols - 4), row = 2 + rnd.Int(MapRows - 4);
        if (!OpenGround(col, row) || ZoneDistance({col + 0.5f, row + 0.5f}) < 4.0f)
            continue;
        AddEntity(File.Trees, rnd.Int(2) ? "Tree1" : "Tree3",
                  {col + rnd.Range(0.3f, 0.7f), row + rnd.Range(0.3f, 0.7f)}, rnd.Range(0.0f, 2.0f * Pi));
        ++n;
    }
}

// ---------------------------------------------------------------------------------------------
// Landscape: materials at the tile corners, the two atlas layers of every tile, vertex light and
// the weight of layer 2.

void TMapBuilder::MakeLandscape() {
    const int32_t CornerCols = MapCols + 1, CornerRows = MapRows + 1;
    // The material of a corner: the most common material of its four tiles, ties going to the
    // later material; rock already when two of them are rock, so that thin bands of impassable
    // ground look what they are.
    std::vector<int32_t> corner(static_cast<size_t>(CornerCols) * CornerRows);
    for (int32_t cr = 0; cr < CornerRows; ++cr)
        for (int32_t cc = 0; cc < CornerCols; ++cc) {
            int32_t count[MaterialCount] = {};
            for (int32_t dr = -1; dr <= 0; ++dr)
                for (int32_t dc = -1; dc <= 0; ++dc) {
                    const int32_t col = std::clamp(cc + dc, 0, MapCols - 1),
                                  row = std::clamp(cr + dr, 0, MapRows - 1);
                    ++count[Tile(col, row).Material];
                }
            int32_t best = 0;
            for (int32_t m = 1; m < MaterialCount; ++m)
                if (count[m] >= count[best])
                    best = m;
            corner[static_cast<size_t>(cr) * CornerCols + cc] = count[MatRock] >= 2 ? MatRock : best;
        }
    auto cornerAt = [&](int32_t cc, int32_t cr) { return corner[static_cast<size_t>(cr) * CornerCols + cc]; };

    // A tile can show two materials only. Where three or more meet, corners give way to a
    // material of the same tile, chosen to leave the fewest such tiles around them; rock holds
    // (it marks impassable ground), roads and water edges hold before the fields do.
    auto distinct = [&](int32_t col, int32_t row) {
        if (col < 0 || row < 0 || col >= MapCols || row >= MapRows)
            return 0;
        int32_t m[4] = {cornerAt(col, row), cornerAt(col + 1, row), cornerAt(col, row + 1),
                        cornerAt(col + 1, row + 1)};
        std::sort(m, m + 4);
        return static_cast<int32_t>(std::unique(m, m + 4) - m);
    };
    auto keep = [](int32_t m) {
        return m == MatRock ? 3 : (m == MatRoad ? 2 : (m == MatRiverBed || m == MatSand ? 1 : 0));
    };
    auto excess = [&](int32_t cc, int32_t cr) {  // tiles of three or more materials round a corner
        int32_t n = 0;
        for (int32_t dr = -1; dr <= 0; ++dr)
            for (int32_t dc = -1; dc <= 0; ++dc)
                n += std::max(0, distinct(cc + dc, cr + dr) - 2);
        return n;
    };
    for (int32_t pass = 0; pass < 30; ++pass) {
        bool changed = false;
        for (int32_t row = 0; row < MapRows; ++row)
            for (int32_t col = 0; col < MapCols; ++col) {
                if (distinct(col, row) < 3)
                    continue;
                const int32_t cc[4] = {col, col + 1, col, col + 1}, cr[4] = {row, row, row + 1, row + 1};
                int32_t mats[4];
                for (int32_t k = 0; k < 4; ++k)
                    mats[k] = cornerAt(cc[k], cr[k]);
                // The corner to change: the least kept material, and of those the rarest here.
                int32_t pick = -1, pickRank = 1 << 30;
                for (int32_t k = 0; k < 4; ++k) {
                    const int32_t same = static_cast<int32_t>(std::count(mats, mats + 4, mats[k]));
                    const int32_t rank = keep(mats[k]) * 8 + same;
                    if (keep(mats[k]) < 3 && rank < pickRank) {
                        pick = k;
                        pickRank = rank;
                    }
                }
                if (pick < 0)
                    continue;
                int32_t& target = corner[static_cast<size_t>(cr[pick]) * CornerCols + cc[pick]];
                const int32_t original = target;
                // Fewer mixed tiles round the corner wins; at a tie, a change that mends this
                // tile moves the junction on, where a later change may end it.
                int32_t best = original, bestExcess = excess(cc[pick], cr[pick]);
                for (int32_t k = 0; k < 4; ++k) {
                    if (mats[k] == original || mats[k] == best)
                        continue;
                    target = mats[k];
                    const int32_t e = excess(cc[pick], cr[pick]);
                    if (e < bestExcess ||
                        (e == bestExcess && best == original && pass < 20 && distinct(col, row) < 3)) {
                        bestExcess = e;
                        best = mats[k];
                    }
                }
                target = best;
                changed = changed || best != original;
            }
        if (!changed)
            break;
    }

    // Tile layers. A tile whose corners differ gets its lowest material below and its highest
    // above, cut by the corner mask. A tile of one material deep inside its area gets a second
    // material in soft patches, whose weight is the vertex alpha.
    auto variation = [](int32_t m) {
        switch (m) {
        case MatGrass:
            return static_cast<int32_t>(MatDryGrass);
        case MatDryGrass:
            return static_cast<int32_t>(MatEarth);
        case MatEarth:
            return static_cast<int32_t>(MatDryGrass);
        case MatSand:
            return static_cast<int32_t>(MatEarth);
        case MatForest:
            return static_cast<int32_t>(MatGrass);
        case MatRoad:
            return static_cast<int32_t>(MatEarth);
        case MatRiverBed:
            return static_cast<int32_t>(MatSand);
        default:
            return static_cast<int32_t>(MatEarth);
        }
    };
    std::vector<uint8_t> transition(Tiles.size(), 0);
    for (int32_t row = 0; row < MapRows; ++row)
        for (int32_t col = 0; col < MapCols; ++col) {
            const int32_t a = cornerAt(col, row), b = cornerAt(col + 1, row), c = cornerAt(col, row + 1),
                          d = cornerAt(col + 1, row + 1);
            transition[static_cast<size_t>(row) * MapCols + col] = !(a == b && b == c && c == d);
        }
    auto isTransition = [&](int32_t col, int32_t row) {
        return col >= 0 && row >= 0 && col < MapCols && row < MapRows &&
               transition[static_cast<size_t>(row) * MapCols + col];
    };
    // A pure tile is "deep" when no tile sharing a vertex with it is a transition.
    std::vector<uint8_t> deep(Tiles.size(), 0);
    for (int32_t row = 0; row < MapRows; ++row)
        for (int32_t col = 0; col < MapCols; ++col) {
            bool d = !isTransition(col, row);
            for (int32_t dr = -1; dr <= 1 && d; ++dr)
                for (int32_t dc = -1; dc <= 1 && d; ++dc)
                    d = !isTransition(col + dc, row + dr);
            deep[static_cast<size_t>(row) * MapCols + col] = d;
        }

    TLandscapeSection& land = File.Landscape;
    land.Cols = MapCols;
    land.Rows = MapRows;
    land.Tiles.resize(Tiles.size());
    for (int32_t row = 0; row < MapRows; ++row)
        for (int32_t col = 0; col < MapCols; ++col) {
            const size_t i = static_cast<size_t>(row) * MapCols + col;
            const int32_t m[4] = {cornerAt(col, row), cornerAt(col + 1, row), cornerAt(col, row + 1),
                                  cornerAt(col + 1, row + 1)};
            const int32_t hi = *std::max_element(m, m + 4);
            // Below: the lowest material, or where three remain, the commonest of the others.
            int32_t lo = *std::min_element(m, m + 4);
            int32_t counts[MaterialCount] = {};
            for (int32_t k = 0; k < 4; ++k)
                if (m[k] != hi)
                    ++counts[m[k]];
            for (int32_t k = 0; k < MaterialCount; ++k)
                if (k != hi && counts[k] > counts[lo])
                    lo = k;
            const int32_t variant = static_cast<int32_t>(Hash(col, row, Seed + 30) % VariantCount);
            TTileRecord& rec = land.Tiles[i];
            rec.Col1 = static_cast<uint8_t>(variant);
            rec.Row1 = static_cast<uint8_t>(lo);
            if (lo != hi) {
                int32_t bits = 0;
                for (int32_t k = 0; k < 4; ++k)
                    if (m[k] == hi)
                        bits |= 1 << k;
                rec.Col2 = static_cast<uint8_t>(bits);
                rec.Row2 = static_cast<uint8_t>(MaskRowBase + hi);
            } else if (deep[i]) {
                rec.Col2 = static_cast<uint8_t>(Hash(col, row, Seed + 31) % VariantCount);
                rec.Row2 = static_cast<uint8_t>(variation(lo));
            } else {
                rec.Col2 = rec.Col1;
                rec.Row2 = rec.Row1;
            }
            rec.Packed1 = rec.Packed2 = 0;  // no turning or mirroring: the patterns join only as painted
            rec.TileType = TileTypeByte(Tiles[i].Type);
            rec.Flags = Tiles[i].Flags;
        }

    // Vertex alpha: full wherever a transition tile touches the vertex (its mask decides), soft
    // patches where only deep tiles do, none next to the other pure tiles.
    land.Verts.resize(static_cast<size_t>(VertRows) * VertCols);
    for (int32_t r = 0; r < VertRows; ++r)
        for (int32_t c = 0; c < VertCols; ++c) {
            // Tiles touching the vertex: a corner vertex has four, an edge midpoint two, a centre one.
            const int32_t rows[2] = {r % 2 ? r / 2 : r / 2 - 1, r / 2};
            const int32_t cols[2] = {c % 2 ? c / 2 : c / 2 - 1, c / 2};
            bool anyTransition = false, allDeep = true;
            for (int32_t tr : rows)
                for (int32_t tc : cols) {
                    if (tc < 0 || tr < 0 || tc >= MapCols || tr >= MapRows)
                        continue;
                    const size_t i = static_cast<size_t>(tr) * MapCols + tc;
                    anyTransition = anyTransition || transition[i];
                    allDeep = allDeep && deep[i];
                }
            float alpha = 0.0f;
            if (anyTransition)
                alpha = 1.0f;
            else if (allDeep)
                alpha =
                    0.8f * SmoothStep(0.45f, 0.7f, FractalNoise(c / 9.0f, r / 9.0f, 0, 3, 0.5f, Seed + 32));

            // Light from the battle's light position: diffuse, with the shadows of the hills.
            const float h = H(r, c);
            const float dhx = (H(std::min(r + 1, VertRows - 1), c) - H(std::max(r - 1, 0), c)) /
                              (0.5f * (std::min(r + 1, VertRows - 1) - std::max(r - 1, 0)));
            const float dhz = (H(r, std::min(c + 1, VertCols - 1)) - H(r, std::max(c - 1, 0))) /
                              (0.5f * (std::min(c + 1, VertCols - 1) - std::max(c - 1, 0)));
            TMyVector3f n{-dhx, 1.0f, -dhz};
            Vec3Normalize(n);
            const TMyVector3f p = ToWorld({c * 0.5f, r * 0.5f, h});
            TMyVector3f l = LightPos - p;
            Vec3Normalize(l);
            const float lambert = std::max(0.0f, n.x * l.x + n.y * l.y + n.z * l.z);
            const float horizontal = std::hypot(l.x, l.z);
            float clearance = 1.0f;
            for (float s = 0.5f; s < 60.0f; s += 0.5f) {
                const float t = s / horizontal;
                const float wx = p.x + l.x * t, wz = p.z + l.z * t;
                if (wx < 0.0f || wz < 0.0f || wx > MapRows || wz > MapCols)
                    break;
                const float ray = p.y + l.y * t;
                clearance = std::min(clearance, ray - HeightAt(wz, wx));
                if (ray > 8.0f)
                    break;  // above every hill
            }
            const float lit = 0.35f + 0.65f * SmoothStep(-0.4f, 0.2f, clearance);
            const float light = 0.42f + 0.58f * lambert * lit;

            TVertRecord& v = land.Verts[static_cast<size_t>(r) * VertCols + c];
            v.Height = static_cast<int16_t>(std::clamp(std::lround(h * 200.0f), -32768L, 32767L));
            v.Light = static_cast<uint8_t>(std::lround(Clamp01(light) * 255.0f));
            v.Alpha = static_cast<uint8_t>(std::lround(Clamp01(alpha) * 255.0f));
        }
}

// ---------------------------------------------------------------------------------------------
// Water: the surface over the terrain grid, cut into blocks of 32 x 32 tiles so that blocks out of
// view are skipped. A triangle is shown when the ground under one of its corners lies below the
// water; the hidden ones along the shore make their corners transparent.

void TMapBuilder::MakeWater() {
    // The surface uses the stored heights, as the game sees them.
    auto wet = [&](int32_t r, int32_t c) {
        return File.Landscape.Verts[static_cast<size_t>(r) * VertCols + c].Height / 200.0f < WaterLevel;
    };
    // Triangles of grid cell (r, c): (r,c) (r,c+1) (r+1,c+1) and (r,c) (r+1,c+1) (r+1,c).
    auto triangle = [](int32_t r, int32_t c, int32_t k, int32_t out[3][2]) {
        const int32_t a[2] = {r, c}, b[2] = {r, c + 1}, d[2] = {r + 1, c + 1}, e[2] = {r + 1, c};
        const int32_t* pts[2][3] = {{a, b, d}, {a, d, e}};
        for (int32_t i = 0; i < 3; ++i) {
            out[i][0] = pts[k][i][0];
            out[i][1] = pts[k][i][1];
        }
    };
    auto shown = [&](int32_t r, int32_t c, int32_t k) {
        int32_t v[3][2];
        triangle(r, c, k, v);
        return wet(v[0][0], v[0][1]) || wet(v[1][0], v[1][1]) || wet(v[2][0], v[2][1]);
    };
    constexpr int32_t Block = 64;  // grid cells per block side (32 tiles)
    for (int32_t br = 0; br < VertRows - 1; br += Block)
        for (int32_t bc = 0; bc < VertCols - 1; bc += Block) {
            TWaterSection section;
            std::vector<int32_t> index(static_cast<size_t>(VertRows) * VertCols, -1);
            auto vertex = [&](int32_t r, int32_t c) {
                int32_t& i = index[static_cast<size_t>(r) * VertCols + c];
                if (i < 0) {
                    i = static_cast<int32_t>(section.Vertices.size());
                    section.Vertices.push_back({r * 0.5f, WaterLevel, c * 0.5f});
                }
                return static_cast<uint32_t>(i);
            };
            const int32_t r1 = std::min(br + Block, VertRows - 1), c1 = std::min(bc + Block, VertCols - 1);
            for (int32_t r = br; r < r1; ++r)
                for (int32_t c = bc; c < c1; ++c)
                    for (int32_t k = 0; k < 2; ++k)
                        if (shown(r, c, k)) {
                            int32_t v[3][2];
                            triangle(r, c, k, v);
                            section.Triangles.push_back({vertex(v[0][0], v[0][1]), vertex(v[1][0], v[1][1]),
                                                         vertex(v[2][0], v[2][1]), 1});
                        }
            if (section.Triangles.empty())
                continue;
            // Hidden triangles (also just outside the block) that touch a corner of a shown one.
            const std::vector<int32_t> shownIndex = index;
            for (int32_t r = std::max(br - 1, 0); r < std::min(r1 + 1, VertRows - 1); ++r)
                for (int32_t c = std::max(bc - 1, 0); c < std::min(c1 + 1, VertCols - 1); ++c)
                    for (int32_t k = 0; k < 2; ++k) {
                        if (shown(r, c, k))
                            continue;
                        int32_t v[3][2];
                        triangle(r, c, k, v);
                        bool touches = false;
                        for (auto& p : v)
                            touches = touches || shownIndex[static_cast<size_t>(p[0]) * VertCols + p[1]] >= 0;
                        if (touches)
                            section.Triangles.push_back({vertex(v[0][0], v[0][1]), vertex(v[1][0], v[1][1]),
                                                         vertex(v[2][0], v[2][1]), 0});
                    }
            File.Waters.push_back({0, std::move(section)});
        }
    File.WaterColour = WaterColour;
}

// ---------------------------------------------------------------------------------------------
// The minimap: one pixel per tile, the bottom row of the picture is tile row 0.

TImage TMapBuilder::MakeMinimap() const {
    TColour material[MaterialCount];
    for (int32_t m = 0; m < MaterialCount; ++m)
        material[m] = MaterialAverage(m);
    const TColour water = Rgb(WaterColour.x, WaterColour.y, WaterColour.z);
    TImage img(MapCols, MapRows, 3);
    for (int32_t row = 0; row < MapRows; ++row)
        for (int32_t col = 0; col < MapCols; ++col) {
            const TTile& t = Tile(col, row);
            TColour c = material[t.Material];
            if (t.Woods)
                c = Mix(c, Rgb(0.1f, 0.24f, 0.08f), 0.6f);
            if (t.Flags & FlagBlocked)
                c = Mix(c, Rgb(0.55f, 0.3f, 0.22f), 0.7f);
            // The baked light, relative to flat open ground.
            const TVertRecord& v =
                File.Landscape.Verts[static_cast<size_t>(2 * row + 1) * VertCols + 2 * col + 1];
            c = Scale(c, std::clamp(v.Light / 235.0f, 0.5f, 1.15f));
            const float depth = WaterLevel - v.Height / 200.0f;
            if (depth > 0.0f)
                c = Mix(c, water, std::clamp(0.55f + depth * 0.3f, 0.0f, 0.9f));
            img.Set(col, MapRows - 1 - row, c);
        }
    return img;
}

bool GenerateMap(const std::string& outDir) {
    TMapBuilder builder;
    builder.Build();
    return WriteFileBytes(DataPath(outDir, "Maps/FirstBlood.map"), WriteMapFile(builder.File)) &&
           WriteTGA(DataPath(outDir, "Maps/FirstBlood.tga"), builder.MakeMinimap());
}

const DataGenerator mapGenerator(20, "map", GenerateMap);

// ---------------------------------------------------------------------------------------------
// `mygame-data mapview MAP TILESET OUT.png [PX [COL ROW COLS ROWS]]`: the terrain seen from
// straight above as the landscape program mixes it (two atlas layers by the cell alpha times the
// vertex alpha, times the vertex light), with the water laid over it and the scenery marked.

TColour SampleAtlas(const TStoredTextureData& atlas, float u, float v) {
    const int32_t ch = TextureFormatBytes(atlas.Format);
    const float x = u * atlas.Width - 0.5f, y = v * atlas.Height - 0.5f;
    const int32_t x0 = static_cast<int32_t>(std::floor(x)), y0 = static_cast<int32_t>(std::floor(y));
    const float fx = x - x0, fy = y - y0;
    auto at = [&](int32_t px, int32_t py) {
        px = ((px % atlas.Width) + atlas.Width) % atlas.Width;  // the texture repeats
        py = ((py % atlas.Height) + atlas.Height) % atlas.Height;
        const uint8_t* p = &atlas.Pixels[(static_cast<size_t>(py) * atlas.Width + px) * ch];
        return ch == 4 ? Rgb8(p[0], p[1], p[2], p[3]) : Rgb8(p[0], p[1], p[2]);
    };
    return Mix(Mix(at(x0, y0), at(x0 + 1, y0), fx), Mix(at(x0, y0 + 1), at(x0 + 1, y0 + 1), fx), fy);
}

int RunMapView(const std::vector<std::string>& args) {
    if (args.size() != 3 && args.size() != 4 && args.size() != 8) {
        std::cerr << "mygame-data mapview: give MAP TILESET OUT.png [PIXELS_PER_TILE [COL ROW COLS ROWS]]\n";
        return 2;
    }
    try {
        TMapStream stream = TMapStream::FromFile(args[0]);
        const TMapFileData map = ReadMapFile(stream);
        auto atlasFile = ReadWholeFile(args[1]);
        TStoredTextureData atlas;
        std::string error;
        if (!atlasFile || !DecodeTGATexture(*atlasFile, atlas, error)) {
            std::cerr << "mygame-data mapview: " << args[1] << ": " << (atlasFile ? error : "cannot be read")
                      << "\n";
            return 1;
        }
        TLandshaftObject land;
        land.Build(map.Landscape, atlas.Width, atlas.Height);
        const int32_t px = args.size() >= 4 ? std::clamp(std::atoi(args[3].c_str()), 1, 64) : 8;
        int32_t col0 = 0, row0 = 0, cols = land.TileCols, rows = land.TileRows;
        if (args.size() == 8) {
            col0 = std::clamp(std::atoi(args[4].c_str()), 0, land.TileCols - 1);
            row0 = std::clamp(std::atoi(args[5].c_str()), 0, land.TileRows - 1);
            cols = std::clamp(std::atoi(args[6].c_str()), 1, land.TileCols - col0);
            rows = std::clamp(std::atoi(args[7].c_str()), 1, land.TileRows - row0);
        }
        TImage img(cols * px, rows * px, 3);
        for (int32_t row = row0; row < row0 + rows; ++row)
            for (int32_t col = col0; col < col0 + cols; ++col) {
                const TTilePlace& t = land.Tile(col, row);
                const auto uv1 = land.TileTexCoords(t.Col1, t.Row1, t.Rot1, t.MirrorU1, t.MirrorV1);
                const auto uv2 = land.TileTexCoords(t.Col2, t.Row2, t.Rot2, t.MirrorU2, t.MirrorV2);
                for (int32_t y = 0; y < px; ++y)
                    for (int32_t x = 0; x < px; ++x) {
                        const float s = (x + 0.5f) / px, tt = (y + 0.5f) / px;
                        auto lerp9 = [&](const std::array<TMyVector2f, 9>& uv) {
                            const TMyVector2f a = uv[0] + (uv[2] - uv[0]) * s,
                                              b = uv[6] + (uv[8] - uv[6]) * s;
                            return a + (b - a) * tt;
                        };
                        const TMyVector2f a1 = lerp9(uv1), a2 = lerp9(uv2);
                        const TColour l1 = SampleAtlas(atlas, a1.x, a1.y),
                                      l2 = SampleAtlas(atlas, a2.x, a2.y);
                        // Vertex values, bilinear over the tile's 3 x 3 vertices.
                        const float gr = 2 * row + 2 * tt, gc = 2 * col + 2 * s;
                        const int32_t r0 = std::min(static_cast<int32_t>(gr), land.VertRows - 2);
                        const int32_t c0 = std::min(static_cast<int32_t>(gc), land.VertCols - 2);
                        const float fr = gr - r0, fc = gc - c0;
                        auto vert = [&](auto get) {
                            return (1 - fr) *
                                       ((1 - fc) * get(land.Vert(r0, c0)) + fc * get(land.Vert(r0, c0 + 1))) +
                                   fr * ((1 - fc) * get(land.Vert(r0 + 1, c0)) +
                                         fc * get(land.Vert(r0 + 1, c0 + 1)));
                        };
                        const float alpha = vert([](const TLandVert& v) { return v.Alpha; });
                        const float light = vert([](const TLandVert& v) { return v.R; });
                        const float height = vert([](const TLandVert& v) { return v.Position.y; });
                        TColour c = Scale(Mix(l1, l2, l2.a * alpha), light);
                        if (height < WaterLevel)
                            c = Mix(c, Rgb(map.WaterColour.x, map.WaterColour.y, map.WaterColour.z),
                                    std::clamp(map.WaterColour.w * (0.6f + (WaterLevel - height) * 0.4f),
                                               0.0f, 0.95f));
                        img.Set((col - col0) * px + x, (row0 + rows - 1 - row) * px + (px - 1 - y), c);
                    }
            }
        auto mark = [&](const std::vector<TEntityRecord>& list, const TColour& colour, float radius) {
            for (const auto& e : list) {
                const float x = (e.Position.x - col0) * px, y = (row0 + rows - e.Position.y) * px;
                Paint(img, Circle(x, y, radius * px), colour, static_cast<int32_t>(x - px * 2),
                      static_cast<int32_t>(y - px * 2), static_cast<int32_t>(x + px * 2),
                      static_cast<int32_t>(y + px * 2));
            }
        };
        mark(map.Trees, Rgb(0.05f, 0.2f, 0.05f, 0.8f), 0.3f);
        mark(map.Entities, Rgb(0.7f, 0.2f, 0.1f, 0.9f), 0.4f);
        mark(map.Entities2, Rgb(0.6f, 0.6f, 0.6f, 0.9f), 0.25f);
        return WriteFileBytes(args[2], EncodePNG(img)) ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "mygame-data mapview: " << e.what() << "\n";
        return 1;
    }
}

const DataCommand mapViewCommand("mapview",
                                 "mapview MAP TILESET PNG [PX [COL ROW COLS ROWS]]  the terrain from above",
                                 RunMapView);

}  // namespace

}  // namespace gen
