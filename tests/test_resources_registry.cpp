// The resource registries: name rules, handles, reference counts, reuse of empty slots,
// log lines and messages, models with their textures and animations, and loading on one
// thread while another reads.

#include "test_resources_support.h"

#include "resources/e_ModelLoader.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

namespace {

// A 2x2 grey TGA whose pixels carry `seed`.
std::vector<uint8_t> TinyTga(uint8_t seed = 1) {
    std::vector<uint8_t> t = TgaHeader(3, 2, 2, 8);
    for (int k = 0; k < 4; ++k)
        t.push_back(uint8_t(seed + k));
    return t;
}

struct MeshSpec {
    std::string Diffuse;
    int Verts = 3;
    std::string Bump;
    std::string Gloss;

    MeshSpec(std::string diffuse, int verts = 3, std::string bump = "", std::string gloss = "")
        : Diffuse(std::move(diffuse)), Verts(verts), Bump(std::move(bump)), Gloss(std::move(gloss)) {}
};

TModelStreamData ModelData(bool skinned, const std::vector<MeshSpec>& meshes) {
    TModelStreamData data;
    data.Skinned = skinned;
    data.Scale = 0.5f;
    data.RendData.BoneCount = skinned ? 2 : 0;
    const int vs = skinned ? SkinnedVertexSize : StaticVertexSize;
    for (size_t m = 0; m < meshes.size(); ++m) {
        TStoredRenderMesh mesh;
        mesh.Name = "mesh" + std::to_string(m);
        mesh.Material.DiffuseMap = meshes[m].Diffuse;
        mesh.Material.BumpMap = meshes[m].Bump;
        mesh.Material.GlossMap = meshes[m].Gloss;
        mesh.BoxMin = {-float(m), 0, 0};
        mesh.BoxMax = {1, float(m + 1), 1};
        for (int v = 0; v < meshes[m].Verts * vs; ++v)
            mesh.Vertices.push_back(float(m * 1000 + v));
        for (int t = 0; t + 2 < meshes[m].Verts; ++t)
            mesh.Triangles.push_back({t, t + 1, t + 2});
        data.RendData.Meshes.push_back(mesh);
    }
    TStoredColideMesh wall;
    wall.Name = "CM_Wall";
    wall.BoxMin = {-2, -2, -2};
    wall.BoxMax = {0, 0, 0};
    wall.Vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    wall.Triangles = {{0, 1, 2}};
    data.ColidData.Meshes.push_back(wall);
    return data;
}

// An animation file: bone b, frame f has position (b, f, 10) and rotation (1, b, f, 0).
std::vector<uint8_t> Psa(int32_t bones, int32_t frames, int32_t rate) {
    TMemoryStream s;
    s.WriteInt32(bones);
    s.WriteInt32(frames);
    s.WriteInt32(rate);
    for (int b = 0; b < bones; ++b)
        for (int f = 0; f < frames; ++f)
            for (float v : {float(b), float(f), 10.0f, 1.0f, float(b), float(f), 0.0f})
                s.WriteSingle(v);
    return s.Bytes();
}

class Registry : public ResourceSystemTest {
protected:
    std::string Tex(const std::string& name) { return Root + "Data/Textures/" + name; }
    std::string Mod(const std::string& name) { return Root + "Data/Modeles/" + name; }
    std::string Anim(const std::string& name) { return Root + "Data/Animates/" + name; }

    void WriteModel(const std::string& path, const TModelStreamData& data,
                    const std::vector<uint8_t>& tail = {}) {
        auto bytes = WriteModelStream(data);
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        WriteBytes(path, bytes);
    }
    TResourceTexture* Texture(int32_t h) { return static_cast<TResourceTexture*>(TextureList()->GetItem(h)); }
    TResourceModel* Model(int32_t h) { return static_cast<TResourceModel*>(ModelList()->GetItem(h)); }
};

}  // namespace

// ---- Textures ----------------------------------------------------------------------------

TEST_F(Registry, TextureNamesHandlesAndReferenceCounts) {
    WriteBytes(Tex("grass.tga"), TinyTga());

    // A bare name gets the extension and the folder, and finds the file in any case.
    int32_t h = LoadTexture("grass", false);
    ASSERT_EQ(h, 0);
    const std::string full = Tex("grass.TGA");
    EXPECT_EQ(Texture(h)->Name, full);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"CreateTexture: \"" + full + "\" ...",
                                                 "CreateTexture: \"" + full + "\" - complete."}));
    EXPECT_EQ(LoadTexture("grass", true), h);
    EXPECT_EQ(Texture(h)->RefCount, 2);
    EXPECT_EQ(Lines().size(), 2u) << "a known name is not read again";
    ASSERT_NE(GetTextureData(h), nullptr);
    EXPECT_EQ(GetTextureData(h)->Format, GLenum(GL_LUMINANCE));
    EXPECT_FALSE(Texture(h)->Mipmaps) << "the first load decides";

    // Names are compared exactly: another spelling of the same file is another texture.
    int32_t other = LoadTexture(Root + "Data/../Data/Textures/grass.tga", false);
    EXPECT_EQ(other, 1);
    EXPECT_EQ(LoadTexture(full, false), h) << "a name with a folder is used unchanged";

    // Preloading registers without counting; a later load counts once.
    WriteBytes(Tex("sky.tga"), TinyTga());
    PreloadTexture("sky.tga", true);
    PreloadTexture("sky.tga", true);
    EXPECT_EQ(TextureList()->GetCount(), 3);
    EXPECT_EQ(Texture(2)->RefCount, 0);
    EXPECT_EQ(LoadTexture("sky.tga", true), 2);
    EXPECT_EQ(Texture(2)->RefCount, 1);
    PreloadTexture("sky.tga", true);
    EXPECT_EQ(Texture(2)->RefCount, 1);

    // No file part: nothing happens at all.
    ClearLines();
    EXPECT_EQ(LoadTexture("", true), -1);
    EXPECT_EQ(LoadTexture("Data/Textures/", true), -1);
    PreloadTexture(Root, true);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(TextureList()->GetCount(), 3);
}

TEST_F(Registry, TextureFailuresAreReportedAndTakeNoSlot) {
    // Missing: logged, no box.
    EXPECT_EQ(LoadTexture("Nowhere", true), -1);
    const std::string missing = Tex("Nowhere.TGA");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"CreateTexture: \"" + missing + "\" ...",
                                                 "error: file \"" + missing + "\" not found"}));
    EXPECT_EQ(Messages().find("Program Message:"), std::string::npos);

    // Damaged and unknown files: a box each, no "complete" line.
    WriteBytes(Tex("broken.tga"), {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 32, 0, 0x85, 1, 2, 3, 4});
    WriteBytes(Tex("photo.png"), {1, 2, 3});
    ClearLines();
    EXPECT_EQ(LoadTexture("broken.tga", true), -1);
    EXPECT_EQ(LoadTexture("photo.png", true), -1);
    EXPECT_NE(Messages().find("Файл \"" + Tex("broken.tga") + "\" поврежден. Загрузка невозможна."),
              std::string::npos);
    EXPECT_NE(Messages().find("File \"" + Tex("photo.png") + "\" unknown type"), std::string::npos);
    for (const auto& line : Lines())
        EXPECT_EQ(line.find("complete"), std::string::npos) << line;
    EXPECT_EQ(TextureList()->GetCount(), 0);

    // BMP files are textures too.
    WriteBytes(Tex("wall.bmp"), ReadBytes(TestDataPath("images/bmp/g/rgb24.bmp")));
    int32_t h = LoadTexture("wall.bmp", false);
    ASSERT_EQ(h, 0);
    EXPECT_EQ(GetTextureData(h)->Width, 127);
    EXPECT_EQ(GetTextureData(h)->Format, GLenum(GL_RGB));
}

TEST_F(Registry, BadHandlesAndUnitsAreProgrammingErrors) {
    WriteBytes(Tex("a.tga"), TinyTga());
    int32_t h = LoadTexture("a", true);
    ASSERT_EQ(h, 0);
    TResourceList* list = TextureList();
    EXPECT_EQ(list->GetItem(-1), nullptr);
    EXPECT_EQ(list->GetItem(list->GetCount()), nullptr);
    EXPECT_THROW(list->SetItem(list->GetCount(), nullptr), std::out_of_range);
    EXPECT_THROW(list->SetItem(-1, nullptr), std::out_of_range);
    // Checked before any OpenGL call, so no context is needed here.
    EXPECT_THROW(BindTexture(h, 8), std::out_of_range);
    EXPECT_THROW(BindTexture(h, -1), std::out_of_range);
    EXPECT_THROW(BindTexture(-1, 0), std::out_of_range);
    EXPECT_THROW(BindTexture(5, 0), std::out_of_range);

    EXPECT_EQ(GetTextureData(-1), nullptr);
    EXPECT_EQ(GetTextureData(1), nullptr);
    EXPECT_EQ(GetModelRendData(0), nullptr);
    EXPECT_EQ(GetModelColidData(-1), nullptr);
    EXPECT_EQ(GetModelVBOData(3), nullptr);
    EXPECT_EQ(GetSkeletData(0), nullptr);
    EXPECT_EQ(GetAnimationName(0), "");
    EXPECT_THROW(AddAnimation(nullptr), std::invalid_argument);
}

// ---- Models ------------------------------------------------------------------------------

TEST_F(Registry, ModelNamesFoldersAndTypes) {
    WriteModel(Mod("Bowman.PRM"), ModelData(false, {{"bow.tga"}}));
    WriteModel(Anim("Knight.PAM"), ModelData(true, {{"knight.tga"}}));
    WriteModel(Mod("squire.pam"), ModelData(true, {{"knight.tga"}}));

    // A bare name becomes a static model in the models folder.
    int32_t bowman = LoadModel("Bowman");
    ASSERT_EQ(bowman, 0);
    EXPECT_EQ(Model(bowman)->Name, Mod("Bowman.PRM"));
    EXPECT_EQ(Model(bowman)->VertexSize, 14);
    EXPECT_EQ(Model(bowman)->RefCount, 1);
    const auto lines = Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), "CreateModel: \"" + Mod("Bowman.PRM") + "\" ...");
    EXPECT_EQ(lines.back(), "CreateModel: \"" + Mod("Bowman.PRM") + "\" - complete.");
    EXPECT_EQ(LoadModel("Bowman"), bowman);
    EXPECT_EQ(LoadModel(Mod("Bowman.PRM")), bowman);
    EXPECT_EQ(Model(bowman)->RefCount, 3);

    // ".PAM" exactly sends a bare name to the animations folder; any case reads skinned.
    int32_t knight = LoadModel("Knight.PAM");
    ASSERT_EQ(knight, 1);
    EXPECT_EQ(Model(knight)->Name, Anim("Knight.PAM"));
    EXPECT_EQ(Model(knight)->VertexSize, 22);
    EXPECT_EQ(Model(knight)->Scale, 0.5f);
    EXPECT_EQ(GetModelRendData(knight)->BoneCount, 2);
    int32_t squire = LoadModel("squire.pam");
    ASSERT_EQ(squire, 2);
    EXPECT_EQ(Model(squire)->Name, Mod("squire.pam"));
    EXPECT_EQ(Model(squire)->VertexSize, 22);

    // The records are filled and the boxes are the union of the meshes'.
    const TStoredRendData* rend = GetModelRendData(bowman);
    ASSERT_NE(rend, nullptr);
    EXPECT_EQ(rend->BoneCount, 0);
    EXPECT_EQ(rend->MeshCount, 1);
    EXPECT_EQ(rend->Meshes[0].Vertices.size(), 3u * 14);
    const TStoredColidData* colid = GetModelColidData(bowman);
    ASSERT_NE(colid, nullptr);
    EXPECT_EQ(colid->MeshCount, 1);
    EXPECT_EQ(colid->BoxMin.x, -2.0f);
    EXPECT_FALSE(Model(bowman)->Uploaded);
}

TEST_F(Registry, FailedModelsLeaveASlotThatTheNextModelTakes) {
    WriteModel(Mod("Tree.PRM"), ModelData(false, {{"bark.tga"}}));
    WriteBytes(Mod("thing.obj"), {1, 2, 3});

    EXPECT_EQ(LoadModel("Ghost"), -1);
    EXPECT_NE(Messages().find("File \"" + Mod("Ghost.PRM") + "\" not found"), std::string::npos);
    EXPECT_EQ(ModelList()->GetCount(), 1);
    EXPECT_EQ(ModelList()->GetItem(0), nullptr);
    EXPECT_EQ(GetModelRendData(0), nullptr);

    EXPECT_EQ(LoadModel("thing.obj"), -1);
    EXPECT_NE(Messages().find("File \"" + Mod("thing.obj") + "\" unknown type"), std::string::npos);
    EXPECT_EQ(ModelList()->GetCount(), 1) << "the empty slot was used again";

    // A damaged stream throws to the caller, naming the file; its slot stays empty.
    auto bytes = WriteModelStream(ModelData(false, {{"bark.tga", 6}}));
    bytes.resize(bytes.size() - 10);
    WriteBytes(Mod("Cut.PRM"), bytes);
    try {
        LoadModel("Cut");
        ADD_FAILURE() << "no exception";
    } catch (const TStreamReadError& e) {
        EXPECT_NE(std::string(e.what()).find("Cut.PRM"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ModelList()->GetCount(), 1);

    EXPECT_EQ(LoadModel("Tree"), 0);
    EXPECT_EQ(ModelList()->GetCount(), 1);
    for (const auto& line : Lines())
        EXPECT_TRUE(line.find("complete") == std::string::npos || line.find("Tree") != std::string::npos ||
                    line.find("bark") != std::string::npos)
            << line;
}

TEST_F(Registry, InterchangeModelsGoThroughTheirReaders) {
    SetModelMessageProc([](const std::string&, const std::string&) {});
    WriteBytes(Mod("cube.ase"), ReadBytes(TestDataPath("models/ase/uvtransform/UVTransform_Normal.ASE")));
    WriteBytes(Mod("box.3ds"), ReadBytes(TestDataPath("models/3ds/cube_with_diffuse_texture.3DS")));
    WriteText(Mod("junk.ase"), "nothing to see\n");
    int32_t ase = LoadModel("cube.ase");
    int32_t tds = LoadModel("box.3ds");
    ASSERT_GE(ase, 0);
    ASSERT_GE(tds, 0);
    for (int32_t h : {ase, tds}) {
        EXPECT_EQ(Model(h)->VertexSize, 14) << "converted models are static";
        EXPECT_GT(GetModelRendData(h)->MeshCount, 0);
        EXPECT_TRUE(GetModelRendData(h)->Animations.empty());
    }
    EXPECT_EQ(LoadModel("junk.ase"), -1);
    EXPECT_NE(Messages().find("Файл \"" + Mod("junk.ase") + "\" поврежден. Загрузка невозможна."),
              std::string::npos);
    SetModelMessageProc(nullptr);
}

TEST_F(Registry, ModelTexturesAreRegisteredWithTheirVariants) {
    for (const char* name : {"Soldier.tga", "Soldier_1.tga", "soldier_3.TGA", "Soldier_bump.tga"})
        WriteBytes(Tex(name), TinyTga());
    WriteModel(Mod("Soldier.PRM"), ModelData(false, {{"Soldier.tga", 3, "", "SoldierGloss.tga"},
                                                     {"Soldier_bump.tga", 3, "", ""}}));
    int32_t h = LoadModel("Soldier");
    ASSERT_EQ(h, 0);
    const TMatTexNames& mat = GetModelRendData(h)->Meshes[0].Material;
    EXPECT_EQ(mat.DiffuseMap, Tex("Soldier.tga"));
    EXPECT_EQ(mat.VariantMaps[0], Tex("Soldier_1.tga"));
    EXPECT_EQ(mat.VariantMaps[1], "");
    EXPECT_EQ(mat.VariantMaps[2], Tex("Soldier_3.tga"));
    for (int k = 3; k < 7; ++k)
        EXPECT_EQ(mat.VariantMaps[k], "") << k;
    EXPECT_EQ(mat.BumpMap, Tex("")) << "an empty name keeps only the folder";
    EXPECT_EQ(mat.GlossMap, Tex("SoldierGloss.tga"));

    // Diffuse, its variants, then the gloss map (missing: logged, no slot); then mesh 2.
    std::vector<std::string> names;
    for (int32_t i = 0; i < TextureList()->GetCount(); ++i) {
        names.push_back(Texture(i)->Name);
        EXPECT_EQ(Texture(i)->RefCount, 0) << "preloading counts no reference";
        EXPECT_TRUE(Texture(i)->Mipmaps);
    }
    EXPECT_EQ(names, (std::vector<std::string>{Tex("Soldier.tga"), Tex("Soldier_1.tga"), Tex("Soldier_3.tga"),
                                               Tex("Soldier_bump.tga")}));
    const auto lines = Lines();
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), "error: file \"" + Tex("SoldierGloss.tga") + "\" not found"),
        lines.end());
}

TEST_F(Registry, WithoutATexturesFolderModelsFindTexturesBesideThem) {
    FreeResourceSystem();
    InitResourceSystem(CaptureLog, Root, "", "Data/Modeles/", "Data/Animates/");
    WriteBytes(Mod("Rock.tga"), TinyTga());
    WriteModel(Mod("Rock.PRM"), ModelData(false, {{"Rock.tga"}}));
    int32_t h = LoadModel("Rock");
    ASSERT_EQ(h, 0);
    EXPECT_EQ(GetModelRendData(h)->Meshes[0].Material.DiffuseMap, Mod("Rock.tga"));
    EXPECT_EQ(TextureList()->GetCount(), 1);
}

// ---- Animations --------------------------------------------------------------------------

TEST_F(Registry, AnEmbeddedAnimationIsTheOnlyOne) {
    WriteModel(Anim("Knight.PAM"), ModelData(true, {{"k.tga"}}), Psa(2, 3, 10));
    WriteBytes(Anim("Knight_Walk.PSA"), Psa(2, 4, 10));
    int32_t h = LoadModel("Knight.PAM");
    ASSERT_EQ(h, 0);
    const TStoredRendData* rend = GetModelRendData(h);
    ASSERT_EQ(rend->Animations.size(), 1u);
    const int32_t a = rend->Animations[0];
    EXPECT_EQ(GetAnimationName(a), "");
    EXPECT_EQ(AnimationList()->GetCount(), 1);
    EXPECT_EQ(AnimationList()->GetItem(a)->RefCount, 1);
    const TStoredSkeletData* skel = GetSkeletData(a);
    ASSERT_NE(skel, nullptr);
    EXPECT_EQ(skel->BoneCount, 2);
    EXPECT_EQ(skel->FrameCount, 3);
    EXPECT_EQ(skel->FrameRate, 10);
    // Positions follow the model's scale of 0.5; rotations do not.
    const TBoneFrame& f = skel->Frames[1][2];
    EXPECT_EQ(f.Position.x, 0.5f);
    EXPECT_EQ(f.Position.y, 1.0f);
    EXPECT_EQ(f.Position.z, 5.0f);
    EXPECT_EQ(f.Rotation.x, 1.0f);
    EXPECT_EQ(f.Rotation.y, 1.0f);
    EXPECT_EQ(f.Rotation.z, 2.0f);
    EXPECT_EQ(f.Rotation.w, 0.0f);
}

TEST_F(Registry, AnimationFilesBesideTheModelAreLoaded) {
    WriteModel(Anim("Knight.PAM"), ModelData(true, {{"k.tga"}}));
    WriteModel(Anim("Peasant.PAM"), ModelData(true, {{"p.tga"}}));
    WriteBytes(Anim("Knight_Walk.PSA"), Psa(2, 4, 10));
    WriteBytes(Anim("knight_idle.psa"), Psa(2, 5, 12));
    WriteBytes(Anim("Other_Walk.PSA"), Psa(2, 4, 10));
    int32_t knight = LoadModel("Knight.PAM");
    ASSERT_EQ(knight, 0);
    const auto& anims = GetModelRendData(knight)->Animations;
    ASSERT_EQ(anims.size(), 2u);
    std::set<std::string> names = {GetAnimationName(anims[0]), GetAnimationName(anims[1])};
    EXPECT_EQ(names, (std::set<std::string>{Anim("Knight_Walk.PSA"), Anim("knight_idle.psa")}));
    for (int32_t a : anims) {
        const TStoredSkeletData* skel = GetSkeletData(a);
        ASSERT_NE(skel, nullptr);
        EXPECT_EQ(skel->Frames[1][1].Position.x, 0.5f);
        EXPECT_EQ(skel->FrameRate, GetAnimationName(a).ends_with("idle.psa") ? 12 : 10);
    }
    // No trailing bytes and no matching files: no animations.
    int32_t peasant = LoadModel("Peasant.PAM");
    ASSERT_EQ(peasant, 1);
    EXPECT_TRUE(GetModelRendData(peasant)->Animations.empty());

    // A damaged animation file fails the model load.
    WriteModel(Anim("Archer.PAM"), ModelData(true, {{"a.tga"}}));
    auto cut = Psa(2, 4, 10);
    cut.resize(cut.size() - 1);
    WriteBytes(Anim("Archer_Run.PSA"), cut);
    EXPECT_THROW(LoadModel("Archer.PAM"), TStreamReadError);
}

TEST(SkeletalAnimation, CountsThatCannotBeRightAreRefused) {
    auto read = [](int32_t bones, int32_t frames, size_t payload) {
        TMemoryStream s;
        s.WriteInt32(bones);
        s.WriteInt32(frames);
        s.WriteInt32(10);
        std::vector<uint8_t> zeros(payload);
        s.WriteBuffer(zeros.data(), zeros.size());
        TSkeletalAnimation anim("clip.psa", 1.0f, s);
        return anim.Data.Frames.size();
    };
    EXPECT_EQ(read(2, 3, 2 * 3 * 28), 2u);
    EXPECT_EQ(read(4, 0, 0), 4u);
    EXPECT_THROW(read(2, 3, 2 * 3 * 28 - 1), TStreamReadError);
    EXPECT_THROW(read(-1, 3, 100), TStreamReadError);
    EXPECT_THROW(read(3, -1, 100), TStreamReadError);
    EXPECT_THROW(read(0x7FFFFFFF, 0x7FFFFFFF, 100), TStreamReadError);
    EXPECT_THROW(read(0x7FFFFFFF, 0, 0), TStreamReadError);
}

// Counts whose product with the record size passes 64 bits wrap to a size the file
// seems to hold; the clip is refused before anything is allocated, whether it sits
// in its own file or inside the model, and the refusal names the file.
TEST_F(Registry, AnimationCountsThatWrapAroundAreRefusedWithTheFileName) {
    TMemoryStream wrap;
    wrap.WriteInt32(306911945);
    wrap.WriteInt32(2146584058);
    wrap.WriteInt32(10);
    std::vector<uint8_t> zeros(87064);
    wrap.WriteBuffer(zeros.data(), zeros.size());
    auto message = [&](const std::string& model) -> std::string {
        try {
            LoadModel(model);
        } catch (const TStreamReadError& e) {
            return e.what();
        }
        return "loaded";
    };
    WriteModel(Anim("Giant.PAM"), ModelData(true, {{"g.tga"}}), wrap.Bytes());
    const std::string embedded = message("Giant.PAM");
    EXPECT_NE(embedded.find(Anim("Giant.PAM")), std::string::npos) << embedded;
    EXPECT_NE(embedded.find("306911945 bones and 2146584058 frames"), std::string::npos) << embedded;

    WriteModel(Anim("Troll.PAM"), ModelData(true, {{"t.tga"}}));
    WriteBytes(Anim("Troll_Walk.PSA"), wrap.Bytes());
    const std::string file = message("Troll.PAM");
    EXPECT_NE(file.find(Anim("Troll_Walk.PSA")), std::string::npos) << file;
    EXPECT_NE(file.find("306911945 bones and 2146584058 frames"), std::string::npos) << file;
}

TEST_F(Registry, AnOutdatedModelEndsTheProgramWithAMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto bytes = WriteModelStream(ModelData(false, {{"x.tga"}}));
    bytes[0] = 199;
    WriteBytes(Mod("Old.PRM"), bytes);
    // The child runs in a fresh copy of the test, with a folder of its own inside this one.
    TChildFoldersInside inside(dir);
    EXPECT_EXIT(LoadModel("Old"), ::testing::ExitedWithCode(0),
                "Версия файла \"/.*/Data/Modeles/Old\\.PRM\" устарела\\. Загрузка невозможна\\.");
}

// ---- Threads -----------------------------------------------------------------------------

TEST_F(Registry, LoadingThreadAndReadersShareTheRegistries) {
    constexpr int TextureCount = 40;
    constexpr int ModelCount = 10;
    auto texName = [](int i) { return "t" + std::to_string(i) + ".tga"; };
    for (int i = 0; i < TextureCount; ++i)
        WriteBytes(Tex(texName(i)), TinyTga(uint8_t(i)));
    for (int i = 0; i < ModelCount; ++i)
        WriteModel(Mod("m" + std::to_string(i) + ".PRM"),
                   ModelData(false, {{texName(TextureCount - 1 - i)}}));

    std::atomic<bool> done{false};
    std::atomic<bool> reading{false};
    std::vector<int32_t> textureHandles, modelHandles;
    std::thread loader([&] {
        while (!reading)
            std::this_thread::yield();
        for (int i = 0; i < TextureCount; ++i) {
            textureHandles.push_back(LoadTexture(texName(i), true));
            if (i % 4 == 0) {
                EXPECT_EQ(LoadModel("missing" + std::to_string(i)), -1);  // leaves a slot for the next one
                modelHandles.push_back(LoadModel("m" + std::to_string(i / 4)));
            }
        }
        done = true;
    });

    // Meanwhile this thread reads everything it can see, counts references to t0 and
    // preloads names that the loader will reach later.
    int extraRefs = 0;
    int preload = TextureCount / 2;
    uint64_t seen = 0;
    do {
        reading = true;
        for (TResourceList* list : {ModelList(), TextureList(), AnimationList()}) {
            const int32_t n = list->GetCount();
            for (int32_t h = 0; h < n; ++h)
                if (TResourceEntity* item = list->GetItem(h))
                    seen += item->Name.size() + uint64_t(item->RefCount.load());
        }
        for (int32_t h = 0; h < TextureList()->GetCount(); ++h)
            if (const TStoredTextureData* data = GetTextureData(h))
                seen += data->Pixels.size();
        for (int32_t h = 0; h < ModelList()->GetCount(); ++h)
            if (const TStoredRendData* rend = GetModelRendData(h))
                seen += rend->Meshes.size();
        if (TextureList()->GetCount() > 0 && TextureList()->Find(Tex(texName(0))) >= 0) {
            EXPECT_GE(LoadTexture(texName(0), true), 0);
            ++extraRefs;
        }
        if (preload < TextureCount)
            PreloadTexture(texName(preload++), true);
        std::this_thread::yield();
    } while (!done);
    loader.join();
    RecordProperty("bytes_seen_while_loading", std::to_string(seen));

    // Every name is registered once, whichever thread created it.
    std::set<std::string> names;
    for (int32_t h = 0; h < TextureList()->GetCount(); ++h)
        names.insert(TextureList()->GetItem(h)->Name);
    EXPECT_EQ(names.size(), size_t(TextureList()->GetCount()));
    EXPECT_EQ(TextureList()->GetCount(), TextureCount);
    for (int i = 0; i < TextureCount; ++i)
        EXPECT_EQ(TextureList()->Find(Tex(texName(i))), textureHandles[size_t(i)]);
    EXPECT_EQ(Texture(textureHandles[0])->RefCount, 1 + extraRefs);

    // Models fill the slots in order; every failed load's slot was taken by the next model.
    ASSERT_EQ(modelHandles.size(), size_t(ModelCount));
    for (int i = 0; i < ModelCount; ++i)
        EXPECT_EQ(modelHandles[size_t(i)], i);
    EXPECT_EQ(ModelList()->GetCount(), ModelCount);

    // Creations never interleave: each "..." line is followed by its own outcome.
    const auto lines = Lines();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].starts_with("CreateTexture: ") && lines[i].ends_with("\" ...")) {
            ASSERT_LT(i + 1, lines.size());
            const std::string name = lines[i].substr(15, lines[i].size() - 15 - 4);
            EXPECT_EQ(lines[i + 1], "CreateTexture: " + name + " - complete.");
        }
    }
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "-wait-"), 0);
}
