// The battle scene: building it from a map file, tearing it down, the frame
// (menu, end of the battle, melee, the players) and drawing. Input, selection,
// orders and the camera are in GameSceneInput.cpp.

#include "scenes/GameScene.h"

#include "app/e_CameraObject.h"
#include "app/e_Json.h"
#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "app/e_AppServices.h"
#include "app/my_Input.h"
#include "gui/GameGUI.h"
#include "gui/GameMenuGUI.h"
#include "render/my_Viewer.h"
#include "resources/GameDataNames.h"
#include "resources/e_ModelObject.h"
#include "resources/e_ResourceManager.h"
#include "sound/e_SoundPlayer.h"
#include "units/BattleChecksum.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"
#include "world/BattleLayout.h"
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

// The system cursor is the window system's; in headless runs there is none.
void ShowSystemCursor(bool show) {
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and teardown

TGameScene::TGameScene(const std::string& mapPath) : MapPath(mapPath) {
    Log("++CreateScene: \"" + mapPath + "\" ...");
    // Everything the battle draws from the random generator comes after this
    // point, so a replay that starts the generator here plays the same battle.
    Playback_ = ReplaySettings.Playback;
    if (Playback_)
        RandomSeed(Playback_->Header.Seed);
    const uint32_t startSeed = RandomGetSeed();

    // The battle camera looks down on the field from the south-east.
    CameraDistance = 20.0f;
    CameraPitch = 60.0f;
    auto camera = std::make_unique<TCamera>(60.0, 1.0, 0.5, 5000.0);
    camera->Rotate(0.0, Radians(45.0f), 0.0);
    camera->Rotate(Radians(CameraPitch), 0.0, 0.0);
    camera->MoveBack(CameraDistance);
    camera->FreeRotation = false;
    Camera = Own(std::move(camera));
    LightPos = BattleLayout::LightPos;

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
    Battle = std::make_unique<TBattle>(*Map);
    Battle->Deploy();

    PlayMusic(GameNames::BattleMusic);
    if (AppServices)
        AppServices->SetProgress(0.75f);

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
    HudGUI = std::make_unique<TGameGUI>(this, MapPath);
    GUI = HudGUI.get();

    if (TGameUnit* first = Battle->ControlledPlayer->FirstUnit())
        CenterOn(first->Position.x, first->Position.y);
    else
        RefreshView();

    MenuShown = false;
    MenuToggleRequest = false;
    OrderMode = TOrderMode::None;
    HideCursorPending = true;
    GameOver = false;
    if (!Playback_)
        StartRecording(startSeed);
    Built_ = true;
    Log("++CreateScene: \"" + mapPath + "\" - complete.");
}

TGameScene::~TGameScene() {
    FinishRecording();
    UpdateFogTexture(1, 1, std::vector<bool>{true});
    SetCursor(-1, 0);
    ShowSystemCursor(true);
    for (int32_t source : {VoiceSound, AmbientSound, BattleSound, DeathSound, ArrowSound})
        if (source >= 0)
            FreeSource(source);
    Selection.clear();
    Hover = nullptr;
    Outlined_.clear();
    SetModelMarks({}, nullptr);
    Battle.reset();
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

void TGameScene::PlayOnce(int32_t source, const char* name) {
    if (source >= 0 && !IsSourcePlaying(source))
        PlaySound(source, name, false);
}

void TGameScene::PlayVoice(const char* name) { PlayOnce(VoiceSound, name); }

// ---------------------------------------------------------------------------
// The frame

void TGameScene::Update(double dt) {
    UpdateFrame(dt);
    UpdateView();
}

void TGameScene::UpdateView() {
    ViewFrustum_ = Camera->MakeFrustum();
    // Wider than the screen, so that what stands just outside it (below, in
    // particular: shadows and tall models reach in) is still prepared.
    ViewFrustum_.NarrowToRect(-1.3f, -1.5f, 1.3f, 1.2f);
    Battle->UpdateVisibility(ViewFrustum_, Battle->ControlledPlayer->Fog);
    ViewReady_ = true;
}

void TGameScene::UpdateFrame(double dt) {
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
        EndPresses();
        StandingFrame();
        return;
    }
    if (MenuShown) {
        TSceneObject::Update(dt);
        StandingFrame();
        return;
    }

    if (!GameOver && Battle->Lost()) {
        GameOver = true;
        MenuGUI->SetEndText("GAME OVER");
        MenuToggleRequest = true;
        // The fight that ended the battle is usually still sounding on this source; the
        // defeat sting takes its place rather than waiting for a silence that never comes.
        if (BattleSound >= 0)
            StopSource(BattleSound);
        PlayOnce(BattleSound, GameNames::FinishSound);
    }

    // A playback steps the battle as it was recorded; the window's own time
    // step still moves the camera.
    double step = dt;
    if (!NextBattleFrame(step)) {
        EdgeScroll(dt);
        TSceneObject::Update(dt);
        return;
    }
    Battle->BeginFrame(step);
    FlagTimer -= float(step);

    Step_ = TFrameStep::Input;
    PlayRecordedCommands(Step_);
    HandleMouse();
    Melee(step);
    if (Battle->RunPlayers(step))
        PlayOnce(ArrowSound, GameNames::ArrowSound);

    EdgeScroll(dt);
    Step_ = TFrameStep::Keys;
    PlayRecordedCommands(Step_);
    KeyboardCommands();
    Step_ = TFrameStep::Hud;
    PlayRecordedCommands(Step_);

    HudGUI->SetFps(CurrentFps());
    HudGUI->SetBattleTime(Battle->Time);
    if (InputState.Keys[VK::Tab] && !PrevInputState.Keys[VK::Tab])
        HudGUI->ToggleShown();
    TSceneObject::Update(dt);
    EndBattleFrame();
}

// ---------------------------------------------------------------------------
// Melee

void TGameScene::Melee(double dt) {
    const TMeleeEvents events = Battle->Melee(dt);
    if (events.Fighting)
        PlayOnce(BattleSound, GameNames::BattleSound);
    else if (BattleSound >= 0 && !GameOver)
        // Once the battle is lost the sound source carries "Finish"; let it ring out.
        StopSource(BattleSound);

    std::erase_if(Selection, [](const TGameUnit* u) { return u->Health <= 0.0f; });
    // The fallen left the battle's lists in this step; they wear no ring any more.
    std::erase_if(Outlined_, [](const TGameUnit* u) { return u->Health <= 0.0f; });
    if (events.Fell)
        PlayOnce(DeathSound, GameNames::DeathSound);
}

// ---------------------------------------------------------------------------
// Drawing

void TGameScene::Draw() {
    if (ShadowFocusPending_) {
        SetShadowFocus(ShadowFocus_);
        ShadowFocusPending_ = false;
    }
    UpdateFogTexture(Map->MapCols, Map->MapRows, Battle->ControlledPlayer->FogVisibility());

    // A scene drawn before its first update (it was published between the two)
    // has not looked yet.
    if (!ViewReady_)
        UpdateView();
    ViewReady_ = false;
    DrawFrustum_ = ViewFrustum_;
    Map->PrepareDraw(DrawFrustum_);
    std::vector<const TGameModel*> outlined;
    outlined.reserve(Outlined_.size());
    for (const TGameUnit* u : Outlined_)
        outlined.push_back(u->Model.get());
    SetModelMarks(std::move(outlined), Hover && Hover->Model ? Hover->Model.get() : nullptr);
    Battle->Draw();

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
                QueueRangeRing(MapToWorld({u->Position.x, u->Position.y, 0.75f}),
                               TColorRGBA{1.0f, 1.0f, 0.0f, 0.5f}, RingTexture,
                               float(u->Features().ShootRange));

    TSceneObject::Draw();
}

// ---------------------------------------------------------------------------
// Status for scripted runs

uint64_t TGameScene::Checksum() const { return Battle->Checksum(); }

std::string TGameScene::StatusJson() const {
    std::ostringstream out;
    out.precision(6);
    out << std::fixed << "\"battle_time\": " << Battle->Time << ", \"players\": [";
    for (int32_t i = 0; i < Battle->PlayerCount; ++i) {
        const TPlayerObject& p = *Battle->Players[size_t(i)];
        if (i > 0)
            out << ", ";
        out << "{\"name\": ";
        out << JsonString(p.PlayerName);
        out << ", \"units\": " << p.Units.size() << ", \"kills\": " << p.Kills << ", \"losses\": " << p.Losses
            << ", \"points\": " << p.Points << "}";
    }
    out << "], \"checksum\": \"" << ChecksumHex(Checksum()) << "\"";
    return out.str();
}
