#include "world/MapObject.h"

#include <fstream>

#include "app/e_Log.h"
#include "resources/GameDataNames.h"
#include "resources/e_ModelObject.h"
#include "resources/e_ResourceManager.h"
#include "units/UnitFeatures.h"
#include "world/e_Frustum.h"

// ---------------------------------------------------------------------------------------------
// The map file

namespace {

void WriteEntityList(TMapWriter& out, const std::vector<TEntityRecord>& list) {
    out.WriteInt32(static_cast<int32_t>(list.size()));
    for (const auto& r : list)
        WriteEntityRecord(out, r);
}

std::vector<TEntityRecord> ReadEntityList(TMapStream& stream, const char* what) {
    const int32_t count = stream.ReadInt32(what);
    stream.RequireRecords(count, EntityRecordMinSize, what);
    std::vector<TEntityRecord> list(static_cast<size_t>(count));
    for (auto& r : list)
        r = ReadEntityRecord(stream);
    return list;
}

// Reads one entity list of the map section, creating an object of type T for every record.
template <class T>
void ReadEntityObjects(TMapStream& stream, const char* what, std::vector<std::unique_ptr<T>>& out) {
    const int32_t count = stream.ReadInt32(what);
    stream.RequireRecords(count, EntityRecordMinSize, what);
    for (int32_t i = 0; i < count; ++i) {
        const TEntityRecord r = ReadEntityRecord(stream);
        out.push_back(std::make_unique<T>(r.Name, r.Yaw, r.Position));
    }
}

// Each water entry holds at least its unused value and the two counts.
constexpr size_t WaterEntryMinSize = 12;

}  // namespace

void WriteMapSection(TMapWriter& out, const TMapFileData& data) {
    out.WriteInt32(data.Version);
    WriteEntityList(out, data.Trees);
    WriteEntityList(out, data.Entities);
    WriteEntityList(out, data.Entities2);
    out.WriteSingle(data.WaterColour.x);
    out.WriteSingle(data.WaterColour.y);
    out.WriteSingle(data.WaterColour.z);
    out.WriteSingle(data.WaterColour.w);
    out.WriteInt32(static_cast<int32_t>(data.Waters.size()));
    for (const auto& w : data.Waters) {
        out.WriteInt32(w.Unused);
        WriteWaterSection(out, w.Section);
    }
    out.WriteInt32(data.Reserved);
    WriteLandscapeSection(out, data.Landscape);
}

std::vector<uint8_t> WriteMapFile(const TMapFileData& data) {
    TMapWriter out;
    out.WriteInt32(data.FileVersion);
    out.WriteInt32(data.FileUnused);
    WriteMapSection(out, data);
    return std::move(out.Bytes);
}

bool SaveMapFile(const std::string& path, const TMapFileData& data) {
    const std::vector<uint8_t> bytes = WriteMapFile(data);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file.flush());
}

TMapFileData ReadMapSection(TMapStream& stream) {
    TMapFileData data;
    data.Version = stream.ReadInt32("the map version");
    if (data.Version != MapVersion)
        throw EMapVersionError("Версия карты устарела. Загрузка невозможна.");
    data.Trees = ReadEntityList(stream, "the tree records");
    data.Entities = ReadEntityList(stream, "the entity records");
    data.Entities2 = ReadEntityList(stream, "the second entity records");
    data.WaterColour.x = stream.ReadSingle("the water colour");
    data.WaterColour.y = stream.ReadSingle("the water colour");
    data.WaterColour.z = stream.ReadSingle("the water colour");
    data.WaterColour.w = stream.ReadSingle("the water colour");
    const int32_t waterCount = stream.ReadInt32("the water count");
    stream.RequireRecords(waterCount, WaterEntryMinSize, "the water surfaces");
    data.Waters.resize(size_t(waterCount));
    for (auto& w : data.Waters) {
        w.Unused = stream.ReadInt32("a water surface");
        w.Section = ReadWaterSection(stream);
    }
    data.Reserved = stream.ReadInt32("the reserved value");
    data.Landscape = ReadLandscapeSection(stream);
    return data;
}

TMapFileData ReadMapFile(TMapStream& stream) {
    const int32_t fileVersion = stream.ReadInt32("the file version");
    if (fileVersion != MapFileVersion)
        throw EMapVersionError("Версия файла \"" + stream.Name() + "\" устарела. Загрузка невозможна.");
    const int32_t unused = stream.ReadInt32("the file header");
    TMapFileData data = ReadMapSection(stream);
    data.FileVersion = fileVersion;
    data.FileUnused = unused;
    return data;
}

// ---------------------------------------------------------------------------------------------
// Troops on tiles

void TBaseTroopObj::LinkTo(TBaseTroopObj*& head) {
    Prev = nullptr;
    Next = head;
    if (head)
        head->Prev = this;
    head = this;
}

void TBaseTroopObj::Unlink(TBaseTroopObj*& head) {
    // Only the head has no predecessor; anything else without one is in no chain (or another's).
    if (Prev == nullptr && head != this)
        return;
    if (Prev)
        Prev->Next = Next;
    if (Next)
        Next->Prev = Prev;
    if (head == this)
        head = Next;
    Next = nullptr;
    Prev = nullptr;
}

// ---------------------------------------------------------------------------------------------
// TGameMap: loading

TGameMap::TGameMap() = default;

TGameMap::~TGameMap() { Destroy(); }

void TGameMap::Create(TMapStream& stream) {
    try {
        Load(stream);
    } catch (const EMapFileError& e) {
        FatalProgramMessage(e.what());
    } catch (const EMapResourceError& e) {
        FatalProgramMessage(e.what());
    }
}

void TGameMap::Load(TMapStream& stream) {
    Destroy();
    Log("CreateMap ...");
    const int32_t version = stream.ReadInt32("the map version");
    if (version != MapVersion)
        throw EMapVersionError("Версия карты устарела. Загрузка невозможна.");

    ReadEntityObjects(stream, "the tree records", Trees);
    ReadEntityObjects(stream, "the entity records", Entities);
    ReadEntityObjects(stream, "the second entity records", Entities2);

    TMyVector4f colour;
    colour.x = stream.ReadSingle("the water colour");
    colour.y = stream.ReadSingle("the water colour");
    colour.z = stream.ReadSingle("the water colour");
    colour.w = stream.ReadSingle("the water colour");
    const int32_t waterCount = stream.ReadInt32("the water count");
    stream.RequireRecords(waterCount, WaterEntryMinSize, "the water surfaces");
    for (int32_t i = 0; i < waterCount; ++i) {
        stream.ReadInt32("a water surface");
        auto water = std::make_unique<TWaterObject>();
        water->Create(stream, colour);
        Waters.push_back(std::move(water));
    }

    DrawQueue().LoadingProgress(0.25f);

    stream.ReadInt32("the reserved value");
    Landshaft = std::make_unique<TLandshaftObject>();
    Landshaft->Load(stream);
    MapCols = Landshaft->TileCols;
    MapRows = Landshaft->TileRows;

    PathFinder = std::make_unique<TPathFinder>(MapCols, PassGrid(0), MapRows);
    for (int32_t type = 1; type < UnitTypeCount; ++type)
        PathFinder->AddGrid(PassGrid(type));

    Occupancy.assign(size_t(MapCols) * size_t(MapRows), nullptr);
    CloudsTexture = LoadTexture(GameNames::CloudsTexture, true);
    if (CloudsTexture < 0)
        throw EMapResourceError("The texture \"Clouds\" that the water is drawn with is missing.");
    Rings.clear();
    RingTexture = LoadTexture(GameNames::CurvedRingTexture, true);
    Time = 0.0;

    DrawQueue().LoadingProgress(0.5f);
    Log("CreateMap - complete.");
}

void TGameMap::Destroy() {
    if (Registered) {
        DrawQueue().SetLandscape(nullptr);
        DrawQueue().SetWater(nullptr);
        Registered = false;
    }
    // Troops belong to their players; the chains only point at them.
    Occupancy.clear();
    Rings.clear();
    Waters.clear();
    Entities2.clear();
    Entities.clear();
    Trees.clear();
    PathFinder.reset();
    Landshaft.reset();
    MapCols = MapRows = 0;
    Frustum = nullptr;
    CloudsTexture = RingTexture = -1;
    Time = 0.0;
}

// ---------------------------------------------------------------------------------------------
// Queries

float TGameMap::GetHeight(float mx, float my) const {
    return Landshaft ? Landshaft->GetHeight(mx, my) : 0.0f;
}

float TGameMap::GetTileHeight(int32_t col, int32_t row) const {
    return Landshaft ? Landshaft->GetTileHeight(col, row) : 0.0f;
}

TTileType TGameMap::GetTileType(int32_t col, int32_t row) const {
    if (!Landshaft || !OnMap(col, row))
        return TTileType::OffMap;
    return Landshaft->Tile(col, row).TileType;
}

bool TilePassable(TTileType tileType, uint32_t tileFlags, int32_t unitType) {
    if (!IsValidUnitType(unitType))
        return false;
    if (tileFlags & (0x8u | 0x20000u | 0x40000u))
        return false;
    const TUnitFeatures& features = UnitFeatures[size_t(unitType)];
    switch (tileType) {
    case TTileType::Ground:
    case TTileType::Road:
    case TTileType::Grass:
    case TTileType::Sand:
    case TTileType::Clear:
        return true;
    case TTileType::Shallow:
        return features.BlockedByType3 != 1;
    case TTileType::Woods:
        return features.BlockedByType6 != 1;
    default:  // deep water, rock, cliff and anything unknown
        return false;
    }
}

bool TGameMap::IsPassable(int32_t col, int32_t row, int32_t unitType) const {
    if (!Landshaft || !OnMap(col, row))
        return false;
    const TTilePlace& tile = Landshaft->Tile(col, row);
    return TilePassable(tile.TileType, tile.TileFlags, unitType);
}

std::vector<uint8_t> TGameMap::PassGrid(int32_t unitType) const {
    std::vector<uint8_t> grid(size_t(MapCols) * size_t(MapRows));
    for (int32_t row = 0; row < MapRows; ++row)
        for (int32_t col = 0; col < MapCols; ++col)
            grid[size_t(row) * MapCols + col] = IsPassable(col, row, unitType) ? 0 : 255;
    return grid;
}

TWay TGameMap::FindPath(TWayPoint start, TWayPoint goal, int32_t unitType) {
    return PathFinder ? PathFinder->FindPath(start, goal, unitType) : TWay{};
}

bool TGameMap::RayPick(const TMyVector3f& origin, const TMyVector3f& segment, TMyVector3f& point,
                       TMyVector3f& normal) const {
    return Landshaft && Landshaft->RayPick(origin, segment, point, normal);
}

// ---------------------------------------------------------------------------------------------
// Per frame

void TGameMap::PrepareDraw(const TFrustum& frustum) {
    Frustum = &frustum;
    if (Landshaft)
        Landshaft->Frustum = &frustum;
    TDrawQueue& queue = DrawQueue();
    queue.SetLandscape(Landshaft.get());
    queue.SetWater(this);
    Registered = true;

    // The renderer cannot bind a missing texture, so rings without one are not drawn.
    if (RingTexture >= 0)
        for (const TWaterRing& ring : Rings)
            if (ring.Active)
                queue.QueueWaterRing(ring.x, ring.y, ring.z, ring.Age, RingTexture);

    for (auto& tree : Trees)
        if (frustum.ModelVisible(*tree->Model)) {
            tree->Sway(Time);
            queue.QueueModel(*tree->Model);
        }
    for (auto* list : {&Entities, &Entities2})
        for (auto& entity : *list)
            if (frustum.ModelVisible(*entity->Model))
                queue.QueueModel(*entity->Model);
}

void TGameMap::Update(double time) {
    const float dt = float(time - Time);
    for (TWaterRing& ring : Rings) {
        if (!ring.Active)
            continue;
        ring.Age += dt;
        if (ring.Age > RingEndAge)
            ring.Active = false;
    }
    Time = time;
}

void TGameMap::AddRing(const TMyVector3f& position) {
    TWaterRing* ring = nullptr;
    for (TWaterRing& r : Rings)
        if (!r.Active) {
            ring = &r;
            break;
        }
    if (!ring)
        ring = &Rings.emplace_back();
    ring->x = position.y;
    ring->y = position.z;
    ring->z = position.x;
    ring->Age = RingStartAge;
    ring->Active = true;
    for (const auto& water : Waters)
        if (water->BoxMin.x <= ring->x && ring->x <= water->BoxMax.x && water->BoxMin.z <= ring->z &&
            ring->z <= water->BoxMax.z) {
            ring->y = water->BoxMax.y + 0.01f;
            break;
        }
}
