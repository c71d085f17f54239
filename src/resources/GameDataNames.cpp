#include "resources/GameDataNames.h"

namespace {

bool HasFolder(const std::string& name) { return name.find('/') != std::string::npos; }

bool HasExtension(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

}  // namespace

std::string ModelFilePath(const std::string& name) {
    std::string path = name;
    const bool skinned =
        HasExtension(name) && name.size() >= 4 && name.compare(name.size() - 4, 4, ".PAM") == 0;
    if (!HasExtension(path))
        path += ".PRM";
    if (!HasFolder(path))
        path = std::string(skinned ? GameNames::AnimatesDir : GameNames::ModelsDir) + path;
    return path;
}

std::string TextureFilePath(const std::string& name) {
    std::string path = name;
    if (!HasExtension(path))
        path += ".TGA";
    if (!HasFolder(path))
        path = GameNames::TexturesDir + path;
    return path;
}

std::vector<TAskedFile> FixedGameFiles() {
    using namespace GameNames;
    std::vector<TAskedFile> files;
    auto model = [&](const std::string& name, const char* by, bool required = true) {
        files.push_back({TAskedFile::Model, ModelFilePath(name), by, required});
    };
    auto texture = [&](const std::string& name, const char* by) {
        files.push_back({TAskedFile::Texture, TextureFilePath(name), by, true});
    };
    auto sound = [&](const char* name) {
        files.push_back({TAskedFile::Sound, std::string(SoundsDir) + name + ".WAV", "battle", true});
    };

    files.push_back({TAskedFile::Map, std::string(MapsDir) + BattleMap, "menu", true});
    model(SplashModel, "app");
    model(LoadingModel, "app");
    model(TitleModel, "menu");
    model(KnifeModel, "menu");
    model(StandModel, "menu");
    model(FlagModel, "battle");
    model(ArrowModel, "battle");
    model(SmallArrowModel, "battle");
    // A battle has no debug figures; only the three soldier types take the field.
    model(UnitModels[0], "units", false);
    for (size_t t = 1; t < UnitModels.size(); ++t)
        model(std::string(UnitModels[t]) + ".PAM", "units");
    model(MissileModel, "units");

    texture(CloudsTexture, "map");
    texture(CurvedRingTexture, "map");
    texture(TileSetTexture, "map");
    texture(FlatRingTexture, "battle");
    for (const char* name : HudTextures)
        texture(name, "hud");
    // The minimap's picture of the battle map lies beside it.
    const std::string map = BattleMap;
    texture(std::string(MapsDir) + map.substr(0, map.find_last_of('.')), "hud");
    for (const char* name : Cursors)
        texture(std::string(CursorsDir) + name, "battle");

    for (const char* name : {AmbientSound, FinishSound, ArrowSound, BattleSound, DeathSound, SelectVoice,
                             RefuseVoice, OrderVoice, GoVoice})
        sound(name);
    for (const char* name : {MenuMusic, BattleMusic})
        files.push_back({TAskedFile::Music, std::string(SoundsDir) + name + ".OGG",
                         name == MenuMusic ? "menu" : "battle", true});
    for (const TProgramName& p : ShaderPrograms)
        files.push_back({TAskedFile::Shader, std::string(ShadersDir) + p.Name + ".gpr", "renderer", p.Used});
    return files;
}
