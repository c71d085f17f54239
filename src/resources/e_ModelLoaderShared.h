#pragma once
// What the model loader's files share: the message procedure the readers and the converter
// report through, and the start values and growth of bounding boxes. Only the loader's own files
// (e_ModelLoader*.cpp) include this.

#include "world/e_Math.h"

#include <algorithm>
#include <string>

namespace model_loader {

// Boxes start inverted, from +-3.4e38, and grow round every point added.
inline constexpr float BoxStart = 3.4e38f;

inline void GrowBox(TMyVector3f& lo, TMyVector3f& hi, float x, float y, float z) {
    lo.x = std::min(lo.x, x);
    lo.y = std::min(lo.y, y);
    lo.z = std::min(lo.z, z);
    hi.x = std::max(hi.x, x);
    hi.y = std::max(hi.y, y);
    hi.z = std::max(hi.z, z);
}

// Through the procedure SetModelMessageProc installed.
void ShowModelMessage(const std::string& caption, const std::string& text);
// A refusal, under the caption "Program Message:".
void Report(const std::string& text);

}  // namespace model_loader
