#pragma once
// The battle scene: the window onto one battle. It owns the map, the battle
// (units/Battle.h: the players "Human", "CPU1" and "CPU2", their units, melee,
// the clock), the battle camera, the HUD and the in-battle menu, and it turns
// the player's input into the battle's commands (units/BattleCommand.h).
// Selection, hover and the order mode are the scene's: what the player looks
// at. Every battle is recorded as its commands, and a replay plays them back
// (GameSceneReplay.cpp).
//
// The scene is built on the loading thread from a map file and from then on
// lives on the main thread. Every frame the application calls Update (menu
// toggle, end of the battle, input, melee, the players, scrolling, keys, HUD)
// and then Draw. Input comes only from the shared InputState / PrevInputState.
//
// Unit marks are the scene's, handed to the renderer for each drawing
// (SetModelMarks) and to the HUD through IsMarked; units without a model have
// none:
//   the selection ring    the unit is selected, or inside a box being dragged;
//   the collision box     the unit is under the pointer (Hover).
//
// Coordinates: map positions are (mx, my, h) in TMyVector3f x, y, z; world
// points are (my, h, mx). Screen positions are viewport pixels with y upward,
// as in InputState.

#include "app/e_SceneObject.h"
#include "gui/BattleView.h"
#include "units/Battle.h"
#include "units/BattleReplay.h"
#include "world/e_Frustum.h"
#include "world/e_Math.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class TGameMap;
class TGameGUI;
class TGameMenuGUI;
class TGameModel;
class TGameUnit;
class TPlayerObject;

// The battle camera's distance from the ground point it looks at (20..35) and
// its pitch in degrees (50..80); set to 20 and 60 when a battle is built.
extern float CameraDistance;
extern float CameraPitch;
// The mouse is more than 10 pixels away from the drag start (recomputed every frame).
extern bool DragMoved;

// How battles are recorded and played back; set from the command line before
// the first battle is built.
struct TReplaySettings {
    // --record: the replay goes to this file; empty: a new file in the replays
    // folder beside InfoLog.txt, which keeps the last 20.
    std::string RecordFile;
    // --replay: the battle to play back (null: battles are played and recorded).
    std::shared_ptr<const TReplay> Playback;
    std::string PlaybackFile;
    std::string PlaybackMap;  // the map file the replay was recorded on
    // Headless playback ends the program after the last recorded frame.
    bool QuitAtEnd = false;
};
extern TReplaySettings ReplaySettings;

// Reads and checks a replay for --replay (its game version and its map, which
// must be the same file as when it was recorded); false with a message naming
// the file and what is wrong.
bool PrepareReplay(const std::string& path, std::string& error);

class TGameScene : public TSceneObject, public TBattleView {
public:
    static constexpr int32_t MaxPlayers = TBattle::MaxPlayers;

    // Builds the battle from the map file (runs on the loading thread, no GL).
    // An outdated, missing or damaged map file shows a program message and
    // ends the program.
    explicit TGameScene(const std::string& mapPath);
    ~TGameScene() override;

    void Update(double dt) override;
    void Draw() override;
    // "battle_time": T, "players": [{"name": ..., "units": ..., "kills": ...,
    // "losses": ..., "points": ...}, ...], "checksum": "<16 hex digits>"
    std::string StatusJson() const override;
    // The battle state's fingerprint (units/BattleChecksum.h).
    uint64_t Checksum() const;

    // ---- screen and ground ----

    // The world-space segment from the near plane to the far plane through the
    // pixel (x, y).
    void ScreenRay(float x, float y, TMyVector3f& origin, TMyVector3f& segment) const;
    // The map position (mx, my, h) of the landscape under the pixel; false when
    // the ray misses the map.
    bool PickGround(float x, float y, TMyVector3f& point) const;
    // The first visible unit (players in slot order, units in order) whose box
    // the ray through the pixel hits, or null.
    TGameUnit* PickUnit(float x, float y) const;
    // The map position where the ray through the pixel meets the horizontal
    // plane at height h; false when it does not meet it (looking at or above
    // the horizon): point is then left unchanged.
    bool GroundAtHeight(float x, float y, float h, TMyVector3f& point) const;

    // ---- camera ----

    // Moves the camera parallel to the ground so that the ground point at the
    // centre of the view becomes (mx, my).
    void CenterOn(float mx, float my) override;
    // Tilts by dPitch degrees and moves back by dDistance, within the limits
    // 50..80 degrees and 20..35; outside them nothing changes.
    void ZoomTilt(float dPitch, float dDistance);
    // Scrolls towards direction (x right, y up on the screen) by dt times the
    // configured scroll speed, not past the edges of the map.
    void Scroll(TMyVector2f direction, double dt);
    // The four ground points of the screen corners (bottom-left, bottom-right,
    // top-right, top-left) as map positions (mx, my, 0); handed to the HUD's
    // minimap and the renderer's shadow focus by RefreshView.
    const std::array<TMyVector3f, 4>& ViewCorners() const { return ViewCorners_; }
    void RefreshView();

    // ---- selection ----

    // Owned by ControlledPlayer.
    bool IsOwn(const TGameUnit* unit) const;
    // Not empty, and its first unit is own.
    bool SelectionCommandable() const;
    bool IsSelected(const TGameUnit* unit) const;
    void ClearSelection();
    // Adds the unit (with add, a unit already selected is left alone); "Aga"
    // for an own unit.
    void SelectUnit(TGameUnit* unit, bool add);
    // Box in pixels (y upward); corners in any order. final = false only marks
    // the units inside.
    void BoxSelect(float left, float bottom, float right, float top, bool shift, bool final);
    void SelectAll(bool onScreenOnly);
    // Groups 0..9 of ControlledPlayer; other numbers are ignored.
    void SelectGroup(int32_t n) override;
    void AddGroup(int32_t n);
    void AssignGroup(int32_t n);

    // ---- orders (commandable selection only) ----

    // Moves the selection in formation to the map position `point`; flat = true
    // (the minimap) takes the ground height there and faces 0.
    void MoveOrder(TMyVector3f point, bool flat);
    void AttackOrder(TGameUnit* enemy);
    void ToggleHold() override;
    // The formation slots round point for the units (in this order), facing f.
    std::vector<TMyVector3f> FormationSlots(const TMyVector3f& point, float facing,
                                            const std::vector<TGameUnit*>& units) const;

    // The HUD, also while the menu is shown (null only during construction).
    TGameGUI* Hud() const { return HudGUI.get(); }

    // ---- what the HUD sees and asks (gui/BattleView.h) ----

    const TBattle* ViewedBattle() const override { return Battle.get(); }
    const TGameMap* ViewedMap() const override { return Map.get(); }
    const TCamera* ViewCamera() const override { return Camera; }
    const std::vector<TGameUnit*>& SelectedUnits() const override { return Selection; }
    TGameUnit* HoveredUnit() const override { return Hover; }
    TOrderMode CurrentOrderMode() const override { return OrderMode; }
    bool IsMarked(const TGameUnit* unit) const override;
    void HoverUnit(TGameUnit* unit) override;
    void SelectOnly(const std::vector<TGameUnit*>& units) override;
    void ToggleOrderMode(TOrderMode mode) override;
    void MoveTo(float mx, float my) override { MoveOrder({mx, my, 0.0f}, true); }

    // ---- state ----

    std::string MapPath;
    std::unique_ptr<TGameMap> Map;
    std::unique_ptr<TGameMenuGUI> MenuGUI;
    bool MenuShown = false;
    bool MenuToggleRequest = false;
    std::unique_ptr<TGameModel> FlagModel;  // null when "Flag" cannot be loaded
    float FlagTimer = 0.0f;
    std::unique_ptr<TGameModel> ArrowModel;  // null when "Arrow" cannot be loaded
    bool ArrowVisible = false;
    std::vector<std::unique_ptr<TGameModel>> SmallArrows;
    int32_t VoiceSound = -1;
    int32_t AmbientSound = -1;
    int32_t BattleSound = -1;
    int32_t DeathSound = -1;
    int32_t ArrowSound = -1;
    int32_t CursorStop = -1, CursorArrow = -1, CursorNature = -1, CursorWater = -1, CursorGrass = -1,
            CursorAttack = -1, CursorDefence = -1, CursorMove = -1;
    bool HideCursorPending = true;
    int32_t RingTexture = -1;
    bool GameOver = false;
    // The players, their units and the battle clock (null only while the map loads).
    std::unique_ptr<TBattle> Battle;
    std::vector<TGameUnit*> Selection;
    TGameUnit* Hover = nullptr;
    TOrderMode OrderMode = TOrderMode::None;

    // ---- frame steps (Update runs them in order; public for tests) ----

    // Hover, stale selection, DragMoved, cursor, left and right button.
    void HandleMouse();
    // Engagement, damage, dropping the fallen from the selection, RemoveDead.
    void Melee(double dt);
    void EdgeScroll(double dt);
    // Every key command but Escape and Tab.
    void KeyboardCommands();
    // Whatever the mouse was doing is over, in the world, the HUD and the menu:
    // arrows, box, the order flag of the press, the HUD's capture and minimap
    // drag, a held menu button. A button still held counts as used up, so its
    // release is no click. Run when the menu comes or goes, since the GUI that
    // saw the press will not see its release.
    void EndPresses();

private:
    void UpdateFrame(double dt);
    // The frame's last step: what the controlled player sees through the camera,
    // for the next frame's simulation, the picking, the labels and the drawing.
    void UpdateView();
    void UpdateHover();
    void DropStaleSelection();
    void ChooseCursor();
    void HandleLeftButton();
    void HandleRightButton();
    void ClearArrows();
    // Hides the box and takes back the marks its preview put on unselected units.
    void ClearBoxPreview();
    void PlayVoice(const char* name);
    void PlayOnce(int32_t source, const char* name);
    // Where the ray through the pixel meets the plane y = h (world coordinates).
    bool ScreenToPlane(float x, float y, float h, TMyVector3f& world) const;
    // The ground point (y = 0) at the centre of the view, world coordinates.
    bool ViewCentreOnGround(TMyVector3f& world) const;
    // The facing of a drag that began at p: towards the pointer at p.h + 0.75.
    float FacingFromDrag(const TMyVector3f& p) const;
    // The selection ring of a unit with a model, on or off.
    void SetHighlight(TGameUnit* unit, bool on);
    // The units that wear the selection ring: the selection and, while a box is
    // dragged, the units inside it. The renderer is handed their models.
    std::unordered_set<const TGameUnit*> Outlined_;

    std::unique_ptr<TGameGUI> HudGUI;
    std::array<TMyVector3f, 4> ViewCorners_{};
    // The map keeps a pointer to the frustum it was prepared with until the
    // frame is drawn.
    TFrustum DrawFrustum_;
    TFrustum ViewFrustum_;
    bool ViewReady_ = false;  // UpdateView ran since the last Draw
    // Construction has ended: renderer calls may be made (main thread).
    bool Built_ = false;
    std::array<TMyVector3f, 4> ShadowFocus_{};
    bool ShadowFocusPending_ = false;
    // A left press that gave an order (move or attack mode), or that was held
    // while the menu came or went, is not also a click or a box.
    bool LeftPressUsed_ = false;
    // A right press held while the menu came or went; its release orders nothing.
    bool RightPressUsed_ = false;
    // Recording and playback (GameSceneReplay.cpp).
    void StartRecording(uint32_t seed);
    // The time step of the battle frame about to run: the recorded one in a
    // playback; false when a playback has no frame left (the battle stands).
    bool NextBattleFrame(double& dt);
    // In a playback, gives the battle the recorded commands of this step.
    void PlayRecordedCommands(TFrameStep step);
    // After a battle frame: the checksum into the recording, or compared with
    // the playback's.
    void EndBattleFrame();
    void FinishRecording();
    // A frame in which the battle stands (the game menu is open): counted into
    // the recording, or one of the playback's standing frames used up.
    void StandingFrame();
    int64_t Standing_ = 0;
    std::unique_ptr<TReplayWriter> Recording_;
    std::shared_ptr<const TReplay> Playback_;
    int64_t BattleFrames_ = 0;

    // Where in the frame the scene is, for the commands it gives.
    TFrameStep Step_ = TFrameStep::Hud;
    // Gives the battle a command of the controlled player at the current step.
    TCommandResult Command(TBattleCommand command);
    // Makes the battle's order group the shown selection, with as few commands
    // as it takes (none when they are the same already).
    void SendSelection();
    // The HUD is updated after the world's input: whether the pointer is over
    // it, and whether this frame's press is the HUD's, are worked out here for
    // the current frame (HandleMouse) rather than read from its last update.
    bool PointerOverHud_ = false;
    bool HudHasPress_ = false;
};
