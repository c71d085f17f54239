// `mygame-data info` for map files: what the game's map reader makes of them, without loading
// any model or texture.

#include "DataTool.h"

#include "units/GameUnits.h"
#include "world/LandshaftObject.h"
#include "world/MapObject.h"
#include "world/e_WaterObject.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <set>
#include <sstream>

namespace {

std::string Number(float v) {
    if (!std::isfinite(v))
        return "null";
    std::ostringstream s;
    s << v;
    return s.str();
}

std::string Vector(std::initializer_list<float> values) {
    std::string out = "[";
    for (float v : values)
        out += (out.size() > 1 ? ", " : "") + Number(v);
    return out + "]";
}

int PrintMap(const std::string& path, std::ostream& out) {
    TMapFileData map;
    int64_t trailing = 0;
    try {
        TMapStream stream = TMapStream::FromFile(path);
        map = ReadMapFile(stream);
        if (stream.Remaining() != 0)
            trailing = stream.Remaining();
    } catch (const EMapFileError& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }

    const TLandscapeSection& land = map.Landscape;
    int64_t types[11] = {};  // 0..9, then anything else
    int64_t flagged = 0;
    int64_t passable[UnitTypeCount] = {};
    int64_t impassable[UnitTypeCount] = {};
    for (const TTileRecord& t : land.Tiles) {
        ++types[t.TileType <= 9 ? t.TileType : 10];
        if (t.Flags & (0x8u | 0x20000u | 0x40000u))
            ++flagged;
        for (int32_t unit = 0; unit < UnitTypeCount; ++unit)
            ++(TilePassable(TileTypeOfByte(t.TileType), t.Flags, unit) ? passable : impassable)[unit];
    }
    int16_t lo = 0, hi = 0;
    if (!land.Verts.empty()) {
        const auto [mn, mx] = std::minmax_element(
            land.Verts.begin(), land.Verts.end(),
            [](const TVertRecord& a, const TVertRecord& b) { return a.Height < b.Height; });
        lo = mn->Height;
        hi = mx->Height;
    }
    std::set<std::string> models;
    for (const auto* list : {&map.Trees, &map.Entities, &map.Entities2})
        for (const auto& r : *list)
            models.insert(r.Name);

    // The culling tree the landscape builds; the atlas size only moves texture coordinates.
    TLandshaftObject landscape;
    landscape.Build(land, 1024, 1024);
    int64_t leaves = 0;
    std::vector<const TMyTreeNode*> open;
    if (landscape.TreeRoot)
        open.push_back(landscape.TreeRoot.get());
    while (!open.empty()) {
        const TMyTreeNode* node = open.back();
        open.pop_back();
        if (!node->IsInner) {
            ++leaves;
            continue;
        }
        for (const auto* child : {node->Child1.get(), node->Child2.get()})
            if (child)
                open.push_back(child);
    }

    std::ostringstream waters;
    int64_t shownTriangles = 0;
    for (size_t i = 0; i < map.Waters.size(); ++i) {
        TWaterObject water;
        water.Build(map.Waters[i].Section, map.WaterColour);
        shownTriangles += water.TriangleCount;
        const bool empty = !(water.BoxMin.x <= water.BoxMax.x);
        waters << (i ? ", " : "") << "{\"vertices\": " << water.VertexCount
               << ", \"triangles\": " << map.Waters[i].Section.Triangles.size()
               << ", \"shown\": " << water.TriangleCount << ", \"box_min\": "
               << (empty ? "null" : Vector({water.BoxMin.x, water.BoxMin.y, water.BoxMin.z}))
               << ", \"box_max\": "
               << (empty ? "null" : Vector({water.BoxMax.x, water.BoxMax.y, water.BoxMax.z})) << "}";
    }

    out << "{\"version\": " << map.FileVersion << ", \"map_version\": " << map.Version
        << ", \"cols\": " << land.Cols << ", \"rows\": " << land.Rows << ", \"tiles\": " << land.Tiles.size()
        << ", \"vertices\": " << land.Verts.size() << ", \"tile_types\": {";
    for (int t = 0; t <= 10; ++t)
        out << (t ? ", " : "") << '"' << (t <= 9 ? std::to_string(t) : std::string("other"))
            << "\": " << types[t];
    out << "}, \"flagged_tiles\": " << flagged << ", \"passable_tiles\": {";
    for (int32_t unit = 0; unit < UnitTypeCount; ++unit)
        out << (unit ? ", " : "") << JsonString(UnitFeatures[size_t(unit)].Name) << ": " << passable[unit];
    out << "}, \"impassable\": [";
    for (int32_t unit = 0; unit < UnitTypeCount; ++unit)
        out << (unit ? ", " : "") << impassable[unit];
    out << "], \"height_min\": " << Number(lo / 200.0f) << ", \"height_max\": " << Number(hi / 200.0f)
        << ", \"trees\": " << map.Trees.size() << ", \"entities\": " << map.Entities.size()
        << ", \"entities2\": " << map.Entities2.size() << ", \"leaves\": " << leaves << ", \"models\": [";
    bool first = true;
    for (const auto& name : models) {
        out << (first ? "" : ", ") << JsonString(name);
        first = false;
    }
    out << "], \"water_colour\": "
        << Vector({map.WaterColour.x, map.WaterColour.y, map.WaterColour.z, map.WaterColour.w})
        << ", \"waters\": " << map.Waters.size() << ", \"water_triangles\": " << shownTriangles
        << ", \"water_sections\": [" << waters.str() << "], \"trailing_bytes\": " << trailing << "}\n";
    return 0;
}

InfoHandler mapInfo(".MAP", "map", PrintMap);

}  // namespace
