#include "resources/e_ModelLoader.h"

#include "app/e_ByteReader.h"
#include "app/e_Log.h"
#include "app/e_Platform.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

static_assert(sizeof(TMyVector3f) == 12, "collision vertices are read and written as packed singles");
static_assert(sizeof(TTriangleIndex) == 12, "triangles are read and written as packed indices");
static_assert(sizeof(TDotVector3) == 12 && sizeof(TDotVector2) == 8);

namespace {

constexpr float BoxStart = 3.4e38f;
const char* const ProgramCaption = "Program Message:";

void DefaultMessageProc(const std::string& caption, const std::string& text) { ShowMessageBox(caption, text); }

std::atomic<TModelMessageProc> MessageProc{&DefaultMessageProc};

void Report(const std::string& text) { MessageProc.load()(ProgramCaption, text); }

void GrowBox(TMyVector3f& lo, TMyVector3f& hi, float x, float y, float z) {
    lo.x = std::min(lo.x, x);
    lo.y = std::min(lo.y, y);
    lo.z = std::min(lo.z, z);
    hi.x = std::max(hi.x, x);
    hi.y = std::max(hi.y, y);
    hi.z = std::max(hi.z, z);
}

// ---------------------------------------------------------------------------
// Model stream
// ---------------------------------------------------------------------------

int32_t ReadCount(TMemoryStream& stream, uint64_t bytesEach, const char* what) {
    int32_t count = stream.ReadInt32();
    if (count < 0)
        throw TStreamReadError(std::string("negative ") + what + " count " + std::to_string(count));
    stream.RequireBytes(static_cast<uint64_t>(count) * bytesEach, what);
    return count;
}

void ReadTriangles(TMemoryStream& stream, int32_t vertCount, const std::string& meshName, int32_t& triCount,
                   std::vector<TTriangleIndex>& triangles) {
    triCount = ReadCount(stream, sizeof(TTriangleIndex), "triangle");
    triangles.resize(static_cast<size_t>(triCount));
    stream.ReadBuffer(triangles.data(), triangles.size() * sizeof(TTriangleIndex));
    for (const auto& t : triangles) {
        for (int32_t index : {t.A, t.B, t.C}) {
            if (index < 0 || index >= vertCount)
                throw TStreamReadError("mesh \"" + meshName + "\": triangle index " + std::to_string(index) +
                                       " outside its " + std::to_string(vertCount) + " vertices");
        }
    }
}

void WriteTriangles(TMemoryStream& stream, const std::vector<TTriangleIndex>& triangles) {
    stream.WriteInt32(static_cast<int32_t>(triangles.size()));
    stream.WriteBuffer(triangles.data(), triangles.size() * sizeof(TTriangleIndex));
}

}  // namespace

bool ReadModelStream(TMemoryStream& stream, bool skinned, TModelStreamData& data) {
    data = TModelStreamData{};
    data.Skinned = skinned;
    stream.Seek(0);
    data.Version = stream.ReadInt32();
    if (data.Version != ModelStreamVersion)
        return false;
    if (skinned)
        data.Scale = stream.ReadSingle();

    // The smallest mesh records, used to refuse absurd counts before reading them.
    constexpr uint64_t minColideMesh = 4 + 24 + 4 + 4;
    // Render mesh: name, diffuse map, three flags, alpha reference, bump map, parallax flag
    // and scale, gloss map, specular power, box, vertex and triangle counts.
    constexpr uint64_t minRenderMesh = 4 + 4 + 12 + 4 + 4 + 4 + 4 + 4 + 4 + 24 + 4 + 4;

    auto& colid = data.ColidData;
    colid.MeshCount = ReadCount(stream, minColideMesh, "collision mesh");
    colid.BoxMin = {BoxStart, BoxStart, BoxStart};
    colid.BoxMax = {-BoxStart, -BoxStart, -BoxStart};
    colid.Meshes.resize(static_cast<size_t>(colid.MeshCount));
    for (auto& mesh : colid.Meshes) {
        mesh.Name = stream.ReadString();
        mesh.BoxMin = stream.ReadVector3();
        mesh.BoxMax = stream.ReadVector3();
        mesh.VertCount = ReadCount(stream, sizeof(TMyVector3f), "collision vertex");
        mesh.Vertices.resize(static_cast<size_t>(mesh.VertCount));
        stream.ReadBuffer(mesh.Vertices.data(), mesh.Vertices.size() * sizeof(TMyVector3f));
        ReadTriangles(stream, mesh.VertCount, mesh.Name, mesh.TriCount, mesh.Triangles);
        GrowBox(colid.BoxMin, colid.BoxMax, mesh.BoxMin.x, mesh.BoxMin.y, mesh.BoxMin.z);
        GrowBox(colid.BoxMin, colid.BoxMax, mesh.BoxMax.x, mesh.BoxMax.y, mesh.BoxMax.z);
    }

    auto& rend = data.RendData;
    if (skinned) {
        rend.BoneCount = stream.ReadInt32();
        if (rend.BoneCount < 0)
            throw TStreamReadError("negative bone count " + std::to_string(rend.BoneCount));
    }
    const int32_t vertexSize = skinned ? SkinnedVertexSize : StaticVertexSize;
    rend.MeshCount = ReadCount(stream, minRenderMesh, "render mesh");
    rend.BoxMin = {BoxStart, BoxStart, BoxStart};
    rend.BoxMax = {-BoxStart, -BoxStart, -BoxStart};
    rend.Meshes.resize(static_cast<size_t>(rend.MeshCount));
    for (auto& mesh : rend.Meshes) {
        mesh.Name = stream.ReadString();
        auto& mat = mesh.Material;
        mat.DiffuseMap = stream.ReadString();
        mat.Emissive = stream.ReadBool32();
        mat.Blended = stream.ReadBool32();
        mat.AlphaTest = stream.ReadBool32();
        mat.AlphaRef = stream.ReadSingle();
        mat.BumpMap = stream.ReadString();
        mat.Parallax = stream.ReadBool32();
        mat.ParallaxScale = stream.ReadSingle();
        mat.GlossMap = stream.ReadString();
        mat.SpecPower = stream.ReadSingle();
        mesh.BoxMin = stream.ReadVector3();
        mesh.BoxMax = stream.ReadVector3();
        mesh.VertCount = ReadCount(stream, static_cast<uint64_t>(vertexSize) * sizeof(float), "render vertex");
        mesh.Vertices.resize(static_cast<size_t>(mesh.VertCount) * static_cast<size_t>(vertexSize));
        stream.ReadBuffer(mesh.Vertices.data(), mesh.Vertices.size() * sizeof(float));
        ReadTriangles(stream, mesh.VertCount, mesh.Name, mesh.TriCount, mesh.Triangles);
        GrowBox(rend.BoxMin, rend.BoxMax, mesh.BoxMin.x, mesh.BoxMin.y, mesh.BoxMin.z);
        GrowBox(rend.BoxMin, rend.BoxMax, mesh.BoxMax.x, mesh.BoxMax.y, mesh.BoxMax.z);
    }
    return true;
}

void WriteModelStream(TMemoryStream& stream, const TModelStreamData& data) {
    const size_t vertexSize = data.Skinned ? SkinnedVertexSize : StaticVertexSize;
    for (const auto& mesh : data.RendData.Meshes) {
        if (mesh.Vertices.size() % vertexSize != 0)
            throw std::invalid_argument("render mesh \"" + mesh.Name + "\": " + std::to_string(mesh.Vertices.size()) +
                                        " singles are not whole vertices of " + std::to_string(vertexSize));
    }

    stream.WriteInt32(data.Version);
    if (data.Skinned)
        stream.WriteSingle(data.Scale);
    stream.WriteInt32(static_cast<int32_t>(data.ColidData.Meshes.size()));
    for (const auto& mesh : data.ColidData.Meshes) {
        stream.WriteString(mesh.Name);
        stream.WriteVector3(mesh.BoxMin);
        stream.WriteVector3(mesh.BoxMax);
        stream.WriteInt32(static_cast<int32_t>(mesh.Vertices.size()));
        stream.WriteBuffer(mesh.Vertices.data(), mesh.Vertices.size() * sizeof(TMyVector3f));
        WriteTriangles(stream, mesh.Triangles);
    }
    if (data.Skinned)
        stream.WriteInt32(data.RendData.BoneCount);
    stream.WriteInt32(static_cast<int32_t>(data.RendData.Meshes.size()));
    for (const auto& mesh : data.RendData.Meshes) {
        const auto& mat = mesh.Material;
        stream.WriteString(mesh.Name);
        stream.WriteString(mat.DiffuseMap);
        stream.WriteBool32(mat.Emissive);
        stream.WriteBool32(mat.Blended);
        stream.WriteBool32(mat.AlphaTest);
        stream.WriteSingle(mat.AlphaRef);
        stream.WriteString(mat.BumpMap);
        stream.WriteBool32(mat.Parallax);
        stream.WriteSingle(mat.ParallaxScale);
        stream.WriteString(mat.GlossMap);
        stream.WriteSingle(mat.SpecPower);
        stream.WriteVector3(mesh.BoxMin);
        stream.WriteVector3(mesh.BoxMax);
        stream.WriteInt32(static_cast<int32_t>(mesh.Vertices.size() / vertexSize));
        stream.WriteBuffer(mesh.Vertices.data(), mesh.Vertices.size() * sizeof(float));
        WriteTriangles(stream, mesh.Triangles);
    }
    if (data.Skinned && data.Animation) {
        const auto& anim = *data.Animation;
        stream.WriteInt32(anim.BoneCount);
        stream.WriteInt32(anim.FrameCount);
        stream.WriteInt32(anim.FrameRate);
        for (int32_t bone = 0; bone < anim.BoneCount; ++bone) {
            for (int32_t frame = 0; frame < anim.FrameCount; ++frame) {
                const TBoneFrame& f = anim.Frames.at(static_cast<size_t>(bone)).at(static_cast<size_t>(frame));
                stream.WriteVector3(f.Position);
                stream.WriteSingle(f.Rotation.x);
                stream.WriteSingle(f.Rotation.y);
                stream.WriteSingle(f.Rotation.z);
                stream.WriteSingle(f.Rotation.w);
            }
        }
    }
}

std::vector<uint8_t> WriteModelStream(const TModelStreamData& data) {
    TMemoryStream stream;
    WriteModelStream(stream, data);
    return std::move(stream.Bytes());
}

std::optional<TEmbeddedAnimationInfo> PeekEmbeddedAnimation(const TMemoryStream& stream) {
    if (stream.Remaining() < 12)
        return std::nullopt;
    TByteReader p(stream.Bytes().data() + stream.GetPosition(), 12);
    TEmbeddedAnimationInfo info;
    p.ReadI32(info.BoneCount);
    p.ReadI32(info.FrameCount);
    p.ReadI32(info.FrameRate);
    return info;
}

TModelMessageProc SetModelMessageProc(TModelMessageProc proc) {
    return MessageProc.exchange(proc ? proc : &DefaultMessageProc);
}

// ---------------------------------------------------------------------------
// ASE reader
// ---------------------------------------------------------------------------

namespace {

const char* const MsgNoMaterialList = "MATERIAL_LIST не найден!";
const char* const MsgNoTexture = "Модель не имеет текстуры!";
const char* const MsgNotSupported = " не поддерживается!";
const char* const MsgNoGeomObject = "GEOMOBJECT не найден!";
const char* const MsgNoMesh = "MESH не найден!";
const char* const MsgDamaged = "Целостность файла нарушена, пересохранение может решить эту проблему.";

// Thrown inside the ASE reader once its message has been shown.
struct TAseRefused {};

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The text of the file: UTF-16 with a byte-order mark becomes UTF-8, a UTF-8 mark is
// dropped, anything else is taken byte for byte.
std::string DecodeText(const std::vector<uint8_t>& bytes) {
    size_t n = bytes.size();
    if (n >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        bool little = bytes[0] == 0xFF;
        auto unit = [&](size_t i) -> uint32_t {
            const uint16_t le = LoadLE16(&bytes[i]);
            return little ? le : static_cast<uint16_t>((le >> 8) | (le << 8));
        };
        std::string out;
        out.reserve(n / 2);
        for (size_t i = 2; i + 1 < n; i += 2) {
            uint32_t u = unit(i);
            if (u >= 0xD800 && u < 0xDC00 && i + 3 < n) {
                uint32_t low = unit(i + 2);
                if (low >= 0xDC00 && low < 0xE000) {
                    AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                    i += 2;
                    continue;
                }
            }
            AppendUtf8(out, (u >= 0xD800 && u < 0xE000) ? 0xFFFD : u);
        }
        return out;
    }
    size_t start = (n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) ? 3 : 0;
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// One non-empty line of the file with its place in the brace structure. Lines are matched
// by their trimmed text and blocks by their braces, so indentation and line ends do not
// matter; a file laid out the way the exporter writes it reads exactly as by position.
struct TAseLine {
    std::string Text;        // trimmed
    std::string_view Key;    // first word, e.g. "*MESH_NUMVERTEX"
    std::string_view Rest;   // the rest, trimmed, without a block's "{"
    size_t Depth = 0;
    bool Opens = false;      // ends in "{"
    size_t Close = 0;        // for a block: index of its "}" line, or the line count when the file ends first
};

class TAseText {
public:
    // The lines' keys and rests point into their own text: never copied.
    TAseText(const TAseText&) = delete;
    TAseText& operator=(const TAseText&) = delete;

    explicit TAseText(const std::string& text) {
        std::vector<size_t> open;
        size_t pos = 0;
        while (pos < text.size()) {
            size_t end = text.find_first_of("\r\n", pos);
            if (end == std::string::npos)
                end = text.size();
            AddLine(Trim(std::string_view(text).substr(pos, end - pos)), open);
            pos = end;
            if (pos < text.size() && text[pos] == '\r')
                ++pos;
            if (pos < text.size() && text[pos] == '\n')
                ++pos;
        }
        for (size_t i : open)
            Lines[i].Close = Lines.size();
        // Keys and rests point into the strings, which no longer move. A block's "{" may
        // follow its keyword with or without a blank.
        for (auto& line : Lines) {
            std::string_view t = line.Text;
            if (line.Opens)
                t.remove_suffix(1);
            size_t space = 0;
            while (space < t.size() && !IsBlank(t[space]))
                ++space;
            line.Key = t.substr(0, space);
            line.Rest = Trim(t.substr(space));
        }
    }

    size_t Count() const { return Lines.size(); }
    const TAseLine& operator[](size_t i) const { return Lines[i]; }
    bool Closed(size_t block) const { return Lines[block].Close < Lines.size(); }
    // First index after a line, skipping a whole block.
    size_t After(size_t i) const { return Lines[i].Opens ? std::min(Lines[i].Close + 1, Lines.size()) : i + 1; }
    // End of a block's content (its "}" line or the end of the file).
    size_t BlockEnd(size_t block) const { return Lines[block].Close; }

    // First direct entry of `block` with that key; npos when there is none.
    size_t Find(size_t block, std::string_view key, bool wantBlock) const {
        for (size_t i = block + 1; i < BlockEnd(block); i = After(i)) {
            if (Lines[i].Key == key && Lines[i].Opens == wantBlock)
                return i;
        }
        return std::string::npos;
    }
    // The direct entries of a block that are plain lines.
    std::vector<size_t> Entries(size_t block) const {
        std::vector<size_t> out;
        for (size_t i = block + 1; i < BlockEnd(block); i = After(i)) {
            if (!Lines[i].Opens)
                out.push_back(i);
        }
        return out;
    }

private:
    void AddLine(std::string_view text, std::vector<size_t>& open) {
        if (text.empty())
            return;
        TAseLine line;
        line.Text = std::string(text);
        if (text == "}" && !open.empty()) {
            size_t opener = open.back();
            open.pop_back();
            line.Depth = Lines[opener].Depth;
            Lines[opener].Close = Lines.size();
        } else {
            line.Depth = open.size();
            line.Opens = text.back() == '{';
            if (line.Opens)
                open.push_back(Lines.size());
        }
        Lines.push_back(std::move(line));
    }

    std::vector<TAseLine> Lines;
};

[[noreturn]] void Refuse(const std::string& message) {
    Report(message);
    throw TAseRefused{};
}

template <typename T>
bool ParseNumber(std::string_view s, T& value) {
    s = Trim(s);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty())
        return false;
    auto result = std::from_chars(s.data(), s.data() + s.size(), value);
    return result.ec == std::errc() && result.ptr == s.data() + s.size();
}

int32_t IntOrDamaged(std::string_view s) {
    int32_t v = 0;
    if (!ParseNumber(s, v))
        Refuse(MsgDamaged);
    return v;
}

// A count stated in the mesh; a missing line counts as 0 only where `optional`.
int32_t CountOf(const TAseText& t, size_t block, std::string_view key, bool optional) {
    size_t i = t.Find(block, key, false);
    if (i == std::string::npos) {
        if (optional)
            return 0;
        Refuse(MsgDamaged);
    }
    int32_t n = IntOrDamaged(t[i].Rest);
    if (n < 0)
        Refuse(MsgDamaged);
    return n;
}

std::vector<std::string_view> Words(std::string_view s) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && IsBlank(s[i]))
            ++i;
        size_t start = i;
        while (i < s.size() && !IsBlank(s[i]))
            ++i;
        if (i > start)
            out.push_back(s.substr(start, i - start));
    }
    return out;
}

// The last three numbers of a list entry.
template <typename T>
void LastThree(const TAseLine& line, T out[3]) {
    auto words = Words(line.Rest);
    if (words.size() < 3)
        Refuse(MsgDamaged);
    for (size_t k = 0; k < 3; ++k) {
        if (!ParseNumber(words[words.size() - 3 + k], out[k]))
            Refuse(MsgDamaged);
    }
}

// The text after the first double quote, without the closing quote.
std::string Quoted(std::string_view s) {
    size_t q = s.find('"');
    if (q == std::string_view::npos)
        return {};
    s.remove_prefix(q + 1);
    if (!s.empty() && s.back() == '"')
        s.remove_suffix(1);
    return std::string(s);
}

std::string FileNamePart(const std::string& path) {
    size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A face entry: "A:", "B:", "C:" and "AB:" mark the corners; the smoothing groups follow
// "*MESH_SMOOTHING" as a comma-separated list ending at a tab.
TFaceData ParseFace(const TAseLine& line) {
    std::string_view s = line.Rest;
    size_t a = s.find("A:");
    size_t b = a == std::string_view::npos ? a : s.find("B:", a + 2);
    size_t c = b == std::string_view::npos ? b : s.find("C:", b + 2);
    if (c == std::string_view::npos)
        Refuse(MsgDamaged);
    size_t ab = s.find("AB:", c + 2);
    if (ab == std::string_view::npos)
        ab = std::min(s.size(), s.find('*', c + 2));
    TFaceData face;
    face.A = IntOrDamaged(s.substr(a + 2, b - a - 2));
    face.B = IntOrDamaged(s.substr(b + 2, c - b - 2));
    face.C = IntOrDamaged(s.substr(c + 2, ab - c - 2));

    const std::string_view marker = "*MESH_SMOOTHING";
    size_t m = s.find(marker);
    if (m != std::string_view::npos) {
        std::string_view list = s.substr(m + marker.size());
        list = list.substr(0, std::min(list.find('\t'), list.find('*')));
        while (!list.empty()) {
            size_t comma = list.find(',');
            int64_t group = 0;
            if (ParseNumber(list.substr(0, comma), group) && group > 0)
                face.Smoothing |= 1u << ((group - 1) % 32);
            if (comma == std::string_view::npos)
                break;
            list.remove_prefix(comma + 1);
        }
    }
    return face;
}

TMaterialData ReadMaterial(const TAseText& t, size_t block) {
    TMaterialData mat;
    size_t cls = t.Find(block, "*MATERIAL_CLASS", false);
    if (cls == std::string::npos || t[cls].Rest != "\"Standard\"") {
        // Name the offending line; without a class line, the one where it belongs.
        size_t shown = cls;
        if (shown == std::string::npos) {
            shown = block;
            size_t i = block + 1;
            for (int k = 1; k <= 2 && i < t.BlockEnd(block); ++k) {
                shown = i;
                i = t.After(i);
            }
        }
        Refuse(t[shown].Text + MsgNotSupported);
    }
    size_t diffuse = t.Find(block, "*MAP_DIFFUSE", true);
    if (diffuse != std::string::npos) {
        size_t mapClass = t.Find(diffuse, "*MAP_CLASS", false);
        if (mapClass != std::string::npos && t[mapClass].Rest == "\"Bitmap\"") {
            size_t bitmap = t.Find(diffuse, "*BITMAP", false);
            if (bitmap != std::string::npos)
                mat.TextureName = FileNamePart(Quoted(t[bitmap].Rest));
        }
    }
    return mat;
}

void ReadMesh(const TAseText& t, size_t mesh, TMeshData& out) {
    int32_t vertCount = CountOf(t, mesh, "*MESH_NUMVERTEX", false);
    int32_t faceCount = CountOf(t, mesh, "*MESH_NUMFACES", false);

    // The entries of a list block, which must number exactly `count`.
    auto listEntries = [&](std::string_view key, int32_t count) {
        size_t list = t.Find(mesh, key, true);
        std::vector<size_t> entries;
        if (list != std::string::npos)
            entries = t.Entries(list);
        if (entries.size() != static_cast<size_t>(count))
            Refuse(MsgDamaged);
        return entries;
    };

    for (size_t i : listEntries("*MESH_VERTEX_LIST", vertCount)) {
        float p[3];
        LastThree(t[i], p);
        out.Vertices.push_back({p[0], p[2], -p[1]});
    }
    for (size_t i : listEntries("*MESH_FACE_LIST", faceCount))
        out.Faces.push_back(ParseFace(t[i]));

    int32_t tvertCount = CountOf(t, mesh, "*MESH_NUMTVERTEX", true);
    if (tvertCount >= 1) {
        for (size_t i : listEntries("*MESH_TVERTLIST", tvertCount)) {
            float uvw[3];
            LastThree(t[i], uvw);
            out.TVerts.push_back({uvw[0], uvw[1]});
        }
        int32_t tfaceCount = CountOf(t, mesh, "*MESH_NUMTVFACES", false);
        for (size_t i : listEntries("*MESH_TFACELIST", tfaceCount)) {
            int32_t abc[3];
            LastThree(t[i], abc);
            out.TFaces.push_back({abc[0], abc[1], abc[2]});
        }
    }
    out.VertCount = static_cast<int32_t>(out.Vertices.size());
    out.FaceCount = static_cast<int32_t>(out.Faces.size());
    out.TVertCount = static_cast<int32_t>(out.TVerts.size());
    out.TFaceCount = static_cast<int32_t>(out.TFaces.size());
}

void ReadAseText(const TAseText& t, TLoadModelData& data) {
    size_t list = std::string::npos;
    for (size_t i = 0; i < t.Count(); ++i) {
        if (t[i].Depth == 0 && t[i].Opens && t[i].Key == "*MATERIAL_LIST" && t[i].Rest.empty()) {
            list = i;
            break;
        }
    }
    if (list == std::string::npos)
        Refuse(MsgNoMaterialList);

    int32_t materialCount = CountOf(t, list, "*MATERIAL_COUNT", false);
    if (materialCount == 0)
        Refuse(MsgNoTexture);
    for (size_t i = list + 1; i < t.BlockEnd(list) && data.Materials.size() < static_cast<size_t>(materialCount);
         i = t.After(i)) {
        if (t[i].Opens && t[i].Key == "*MATERIAL") {
            if (!t.Closed(i))
                Refuse(MsgDamaged);
            data.Materials.push_back(ReadMaterial(t, i));
        }
    }
    if (data.Materials.size() != static_cast<size_t>(materialCount) || !t.Closed(list))
        Refuse(MsgDamaged);
    data.MaterialCount = materialCount;

    auto isGeomObject = [&](size_t i) {
        return i < t.Count() && t[i].Depth == 0 && t[i].Opens && t[i].Key == "*GEOMOBJECT" && t[i].Rest.empty();
    };
    size_t obj = t.After(list);
    if (!isGeomObject(obj))
        Refuse(MsgNoGeomObject);
    for (; isGeomObject(obj); obj = t.After(obj)) {
        if (!t.Closed(obj))
            Refuse(MsgDamaged);
        TGeomData geom;
        size_t name = t.Find(obj, "*NODE_NAME", false);
        if (name != std::string::npos)
            geom.Name = Quoted(t[name].Rest);
        size_t mesh = t.Find(obj, "*MESH", true);
        if (mesh == std::string::npos)
            Refuse(MsgNoMesh);
        ReadMesh(t, mesh, geom.Mesh);
        size_t ref = t.Find(obj, "*MATERIAL_REF", false);
        if (ref != std::string::npos)
            geom.MaterialRef = IntOrDamaged(t[ref].Rest);
        data.Geoms.push_back(std::move(geom));
    }
}

}  // namespace

bool ReadASEData(const std::vector<uint8_t>& bytes, TLoadModelData& data) {
    data = TLoadModelData{};
    TAseText text(DecodeText(bytes));
    try {
        ReadAseText(text, data);
    } catch (const TAseRefused&) {
        data = TLoadModelData{};
        return false;
    }
    return true;
}

std::unique_ptr<TMemoryStream> ReadASE(const std::string& fileName) {
    auto bytes = ReadWholeFile(fileName);
    if (!bytes)
        return nullptr;
    TLoadModelData data;
    if (!ReadASEData(*bytes, data))
        return nullptr;
    return ConvertModel(data);
}

// ---------------------------------------------------------------------------
// 3DS reader
// ---------------------------------------------------------------------------

namespace {

// Thrown when a length or count does not fit: the file is damaged.
struct T3dsDamaged {};

// A 3DS chunk being read: a 2-byte id and a 4-byte length that includes the 6-byte
// header, followed by its data and sub-chunks. Every read stays inside the chunk.
class TChunk {
public:
    uint16_t Id = 0;
    uint32_t Length = 0;

    // Reads the header of the chunk that starts at `start`; it must lie within `limit`.
    TChunk(const uint8_t* file, TLoadModelData& data, size_t start, size_t limit) : Data(data) {
        if (start > limit || limit - start < 6)
            throw T3dsDamaged{};
        TByteReader header(file + start, limit - start);
        header.ReadU16(Id);
        header.ReadU32(Length);
        if (Length < 6 || Length > limit - start)
            throw T3dsDamaged{};
        Body = TByteReader(file + start, Length);
        Body.Skip(6);
    }

    uint16_t ReadU16() {
        uint16_t v;
        Check(Body.ReadU16(v));
        return v;
    }
    uint32_t ReadU32() {
        uint32_t v;
        Check(Body.ReadU32(v));
        return v;
    }
    float ReadSingle() {
        float v;
        Check(Body.ReadSingle(v));
        return v;
    }
    // A zero-terminated string, which must end inside the chunk.
    std::string ReadString() {
        const char* begin = reinterpret_cast<const char*>(Body.Here());
        const void* nul = std::memchr(begin, 0, Body.Remaining());
        if (!nul)
            throw T3dsDamaged{};
        size_t n = static_cast<size_t>(static_cast<const char*>(nul) - begin);
        Body.Skip(n + 1);
        return std::string(begin, n);
    }
    // Fails unless `n` bytes are left, so that a count is checked before it is used.
    void Require(uint64_t n) const { Check(n <= Body.Remaining()); }
    size_t Unread() const { return Body.Remaining(); }
    void SkipRest() { Body.Seek(Body.Size()); }
    // The next sub-chunk; only called while at least 6 bytes are unread.
    TChunk Next() const { return TChunk(Body.Here(), Data, 0, Body.Remaining()); }
    void Consumed(const TChunk& sub) { Body.Skip(sub.Length); }
    TLoadModelData& Model() { return Data; }

private:
    static void Check(bool ok) {
        if (!ok)
            throw T3dsDamaged{};
    }

    TLoadModelData& Data;
    TByteReader Body;  // the whole chunk, header included
};

// Containers nest a handful of levels in real files; the limit keeps a crafted file of
// nested chunks from exhausting the stack.
constexpr int MaxChunkDepth = 32;

void ReadChunk(TChunk& chunk, int depth);

void ReadSubChunks(TChunk& chunk, int depth) {
    if (depth >= MaxChunkDepth)
        throw T3dsDamaged{};
    // Fewer than 6 bytes left over cannot hold a chunk: they are padding.
    while (chunk.Unread() >= 6) {
        TChunk sub = chunk.Next();
        ReadChunk(sub, depth + 1);
        chunk.Consumed(sub);
    }
    chunk.SkipRest();
}

TGeomData* CurrentGeom(TChunk& chunk) {
    auto& geoms = chunk.Model().Geoms;
    return geoms.empty() ? nullptr : &geoms.back();
}

TMaterialData* CurrentMaterial(TChunk& chunk) {
    auto& mats = chunk.Model().Materials;
    return mats.empty() ? nullptr : &mats.back();
}

void ReadChunk(TChunk& chunk, int depth) {
    TLoadModelData& data = chunk.Model();
    switch (chunk.Id) {
    case 0x4D4D:  // main
    case 0x3D3D:  // editor
    case 0x4100:  // triangle mesh
    case 0xA200:  // texture map 1
        ReadSubChunks(chunk, depth);
        break;
    case 0x0002:  // file version
        if (chunk.ReadU32() > 3)
            MessageProc.load()("Warning", "Unsupported file version.");
        break;
    case 0x4000: {  // named object
        TGeomData geom;
        geom.Name = chunk.ReadString();
        data.Geoms.push_back(std::move(geom));
        ReadSubChunks(chunk, depth);
        break;
    }
    case 0x4110: {  // vertex list
        TGeomData* geom = CurrentGeom(chunk);
        if (!geom)
            break;
        uint16_t n = chunk.ReadU16();
        chunk.Require(uint64_t{n} * 12);
        auto& verts = geom->Mesh.Vertices;
        verts.clear();
        verts.reserve(n);
        for (uint16_t i = 0; i < n; ++i) {
            float x = chunk.ReadSingle();
            float y = chunk.ReadSingle();
            float z = chunk.ReadSingle();
            verts.push_back({x, z, -y});
        }
        geom->Mesh.VertCount = n;
        break;
    }
    case 0x4120: {  // face list, then its material and smoothing sub-chunks
        TGeomData* geom = CurrentGeom(chunk);
        if (!geom)
            break;
        uint16_t n = chunk.ReadU16();
        chunk.Require(uint64_t{n} * 8);
        auto& faces = geom->Mesh.Faces;
        faces.clear();
        faces.reserve(n);
        for (uint16_t i = 0; i < n; ++i) {
            TFaceData f;
            f.A = chunk.ReadU16();
            f.B = chunk.ReadU16();
            f.C = chunk.ReadU16();
            chunk.ReadU16();  // edge flags
            faces.push_back(f);
        }
        geom->Mesh.FaceCount = n;
        ReadSubChunks(chunk, depth);
        break;
    }
    case 0x4130: {  // face material: the object takes the material of that exact name
        TGeomData* geom = CurrentGeom(chunk);
        if (!geom)
            break;
        std::string name = chunk.ReadString();
        geom->MaterialRef = -1;
        for (size_t i = 0; i < data.Materials.size(); ++i) {
            if (data.Materials[i].AuxName == name) {
                geom->MaterialRef = static_cast<int32_t>(i);
                break;
            }
        }
        break;
    }
    case 0x4140: {  // texture coordinates, one per vertex
        TGeomData* geom = CurrentGeom(chunk);
        if (!geom)
            break;
        uint16_t n = chunk.ReadU16();
        chunk.Require(uint64_t{n} * 8);
        auto& tverts = geom->Mesh.TVerts;
        tverts.clear();
        tverts.reserve(n);
        for (uint16_t i = 0; i < n; ++i) {
            float u = chunk.ReadSingle();
            float v = chunk.ReadSingle();
            tverts.push_back({u, v});
        }
        geom->Mesh.TVertCount = n;
        break;
    }
    case 0x4150: {  // smoothing groups, one mask per face
        TGeomData* geom = CurrentGeom(chunk);
        if (!geom)
            break;
        auto& faces = geom->Mesh.Faces;
        chunk.Require(uint64_t{faces.size()} * 4);
        for (auto& f : faces)
            f.Smoothing = chunk.ReadU32();
        break;
    }
    case 0xAFFF:  // material block
        data.Materials.emplace_back();
        ReadSubChunks(chunk, depth);
        break;
    case 0xA000:  // material name, kept to resolve face materials
        if (TMaterialData* mat = CurrentMaterial(chunk))
            mat->AuxName = chunk.ReadString();
        break;
    case 0xA300:  // map file name
        if (TMaterialData* mat = CurrentMaterial(chunk))
            mat->TextureName = chunk.ReadString();
        break;
    default:  // keyframer (0xB000) and everything not understood
        break;
    }
    chunk.SkipRest();
}

}  // namespace

bool Read3DSData(const std::vector<uint8_t>& bytes, TLoadModelData& data) {
    data = TLoadModelData{};
    try {
        TChunk main(bytes.data(), data, 0, bytes.size());
        if (main.Id != 0x4D4D) {
            data = TLoadModelData{};
            return false;
        }
        ReadChunk(main, 0);
    } catch (const T3dsDamaged&) {
        data = TLoadModelData{};
        return false;
    }
    data.MaterialCount = static_cast<int32_t>(data.Materials.size());
    for (auto& mat : data.Materials)
        mat.AuxName.clear();
    // One texture coordinate per vertex: the texture faces are the faces.
    for (auto& geom : data.Geoms) {
        if (geom.MaterialRef < 0)
            continue;
        auto& mesh = geom.Mesh;
        mesh.TFaces.clear();
        for (const auto& f : mesh.Faces)
            mesh.TFaces.push_back({f.A, f.B, f.C});
        mesh.TFaceCount = mesh.FaceCount;
    }
    return true;
}

std::unique_ptr<TMemoryStream> Read3DS(const std::string& fileName) {
    auto bytes = ReadWholeFile(fileName);
    if (!bytes)
        return nullptr;
    TLoadModelData data;
    if (!Read3DSData(*bytes, data))
        return nullptr;
    return ConvertModel(data);
}

// ---------------------------------------------------------------------------
// Converter
// ---------------------------------------------------------------------------

namespace {

const float* Singles(const TDrawVertData& v) { return reinterpret_cast<const float*>(&v); }

bool WeldClose(const TDrawVertData& a, const TDrawVertData& b) {
    const float* pa = Singles(a);
    const float* pb = Singles(b);
    for (int k = 0; k < StaticVertexSize; ++k) {
        if (!(std::fabs(static_cast<double>(pa[k]) - static_cast<double>(pb[k])) < 0.0001))
            return false;
    }
    return true;
}

void WeldQuadratic(const std::vector<TDrawVertData>& verts, std::vector<TDrawVertData>& kept,
                   std::vector<int32_t>& remap) {
    std::vector<size_t> survivors;
    for (size_t j = 0; j < verts.size(); ++j) {
        remap[j] = -1;
        for (size_t s = 0; s < survivors.size(); ++s) {
            if (WeldClose(verts[survivors[s]], verts[j])) {
                remap[j] = static_cast<int32_t>(s);
                break;
            }
        }
        if (remap[j] < 0) {
            remap[j] = static_cast<int32_t>(kept.size());
            kept.push_back(verts[j]);
            survivors.push_back(j);
        }
    }
}

// Survivors are filed in a grid over the position whose cells are four times the tolerance
// wide. A position closer than the tolerance to another lies less than a quarter cell
// away from it, so per axis only the vertex's own cell and the neighbour on the nearer
// side can hold it: eight cells in all. Each cell chains its survivors in order, so the
// first close one in a cell is its lowest, and the lowest over the eight cells is exactly
// the survivor the pairwise comparison finds.
struct TCellKey {
    int64_t X, Y, Z;
    bool operator==(const TCellKey&) const = default;
};

struct TCellHash {
    size_t operator()(const TCellKey& k) const {
        uint64_t h = static_cast<uint64_t>(k.X) * 0x9E3779B97F4A7C15ull;
        h ^= static_cast<uint64_t>(k.Y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
        h ^= static_cast<uint64_t>(k.Z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
        return static_cast<size_t>(h);
    }
};

struct TCellSpan {
    int64_t First;  // the vertex's own cell, or the lower neighbour when it sits in the lower half
};

TCellSpan CellsOf(float v, int64_t& own) {
    constexpr double cell = 0.0004;
    constexpr double limit = 4.0e18;  // far beyond any float whose neighbours are this close
    double d = static_cast<double>(v) / cell;
    double c = std::floor(d);
    own = static_cast<int64_t>(std::clamp(c, -limit, limit));
    return {d - c < 0.5 ? own - 1 : own};
}

struct TCellChain {
    int32_t Head;
    int32_t Tail;
};

void WeldHashed(const std::vector<TDrawVertData>& verts, std::vector<TDrawVertData>& kept,
                std::vector<int32_t>& remap) {
    std::unordered_map<TCellKey, TCellChain, TCellHash> grid;
    grid.reserve(verts.size());
    std::vector<int32_t> next;  // next survivor in the same cell, -1 at the end
    for (size_t j = 0; j < verts.size(); ++j) {
        const TDrawVertData& v = verts[j];
        const TDotVector3& p = v.Position;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            // Nothing is within the tolerance of an infinite or undefined position.
            remap[j] = static_cast<int32_t>(kept.size());
            kept.push_back(v);
            next.push_back(-1);
            continue;
        }
        TCellKey own;
        const int64_t x0 = CellsOf(p.x, own.X).First;
        const int64_t y0 = CellsOf(p.y, own.Y).First;
        const int64_t z0 = CellsOf(p.z, own.Z).First;
        int32_t best = -1;
        for (int64_t x = x0; x <= x0 + 1; ++x) {
            for (int64_t y = y0; y <= y0 + 1; ++y) {
                for (int64_t z = z0; z <= z0 + 1; ++z) {
                    auto it = grid.find({x, y, z});
                    if (it == grid.end())
                        continue;
                    for (int32_t s = it->second.Head; s >= 0 && (best < 0 || s < best);
                         s = next[static_cast<size_t>(s)]) {
                        if (WeldClose(kept[static_cast<size_t>(s)], v)) {
                            best = s;
                            break;
                        }
                    }
                }
            }
        }
        if (best >= 0) {
            remap[j] = best;
            continue;
        }
        const int32_t index = static_cast<int32_t>(kept.size());
        remap[j] = index;
        kept.push_back(v);
        next.push_back(-1);
        auto [it, added] = grid.try_emplace(own, TCellChain{index, index});
        if (!added) {
            next[static_cast<size_t>(it->second.Tail)] = index;
            it->second.Tail = index;
        }
    }
}

void WriteColideBox(TStoredColideMesh& mesh) {
    mesh.BoxMin = {BoxStart, BoxStart, BoxStart};
    mesh.BoxMax = {-BoxStart, -BoxStart, -BoxStart};
    for (const auto& p : mesh.Vertices)
        GrowBox(mesh.BoxMin, mesh.BoxMax, p.x, p.y, p.z);
}

bool IndexOk(int32_t index, size_t count) { return index >= 0 && static_cast<size_t>(index) < count; }

// The converter's checks of one object; false after a message naming it.
bool CheckFaces(const TGeomData& geom) {
    const auto& mesh = geom.Mesh;
    for (const auto& f : mesh.Faces) {
        if (!IndexOk(f.A, mesh.Vertices.size()) || !IndexOk(f.B, mesh.Vertices.size()) ||
            !IndexOk(f.C, mesh.Vertices.size())) {
            Report("Объект \"" + geom.Name + "\": индекс вершины вне диапазона!");
            return false;
        }
    }
    return true;
}

bool CheckRender(const TLoadModelData& data, const TGeomData& geom) {
    const auto& mesh = geom.Mesh;
    if (!IndexOk(geom.MaterialRef, data.Materials.size())) {
        Report("Объект \"" + geom.Name + "\": материал " + std::to_string(geom.MaterialRef) + " не существует!");
        return false;
    }
    if (mesh.TFaces.size() != mesh.Faces.size()) {
        Report("Объект \"" + geom.Name + "\": число текстурных граней (" + std::to_string(mesh.TFaces.size()) +
               ") не совпадает с числом граней (" + std::to_string(mesh.Faces.size()) + ")!");
        return false;
    }
    if (mesh.TVerts.empty() && !mesh.Faces.empty()) {
        Report("Объект \"" + geom.Name + "\": нет текстурных координат!");
        return false;
    }
    for (const auto& tf : mesh.TFaces) {
        if (!IndexOk(tf.A, mesh.TVerts.size()) || !IndexOk(tf.B, mesh.TVerts.size()) ||
            !IndexOk(tf.C, mesh.TVerts.size())) {
            Report("Объект \"" + geom.Name + "\": индекс текстурной вершины вне диапазона!");
            return false;
        }
    }
    return CheckFaces(geom);
}

TStoredColideMesh MakeColideMesh(const TGeomData& geom) {
    TStoredColideMesh mesh;
    mesh.Name = geom.Name;
    mesh.Vertices.reserve(geom.Mesh.Vertices.size());
    for (const auto& v : geom.Mesh.Vertices)
        mesh.Vertices.push_back({v.x, v.y, v.z});
    for (const auto& f : geom.Mesh.Faces)
        mesh.Triangles.push_back({f.A, f.B, f.C});
    mesh.VertCount = static_cast<int32_t>(mesh.Vertices.size());
    mesh.TriCount = static_cast<int32_t>(mesh.Triangles.size());
    WriteColideBox(mesh);
    return mesh;
}

TStoredRenderMesh MakeRenderMesh(const TLoadModelData& data, const TGeomData& geom, TWeldMode weld) {
    const TMeshData& src = geom.Mesh;
    const size_t faceCount = src.Faces.size();

    // Unweld: three vertices of its own for every face.
    std::vector<TDrawVertData> verts(faceCount * 3);
    std::vector<TDotVector3> faceNormals(faceCount);
    for (size_t f = 0; f < faceCount; ++f) {
        const TFaceData& face = src.Faces[f];
        const TTripleIndex& tf = src.TFaces[f];
        const int32_t corners[3] = {face.A, face.B, face.C};
        const int32_t tcorners[3] = {tf.A, tf.B, tf.C};
        for (int k = 0; k < 3; ++k) {
            verts[f * 3 + k].Position = src.Vertices[static_cast<size_t>(corners[k])];
            verts[f * 3 + k].TexCoord = src.TVerts[static_cast<size_t>(tcorners[k])];
        }
        const TDotVector3& p0 = verts[f * 3].Position;
        TDotVector3 n = DotCross(DotSub(verts[f * 3 + 1].Position, p0), DotSub(verts[f * 3 + 2].Position, p0));
        DotNormalize(n);
        faceNormals[f] = n;
    }

    // Smoothed faces on each file vertex, once per corner on it, in face order: summing
    // over this list adds the same normals in the same order as scanning every face.
    std::vector<std::vector<int32_t>> facesAt(src.Vertices.size());
    for (size_t g = 0; g < faceCount; ++g) {
        const TFaceData& face = src.Faces[g];
        if (face.Smoothing == 0)
            continue;
        for (int32_t v : {face.A, face.B, face.C})
            facesAt[static_cast<size_t>(v)].push_back(static_cast<int32_t>(g));
    }
    for (size_t f = 0; f < faceCount; ++f) {
        const TFaceData& face = src.Faces[f];
        const int32_t corners[3] = {face.A, face.B, face.C};
        for (int k = 0; k < 3; ++k) {
            TDotVector3 n = faceNormals[f];
            if (face.Smoothing != 0) {
                n = {};
                for (int32_t g : facesAt[static_cast<size_t>(corners[k])]) {
                    if ((src.Faces[static_cast<size_t>(g)].Smoothing & face.Smoothing) != 0)
                        n = DotAdd(n, faceNormals[static_cast<size_t>(g)]);
                }
                DotNormalize(n);
            }
            verts[f * 3 + k].Normal = n;
        }
    }

    // Tangents: each corner takes the triangle starting at itself, in cyclic order.
    for (size_t f = 0; f < faceCount; ++f) {
        for (int k = 0; k < 3; ++k) {
            TDrawVertData& a = verts[f * 3 + k];
            const TDrawVertData& b = verts[f * 3 + (k + 1) % 3];
            const TDrawVertData& c = verts[f * 3 + (k + 2) % 3];
            TriangleTangents(a.Position, b.Position, c.Position, a.TexCoord, b.TexCoord, c.TexCoord, a.Normal,
                             a.Tangent, a.Binormal);
        }
    }

    std::vector<TDrawVertData> kept;
    std::vector<int32_t> remap;
    WeldVertices(verts, weld, kept, remap);

    TStoredRenderMesh mesh;
    mesh.Name = geom.Name;
    const TMaterialData& mat = data.Materials[static_cast<size_t>(geom.MaterialRef)];
    mesh.Material.DiffuseMap = mat.TextureName;
    mesh.Material.BumpMap = mat.AuxName;
    mesh.BoxMin = {BoxStart, BoxStart, BoxStart};
    mesh.BoxMax = {-BoxStart, -BoxStart, -BoxStart};
    mesh.Vertices.reserve(kept.size() * StaticVertexSize);
    for (const auto& v : kept) {
        GrowBox(mesh.BoxMin, mesh.BoxMax, v.Position.x, v.Position.y, v.Position.z);
        const float* s = Singles(v);
        mesh.Vertices.insert(mesh.Vertices.end(), s, s + StaticVertexSize);
    }
    mesh.Triangles.reserve(faceCount);
    for (size_t f = 0; f < faceCount; ++f)
        mesh.Triangles.push_back({remap[f * 3], remap[f * 3 + 1], remap[f * 3 + 2]});
    mesh.VertCount = static_cast<int32_t>(kept.size());
    mesh.TriCount = static_cast<int32_t>(faceCount);
    return mesh;
}

std::string Prefix3(const std::string& name) { return ToUpperAscii(name.substr(0, 3)); }

}  // namespace

void WeldVertices(const std::vector<TDrawVertData>& verts, TWeldMode mode, std::vector<TDrawVertData>& kept,
                  std::vector<int32_t>& remap) {
    kept.clear();
    remap.assign(verts.size(), -1);
    if (mode == TWeldMode::Quadratic)
        WeldQuadratic(verts, kept, remap);
    else
        WeldHashed(verts, kept, remap);
}

std::unique_ptr<TMemoryStream> ConvertModel(const TLoadModelData& data, TWeldMode weld) {
    std::vector<const TGeomData*> colide;
    std::vector<const TGeomData*> render;
    for (const auto& geom : data.Geoms) {
        if (Prefix3(geom.Name) == "CM_")
            colide.push_back(&geom);
        else if (geom.MaterialRef >= 0)
            render.push_back(&geom);
    }
    // A render object without a collision object of its own collides with its own shape,
    // unless its name says it never collides.
    const size_t ownColide = colide.size();
    for (const TGeomData* geom : render) {
        if (Prefix3(geom->Name) == "JR_")
            continue;
        bool hasOwn = false;
        for (size_t i = 0; i < ownColide && !hasOwn; ++i)
            hasOwn = colide[i]->Name == "CM_" + geom->Name;
        if (!hasOwn)
            colide.push_back(geom);
    }

    for (const TGeomData* geom : colide) {
        if (!CheckFaces(*geom))
            return nullptr;
    }
    for (const TGeomData* geom : render) {
        if (!CheckRender(data, *geom))
            return nullptr;
    }

    TModelStreamData model;
    for (const TGeomData* geom : colide)
        model.ColidData.Meshes.push_back(MakeColideMesh(*geom));
    for (const TGeomData* geom : render)
        model.RendData.Meshes.push_back(MakeRenderMesh(data, *geom, weld));
    model.ColidData.MeshCount = static_cast<int32_t>(model.ColidData.Meshes.size());
    model.RendData.MeshCount = static_cast<int32_t>(model.RendData.Meshes.size());

    auto stream = std::make_unique<TMemoryStream>();
    WriteModelStream(*stream, model);
    return stream;
}
