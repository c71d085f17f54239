#pragma once
// Static scenery of a map: an entity places one model (a rock, a house, a fence) at a fixed
// position and heading; a tree is an entity that sways gently with the map clock.
//
// Positions are map coordinates (mx, my, h); the model stands at world (my, h, mx).

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "world/LandshaftObject.h"
#include "world/MapPoint.h"
#include "world/e_Math.h"

class TGameModel;

// One entity record of the map file: model name, map position and yaw in radians.
struct TEntityRecord {
    std::string Name;  // at most 255 bytes
    TMyVector3f Position;
    float Yaw = 0.0f;
};

// Smallest size of an entity record in the file (an empty name).
inline constexpr size_t EntityRecordMinSize = 1 + 12 + 4;

TEntityRecord ReadEntityRecord(TMapStream& stream);
// Throws std::invalid_argument for a name longer than 255 bytes, which the file cannot hold.
void WriteEntityRecord(TMapWriter& out, const TEntityRecord& record);

// Sets a model's placement and moves its world box and corners along, so that frustum tests
// see the model where it stands.
void PlaceModel(TGameModel& model, const TMatrix4f& matrix);

class TGameEntity {
public:
    // Loads the model (throws TModelLoadError when it cannot be loaded) and stands it at the
    // position, turned by yaw: translation to the world position x MatRotationY(-yaw).
    TGameEntity(const std::string& name, float yaw, const TMyVector3f& position);
    virtual ~TGameEntity();
    TGameEntity(const TGameEntity&) = delete;
    TGameEntity& operator=(const TGameEntity&) = delete;

    std::unique_ptr<TGameModel> Model;
    TMyVector3f Position;  // (mx, my, h)
    float Yaw = 0.0f;
};

class TGameTree : public TGameEntity {
public:
    // As the entity; then draws its own phase from the game's random generator.
    TGameTree(const std::string& name, float yaw, const TMyVector3f& position);

    // Leans the tree for the map clock: at most one degree either way about x.
    void Sway(double time);
    // The lean in radians at a time for a phase: cos(0.75 time + phase) degrees.
    static float SwayAngle(double time, float phase);

    float SwayPhase = 0.0f;  // 2 pi (random[0, 1) - 0.5)
};
