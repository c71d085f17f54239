#include "gui/HudCommon.h"

#include "app/my_Input.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string FormatBattleTime(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0.0)
        seconds = 0.0;
    const double hours = std::trunc(seconds / 3600.0);
    const double minutes = std::trunc((seconds - 3600.0 * hours) / 60.0);
    const double rest = std::trunc(seconds - 3600.0 * hours - 60.0 * minutes);
    auto part = [](double v) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%02.0f", v);
        return std::string(buffer);
    };
    return part(hours) + ":" + part(minutes) + ":" + part(rest);
}

std::string FormatFps(double value) {
    if (!std::isfinite(value))
        return "0.0";
    char buffer[64];
    // Five significant digits at most, shown with one decimal; beyond that the
    // number goes to exponent form rather than growing the label.
    if (std::fabs(value) >= 1e5) {
        std::snprintf(buffer, sizeof buffer, "%.4E", value);
        return buffer;
    }
    if (value != 0.0) {
        const double magnitude = std::floor(std::log10(std::fabs(value)));
        const double scale = std::pow(10.0, 4.0 - magnitude);
        value = std::round(value * scale) / scale;
    }
    std::snprintf(buffer, sizeof buffer, "%.1f", value);
    if (std::string(buffer) == "-0.0")
        return "0.0";
    return buffer;
}

namespace hud {

void Pointer(float& x, float& y) {
    x = static_cast<float>(InputState.MouseX) / static_cast<float>(ScreenWidth);
    y = static_cast<float>(InputState.MouseY) / static_cast<float>(ScreenHeight);
}

float PixelW() { return 1.0f / static_cast<float>(ScreenWidth); }
float PixelH() { return 1.0f / static_cast<float>(ScreenHeight); }
float SnapX(float x) {
    return static_cast<float>(RoundEven(static_cast<double>(x) * ScreenWidth)) * PixelW();
}
float SnapY(float y) {
    return static_cast<float>(RoundEven(static_cast<double>(y) * ScreenHeight)) * PixelH();
}

bool Inside(const TRectf& r, float x, float y) {
    return x >= r.Left && x <= r.Right && y >= r.Bottom && y <= r.Top;
}

TColor4f PlayerColor(const TPlayerObject* player) {
    if (!player)
        return clWhite;
    const TMyVector3f c = player->Colour();
    return {c.x, c.y, c.z, 1.0f};
}

float Share(float value, int32_t maximum) {
    if (maximum <= 0 || !std::isfinite(value))
        return 0.0f;
    return std::clamp(value / static_cast<float>(maximum), 0.0f, 1.0f);
}

const TUnitFeatures& FeaturesOf(const TGameUnit& unit) {
    return UnitFeatures[IsValidUnitType(unit.UnitType) ? unit.UnitType : 0];
}

}  // namespace hud
