#pragma once
// What the battle HUD and its minimap may know of the battle on the screen, and
// the few things they may ask of it. The battle scene implements it; the HUD
// holds only this, so it can be built, driven and tested without a scene.
//
// Reading: the battle itself (players, units, counters) is read as it stands,
// const. The scene's own state, what the player looks at, is read through the
// calls below: the selection, the unit under the pointer, the order mode, the
// camera, which units wear a mark.
//
// Asking: every change goes back to the implementation as a request, which
// turns it into battle commands (units/BattleCommand.h) or into a change of
// its own state. The HUD never writes the battle or the scene.
//
// Unit pointers are those of the battle's players; they stay valid for the
// frame in which they were read.

#include <cstdint>
#include <vector>

class TBattle;
class TCamera;
class TGameMap;
class TGameUnit;

// What the next left click on the ground means.
enum class TOrderMode : uint8_t {
    None = 0,    // a click selects
    Move = 1,    // a click (or the start of a drag) orders the selection there
    Attack = 2,  // the selection is about to be ordered at an enemy
};

class TBattleView {
public:
    virtual ~TBattleView() = default;

    // ---- what the player looks at ----

    // Null only while the battle is being built.
    virtual const TBattle* ViewedBattle() const = 0;
    virtual const TGameMap* ViewedMap() const = 0;
    // The camera the battle is drawn with (labels and the hover box follow units
    // through it); null when there is none.
    virtual const TCamera* ViewCamera() const = 0;
    // The units shown as selected, in the order they were selected.
    virtual const std::vector<TGameUnit*>& SelectedUnits() const = 0;
    // The unit under the pointer, or null.
    virtual TGameUnit* HoveredUnit() const = 0;
    virtual TOrderMode CurrentOrderMode() const = 0;
    // The unit wears a mark on the ground this frame: it is selected, inside a
    // box being dragged, or under the pointer.
    virtual bool IsMarked(const TGameUnit* unit) const = 0;

    // ---- what the HUD asks for ----

    // The unit becomes the one under the pointer for this frame.
    virtual void HoverUnit(TGameUnit* unit) = 0;
    // The selection becomes exactly these units, in this order.
    virtual void SelectOnly(const std::vector<TGameUnit*>& units) = 0;
    // Group n (0..9) of the controlled player, as its number key does.
    virtual void SelectGroup(int32_t n) = 0;
    // Hold for the selection, when it takes orders.
    virtual void ToggleHold() = 0;
    // The mode, or back to None when it is the mode already.
    virtual void ToggleOrderMode(TOrderMode mode) = 0;
    // Moves the view so that the ground point at its centre becomes (mx, my).
    virtual void CenterOn(float mx, float my) = 0;
    // Moves the selection to the map position (mx, my) as an order from the
    // minimap: at the ground's height there, facing 0.
    virtual void MoveTo(float mx, float my) = 0;
};
