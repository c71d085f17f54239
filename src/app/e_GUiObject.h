#pragma once
// The base of every scene's GUI: drawn on top of the 3D picture in screen space.

class TGUIObject {
public:
    TGUIObject() = default;
    virtual ~TGUIObject() = default;
    TGUIObject(const TGUIObject&) = delete;
    TGUIObject& operator=(const TGUIObject&) = delete;

    virtual void Update(double dt) = 0;
    virtual void Draw() = 0;
    // Draws, with the very quads Draw will draw them with, the backgrounds that Draw
    // lays over the 3D picture. The renderer calls it before the 3D frame with colour
    // writes off and keeps only their fully opaque texels, where it then draws nothing:
    // on a software rasteriser the ground under the HUD cost as much as the rest.
    virtual void DrawCover() {}

    bool Enabled = true;
    // A press that began on the GUI belongs to it until released; the battle
    // reads these to keep such input away from the world.
    bool PressCaptured = false;
    bool PointerOverHud = false;
};
