// Writes small, valid inputs for every fuzz target: one folder per target under
// OUTDIR. Each file exercises a different branch of its reader (run-length and
// colour-mapped TGA, bit-field BMP, skinned models with their animation, maps with
// water, chained WAV chunks, mono and stereo Vorbis ...), so the fuzzers start from
// deep inside the formats instead of from their first bytes.
//
//     fuzz_seeds OUTDIR

#include "resources/e_ModelLoader.h"
#include "world/MapObject.h"

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

fs::path outRoot;
int written = 0;
bool failed = false;

void Save(const char* target, const std::string& name, const Bytes& bytes) {
    fs::path dir = outRoot / target;
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", (dir / name).c_str());
        failed = true;
    }
    ++written;
}

void SaveText(const char* target, const std::string& name, const std::string& text) {
    Save(target, name, Bytes(text.begin(), text.end()));
}

void Put8(Bytes& b, uint32_t v) { b.push_back(uint8_t(v)); }
void Put16(Bytes& b, uint32_t v) {
    Put8(b, v);
    Put8(b, v >> 8);
}
void Put32(Bytes& b, uint32_t v) {
    Put16(b, v);
    Put16(b, v >> 16);
}
void PutF(Bytes& b, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    Put32(b, v);
}
void PutStr(Bytes& b, const char* s) { b.insert(b.end(), s, s + std::strlen(s)); }

// ---------------------------------------------------------------------------------------------
// Images

Bytes TgaHeader(uint8_t type, uint16_t w, uint16_t h, uint8_t bits, uint8_t descriptor, uint8_t mapType = 0,
                uint16_t mapLength = 0, uint8_t mapBits = 0, uint8_t idLength = 0) {
    Bytes b;
    Put8(b, idLength);
    Put8(b, mapType);
    Put8(b, type);
    Put16(b, 0);
    Put16(b, mapLength);
    Put8(b, mapBits);
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, w);
    Put16(b, h);
    Put8(b, bits);
    Put8(b, descriptor);
    for (int i = 0; i < idLength; ++i)
        Put8(b, 'a' + i);
    return b;
}

void WriteTgaSeeds() {
    Bytes b = TgaHeader(2, 3, 2, 24, 0);
    for (int i = 0; i < 3 * 2 * 3; ++i)
        Put8(b, i * 13);
    Save("tga", "rgb_3x2.tga", b);

    b = TgaHeader(2, 2, 2, 32, 0x28, 0, 0, 0, 4);  // top-left origin, 8 alpha bits, an id field
    for (int i = 0; i < 2 * 2 * 4; ++i)
        Put8(b, 255 - i * 7);
    Save("tga", "rgba_topleft_id.tga", b);

    b = TgaHeader(10, 4, 2, 32, 0x18);  // run-length, right-to-left
    Put8(b, 0x82);                      // a run of three
    for (uint8_t v : {10, 20, 30, 255})
        Put8(b, v);
    Put8(b, 0x04);  // five literal pixels
    for (int i = 0; i < 5 * 4; ++i)
        Put8(b, i * 11);
    Save("tga", "rle_rgba_4x2.tga", b);

    b = TgaHeader(2, 2, 2, 16, 0x01);  // 5-5-5 with an alpha bit
    for (uint16_t px : {0x8000u, 0x7FFFu, 0x83E0u, 0x001Fu})
        Put16(b, px);
    Save("tga", "argb1555_2x2.tga", b);

    b = TgaHeader(1, 3, 1, 8, 0, 1, 4, 24);  // colour-mapped with a 24-bit map
    for (int i = 0; i < 4 * 3; ++i)
        Put8(b, i * 20);
    for (uint8_t index : {0, 3, 2})
        Put8(b, index);
    Save("tga", "palette_3x1.tga", b);

    b = TgaHeader(9, 4, 1, 8, 0, 1, 2, 32);  // run-length colour-mapped, 32-bit map
    for (int i = 0; i < 2 * 4; ++i)
        Put8(b, 100 + i);
    Put8(b, 0x83);
    Put8(b, 1);
    Save("tga", "rle_palette_4x1.tga", b);

    b = TgaHeader(3, 2, 2, 8, 0);
    for (uint8_t v : {0, 85, 170, 255})
        Put8(b, v);
    Save("tga", "grey_2x2.tga", b);

    b = TgaHeader(11, 3, 1, 16, 0x08);  // run-length grey with alpha
    Put8(b, 0x82);
    Put8(b, 40);
    Put8(b, 200);
    Save("tga", "rle_grey_alpha_3x1.tga", b);
}

// File header, then a BITMAPINFOHEADER (40 bytes) or a V4 header (108 bytes) with masks.
Bytes BmpHeader(int32_t w, int32_t h, uint16_t bits, uint32_t compression, const std::vector<uint32_t>& masks,
                uint32_t infoSize, uint32_t pixelBytes) {
    Bytes b;
    const uint32_t offset = 14 + infoSize + (infoSize == 40 ? uint32_t(masks.size()) * 4 : 0);
    PutStr(b, "BM");
    Put32(b, offset + pixelBytes);
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, infoSize);
    Put32(b, uint32_t(w));
    Put32(b, uint32_t(h));
    Put16(b, 1);
    Put16(b, bits);
    Put32(b, compression);
    Put32(b, pixelBytes);
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, 0);
    Put32(b, 0);
    for (uint32_t m : masks)
        Put32(b, m);
    while (b.size() < offset)
        Put8(b, 0);
    return b;
}

void WriteBmpSeeds() {
    // 24 bits, three pixels a row: each row padded to 12 bytes.
    Bytes b = BmpHeader(3, 2, 24, 0, {}, 40, 24);
    for (int row = 0; row < 2; ++row) {
        for (int i = 0; i < 9; ++i)
            Put8(b, row * 50 + i * 20);
        for (int i = 0; i < 3; ++i)
            Put8(b, 0);
    }
    Save("bmp", "rgb24_3x2.bmp", b);

    b = BmpHeader(2, -2, 32, 0, {}, 40, 16);  // top-down
    for (int i = 0; i < 16; ++i)
        Put8(b, i * 15);
    Save("bmp", "rgb32_topdown_2x2.bmp", b);

    b = BmpHeader(2, 2, 16, 3, {0xF800, 0x07E0, 0x001F}, 40, 8);  // 5-6-5 bit fields
    for (uint16_t px : {0xF800u, 0x07E0u, 0x001Fu, 0xFFFFu})
        Put16(b, px);
    Save("bmp", "rgb565_2x2.bmp", b);

    b = BmpHeader(2, 1, 32, 6, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}, 40, 8);  // alpha bit fields
    for (int i = 0; i < 8; ++i)
        Put8(b, 30 * i);
    Save("bmp", "argb32_alphabitfields_2x1.bmp", b);

    b = BmpHeader(1, 2, 32, 3, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}, 108, 8);  // V4 header
    for (int i = 0; i < 8; ++i)
        Put8(b, 200 - 20 * i);
    Save("bmp", "argb32_v4_1x2.bmp", b);

    b = BmpHeader(2, 2, 16, 0, {}, 40, 8);  // 5-5-5 without masks
    for (uint16_t px : {0x7C00u, 0x03E0u, 0x001Fu, 0x7FFFu})
        Put16(b, px);
    Save("bmp", "rgb555_2x2.bmp", b);
}

// ---------------------------------------------------------------------------------------------
// Models and animations

TStoredSkeletData SmallAnimation(int32_t bones, int32_t frames) {
    TStoredSkeletData a;
    a.BoneCount = bones;
    a.FrameCount = frames;
    a.FrameRate = 25;
    a.Frames.assign(size_t(bones), std::vector<TBoneFrame>(size_t(frames)));
    for (int32_t b = 0; b < bones; ++b)
        for (int32_t f = 0; f < frames; ++f)
            a.Frames[size_t(b)][size_t(f)] = {{float(b), float(f) * 0.5f, 1.0f}, {1.0f, 0.0f, 0.0f, 0.0f}};
    return a;
}

Bytes AnimationBytes(const TStoredSkeletData& a) {
    Bytes b;
    Put32(b, uint32_t(a.BoneCount));
    Put32(b, uint32_t(a.FrameCount));
    Put32(b, uint32_t(a.FrameRate));
    for (const auto& track : a.Frames)
        for (const auto& f : track) {
            for (float v : {f.Position.x, f.Position.y, f.Position.z, f.Rotation.x, f.Rotation.y,
                            f.Rotation.z, f.Rotation.w})
                PutF(b, v);
        }
    return b;
}

TModelStreamData SmallModel(bool skinned) {
    TModelStreamData m;
    m.Skinned = skinned;
    m.Scale = skinned ? 0.02f : 1.0f;
    TStoredColideMesh c;
    c.Name = "Box";
    c.BoxMin = {0, 0, 0};
    c.BoxMax = {1, 1, 1};
    c.Vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    c.Triangles = {{0, 1, 2}, {0, 2, 3}};
    m.ColidData.Meshes.push_back(c);

    const size_t vs = skinned ? SkinnedVertexSize : StaticVertexSize;
    for (int k = 0; k < 2; ++k) {
        TStoredRenderMesh r;
        r.Name = k == 0 ? "Body" : "Shield";
        r.Material.DiffuseMap = k == 0 ? "Body.tga" : "Shield.tga";
        r.Material.Blended = k == 1;
        r.Material.AlphaTest = k == 1;
        r.Material.AlphaRef = 0.5f;
        r.Material.BumpMap = k == 0 ? "Body_bump.tga" : "";
        r.Material.SpecPower = 16.0f;
        r.BoxMin = {0, 0, 0};
        r.BoxMax = {1, 1, 1};
        for (int v = 0; v < 3; ++v)
            for (size_t s = 0; s < vs; ++s)
                r.Vertices.push_back(float(v) + float(s) * 0.125f);
        r.Triangles = {{0, 1, 2}};
        m.RendData.Meshes.push_back(r);
    }
    if (skinned) {
        m.RendData.BoneCount = 2;
        m.Animation = SmallAnimation(2, 3);
    }
    return m;
}

void WriteModelSeeds() {
    Save("model", "static.PRM", WriteModelStream(SmallModel(false)));
    Save("model", "skinned.PAM", WriteModelStream(SmallModel(true)));
    TModelStreamData bare = SmallModel(true);
    bare.Animation.reset();
    Save("model", "skinned_noanim.PAM", WriteModelStream(bare));
    Save("model", "empty.PRM", WriteModelStream(TModelStreamData{}));

    Save("psa", "walk.PSA", AnimationBytes(SmallAnimation(3, 4)));
    Save("psa", "still.PSA", AnimationBytes(SmallAnimation(2, 0)));
}

void WriteAseSeeds() {
    const std::string cube =
        "*3DSMAX_ASCIIEXPORT\t200\r\n"
        "*COMMENT \"seed\"\r\n"
        "*MATERIAL_LIST {\r\n"
        "\t*MATERIAL_COUNT 1\r\n"
        "\t*MATERIAL 0 {\r\n"
        "\t\t*MATERIAL_CLASS \"Standard\"\r\n"
        "\t\t*MAP_DIFFUSE {\r\n"
        "\t\t\t*MAP_CLASS \"Bitmap\"\r\n"
        "\t\t\t*BITMAP \"C:\\maps\\Wood.tga\"\r\n"
        "\t\t}\r\n"
        "\t}\r\n"
        "}\r\n"
        "*GEOMOBJECT {\r\n"
        "\t*NODE_NAME \"Quad\"\r\n"
        "\t*MESH {\r\n"
        "\t\t*MESH_NUMVERTEX 4\r\n"
        "\t\t*MESH_NUMFACES 2\r\n"
        "\t\t*MESH_VERTEX_LIST {\r\n"
        "\t\t\t*MESH_VERTEX    0\t0.0000\t0.0000\t0.0000\r\n"
        "\t\t\t*MESH_VERTEX    1\t1.0000\t0.0000\t0.0000\r\n"
        "\t\t\t*MESH_VERTEX    2\t1.0000\t1.0000\t0.0000\r\n"
        "\t\t\t*MESH_VERTEX    3\t0.0000\t1.0000\t0.5000\r\n"
        "\t\t}\r\n"
        "\t\t*MESH_FACE_LIST {\r\n"
        "\t\t\t*MESH_FACE    0:    A:    0 B:    1 C:    2 AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0\r\n"
        "\t\t\t*MESH_FACE    1:    A:    0 B:    2 C:    3 AB:    0 BC:    1 CA:    1\t *MESH_SMOOTHING 1,2 \t*MESH_MTLID 0\r\n"
        "\t\t}\r\n"
        "\t\t*MESH_NUMTVERTEX 4\r\n"
        "\t\t*MESH_TVERTLIST {\r\n"
        "\t\t\t*MESH_TVERT 0\t0.0000\t0.0000\t0.0000\r\n"
        "\t\t\t*MESH_TVERT 1\t1.0000\t0.0000\t0.0000\r\n"
        "\t\t\t*MESH_TVERT 2\t1.0000\t1.0000\t0.0000\r\n"
        "\t\t\t*MESH_TVERT 3\t0.0000\t1.0000\t0.0000\r\n"
        "\t\t}\r\n"
        "\t\t*MESH_NUMTVFACES 2\r\n"
        "\t\t*MESH_TFACELIST {\r\n"
        "\t\t\t*MESH_TFACE 0\t0\t1\t2\r\n"
        "\t\t\t*MESH_TFACE 1\t0\t2\t3\r\n"
        "\t\t}\r\n"
        "\t}\r\n"
        "\t*MATERIAL_REF 0\r\n"
        "}\r\n";
    SaveText("ase", "quad.ASE", cube);

    // The same with bare line feeds, a second untextured object, and as UTF-16.
    std::string lf;
    for (char c : cube)
        if (c != '\r')
            lf += c;
    lf +=
        "*GEOMOBJECT {\n*NODE_NAME \"Tri\"\n*MESH {\n*MESH_NUMVERTEX 3\n*MESH_NUMFACES 1\n"
        "*MESH_VERTEX_LIST {\n*MESH_VERTEX 0 0 0 0\n*MESH_VERTEX 1 0 1 0\n*MESH_VERTEX 2 1 0 0\n}\n"
        "*MESH_FACE_LIST {\n*MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 1 *MESH_SMOOTHING  *MESH_MTLID 0\n}\n"
        "}\n}\n";
    SaveText("ase", "two_objects_lf.ASE", lf);

    Bytes utf16{0xFF, 0xFE};
    for (char c : cube) {
        Put8(utf16, uint8_t(c));
        Put8(utf16, 0);
    }
    Save("ase", "quad_utf16.ASE", utf16);
}

// A 3DS chunk: id, length including the six header bytes, then the body.
Bytes Chunk(uint16_t id, const Bytes& body) {
    Bytes b;
    Put16(b, id);
    Put32(b, uint32_t(body.size() + 6));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes b;
    for (const auto& p : parts)
        b.insert(b.end(), p.begin(), p.end());
    return b;
}

Bytes CStr(const char* s) {
    Bytes b;
    PutStr(b, s);
    Put8(b, 0);
    return b;
}

void Write3dsSeeds() {
    Bytes version;
    Put32(version, 3);
    Bytes material =
        Chunk(0xAFFF, Cat({Chunk(0xA000, CStr("Wood")), Chunk(0xA200, Chunk(0xA300, CStr("WOOD.TGA")))}));

    Bytes verts;
    Put16(verts, 4);
    for (float v : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 1.f, 1.f, 0.f, 0.f, 1.f, 0.5f})
        PutF(verts, v);
    Bytes faces;
    Put16(faces, 2);
    for (uint16_t v : {0, 1, 2, 7, 0, 2, 3, 7})
        Put16(faces, v);
    Bytes faceMaterial = CStr("Wood");
    Put16(faceMaterial, 2);
    Put16(faceMaterial, 0);
    Put16(faceMaterial, 1);
    Bytes smoothing;
    Put32(smoothing, 1);
    Put32(smoothing, 3);
    Bytes uv;
    Put16(uv, 4);
    for (float v : {0.f, 0.f, 1.f, 0.f, 1.f, 1.f, 0.f, 1.f})
        PutF(uv, v);
    Bytes mesh = Chunk(
        0x4100, Cat({Chunk(0x4110, verts), Chunk(0x4140, uv),
                     Chunk(0x4120, Cat({faces, Chunk(0x4130, faceMaterial), Chunk(0x4150, smoothing)}))}));
    Bytes object = Chunk(0x4000, Cat({CStr("Quad"), mesh}));
    Bytes keyframer = Chunk(0xB000, Bytes(8, 0));
    Save("3ds", "quad.3DS",
         Chunk(0x4D4D, Cat({Chunk(0x0002, version), Chunk(0x3D3D, Cat({material, object})), keyframer})));

    // An object without texture coordinates or material.
    Bytes bare =
        Chunk(0x4000, Cat({CStr("Bare"), Chunk(0x4100, Cat({Chunk(0x4110, verts), Chunk(0x4120, faces)}))}));
    Save("3ds", "bare.3DS", Chunk(0x4D4D, Chunk(0x3D3D, bare)));
}

// ---------------------------------------------------------------------------------------------
// Maps

void WriteMapSeeds() {
    TMapFileData map;
    map.Trees = {{"Tree1", {1.5f, 1.5f, 0.0f}, 0.3f}, {"Tree3", {2.5f, 0.5f, 0.1f}, 2.0f}};
    map.Entities = {{"House1", {0.5f, 1.0f, 0.0f}, 1.0f}};
    map.Entities2 = {{"Fence1", {2.0f, 1.0f, 0.0f}, 0.0f}};
    TMapWaterEntry water;
    water.Section.Vertices = {{0.0f, 0.1f, 0.0f}, {2.0f, 0.1f, 0.0f}, {0.0f, 0.1f, 3.0f}, {2.0f, 0.1f, 3.0f}};
    water.Section.Triangles = {{0, 1, 2, 1}, {1, 3, 2, 0}};
    map.Waters.push_back(water);
    auto& land = map.Landscape;
    land.Cols = 3;
    land.Rows = 2;
    land.Tiles.resize(6);
    for (size_t i = 0; i < land.Tiles.size(); ++i) {
        auto& t = land.Tiles[i];
        t.Col1 = uint8_t(i);
        t.Row1 = 1;
        t.Packed1 = uint8_t(i % 16);
        t.Col2 = uint8_t(i + 1);
        t.Packed2 = uint8_t((i * 5) % 16);
        t.TileType = uint8_t(i * 2 % 10);
        t.Flags = i == 4 ? 0x20000u : 0u;
    }
    land.Verts.resize(size_t(2 * 3 + 1) * (2 * 2 + 1));
    for (size_t i = 0; i < land.Verts.size(); ++i)
        land.Verts[i] = {int16_t(int(i) * 37 - 200), uint8_t(255 - i * 3), uint8_t(i * 9)};
    Save("map", "small.map", WriteMapFile(map));

    TMapFileData flat;
    flat.Landscape.Cols = 1;
    flat.Landscape.Rows = 1;
    flat.Landscape.Tiles.resize(1);
    flat.Landscape.Verts.resize(9);
    Save("map", "one_tile.map", WriteMapFile(flat));
}

// ---------------------------------------------------------------------------------------------
// Sounds

Bytes Wave(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& samples, bool extraChunks) {
    Bytes fmt;
    Put16(fmt, 1);
    Put16(fmt, channels);
    Put32(fmt, rate);
    Put32(fmt, rate * channels * bits / 8);
    Put16(fmt, uint16_t(channels * bits / 8));
    Put16(fmt, bits);
    Bytes body;
    PutStr(body, "WAVE");
    auto chunk = [&](const char* id, const Bytes& data) {
        PutStr(body, id);
        Put32(body, uint32_t(data.size()));
        body.insert(body.end(), data.begin(), data.end());
        if (data.size() % 2)
            Put8(body, 0);
    };
    chunk("fmt ", fmt);
    if (extraChunks) {
        chunk("LIST", {'I', 'N', 'F', 'O', 'x'});
        chunk("fact", {1, 0, 0, 0});
    }
    chunk("data", samples);
    Bytes b;
    PutStr(b, "RIFF");
    Put32(b, uint32_t(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

void WriteWavSeeds() {
    Bytes mono8;
    for (int i = 0; i < 31; ++i)
        Put8(mono8, 128 + int(100 * std::sin(i * 0.4)));
    Save("wav", "mono8.WAV", Wave(1, 11025, 8, mono8, false));
    Bytes stereo16;
    for (int i = 0; i < 24; ++i) {
        Put16(stereo16, uint16_t(int16_t(20000 * std::sin(i * 0.3))));
        Put16(stereo16, uint16_t(int16_t(-20000 * std::sin(i * 0.3))));
    }
    Save("wav", "stereo16_chunks.WAV", Wave(2, 22050, 16, stereo16, true));
    Bytes mono16;
    for (int i = 0; i < 16; ++i)
        Put16(mono16, uint16_t(i * 1000));
    Save("wav", "mono16.WAV", Wave(1, 44100, 16, mono16, false));
}

// A short tone encoded as Ogg Vorbis.
bool EncodeOgg(int channels, long rate, int frames, int serial, Bytes& out) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.1f) != 0) {
        vorbis_info_clear(&vi);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "TITLE", "seed");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, serial);
    ogg_packet header, comment, code;
    vorbis_analysis_headerout(&vd, &vc, &header, &comment, &code);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comment);
    ogg_stream_packetin(&os, &code);
    ogg_page page;
    auto append = [&] {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    while (ogg_stream_flush(&os, &page))
        append();

    float** buffer = vorbis_analysis_buffer(&vd, frames);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            buffer[c][i] = 0.5f * std::sin(float(i) * 0.05f * float(c + 1));
    vorbis_analysis_wrote(&vd, frames);
    vorbis_analysis_wrote(&vd, 0);
    bool eos = false;
    while (!eos && vorbis_analysis_blockout(&vd, &vb) == 1) {
        vorbis_analysis(&vb, nullptr);
        vorbis_bitrate_addblock(&vb);
        ogg_packet packet;
        while (vorbis_bitrate_flushpacket(&vd, &packet)) {
            ogg_stream_packetin(&os, &packet);
            while (!eos && ogg_stream_pageout(&os, &page)) {
                append();
                eos = ogg_page_eos(&page) != 0;
            }
        }
    }
    while (ogg_stream_flush(&os, &page))
        append();
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return true;
}

void WriteOggSeeds() {
    Bytes mono, stereo;
    if (EncodeOgg(1, 11025, 1200, 1234, mono))
        Save("ogg", "mono.OGG", mono);
    else
        failed = true;
    if (EncodeOgg(2, 22050, 900, 5678, stereo))
        Save("ogg", "stereo.OGG", stereo);
    else
        failed = true;
    // Two pieces one after the other: a chained file.
    Bytes chained = mono;
    chained.insert(chained.end(), stereo.begin(), stereo.end());
    Save("ogg", "chained.OGG", chained);
}

// ---------------------------------------------------------------------------------------------
// Settings and shader programs

void WriteTextSeeds() {
    SaveText("config", "default.ini",
             "; here comment\r\n[system]\r\nMapScrollSpeed = 0.65\r\n[editor]\r\n...\r\n[physic]\r\n...\r\n"
             "[render]\r\n...\r\n[sound]\r\nMusicVolume = 1.00\r\n");
    SaveText(
        "config", "edited.ini",
        "[sound]\nMusicVolume=0.25 ; quieter\n  MapScrollSpeed\t=  1.5e0  \nMusicVolume = ,5\nbroken line\n");

    SaveText(
        "shader", "simple.gpr",
        "// a comment\nuniform sampler2D diffMap;\nuniform mat4 mvp; /* block\ncomment */\n"
        "[VERTEX SHADER]\n#version 120\nattribute vec3 position;\nattribute vec2 uv;\nvarying vec2 tc;\n"
        "void main() { tc = uv; gl_Position = mvp * vec4(position, 1.0); }\n"
        "[FRAGMENT SHADER]\nuniform samplerCube sky, env;\nuniform sampler2DArray layers;\nvarying vec2 tc;\n"
        "void main() {\n#ifdef ALPHA_TEST\n  if (texture2D(diffMap, tc).a < 0.5) discard;\n#endif\n"
        "  gl_FragColor = texture2D(diffMap, tc); }\n");
    SaveText("shader", "defines.gpr",
             "ALPHA_TEST,SHADOW\r\n[VERTEX SHADER]\r\nuniform float time[4];\r\nvoid main() {}\r\n"
             "[FRAGMENT SHADER]\r\nuniform sampler2DArrayShadow shadowMap;\r\nuniform sampler3D noise;\r\n"
             "uniform sampler2DRect rect;\r\nvoid main() {}\r\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUTDIR\n");
        return 2;
    }
    outRoot = argv[1];
    WriteTgaSeeds();
    WriteBmpSeeds();
    WriteModelSeeds();
    WriteAseSeeds();
    Write3dsSeeds();
    WriteMapSeeds();
    WriteWavSeeds();
    WriteOggSeeds();
    WriteTextSeeds();
    std::printf("fuzz_seeds: %d files written to %s\n", written, outRoot.c_str());
    return failed ? 1 : 0;
}
