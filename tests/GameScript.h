#pragma once
// What the whole-program tests that play the real game share: a game folder
// beside the build's data, input scripts assembled frame by frame, and where
// map positions sit on the HUD's minimap.

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <iostream>
#include <map>
#include <regex>
#include <string>
#include <vector>

inline const std::vector<std::string> kEnv{"ALSOFT_DRIVERS=null", "SDL_AUDIODRIVER=dummy",
                                           "SDL_VIDEODRIVER=offscreen"};

// A folder laid out as the game expects beside its executable, with the
// generated data and the shaders of the build, and room for the log, the
// settings and the screenshots.
class TGameFolder {
public:
    TGameFolder() {
        std::filesystem::create_directory_symlink(std::string(MYGAME_BINARY_DIR) + "/Data", dir.file("Data"));
        std::filesystem::create_directory_symlink(std::string(MYGAME_BINARY_DIR) + "/Shaders",
                                                  dir.file("Shaders"));
    }
    std::string Path() const { return dir.path(); }
    std::string File(const std::string& name) const { return dir.file(name); }
    std::string MapFile() const { return dir.file("Data/Maps/FirstBlood.map"); }
    std::string Log() const { return ReadText(dir.file("InfoLog.txt")); }
    // The summary line the run wrote into its log ("Status: {...}"), empty when none.
    std::string LoggedStatus() const {
        std::smatch m;
        static const std::regex status("Status: (\\{[^\r\n]*\\})");
        const std::string log = Log();
        return std::regex_search(log, m, status) ? std::string(m[1]) : std::string();
    }
    // When the test has failed, keeps the run's files (screenshots, script, log,
    // settings) in build/<area>/<name>, where CI can show them.
    void KeepOnFailure(const std::string& area, const std::string& name) const {
        if (!::testing::Test::HasFailure())
            return;
        namespace fs = std::filesystem;
        const fs::path keep = fs::path(MYGAME_BINARY_DIR) / area / name;
        std::error_code ec;
        fs::create_directories(keep, ec);
        for (const auto& entry : fs::directory_iterator(dir.path(), ec))
            if (entry.is_regular_file())
                fs::copy_file(entry.path(), keep / entry.path().filename(),
                              fs::copy_options::overwrite_existing, ec);
        std::cerr << "The run's screenshots, script, log and settings are kept in " << keep << "\n";
    }

private:
    TempDir dir;
};

// An input script assembled frame by frame; written sorted by frame.
class TScript {
public:
    void At(int frame, const std::string& command) { Events.emplace(frame, command); }
    void Move(int frame, int x, int y) { At(frame, "move " + XY(x, y)); }
    // Move there, press, release: three frames.
    void Click(int frame, int x, int y, const std::string& button = "left") {
        Move(frame, x, y);
        At(frame + 1, "down " + button + " " + XY(x, y));
        At(frame + 2, "up " + button + " " + XY(x, y));
    }
    // Press and release: two frames.
    void Key(int frame, int code) {
        At(frame, "keydown " + std::to_string(code));
        At(frame + 1, "keyup " + std::to_string(code));
    }
    void Shot(int frame, const std::string& file) { At(frame, "screenshot " + file); }
    std::string Text() const {
        std::string out;
        for (const auto& [frame, command] : Events)
            out += std::to_string(frame) + " " + command + "\n";
        return out;
    }

private:
    static std::string XY(int x, int y) { return std::to_string(x) + " " + std::to_string(y); }
    std::multimap<int, std::string> Events;
};

// The generated data comes from the gamedata target of the same build.
inline ::testing::AssertionResult GameDataBuilt() {
    const std::string map = std::string(MYGAME_BINARY_DIR) + "/Data/Maps/FirstBlood.map";
    if (std::filesystem::exists(map))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << map << " is missing: build the gamedata target first";
}

// Window pixel (y downward) of a map position on the battle HUD's minimap: the
// map picture sits in the panel at (0.0025, 0.007)-(0.256, 0.25), turned by 45
// degrees clockwise about the panel's top-left corner and moved right by 0.0925.
inline void MiniMapPixel(float mx, float my, int& x, int& y, int windowW = 640, int windowH = 480,
                         int cols = 128, int rows = 128) {
    const float x0 = 0.0025f, y0 = 0.007f, x1 = 0.256f, y1 = 0.25f;
    const float w = x1 - x0, h = y1 - y0;
    const float width = 0.56f * w, height = width * float(rows) / float(cols);
    const float areaBottom = y0 + 0.185f * h;
    const float centre = areaBottom + (y1 - areaBottom) * 0.5f;
    const float px = x0 + 0.145f * w + mx / float(cols) * width;
    const float py = centre - height * 0.5f + my / float(rows) * height;
    const float s = std::sqrt(0.5f), dx = px - x0, dy = py - y1;
    const float gx = dx * s + dy * s + x0 + 0.0925f, gy = -dx * s + dy * s + y1;
    x = int(std::lround(gx * float(windowW)));
    y = int(std::lround((1.0f - gy) * float(windowH)));
}

// A window pixel (y downward) from fractions of the window (y upward, as the
// HUD lays itself out).
struct TPixel {
    int X, Y;
};
inline TPixel WindowPixel(float fx, float fyUp, int w, int h) {
    return {int(std::lround(fx * float(w))), int(std::lround((1.0f - fyUp) * float(h)))};
}

// Orders through the keyboard, the HUD's command panel and the minimap, placed
// by fractions of the window so that the same battle plays at every size.
inline TScript OrdersScript(int w, int h) {
    TScript s;
    // The splash covers the first ten frames; the orders come after it.
    auto click = [&](int frame, TPixel p, const std::string& button = "left") {
        s.Click(frame, p.X, p.Y, button);
    };
    // The command panel's buttons: move mode at column 0, row 2; hold at column 0, row 1.
    const TPixel moveMode = WindowPixel(0.8296f, 0.149f, w, h), hold = WindowPixel(0.8296f, 0.0948f, w, h);
    s.Key(18, 88);        // X: everyone
    click(21, moveMode);  // move mode from the HUD...
    // ...and a left click on open ground, clear of the troop labels (which take
    // a press for the HUD), orders the move.
    click(25, WindowPixel(0.55f, 0.36f, w, h));
    click(45, hold);  // hold, and release again
    click(55, hold);
    s.At(65, "keydown 17");  // Control: run, ordered on the minimap towards CPU2
    int mx, my;
    MiniMapPixel(7.0f, 120.0f, mx, my, w, h);
    s.Click(66, mx, my, "right");
    s.At(69, "keyup 17");
    s.Key(215, 77);  // M from the keyboard, then a click in the field
    click(218, WindowPixel(0.45f, 0.36f, w, h));
    MiniMapPixel(20.0f, 110.0f, mx, my, w, h);
    s.Click(245, mx, my, "right");
    return s;
}
