#pragma once
// The battlefield: the map section of a map file with its trees, entities, water surfaces and
// landscape; passability per unit type and the path finder's grids; which troops stand on each
// tile; short-lived water rings; and what the map queues for the renderer each frame.
//
// Also the map file itself: TMapFileData describes a whole file, WriteMapFile writes exactly what
// the readers read (the data generator and the tests share it), ReadMapFile reads one back
// without loading any resource (the data tool's "info").
//
// Map coordinates (mx, my, h): mx along the tile columns, my along the rows; world (my, h, mx).

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "units/my_PathFinder.h"
#include "world/GameEntity.h"
#include "world/LandshaftObject.h"
#include "world/e_DrawQueue.h"
#include "world/e_Math.h"
#include "world/e_WaterObject.h"

class TFrustum;
class TGameModel;

inline constexpr int32_t MapFileVersion = 100;  // the file header's version
inline constexpr int32_t MapVersion = 100;      // the map section's version

// ---------------------------------------------------------------------------------------------
// The map file

struct TMapWaterEntry {
    int32_t Unused = 0;  // stored before each surface, never read
    TWaterSection Section;
};

// Everything a map file holds, in file order.
struct TMapFileData {
    int32_t FileVersion = MapFileVersion;
    int32_t FileUnused = 0;
    int32_t Version = MapVersion;
    std::vector<TEntityRecord> Trees;
    std::vector<TEntityRecord> Entities;
    std::vector<TEntityRecord> Entities2;
    TMyVector4f WaterColour{0.2f, 0.35f, 0.5f, 0.6f};
    std::vector<TMapWaterEntry> Waters;
    int32_t Reserved = 0;
    TLandscapeSection Landscape;
};

// The map section (everything after the eight-byte file header). Counts are the array sizes.
void WriteMapSection(TMapWriter& out, const TMapFileData& data);
// The whole file: header, then the map section.
std::vector<uint8_t> WriteMapFile(const TMapFileData& data);
// Writes the whole file to disk; false when it cannot be written.
bool SaveMapFile(const std::string& path, const TMapFileData& data);

// Reads the map section at the stream's position. Throws EMapVersionError for another version
// and EMapFileError for a damaged section.
TMapFileData ReadMapSection(TMapStream& stream);
// Reads a whole file: the header (version 100), then the map section.
TMapFileData ReadMapFile(TMapStream& stream);

// Whether a unit of the type (0..3) may stand on a tile of this terrain type and these flags;
// false for an unknown unit type.
bool TilePassable(TTileType tileType, uint32_t tileFlags, int32_t unitType);

// ---------------------------------------------------------------------------------------------
// Troops on tiles

// Base of the game unit: the troops standing on one tile form a doubly linked chain whose head is
// that tile's entry of TGameMap::Occupancy.
class TBaseTroopObj {
public:
    virtual ~TBaseTroopObj() = default;

    // Puts this object at the head of the chain.
    void LinkTo(TBaseTroopObj*& head);
    // Takes this object out of the chain that `head` starts, moving the head on if it was the head,
    // and clears both links. An object that is not in that chain is left alone.
    void Unlink(TBaseTroopObj*& head);

    TBaseTroopObj* Next = nullptr;
    TBaseTroopObj* Prev = nullptr;
    // Set by the game unit, so that walks over a tile's chain tell units apart
    // without a dynamic cast (they run over every tile several times a frame).
    bool IsGameUnit = false;
};

// A ripple on water where something entered it; world coordinates.
struct TWaterRing {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float Age = 0.0f;  // seconds
    bool Active = false;
};

// The textures the map needs are missing ("Clouds").
class EMapResourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------------------------
// The map

class TGameMap {
public:
    // Seconds a water ring lives: it starts at age 0.2 and goes out above 2.0.
    static constexpr float RingStartAge = 0.2f;
    static constexpr float RingEndAge = 2.0f;

    TGameMap();
    ~TGameMap();
    TGameMap(const TGameMap&) = delete;
    TGameMap& operator=(const TGameMap&) = delete;

    // Loads the map section at the stream's position (after the file header). An outdated version,
    // a damaged file or a missing "Clouds" texture shows the program message and ends the program,
    // as every failure that makes loading impossible does. A model that cannot be loaded throws
    // TModelLoadError to the caller.
    void Create(TMapStream& stream);
    // The same, throwing EMapVersionError / EMapFileError / EMapResourceError instead of ending.
    void Load(TMapStream& stream);
    // Frees everything the map owns and takes its landscape and water out of the draw queue.
    // Buffers the renderer made go through the resource device.
    void Destroy();

    float GetHeight(float mx, float my) const;
    float GetTileHeight(int32_t col, int32_t row) const;
    // The tile's terrain type; OffMap for a tile off the map.
    TTileType GetTileType(int32_t col, int32_t row) const;
    // Whether a unit of the type (0..3) may stand on the tile; false off the map or for an unknown type.
    bool IsPassable(int32_t col, int32_t row, int32_t unitType) const;
    // The passability grid of a unit type: MapCols * MapRows bytes, 0 passable, 255 blocked.
    std::vector<uint8_t> PassGrid(int32_t unitType) const;
    // Route between two tiles for the unit type (start first, goal last); see TPathFinder.
    TWay FindPath(TWayPoint start, TWayPoint goal, int32_t unitType);
    // The landscape's picking: world-space segment in, world position (x = my, y = h, z = mx) out.
    bool RayPick(const TMyVector3f& origin, const TMyVector3f& segment, TMyVector3f& point,
                 TMyVector3f& normal) const;

    // The head of the chain of troops on a tile. The tile must lie on the map.
    TBaseTroopObj*& OccupancyAt(int32_t col, int32_t row) { return Occupancy[size_t(row) * MapCols + col]; }
    bool OnMap(int32_t col, int32_t row) const {
        return col >= 0 && row >= 0 && col < MapCols && row < MapRows;
    }

    // Stores the frustum, hands the landscape and the water to the draw queue, and queues the
    // active rings and the visible trees (swayed for the clock) and entities.
    void PrepareDraw(const TFrustum& frustum);
    // Ages the rings by the time since the last call and stores the clock.
    void Update(double time);
    // Starts a water ring at a map position (mx, my, h); on a water surface it floats on top.
    void AddRing(const TMyVector3f& position);

    int32_t MapCols = 0;
    int32_t MapRows = 0;
    std::unique_ptr<TLandshaftObject> Landshaft;
    std::unique_ptr<TPathFinder> PathFinder;
    std::vector<std::unique_ptr<TGameTree>> Trees;
    double Time = 0.0;
    std::vector<std::unique_ptr<TGameEntity>> Entities;
    std::vector<std::unique_ptr<TGameEntity>> Entities2;
    std::vector<std::unique_ptr<TWaterObject>> Waters;
    const TFrustum* Frustum = nullptr;
    int32_t CloudsTexture = -1;
    std::vector<TWaterRing> Rings;
    int32_t RingTexture = -1;
    std::vector<TBaseTroopObj*> Occupancy;  // MapCols * MapRows chain heads, row * MapCols + col

private:
    bool Registered = false;
};
