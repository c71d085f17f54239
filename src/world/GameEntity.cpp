#include "world/GameEntity.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "app/e_Platform.h"
#include "resources/e_ModelObject.h"

TEntityRecord ReadEntityRecord(TMapStream& stream) {
    TEntityRecord r;
    const uint8_t length = stream.ReadByte("an entity name length");
    r.Name = stream.ReadString(length, "an entity name");
    r.Position.x = stream.ReadSingle("an entity position");
    r.Position.y = stream.ReadSingle("an entity position");
    r.Position.z = stream.ReadSingle("an entity position");
    r.Yaw = stream.ReadSingle("an entity yaw");
    return r;
}

void WriteEntityRecord(TMapWriter& out, const TEntityRecord& r) {
    if (r.Name.size() > 255)
        throw std::invalid_argument("entity name \"" + r.Name + "\" is longer than 255 bytes");
    out.WriteByte(static_cast<uint8_t>(r.Name.size()));
    out.WriteBytes(r.Name.data(), r.Name.size());
    out.WriteSingle(r.Position.x);
    out.WriteSingle(r.Position.y);
    out.WriteSingle(r.Position.z);
    out.WriteSingle(r.Yaw);
}

void PlaceModel(TGameModel& model, const TMatrix4f& m) {
    model.ModelMatrix = m;
    for (int i = 0; i < 8; ++i)
        model.WorldCorners[i] = MatTransformPoint(m, model.LocalCorners[i]);
    model.WorldBox = model.LocalBox;
    model.WorldBox.Center = MatTransformPoint(m, model.LocalBox.Center);
    for (int a = 0; a < 3; ++a) {
        const TMyVector3f& v = model.LocalBox.Axis[a];
        model.WorldBox.Axis[a] = {m[0] * v.x + m[4] * v.y + m[8] * v.z, m[1] * v.x + m[5] * v.y + m[9] * v.z,
                                  m[2] * v.x + m[6] * v.y + m[10] * v.z};
    }
}

TGameEntity::TGameEntity(const std::string& name, float yaw, const TMyVector3f& position)
    : Model(std::make_unique<TGameModel>(name)), Position(position), Yaw(yaw) {
    const TMyVector3f w = MapToWorld(Position);
    PlaceModel(*Model, MatMultiply(MatTranslation(w.x, w.y, w.z), MatRotationY(-Yaw)));
}

TGameEntity::~TGameEntity() = default;

TGameTree::TGameTree(const std::string& name, float yaw, const TMyVector3f& position)
    : TGameEntity(name, yaw, position) {
    SwayPhase = float(2.0 * std::numbers::pi * (RandomFloat() - 0.5));
}

float TGameTree::SwayAngle(double time, float phase) {
    return float(std::cos(0.75 * time + double(phase)) * std::numbers::pi / 180.0);
}

void TGameTree::Sway(double time) {
    const TMyVector3f w = MapToWorld(Position);
    const TMatrix4f lean = MatMultiply(MatRotationX(SwayAngle(time, SwayPhase)), MatRotationY(-Yaw));
    PlaceModel(*Model, MatMultiply(MatTranslation(w.x, w.y, w.z), lean));
}
