// The models the build generates (build/Data/Modeles, build/Data/Animates), read back
// through the game's own registry and readers: every file loads, every texture a material
// names is there, pictures, markers and scenery are shaped and placed as the scenes use them,
// the soldiers find their clips by role and stand, loop and fall as a player expects, and
// the generator writes the same bytes on every run.

#include "test_resources_support.h"

#include "resources/e_ModelObject.h"
#include "resources/e_ResourceManager.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

const std::string BuildRoot = MYGAME_BINARY_DIR "/";
const std::string ModelsDir = BuildRoot + "Data/Modeles/";
const std::string AnimatesDir = BuildRoot + "Data/Animates/";

// The skinning programs hold the pose of this many bones (Shaders/modelSimpleSkel.gpr).
constexpr int32_t ShaderBones = 40;

// The names the game asks for.
const char* const StaticNames[] = {"Splash", "Loading",    "Title",  "Knife",    "Stand", "Flag",
                                   "Arrow",  "ArrowSmall", "Pica",   "BaseUnit", "Tree1", "Tree2",
                                   "Tree3",  "Rock1",      "House1", "Fence1",   "Ruin1"};
const char* const Soldiers[] = {"Kestrin", "SirGuy", "Sheriff"};

std::vector<std::string> Lines;
void CaptureLog(const std::string& text) { Lines.push_back(text); }

class GeneratedData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        SetMessageBoxesEnabled(false);
        Present = fs::exists(ModelsDir) && fs::exists(AnimatesDir);
        if (Present)
            InitResourceSystem(CaptureLog, BuildRoot, "Data/Textures/", "Data/Modeles/", "Data/Animates/");
    }
    static void TearDownTestSuite() {
        if (Present)
            FreeResourceSystem();
    }
    void SetUp() override {
        if (!Present)
            GTEST_SKIP() << "the game's data has not been generated in " << BuildRoot;
    }
    static bool Present;
};

bool GeneratedData::Present = false;

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file())
            files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Extension(const std::string& name) {
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : Upper(name.substr(dot));
}

std::string FileNameOf(const std::string& path) { return fs::path(path).filename().string(); }

float Len(float x, float y, float z) { return std::sqrt(x * x + y * y + z * z); }

// ---- posing the stored vertices the way the skinning shader does ----

TMyVector3f Rotate(const TMyVector4f& q, const TMyVector3f& v) {
    const TMyVector3f u{q.y, q.z, q.w};
    const TMyVector3f uv = Vec3Cross(u, v);
    return v + uv * (2.0f * q.x) + Vec3Cross(u, uv) * 2.0f;
}

std::vector<TMyVector3f> PosedVertices(const TStoredRendData& rend, const TStoredSkeletData& clip,
                                       int32_t frame) {
    std::vector<TMyVector3f> out;
    for (const auto& m : rend.Meshes)
        for (int32_t i = 0; i < m.VertCount; ++i) {
            const float* v = &m.Vertices[static_cast<size_t>(i) * SkinnedVertexSize];
            const TMyVector3f p{v[0], v[1], v[2]};
            TMyVector3f sum{};
            float total = 0;
            for (int k = 0; k < 4; ++k) {
                const float w = v[18 + k];
                if (w <= 0)
                    continue;
                const TBoneFrame& f =
                    clip.Frames.at(static_cast<size_t>(v[14 + k])).at(static_cast<size_t>(frame));
                TMyVector4f q = f.Rotation;
                QuatNormalize(q);
                sum = sum + (Rotate(q, p) + f.Position) * w;
                total += w;
            }
            out.push_back(total > 0 ? sum * (1.0f / total) : p);
        }
    return out;
}

struct TRange {
    TMyVector3f Min{1e30f, 1e30f, 1e30f}, Max{-1e30f, -1e30f, -1e30f};
};
TRange RangeOf(const std::vector<TMyVector3f>& pts) {
    TRange r;
    for (const auto& p : pts) {
        r.Min = {std::min(r.Min.x, p.x), std::min(r.Min.y, p.y), std::min(r.Min.z, p.z)};
        r.Max = {std::max(r.Max.x, p.x), std::max(r.Max.y, p.y), std::max(r.Max.z, p.z)};
    }
    return r;
}

float MaxMove(const std::vector<TMyVector3f>& a, const std::vector<TMyVector3f>& b) {
    float m = 0;
    for (size_t i = 0; i < a.size(); ++i)
        m = std::max(m, Vec3Length(a[i] - b[i]));
    return m;
}

// The clip of a role, or null.
const TStoredSkeletData* ClipOf(const TGamePersonage& p, int32_t role) {
    const int32_t k = p.Clips[role];
    return k < 0 ? nullptr : GetSkeletData(p.RendData->Animations[k]);
}

// ---------------------------------------------------------------------------------------------

TEST_F(GeneratedData, EveryModelFileLoadsAndNamesTexturesThatExist) {
    std::vector<std::pair<std::string, bool>> files;  // bare name for LoadModel, skinned
    for (const auto& f : FilesIn(ModelsDir))
        files.push_back({f, false});
    for (const auto& f : FilesIn(AnimatesDir))
        if (Extension(f) == ".PAM")
            files.push_back({f, true});
    ASSERT_GE(files.size(), 20u);
    for (const auto& [file, skinned] : files) {
        SCOPED_TRACE(file);
        const std::string ext = Extension(file);
        ASSERT_TRUE(ext == ".PRM" || ext == ".PAM" || ext == ".ASE" || ext == ".3DS")
            << "a file the game cannot read";
        Lines.clear();
        const int32_t h = LoadModel(file);
        ASSERT_GE(h, 0);
        for (const auto& line : Lines)
            EXPECT_EQ(line.find("error"), std::string::npos) << line;
        const TStoredRendData* rend = GetModelRendData(h);
        const TStoredColidData* colid = GetModelColidData(h);
        ASSERT_NE(rend, nullptr);
        ASSERT_NE(colid, nullptr);
        EXPECT_EQ(rend->BoneCount > 0, skinned);
        ASSERT_GE(rend->MeshCount, 1);
        EXPECT_GE(colid->MeshCount, 1);
        const int32_t size = skinned ? SkinnedVertexSize : StaticVertexSize;
        for (const auto& m : rend->Meshes) {
            SCOPED_TRACE(m.Name);
            ASSERT_GE(m.VertCount, 3);
            ASSERT_GE(m.TriCount, 1);
            for (int32_t i = 0; i < m.VertCount; ++i) {
                const float* v = &m.Vertices[static_cast<size_t>(i) * size];
                for (int k = 0; k < size; ++k)
                    ASSERT_TRUE(std::isfinite(v[k])) << "vertex " << i;
                ASSERT_NEAR(Len(v[3], v[4], v[5]), 1.0f, 0.01f) << "normal of vertex " << i;
                for (int k = 0; k < 3; ++k) {
                    EXPECT_GE(v[k], (&m.BoxMin.x)[k] - 1e-4f);
                    EXPECT_LE(v[k], (&m.BoxMax.x)[k] + 1e-4f);
                }
            }
            // the texture is there and decodes, its sides powers of two for the mipmaps
            ASSERT_TRUE(FileExistsNoCase(m.Material.DiffuseMap)) << m.Material.DiffuseMap;
            const int32_t t = LoadTexture(m.Material.DiffuseMap, true);
            ASSERT_GE(t, 0);
            const TStoredTextureData* tex = GetTextureData(t);
            ASSERT_NE(tex, nullptr);
            EXPECT_EQ(tex->Width & (tex->Width - 1), 0);
            EXPECT_EQ(tex->Height & (tex->Height - 1), 0);
            EXPECT_TRUE(FileNameOf(m.Material.BumpMap).empty());
            EXPECT_TRUE(FileNameOf(m.Material.GlossMap).empty());
            if (m.Material.AlphaTest) {
                EXPECT_GT(m.Material.AlphaRef, 0.0f);
                EXPECT_EQ(tex->Format, static_cast<uint32_t>(GL_RGBA)) << "alpha test needs an alpha channel";
            }
        }
    }
    // and the names the scenes and the map ask for are among them
    for (const char* n : StaticNames)
        EXPECT_TRUE(FileExistsNoCase(ModelsDir + n + ".PRM")) << n;
    for (const char* n : Soldiers)
        EXPECT_TRUE(FileExistsNoCase(AnimatesDir + std::string(n) + ".PAM")) << n;
}

TEST_F(GeneratedData, InterchangeCopiesMatchTheirModelFiles) {
    int copies = 0;
    for (const auto& f : FilesIn(ModelsDir)) {
        const std::string ext = Extension(f);
        if (ext != ".ASE" && ext != ".3DS")
            continue;
        SCOPED_TRACE(f);
        ++copies;
        const std::string base = f.substr(0, f.size() - 4);
        const TStoredRendData* a = GetModelRendData(LoadModel(f));
        const TStoredRendData* b = GetModelRendData(LoadModel(base + ".PRM"));
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR((&a->BoxMin.x)[k], (&b->BoxMin.x)[k], 0.01f);
            EXPECT_NEAR((&a->BoxMax.x)[k], (&b->BoxMax.x)[k], 0.01f);
        }
        EXPECT_EQ(a->Meshes[0].Material.DiffuseMap, b->Meshes[0].Material.DiffuseMap);
    }
    EXPECT_GE(copies, 2);
    EXPECT_TRUE(FileExistsNoCase(ModelsDir + "Rock1.ASE"));
    EXPECT_TRUE(FileExistsNoCase(ModelsDir + "House1.3DS"));
}

TEST_F(GeneratedData, PicturesAreEmissiveSquaresFacingTheViewer) {
    for (const char* n : {"Splash", "Loading", "Title"}) {
        SCOPED_TRACE(n);
        const TStoredRendData* rend = GetModelRendData(LoadModel(n));
        ASSERT_NE(rend, nullptr);
        ASSERT_EQ(rend->MeshCount, 1);
        const TStoredRenderMesh& m = rend->Meshes[0];
        EXPECT_TRUE(m.Material.Emissive);
        EXPECT_FALSE(m.Material.Blended);
        EXPECT_EQ(FileNameOf(m.Material.DiffuseMap), std::string(n) + ".tga");
        ASSERT_EQ(m.VertCount, 4);
        for (int32_t i = 0; i < 4; ++i) {
            const float* v = &m.Vertices[static_cast<size_t>(i) * StaticVertexSize];
            EXPECT_FLOAT_EQ(std::fabs(v[0]), 1.0f);
            EXPECT_FLOAT_EQ(std::fabs(v[1]), 1.0f);
            EXPECT_FLOAT_EQ(v[2], 0.0f);
            EXPECT_FLOAT_EQ(v[5], 1.0f);
            // the picture upright: u grows with x, v with y
            EXPECT_FLOAT_EQ(v[12], (v[0] + 1) / 2);
            EXPECT_FLOAT_EQ(v[13], (v[1] + 1) / 2);
        }
        // both triangles face +z
        for (const auto& t : m.Triangles) {
            const float* a = &m.Vertices[static_cast<size_t>(t.A) * StaticVertexSize];
            const float* b = &m.Vertices[static_cast<size_t>(t.B) * StaticVertexSize];
            const float* c = &m.Vertices[static_cast<size_t>(t.C) * StaticVertexSize];
            EXPECT_GT((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]), 0.0f);
        }
    }
}

TEST_F(GeneratedData, MarkersPointAlongXFromTheirBase) {
    for (const char* n : {"Flag", "Arrow", "ArrowSmall", "Pica"}) {
        SCOPED_TRACE(n);
        const TStoredRendData* rend = GetModelRendData(LoadModel(n));
        ASSERT_NE(rend, nullptr);
        EXPECT_GT(rend->BoxMin.x, -0.25f) << "the origin is at the base";
        EXPECT_GT(rend->BoxMax.x, 0.7f) << "it points along +x";
        EXPECT_GT(rend->BoxMax.x, 2 * std::max(-rend->BoxMin.z, rend->BoxMax.z));
        EXPECT_GE(rend->BoxMin.y, -0.1f);
    }
    // the flag stands up from the ground; the order arrows lie on it, see-through
    EXPECT_GT(GetModelRendData(LoadModel("Flag"))->BoxMax.y, 1.2f);
    for (const char* n : {"Arrow", "ArrowSmall"}) {
        const TStoredRendData* rend = GetModelRendData(LoadModel(n));
        EXPECT_LT(rend->BoxMax.y, 0.2f);
        EXPECT_TRUE(rend->Meshes[0].Material.Blended);
    }
    EXPECT_GT(GetModelRendData(LoadModel("Arrow"))->BoxMax.x,
              GetModelRendData(LoadModel("ArrowSmall"))->BoxMax.x);
}

TEST_F(GeneratedData, TreesStandOnTheirTrunkWithAlphaTestedFoliage) {
    for (const char* n : {"Tree1", "Tree2", "Tree3"}) {
        SCOPED_TRACE(n);
        const TStoredRendData* rend = GetModelRendData(LoadModel(n));
        ASSERT_NE(rend, nullptr);
        EXPECT_NEAR(rend->BoxMin.y, 0.0f, 0.2f);
        EXPECT_GT(rend->BoxMax.y, 3.0f);
        // the trunk (the first mesh) rises round the origin
        const TStoredRenderMesh& trunk = rend->Meshes[0];
        EXPECT_LT(std::max(-trunk.BoxMin.x, trunk.BoxMax.x), 1.5f);
        EXPECT_NEAR(trunk.BoxMin.y, 0.0f, 0.05f);
        int foliage = 0;
        for (const auto& m : rend->Meshes) {
            if (!m.Material.AlphaTest)
                continue;
            ++foliage;
            const TStoredTextureData* tex = GetTextureData(LoadTexture(m.Material.DiffuseMap, true));
            ASSERT_NE(tex, nullptr);
            ASSERT_EQ(tex->Format, static_cast<uint32_t>(GL_RGBA));
            size_t holes = 0;
            for (size_t i = 3; i < tex->Pixels.size(); i += 4)
                holes += tex->Pixels[i] < 128;
            EXPECT_GT(holes, tex->Pixels.size() / 4 / 10) << "foliage needs gaps to be alpha-tested";
            EXPECT_LT(holes, tex->Pixels.size() / 4 * 9 / 10);
        }
        EXPECT_EQ(foliage, 1);
    }
}

TEST_F(GeneratedData, SoldiersFindTheirClipsAndFitTheRenderer) {
    for (const char* n : Soldiers) {
        SCOPED_TRACE(n);
        TGamePersonage p(n, 1);
        ASSERT_NE(p.RendData, nullptr);
        const int32_t bones = p.RendData->BoneCount;
        EXPECT_GT(bones, 10);
        EXPECT_LE(bones, ShaderBones);
        for (int32_t role : {crIdle, crWalk, crRun, crAttack, crDeath})
            EXPECT_GE(p.Clips[role], 0) << "role " << role;
        EXPECT_EQ(p.Clips[crAttack2] >= 0, std::string(n) == "Kestrin") << "only the bowman shoots";
        for (int32_t role = 0; role < 6; ++role) {
            const TStoredSkeletData* c = ClipOf(p, role);
            if (!c)
                continue;
            EXPECT_EQ(c->BoneCount, bones);
            EXPECT_GE(c->FrameCount, 3);
            EXPECT_GT(c->FrameRate, 0);
        }
        // drawn by the skinned program: no emission, no blending, no bump map
        for (const auto& m : p.RendData->Meshes) {
            EXPECT_FALSE(m.Material.Emissive);
            EXPECT_FALSE(m.Material.Blended);
            for (int32_t i = 0; i < m.VertCount; ++i) {
                const float* v = &m.Vertices[static_cast<size_t>(i) * SkinnedVertexSize];
                float total = 0;
                for (int k = 0; k < 4; ++k) {
                    ASSERT_EQ(v[14 + k], std::floor(v[14 + k]));
                    ASSERT_GE(v[14 + k], 0.0f);
                    ASSERT_LT(v[14 + k], static_cast<float>(bones));
                    ASSERT_GE(v[18 + k], 0.0f);
                    total += v[18 + k];
                }
                ASSERT_NEAR(total, 1.0f, 1e-4f);
            }
            // seven variant skins, each different from the base one
            const TStoredTextureData* base = GetTextureData(LoadTexture(m.Material.DiffuseMap, true));
            ASSERT_NE(base, nullptr);
            for (int k = 0; k < 7; ++k) {
                ASSERT_FALSE(m.Material.VariantMaps[k].empty()) << "variant " << k + 1;
                const TStoredTextureData* var = GetTextureData(LoadTexture(m.Material.VariantMaps[k], true));
                ASSERT_NE(var, nullptr);
                EXPECT_EQ(var->Width, base->Width);
                EXPECT_NE(var->Pixels, base->Pixels);
            }
        }
        // the first collision mesh is the outline ring round the feet
        const TStoredColidData* colid = GetModelColidData(p.ModelHandle);
        ASSERT_GE(colid->MeshCount, 1);
        EXPECT_LT(colid->Meshes[0].BoxMax.y, 0.1f);
        EXPECT_GE(colid->Meshes[0].VertCount, 8);
    }
}

TEST_F(GeneratedData, LoopingClipsJoinUpAndFiguresKeepTheirFeetOnTheGround) {
    for (const char* n : Soldiers) {
        TGamePersonage p(n, 0);
        const TStoredRendData& rend = *p.RendData;
        for (int32_t role : {crIdle, crWalk, crRun, crAttack, crAttack2}) {
            const TStoredSkeletData* c = ClipOf(p, role);
            if (!c)
                continue;
            SCOPED_TRACE(std::string(n) + " role " + std::to_string(role));
            const int32_t N = c->FrameCount;
            // the frames a loop never shows repeat its ends, so blending in from them is smooth
            for (int32_t b = 0; b < c->BoneCount; ++b) {
                EXPECT_EQ(c->Frames[b][0].Position.x, c->Frames[b][N - 2].Position.x);
                EXPECT_EQ(c->Frames[b][N - 1].Rotation.y, c->Frames[b][1].Rotation.y);
            }
            // after the last looping frame comes frame 1: no larger a jump than between any two
            std::vector<std::vector<TMyVector3f>> frames;
            for (int32_t k = 1; k <= N - 2; ++k)
                frames.push_back(PosedVertices(rend, *c, k));
            float largest = 0;
            for (size_t k = 1; k < frames.size(); ++k)
                largest = std::max(largest, MaxMove(frames[k - 1], frames[k]));
            EXPECT_LE(MaxMove(frames.back(), frames.front()), largest * 1.5f + 1e-4f);
            // the feet stay on the ground (the run leaves it between strides)
            for (size_t k = 0; k < frames.size(); ++k) {
                const TRange r = RangeOf(frames[k]);
                EXPECT_GT(r.Min.y, -0.08f) << "frame " << k + 1 << " sinks into the ground";
                if (role != crRun) {
                    EXPECT_LT(r.Min.y, 0.1f) << "frame " << k + 1 << " floats";
                }
            }
        }
        // standing: 1.4 to 3 units tall on foot or on horseback
        const TRange stand = RangeOf(PosedVertices(rend, *ClipOf(p, crIdle), 1));
        EXPECT_GT(stand.Max.y, 1.4f) << n;
        EXPECT_LT(stand.Max.y, 3.0f) << n;
        // dead: lying on the ground at the end of the clip
        const TStoredSkeletData* death = ClipOf(p, crDeath);
        const TRange dead = RangeOf(PosedVertices(rend, *death, death->FrameCount - 1));
        EXPECT_LT(dead.Max.y, stand.Max.y * 0.55f) << n;
        EXPECT_GT(dead.Min.y, -0.2f) << n;
        // the clip ends in time for the one-second fade before a dead unit is removed (2 s)
        EXPECT_LE(static_cast<float>(death->FrameCount - 1) / static_cast<float>(death->FrameRate),
                  1.0f + 1e-4f);
    }
}

TEST_F(GeneratedData, TheBowmansShotTakesHisReloadTime) {
    TGamePersonage p("Kestrin", 0);
    const TStoredSkeletData* shoot = ClipOf(p, crAttack2);
    ASSERT_NE(shoot, nullptr);
    // one cycle (N - 2 frames) per second: the arrow flies at the same point of every cycle
    EXPECT_FLOAT_EQ(static_cast<float>(shoot->FrameCount - 2) / static_cast<float>(shoot->FrameRate), 1.0f);
}

TEST_F(GeneratedData, TheGeneratorWritesTheSameBytesEveryTime) {
    const std::string tool = BuildRoot + "mygame-data";
    if (!fs::exists(tool))
        GTEST_SKIP() << "mygame-data is not built";
    TempDir again;
    ASSERT_EQ(std::system(("\"" + tool + "\" models \"" + again.path() + "\"").c_str()), 0);
    int compared = 0;
    for (const char* sub : {"Data/Modeles", "Data/Animates", "Data/Textures"}) {
        const std::string dir = again.path() + "/" + sub;
        ASSERT_TRUE(fs::exists(dir));
        for (const auto& f : FilesIn(dir)) {
            SCOPED_TRACE(std::string(sub) + "/" + f);
            EXPECT_EQ(ReadBytes(dir + "/" + f), ReadBytes(BuildRoot + sub + "/" + f));
            ++compared;
        }
    }
    EXPECT_GT(compared, 60);
}

}  // namespace
