// `mygame-data info` for model files: what a .PRM, .PAM, .ASE or .3DS holds, as JSON.
// Interchange files show both what their reader collected and the model they convert to.

#include "DataTool.h"

#include "app/e_Platform.h"
#include "resources/e_ModelLoader.h"

#include <cmath>
#include <iostream>
#include <sstream>

namespace {

// The readers' messages, collected instead of shown.
std::vector<std::string>& Messages() {
    static std::vector<std::string> messages;
    return messages;
}

void CollectMessage(const std::string& caption, const std::string& text) {
    Messages().push_back(caption == "Program Message:" ? text : caption + ": " + text);
}

std::string Num(float v) {
    std::ostringstream out;
    if (!std::isfinite(v))
        return "null";  // JSON has no NaN or infinity
    out << v;
    return out.str();
}

std::string Vec(const TMyVector3f& v) { return "[" + Num(v.x) + ", " + Num(v.y) + ", " + Num(v.z) + "]"; }

std::string MessagesJson() {
    std::string s = "[";
    for (size_t i = 0; i < Messages().size(); ++i)
        s += (i ? ", " : "") + JsonString(Messages()[i]);
    return s + "]";
}

// The model stream part, as the members of a JSON object (no braces).
void PrintModel(const TModelStreamData& model, TMemoryStream& stream, std::ostream& out) {
    out << "  \"version\": " << model.Version << ",\n  \"skinned\": " << (model.Skinned ? "true" : "false");
    if (model.Skinned)
        out << ",\n  \"scale\": " << Num(model.Scale) << ",\n  \"bones\": " << model.RendData.BoneCount;
    out << ",\n  \"collision_meshes\": [";
    for (size_t i = 0; i < model.ColidData.Meshes.size(); ++i) {
        const auto& m = model.ColidData.Meshes[i];
        out << (i ? "," : "") << "\n    {\"name\": " << JsonString(m.Name) << ", \"vertices\": " << m.VertCount
            << ", \"triangles\": " << m.TriCount << ", \"box_min\": " << Vec(m.BoxMin)
            << ", \"box_max\": " << Vec(m.BoxMax) << "}";
    }
    out << (model.ColidData.Meshes.empty() ? "]" : "\n  ]") << ",\n  \"render_meshes\": [";
    for (size_t i = 0; i < model.RendData.Meshes.size(); ++i) {
        const auto& m = model.RendData.Meshes[i];
        const auto& mat = m.Material;
        out << (i ? "," : "") << "\n    {\"name\": " << JsonString(m.Name) << ", \"vertices\": " << m.VertCount
            << ", \"triangles\": " << m.TriCount << ", \"diffuse\": " << JsonString(mat.DiffuseMap)
            << ", \"bump\": " << JsonString(mat.BumpMap) << ", \"gloss\": " << JsonString(mat.GlossMap)
            << ", \"emissive\": " << (mat.Emissive ? "true" : "false")
            << ", \"blended\": " << (mat.Blended ? "true" : "false")
            << ", \"alpha_test\": " << (mat.AlphaTest ? "true" : "false") << ", \"alpha_ref\": " << Num(mat.AlphaRef)
            << ", \"parallax\": " << (mat.Parallax ? "true" : "false")
            << ", \"parallax_scale\": " << Num(mat.ParallaxScale) << ", \"spec_power\": " << Num(mat.SpecPower)
            << ", \"box_min\": " << Vec(m.BoxMin) << ", \"box_max\": " << Vec(m.BoxMax) << "}";
    }
    out << (model.RendData.Meshes.empty() ? "]" : "\n  ]");
    if (model.Skinned) {
        out << ",\n  \"animation\": ";
        if (auto anim = PeekEmbeddedAnimation(stream))
            out << "{\"bones\": " << anim->BoneCount << ", \"frames\": " << anim->FrameCount
                << ", \"frame_rate\": " << anim->FrameRate << ", \"bytes\": " << stream.Remaining() << "}";
        else
            out << "null";
    }
}

// Reads a model stream and prints it; returns the exit status.
int PrintStream(const std::string& path, const char* kind, TMemoryStream& stream, bool skinned,
                const std::string& sourceJson, std::ostream& out) {
    TModelStreamData model;
    try {
        if (!ReadModelStream(stream, skinned, model)) {
            out << "{\"file\": " << JsonString(path) << ", \"kind\": \"" << kind << "\", \"version\": " << model.Version
                << ", \"error\": \"outdated version, 200 expected\"}\n";
            return 1;
        }
    } catch (const TStreamReadError& e) {
        out << "{\"file\": " << JsonString(path) << ", \"kind\": \"" << kind
            << "\", \"error\": " << JsonString(std::string("damaged: ") + e.what()) << "}\n";
        return 1;
    }
    out << "{\n  \"file\": " << JsonString(path) << ",\n  \"kind\": \"" << kind << "\",\n";
    if (!sourceJson.empty())
        out << sourceJson;
    PrintModel(model, stream, out);
    if (!Messages().empty())
        out << ",\n  \"messages\": " << MessagesJson();
    out << "\n}\n";
    return 0;
}

int PrintBinary(const std::string& path, std::ostream& out, const char* kind, bool skinned) {
    TMemoryStream stream;
    if (!stream.LoadFromFile(path)) {
        std::cerr << "mygame-data info: " << path << ": cannot be read\n";
        return 1;
    }
    return PrintStream(path, kind, stream, skinned, {}, out);
}

// What a reader collected, as the "source" member.
std::string SourceJson(const TLoadModelData& data) {
    std::ostringstream out;
    out << "  \"source\": {\n    \"materials\": [";
    for (size_t i = 0; i < data.Materials.size(); ++i)
        out << (i ? ", " : "") << "{\"texture\": " << JsonString(data.Materials[i].TextureName) << "}";
    out << "],\n    \"objects\": [";
    for (size_t i = 0; i < data.Geoms.size(); ++i) {
        const auto& g = data.Geoms[i];
        out << (i ? "," : "") << "\n      {\"name\": " << JsonString(g.Name) << ", \"material\": " << g.MaterialRef
            << ", \"vertices\": " << g.Mesh.Vertices.size() << ", \"faces\": " << g.Mesh.Faces.size()
            << ", \"texture_vertices\": " << g.Mesh.TVerts.size()
            << ", \"texture_faces\": " << g.Mesh.TFaces.size() << "}";
    }
    out << (data.Geoms.empty() ? "]" : "\n    ]") << "\n  },\n";
    return out.str();
}

int PrintInterchange(const std::string& path, std::ostream& out, const char* kind,
                     bool (*read)(const std::vector<uint8_t>&, TLoadModelData&)) {
    auto bytes = ReadWholeFile(path);
    if (!bytes) {
        std::cerr << "mygame-data info: " << path << ": cannot be read\n";
        return 1;
    }
    Messages().clear();
    TModelMessageProc previous = SetModelMessageProc(&CollectMessage);
    TLoadModelData data;
    std::unique_ptr<TMemoryStream> stream;
    if (read(*bytes, data))
        stream = ConvertModel(data);
    SetModelMessageProc(previous);
    if (!stream) {
        if (Messages().empty())
            Messages().push_back("damaged file");
        out << "{\"file\": " << JsonString(path) << ", \"kind\": \"" << kind
            << "\", \"refused\": true, \"messages\": " << MessagesJson() << "}\n";
        return 1;
    }
    return PrintStream(path, kind, *stream, false, SourceJson(data), out);
}

int PrintPRM(const std::string& path, std::ostream& out) { return PrintBinary(path, out, "PRM", false); }
int PrintPAM(const std::string& path, std::ostream& out) { return PrintBinary(path, out, "PAM", true); }
int PrintASE(const std::string& path, std::ostream& out) { return PrintInterchange(path, out, "ASE", &ReadASEData); }
int Print3DS(const std::string& path, std::ostream& out) { return PrintInterchange(path, out, "3DS", &Read3DSData); }

const InfoHandler prmInfo(".PRM", PrintPRM);
const InfoHandler pamInfo(".PAM", PrintPAM);
const InfoHandler aseInfo(".ASE", PrintASE);
const InfoHandler tdsInfo(".3DS", Print3DS);

}  // namespace
