// Arrows: flight along an arc from the shooter to the (moving) target.

#include <algorithm>
#include <cassert>
#include <cmath>
#include <exception>
#include <numbers>

#include "app/e_Log.h"
#include "resources/e_ModelObject.h"
#include "units/GameUnits.h"
#include "world/GameEntity.h"

namespace {

TMyVector3f Raised(const TMyVector3f& p) { return {p.x, p.y, p.z + MissileAimHeight}; }

// Arrows are freed newest first (the list runs from the newest), and the newest
// stands at the end of a unit's list, so the search starts there.
bool EraseMissile(std::vector<PMissile>& list, const TMissile* m) {
    for (size_t i = list.size(); i-- > 0;)
        if (list[i] == m) {
            list[i] = list.back();
            list.pop_back();
            return true;
        }
    return false;
}

std::unique_ptr<TGameModel> LoadArrowModel() {
    static bool reported = false;  // game thread only
    try {
        return std::make_unique<TGameModel>(MissileModelName);
    } catch (const std::exception& e) {
        if (!reported) {
            reported = true;
            try {
                Log(std::string("Model \"") + MissileModelName + "\" cannot be loaded (" + e.what() +
                    "); arrows will not be drawn.");
            } catch (...) {
            }
        }
        return nullptr;
    }
}

}  // namespace

TMissile::TMissile(TGameUnit* shooter, TGameUnit* target, float damage)
    : Shooter(shooter), Target(target), Damage(damage) {
    if (shooter) {
        Start = Raised(shooter->Position);
        PrevPos = shooter->Position;
    }
    Pos = Start;
    TargetPos = target ? Raised(target->Position) : Start;
    Model = LoadArrowModel();
    if (Model) {
        const TMyVector3f w = MapToWorld(Pos);
        ::PlaceModel(*Model,
                     MatMultiply(MatTranslation(w.x, w.y, w.z), MatRotationZ(float(std::numbers::pi / 2.0))));
    }
}

TMissile::~TMissile() {
    if (Shooter) {
        const bool listed = EraseMissile(Shooter->Missiles, this);
        assert(listed && "a missile missing from its shooter's list");
        (void)listed;
    }
    if (Target) {
        const bool listed = EraseMissile(Target->Missiles, this);
        assert(listed && "a missile missing from its target's list");
        (void)listed;
    }
}

void TMissile::Forget(const TGameUnit* unit) {
    assert((unit == Shooter || unit == Target) &&
           "a missile that names the unit neither as shooter nor target");
    if (Shooter == unit)
        Shooter = nullptr;
    if (Target == unit)
        Target = nullptr;
}

float TMissile::ArcHeight(const TMyVector3f& start, const TMyVector3f& targetPos, float t) {
    // A quadratic Bezier whose control point lies above the middle of the flight,
    // lifted by three quarters of its length perpendicular to it.
    const TMyVector3f d = targetPos - start;
    const float length = Vec3Length(d);
    TMyVector3f u{};
    if (length > 0.0f) {
        TMyVector3f f = d * (1.0f / length);
        const TMyVector3f up{0.0f, 0.0f, 1.0f};
        u = Vec3Cross(Vec3Cross(f, up), f);
    }
    const TMyVector3f c = start + d * 0.5f + u * (0.75f * length);
    const float s = 1.0f - t;
    return s * s * start.z + 2.0f * t * s * c.z + t * t * targetPos.z;
}

void TMissile::PlaceModel() {
    if (!Model)
        return;
    const TMyVector3f d = Pos - PrevPos;
    const float horizontal = std::sqrt(d.x * d.x + d.y * d.y);
    const TMyVector3f w = MapToWorld(Pos);
    const TMatrix4f m =
        MatMultiply(MatTranslation(w.x, w.y, w.z),
                    MatMultiply(MatRotationY(-ArcTan2(d.x, d.y)), MatRotationZ(ArcTan2(d.z, horizontal))));
    ::PlaceModel(*Model, m);
}

bool TMissile::Step(float dt) {
    if (!(Vec3Length(TargetPos - Pos) >= MissileHitDistance))
        return true;
    if (Target)
        TargetPos = Raised(Target->Position);
    const float step = MissileSpeed * dt;
    if (!(step > 0.0f))
        return false;  // no time passed: the arrow keeps its place and its heading
    const float rx = TargetPos.x - Pos.x, ry = TargetPos.y - Pos.y;
    const float r = std::sqrt(rx * rx + ry * ry);
    if (step < r) {
        PrevPos = Pos;
        Pos.x += rx / r * step;
        Pos.y += ry / r * step;
        const float dx = TargetPos.x - Start.x, dy = TargetPos.y - Start.y;
        const float flight = std::sqrt(dx * dx + dy * dy);
        // The share of the flight behind the arrow. An arrow (12 units a second)
        // closes on any unit faster than the unit can get away from the shooter, so
        // it is never farther from the target than the shooter is: t stays in
        // [0, 1]. Kept there all the same, so that no frame hitch can throw the
        // arrow off its arc.
        float t = flight > 0.0f ? 1.0f - (r - step) / flight : 1.0f;
        assert(t >= -1e-3f && t <= 1.0f + 1e-3f && "an arrow outside its flight");
        t = std::clamp(t, 0.0f, 1.0f);
        Pos.z = ArcHeight(Start, TargetPos, t);
    } else {
        Pos = TargetPos;
    }
    PlaceModel();
    return false;
}
