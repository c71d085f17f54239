// The battle scene: building it from a map file, tearing it down, the frame
// (menu, end of the battle, melee, the players) and drawing. Input, selection,
// orders and the camera are in GameSceneInput.cpp.

#include "scenes/GameScene.h"

#include "app/e_CameraObject.h"
#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "app/my_GameApp.h"
#include "app/my_Input.h"
#include "gui/GameGUI.h"
#include "gui/GameMenuGUI.h"
#include "render/my_Viewer.h"
#include "resources/GameDataNames.h"
#include "resources/e_ModelObject.h"
#include "resources/e_ResourceManager.h"
#include "sound/e_SoundPlayer.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"
#include "world/MapObject.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <numbers>
#include <sstream>

float CameraDistance = 20.0f;
float CameraPitch = 60.0f;
bool DragMoved = false;

namespace {

constexpr float Pi = std::numbers::pi_v<float>;

float Radians(float degrees) { return degrees * Pi / 180.0f; }

// The system cursor is the window system's; in headless runs there is none.
void ShowSystemCursor(bool show)
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void JsonString(std::ostringstream& out, const std::string& text)
{
    out << '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out << '\\' << c;
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out << buf;
        } else {
            out << c;
        }
    }
    out << '"';
}

}  // namespace

void TGameScene::THudDeleter::operator()(TGameGUI* gui) const { delete gui; }

// ---------------------------------------------------------------------------
// Construction and teardown

TGameScene::TGameScene(const std::string& mapPath) : MapPath(mapPath)
{
    Log("++CreateScene: \"" + mapPath + "\" ...");

    // The battle camera looks down on the field from the south-east.
    CameraDistance = 20.0f;
    CameraPitch = 60.0f;
    auto camera = std::make_unique<TCamera>(60.0, 1.0, 0.5, 5000.0);
    camera->Rotate(0.0, Radians(45.0f), 0.0);
    camera->Rotate(Radians(CameraPitch), 0.0, 0.0);
    camera->MoveBack(CameraDistance);
    camera->FreeRotation = false;
    Camera = Own(std::move(camera));
    LightPos = TMyVector3f{-500.0f, 1000.0f, -300.0f};

    // The file header is the scene's; the rest is the map section.
    try {
        TMapStream stream = TMapStream::FromFile(mapPath);
        stream.SetPosition(0);
        const int32_t version = stream.ReadInt32("file version");
        if (version != MapFileVersion)
            FatalProgramMessage("Версия файла \"" + mapPath + "\" устарела. Загрузка невозможна.");
        stream.ReadInt32("file header");
        Map = std::make_unique<TGameMap>();
        Map->Create(stream);
    } catch (const EMapFileError& e) {
        FatalProgramMessage(e.what());
    } catch (const TModelLoadError& e) {
        FatalProgramMessage("Map file \"" + mapPath + "\" cannot be loaded: " + e.what());
    }

    // Troops. The random draws happen in a fixed order so that a seeded battle
    // always starts the same.
    PlayerCount = 3;
    Players[0] = std::make_unique<TPlayerObject>(SideHuman, "Human", 1, Map.get());
    TPlayerObject& human = *Players[0];
    const TMyVector3f s{float(Map->MapCols - 30), 60.0f, 0.0f};
    auto at = [&](float dx, float dy) { return TMyVector3f{s.x + dx, s.y + dy, s.z}; };
    human.AddUnit(UnitTypeBowman, at(0, -3), Radians(60));
    human.AddUnit(UnitTypeBowman, at(-3, 0), Radians(0));
    human.AddUnit(UnitTypeBowman, at(0, 0), Radians(120));
    human.AddUnit(UnitTypeBowman, at(3, 3), Radians(120));
    human.AddUnit(UnitTypeBowman, at(3, 0), Radians(90));
    const float offsets[5][2] = {{5, 3}, {3, 5}, {5, 5}, {7, 5}, {3, 7}};
    for (const auto& o : offsets) {
        const float yaw = Radians(float(RandomInt(360)));
        human.AddUnit(UnitTypeWarrior, at(-o[0], -o[1]), yaw);
    }
    for (const auto& o : offsets) {
        const float yaw = Radians(float(RandomInt(360)));
        human.AddUnit(UnitTypeCavalryman, at(o[0], o[1]), yaw);
    }
    Players[1] = std::make_unique<TPlayerObject>(SideComputer, "CPU1", 0, Map.get());
    for (int i = 0; i < 10; ++i)
        Players[1]->AddUnit(RandomInt(3) + 1, TMyVector3f{7.0f, 10.0f, 0.0f}, Radians(180));
    Players[2] = std::make_unique<TPlayerObject>(SideComputer, "CPU2", 2, Map.get());
    for (int i = 0; i < 10; ++i)
        Players[2]->AddUnit(RandomInt(3) + 1, TMyVector3f{7.0f, float(Map->MapRows - 8), 0.0f}, Radians(120));
    ControlledPlayer = Players[0].get();

    PlayMusic(GameNames::BattleMusic);
    if (GameApp)
        GameApp->SetProgress(0.75f);

    const TMyVector3f sourcePos{0.0f, 0.0f, -1.0f};
    VoiceSound = NewSource(sourcePos);
    AmbientSound = NewSource(sourcePos);
    BattleSound = NewSource(sourcePos);
    DeathSound = NewSource(sourcePos);
    ArrowSound = NewSource(sourcePos);

    FlagModel = TryLoadModel(GameNames::FlagModel);
    FlagTimer = 0.0f;
    ArrowModel = TryLoadModel(GameNames::ArrowModel);
    ArrowVisible = false;
    // Loaded now so that the first formation preview does not stall on it.
    TryLoadModel(GameNames::SmallArrowModel);
    SmallArrows.clear();

    auto cursor = [](GameNames::TCursorName c) {
        return LoadTexture(AppPath + GameNames::CursorsDir + GameNames::Cursors[c], false);
    };
    CursorStop = cursor(GameNames::CursorStop);
    CursorArrow = cursor(GameNames::CursorArrow);
    CursorNature = cursor(GameNames::CursorNature);
    CursorWater = cursor(GameNames::CursorWater);
    CursorGrass = cursor(GameNames::CursorGrass);
    CursorAttack = cursor(GameNames::CursorAttack);
    CursorDefence = cursor(GameNames::CursorDefence);
    CursorMove = cursor(GameNames::CursorMove);
    RingTexture = LoadTexture(GameNames::FlatRingTexture, true);

    Selection.clear();
    MenuGUI = std::make_unique<TGameMenuGUI>([this] { MenuToggleRequest = true; });
    HudGUI.reset(new TGameGUI(this));
    GUI = HudGUI.get();

    if (TGameUnit* first = ControlledPlayer->FirstUnit())
        CenterOn(first->Position.x, first->Position.y);
    else
        RefreshView();

    MenuShown = false;
    MenuToggleRequest = false;
    BattleTime = 0.0;
    OrderMode = 0;
    HideCursorPending = true;
    GameOver = false;
    Built_ = true;
    Log("++CreateScene: \"" + mapPath + "\" - complete.");
}

TGameScene::~TGameScene()
{
    UpdateFogTexture(1, 1, std::vector<bool>{true});
    SetCursor(-1, 0);
    ShowSystemCursor(true);
    for (int32_t source : {VoiceSound, AmbientSound, BattleSound, DeathSound, ArrowSound})
        if (source >= 0)
            FreeSource(source);
    Selection.clear();
    Hover = nullptr;
    ControlledPlayer = nullptr;
    for (int32_t i = 0; i < PlayerCount && i < MaxPlayers; ++i)
        Players[size_t(i)].reset();
    SmallArrows.clear();
    if (Map)
        Map->Destroy();
    Map.reset();
    GUI = nullptr;
    MenuGUI.reset();
    HudGUI.reset();
}

// ---------------------------------------------------------------------------
// Sounds

void TGameScene::PlayOnce(int32_t source, const char* name)
{
    if (source >= 0 && !IsSourcePlaying(source))
        PlaySound(source, name, false);
}

void TGameScene::PlayVoice(const char* name) { PlayOnce(VoiceSound, name); }

// ---------------------------------------------------------------------------
// The frame

void TGameScene::Update(double dt)
{
    if (HideCursorPending) {
        ShowSystemCursor(false);
        HideCursorPending = false;
    }
    SetCursor(CursorArrow, 1);
    // The renderer keeps the camera's aspect in step with the window when it
    // draws; picking needs it also in runs that draw nothing.
    const double aspect = GetViewport().Aspect;
    if (aspect > 0.0 && aspect != Camera->Aspect)
        Camera->SetAspect(aspect);
    if (Time > 1.0 && !MusicStarted) {
        MusicStarted = true;
        ResumeMusic();
        if (AmbientSound >= 0)
            PlaySound(AmbientSound, GameNames::AmbientSound, true);
    }

    const bool escape = InputState.Keys[VK::Escape] && !PrevInputState.Keys[VK::Escape];
    if (MenuToggleRequest || escape) {
        MenuShown = !MenuShown;
        GUI = MenuShown ? static_cast<TGUIObject*>(MenuGUI.get()) : static_cast<TGUIObject*>(HudGUI.get());
        MenuToggleRequest = false;
        // Whatever the pointer was doing when the menu came or went is over.
        ClearArrows();
        SetSelectionVisible(false);
        return;
    }
    if (MenuShown) {
        TSceneObject::Update(dt);
        return;
    }

    if (!GameOver && ControlledPlayer && ControlledPlayer->Defeated) {
        GameOver = true;
        MenuGUI->SetEndText("GAME OVER");
        MenuToggleRequest = true;
        // The fight that ended the battle is usually still sounding on this source; the
        // defeat sting takes its place rather than waiting for a silence that never comes.
        if (BattleSound >= 0)
            StopSource(BattleSound);
        PlayOnce(BattleSound, GameNames::FinishSound);
    }

    BattleTime += dt;
    Map->Update(BattleTime);
    FlagTimer -= float(dt);

    HandleMouse();
    Melee(dt);
    for (int32_t i = 0; i < PlayerCount; ++i)
        Players[size_t(i)]->Think(float(dt));
    bool shot = false;
    for (int32_t i = 0; i < PlayerCount; ++i)
        shot = Players[size_t(i)]->Update(float(dt), BattleTime) || shot;
    if (shot)
        PlayOnce(ArrowSound, GameNames::ArrowSound);

    EdgeScroll(dt);
    KeyboardCommands();

    HudGUI->SetFps(CurrentFps());
    HudGUI->SetBattleTime(BattleTime);
    if (InputState.Keys[VK::Tab] && !PrevInputState.Keys[VK::Tab])
        HudGUI->Enabled = !HudGUI->Enabled;
    TSceneObject::Update(dt);
}

// ---------------------------------------------------------------------------
// Melee

void TGameScene::Engage()
{
    TGameMap& map = *Map;
    static constexpr int32_t Around[9][2] = {{0, 0},  {-1, -1}, {0, -1}, {1, -1}, {-1, 0},
                                             {1, 0}, {-1, 1},  {0, 1},  {1, 1}};
    for (int32_t row = 1; row <= map.MapRows - 2; ++row)
        for (int32_t col = 1; col <= map.MapCols - 2; ++col)
            for (TGameUnit* u = TGameUnit::FirstOnTile(&map, col, row); u; u = u->NextOnTile()) {
                if (u->Engaged)
                    continue;
                TGameUnit* enemy = nullptr;
                for (const auto& d : Around) {
                    for (TGameUnit* v = TGameUnit::FirstOnTile(&map, col + d[0], row + d[1]); v;
                         v = v->NextOnTile())
                        if (v != u && u->IsEnemyOf(*v)) {
                            enemy = v;
                            break;
                        }
                    if (enemy)
                        break;
                }
                if (!enemy)
                    continue;
                u->Engaged = true;
                u->SetTarget(enemy);
                const float a = ArcTan2(enemy->Position.x - u->Position.x, enemy->Position.y - u->Position.y);
                u->SetYaw(a);
                if (!enemy->Engaged) {
                    enemy->Engaged = true;
                    enemy->SetTarget(u);
                    enemy->SetYaw(a + Pi);
                }
            }
}

void TGameScene::Melee(double dt)
{
    Engage();

    bool fighting = false;
    for (int32_t i = 0; i < PlayerCount; ++i) {
        TPlayerObject& p = *Players[size_t(i)];
        for (auto& unit : p.Units) {
            TGameUnit& u = *unit;
            if (!u.Engaged || !u.Target)
                continue;
            const float amount = u.Features().MeleeDamage * float(dt);
            float half = amount * 0.5f;
            const float rest = amount - half;
            int32_t kills = 0;
            u.DistributeDamage(half, kills);
            p.Kills += kills;
            if (u.Target->TakeDamage(half + rest))
                p.Kills += 1;
            fighting = true;
        }
    }
    if (fighting)
        PlayOnce(BattleSound, GameNames::BattleSound);
    else if (BattleSound >= 0 && !GameOver)
        // Once the battle is lost the sound source carries "Finish"; let it ring out.
        StopSource(BattleSound);

    std::erase_if(Selection, [](const TGameUnit* u) { return u->Health <= 0.0f; });

    bool fell = false;
    for (int32_t i = 0; i < PlayerCount; ++i)
        fell = Players[size_t(i)]->RemoveDead(BattleTime) || fell;
    if (fell)
        PlayOnce(DeathSound, GameNames::DeathSound);
}

// ---------------------------------------------------------------------------
// Drawing

void TGameScene::Draw()
{
    if (ShadowFocusPending_) {
        SetShadowFocus(ShadowFocus_);
        ShadowFocusPending_ = false;
    }
    const TFogGrid& fog = ControlledPlayer->Fog;
    UpdateFogTexture(Map->MapCols, Map->MapRows, ControlledPlayer->FogVisibility());

    DrawFrustum_ = Camera->MakeFrustum();
    // Wider than the screen, so that what stands just outside it (below, in
    // particular: shadows and tall models reach in) is still prepared.
    DrawFrustum_.NarrowToRect(-1.3f, -1.5f, 1.3f, 1.2f);
    Map->PrepareDraw(DrawFrustum_);
    for (int32_t i = 0; i < PlayerCount; ++i)
        Players[size_t(i)]->Draw(DrawFrustum_, fog);

    if (FlagTimer > 0.0f && FlagModel)
        QueueModel(FlagModel.get());
    if (ArrowVisible) {
        if (ArrowModel)
            QueueModel(ArrowModel.get());
        for (const auto& m : SmallArrows)
            QueueModel(m.get());
    }
    if (InputState.Keys[VK::Shift])
        for (const TGameUnit* u : Selection)
            if (u->IsRanged)
                QueueRangeRing(TMyVector3f{u->Position.y, 0.75f, u->Position.x}, TColorRGBA{1.0f, 1.0f, 0.0f, 0.5f},
                               RingTexture, float(u->Features().ShootRange));

    TSceneObject::Draw();
}

// ---------------------------------------------------------------------------
// Status for scripted runs

std::string TGameScene::StatusJson() const
{
    std::ostringstream out;
    out.precision(6);
    out << std::fixed << "\"battle_time\": " << BattleTime << ", \"players\": [";
    for (int32_t i = 0; i < PlayerCount; ++i) {
        const TPlayerObject& p = *Players[size_t(i)];
        if (i > 0)
            out << ", ";
        out << "{\"name\": ";
        JsonString(out, p.PlayerName);
        out << ", \"units\": " << p.Units.size() << ", \"kills\": " << p.Kills << ", \"losses\": " << p.Losses
            << ", \"points\": " << p.Points << "}";
    }
    out << "]";
    return out.str();
}
