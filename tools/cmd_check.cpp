// mygame-data check DIR: will the game run with this folder? Every file the game asks for by
// name is read from DIR with the game's readers, and so is every model the map places and every
// texture a model's materials name. One JSON line per missing or refused file, then a summary.

#include "DataTool.h"

#include "app/e_Platform.h"
#include "resources/GameDataNames.h"
#include "resources/e_ModelLoader.h"
#include "resources/e_ResManagerTypes.h"
#include "world/MapObject.h"

#include <iostream>
#include <set>

namespace {

const char* KindWord(TAskedFile::TKind kind) {
    switch (kind) {
    case TAskedFile::Map:
        return "map";
    case TAskedFile::Model:
        return "model";
    case TAskedFile::Texture:
        return "texture";
    case TAskedFile::Sound:
        return "sound";
    case TAskedFile::Music:
        return "music";
    case TAskedFile::Shader:
        return "shader";
    }
    return "unknown";
}

void QuietModelMessage(const std::string&, const std::string&) {}

// The models a map places, as the map asks the registry for them.
std::vector<std::string> MapModels(const std::string& file) {
    std::vector<std::string> names;
    try {
        TMapStream stream = TMapStream::FromFile(file);
        const TMapFileData map = ReadMapFile(stream);
        for (const auto* list : {&map.Trees, &map.Entities, &map.Entities2})
            for (const auto& r : *list)
                names.push_back(r.Name);
    } catch (const std::exception&) {
        // Refused already; a refused map places nothing.
    }
    return names;
}

// The textures a model's materials name, as the model registers them, and the variants of a
// diffuse map that lie beside it (Soldier_1.tga .. Soldier_7.tga): the game takes those when
// they are there and does without them when they are not.
std::vector<TAskedFile> ModelTextures(const std::string& root, const std::string& file) {
    std::vector<TAskedFile> names;
    const std::string ext = ToUpperAscii(file.substr(file.size() >= 4 ? file.size() - 4 : 0));
    std::unique_ptr<TMemoryStream> stream;
    TModelMessageProc previous = SetModelMessageProc(&QuietModelMessage);
    try {
        if (ext == ".ASE" || ext == ".3DS") {
            stream = ext == ".ASE" ? ReadASE(file) : Read3DS(file);
        } else {
            stream = std::make_unique<TMemoryStream>();
            if (!stream->LoadFromFile(file))
                stream.reset();
        }
        TModelStreamData model;
        if (stream && ReadModelStream(*stream, ext == ".PAM", model))
            for (const auto& mesh : model.RendData.Meshes) {
                const TMatTexNames& mat = mesh.Material;
                for (const std::string* map : {&mat.DiffuseMap, &mat.BumpMap, &mat.GlossMap})
                    if (!map->empty() && map->back() != '/')
                        names.push_back({TAskedFile::Texture,
                                         TextureFilePath(GameNames::TexturesDir + NormalizeSlashes(*map)),
                                         "model", true});
                const std::string diffuse = NormalizeSlashes(mat.DiffuseMap);
                const size_t dot = diffuse.find_last_of('.');
                if (diffuse.empty() || diffuse.back() == '/' || dot == std::string::npos ||
                    dot < diffuse.find_last_of('/') + 1)
                    continue;
                for (int k = 1; k <= 7; ++k) {
                    const std::string variant = std::string(GameNames::TexturesDir) + diffuse.substr(0, dot) +
                                                "_" + std::to_string(k) + diffuse.substr(dot);
                    if (FileExistsNoCase(root + variant))
                        names.push_back({TAskedFile::Texture, variant, "model", false});
                }
            }
    } catch (const std::exception&) {
        // Refused already.
    }
    SetModelMessageProc(previous);
    return names;
}

int RunCheck(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::cerr << "mygame-data check: give the folder that holds Data/ and Shaders/\n";
        return 2;
    }
    std::string root = NormalizeSlashes(args[0]);
    if (root.empty())
        root = ".";
    if (root.back() != '/')
        root += '/';

    std::vector<TAskedFile> asked = FixedGameFiles();
    std::set<std::string> seen;
    int missing = 0, refused = 0, optional = 0, checked = 0;
    for (size_t i = 0; i < asked.size(); ++i) {
        const TAskedFile entry = asked[i];  // the list grows below
        if (!seen.insert(ToUpperAscii(entry.Path)).second)
            continue;
        ++checked;
        const std::string full = root + entry.Path;
        const auto real = ResolvePath(full);
        const std::string file = real ? *real : full;
        std::string json, error;
        bool ok = false;
        bool absent = !FileExistsNoCase(full);
        if (absent)
            error = "File \"" + full + "\" not found";
        else
            ok = DescribeFile(file, json, error);
        if (!ok) {
            std::cout << "{\"name\": " << JsonString(entry.Path)
                      << ", \"asked_by\": " << JsonString(entry.AskedBy)
                      << ", \"error\": " << JsonString(error) << ", \"kind\": \"" << KindWord(entry.Kind)
                      << "\", \"missing\": " << (absent ? "true" : "false")
                      << ", \"required\": " << (entry.Required ? "true" : "false") << "}\n";
            if (!entry.Required)
                ++optional;
            else if (absent)
                ++missing;
            else
                ++refused;
            continue;
        }
        if (entry.Kind == TAskedFile::Map)
            for (const std::string& name : MapModels(file))
                asked.push_back({TAskedFile::Model, ModelFilePath(name), "map", true});
        if (entry.Kind == TAskedFile::Model)
            for (const TAskedFile& texture : ModelTextures(root, file))
                asked.push_back(texture);
    }
    const bool good = missing == 0 && refused == 0;
    std::cout << "{\"summary\": true, \"dir\": " << JsonString(args[0]) << ", \"checked\": " << checked
              << ", \"missing\": " << missing << ", \"refused\": " << refused
              << ", \"optional_missing\": " << optional << ", \"ok\": " << (good ? "true" : "false") << "}\n";
    return good ? 0 : 1;
}

const DataCommand checkCommand(
    "check", "check DIR           will the game run with DIR's Data/ and Shaders/? JSON lines", RunCheck);

}  // namespace
