// The battle's control: the unit under the pointer, the cursor, click and box
// selection, move and attack orders with formations and facing, groups, the
// camera, and the keyboard commands. Everything is read from the shared input
// state once per frame.

#include "scenes/GameScene.h"

#include "app/e_CameraObject.h"
#include "app/e_AppServices.h"
#include "app/e_Config.h"
#include "app/my_Input.h"
#include "gui/GameGUI.h"
#include "gui/GameMenuGUI.h"
#include "render/my_Viewer.h"
#include "resources/e_ModelObject.h"
#include "sound/e_SoundPlayer.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"
#include "world/MapObject.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

bool Pressed(int key) { return InputState.Keys[key] && !PrevInputState.Keys[key]; }
bool Held(int key) { return InputState.Keys[key]; }

float ScrollSpeed() {
    return AppServices && AppServices->Settings() ? AppServices->Settings()->MapScrollSpeed : 65.0f;
}

}  // namespace

// ---------------------------------------------------------------------------
// Screen and ground

void TGameScene::ScreenRay(float x, float y, TMyVector3f& origin, TMyVector3f& segment) const {
    float fx = 0.0f, fy = 0.0f;
    ScreenToNDC(x, y, fx, fy);
    const TMyVector3f d = Camera->DeviceDirection(fx, fy);
    origin = Camera->GetPosition() + d * float(Camera->Near);
    segment = d * float(Camera->Far - Camera->Near);
}

bool TGameScene::PickGround(float x, float y, TMyVector3f& point) const {
    TMyVector3f origin, segment, hit, normal;
    ScreenRay(x, y, origin, segment);
    if (!Map || !Map->RayPick(origin, segment, hit, normal))
        return false;
    point = WorldToMap(hit);
    return true;
}

TGameUnit* TGameScene::PickUnit(float x, float y) const {
    TMyVector3f origin, segment;
    ScreenRay(x, y, origin, segment);
    for (int32_t i = 0; i < Battle->PlayerCount; ++i)
        for (const auto& u : Battle->Players[size_t(i)]->Units) {
            float t = 0.0f;
            if (u->Visible && u->RayHit(origin, segment, t))
                return u.get();
        }
    return nullptr;
}

bool TGameScene::ScreenToPlane(float x, float y, float h, TMyVector3f& world) const {
    TMyVector3f origin, segment;
    ScreenRay(x, y, origin, segment);
    // Looking level or upwards the ray never comes down to the plane.
    if (!(segment.y < 0.0f) || origin.y < h)
        return false;
    const float t = (h - origin.y) / segment.y;
    world = origin + segment * t;
    world.y = h;
    return true;
}

bool TGameScene::GroundAtHeight(float x, float y, float h, TMyVector3f& point) const {
    TMyVector3f world;
    if (!ScreenToPlane(x, y, h, world))
        return false;
    point = WorldToMap(world);
    return true;
}

bool TGameScene::ViewCentreOnGround(TMyVector3f& world) const {
    const TMyVector3f origin = Camera->GetPosition();
    const TMyVector3f dir = -Camera->BackAxis();
    if (!(dir.y < 0.0f) || origin.y < 0.0f)
        return false;
    const float t = -origin.y / dir.y;
    world = origin + dir * t;
    world.y = 0.0f;
    return true;
}

// ---------------------------------------------------------------------------
// Camera

void TGameScene::RefreshView() {
    static constexpr float Ndc[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    const TMyVector3f origin = Camera->GetPosition();
    std::array<TMyVector3f, 4> world{};
    for (int i = 0; i < 4; ++i) {
        TMyVector3f d = Camera->DeviceDirection(Ndc[i][0], Ndc[i][1]);
        if (d.y < -1e-4f && origin.y > 0.0f) {
            world[i] = origin + d * (-origin.y / d.y);
        } else {
            // A corner above the horizon: as far out as the camera sees.
            world[i] = origin + d * float(Camera->Far);
        }
        world[i].y = 0.0f;
        ViewCorners_[size_t(i)] = WorldToMap(world[i]);
    }
    if (HudGUI)
        HudGUI->SetViewCorners(ViewCorners_);
    ShadowFocus_ = world;
    // The renderer belongs to the main thread; while the battle is being built
    // on the loading thread the focus waits for the first drawing.
    if (Built_)
        SetShadowFocus(world);
    else
        ShadowFocusPending_ = true;
}

void TGameScene::CenterOn(float mx, float my) {
    TMyVector3f g;
    if (ViewCentreOnGround(g)) {
        const TMyVector3f p = Camera->GetPosition();
        Camera->SetPosition(p.x + (my - g.x), p.y, p.z + (mx - g.z));
    }
    RefreshView();
}

void TGameScene::ZoomTilt(float dPitch, float dDistance) {
    const float p = CameraPitch + dPitch, d = CameraDistance + dDistance;
    if (p < 50.0f || p > 80.0f || d < 20.0f || d > 35.0f)
        return;
    TMyVector3f g;
    if (!ViewCentreOnGround(g))
        return;
    CameraPitch = p;
    CameraDistance = d;
    TMyVector3f axis = Vec3Cross(Camera->BackAxis(), Camera->UpAxis());
    Vec3Normalize(axis);
    const float angle = dPitch * Pi / 180.0f;
    const TMyVector3f v = MatTransformPoint(MatRotationAxis(axis, angle), Camera->GetPosition() - g);
    Camera->SetPosition(g.x + v.x, g.y + v.y, g.z + v.z);
    Camera->Rotate(0.0, 0.0, angle);
    Camera->MoveBack(dDistance);
    RefreshView();
}

void TGameScene::Scroll(TMyVector2f direction, double dt) {
    const float len = Vec2Length(direction);
    if (!(len > 0.0f))
        return;
    const float step = float(dt) * ScrollSpeed();
    direction = direction * (step / len);
    TMyVector3f forward = -Camera->BackAxis();
    forward.y = 0.0f;
    Vec3Normalize(forward);
    TMyVector3f right = Camera->RightAxis();
    TMyVector3f motion = right * direction.x + forward * direction.y;
    motion.y = 0.0f;
    TMyVector3f g;
    if (ViewCentreOnGround(g)) {
        if ((g.x < 0.0f && motion.x < 0.0f) || (g.x > float(Map->MapRows) && motion.x > 0.0f))
            motion.x = 0.0f;
        if ((g.z < 0.0f && motion.z < 0.0f) || (g.z > float(Map->MapCols) && motion.z > 0.0f))
            motion.z = 0.0f;
    }
    const TMyVector3f p = Camera->GetPosition();
    Camera->SetPosition(p.x + motion.x, p.y, p.z + motion.z);
    RefreshView();
}

void TGameScene::EdgeScroll(double dt) {
    uint32_t arrows = 0;
    TMyVector2f direction{0.0f, 0.0f};
    if (InputState.MouseInside && !InputState.LeftDrag && !InputState.RightDrag) {
        const int32_t x = InputState.MouseX, y = InputState.MouseY;
        if (ScreenRect.Bottom - y <= 5) {
            direction.y = 1.0f;
            arrows |= ArrowTop;
        }
        if (y - ScreenRect.Top <= 5) {
            direction.y = -1.0f;
            arrows |= ArrowBottom;
        }
        if (x - ScreenRect.Left <= 5) {
            direction.x = -1.0f;
            arrows |= ArrowLeft;
        }
        if (ScreenRect.Right - x <= 5) {
            direction.x = 1.0f;
            arrows |= ArrowRight;
        }
    }
    HudGUI->SetEdgeArrows(arrows);
    if (InputState.LeftDrag || InputState.RightDrag)
        return;
    Scroll(direction, dt);
}

// ---------------------------------------------------------------------------
// Selection

bool TGameScene::IsOwn(const TGameUnit* unit) const {
    return unit && Battle->ControlledPlayer && unit->Owner == Battle->ControlledPlayer;
}

bool TGameScene::SelectionCommandable() const { return !Selection.empty() && IsOwn(Selection.front()); }

bool TGameScene::IsSelected(const TGameUnit* unit) const {
    return std::find(Selection.begin(), Selection.end(), unit) != Selection.end();
}

void TGameScene::SetHighlight(TGameUnit* unit, bool on) {
    // A unit without a model has nothing to draw a ring under.
    if (!unit || !unit->Model)
        return;
    if (on)
        Outlined_.insert(unit);
    else
        Outlined_.erase(unit);
}

void TGameScene::ClearSelection() {
    for (TGameUnit* u : Selection)
        SetHighlight(u, false);
    Selection.clear();
}

void TGameScene::SelectUnit(TGameUnit* unit, bool add) {
    if (!unit)
        return;
    if (IsSelected(unit)) {
        if (add)
            return;
    } else {
        Selection.push_back(unit);
    }
    SetHighlight(unit, true);
    if (IsOwn(unit))
        PlayVoice("Aga");
}

void TGameScene::BoxSelect(float left, float bottom, float right, float top, bool shift, bool final) {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    ScreenToNDC(left, bottom, x1, y1);
    ScreenToNDC(right, top, x2, y2);
    // The same box whichever corner the drag began at.
    if (x1 > x2)
        std::swap(x1, x2);
    if (y1 > y2)
        std::swap(y1, y2);
    if (x1 == x2) {
        x1 -= 0.025f;
        x2 += 0.025f;
    }
    if (y1 == y2) {
        y1 -= 0.025f;
        y2 += 0.025f;
    }
    TFrustum frustum = Camera->MakeFrustum();
    frustum.NarrowToRect(x1, y1, x2, y2);
    if (final && !shift)
        ClearSelection();
    for (const auto& unit : Battle->ControlledPlayer->Units) {
        TGameUnit* u = unit.get();
        if (u->IsInView(frustum)) {
            if (final) {
                if (!IsSelected(u))
                    Selection.push_back(u);
                SetHighlight(u, true);
                PlayVoice("Aga");
            } else {
                SetHighlight(u, true);
            }
        } else if (!IsSelected(u)) {
            SetHighlight(u, false);
        }
    }
}

void TGameScene::SelectOnly(const std::vector<TGameUnit*>& units) {
    ClearSelection();
    for (TGameUnit* u : units)
        SelectUnit(u, true);
}

void TGameScene::SelectAll(bool onScreenOnly) {
    ClearSelection();
    const TFrustum frustum = Camera->MakeFrustum();
    for (const auto& unit : Battle->ControlledPlayer->Units)
        if (!onScreenOnly || unit->IsInView(frustum)) {
            Selection.push_back(unit.get());
            SetHighlight(unit.get(), true);
        }
    if (!Selection.empty())
        PlayVoice("Aga");
}

void TGameScene::SelectGroup(int32_t n) {
    if (n < 0 || n >= GroupCount)
        return;
    float& pressed = Battle->ControlledPlayer->GroupValues[size_t(n)];
    if (Time - double(pressed) < 0.75) {
        // The second press of a double press looks at the group.
        if (!Selection.empty())
            CenterOn(Selection.front()->Position.x, Selection.front()->Position.y);
        return;
    }
    ClearSelection();
    for (TGameUnit* u : Battle->ControlledPlayer->Groups[size_t(n)]) {
        Selection.push_back(u);
        SetHighlight(u, true);
    }
    if (!Selection.empty())
        PlayVoice("Aga");
    pressed = float(Time);
}

void TGameScene::AddGroup(int32_t n) {
    if (n < 0 || n >= GroupCount)
        return;
    for (TGameUnit* u : Battle->ControlledPlayer->Groups[size_t(n)])
        if (!IsSelected(u)) {
            Selection.push_back(u);
            SetHighlight(u, true);
        }
}

void TGameScene::AssignGroup(int32_t n) {
    if (n < 0 || n >= GroupCount)
        return;
    SendSelection();
    Command({.Type = TCommandType::AssignGroup, .Group = n});
}

// ---------------------------------------------------------------------------
// Orders

std::vector<TMyVector3f> TGameScene::FormationSlots(const TMyVector3f& point, float facing,
                                                    const std::vector<TGameUnit*>& units) const {
    return Battle->FormationSlots(point, facing, units);
}

TCommandResult TGameScene::Command(TBattleCommand command) {
    // A playback looks on: the recorded commands are the battle's only orders.
    if (Playback_)
        return {};
    command.Player = Battle->SlotOf(Battle->ControlledPlayer);
    command.Step = Step_;
    return Battle->Execute(command);
}

void TGameScene::SendSelection() {
    if (Battle->OrderGroup() == Selection)
        return;
    Command({.Type = TCommandType::ClearOrderGroup});
    for (const TGameUnit* u : Selection)
        Command({.Type = TCommandType::AddToOrderGroup,
                 .UnitPlayer = Battle->SlotOf(u->Owner),
                 .Unit = u->Serial});
}

float TGameScene::FacingFromDrag(const TMyVector3f& p) const {
    TMyVector3f q;
    if (!GroundAtHeight(InputState.MouseX, InputState.MouseY, p.z + 0.75f, q))
        return 0.0f;
    return ArcTan2(q.x - p.x, q.y - p.y);
}

void TGameScene::MoveOrder(TMyVector3f point, bool flat) {
    if (!SelectionCommandable() || !Map)
        return;
    TBattleCommand move{.Type = TCommandType::Move, .X = point.x, .Y = point.y, .Z = point.z};
    if (flat) {
        move.Flags |= CommandFlat;
    } else {
        move.Facing = FacingFromDrag(point);
        if (std::abs(InputState.MouseX - InputState.DragStartX) >= 11 ||
            std::abs(InputState.MouseY - InputState.DragStartY) >= 11)
            move.Flags |= CommandDragged;
    }
    if (Held(VK::Control) || InputState.RightDoubleClick)
        move.Flags |= CommandRun;
    SendSelection();
    const TCommandResult result = Command(move);
    if (result.Refused)
        PlayVoice("FuckYou");
    if (result.Ordered) {
        if (FlagModel) {
            const float h = flat ? Map->GetHeight(point.x, point.y) : point.z;
            const TMyVector3f w = MapToWorld(TMyVector3f{point.x, point.y, h});
            FlagModel->ModelMatrix = MatTranslation(w.x, w.y, w.z);
        }
        FlagTimer = 0.5f;
        PlayVoice("YesSir");
    }
}

void TGameScene::AttackOrder(TGameUnit* enemy) {
    if (!enemy || !SelectionCommandable() || !Map)
        return;
    TBattleCommand attack{
        .Type = TCommandType::Attack, .UnitPlayer = Battle->SlotOf(enemy->Owner), .Unit = enemy->Serial};
    if (Held(VK::Control) || InputState.RightDoubleClick)
        attack.Flags |= CommandRun;
    SendSelection();
    if (Command(attack).Ordered)
        PlayVoice("Go");
}

void TGameScene::ToggleHold() {
    // Only the player's own troops take orders.
    if (!SelectionCommandable())
        return;
    SendSelection();
    Command({.Type = TCommandType::ToggleHold});
}

void TGameScene::ToggleOrderMode(TOrderMode mode) { OrderMode = OrderMode == mode ? TOrderMode::None : mode; }

// ---------------------------------------------------------------------------
// Mouse

void TGameScene::ClearArrows() {
    ArrowVisible = false;
    SmallArrows.clear();
}

void TGameScene::ClearBoxPreview() {
    SetSelectionVisible(false);
    if (Battle->ControlledPlayer)
        for (const auto& u : Battle->ControlledPlayer->Units)
            if (!IsSelected(u.get()))
                SetHighlight(u.get(), false);
}

void TGameScene::EndPresses() {
    ClearArrows();
    ClearBoxPreview();
    LeftPressUsed_ = InputState.LeftDrag;
    RightPressUsed_ = InputState.RightDrag;
    if (HudGUI)
        HudGUI->ReleasePress();
    if (MenuGUI)
        MenuGUI->ReleasePress();
}

bool TGameScene::IsMarked(const TGameUnit* unit) const {
    return unit && unit->Model && (unit == Hover || Outlined_.contains(unit));
}

void TGameScene::HoverUnit(TGameUnit* unit) { Hover = unit; }

void TGameScene::UpdateHover() {
    Hover = nullptr;
    if (HudHasPress_ || PointerOverHud_)
        return;
    if (!HudGUI->PickTroopLabel())
        Hover = PickUnit(InputState.MouseX, InputState.MouseY);
}

void TGameScene::DropStaleSelection() {
    if (Selection.size() == 1 && !IsOwn(Selection.front()) && !Selection.front()->Visible)
        ClearSelection();
}

void TGameScene::ChooseCursor() {
    if (PointerOverHud_ || Selection.empty() || (InputState.RightDrag && DragMoved))
        return;
    if (!Hover || OrderMode != TOrderMode::None) {
        TMyVector3f p;
        if (!PickGround(InputState.MouseX, InputState.MouseY, p))
            return;
        int32_t col, row;
        TileOfPoint(p, col, row);
        if (OrderMode == TOrderMode::Move) {
            SetCursor(CursorMove, 7);
        } else if (OrderMode == TOrderMode::Attack) {
            SetCursor(CursorAttack, 5);
        } else {
            switch (Map->GetTileType(col, row)) {
            case TTileType::Shallow:
                SetCursor(CursorWater, 3);
                break;
            case TTileType::Grass:
                SetCursor(CursorGrass, 4);
                break;
            case TTileType::Woods:
                SetCursor(CursorNature, 2);
                break;
            default:
                break;
            }
        }
        if (!Map->IsPassable(col, row, Selection.front()->UnitType))
            SetCursor(CursorStop, 0);
        return;
    }
    if (IsOwn(Hover)) {
        if (SelectionCommandable() && (Selection.size() > 1 || Selection.front() != Hover))
            SetCursor(CursorDefence, 6);
    } else if (SelectionCommandable()) {
        SetCursor(CursorAttack, 5);
    }
}

void TGameScene::HandleLeftButton() {
    const TInputState& in = InputState;
    if (in.LeftDrag) {
        if (LeftPressUsed_)
            return;
        // The box follows the pointer over the HUD's panels too: the release
        // selects with wherever the pointer is, so that is what is shown.
        BoxSelect(in.DragStartX, in.DragStartY, in.MouseX, in.MouseY, Held(VK::Shift), false);
        SetSelectionVisible(true);
        SetSelectionRect(in.DragStartX, in.DragStartY, in.MouseX, in.MouseY);
        if (OrderMode != TOrderMode::None && !PointerOverHud_ && SelectionCommandable()) {
            TMyVector3f hit;
            if (OrderMode == TOrderMode::Move && PickGround(in.DragStartX, in.DragStartY, hit))
                MoveOrder(hit, false);
            OrderMode = TOrderMode::None;
            LeftPressUsed_ = true;
            ClearBoxPreview();
        }
        return;
    }
    SetSelectionVisible(false);
    if (!PrevInputState.LeftDrag)
        return;
    if (LeftPressUsed_) {
        LeftPressUsed_ = false;
        return;
    }
    if (std::abs(in.DragStartX - in.MouseX) >= 5 || std::abs(in.DragStartY - in.MouseY) >= 4) {
        BoxSelect(in.DragStartX, in.DragStartY, in.MouseX, in.MouseY, Held(VK::Shift), true);
        return;
    }
    if (!Hover)
        return;
    if (!Held(VK::Shift)) {
        ClearSelection();
        SelectUnit(Hover, false);
    } else if (Selection.empty() || (IsOwn(Selection.front()) && IsOwn(Hover))) {
        SelectUnit(Hover, true);
    }
}

void TGameScene::HandleRightButton() {
    const TInputState& in = InputState;
    if (RightPressUsed_) {
        // Held while the menu came or went: its release is no order.
        RightPressUsed_ = in.RightDrag;
        return;
    }
    if (in.LeftDrag || PrevInputState.LeftDrag || !SelectionCommandable())
        return;
    if (in.RightDrag) {
        if (PointerOverHud_ || !DragMoved)
            return;
        TMyVector3f p;
        if (!PickGround(in.DragStartX, in.DragStartY, p))
            return;
        const float facing = FacingFromDrag(p);
        bool ok = false;
        int32_t col, row;
        TileOfPoint(p, col, row);
        if (Selection.size() == 1) {
            ok = Map->IsPassable(col, row, Selection.front()->UnitType);
        } else {
            std::vector<TGameUnit*> units;
            for (TGameUnit* u : Selection)
                if (Map->IsPassable(col, row, u->UnitType))
                    units.push_back(u);
            const std::vector<TMyVector3f> slots = FormationSlots(p, facing, units);
            for (const TMyVector3f& s : slots) {
                std::unique_ptr<TGameModel> arrow = TryLoadModel("ArrowSmall");
                if (!arrow)
                    break;
                const TMyVector3f w = MapToWorld(TMyVector3f{s.x, s.y, p.z + 0.65f});
                arrow->ModelMatrix = MatMultiply(MatTranslation(w.x, w.y, w.z), MatRotationY(-facing));
                SmallArrows.push_back(std::move(arrow));
            }
            ok = !slots.empty();
        }
        if (ok) {
            ArrowVisible = true;
            if (ArrowModel) {
                const TMyVector3f w = MapToWorld(TMyVector3f{p.x, p.y, p.z + 0.75f});
                ArrowModel->ModelMatrix = MatMultiply(MatTranslation(w.x, w.y, w.z), MatRotationY(-facing));
            }
        }
        return;
    }
    if (!(PrevInputState.RightDrag || in.RightDoubleClick) || PointerOverHud_)
        return;
    if (!Hover || DragMoved) {
        TMyVector3f hit;
        if (PickGround(in.DragStartX, in.DragStartY, hit))
            MoveOrder(hit, false);
    } else if (!IsOwn(Hover)) {
        AttackOrder(Hover);
    }
}

void TGameScene::HandleMouse() {
    PointerOverHud_ = HudGUI->MouseOverPanels();
    HudHasPress_ =
        HudGUI->PressCaptured || (PointerOverHud_ && InputState.LeftButton && !PrevInputState.LeftButton);
    ClearArrows();
    UpdateHover();
    DropStaleSelection();
    DragMoved = std::abs(InputState.MouseX - InputState.DragStartX) > 10 ||
                std::abs(InputState.MouseY - InputState.DragStartY) > 10;
    if (HudHasPress_) {
        // The press belongs to the HUD; if it began in the world (order mode) it is over.
        SetSelectionVisible(false);
        return;
    }
    ChooseCursor();
    HandleLeftButton();
    HandleRightButton();
}

// ---------------------------------------------------------------------------
// Keys

void TGameScene::KeyboardCommands() {
    if (Pressed(VK::Next))
        ZoomTilt(-10.0f, 0.0f);
    if (Pressed(VK::Prior))
        ZoomTilt(10.0f, 0.0f);
    if (Pressed(VK::Add))
        ZoomTilt(0.0f, 5.0f);
    if (Pressed(VK::Subtract))
        ZoomTilt(0.0f, -5.0f);
    if (Pressed(VK::Space) && !Selection.empty())
        CenterOn(Selection.front()->Position.x, Selection.front()->Position.y);
    if (Pressed('X'))
        SelectAll(false);
    if (Pressed('Z'))
        SelectAll(true);
    if (Pressed('Q'))
        ToggleHold();
    if (Pressed('A'))
        ToggleOrderMode(TOrderMode::Attack);
    if (Pressed('M'))
        ToggleOrderMode(TOrderMode::Move);
    const bool control = Held(VK::Control), shift = Held(VK::Shift);
    if (Pressed('0') && !control && !shift)
        SelectGroup(0);
    for (int32_t n = 1; n <= 9; ++n) {
        if (!Pressed('0' + n))
            continue;
        if (control)
            AssignGroup(n);
        else if (shift)
            AddGroup(n);
        else
            SelectGroup(n);
    }
}
