// The soldiers: skinned ".PAM" figures for the bowman ("Kestrin"), the warrior ("SirGuy")
// and the cavalryman on his horse ("Sheriff"), written to Data/Animates with their clips
// Name_Idle.PSA, Name_Walk.PSA, Name_Run.PSA, Name_Attack.PSA, Name_Death.PSA and, for the
// bowman, Name_Attack2.PSA (shooting).
//
// Figures face +x. A bone's frame maps its bind-pose vertices to their posed place, so the
// clips are made by forward kinematics over joint rotations (mesh_builder.h).
//
// Timing. Looping clips run at 25 frames per second. The stride of the walk and run cycles
// is matched to the unit speeds, so that the feet do not slide: a leg sweeps its stance
// through 2 L sin(amplitude) while the body moves at the unit's speed for the stance part
// of the cycle. The bowman's shooting clip lasts exactly his reload time (1 s) and looses
// the arrow at three quarters of the cycle, which is where the unit fires. The death clip
// lasts one second: the body then fades for the second that a dead unit is still shown.

#include "gen_common.h"
#include "gen_models.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <numbers>

namespace gen {

namespace {

constexpr float Pi = std::numbers::pi_v<float>;
constexpr float Deg = Pi / 180.0f;
constexpr int32_t ClipRate = 25;
constexpr float FigureScale = 0.92f;  // the body is laid out 1.75 tall; the soldiers stand 1.6

// The round parts get half the facets named where they are made. A soldier is seen 30 to 60
// pixels tall, where that looks the same; every triangle costs a software rasteriser a block
// of shading however small it is, and the triangles are what a figure costs.
int32_t Facets(int32_t around) { return std::max(4, (around + 1) / 2); }
// Rings of a ball, kept even so that its widest ring stays.
int32_t Rings(int32_t rings) { return std::max(2, (rings / 2 + 1) / 2 * 2); }

float Smooth(float x) {
    x = std::clamp(x, 0.0f, 1.0f);
    return x * x * (3.0f - 2.0f * x);
}
float Wave(float phase) { return std::sin(2 * Pi * phase); }
float Frac(float x) { return x - std::floor(x); }
// From a to b over the part [p0, p1] of the phase, eased.
float Ramp(float phase, float p0, float p1, float a, float b) {
    return a + (b - a) * Smooth((phase - p0) / (p1 - p0));
}

// ---------------------------------------------------------------------------------------------
// Skeletons

struct THuman {
    int32_t Pelvis, Chest, Head;
    int32_t LUpper, LFore, LHand, RUpper, RFore, RHand;
    int32_t LThigh, LShin, LFoot, RThigh, RShin, RFoot;
};

// Joint places of the standing body before scaling; +z is the right-hand side.
const TMyVector3f PelvisAt{0, 0.95f, 0}, ChestAt{0, 1.05f, 0}, HeadAt{0, 1.47f, 0};
const TMyVector3f ShoulderAt{0, 1.39f, 0.2f}, ElbowAt{0, 1.11f, 0.22f}, WristAt{0, 0.86f, 0.23f};
const TMyVector3f HipAt{0, 0.92f, 0.1f}, KneeAt{0, 0.5f, 0.1f}, AnkleAt{0, 0.09f, 0.1f};

TMyVector3f Side(const TMyVector3f& p, float side) { return {p.x, p.y, p.z * side}; }

THuman AddHumanSkeleton(TSkeleton& sk, int32_t parent, const TMyVector3f& o, const std::string& prefix) {
    THuman h{};
    h.Pelvis = sk.Add(prefix + "Pelvis", parent, PelvisAt + o);
    h.Chest = sk.Add(prefix + "Chest", h.Pelvis, ChestAt + o);
    h.Head = sk.Add(prefix + "Head", h.Chest, HeadAt + o);
    h.LUpper = sk.Add(prefix + "LUpperArm", h.Chest, Side(ShoulderAt, -1) + o);
    h.LFore = sk.Add(prefix + "LForeArm", h.LUpper, Side(ElbowAt, -1) + o);
    h.LHand = sk.Add(prefix + "LHand", h.LFore, Side(WristAt, -1) + o);
    h.RUpper = sk.Add(prefix + "RUpperArm", h.Chest, ShoulderAt + o);
    h.RFore = sk.Add(prefix + "RForeArm", h.RUpper, ElbowAt + o);
    h.RHand = sk.Add(prefix + "RHand", h.RFore, WristAt + o);
    h.LThigh = sk.Add(prefix + "LThigh", h.Pelvis, Side(HipAt, -1) + o);
    h.LShin = sk.Add(prefix + "LShin", h.LThigh, Side(KneeAt, -1) + o);
    h.LFoot = sk.Add(prefix + "LFoot", h.LShin, Side(AnkleAt, -1) + o);
    h.RThigh = sk.Add(prefix + "RThigh", h.Pelvis, HipAt + o);
    h.RShin = sk.Add(prefix + "RShin", h.RThigh, KneeAt + o);
    h.RFoot = sk.Add(prefix + "RFoot", h.RShin, AnkleAt + o);
    return h;
}

struct THorse {
    int32_t Body, Neck, Head, Tail;
    int32_t Upper[4], Lower[4];  // front left, front right, hind left, hind right
};

const TMyVector3f HorseLegTop[4] = {
    {0.55f, 1.08f, -0.17f}, {0.55f, 1.08f, 0.17f}, {-0.58f, 1.1f, -0.17f}, {-0.58f, 1.1f, 0.17f}};
const TMyVector3f HorseLegJoint[4] = {
    {0.55f, 0.6f, -0.17f}, {0.55f, 0.6f, 0.17f}, {-0.64f, 0.58f, -0.17f}, {-0.64f, 0.58f, 0.17f}};
const TMyVector3f HorseNeckAt{0.62f, 1.36f, 0}, HorseHeadAt{1.0f, 1.9f, 0}, HorseTailAt{-0.78f, 1.4f, 0};

THorse AddHorseSkeleton(TSkeleton& sk) {
    THorse h{};
    h.Body = sk.Add("Body", -1, {0, 1.2f, 0});
    h.Neck = sk.Add("Neck", h.Body, HorseNeckAt);
    h.Head = sk.Add("HorseHead", h.Neck, HorseHeadAt);
    h.Tail = sk.Add("Tail", h.Body, HorseTailAt);
    const char* names[4] = {"FrontL", "FrontR", "HindL", "HindR"};
    for (int32_t i = 0; i < 4; ++i) {
        h.Upper[i] = sk.Add(std::string(names[i]) + "Upper", h.Body, HorseLegTop[i]);
        h.Lower[i] = sk.Add(std::string(names[i]) + "Lower", h.Upper[i], HorseLegJoint[i]);
    }
    return h;
}

// ---------------------------------------------------------------------------------------------
// Bodies

enum class THeadgear {
    Hood,
    Helmet,
    Hat
};

struct TFigureStyle {
    int32_t TorsoCell = CellCloth;
    int32_t SkirtCell = CellTabard;
    int32_t SleeveCell = CellCloth;
    int32_t LegCell = CellTrousers;
    THeadgear Headgear = THeadgear::Hood;
    bool Bow = false, Sword = false, Shield = false, Quiver = false, Cape = false;
};

// A limb piece from joint a to joint b.
void AddLimb(TMeshPart& part, const TMyVector3f& a, const TMyVector3f& b, float r0, float r1, int32_t cell,
             int32_t bone) {
    part.Add(MakeCylinder(r0, r1, Vec3Length(b - a), Facets(8), SkinCell(cell)), AlongSegment(a, b), bone);
}

void AddBall(TMeshPart& part, const TMyVector3f& at, const TMyVector3f& radii, int32_t cell, int32_t bone,
             const TMyVector3f& angles = {}) {
    part.Add(MakeEllipsoid(radii.x, radii.y, radii.z, Facets(10), Rings(6), SkinCell(cell)),
             Place(at, angles), bone);
}

// A straight sword along +x from the hand at `grip`.
void AddSword(TMeshPart& part, const TMyVector3f& grip, int32_t bone) {
    part.Add(MakeCylinder(0.02f, 0.02f, 0.16f, Facets(6), SkinCell(CellLeather)),
             Place(grip + TMyVector3f{-0.06f, 0, 0}, {0, 0, -90 * Deg}), bone);
    part.Add(MakeBox(0.03f, 0.03f, 0.2f, SkinCell(CellSteel)), Place(grip + TMyVector3f{0.1f, 0, 0}), bone);
    const std::vector<TMyVector2f> blade = {
        {0, -0.025f}, {0.68f, -0.02f}, {0.76f, 0}, {0.68f, 0.02f}, {0, 0.025f}};
    TMeshPart b = MakeExtrusion(blade, 0.012f, SkinCell(CellSteel), SkinCell(CellSteel));
    // the blade's flat faces sideways, its edges up and down
    part.Add(b, Place(grip + TMyVector3f{0.11f, 0, 0}), bone);
    part.Add(MakeEllipsoid(0.025f, 0.025f, 0.025f, Facets(6), Rings(4), SkinCell(CellSteel)),
             Place(grip + TMyVector3f{-0.08f, 0, 0}), bone);
}

void AddHumanBody(TMeshPart& part, const THuman& b, const TMyVector3f& o, const TFigureStyle& st) {
    // pelvis and the skirt of the tunic
    AddBall(part, PelvisAt + o, {0.13f, 0.1f, 0.19f}, st.LegCell, b.Pelvis);
    part.Add(MakeLathe({{0.215f, 0.6f}, {0.2f, 0.78f}, {0.175f, 0.98f}}, Facets(10), SkinCell(st.SkirtCell)),
             Place(o, {0, Pi, 0}, {0.75f, 1, 1}), b.Pelvis);
    // torso, front of the texture cell to the front
    part.Add(MakeLathe({{0.16f, 0.92f}, {0.175f, 1.05f}, {0.2f, 1.25f}, {0.205f, 1.36f}, {0.12f, 1.46f}},
                       Facets(10), SkinCell(st.TorsoCell), false, true),
             Place(o, {0, Pi, 0}, {0.66f, 1, 1}), b.Chest);
    // neck and head, the face looking along +x
    part.Add(MakeCylinder(0.05f, 0.045f, 0.12f, Facets(8), SkinCell(CellSkin)),
             Place(o + TMyVector3f{0, 1.42f, 0}), b.Head);
    AddBall(part, o + TMyVector3f{0.01f, 1.6f, 0}, {0.1f, 0.125f, 0.095f}, CellFace, b.Head, {0, Pi, 0});
    switch (st.Headgear) {
    case THeadgear::Hood:
        // a pointed hood pushed back off the face, and a short shoulder cape
        part.Add(
            MakeLathe({{0.122f, 1.54f}, {0.124f, 1.64f}, {0.095f, 1.73f}, {0.0f, 1.83f}}, Facets(10),
                      SkinCell(CellCape)),
            MatMultiply(Place(o + TMyVector3f{-0.01f, 1.6f, 0}, {0, 0, 0.75f}), MatTranslation(0, -1.6f, 0)),
            b.Head);
        part.Add(MakeLathe({{0.24f, 1.27f}, {0.2f, 1.38f}, {0.12f, 1.46f}, {0.07f, 1.5f}}, Facets(12),
                           SkinCell(CellCape)),
                 Place(o, {0, 0, 0}, {0.78f, 1, 1}), b.Chest);
        break;
    case THeadgear::Helmet:
        part.Add(MakeLathe({{0.125f, 1.58f}, {0.12f, 1.66f}, {0.085f, 1.74f}, {0.0f, 1.77f}}, Facets(12),
                           SkinCell(CellSteel), true, false),
                 Place(o), b.Head);
        part.Add(MakeBox(0.02f, 0.12f, 0.03f, SkinCell(CellSteel)), Place(o + TMyVector3f{0.12f, 1.58f, 0}),
                 b.Head);
        part.Add(MakeCylinder(0.135f, 0.135f, 0.025f, Facets(12), SkinCell(CellIron)),
                 Place(o + TMyVector3f{0, 1.6f, 0}), b.Head);
        break;
    case THeadgear::Hat:
        part.Add(MakeCylinder(0.2f, 0.2f, 0.015f, Facets(14), SkinCell(CellLeather)),
                 Place(o + TMyVector3f{0, 1.66f, 0}), b.Head);
        part.Add(MakeLathe({{0.11f, 1.66f}, {0.1f, 1.78f}, {0.0f, 1.8f}}, Facets(12), SkinCell(CellLeather),
                           true, false),
                 Place(o), b.Head);
        part.Add(MakeCylinder(0.112f, 0.112f, 0.03f, Facets(12), SkinCell(CellCape)),
                 Place(o + TMyVector3f{0, 1.675f, 0}), b.Head);
        break;
    }
    // arms
    for (float side : {-1.0f, 1.0f}) {
        const bool left = side < 0;
        const int32_t upper = left ? b.LUpper : b.RUpper, fore = left ? b.LFore : b.RFore,
                      hand = left ? b.LHand : b.RHand;
        const TMyVector3f sh = Side(ShoulderAt, side) + o, el = Side(ElbowAt, side) + o,
                          wr = Side(WristAt, side) + o;
        AddBall(part, sh, {0.07f, 0.07f, 0.07f}, st.SleeveCell, upper);
        AddLimb(part, sh, el, 0.055f, 0.047f, st.SleeveCell, upper);
        AddBall(part, el, {0.048f, 0.048f, 0.048f}, st.SleeveCell, fore);
        AddLimb(part, el, wr, 0.045f, 0.038f, CellLeather, fore);
        AddBall(part, wr + TMyVector3f{0.01f, -0.06f, 0}, {0.04f, 0.06f, 0.035f}, CellSkin, hand);
    }
    // legs and boots
    for (float side : {-1.0f, 1.0f}) {
        const bool left = side < 0;
        const int32_t thigh = left ? b.LThigh : b.RThigh, shin = left ? b.LShin : b.RShin,
                      foot = left ? b.LFoot : b.RFoot;
        const TMyVector3f hip = Side(HipAt, side) + o, knee = Side(KneeAt, side) + o,
                          ankle = Side(AnkleAt, side) + o;
        AddLimb(part, hip, knee, 0.08f, 0.062f, st.LegCell, thigh);
        AddBall(part, knee, {0.06f, 0.06f, 0.06f}, st.LegCell, shin);
        AddLimb(part, knee + TMyVector3f{0, -0.02f, 0}, ankle, 0.062f, 0.05f, CellLeather, shin);
        part.Add(MakeBox(0.22f, 0.09f, 0.1f, SkinCell(CellLeather)),
                 Place(ankle + TMyVector3f{0.05f, -0.045f, 0}), foot);
    }
    // gear
    const TMyVector3f lHand = Side(WristAt, -1) + o + TMyVector3f{0.01f, -0.07f, 0};
    const TMyVector3f rHand = WristAt + o + TMyVector3f{0.01f, -0.07f, 0};
    if (st.Bow) {
        // a bow held upright in the left hand, its belly towards +x
        const int32_t n = 10;
        std::vector<TMyVector3f> pts;
        for (int32_t i = 0; i <= n; ++i) {
            const float y = -0.62f + 1.24f * static_cast<float>(i) / n;
            const float t = y / 0.62f;
            pts.push_back(lHand + TMyVector3f{0.13f * (1 - t * t) - 0.02f * t * t * t * t, y, 0});
        }
        for (int32_t i = 0; i < n; ++i) {
            const float r = i == n / 2 || i == n / 2 - 1 ? 0.026f : 0.017f;
            AddLimb(part, pts[i], pts[i + 1], r, r, CellWood, b.LHand);
        }
        AddLimb(part, pts.front(), pts.back(), 0.004f, 0.004f, CellFeather, b.LHand);
    }
    if (st.Quiver) {
        const TMyVector3f bottom = o + TMyVector3f{-0.2f, 0.95f, 0.08f},
                          top = o + TMyVector3f{-0.27f, 1.5f, -0.05f};
        AddLimb(part, bottom, top, 0.06f, 0.065f, CellLeather, b.Chest);
        for (int32_t k = 0; k < 3; ++k) {
            const TMyVector3f at =
                top + TMyVector3f{0.01f * static_cast<float>(k), 0.03f, 0.03f * static_cast<float>(k - 1)};
            AddLimb(part, at, at + TMyVector3f{-0.03f, 0.14f, 0}, 0.022f, 0.004f, CellFeather, b.Chest);
        }
    }
    if (st.Sword)
        AddSword(part, rHand, b.RHand);
    if (st.Shield) {
        // a round shield on the outside of the left forearm, its face to the left
        part.Add(MakeLathe({{0.3f, -0.02f}, {0.3f, 0.01f}, {0.22f, 0.035f}, {0.0f, 0.045f}}, Facets(16),
                           SkinCell(CellShield), true, false),
                 Place(Side(ElbowAt, -1) + o + TMyVector3f{0.03f, -0.12f, -0.09f}, {-90 * Deg, 0, 0}),
                 b.LFore);
    }
    if (st.Cape) {
        // a short cape hanging from the shoulders down the back
        TMeshPart cape;
        const int32_t nx = 6, ny = 4;
        const TUVRect uv = SkinCell(CellCape);
        for (int32_t j = 0; j <= ny; ++j)
            for (int32_t i = 0; i <= nx; ++i) {
                const float s = static_cast<float>(i) / nx, t = static_cast<float>(j) / ny;
                const float z = (s - 0.5f) * (0.36f + 0.16f * (1 - t));
                const float x = -0.16f - 0.06f * (1 - t) - 0.03f * std::cos((s - 0.5f) * Pi);
                cape.AddVertex(o + TMyVector3f{x, 0.85f + 0.58f * t, z}, {-1, 0, 0}, uv.U(s), uv.V(t));
            }
        for (int32_t j = 0; j < ny; ++j)
            for (int32_t i = 0; i < nx; ++i) {
                const int32_t a = j * (nx + 1) + i;
                cape.AddQuad(a, a + nx + 1, a + nx + 2, a + 1);
            }
        cape.ComputeNormals(60);
        part.Add(cape, IdentityMatrix, b.Chest);
    }
}

void AddHorseBody(TMeshPart& part, const THorse& h) {
    const int32_t hide = CellHide;
    AddBall(part, {0, 1.22f, 0}, {0.74f, 0.33f, 0.28f}, hide, h.Body);
    AddBall(part, {0.46f, 1.2f, 0}, {0.3f, 0.33f, 0.27f}, hide, h.Body);
    AddBall(part, {-0.48f, 1.24f, 0}, {0.32f, 0.32f, 0.28f}, hide, h.Body);
    // neck, mane, head, ears
    AddLimb(part, HorseNeckAt + TMyVector3f{-0.05f, -0.05f, 0}, HorseHeadAt, 0.2f, 0.12f, hide, h.Neck);
    {
        const TMyVector3f a = HorseNeckAt + TMyVector3f{-0.12f, 0.12f, 0},
                          b = HorseHeadAt + TMyVector3f{-0.1f, 0.1f, 0};
        const float len = Vec3Length(b - a);
        part.Add(MakeBox(0.08f, len, 0.05f, SkinCell(CellMane)),
                 MatMultiply(AlongSegment(a, b), MatTranslation(0, len / 2, 0)), h.Neck);
    }
    const TMyVector3f muzzle{1.33f, 1.58f, 0};
    AddLimb(part, HorseHeadAt + TMyVector3f{-0.02f, 0.02f, 0}, muzzle, 0.11f, 0.075f, hide, h.Head);
    AddBall(part, muzzle, {0.08f, 0.07f, 0.075f}, hide, h.Head);
    for (float z : {-0.06f, 0.06f})
        AddLimb(part, HorseHeadAt + TMyVector3f{0.0f, 0.06f, z},
                HorseHeadAt + TMyVector3f{-0.03f, 0.2f, z * 1.4f}, 0.03f, 0.004f, hide, h.Head);
    // tail
    AddLimb(part, HorseTailAt, HorseTailAt + TMyVector3f{-0.2f, -0.65f, 0}, 0.07f, 0.03f, CellMane, h.Tail);
    // legs with dark hooves
    for (int32_t i = 0; i < 4; ++i) {
        const TMyVector3f top = HorseLegTop[i], joint = HorseLegJoint[i];
        const TMyVector3f fetlock{joint.x + (i < 2 ? 0.0f : 0.04f), 0.14f, joint.z};
        AddLimb(part, top + TMyVector3f{0, 0.08f, 0}, joint, i < 2 ? 0.1f : 0.12f, 0.06f, hide, h.Upper[i]);
        AddBall(part, joint, {0.055f, 0.06f, 0.055f}, hide, h.Lower[i]);
        AddLimb(part, joint, fetlock, 0.045f, 0.04f, hide, h.Lower[i]);
        part.Add(MakeCylinder(0.06f, 0.055f, 0.13f, Facets(8), SkinCell(CellIron)),
                 Place(fetlock + TMyVector3f{0.01f, -0.14f, 0}), h.Lower[i]);
    }
    // blanket and saddle
    part.Add(MakeLathe({{0.36f, -0.26f}, {0.3f, 0.0f}, {0.0f, 0.02f}}, Facets(14), SkinCell(CellBlanket)),
             Place({-0.05f, 1.56f, 0}, {0, 0, 0}, {1.0f, 1, 0.95f}), h.Body);
    part.Add(MakeBox(0.42f, 0.08f, 0.3f, SkinCell(CellLeather)), Place({-0.05f, 1.6f, 0}), h.Body);
    part.Add(MakeBox(0.06f, 0.12f, 0.2f, SkinCell(CellLeather)), Place({0.17f, 1.65f, 0}), h.Body);
}

// ---------------------------------------------------------------------------------------------
// Poses of the body

// The thigh's swing over a stride: stance from +amp to -amp for the part `stance` of the
// cycle, then a smooth swing forward again. Knee bend peaks in the middle of the swing.
struct TLegSwing {
    float Thigh, Knee, Lift;
};

TLegSwing LegSwing(float phase, float stance, float amp, float kneeSwing, float kneeStance) {
    phase = Frac(phase);
    TLegSwing s{};
    if (phase < stance) {
        const float x = phase / stance;
        s.Thigh = amp * (1 - 2 * x);
        s.Knee = -kneeStance * std::sin(Pi * x);
        s.Lift = 0;
    } else {
        const float x = (phase - stance) / (1 - stance);
        s.Thigh = -amp + 2 * amp * (0.5f - 0.5f * std::cos(Pi * x));
        s.Knee = -kneeSwing * std::sin(Pi * std::min(1.0f, x * 1.15f));
        s.Lift = std::sin(Pi * x);
    }
    return s;
}

void PoseLeg(TPoseSpec& p, int32_t thigh, int32_t shin, int32_t foot, const TLegSwing& s) {
    p.Turn(thigh, 0, 0, s.Thigh);
    p.Turn(shin, 0, 0, s.Knee);
    p.Turn(foot, 0, 0, -0.6f * (s.Thigh + s.Knee) * (1 - s.Lift) + 0.3f * s.Lift);
}

enum class TArms {
    Free,
    Bow,
    SwordShield,
    Rider
};

// How each kind of soldier carries his arms when not fighting.
void CarryArms(TPoseSpec& p, const THuman& b, TArms arms, float swing) {
    switch (arms) {
    case TArms::Free:
        p.Turn(b.LUpper, 0.08f, 0, -swing);
        p.Turn(b.RUpper, -0.08f, 0, swing);
        p.Turn(b.LFore, 0, 0, 0.25f + 0.2f * std::max(-swing, 0.0f));
        p.Turn(b.RFore, 0, 0, 0.25f + 0.2f * std::max(swing, 0.0f));
        break;
    case TArms::Bow:
        p.Turn(b.LUpper, 0.12f, 0, 0.15f - 0.4f * swing);
        p.Turn(b.LFore, 0, 0, 0.35f);
        p.Turn(b.LHand, 0, 0, -0.45f + 0.4f * swing);
        p.Turn(b.RUpper, -0.08f, 0, swing);
        p.Turn(b.RFore, 0, 0, 0.3f + 0.2f * std::max(swing, 0.0f));
        break;
    case TArms::SwordShield:
        // shield held before the body, sword low and ready
        p.Turn(b.LUpper, 0.15f, 0, 0.45f - 0.2f * swing);
        p.Turn(b.LFore, 0, -0.5f, 1.2f);
        p.Turn(b.RUpper, -0.12f, 0, 0.3f + 0.5f * swing);
        p.Turn(b.RFore, 0, 0, 0.6f);
        p.Turn(b.RHand, 0, 0, -0.2f);
        break;
    case TArms::Rider:
        // left hand on the reins, sword arm resting
        p.Turn(b.LUpper, 0.1f, 0, 0.35f + 0.1f * swing);
        p.Turn(b.LFore, 0, 0, 1.0f);
        p.Turn(b.RUpper, -0.15f, 0, 0.35f + 0.15f * swing);
        p.Turn(b.RFore, 0, 0, 0.9f);
        p.Turn(b.RHand, 0, 0, -0.5f);
        break;
    }
}

struct TGait {
    float Stance, Amp, KneeSwing, KneeStance, Lean, Bob, ArmSwing;
};
const TGait WalkGait{0.6f, 0.48f, 1.05f, 0.15f, 0.03f, 0.022f, 0.38f};
const TGait RunGait{0.36f, 0.5f, 1.7f, 0.4f, 0.2f, 0.05f, 0.75f};

// Seconds per cycle for a speed (map units per second): the body passes over the stance
// foot once per stance, a sweep of 2 L sin(amp) with L the leg length.
float CyclePeriod(const TGait& g, float speed, float legLength) {
    const float sweep = 2 * legLength * std::sin(g.Amp);
    return sweep / (g.Stance * speed);
}

TPoseSpec HumanGait(const TSkeleton& sk, const THuman& b, const TGait& g, TArms arms, float phase) {
    TPoseSpec p(sk.Count());
    const TLegSwing l = LegSwing(phase, g.Stance, g.Amp, g.KneeSwing, g.KneeStance);
    const TLegSwing r = LegSwing(phase + 0.5f, g.Stance, g.Amp, g.KneeSwing, g.KneeStance);
    // lowest when both feet are down, highest in mid-stance; run cycles fly between steps
    p.RootOffset = {0, -g.Bob * std::cos(4 * Pi * phase) - (g.Stance < 0.5f ? 0.03f : 0.0f), 0};
    p.Turn(b.Pelvis, 0, 0.12f * Wave(phase), -g.Lean * 0.5f);
    p.Turn(b.Chest, 0, -0.2f * Wave(phase), -g.Lean);
    p.Turn(b.Head, 0, 0.08f * Wave(phase), g.Lean * 0.8f);
    PoseLeg(p, b.LThigh, b.LShin, b.LFoot, l);
    PoseLeg(p, b.RThigh, b.RShin, b.RFoot, r);
    // the arms swing against the legs: forward with the other leg
    const float swing = g.ArmSwing * -Wave(phase + 0.25f);
    if (g.Stance < 0.5f && arms == TArms::Free) {
        p.Turn(b.LUpper, 0.1f, 0, -swing);
        p.Turn(b.RUpper, -0.1f, 0, swing);
        p.Turn(b.LFore, 0, 0, 1.3f);
        p.Turn(b.RFore, 0, 0, 1.3f);
    } else {
        CarryArms(p, b, arms, swing);
    }
    return p;
}

TPoseSpec HumanIdle(const TSkeleton& sk, const THuman& b, TArms arms, float phase) {
    TPoseSpec p(sk.Count());
    const float breath = Wave(phase * 2);
    p.RootOffset = {0, -0.005f + 0.004f * breath, 0};
    p.Turn(b.Chest, 0, 0, -0.02f - 0.015f * breath);
    p.Turn(b.Head, 0, 0.35f * std::sin(2 * Pi * phase) * Smooth(std::fabs(std::sin(2 * Pi * phase)) * 1.5f),
           0.03f);
    // feet a little apart, weight shifting
    p.Turn(b.LThigh, 0.06f, 0.1f, 0.04f);
    p.Turn(b.RThigh, -0.06f, -0.1f, -0.04f + 0.03f * Wave(phase));
    p.Turn(b.RShin, 0, 0, -0.05f - 0.05f * Wave(phase));
    p.Turn(b.LFoot, -0.06f, 0, -0.04f);
    p.Turn(b.RFoot, 0.06f, 0, 0.06f);
    CarryArms(p, b, arms, 0.05f * breath);
    return p;
}

// A blow: wind up over the head, strike down and forward, come back. `right` picks the arm.
void PoseBlow(TPoseSpec& p, const THuman& b, float phase, bool right) {
    const int32_t upper = right ? b.RUpper : b.LUpper, fore = right ? b.RFore : b.LFore,
                  hand = right ? b.RHand : b.LHand;
    float raise, elbow, wrist, twist;
    if (phase < 0.4f) {  // wind up
        raise = Ramp(phase, 0.0f, 0.4f, 0.4f, 2.7f);
        elbow = Ramp(phase, 0.0f, 0.4f, 0.5f, 1.3f);
        wrist = Ramp(phase, 0.0f, 0.4f, -0.2f, 0.4f);
        twist = Ramp(phase, 0.0f, 0.4f, 0.0f, 0.35f);
    } else if (phase < 0.55f) {  // strike
        raise = Ramp(phase, 0.4f, 0.55f, 2.7f, 0.6f);
        elbow = Ramp(phase, 0.4f, 0.55f, 1.3f, 0.1f);
        wrist = Ramp(phase, 0.4f, 0.55f, 0.4f, -1.0f);
        twist = Ramp(phase, 0.4f, 0.55f, 0.35f, -0.3f);
    } else {  // recover
        raise = Ramp(phase, 0.55f, 1.0f, 0.6f, 0.4f);
        elbow = Ramp(phase, 0.55f, 1.0f, 0.1f, 0.5f);
        wrist = Ramp(phase, 0.55f, 1.0f, -1.0f, -0.2f);
        twist = Ramp(phase, 0.55f, 1.0f, -0.3f, 0.0f);
    }
    p.Turn(b.Chest, 0, right ? twist : -twist, -0.1f);
    p.Turn(upper, right ? -0.25f : 0.25f, 0, raise);
    p.Turn(fore, 0, 0, elbow);
    p.Turn(hand, 0, 0, wrist);
}

// Feet apart, the left one forward, knees bent: the stance for fighting and shooting.
void FightingStance(TPoseSpec& p, const THuman& b, float depth) {
    p.RootOffset = {0, -0.05f * depth, 0};
    p.Turn(b.LThigh, 0.05f, 0.15f, 0.35f * depth);
    p.Turn(b.LShin, 0, 0, -0.45f * depth);
    p.Turn(b.LFoot, 0, 0, 0.1f * depth);
    p.Turn(b.RThigh, -0.05f, -0.2f, -0.3f * depth);
    p.Turn(b.RShin, 0, 0, -0.15f * depth);
    p.Turn(b.RFoot, 0, 0, 0.45f * depth);
}

TPoseSpec HumanAttack(const TSkeleton& sk, const THuman& b, TArms arms, float phase) {
    TPoseSpec p(sk.Count());
    FightingStance(p, b, 1.0f);
    // lean into the blow
    p.Turn(b.Pelvis, 0, 0, -0.08f - 0.1f * std::sin(Pi * Smooth((phase - 0.35f) / 0.3f)));
    if (arms == TArms::Bow) {
        // a swipe with the bow in the left hand, the right arm held back
        PoseBlow(p, b, phase, false);
        p.Turn(b.RUpper, -0.3f, 0, -0.3f);
        p.Turn(b.RFore, 0, 0, 0.6f);
    } else {
        PoseBlow(p, b, phase, true);
        if (arms == TArms::SwordShield) {
            p.Turn(b.LUpper, 0.15f, 0, 0.7f);
            p.Turn(b.LFore, 0, -0.5f, 1.2f);
        } else {
            p.Turn(b.LUpper, 0.2f, 0, 0.4f);
            p.Turn(b.LFore, 0, 0, 0.8f);
        }
    }
    return p;
}

// The bowman's shot: nock, draw to the cheek, aim, loose at three quarters of the cycle.
TPoseSpec BowmanShoot(const TSkeleton& sk, const THuman& b, float phase) {
    TPoseSpec p(sk.Count());
    FightingStance(p, b, 0.6f);
    // side on to the target, the head turned back to it
    p.Turn(b.Pelvis, 0, -0.35f, 0);
    p.Turn(b.Chest, 0, -0.45f, 0.05f);
    p.Turn(b.Head, 0, 0.75f, -0.05f);
    // the bow arm points at the target, the bow upright
    p.Turn(b.LUpper, 0, 0.85f, 0);
    p.Turn(b.LUpper, 0, 0, 1.5f);
    p.Turn(b.LHand, 0, 0, -1.5f);
    p.Turn(b.LHand, -0.15f, 0, 0);
    // the drawing hand: from the string at the bow back to the chin
    float draw;
    if (phase < 0.15f)
        draw = Ramp(phase, 0.0f, 0.15f, 0.15f, 0.05f);  // nocking
    else if (phase < 0.68f)
        draw = Ramp(phase, 0.15f, 0.68f, 0.05f, 1.0f);  // drawing
    else if (phase < 0.75f)
        draw = 1.0f;  // aiming
    else
        draw = Ramp(phase, 0.75f, 1.0f, 1.0f, 0.15f);  // loosed, reaching for the next arrow
    const float loose = phase >= 0.75f ? std::exp(-(phase - 0.75f) * 18.0f) : 0.0f;
    p.Turn(b.RUpper, 0, 0.9f + 0.25f * draw, 0);
    p.Turn(b.RUpper, -0.2f * draw, 0, 1.45f + 0.1f * draw + 0.25f * loose);
    p.Turn(b.RFore, 0, 0, 0.25f + 2.1f * draw - 0.5f * loose);
    p.Turn(b.RHand, 0, 0, -0.3f);
    return p;
}

// Falling backwards: the knees give, then the body topples and lies on its back.
TPoseSpec HumanDeath(const TSkeleton& sk, const THuman& b, TArms arms, float phase) {
    TPoseSpec p(sk.Count());
    const float buckle = std::sin(Pi * std::min(phase / 0.55f, 1.0f)) * (phase < 0.55f ? 1.0f : 0.0f);
    const float x = std::clamp((phase - 0.12f) / 0.68f, 0.0f, 1.0f);
    const float fall = x * x;  // gravity
    const float settle = phase > 0.8f ? std::sin(Pi * (phase - 0.8f) / 0.2f) * 0.05f : 0.0f;
    p.RootOffset = {-0.35f * fall, -0.8f * fall - 0.12f * buckle + settle, 0};
    p.Turn(b.Pelvis, 0, 0, 1.5f * fall);
    p.Turn(b.Chest, 0, 0, 0.15f * fall - 0.25f * buckle);
    p.Turn(b.Head, 0.15f * fall, 0, 0.3f * fall - 0.3f * buckle);
    p.Turn(b.LThigh, 0.12f * fall, 0, 0.5f * buckle + 0.1f * fall);
    p.Turn(b.RThigh, -0.1f * fall, 0, 0.3f * buckle);
    p.Turn(b.LShin, 0, 0, -0.9f * buckle - 0.2f * fall);
    p.Turn(b.RShin, 0, 0, -0.6f * buckle);
    // arms thrown out as he goes down
    p.Turn(b.LUpper, 0.2f + 1.0f * fall, 0, 0.4f * buckle);
    p.Turn(b.RUpper, -0.2f - 1.1f * fall, 0, 0.5f * buckle);
    p.Turn(b.LFore, 0, 0, 0.4f + 0.3f * buckle);
    p.Turn(b.RFore, 0, 0, 0.5f + 0.3f * buckle);
    // the hands let their weapons drop to the ground
    p.Turn(b.RHand, 0, 0, -1.3f * fall);
    if (arms == TArms::SwordShield)
        p.Turn(b.LFore, 0, -0.5f * (1 - fall), 0.6f * (1 - fall));
    return p;
}

// ---------------------------------------------------------------------------------------------
// Poses of horse and rider

// `straddle` 1 sits astride; 0 brings the legs together (thrown off a falling horse).
void SeatRider(TPoseSpec& p, const THuman& b, float bounce, float lean, float straddle = 1.0f) {
    p.Turn(b.Pelvis, 0, 0, -0.05f - lean);
    p.Turn(b.Chest, 0, 0, -0.05f - lean * 0.5f - 0.03f * bounce);
    p.Turn(b.Head, 0, 0, lean * 0.8f);
    // legs astride: out round the horse's body, knees bent, feet down its sides
    p.Turn(b.LThigh, 0.5f * straddle, 0, 0);
    p.Turn(b.LThigh, 0, 0, 1.05f);
    p.Turn(b.RThigh, -0.5f * straddle, 0, 0);
    p.Turn(b.RThigh, 0, 0, 1.05f);
    p.Turn(b.LShin, 0, 0, (-1.35f + 0.05f * bounce) * straddle);
    p.Turn(b.RShin, 0, 0, (-1.35f + 0.05f * bounce) * straddle);
    p.Turn(b.LFoot, -0.3f, 0, 0.3f);
    p.Turn(b.RFoot, 0.3f, 0, 0.3f);
}

struct THorseGait {
    float Stance, Amp, Fold, Bob, Pitch;
    float Offsets[4];  // phase of each leg: front left, front right, hind left, hind right
    bool Gallop;       // one leap a cycle, the body rocking; otherwise two beats of a trot
};
// At the cavalry's walking speed a horse of this size trots: diagonal pairs together.
const THorseGait HorseTrot{0.5f, 0.4f, 1.1f, 0.03f, 0.02f, {0.0f, 0.5f, 0.5f, 0.0f}, false};
const THorseGait HorseGallop{0.38f, 0.55f, 1.4f, 0.07f, 0.09f, {0.45f, 0.55f, 0.0f, 0.1f}, true};

void PoseHorseLegs(TPoseSpec& p, const THorse& h, const THorseGait& g, float phase) {
    for (int32_t i = 0; i < 4; ++i) {
        const TLegSwing s = LegSwing(phase + g.Offsets[i], g.Stance, g.Amp, g.Fold, 0.05f);
        p.Turn(h.Upper[i], 0, 0, s.Thigh);
        // front knees fold back, hind hocks forward
        p.Turn(h.Lower[i], 0, 0, i < 2 ? s.Knee : -0.7f * s.Knee);
    }
}

TPoseSpec CavalryGait(const TSkeleton& sk, const THorse& h, const THuman& r, const THorseGait& g,
                      float phase) {
    TPoseSpec p(sk.Count());
    const float bounce = std::cos(4 * Pi * phase);
    // the gallop carries the body higher, over legs that reach out fore and aft
    p.RootOffset = {0, g.Gallop ? g.Bob * (1.0f + Wave(phase)) : g.Bob * bounce, 0};
    p.Turn(h.Body, 0, 0, g.Pitch * Wave(phase));
    p.Turn(h.Neck, 0, 0, -g.Pitch * 1.5f * Wave(phase) + 0.05f * bounce);
    p.Turn(h.Head, 0, 0, -0.1f);
    p.Turn(h.Tail, 0.1f * Wave(phase), 0, -0.3f - 3 * g.Pitch);
    PoseHorseLegs(p, h, g, phase);
    SeatRider(p, r, bounce, g.Gallop ? 0.15f : 0.0f);
    p.Turn(r.Pelvis, 0, 0, -g.Pitch * Wave(phase));  // the rider keeps upright while the horse rocks
    CarryArms(p, r, TArms::Rider, 0.1f * bounce);
    return p;
}

TPoseSpec CavalryIdle(const TSkeleton& sk, const THorse& h, const THuman& r, float phase) {
    TPoseSpec p(sk.Count());
    const float breath = Wave(phase * 2);
    p.RootOffset = {0, 0.006f * breath, 0};
    // head down to graze and up again, tail swishing
    p.Turn(h.Neck, 0, 0.1f * Wave(phase), -0.35f * std::pow(std::max(0.0f, std::sin(2 * Pi * phase)), 2.0f));
    p.Turn(h.Head, 0, 0, -0.15f);
    p.Turn(h.Tail, 0.3f * Wave(phase * 3), 0, -0.3f);
    // one hind foot resting
    p.Turn(h.Upper[3], 0, 0, 0.05f);
    p.Turn(h.Lower[3], 0, 0, -0.3f);
    SeatRider(p, r, 0, 0);
    p.Turn(r.Head, 0, 0.4f * std::sin(2 * Pi * phase), 0);
    CarryArms(p, r, TArms::Rider, 0.05f * breath);
    return p;
}

TPoseSpec CavalryAttack(const TSkeleton& sk, const THorse& h, const THuman& r, float phase) {
    TPoseSpec p(sk.Count());
    // the horse stamps and shifts while the rider strikes down at his side
    const float stamp = std::max(0.0f, std::sin(2 * Pi * phase));
    p.Turn(h.Body, 0, 0, 0.06f * stamp);
    p.Turn(h.Upper[0], 0, 0, 0.5f * stamp);
    p.Turn(h.Lower[0], 0, 0, -1.0f * stamp);
    p.Turn(h.Neck, 0, 0, 0.1f * stamp);
    p.Turn(h.Tail, 0.2f * Wave(phase), 0, -0.3f);
    SeatRider(p, r, 0, 0);
    PoseBlow(p, r, phase, true);
    p.Turn(r.LUpper, 0.1f, 0, 0.35f);
    p.Turn(r.LFore, 0, 0, 1.0f);
    return p;
}

TPoseSpec CavalryDeath(const TSkeleton& sk, const THorse& h, const THuman& r, float phase) {
    TPoseSpec p(sk.Count());
    // the horse's legs give and it rolls on to its left side; the rider goes down with it
    const float x = Smooth(std::clamp((phase - 0.1f) / 0.75f, 0.0f, 1.0f));
    const float kneel = std::sin(Pi * std::min(phase / 0.5f, 1.0f)) * (phase < 0.5f ? 1.0f : 0.0f);
    p.RootOffset = {0, -0.8f * x - 0.25f * kneel, -0.1f * x};
    p.Turn(h.Body, 1.4f * x, 0, -0.2f * kneel);
    p.Turn(h.Neck, -0.3f * x, 0, -0.3f * x - 0.3f * kneel);
    p.Turn(h.Head, 0, 0, -0.4f * x);
    for (int32_t i = 0; i < 4; ++i) {
        p.Turn(h.Upper[i], 0, 0, (i < 2 ? 0.4f : -0.4f) * x + (i < 2 ? -0.6f : 0.3f) * kneel);
        p.Turn(h.Lower[i], 0, 0, (i < 2 ? -0.8f : 0.6f) * kneel + (i < 2 ? -0.3f : 0.2f) * x);
    }
    SeatRider(p, r, 0, 0, 1.0f - x);
    p.Turn(r.Chest, 0.6f * x, 0, 0.2f * x);
    // arms up and away from the side he falls on
    p.Turn(r.LUpper, 0.8f * x, 0, 0.3f);
    p.Turn(r.RUpper, 0.9f * x, 0, 0.5f + 0.6f * x);
    p.Turn(r.RHand, 0, 0, -0.8f * x);
    p.Turn(r.Head, 0.3f * x, 0, 0.2f * x);
    return p;
}

// ---------------------------------------------------------------------------------------------
// Writing

void ScaleFigure(TMeshPart& part, TSkeleton& sk, float scale) {
    for (auto& v : part.Verts)
        v.Pos = v.Pos * scale;
    for (auto& bone : sk.Bones)
        bone.Pivot = bone.Pivot * scale;
}

bool WriteClip(const std::string& outDir, const std::string& figure, const std::string& role,
               const TSkeleton& sk, float seconds, bool looping,
               const std::function<TPoseSpec(float)>& pose) {
    // A loop of n frames lasts n / rate; a clip played once ends at (N - 1) / rate, N = n + 2.
    const int32_t steps = static_cast<int32_t>(std::lround(seconds * ClipRate));
    const int32_t frames = std::max(3, looping ? steps : steps - 1);
    // the pose functions work in the unscaled body; move the root by the same scale
    const TStoredSkeletData clip = SampleClip(sk, ClipRate, frames, looping, [&](float phase) {
        TPoseSpec p = pose(phase);
        p.RootOffset = p.RootOffset * FigureScale;
        return p;
    });
    return WriteFileBytes(DataPath(outDir, "Animates/" + figure + "_" + role + ".PSA"), EncodePSA(clip));
}

bool WriteFigureModel(const std::string& outDir, const std::string& name, const TMeshPart& body,
                      int32_t bones, float ringX, float ringZ) {
    TModelStreamData data;
    data.Skinned = true;
    data.Scale = 1.0f;
    data.RendData.BoneCount = bones;
    TMaterialSpec mat;
    mat.Texture = name + ".tga";
    data.RendData.Meshes.push_back(ToRenderMesh(name, mat, body, true));
    // the first collision mesh is the ring round the feet that outlines a selected soldier
    data.ColidData.Meshes.push_back(RingColideMesh("CM_Ring", ringX, ringZ, 0.03f, 16));
    const TStoredRenderMesh& m = data.RendData.Meshes[0];
    data.ColidData.Meshes.push_back(BoxColideMesh("CM_Body", m.BoxMin, m.BoxMax));
    return WriteModelFile(DataPath(outDir, "Animates/" + name + ".PAM"), data);
}

// Leg length of the body as built (hip to sole), scaled.
constexpr float LegLength = (0.92f + 0.0f) * FigureScale;

bool WriteFootSoldier(const std::string& outDir, const std::string& name, const TFigureStyle& style,
                      TArms arms, float walkSpeed, float runSpeed, bool shoots) {
    TSkeleton sk;
    const THuman b = AddHumanSkeleton(sk, -1, {}, "");
    TMeshPart body;
    AddHumanBody(body, b, {}, style);
    ScaleFigure(body, sk, FigureScale);
    if (!WriteFigureModel(outDir, name, body, sk.Count(), 0.45f, 0.45f))
        return false;
    const float walk = CyclePeriod(WalkGait, walkSpeed, LegLength);
    const float run = CyclePeriod(RunGait, runSpeed, LegLength);
    bool ok = WriteClip(outDir, name, "Idle", sk, 2.4f, true,
                        [&](float ph) { return HumanIdle(sk, b, arms, ph); }) &&
              WriteClip(outDir, name, "Walk", sk, walk, true,
                        [&](float ph) { return HumanGait(sk, b, WalkGait, arms, ph); }) &&
              WriteClip(outDir, name, "Run", sk, run, true,
                        [&](float ph) { return HumanGait(sk, b, RunGait, arms, ph); }) &&
              WriteClip(outDir, name, "Attack", sk, 1.0f, true,
                        [&](float ph) { return HumanAttack(sk, b, arms, ph); }) &&
              WriteClip(outDir, name, "Death", sk, 1.0f, false,
                        [&](float ph) { return HumanDeath(sk, b, arms, ph); });
    if (ok && shoots)
        ok = WriteClip(outDir, name, "Attack2", sk, 1.0f, true,
                       [&](float ph) { return BowmanShoot(sk, b, ph); });
    return ok;
}

bool WriteCavalryman(const std::string& outDir, float walkSpeed, float runSpeed) {
    const std::string name = "Sheriff";
    TSkeleton sk;
    const THorse h = AddHorseSkeleton(sk);
    // the rider sits on the saddle: his standing body lifted so that the pelvis is on it
    const TMyVector3f seat{-0.08f, 1.68f - PelvisAt.y, 0};
    const THuman r = AddHumanSkeleton(sk, h.Body, seat, "Rider");
    TMeshPart body;
    AddHorseBody(body, h);
    TFigureStyle style;
    style.Headgear = THeadgear::Hat;
    style.Sword = true;
    style.Cape = true;
    style.SkirtCell = CellTabard;
    AddHumanBody(body, r, seat, style);
    ScaleFigure(body, sk, FigureScale);
    if (!WriteFigureModel(outDir, name, body, sk.Count(), 1.0f, 0.5f))
        return false;
    const float horseLeg = 1.08f * FigureScale;
    const float walk = CyclePeriod({HorseTrot.Stance, HorseTrot.Amp, 0, 0, 0, 0, 0}, walkSpeed, horseLeg);
    const float gallop =
        CyclePeriod({HorseGallop.Stance, HorseGallop.Amp, 0, 0, 0, 0, 0}, runSpeed, horseLeg);
    return WriteClip(outDir, name, "Idle", sk, 3.0f, true,
                     [&](float ph) { return CavalryIdle(sk, h, r, ph); }) &&
           WriteClip(outDir, name, "Walk", sk, walk, true,
                     [&](float ph) { return CavalryGait(sk, h, r, HorseTrot, ph); }) &&
           WriteClip(outDir, name, "Run", sk, gallop, true,
                     [&](float ph) { return CavalryGait(sk, h, r, HorseGallop, ph); }) &&
           WriteClip(outDir, name, "Attack", sk, 1.0f, true,
                     [&](float ph) { return CavalryAttack(sk, h, r, ph); }) &&
           WriteClip(outDir, name, "Death", sk, 1.0f, false,
                     [&](float ph) { return CavalryDeath(sk, h, r, ph); });
}

}  // namespace

bool GenerateFigures(const std::string& outDir) {
    // Speeds of the unit types (map units per second): bowman, warrior, cavalryman.
    TFigureStyle bowman;
    bowman.Bow = true;
    bowman.Quiver = true;
    bowman.Headgear = THeadgear::Hood;
    TFigureStyle warrior;
    warrior.Headgear = THeadgear::Helmet;
    warrior.TorsoCell = CellTabard;
    warrior.SkirtCell = CellCloth;
    warrior.SleeveCell = CellCloth;
    warrior.Sword = true;
    warrior.Shield = true;
    warrior.Cape = true;
    return WriteFootSoldier(outDir, FigureNames[0], bowman, TArms::Bow, 1.5f, 3.0f, true) &&
           WriteFootSoldier(outDir, FigureNames[1], warrior, TArms::SwordShield, 1.4f, 2.8f, false) &&
           WriteCavalryman(outDir, 2.0f, 4.0f);
}

}  // namespace gen
