// mygame-data path MAPFILE SX SY GX GY TYPE: the route the game's path finder
// returns on that map for that unit type, as JSON.

#include "DataTool.h"

#include "units/GameUnits.h"
#include "units/my_PathFinder.h"
#include "world/LandshaftObject.h"
#include "world/MapObject.h"

#include <cstdlib>
#include <iostream>

namespace {

bool ParseInt(const std::string& text, int32_t& out) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || v < INT32_MIN || v > INT32_MAX)
        return false;
    out = static_cast<int32_t>(v);
    return true;
}

// The same grids the map gives its path finder: blocked where the unit type may not stand.
std::vector<uint8_t> PassGrid(const TLandscapeSection& land, int32_t unitType) {
    std::vector<uint8_t> grid(land.Tiles.size());
    for (size_t i = 0; i < land.Tiles.size(); ++i)
        grid[i] =
            TilePassable(TileTypeOfByte(land.Tiles[i].TileType), land.Tiles[i].Flags, unitType) ? 0 : 255;
    return grid;
}

int RunPath(const std::vector<std::string>& args) {
    if (args.size() != 6) {
        std::cerr << "mygame-data path: usage: path MAPFILE SX SY GX GY TYPE\n";
        return 2;
    }
    int32_t v[5];
    for (int i = 0; i < 5; ++i)
        if (!ParseInt(args[1 + i], v[i])) {
            std::cerr << "mygame-data path: '" << args[1 + i] << "' is not a whole number\n";
            return 2;
        }
    const int32_t type = v[4];
    if (!IsValidUnitType(type)) {
        std::cerr << "mygame-data path: unit type " << type << " is not 0 to " << UnitTypeCount - 1 << "\n";
        return 2;
    }
    try {
        TMapStream stream = TMapStream::FromFile(args[0]);
        TMapFileData data = ReadMapFile(stream);
        const TLandscapeSection& land = data.Landscape;
        TPathFinder finder(land.Cols, PassGrid(land, 0), land.Rows);
        for (int32_t t = 1; t < UnitTypeCount; ++t)
            finder.AddGrid(PassGrid(land, t));
        if (v[0] < 0 || v[1] < 0 || v[2] < 0 || v[3] < 0 || v[0] >= land.Cols || v[2] >= land.Cols ||
            v[1] >= land.Rows || v[3] >= land.Rows) {
            std::cerr << "mygame-data path: tiles must lie inside the " << land.Cols << " x " << land.Rows
                      << " map\n";
            return 2;
        }
        TWay way = finder.FindPath({v[0], v[1]}, {v[2], v[3]}, type);
        std::cout << "{\"path\": [";
        for (size_t i = 0; i < way.size(); ++i)
            std::cout << (i ? ", " : "") << "[" << way[i].x << ", " << way[i].y << "]";
        std::cout << "]}\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "mygame-data path: " << e.what() << "\n";
        return 1;
    }
}

const DataCommand pathCommand("path",
                              "path MAPFILE SX SY GX GY TYPE   the game's route between two tiles, as JSON",
                              RunPath);

}  // namespace
