#pragma once
// The files the game asks for by name. The loading code takes its names from here, and
// `mygame-data check` walks the same lists, so a modder's data folder is checked against what
// the game really loads. Names are given as the loaders take them: models and textures bare
// (the registry adds the folder and the extension), cursors as files of Data/Cursors/, sounds and
// music bare (the sound modules add ".WAV" and ".OGG"), shader programs by file name.

#include <array>
#include <string>
#include <vector>

namespace GameNames {

// The folders below the game's own folder.
inline constexpr const char* TexturesDir = "Data/Textures/";
inline constexpr const char* ModelsDir = "Data/Modeles/";
inline constexpr const char* MapsDir = "Data/Maps/";
inline constexpr const char* AnimatesDir = "Data/Animates/";
inline constexpr const char* SoundsDir = "Data/Sounds/";
inline constexpr const char* CursorsDir = "Data/Cursors/";
inline constexpr const char* ShadersDir = "Shaders/";

// The battle that "New game" and "Restart" start, in MapsDir.
inline constexpr const char* BattleMap = "FirstBlood.map";

// Shown while the program starts and while a scene loads.
inline constexpr const char* SplashModel = "Splash";
inline constexpr const char* LoadingModel = "Loading";

// The main menu.
inline constexpr const char* TitleModel = "Title";
inline constexpr const char* KnifeModel = "Knife";
inline constexpr const char* StandModel = "Stand";
inline constexpr const char* MenuMusic = "Muz_1";

// The battle scene.
inline constexpr const char* BattleMusic = "Muz_2";
inline constexpr const char* FlagModel = "Flag";
inline constexpr const char* ArrowModel = "Arrow";
inline constexpr const char* SmallArrowModel = "ArrowSmall";
inline constexpr const char* FlatRingTexture = "FlatRing";
// The pointer's pictures, in the order of the scene's cursor handles.
inline constexpr std::array<const char*, 8> Cursors = {"Stop.tga",  "Cursor.tga", "Nature.tga",  "Water.tga",
                                                       "Grass.tga", "Attack.tga", "Defence.tga", "Move.tga"};
enum TCursorName {
    CursorStop,
    CursorArrow,
    CursorNature,
    CursorWater,
    CursorGrass,
    CursorAttack,
    CursorDefence,
    CursorMove
};

// The battle's sound effects and the soldiers' answers.
inline constexpr const char* AmbientSound = "Ambient1";
inline constexpr const char* FinishSound = "Finish";
inline constexpr const char* ArrowSound = "Arrow1";
inline constexpr const char* BattleSound = "Battle1";
inline constexpr const char* DeathSound = "Dead1";
inline constexpr const char* SelectVoice = "Aga";
inline constexpr const char* RefuseVoice = "FuckYou";
inline constexpr const char* OrderVoice = "YesSir";
inline constexpr const char* GoVoice = "Go";

// The map's sky, water rings and tile atlas.
inline constexpr const char* CloudsTexture = "Clouds";
inline constexpr const char* CurvedRingTexture = "CurvedRing";
inline constexpr const char* TileSetTexture = "TileSet";

// The battle HUD's pictures.
inline constexpr std::array<const char*, 15> HudTextures = {
    "GroupsInfo",         "PlayerStat", "UnitsInfo",    "Unit1ico", "Unit2ico",
    "Unit3ico",           "Unit4ico",   "CommandPanel", "MiniMap",  "CommandButtons",
    "CommandButtonsGray", "TroopLabel", "Znak",         "Znak1",    "Aura"};

// The soldiers by unit type (debug, bowman, warrior, cavalryman): the debug figure is a plain
// model, the others are skinned (".PAM" in AnimatesDir); the arrows they shoot.
inline constexpr std::array<const char*, 4> UnitModels = {"BaseUnit", "Kestrin", "SirGuy", "Sheriff"};
inline constexpr const char* MissileModel = "Pica";

// The renderer's programs, in the order of its program slots. Programs no pass draws with may
// be missing: the game plays without them.
struct TProgramName {
    const char* Name;
    bool Used;
};
inline constexpr std::array<TProgramName, 30> ShaderPrograms = {{
    {"LandTile", true},
    {"modelSimple", true},
    {"modelBamp", true},
    {"modelSimpleSkel", true},
    {"noTextured", false},
    {"noBamp", false},
    {"noBampSpec", false},
    {"Emission", true},
    {"Bamp", false},
    {"BampSpec", false},
    {"BampParallax", false},
    {"BampParallaxSpec", false},
    {"blendObj", true},
    {"blendObjSpec", false},
    {"SimpleTextured", false},
    {"blurGausHOR", true},
    {"blurGausVER", true},
    {"noBampSkel", false},
    {"noBampSpecSkel", false},
    {"EmissionSkel", false},
    {"WarFog", true},
    {"DrawToShadowMap", true},
    {"DrawToShadowMapSkel", true},
    {"viewDepth", false},
    {"basicShader", false},
    {"flatShad", false},
    {"flatShadSkel", false},
    {"Noise", true},
    {"WaterRing", true},
    {"RangeRing", true},
}};

}  // namespace GameNames

// One file the game asks for, as a path below the game's folder.
struct TAskedFile {
    enum TKind {
        Map,
        Model,
        Texture,
        Sound,
        Music,
        Shader
    } Kind;
    std::string Path;      // e.g. "Data/Textures/Aura.TGA"
    std::string AskedBy;   // one word: "app", "menu", "battle", "map", "hud", "units", "renderer"
    bool Required = true;  // false where the game plays on without it
};

// Every file asked for by a fixed name, in the order the game first asks: the map, models,
// textures, cursors, sounds, music and shader programs. What the map and the models name in
// turn (entity models, textures of materials) is not in this list: it comes from the files.
std::vector<TAskedFile> FixedGameFiles();

// Where the registry looks for a model asked for by `name` ("Rock" -> "Data/Modeles/Rock.PRM",
// "Kestrin.PAM" -> "Data/Animates/Kestrin.PAM"), and for a texture ("Aura" ->
// "Data/Textures/Aura.TGA"); names with a folder keep it.
std::string ModelFilePath(const std::string& name);
std::string TextureFilePath(const std::string& name);
