// Map files: the whole file as ReadMapFile reads it, then everything that is built
// from it without resources or OpenGL: the landscape with its culling tree and
// picking, the water surfaces and the path finder on the terrain's passability.

#include "FuzzSupport.h"
#include "world/LandshaftObject.h"
#include "world/MapObject.h"

#include <vector>

namespace {

void BuildFrom(const TMapFileData& map) {
    TLandshaftObject land;
    land.Build(map.Landscape, 1024, 1024);
    const int32_t cols = land.TileCols, rows = land.TileRows;
    fuzz::Require(cols == map.Landscape.Cols && rows == map.Landscape.Rows,
                  "landscape size differs from the file");

    for (float t : {-1.0f, 0.0f, 0.3f, 0.5f, 1.0f, 2.0f})
        (void)land.GetHeight(t * float(cols), t * float(rows));
    (void)land.GetTileHeight(cols - 1, rows - 1);
    (void)land.GetTileHeight(-5, rows + 5);
    TMyVector3f point, normal;
    const TMyVector3f origin{float(rows) * 0.5f, 1000.0f, float(cols) * 0.5f};
    const TMyVector3f down{0.0f, -2000.0f, 0.0f};
    (void)land.RayPick(origin, down, point, normal);
    const TMyVector3f across{-3.0f, 5.0f, -7.0f};
    (void)land.RayPick(across, TMyVector3f{float(rows) * 2.0f, -10.0f, float(cols) * 2.0f}, point, normal);

    for (const auto& water : map.Waters) {
        TWaterObject surface;
        surface.Build(water.Section, map.WaterColour);
        for (const auto& t : surface.Triangles)
            fuzz::Require(t.A < surface.Vertices.size() && t.B < surface.Vertices.size() &&
                              t.C < surface.Vertices.size(),
                          "water triangle outside its vertices");
    }

    std::vector<std::vector<uint8_t>> grids(4, std::vector<uint8_t>(size_t(cols) * size_t(rows)));
    for (int32_t unit = 0; unit < 4; ++unit)
        for (int32_t r = 0; r < rows; ++r)
            for (int32_t c = 0; c < cols; ++c) {
                const TTilePlace& tile = land.Tile(c, r);
                grids[size_t(unit)][size_t(r) * cols + c] =
                    TilePassable(tile.TileType, tile.TileFlags, unit) ? 0 : 255;
            }
    TPathFinder finder(cols, grids[0], rows);
    for (int32_t unit = 1; unit < 4; ++unit)
        finder.AddGrid(grids[size_t(unit)]);
    for (int32_t unit = 0; unit < 4; ++unit) {
        TWay way = finder.FindPath({0, 0}, {cols - 1, rows - 1}, unit);
        for (const auto& p : way)
            fuzz::Require(p.x >= 0 && p.y >= 0 && p.x < cols && p.y < rows, "route leaves the map");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    TMapStream stream(bytes, "fuzz.map");
    TMapFileData map;
    try {
        map = ReadMapFile(stream);
    } catch (const EMapFileError&) {
        return 0;  // the version error is one of these too
    }
    // The writer is the reader's mirror: what was read writes back byte for byte.
    std::vector<uint8_t> written = WriteMapFile(map);
    fuzz::Require(
        written.size() == stream.Position() && std::equal(written.begin(), written.end(), bytes.begin()),
        "map file does not write back as it was read");
    BuildFrom(map);
    return 0;
}
