// `mygame-data info` for model files: what a .PRM, .PAM, .ASE or .3DS holds, as JSON.
// Interchange files show both what their reader collected and the model they convert to.

#include "DataTool.h"

#include "app/e_Platform.h"
#include "resources/e_ModelLoader.h"
#include "resources/e_ResManagerClasses.h"

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

std::string Num(float v) { return JsonNumber(v); }

std::string Vec(const TMyVector3f& v) { return "[" + Num(v.x) + ", " + Num(v.y) + ", " + Num(v.z) + "]"; }

std::string MessagesJson() {
    std::string s = "[";
    for (size_t i = 0; i < Messages().size(); ++i)
        s += (i ? ", " : "") + JsonString(Messages()[i]);
    return s + "]";
}

int Damaged(const std::string& path) {
    std::cerr << "Файл \"" << path << "\" поврежден. Загрузка невозможна.\n";
    return 1;
}

// The clips a skinned model brings, read as the game reads them: the one embedded after the
// meshes, or else every clip file beside the model. A clip that breaks off is thrown.
std::vector<std::string> ReadClips(const std::string& path, const TModelStreamData& model,
                                   TMemoryStream& stream, std::string& embedded) {
    std::vector<std::string> names;
    if (stream.GetPosition() < stream.GetSize()) {
        if (auto anim = PeekEmbeddedAnimation(stream)) {
            std::ostringstream out;
            out << "{\"bones\": " << anim->BoneCount << ", \"frames\": " << anim->FrameCount
                << ", \"frame_rate\": " << anim->FrameRate << ", \"bytes\": " << stream.Remaining() << "}";
            embedded = out.str();
        }
        TSkeletalAnimation clip(std::string(), model.Scale, stream);
        names.push_back(clip.Name);
        return names;
    }
    for (const std::string& file : SkinnedModelClipFiles(path)) {
        TMemoryStream clipStream;
        if (!clipStream.LoadFromFile(file))
            throw TStreamReadError("animation file \"" + file + "\" cannot be read");
        TSkeletalAnimation clip(file, model.Scale, clipStream);
        names.push_back(file);
    }
    return names;
}

// The model stream's members, on one line (no braces).
void PrintModel(const TModelStreamData& model, const std::vector<std::string>& clips,
                const std::string& embedded, std::ostream& out) {
    int64_t vertices = 0, triangles = 0;
    for (const auto& m : model.RendData.Meshes) {
        vertices += m.VertCount;
        triangles += m.TriCount;
    }
    const bool noMeshes = model.RendData.Meshes.empty();
    out << "\"version\": " << model.Version << ", \"skinned\": " << (model.Skinned ? "true" : "false")
        << ", \"scale\": " << Num(model.Skinned ? model.Scale : 1.0f)
        << ", \"bone_count\": " << (model.Skinned ? model.RendData.BoneCount : 0)
        << ", \"collision_meshes\": " << model.ColidData.Meshes.size()
        << ", \"render_meshes\": " << model.RendData.Meshes.size() << ", \"vertices\": " << vertices
        << ", \"triangles\": " << triangles
        << ", \"box_min\": " << (noMeshes ? "null" : Vec(model.RendData.BoxMin))
        << ", \"box_max\": " << (noMeshes ? "null" : Vec(model.RendData.BoxMax)) << ", \"animations\": [";
    for (size_t i = 0; i < clips.size(); ++i)
        out << (i ? ", " : "") << JsonString(clips[i]);
    out << "]";
    if (!embedded.empty())
        out << ", \"embedded_animation\": " << embedded;
    out << ", \"meshes\": {\"collision\": [";
    for (size_t i = 0; i < model.ColidData.Meshes.size(); ++i) {
        const auto& m = model.ColidData.Meshes[i];
        out << (i ? ", " : "") << "{\"name\": " << JsonString(m.Name) << ", \"vertices\": " << m.VertCount
            << ", \"triangles\": " << m.TriCount << ", \"box_min\": " << Vec(m.BoxMin)
            << ", \"box_max\": " << Vec(m.BoxMax) << "}";
    }
    out << "], \"render\": [";
    for (size_t i = 0; i < model.RendData.Meshes.size(); ++i) {
        const auto& m = model.RendData.Meshes[i];
        const auto& mat = m.Material;
        out << (i ? ", " : "") << "{\"name\": " << JsonString(m.Name) << ", \"vertices\": " << m.VertCount
            << ", \"triangles\": " << m.TriCount << ", \"diffuse\": " << JsonString(mat.DiffuseMap)
            << ", \"bump\": " << JsonString(mat.BumpMap) << ", \"gloss\": " << JsonString(mat.GlossMap)
            << ", \"emissive\": " << (mat.Emissive ? "true" : "false")
            << ", \"blended\": " << (mat.Blended ? "true" : "false")
            << ", \"alpha_test\": " << (mat.AlphaTest ? "true" : "false")
            << ", \"alpha_ref\": " << Num(mat.AlphaRef)
            << ", \"parallax\": " << (mat.Parallax ? "true" : "false")
            << ", \"parallax_scale\": " << Num(mat.ParallaxScale)
            << ", \"spec_power\": " << Num(mat.SpecPower) << ", \"box_min\": " << Vec(m.BoxMin)
            << ", \"box_max\": " << Vec(m.BoxMax) << "}";
    }
    out << "]}";
}

// Reads a model stream and prints it; returns the exit status. The messages are the ones the
// resource manager shows for the same stream.
int PrintStream(const std::string& path, TMemoryStream& stream, bool skinned, const std::string& sourceJson,
                std::ostream& out) {
    TModelStreamData model;
    std::vector<std::string> clips;
    std::string embedded;
    try {
        stream.Seek(0);
        if (!ReadModelStream(stream, skinned, model)) {
            std::cerr << "Версия файла \"" << path << "\" устарела. Загрузка невозможна.\n";
            return 1;
        }
        if (skinned)
            clips = ReadClips(path, model, stream, embedded);
    } catch (const TStreamReadError& e) {
        std::cerr << "model \"" << path << "\" is damaged: " << e.what() << "\n";
        return 1;
    }
    out << "{";
    PrintModel(model, clips, embedded, out);
    if (!sourceJson.empty())
        out << ", " << sourceJson;
    if (!Messages().empty())
        out << ", \"messages\": " << MessagesJson();
    out << "}\n";
    return 0;
}

int PrintBinary(const std::string& path, std::ostream& out, bool skinned) {
    Messages().clear();
    TMemoryStream stream;
    if (!stream.LoadFromFile(path))
        return Damaged(path);
    return PrintStream(path, stream, skinned, {}, out);
}

// What a reader collected, as the "source" member.
std::string SourceJson(const TLoadModelData& data) {
    std::ostringstream out;
    out << "\"source\": {\"materials\": [";
    for (size_t i = 0; i < data.Materials.size(); ++i)
        out << (i ? ", " : "") << "{\"texture\": " << JsonString(data.Materials[i].TextureName) << "}";
    out << "], \"objects\": [";
    for (size_t i = 0; i < data.Geoms.size(); ++i) {
        const auto& g = data.Geoms[i];
        out << (i ? ", " : "") << "{\"name\": " << JsonString(g.Name) << ", \"material\": " << g.MaterialRef
            << ", \"vertices\": " << g.Mesh.Vertices.size() << ", \"faces\": " << g.Mesh.Faces.size()
            << ", \"texture_vertices\": " << g.Mesh.TVerts.size()
            << ", \"texture_faces\": " << g.Mesh.TFaces.size() << "}";
    }
    out << "]}";
    return out.str();
}

int PrintInterchange(const std::string& path, std::ostream& out,
                     bool (*read)(const std::vector<uint8_t>&, TLoadModelData&)) {
    auto bytes = ReadWholeFile(path);
    if (!bytes)
        return Damaged(path);
    Messages().clear();
    TModelMessageProc previous = SetModelMessageProc(&CollectMessage);
    TLoadModelData data;
    std::unique_ptr<TMemoryStream> stream;
    try {
        if (read(*bytes, data))
            stream = ConvertModel(data);
    } catch (...) {
        SetModelMessageProc(previous);
        throw;
    }
    SetModelMessageProc(previous);
    // The reader's own boxes come first; the one that names the file is what is left on screen.
    if (!stream)
        return Damaged(path);
    return PrintStream(path, *stream, false, SourceJson(data), out);
}

int PrintPRM(const std::string& path, std::ostream& out) { return PrintBinary(path, out, false); }
int PrintPAM(const std::string& path, std::ostream& out) { return PrintBinary(path, out, true); }
int PrintASE(const std::string& path, std::ostream& out) { return PrintInterchange(path, out, &ReadASEData); }
int Print3DS(const std::string& path, std::ostream& out) { return PrintInterchange(path, out, &Read3DSData); }

const InfoHandler prmInfo(".PRM", "model", PrintPRM);
const InfoHandler pamInfo(".PAM", "model", PrintPAM);
const InfoHandler aseInfo(".ASE", "model", PrintASE);
const InfoHandler tdsInfo(".3DS", "model", Print3DS);

}  // namespace
