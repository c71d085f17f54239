// The ASE and 3DS readers: hand-written files in the exporters' layout, their messages,
// damaged input, and the third-party files in testdata/models.

#include "resources/e_ModelLoader.h"

#include "TestSupport.h"
#include "test_resources_messages.h"
#include "app/e_Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>

namespace {

std::vector<uint8_t> ToBytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// Everything a reader collected, as text, to compare two reads.
std::string Dump(const TLoadModelData& d) {
    std::ostringstream o;
    o << "materials " << d.MaterialCount << "\n";
    for (const auto& m : d.Materials)
        o << "  [" << m.TextureName << "][" << m.AuxName << "]\n";
    for (const auto& g : d.Geoms) {
        const auto& m = g.Mesh;
        o << "object [" << g.Name << "] material " << g.MaterialRef << " counts " << m.VertCount << " "
          << m.FaceCount << " " << m.TVertCount << " " << m.TFaceCount << "\n";
        for (const auto& v : m.Vertices)
            o << "  v " << v.x << " " << v.y << " " << v.z << "\n";
        for (const auto& f : m.Faces)
            o << "  f " << f.A << " " << f.B << " " << f.C << " s" << f.Smoothing << "\n";
        for (const auto& t : m.TVerts)
            o << "  t " << t.x << " " << t.y << "\n";
        for (const auto& t : m.TFaces)
            o << "  tf " << t.A << " " << t.B << " " << t.C << "\n";
    }
    return o.str();
}

// ---- ASE files in the exporter's layout ----

struct AseMaterial {
    std::string cls = "Standard";
    std::string bitmap;  // empty: no diffuse map
};

struct AseObject {
    std::string name;
    std::vector<std::array<float, 3>> verts;
    std::vector<std::array<int, 3>> faces;
    std::vector<std::string> smoothing;  // one per face, as written
    std::vector<std::array<float, 3>> tverts;
    std::vector<std::array<int, 3>> tfaces;
    int materialRef = 0;  // -1: no *MATERIAL_REF line
};

std::string Num(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    return buf;
}

std::string AseFile(const std::vector<AseMaterial>& mats, const std::vector<AseObject>& objs) {
    std::string s =
        "*3DSMAX_ASCIIEXPORT\t200\n*COMMENT \"AsciiExport Version  2,00\"\n*SCENE {\n"
        "\t*SCENE_FILENAME \"test.max\"\n}\n*MATERIAL_LIST {\n";
    s += "\t*MATERIAL_COUNT " + std::to_string(mats.size()) + "\n";
    for (size_t i = 0; i < mats.size(); ++i) {
        s += "\t*MATERIAL " + std::to_string(i) + " {\n\t\t*MATERIAL_NAME \"Mat" + std::to_string(i) + "\"\n";
        s += "\t\t*MATERIAL_CLASS \"" + mats[i].cls + "\"\n\t\t*MATERIAL_AMBIENT 0.5882\t0.5882\t0.5882\n";
        if (!mats[i].bitmap.empty()) {
            s +=
                "\t\t*MAP_DIFFUSE {\n\t\t\t*MAP_NAME \"Map #1\"\n\t\t\t*MAP_CLASS \"Bitmap\"\n\t\t\t*MAP_SUBNO 1\n"
                "\t\t\t*MAP_AMOUNT 1.0000\n\t\t\t*BITMAP \"" +
                mats[i].bitmap + "\"\n\t\t\t*MAP_TYPE Screen\n\t\t}\n";
        }
        s += "\t}\n";
    }
    s += "}\n";
    for (const auto& o : objs) {
        s += "*GEOMOBJECT {\n\t*NODE_NAME \"" + o.name + "\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"" + o.name +
             "\"\n\t\t*TM_ROW0 1.0000\t0.0000\t0.0000\n\t}\n\t*MESH {\n\t\t*TIMEVALUE 0\n";
        s += "\t\t*MESH_NUMVERTEX " + std::to_string(o.verts.size()) + "\n";
        s += "\t\t*MESH_NUMFACES " + std::to_string(o.faces.size()) + "\n\t\t*MESH_VERTEX_LIST {\n";
        for (size_t i = 0; i < o.verts.size(); ++i)
            s += "\t\t\t*MESH_VERTEX    " + std::to_string(i) + "\t" + Num(o.verts[i][0]) + "\t" +
                 Num(o.verts[i][1]) + "\t" + Num(o.verts[i][2]) + "\n";
        s += "\t\t}\n\t\t*MESH_FACE_LIST {\n";
        for (size_t i = 0; i < o.faces.size(); ++i) {
            const auto& f = o.faces[i];
            s += "\t\t\t*MESH_FACE    " + std::to_string(i) + ":    A:    " + std::to_string(f[0]) +
                 " B:    " + std::to_string(f[1]) + " C:    " + std::to_string(f[2]) +
                 " AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING " + o.smoothing[i] + " \t*MESH_MTLID 0\n";
        }
        s += "\t\t}\n\t\t*MESH_NUMTVERTEX " + std::to_string(o.tverts.size()) + "\n";
        if (!o.tverts.empty()) {
            s += "\t\t*MESH_TVERTLIST {\n";
            for (size_t i = 0; i < o.tverts.size(); ++i)
                s += "\t\t\t*MESH_TVERT " + std::to_string(i) + "\t" + Num(o.tverts[i][0]) + "\t" +
                     Num(o.tverts[i][1]) + "\t" + Num(o.tverts[i][2]) + "\n";
            s += "\t\t}\n\t\t*MESH_NUMTVFACES " + std::to_string(o.tfaces.size()) +
                 "\n\t\t*MESH_TFACELIST {\n";
            for (size_t i = 0; i < o.tfaces.size(); ++i)
                s += "\t\t\t*MESH_TFACE " + std::to_string(i) + "\t" + std::to_string(o.tfaces[i][0]) + "\t" +
                     std::to_string(o.tfaces[i][1]) + "\t" + std::to_string(o.tfaces[i][2]) + "\n";
            s += "\t\t}\n";
        }
        s += "\t\t*MESH_NUMCVERTEX 0\n\t}\n\t*PROP_MOTIONBLUR 0\n\t*PROP_CASTSHADOW 1\n";
        if (o.materialRef >= 0)
            s += "\t*MATERIAL_REF " + std::to_string(o.materialRef) + "\n";
        s += "}\n";
    }
    return s;
}

AseObject Quad(const std::string& name, int materialRef) {
    AseObject o;
    o.name = name;
    o.verts = {{{1, 2, 3}}, {{4, 2, 3}}, {{4, 6, 3}}, {{1, 6, 3}}};
    o.faces = {{{0, 1, 2}}, {{2, 3, 0}}};
    o.smoothing = {"1,33", "2,3"};
    o.tverts = {{{0, 0, 0}}, {{0.25f, 0, 0}}, {{0.25f, 0.75f, 0}}, {{0, 0.75f, 0}}, {{0.5f, 0.5f, 0}}};
    o.tfaces = {{{0, 1, 2}}, {{2, 3, 4}}};
    o.materialRef = materialRef;
    return o;
}

std::string SampleAse() {
    return AseFile({{"Standard", "C:\\Art\\maps\\Stone Wall.tga"}, {"Standard", ""}},
                   {Quad("Wall", 0), Quad("CM_Wall", -1), Quad("Roof", 1)});
}

TEST(ReadASE, ReadsTheExportersLayout) {
    TLoadModelData d;
    MessageCapture capture;
    ASSERT_TRUE(ReadASEData(ToBytes(SampleAse()), d));
    EXPECT_TRUE(Messages.empty());
    ASSERT_EQ(d.MaterialCount, 2);
    EXPECT_EQ(d.Materials[0].TextureName, "Stone Wall.tga");
    EXPECT_EQ(d.Materials[1].TextureName, "");
    EXPECT_EQ(d.Materials[0].AuxName, "");
    ASSERT_EQ(d.Geoms.size(), 3u);
    const TGeomData& g = d.Geoms[0];
    EXPECT_EQ(g.Name, "Wall");
    EXPECT_EQ(g.MaterialRef, 0);
    EXPECT_EQ(d.Geoms[1].MaterialRef, -1);
    EXPECT_EQ(d.Geoms[2].MaterialRef, 1);
    // A file point (x, y, z) becomes (x, z, -y).
    ASSERT_EQ(g.Mesh.VertCount, 4);
    EXPECT_EQ(g.Mesh.Vertices[0].x, 1.0f);
    EXPECT_EQ(g.Mesh.Vertices[0].y, 3.0f);
    EXPECT_EQ(g.Mesh.Vertices[0].z, -2.0f);
    EXPECT_EQ(g.Mesh.Vertices[2].z, -6.0f);
    ASSERT_EQ(g.Mesh.FaceCount, 2);
    EXPECT_EQ(g.Mesh.Faces[1].A, 2);
    EXPECT_EQ(g.Mesh.Faces[1].B, 3);
    EXPECT_EQ(g.Mesh.Faces[1].C, 0);
    // Groups 1 and 33 are the same bit; 2 and 3 are bits 1 and 2.
    EXPECT_EQ(g.Mesh.Faces[0].Smoothing, 1u);
    EXPECT_EQ(g.Mesh.Faces[1].Smoothing, 6u);
    // Texture coordinates pass unchanged; w is dropped.
    ASSERT_EQ(g.Mesh.TVertCount, 5);
    EXPECT_EQ(g.Mesh.TVerts[2].x, 0.25f);
    EXPECT_EQ(g.Mesh.TVerts[2].y, 0.75f);
    ASSERT_EQ(g.Mesh.TFaceCount, 2);
    EXPECT_EQ(g.Mesh.TFaces[1].C, 4);
}

TEST(ReadASE, ConvertsToAModelWithItsTextureAndNormals) {
    TempDir dir;
    WriteText(dir.file("house.ase"), SampleAse());
    MessageCapture capture;
    auto stream = ReadASE(dir.file("HOUSE.ASE"));  // found without regard to case
    ASSERT_TRUE(stream);
    TModelStreamData m;
    ASSERT_TRUE(ReadModelStream(*stream, false, m));
    ASSERT_EQ(m.RendData.Meshes.size(), 2u);
    EXPECT_EQ(m.RendData.Meshes[0].Name, "Wall");
    EXPECT_EQ(m.RendData.Meshes[0].Material.DiffuseMap, "Stone Wall.tga");
    EXPECT_EQ(m.RendData.Meshes[1].Material.DiffuseMap, "");
    ASSERT_EQ(m.ColidData.Meshes.size(), 2u);
    EXPECT_EQ(m.ColidData.Meshes[0].Name, "CM_Wall");
    EXPECT_EQ(m.ColidData.Meshes[1].Name, "Roof");
    // The quad lies in the file's z = 3 plane, which is the game's y = 3, facing up.
    const auto& wall = m.RendData.Meshes[0];
    for (int i = 0; i < wall.VertCount; ++i) {
        EXPECT_EQ(wall.Vertices[size_t(i) * 14 + 1], 3.0f);
        EXPECT_NEAR(wall.Vertices[size_t(i) * 14 + 4], 1.0f, 1e-6);
    }
    EXPECT_EQ(wall.BoxMin.z, -6.0f);
    EXPECT_EQ(wall.BoxMax.z, -2.0f);
    EXPECT_TRUE(Messages.empty());
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size()))
        s.replace(p, from.size(), to);
    return s;
}

std::vector<uint8_t> Utf16(const std::string& ascii, bool little) {
    std::vector<uint8_t> out = little ? std::vector<uint8_t>{0xFF, 0xFE} : std::vector<uint8_t>{0xFE, 0xFF};
    for (unsigned char c : ascii) {
        out.push_back(little ? c : 0);
        out.push_back(little ? 0 : c);
    }
    return out;
}

TEST(ReadASE, LayoutVariationsReadTheSame) {
    const std::string exact = SampleAse();
    TLoadModelData expected;
    ASSERT_TRUE(ReadASEData(ToBytes(exact), expected));
    const std::string want = Dump(expected);

    std::string noIndent;
    for (char c : exact)
        if (c != '\t' || (!noIndent.empty() && noIndent.back() != '\n'))
            noIndent += c;
    std::string bom = "\xEF\xBB\xBF" + exact;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> variants = {
        {"CRLF", ToBytes(Replace(exact, "\n", "\r\n"))},
        {"CR", ToBytes(Replace(exact, "\n", "\r"))},
        {"spaces", ToBytes(Replace(Replace(exact, "\n\t\t\t", "\n      "), "\n\t", "\n  "))},
        {"no indent", ToBytes(noIndent)},
        {"blank lines", ToBytes(Replace(exact, "\n", "\n \n"))},
        {"brace without blank", ToBytes(Replace(exact, " {\n", "{\n"))},
        {"blanks between words",
         ToBytes(Replace(Replace(exact, "*MATERIAL_CLASS ", "*MATERIAL_CLASS \t "), " {\n", "\t {\n"))},
        {"trailing blanks", ToBytes(Replace(exact, "\n", "  \t\n"))},
        {"UTF-8 mark", ToBytes(bom)},
        {"UTF-16LE", Utf16(Replace(exact, "\n", "\r\n"), true)},
        {"UTF-16BE", Utf16(exact, false)},
    };
    MessageCapture capture;
    for (const auto& [what, bytes] : variants) {
        TLoadModelData d;
        EXPECT_TRUE(ReadASEData(bytes, d)) << what;
        EXPECT_EQ(Dump(d), want) << what;
    }
    EXPECT_TRUE(Messages.empty());
}

TEST(ReadASE, RefusesWithItsMessages) {
    const std::string good = SampleAse();
    struct Case {
        const char* what;
        std::string text;
        std::string message;
    } cases[] = {
        {"no material list", Replace(good, "*MATERIAL_LIST {", "*MATERIAL_LIST_X {"),
         "MATERIAL_LIST не найден!"},
        {"no materials", AseFile({}, {Quad("Wall", 0)}), "Модель не имеет текстуры!"},
        {"material class", AseFile({{"Multi/Sub-Object", ""}}, {Quad("Wall", 0)}),
         "*MATERIAL_CLASS \"Multi/Sub-Object\" не поддерживается!"},
        {"no object",
         Replace(good, "}\n*GEOMOBJECT {\n\t*NODE_NAME \"Wall\"", "}\n*HELPEROBJECT {\n\t*NODE_NAME \"W\""),
         "GEOMOBJECT не найден!"},
        {"no mesh", Replace(good, "\t*MESH {", "\t*MESHX {"), "MESH не найден!"},
        {"ends inside an object", good.substr(0, good.rfind("*PROP_MOTIONBLUR")),
         "Целостность файла нарушена, пересохранение может решить эту проблему."},
        {"count beyond the list", Replace(good, "*MESH_NUMVERTEX 4", "*MESH_NUMVERTEX 5"),
         "Целостность файла нарушена, пересохранение может решить эту проблему."},
        {"not a number", Replace(good, "4.0000\t2.0000", "4.0000\t2.0x00"),
         "Целостность файла нарушена, пересохранение может решить эту проблему."},
        {"face without corners", Replace(good, " C:    0 AB:", " D:    0 AB:"),
         "Целостность файла нарушена, пересохранение может решить эту проблему."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MessageCapture capture;
        TLoadModelData d;
        EXPECT_FALSE(ReadASEData(ToBytes(c.text), d));
        ASSERT_EQ(Messages.size(), 1u);
        EXPECT_EQ(Messages[0], "Program Message:|" + c.message);
        EXPECT_TRUE(d.Geoms.empty());
    }
}

TEST(ReadASE, ObjectsStopAtTheFirstOtherBlock) {
    std::string s = AseFile({{"Standard", "a.tga"}}, {Quad("One", 0), Quad("Two", 0)});
    s = Replace(s, "*GEOMOBJECT {\n\t*NODE_NAME \"Two\"",
                "*CAMERAOBJECT {\n\t*NODE_NAME \"Cam\"\n}\n*GEOMOBJECT {\n\t*NODE_NAME \"Two\"");
    TLoadModelData d;
    ASSERT_TRUE(ReadASEData(ToBytes(s), d));
    ASSERT_EQ(d.Geoms.size(), 1u);
    EXPECT_EQ(d.Geoms[0].Name, "One");
}

TEST(ReadASE, BadTextureIndexIsRefusedByTheConverter) {
    AseObject o = Quad("Box01", 0);
    o.tfaces[1] = {{7, 8, 9}};
    TLoadModelData d;
    ASSERT_TRUE(ReadASEData(ToBytes(AseFile({{"Standard", "a.tga"}}, {o})), d));
    MessageCapture capture;
    EXPECT_FALSE(ConvertModel(d));
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_NE(Messages[0].find("\"Box01\""), std::string::npos);
}

// Damaged copies of a file: no crash, no read outside the input, and a refusal is reported.
void MutateAndRead(const std::vector<uint8_t>& good,
                   bool (*read)(const std::vector<uint8_t>&, TLoadModelData&), bool expectMessage,
                   int rounds) {
    MessageCapture capture;
    for (size_t n = 0; n < good.size(); n += 1 + good.size() / 600) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        Messages.clear();
        TLoadModelData d;
        if (read(cut, d)) {
            ConvertModel(d);
        } else if (expectMessage) {
            EXPECT_FALSE(Messages.empty()) << "length " << n;
        }
    }
    std::mt19937 rng(12345);
    for (int round = 0; round < rounds; ++round) {
        std::vector<uint8_t> bytes = good;
        int edits = 1 + int(rng() % 8);
        for (int e = 0; e < edits; ++e)
            bytes[rng() % bytes.size()] = uint8_t(rng());
        TLoadModelData d;
        if (read(bytes, d))
            ConvertModel(d);
    }
}

TEST(ReadASE, DamagedCopiesNeverCrash) { MutateAndRead(ToBytes(SampleAse()), &ReadASEData, true, 2000); }

// ---- 3DS chunks ----

struct Chunk {
    uint16_t id;
    std::vector<uint8_t> data;
    std::vector<Chunk> subs;
    int64_t lengthDelta = 0;  // to damage the stated length

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> body = data;
        for (const auto& s : subs) {
            auto b = s.Bytes();
            body.insert(body.end(), b.begin(), b.end());
        }
        uint32_t length = uint32_t(int64_t(body.size()) + 6 + lengthDelta);
        std::vector<uint8_t> out(6);
        std::memcpy(out.data(), &id, 2);
        std::memcpy(out.data() + 2, &length, 4);
        out.insert(out.end(), body.begin(), body.end());
        return out;
    }
};

struct Data {
    std::vector<uint8_t> b;
    Data& u16(uint16_t v) { return raw(&v, 2); }
    Data& u32(uint32_t v) { return raw(&v, 4); }
    Data& f32(float v) { return raw(&v, 4); }
    Data& str(const std::string& s) { return raw(s.c_str(), s.size() + 1); }
    Data& raw(const void* p, size_t n) {
        auto c = static_cast<const uint8_t*>(p);
        b.insert(b.end(), c, c + n);
        return *this;
    }
};

Chunk Material(const std::string& name, const std::string& map) {
    Chunk m{0xAFFF, {}, {{0xA000, Data{}.str(name).b, {}}, {0xA010, Data{}.u32(0).b, {}}}};
    if (!map.empty())
        m.subs.push_back({0xA200, {}, {{0xA300, Data{}.str(map).b, {}}}});
    // A bump map's file name must not be taken for the diffuse one.
    m.subs.push_back({0xA230, {}, {{0xA300, Data{}.str("bump.tga").b, {}}}});
    return m;
}

Chunk Object(const std::string& name, const std::string& material) {
    Data verts;
    verts.u16(4);
    for (float v : {1.f, 2.f, 3.f, 4.f, 2.f, 3.f, 4.f, 6.f, 3.f, 1.f, 6.f, 3.f})
        verts.f32(v);
    Data uvs;
    uvs.u16(4);
    for (float v : {0.f, 0.f, 1.f, 0.f, 1.f, 1.f, 0.f, 1.f})
        uvs.f32(v);
    Data faces;
    faces.u16(2).u16(0).u16(1).u16(2).u16(7).u16(2).u16(3).u16(0).u16(7);
    Data faceMat;
    faceMat.str(material).u16(2).u16(0).u16(1);
    Data smooth;
    smooth.u32(1).u32(0x80000002u);
    Chunk mesh{0x4100,
               {},
               {{0x4110, verts.b, {}},
                {0x4140, uvs.b, {}},
                {0x4160, std::vector<uint8_t>(48, 0), {}},
                {0x4120, faces.b, {{0x4130, faceMat.b, {}}, {0x4150, smooth.b, {}}}}}};
    return {0x4000, Data{}.str(name).b, {mesh}};
}

Chunk SampleFile(uint32_t version = 3) {
    Chunk editor{0x3D3D,
                 {},
                 {{0x3D3E, Data{}.u32(3).b, {}},
                  Material("Plain", ""),
                  Material("Stone", "STONE.TGA"),
                  Object("Rock", "Stone"),
                  Object("Pebble", "Nothing like it"),
                  {0x4000, Data{}.str("Camera01").b, {{0x4700, std::vector<uint8_t>(32, 0), {}}}}}};
    return {
        0x4D4D, {}, {{0x0002, Data{}.u32(version).b, {}}, editor, {0xB000, std::vector<uint8_t>(20, 1), {}}}};
}

TEST(Read3DS, ReadsMeshesMaterialsAndTextureCoordinates) {
    MessageCapture capture;
    TLoadModelData d;
    ASSERT_TRUE(Read3DSData(SampleFile().Bytes(), d));
    EXPECT_TRUE(Messages.empty());
    ASSERT_EQ(d.MaterialCount, 2);
    EXPECT_EQ(d.Materials[0].TextureName, "");
    EXPECT_EQ(d.Materials[1].TextureName, "STONE.TGA");
    EXPECT_EQ(d.Materials[1].AuxName, "");  // names are only kept while reading
    ASSERT_EQ(d.Geoms.size(), 3u);
    const TGeomData& rock = d.Geoms[0];
    EXPECT_EQ(rock.Name, "Rock");
    EXPECT_EQ(rock.MaterialRef, 1);
    EXPECT_EQ(d.Geoms[1].MaterialRef, -1);  // unknown material name
    EXPECT_EQ(d.Geoms[2].Name, "Camera01");
    ASSERT_EQ(rock.Mesh.VertCount, 4);
    EXPECT_EQ(rock.Mesh.Vertices[0].x, 1.0f);
    EXPECT_EQ(rock.Mesh.Vertices[0].y, 3.0f);
    EXPECT_EQ(rock.Mesh.Vertices[0].z, -2.0f);
    ASSERT_EQ(rock.Mesh.FaceCount, 2);
    EXPECT_EQ(rock.Mesh.Faces[1].A, 2);
    EXPECT_EQ(rock.Mesh.Faces[1].C, 0);
    EXPECT_EQ(rock.Mesh.Faces[0].Smoothing, 1u);
    EXPECT_EQ(rock.Mesh.Faces[1].Smoothing, 0x80000002u);
    ASSERT_EQ(rock.Mesh.TVertCount, 4);
    EXPECT_EQ(rock.Mesh.TVerts[2].x, 1.0f);
    EXPECT_EQ(rock.Mesh.TVerts[2].y, 1.0f);
    // One texture coordinate per vertex: the texture faces are the faces.
    ASSERT_EQ(rock.Mesh.TFaceCount, 2);
    EXPECT_EQ(rock.Mesh.TFaces[1].B, 3);
    EXPECT_EQ(d.Geoms[1].Mesh.TFaceCount, 0);

    auto stream = ConvertModel(d);
    ASSERT_TRUE(stream);
    TModelStreamData m;
    ASSERT_TRUE(ReadModelStream(*stream, false, m));
    ASSERT_EQ(m.RendData.Meshes.size(), 1u);
    EXPECT_EQ(m.RendData.Meshes[0].Material.DiffuseMap, "STONE.TGA");
    EXPECT_EQ(m.RendData.Meshes[0].Material.BumpMap, "");
    EXPECT_EQ(m.RendData.Meshes[0].VertCount, 4);
}

TEST(Read3DS, WarnsAboutNewerVersionsAndReadsOn) {
    MessageCapture capture;
    TLoadModelData d;
    ASSERT_TRUE(Read3DSData(SampleFile(4).Bytes(), d));
    EXPECT_EQ(Messages, (std::vector<std::string>{"Warning|Unsupported file version."}));
    EXPECT_EQ(d.Geoms.size(), 3u);
}

TEST(Read3DS, DamagedFilesAreRefusedSilently) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"short header", {0x4D, 0x4D, 6, 0}});
    Chunk notMain = SampleFile();
    notMain.id = 0x3D3D;
    cases.push_back({"not a 3DS file", notMain.Bytes()});
    Chunk longMain = SampleFile();
    longMain.lengthDelta = 1;
    cases.push_back({"main chunk past the file", longMain.Bytes()});
    Chunk tinyChunk = SampleFile();
    tinyChunk.subs[0].lengthDelta = -5;  // a length below the header size
    cases.push_back({"chunk shorter than its header", tinyChunk.Bytes()});
    Chunk pastParent = SampleFile();
    pastParent.subs[1].subs[3].subs[0].lengthDelta = 4;  // the mesh past its object
    pastParent.subs[1].subs[3].lengthDelta = 0;
    cases.push_back({"sub-chunk past its parent", pastParent.Bytes()});
    Chunk manyVerts = SampleFile();
    Chunk& mesh = manyVerts.subs[1].subs[3].subs[0];
    mesh.subs[0].data[0] = 5;  // five vertices in a chunk of four
    cases.push_back({"vertex count past its chunk", manyVerts.Bytes()});
    Chunk manyUvs = SampleFile();
    manyUvs.subs[1].subs[3].subs[0].subs[1].data[1] = 1;
    cases.push_back({"texture coordinate count past its chunk", manyUvs.Bytes()});
    Chunk manyFaces = SampleFile();
    manyFaces.subs[1].subs[3].subs[0].subs[3].data[0] = 40;
    cases.push_back({"face count past its chunk", manyFaces.Bytes()});
    Chunk shortSmooth = SampleFile();
    shortSmooth.subs[1].subs[3].subs[0].subs[3].subs[1].data.resize(7);
    cases.push_back({"smoothing shorter than the faces", shortSmooth.Bytes()});
    Chunk openName = SampleFile();
    openName.subs[1].subs[3].data.pop_back();  // object name without its terminator
    openName.subs[1].subs[3].subs.clear();
    cases.push_back({"unterminated name", openName.Bytes()});
    Chunk deep{0x3D3D, {}, {}};
    for (int i = 0; i < 200; ++i)
        deep = Chunk{0x3D3D, {}, {deep}};
    cases.push_back({"deeply nested", Chunk{0x4D4D, {}, {deep}}.Bytes()});

    MessageCapture capture;
    for (const auto& [what, bytes] : cases) {
        TLoadModelData d;
        EXPECT_FALSE(Read3DSData(bytes, d)) << what;
        EXPECT_TRUE(d.Geoms.empty() && d.Materials.empty()) << what;
    }
    EXPECT_TRUE(Messages.empty());
    EXPECT_FALSE(Read3DS(TempDir().file("missing.3ds")));
}

TEST(Read3DS, DamagedCopiesNeverCrash) { MutateAndRead(SampleFile().Bytes(), &Read3DSData, false, 5000); }

// ---- third-party files ----

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(TestDataPath(dir)))
        if (e.is_regular_file())
            out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string Leaf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

TEST(ModelTestData, EveryFileIsReadOrRefusedWithAMessage) {
    std::map<std::string, TModelStreamData> models;
    std::map<std::string, std::string> refusals;
    for (std::string dir : {"models/ase", "models/3ds"}) {
        auto files = FilesIn(dir);
        ASSERT_FALSE(files.empty()) << dir;
        for (const auto& path : files) {
            SCOPED_TRACE(path);
            MessageCapture capture;
            bool ase = dir == "models/ase";
            auto stream = ase ? ReadASE(path) : Read3DS(path);
            if (stream) {
                TModelStreamData m;
                EXPECT_TRUE(ReadModelStream(*stream, false, m));
                EXPECT_EQ(stream->Remaining(), 0);
                models[Leaf(path)] = m;
            } else {
                ASSERT_FALSE(Messages.empty());
                refusals[Leaf(path)] = Messages.back();
            }
        }
    }
    // Files whose material list is empty.
    EXPECT_EQ(refusals["RotatingCube.ASE"], "Program Message:|Модель не имеет текстуры!");
    EXPECT_EQ(refusals["MotionCaptureROM.ase"], "Program Message:|Модель не имеет текстуры!");
    EXPECT_EQ(refusals["InvalidUVIndex.ase"], "Program Message:|MATERIAL_LIST не найден!");
    // Objects with a material but no texture coordinates.
    for (const char* name :
         {"ThreeCubesGreen.ASE", "ThreeCubesGreen_UTF16LE.ASE", "ThreeCubesGreen_UTF16BE.ASE"})
        EXPECT_NE(refusals[name].find("число текстурных граней (0) не совпадает с числом граней (12)"),
                  std::string::npos)
            << name;
    EXPECT_NE(refusals["fels.3ds"].find("нет текстурных координат"), std::string::npos);

    const TModelStreamData& plane = models.at("UVTransform_Normal.ASE");
    ASSERT_EQ(plane.RendData.Meshes.size(), 1u);
    EXPECT_EQ(plane.RendData.Meshes[0].Material.DiffuseMap, "UVTransformTestImg.png");
    EXPECT_EQ(plane.RendData.Meshes[0].TriCount, 32);
    EXPECT_EQ(plane.ColidData.Meshes.at(0).VertCount, 25);

    const TModelStreamData& cube = models.at("cube_with_diffuse_texture.3DS");
    ASSERT_EQ(cube.RendData.Meshes.size(), 1u);
    EXPECT_EQ(cube.RendData.Meshes[0].Material.DiffuseMap, "TEST.PNG");
    EXPECT_EQ(cube.RendData.Meshes[0].VertCount, 24);
    EXPECT_EQ(cube.RendData.Meshes[0].TriCount, 12);
    EXPECT_EQ(models.at("cube_with_specular_texture.3DS").RendData.Meshes.at(0).Material.DiffuseMap, "");
    EXPECT_EQ(models.at("cubes_with_alpha.3DS").RendData.Meshes.size(), 5u);
    EXPECT_EQ(models.at("cubes_with_alpha.3DS").RendData.Meshes[1].Material.DiffuseMap, "BERETTA_.JPG");
    // Objects without a material are dropped: an empty model.
    EXPECT_TRUE(models.at("RotatingCube.3DS").RendData.Meshes.empty());
    EXPECT_TRUE(models.at("RotatingCube.3DS").ColidData.Meshes.empty());
}

TEST(ModelTestData, Utf16FilesReadLikeTheirEightBitTwin) {
    auto plain = ReadWholeFile(TestDataPath("models/ase/ThreeCubesGreen.ASE"));
    auto utf16 = ReadWholeFile(TestDataPath("models/ase/ThreeCubesGreen_UTF16LE.ASE"));
    ASSERT_TRUE(plain && utf16);
    MessageCapture capture;
    TLoadModelData a, b;
    ASSERT_TRUE(ReadASEData(*plain, a));
    ASSERT_TRUE(ReadASEData(*utf16, b));
    EXPECT_EQ(Dump(a), Dump(b));
    EXPECT_EQ(a.Geoms.size(), 3u);
}

TEST(ModelTestData, HashedAndQuadraticWeldsAgreeOnRealFiles) {
    MessageCapture capture;
    for (std::string dir : {"models/ase", "models/3ds"}) {
        for (const auto& path : FilesIn(dir)) {
            auto bytes = ReadWholeFile(path);
            ASSERT_TRUE(bytes);
            TLoadModelData d;
            if (!(dir == "models/ase" ? ReadASEData(*bytes, d) : Read3DSData(*bytes, d)))
                continue;
            auto a = ConvertModel(d, TWeldMode::Quadratic);
            auto b = ConvertModel(d, TWeldMode::Hashed);
            ASSERT_EQ(bool(a), bool(b)) << path;
            if (a) {
                EXPECT_EQ(a->Bytes(), b->Bytes()) << path;
            }
        }
    }
}

TEST(ModelTestData, TruncatedAndDamagedCopiesNeverCrash) {
    for (const auto& path : FilesIn("models/3ds")) {
        SCOPED_TRACE(path);
        MutateAndRead(*ReadWholeFile(path), &Read3DSData, false, 300);
    }
    for (const auto& path : FilesIn("models/ase")) {
        SCOPED_TRACE(path);
        auto bytes = *ReadWholeFile(path);
        if (bytes.size() > 200000)
            continue;  // the large capture adds time, not cases
        MutateAndRead(bytes, &ReadASEData, true, 30);
    }
}

}  // namespace
