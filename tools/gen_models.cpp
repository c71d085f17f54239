// The static models of Data/Modeles: the three flat pictures, the main menu's ornament
// (knife and stand), the order markers, the arrow in flight, the debug unit and the scenery
// of the map. Rock1 and Ruin1 are also written as ".ASE" and House1 and Fence1 as ".3DS",
// so that the interchange readers take part in every battle that names them so.

#include "DataTool.h"
#include "gen_common.h"
#include "gen_models.h"

#include <cmath>
#include <iostream>
#include <numbers>

namespace gen {

namespace {

constexpr float Pi = std::numbers::pi_v<float>;
constexpr float Deg = Pi / 180.0f;

std::string ModelPath(const std::string& outDir, const std::string& file) {
    return DataPath(outDir, "Modeles/" + file);
}

// A static model of one or more render meshes; the collision meshes are given or, when
// none is, the box round everything.
struct TStaticModel {
    TModelStreamData Data;
    void Mesh(const std::string& name, const TMaterialSpec& mat, const TMeshPart& part) {
        Data.RendData.Meshes.push_back(ToRenderMesh(name, mat, part, false));
    }
    void Collide(TStoredColideMesh mesh) { Data.ColidData.Meshes.push_back(std::move(mesh)); }
    bool Write(const std::string& path) {
        FinishModel(Data);
        if (Data.ColidData.Meshes.empty()) {
            Data.ColidData.Meshes.push_back(
                BoxColideMesh("CM_Box", Data.RendData.BoxMin, Data.RendData.BoxMax));
            FinishModel(Data);
        }
        return WriteModelFile(path, Data);
    }
};

TMaterialSpec Plain(const char* texture) {
    TMaterialSpec m;
    m.Texture = texture;
    return m;
}

// ---------------------------------------------------------------------------------------------
// Pictures, ornament, markers

bool WritePicture(const std::string& outDir, const std::string& name) {
    TStaticModel m;
    TMaterialSpec mat;
    mat.Texture = name + ".tga";
    mat.Emissive = true;
    m.Mesh(name, mat, MakeCard(-1, -1, 1, 1));
    return m.Write(ModelPath(outDir, name + ".PRM"));
}

// The knife lies along +x: pommel at the origin, grip, guard, then the blade to x = 1.1,
// its flat facing +z.
TMeshPart KnifePart() {
    TMeshPart p;
    p.Add(MakeEllipsoid(0.04f, 0.04f, 0.035f, 10, 6, QuarterCell(2)), Place({0.02f, 0, 0}));
    p.Add(MakeCylinder(0.022f, 0.026f, 0.26f, 10, QuarterCell(1)), Place({0.04f, 0, 0}, {0, 0, -90 * Deg}));
    p.Add(MakeBox(0.035f, 0.17f, 0.045f, QuarterCell(2)), Place({0.315f, 0, 0}));
    // the blade: a spine along the top, the edge curving up to the point
    std::vector<TMyVector2f> blade = {{0.33f, -0.045f}, {0.75f, -0.042f}, {0.95f, -0.03f}, {1.08f, -0.005f},
                                      {1.12f, 0.012f},  {0.95f, 0.03f},   {0.6f, 0.042f},  {0.33f, 0.045f}};
    TMeshPart b = MakeExtrusion(blade, 0.016f, QuarterCell(0), QuarterCell(0));
    // a bevel: the edge side thinner than the spine
    for (auto& v : b.Verts)
        if (v.Pos.y < 0.0f)
            v.Pos.z *= 0.35f;
    p.Add(b);
    return p;
}

bool WriteKnife(const std::string& outDir) {
    TStaticModel m;
    m.Mesh("Knife", Plain(TexKnife), KnifePart());
    return m.Write(ModelPath(outDir, "Knife.PRM"));
}

// The stand is drawn 2.5 times wider than built: a round foot, a post and a cross bar on
// which the pommels of the two crossed knives rest.
bool WriteStand(const std::string& outDir) {
    TMeshPart p;
    p.Add(MakeLathe({{0.2f, 0}, {0.2f, 0.04f}, {0.17f, 0.07f}, {0.06f, 0.09f}, {0.03f, 0.14f}}, 20,
                    {0, 0, 1, 1}, true, true));
    p.Add(MakeCylinder(0.022f, 0.018f, 0.93f, 10, {0, 0, 0.3f, 2}), Place({0, 0.13f, 0}));
    p.Add(MakeBox(0.46f, 0.04f, 0.03f, {0, 0, 2, 0.2f}), Place({0, 1.075f, 0}));
    for (float x : {-0.215f, 0.215f})
        p.Add(MakeEllipsoid(0.022f, 0.03f, 0.022f, 8, 5), Place({x, 1.11f, 0}));
    TStaticModel m;
    m.Mesh("Stand", Plain(TexStand), p);
    return m.Write(ModelPath(outDir, "Stand.PRM"));
}

// The move marker: a gilded pole with a cloth flying towards +x.
bool WriteFlag(const std::string& outDir) {
    TMeshPart pole;
    pole.Add(MakeCylinder(0.035f, 0.025f, 1.8f, 8, QuarterCell(1)));
    pole.Add(MakeEllipsoid(0.06f, 0.06f, 0.06f, 8, 5, QuarterCell(1)), Place({0, 1.82f, 0}));
    pole.Add(MakeCylinder(0.18f, 0.12f, 0.06f, 12, QuarterCell(1)));
    TMeshPart cloth;
    const int32_t nx = 8, ny = 3;
    const TUVRect uv = QuarterCell(0);
    for (int32_t j = 0; j <= ny; ++j)
        for (int32_t i = 0; i <= nx; ++i) {
            const float s = static_cast<float>(i) / nx, t = static_cast<float>(j) / ny;
            const float wave = 0.07f * std::sin(s * 2.6f * Pi) * s;
            cloth.AddVertex({0.03f + 0.75f * s, 1.3f + 0.48f * t - 0.05f * s * s, wave}, {0, 0, 1}, uv.U(s),
                            uv.V(t));
        }
    for (int32_t j = 0; j < ny; ++j)
        for (int32_t i = 0; i < nx; ++i) {
            const int32_t a = j * (nx + 1) + i;
            cloth.AddQuad(a, a + 1, a + nx + 2, a + nx + 1);
        }
    cloth.ComputeNormals(60.0f);
    pole.Add(cloth);
    TStaticModel m;
    m.Mesh("Flag", Plain(TexMarker), pole);
    m.Collide(BoxColideMesh("CM_Pole", {-0.2f, 0, -0.2f}, {0.2f, 1.9f, 0.2f}));
    return m.Write(ModelPath(outDir, "Flag.PRM"));
}

// A flat arrow lying on the ground, from its tail at the origin to its point at x = length.
bool WriteOrderArrow(const std::string& outDir, const std::string& name, float length, float width) {
    const float head = length * 0.32f, shaft = width * 0.38f;
    std::vector<TMyVector2f> outline = {{0, -shaft}, {length - head, -shaft},    {length - head, -width / 2},
                                        {length, 0}, {length - head, width / 2}, {length - head, shaft},
                                        {0, shaft}};
    TMeshPart p;
    // the outline is drawn in the xy plane; laid down so that its y goes to -z (left)
    p.Add(MakeExtrusion(outline, 0.02f), Place({0, 0.06f, 0}, {-90 * Deg, 0, 0}));
    TMaterialSpec mat;
    mat.Texture = TexOrderArrow;
    mat.Blended = true;
    TStaticModel m;
    m.Mesh(name, mat, p);
    return m.Write(ModelPath(outDir, name + ".PRM"));
}

// The arrow in flight: the tail at the origin, the iron point at x = 1.
bool WritePica(const std::string& outDir) {
    TMeshPart p;
    p.Add(MakeCylinder(0.022f, 0.022f, 0.9f, 6, QuarterCell(2)), Place({0, 0, 0}, {0, 0, -90 * Deg}));
    p.Add(MakeLathe({{0.05f, 0}, {0.02f, 0.06f}, {0, 0.14f}}, 6, {0.55f, 0.05f, 0.7f, 0.45f}, true, false),
          Place({0.88f, 0, 0}, {0, 0, -90 * Deg}));
    // three feathers round the tail
    for (int32_t k = 0; k < 3; ++k) {
        TMeshPart fin = MakeCard(0.02f, 0, 0.24f, 0.06f, {0.8f, 0.05f, 0.95f, 0.45f});
        for (auto& v : fin.Verts)
            if (v.Pos.x > 0.2f)
                v.Pos.y *= 0.4f;
        p.Add(fin, Place({0, 0, 0}, {static_cast<float>(k) * 120 * Deg, 0, 0}));
    }
    TStaticModel m;
    m.Mesh("Pica", Plain(TexMarker), p);
    return m.Write(ModelPath(outDir, "Pica.PRM"));
}

// The debug unit: a pawn with a nose that shows its facing.
bool WriteBaseUnit(const std::string& outDir) {
    TMeshPart p;
    p.Add(MakeLathe({{0.35f, 0}, {0.35f, 0.12f}, {0.22f, 0.22f}, {0.15f, 0.9f}, {0.24f, 1.0f}, {0.1f, 1.1f}},
                    16, {0, 0, 2, 2}, true, true));
    p.Add(MakeEllipsoid(0.2f, 0.22f, 0.2f, 14, 8, {0, 0, 1, 1}), Place({0, 1.3f, 0}));
    p.Add(MakeBox(0.18f, 0.06f, 0.08f, {0, 0, 0.25f, 0.25f}), Place({0.24f, 1.3f, 0}));
    TStaticModel m;
    m.Mesh("BaseUnit", Plain(TexBaseUnit), p);
    m.Collide(RingColideMesh("CM_Base", 0.4f, 0.4f, 0.02f, 16));
    return m.Write(ModelPath(outDir, "BaseUnit.PRM"));
}

// ---------------------------------------------------------------------------------------------
// Trees: trunk at the origin, foliage alpha-tested

TMaterialSpec Foliage(const char* texture) {
    TMaterialSpec m;
    m.Texture = texture;
    m.AlphaTest = true;
    m.AlphaRef = 0.5f;
    return m;
}

// A cluster of three crossed leaf cards; the normals point away from the crown's centre so
// that the crown is lit as a volume rather than as flat cards.
void AddLeafCluster(TMeshPart& crown, const TMyVector3f& at, float size, float turn,
                    const TMyVector3f& centre) {
    for (int32_t k = 0; k < 3; ++k) {
        const size_t first = crown.Verts.size();
        crown.Add(MakeCard(-size / 2, -size / 2, size / 2, size / 2),
                  Place(at, {0.35f * std::sin(turn + static_cast<float>(k)),
                             turn + static_cast<float>(k) * Pi / 3, 0}));
        for (size_t i = first; i < crown.Verts.size(); ++i) {
            TMyVector3f n = crown.Verts[i].Pos - centre;
            n.y += 0.3f * Vec3Length(n);
            Vec3Normalize(n);
            crown.Verts[i].Normal = n;
        }
    }
}

// Points spread over an ellipsoid shell, the same for every run.
std::vector<TMyVector3f> CrownPoints(TGenRandom& rnd, int32_t count, const TMyVector3f& centre,
                                     const TMyVector3f& radii) {
    std::vector<TMyVector3f> pts;
    for (int32_t i = 0; i < count; ++i) {
        // a golden-angle spiral, jittered
        const float y = 1.0f - 2.0f * (static_cast<float>(i) + 0.5f) / static_cast<float>(count);
        const float r = std::sqrt(1.0f - y * y);
        const float a = static_cast<float>(i) * 2.39996f + rnd.Range(-0.3f, 0.3f);
        const float shell = rnd.Range(0.55f, 0.9f);
        pts.push_back({centre.x + radii.x * r * std::cos(a) * shell, centre.y + radii.y * y * shell,
                       centre.z + radii.z * r * std::sin(a) * shell});
    }
    return pts;
}

TMeshPart Branch(const TMyVector3f& from, const TMyVector3f& to, float r0, float r1) {
    TMeshPart b;
    b.Add(MakeCylinder(r0, r1, Vec3Length(to - from), 6, {0, 0, 1, 1}, false), AlongSegment(from, to));
    return b;
}

bool WriteOak(const std::string& outDir) {
    TGenRandom rnd(1001);
    TMeshPart trunk =
        MakeLathe({{0.34f, 0}, {0.24f, 0.3f}, {0.2f, 1.2f}, {0.17f, 2.2f}, {0.09f, 3.2f}}, 9, {0, 0, 2, 3});
    const TMyVector3f centre{0, 3.5f, 0};
    for (int32_t k = 0; k < 5; ++k) {
        const float a = static_cast<float>(k) * 2 * Pi / 5 + 0.4f;
        trunk.Add(Branch({0, 2.0f + 0.15f * static_cast<float>(k), 0},
                         {1.1f * std::cos(a), 3.1f + 0.2f * static_cast<float>(k % 2), 1.1f * std::sin(a)},
                         0.08f, 0.03f));
    }
    TMeshPart crown;
    for (const TMyVector3f& at : CrownPoints(rnd, 16, centre, {1.6f, 1.1f, 1.6f}))
        AddLeafCluster(crown, at, 1.7f, rnd.Range(0, Pi), centre);
    TStaticModel m;
    m.Mesh("Trunk", Plain(TexBark), trunk);
    m.Mesh("Crown", Foliage(TexLeavesOak), crown);
    m.Collide(BoxColideMesh("CM_Trunk", {-0.3f, 0, -0.3f}, {0.3f, 2.5f, 0.3f}));
    return m.Write(ModelPath(outDir, "Tree1.PRM"));
}

bool WritePine(const std::string& outDir) {
    TMeshPart trunk = MakeLathe({{0.22f, 0}, {0.16f, 0.4f}, {0.1f, 3.0f}, {0.02f, 5.4f}}, 8, {0, 0, 2, 4});
    TMeshPart tiers;
    for (int32_t i = 0; i < 6; ++i) {
        const float y0 = 1.0f + 0.72f * static_cast<float>(i);
        const float r = 1.55f - 0.22f * static_cast<float>(i);
        const float h = 1.25f - 0.05f * static_cast<float>(i);
        TMeshPart tier =
            MakeLathe({{r, y0 - 0.15f}, {r * 0.55f, y0 + h * 0.4f}, {0, y0 + h}}, 9, {0, 0, 3, 1});
        tiers.Add(tier, Place({0, 0, 0}, {0, static_cast<float>(i) * 0.7f, 0}));
    }
    TStaticModel m;
    m.Mesh("Trunk", Plain(TexBark), trunk);
    m.Mesh("Needles", Foliage(TexLeavesPine), tiers);
    m.Collide(BoxColideMesh("CM_Trunk", {-0.25f, 0, -0.25f}, {0.25f, 2.5f, 0.25f}));
    return m.Write(ModelPath(outDir, "Tree2.PRM"));
}

bool WriteBirch(const std::string& outDir) {
    TGenRandom rnd(1003);
    TMeshPart trunk;
    // a slender trunk leaning a little, in two pieces
    trunk.Add(MakeLathe({{0.16f, 0}, {0.12f, 0.3f}, {0.1f, 2.2f}}, 8, {0, 0, 1, 2}));
    trunk.Add(Branch({0, 2.15f, 0}, {0.25f, 4.4f, 0.05f}, 0.1f, 0.035f));
    trunk.Add(Branch({0.08f, 2.8f, 0}, {-0.6f, 3.7f, 0.3f}, 0.05f, 0.02f));
    trunk.Add(Branch({0.15f, 3.2f, 0}, {0.8f, 4.0f, -0.3f}, 0.045f, 0.02f));
    const TMyVector3f centre{0.15f, 3.9f, 0};
    TMeshPart crown;
    for (const TMyVector3f& at : CrownPoints(rnd, 14, centre, {1.0f, 1.3f, 1.0f}))
        AddLeafCluster(crown, at, 1.2f, rnd.Range(0, Pi), centre);
    TStaticModel m;
    m.Mesh("Trunk", Plain(TexBirchBark), trunk);
    m.Mesh("Crown", Foliage(TexLeavesBirch), crown);
    m.Collide(BoxColideMesh("CM_Trunk", {-0.2f, 0, -0.2f}, {0.2f, 2.5f, 0.2f}));
    return m.Write(ModelPath(outDir, "Tree3.PRM"));
}

// ---------------------------------------------------------------------------------------------
// Rocks, house, fence, ruins: each also goes out in an interchange format

TMeshPart RockPart() {
    TMeshPart p = MakeEllipsoid(1, 1, 1, 9, 6, {0, 0, 2, 1});
    // Bumps: the same factor for every copy of a seam vertex, so the surface stays closed.
    for (auto& v : p.Verts) {
        const int32_t kx = static_cast<int32_t>(std::lround(v.Pos.x * 100)),
                      ky = static_cast<int32_t>(std::lround(v.Pos.y * 100)),
                      kz = static_cast<int32_t>(std::lround(v.Pos.z * 100));
        const float f = 0.82f + 0.3f * HashFloat(kx * 131 + kz, ky, 1101);
        v.Pos = v.Pos * f;
    }
    TMeshPart rock;
    rock.Add(p, Place({0, 0.2f, 0}, {0, 0.3f, 0.1f}, {0.42f, 0.34f, 0.38f}));
    rock.Unweld();
    rock.ComputeNormals(0.0f);
    return rock;
}

// The house: timbered walls, a thatched gable roof along x, a door facing +x.
struct THouseParts {
    TMeshPart Walls, Roof, Door, Windows, Chimney;
};

THouseParts HouseParts() {
    THouseParts h;
    h.Walls = MakeBox(3.0f, 1.9f, 2.0f, QuarterCell(0));
    for (auto& v : h.Walls.Verts)
        v.Pos.y += 0.95f;
    // The roof's outline in the yz plane of the house is drawn in xy and turned so that its
    // depth runs along x; the gable ends show the wall, the slopes the thatch.
    std::vector<TMyVector2f> gable = {{-1.25f, 1.85f}, {1.25f, 1.85f}, {0, 3.0f}};
    h.Roof.Add(MakeExtrusion(gable, 3.3f, QuarterCell(0), QuarterCell(1)),
               Place({0, 0, 0}, {0, 90 * Deg, 0}));
    const TUVRect cell2 = QuarterCell(2);
    const TUVRect doorUv{cell2.u0, cell2.v0, (cell2.u0 + cell2.u1) / 2, cell2.v1};
    const TUVRect windowUv{(cell2.u0 + cell2.u1) / 2, cell2.v0, cell2.u1, cell2.v1};
    h.Door.Add(MakeCard(-0.4f, 0, 0.4f, 1.45f, doorUv), Place({1.51f, 0, 0}, {0, 90 * Deg, 0}));
    h.Windows.Add(MakeCard(-0.35f, 0.75f, 0.35f, 1.5f, windowUv), Place({-0.7f, 0, 1.01f}));
    h.Windows.Add(MakeCard(-0.35f, 0.75f, 0.35f, 1.5f, windowUv), Place({0.7f, 0, 1.01f}));
    h.Windows.Add(MakeCard(-0.35f, 0.75f, 0.35f, 1.5f, windowUv), Place({0.0f, 0, -1.01f}, {0, Pi, 0}));
    h.Chimney.Add(MakeBox(0.35f, 1.3f, 0.35f, QuarterCell(3)), Place({-0.8f, 2.6f, 0.45f}));
    return h;
}

TMeshPart FenceRails() {
    TMeshPart p;
    for (float y : {0.42f, 0.82f})
        p.Add(MakeBox(2.1f, 0.1f, 0.05f, {0, 0, 2, 0.15f}), Place({0, y, 0.08f}));
    return p;
}

TMeshPart FencePosts() {
    TMeshPart p;
    for (int32_t i = -1; i <= 1; ++i)
        p.Add(MakeBox(0.12f, 1.1f, 0.12f, {0, 0, 0.2f, 1}),
              Place({static_cast<float>(i), 0.55f, 0}, {0, 0.1f * static_cast<float>(i), 0}));
    return p;
}

// Broken walls in an L, a column stump, a fallen drum and a few blocks.
struct TRuinParts {
    TMeshPart WallA, WallB, Column, Blocks;
};

TRuinParts RuinParts() {
    TRuinParts r;
    const std::vector<TMyVector2f> a = {{-1.5f, 0},    {1.5f, 0},    {1.5f, 0.7f},   {1.15f, 1.3f},
                                        {0.75f, 1.0f}, {0.3f, 1.8f}, {-0.25f, 2.1f}, {-0.7f, 1.5f},
                                        {-1.1f, 2.3f}, {-1.5f, 1.9f}};
    r.WallA.Add(MakeExtrusion(a, 0.45f, {0, 0, 2, 1.5f}, {0, 0, 6, 0.4f}), Place({0, 0, -1.25f}));
    const std::vector<TMyVector2f> b = {{-1.0f, 0},   {1.0f, 0},      {1.0f, 1.9f}, {0.5f, 1.4f},
                                        {0.1f, 0.8f}, {-0.4f, 0.55f}, {-1.0f, 0.4f}};
    r.WallB.Add(MakeExtrusion(b, 0.45f, {0, 0, 1.5f, 1.2f}, {0, 0, 5, 0.4f}),
                Place({-1.25f, 0, 0.0f}, {0, 90 * Deg, 0}));
    r.Column.Add(MakeCylinder(0.26f, 0.24f, 1.1f, 10, {0, 0, 2, 1}), Place({0.9f, 0, 0.6f}));
    r.Column.Add(MakeCylinder(0.24f, 0.24f, 0.9f, 10, {0, 0, 2, 1}),
                 Place({0.2f, 0.24f, 1.05f}, {0, 0.5f, 88 * Deg}));
    r.Blocks.Add(MakeBox(0.5f, 0.34f, 0.4f, {0, 0, 0.5f, 0.4f}), Place({0.8f, 0.17f, -0.5f}, {0, 0.4f, 0}));
    r.Blocks.Add(MakeBox(0.42f, 0.3f, 0.36f, {0, 0, 0.5f, 0.4f}),
                 Place({-0.5f, 0.15f, 0.8f}, {0.1f, 1.1f, 0.05f}));
    r.Blocks.Add(MakeBox(0.45f, 0.34f, 0.4f, {0, 0, 0.5f, 0.4f}),
                 Place({-0.6f, 0.17f, -0.55f}, {0, 0.2f, 0}));
    return r;
}

bool WriteASE(const std::string& path, const std::vector<std::string>& textures,
              const std::vector<TExchangeObject>& objects) {
    const std::string text = EncodeASE(textures, objects);
    return WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

bool WriteRock(const std::string& outDir) {
    const TMeshPart rock = RockPart();
    TStaticModel m;
    m.Mesh("Rock", Plain(TexRock), rock);
    if (!m.Write(ModelPath(outDir, "Rock1.PRM")))
        return false;
    return WriteASE(ModelPath(outDir, "Rock1.ASE"), {TexRock}, {{"Rock", rock, 0, false}});
}

bool WriteHouse(const std::string& outDir) {
    THouseParts h = HouseParts();
    TMeshPart all;
    for (const TMeshPart* p : {&h.Walls, &h.Roof, &h.Door, &h.Windows, &h.Chimney})
        all.Add(*p);
    TStaticModel m;
    m.Mesh("House", Plain(TexHouse), all);
    m.Collide(BoxColideMesh("CM_House", {-1.5f, 0, -1.0f}, {1.5f, 3.0f, 1.0f}));
    if (!m.Write(ModelPath(outDir, "House1.PRM")))
        return false;
    // The interchange copy: render objects that collide with nothing of their own and one box
    // for collisions.
    TMeshPart box = MakeBox(3.0f, 3.0f, 2.0f);
    for (auto& v : box.Verts)
        v.Pos.y += 1.5f;
    const std::vector<TExchangeObject> objects = {
        {"JR_Walls", h.Walls, 0, false},     {"JR_Roof", h.Roof, 0, false},
        {"JR_Door", h.Door, 0, false},       {"JR_Windows", h.Windows, 0, false},
        {"JR_Chimney", h.Chimney, 0, false}, {"CM_House", box, -1, false}};
    return WriteFileBytes(ModelPath(outDir, "House1.3DS"), Encode3DS({TexHouse}, objects));
}

bool WriteFence(const std::string& outDir) {
    const TMeshPart posts = FencePosts(), rails = FenceRails();
    TMeshPart all;
    all.Add(posts);
    all.Add(rails);
    TStaticModel m;
    m.Mesh("Fence", Plain(TexFence), all);
    if (!m.Write(ModelPath(outDir, "Fence1.PRM")))
        return false;
    return WriteFileBytes(ModelPath(outDir, "Fence1.3DS"),
                          Encode3DS({TexFence}, {{"Posts", posts, 0, false}, {"Rails", rails, 0, false}}));
}

bool WriteRuin(const std::string& outDir) {
    const TRuinParts r = RuinParts();
    TMeshPart all;
    for (const TMeshPart* p : {&r.WallA, &r.WallB, &r.Column, &r.Blocks})
        all.Add(*p);
    TStaticModel m;
    m.Mesh("Ruin", Plain(TexRuin), all);
    if (!m.Write(ModelPath(outDir, "Ruin1.PRM")))
        return false;
    return WriteASE(ModelPath(outDir, "Ruin1.ASE"), {TexRuin},
                    {{"WallA", r.WallA, 0, false},
                     {"WallB", r.WallB, 0, false},
                     {"Column", r.Column, 0, false},
                     {"Blocks", r.Blocks, 0, false}});
}

bool GenerateAllModels(const std::string& outDir) {
    return GenerateModelTextures(outDir) && GenerateStaticModels(outDir) && GenerateFigures(outDir);
}

const DataGenerator modelGenerator(300, "models", GenerateAllModels);

// `mygame-data models OUTDIR`: only the models and their textures, for checking the output.
int RunModels(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::cerr << "mygame-data models: give the output folder (it receives Data/)\n";
        return 2;
    }
    return GenerateAllModels(args[0]) ? 0 : 1;
}

const DataCommand modelsCommand("models",
                                "models OUTDIR       write only the models, clips and their textures",
                                RunModels);

}  // namespace

bool WriteModelFile(const std::string& path, TModelStreamData& model) {
    FinishModel(model);
    try {
        return WriteFileBytes(path, WriteModelStream(model));
    } catch (const std::exception& e) {
        std::cerr << "mygame-data models: " << path << ": " << e.what() << "\n";
        return false;
    }
}

bool GenerateStaticModels(const std::string& outDir) {
    return WritePicture(outDir, "Splash") && WritePicture(outDir, "Loading") &&
           WritePicture(outDir, "Title") && WriteKnife(outDir) && WriteStand(outDir) && WriteFlag(outDir) &&
           WriteOrderArrow(outDir, "Arrow", 2.0f, 0.9f) &&
           WriteOrderArrow(outDir, "ArrowSmall", 0.9f, 0.45f) && WritePica(outDir) && WriteBaseUnit(outDir) &&
           WriteOak(outDir) && WritePine(outDir) && WriteBirch(outDir) && WriteRock(outDir) &&
           WriteHouse(outDir) && WriteFence(outDir) && WriteRuin(outDir);
}

}  // namespace gen
