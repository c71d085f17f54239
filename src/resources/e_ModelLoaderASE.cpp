// The ASE reader: the text of an ASCII Scene Export file (UTF-8, or UTF-16 with a byte-order
// mark) parsed by its brace structure into loader records. A file it cannot take is refused
// with the message the player is shown, through the loader's message procedure.

#include "resources/e_ModelLoader.h"

#include "app/e_ByteReader.h"
#include "app/e_Platform.h"
#include "resources/e_ModelLoaderShared.h"

#include <charconv>
#include <string_view>

using namespace model_loader;

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
    std::string Text;       // trimmed
    std::string_view Key;   // first word, e.g. "*MESH_NUMVERTEX"
    std::string_view Rest;  // the rest, trimmed, without a block's "{"
    size_t Depth = 0;
    bool Opens = false;  // ends in "{"
    size_t Close = 0;    // for a block: index of its "}" line, or the line count when the file ends first
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
    size_t After(size_t i) const {
        return Lines[i].Opens ? std::min(Lines[i].Close + 1, Lines.size()) : i + 1;
    }
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
    for (size_t i = list + 1;
         i < t.BlockEnd(list) && data.Materials.size() < static_cast<size_t>(materialCount); i = t.After(i)) {
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
        return i < t.Count() && t[i].Depth == 0 && t[i].Opens && t[i].Key == "*GEOMOBJECT" &&
               t[i].Rest.empty();
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
