#include "gui/HudLabels.h"

#include <cmath>

bool ProjectToScreen(const TMatrix4f& combined, const TMyVector3f& world, float& x, float& y) {
    const TMyVector4f clip = MatTransformVec4(combined, {world.x, world.y, world.z, 1.0f});
    if (!(clip.w > 1e-6f))
        return false;
    x = (clip.x / clip.w + 1.0f) * 0.5f;
    y = (clip.y / clip.w + 1.0f) * 0.5f;
    return std::isfinite(x) && std::isfinite(y);
}

void SeparateLabels(std::vector<TTroopLabel>& labels, float labelSize) {
    const float d = 2.0f * labelSize;
    for (int pass = 0; pass < 4; ++pass)
        for (size_t i = 0; i < labels.size(); ++i)
            for (size_t j = i + 1; j < labels.size(); ++j) {
                TMyVector2f v{labels[j].X - labels[i].X, labels[j].Y - labels[i].Y};
                if (std::fabs(v.x) >= d || std::fabs(v.y) >= d)
                    continue;
                const float lengthSq = v.x * v.x + v.y * v.y;
                if (lengthSq >= d * d)
                    continue;
                const float length = std::sqrt(lengthSq);
                // Labels on the same spot have no direction of their own: they part sideways.
                if (length == 0.0f)
                    v = {static_cast<float>(i + 1), 0.0f};
                const float scale = (d - length) * 0.5f / std::sqrt(v.x * v.x + v.y * v.y);
                v = {v.x * scale, v.y * scale};
                labels[i].X -= v.x;
                labels[i].Y -= v.y;
                labels[j].X += v.x;
                labels[j].Y += v.y;
            }
}
