#pragma once
// Helpers shared by the units tests: a small map built in memory.

#include "units/GameUnits.h"
#include "world/LandshaftObject.h"
#include "world/MapObject.h"

#include <cmath>
#include <cstdint>
#include <memory>

// A flat landscape of open tiles; types and heights can be changed before Build.
struct TTestLand {
    TLandscapeSection Section;

    TTestLand(int32_t cols, int32_t rows) {
        Section.Cols = cols;
        Section.Rows = rows;
        Section.Tiles.assign(size_t(cols) * size_t(rows), TTileRecord{});
        Section.Verts.assign(size_t(2 * cols + 1) * size_t(2 * rows + 1), TVertRecord{});
    }
    void SetType(int32_t col, int32_t row, uint8_t type) {
        Section.Tiles[size_t(row * Section.Cols + col)].TileType = type;
    }
    // Raises the tile's centre vertex, the one its height is read from.
    void SetHeight(int32_t col, int32_t row, float h) {
        Section.Verts[size_t((2 * row + 1) * (2 * Section.Cols + 1) + 2 * col + 1)].Height =
            int16_t(std::lround(h * 200.0f));
    }
    // Raises the whole tile (its nine vertices) to h.
    void SetTileHeight(int32_t col, int32_t row, float h) {
        const int32_t vc = 2 * Section.Cols + 1;
        for (int32_t r = 2 * row; r <= 2 * row + 2; ++r)
            for (int32_t c = 2 * col; c <= 2 * col + 2; ++c)
                Section.Verts[size_t(r * vc + c)].Height = int16_t(std::lround(h * 200.0f));
    }
    std::unique_ptr<TGameMap> Build() const {
        auto map = std::make_unique<TGameMap>();
        map->Landshaft = std::make_unique<TLandshaftObject>();
        map->Landshaft->Build(Section, 1024, 1024);
        map->MapCols = Section.Cols;
        map->MapRows = Section.Rows;
        map->PathFinder = std::make_unique<TPathFinder>(map->MapCols, map->PassGrid(0), map->MapRows);
        for (int32_t t = 1; t < UnitTypeCount; ++t)
            map->PathFinder->AddGrid(map->PassGrid(t));
        map->Occupancy.assign(size_t(map->MapCols) * size_t(map->MapRows), nullptr);
        return map;
    }
};
