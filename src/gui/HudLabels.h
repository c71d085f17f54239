#pragma once
// The labels that float over the units on the battle screen: where a unit
// stands on the screen, and the pushing apart of labels that would overlap.
// Plain arithmetic; TVisScreen decides which units get one and draws them.

#include "world/e_Math.h"

#include <vector>

class TGameUnit;

struct TTroopLabel {
    TGameUnit* Unit = nullptr;
    float X = 0.0f, Y = 0.0f;  // label centre in GUI space
};

// Clip coordinates of a world point through the camera's combined matrix, as
// GUI space ((ndc + 1) / 2); false when the point is behind the camera.
bool ProjectToScreen(const TMatrix4f& combined, const TMyVector3f& world, float& x, float& y);

// The four separation passes over the labels (in list order), labels closer
// than 2 * labelSize pushed apart.
void SeparateLabels(std::vector<TTroopLabel>& labels, float labelSize);
