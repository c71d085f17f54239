// Whole sessions of the real game, played by input scripts without a display:
// the splash, the main menu and its options, a battle from the first click to
// the defeat, the game menu, and back out through the main menu. A headless
// battle runs to its end on its own.
//
// Everything is driven at a fixed time step with a fixed seed, so a run is the
// same on every machine. The pixel positions below belong to a 640x480 window;
// the units' positions and the moment the battle is lost follow from the
// generated map and the seed (see the notes at the frames that depend on them).

#include "GameProcess.h"
#include "GameScript.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr int W = 640, H = 480;

// ---- the log ----

std::vector<std::string> LogLines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0, pos;
    while ((pos = text.find("\r\n", start)) != std::string::npos) {
        out.push_back(text.substr(start, pos - start));
        start = pos + 2;
    }
    if (start < text.size())
        out.push_back(text.substr(start));
    return out;
}

// Lines that report trouble. The shader compiler's empty reports after each
// successful step ("glSLang error: ") are the renderer's normal chatter, and the
// driver's extension list may hold names such as GL_KHR_no_error.
std::vector<std::string> TroubleLines(const std::vector<std::string>& lines) {
    static const std::regex errorWord("(^|[^A-Za-z0-9_])[Ee]rror([^A-Za-z0-9_]|$)");
    std::vector<std::string> out;
    for (const std::string& l : lines) {
        if (l == "glSLang error: ")
            continue;
        if (l.find("not found") != std::string::npos || l.find("-wait-") != std::string::npos ||
            std::regex_search(l, errorWord))
            out.push_back(l);
    }
    return out;
}

// Every "X ..." line is closed by a later "X - complete." with properly nested
// pairs in between (a service's lone "Y - complete." needs no opening line);
// returns the first fault found, empty when all is well.
std::string UnbalancedCreation(const std::vector<std::string>& lines) {
    std::vector<std::string> open;
    const std::string done = " - complete.";
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.size() > 4 && l.compare(l.size() - 4, 4, " ...") == 0) {
            open.push_back(l.substr(0, l.size() - 4));
        } else if (l.size() > done.size() && l.compare(l.size() - done.size(), done.size(), done) == 0) {
            const std::string what = l.substr(0, l.size() - done.size());
            if (std::find(open.begin(), open.end(), what) == open.end())
                continue;
            if (open.back() != what)
                return "line " + std::to_string(i + 1) + " closes \"" + what + "\" inside \"" + open.back() +
                       "\"";
            open.pop_back();
        }
    }
    return open.empty() ? "" : "never completed: " + open.back();
}

// Index of the first line at or after `from` equal to `text`; lines.size() if none.
size_t FindLine(const std::vector<std::string>& lines, const std::string& text, size_t from = 0) {
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i] == text)
            return i;
    return lines.size();
}

size_t CountLines(const std::vector<std::string>& lines, const std::string& text) {
    return size_t(std::count(lines.begin(), lines.end(), text));
}

bool HasLineContaining(const std::vector<std::string>& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

// ---- the headless summary ----

struct TPlayerSummary {
    std::string Name;
    int Units = -1, Kills = 0, Losses = 0, Points = 0;
};

struct TSummary {
    long long Frames = -1;
    double BattleTime = -1.0;
    std::vector<TPlayerSummary> Players;
};

TSummary ParseSummary(const std::string& json) {
    TSummary s;
    std::smatch m;
    if (std::regex_search(json, m, std::regex("\"frames\": (\\d+)")))
        s.Frames = std::stoll(m[1]);
    if (std::regex_search(json, m, std::regex("\"battle_time\": ([0-9.]+)")))
        s.BattleTime = std::stod(m[1]);
    static const std::regex player(
        "\\{\"name\": \"([^\"]*)\", \"units\": (\\d+), \"kills\": (-?\\d+), \"losses\": (-?\\d+), "
        "\"points\": (-?\\d+)\\}");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), player); it != std::sregex_iterator(); ++it)
        s.Players.push_back(
            {(*it)[1], std::stoi((*it)[2]), std::stoi((*it)[3]), std::stoi((*it)[4]), std::stoi((*it)[5])});
    return s;
}

// The books of a battle balance: humans only fight computers, so each side's
// kills are the other side's losses; the human troop starts with 15 units.
void ExpectBalancedBooks(const TSummary& s) {
    ASSERT_EQ(s.Players.size(), 3u);
    const TPlayerSummary &human = s.Players[0], &cpu1 = s.Players[1], &cpu2 = s.Players[2];
    EXPECT_EQ(human.Name, "Human");
    EXPECT_EQ(cpu1.Name, "CPU1");
    EXPECT_EQ(cpu2.Name, "CPU2");
    EXPECT_EQ(human.Kills, cpu1.Losses + cpu2.Losses);
    EXPECT_EQ(human.Losses, cpu1.Kills + cpu2.Kills);
    EXPECT_EQ(human.Units + human.Losses, 15);
    for (const TPlayerSummary* p : {&human, &cpu1, &cpu2})
        EXPECT_EQ(p->Points, 100 * (p->Kills - p->Losses)) << p->Name;
    // Reinforcements come in fives when a computer player runs low.
    for (const TPlayerSummary* cpu : {&cpu1, &cpu2})
        EXPECT_EQ((cpu->Units + cpu->Losses - 10) % 5, 0)
            << cpu->Name << " " << cpu->Units << " " << cpu->Losses;
}

// ---- pictures ----

struct TRect {
    int X1, Y1, X2, Y2;  // window pixels, y downward, X2 and Y2 excluded
};

using TPixelTest = std::function<bool(const unsigned char*)>;

int CountPixels(const TPicture& p, TRect r, const TPixelTest& test) {
    int n = 0;
    r.X1 = std::max(r.X1, 0);
    r.Y1 = std::max(r.Y1, 0);
    r.X2 = std::min(r.X2, p.Width);
    r.Y2 = std::min(r.Y2, p.Height);
    for (int y = r.Y1; y < r.Y2; ++y)
        for (int x = r.X1; x < r.X2; ++x)
            n += test(p.At(x, y)) ? 1 : 0;
    return n;
}

bool Near(const unsigned char* c, int r, int g, int b, int tolerance = 6) {
    return std::abs(c[0] - r) <= tolerance && std::abs(c[1] - g) <= tolerance &&
           std::abs(c[2] - b) <= tolerance;
}

// The human player's colour as the troop labels fill it.
bool LabelGreen(const unsigned char* c) { return Near(c, 128, 255, 128, 4); }
// Selection rings under units.
bool RingYellow(const unsigned char* c) { return Near(c, 230, 230, 0, 12); }
// Stippled movement lines to a place, and to an enemy being attacked.
bool PathGrey(const unsigned char* c) { return Near(c, 204, 204, 204, 3); }
bool AttackBlue(const unsigned char* c) { return Near(c, 128, 178, 255, 3); }
// The edge arrow's yellow, faded towards its base.
bool ArrowYellow(const unsigned char* c) {
    return c[0] > 120 && c[1] > 120 && c[2] < 30 && std::abs(c[0] - c[1]) < 20;
}
bool White(const unsigned char* c) { return c[0] > 235 && c[1] > 235 && c[2] > 235; }
bool Dark(const unsigned char* c) { return c[0] < 16 && c[1] < 16 && c[2] < 16; }
// The volume slider's filled part.
bool SliderGreen(const unsigned char* c) { return Near(c, 77, 230, 77, 12); }
// The parchment of the units-information panel.
bool Parchment(const unsigned char* c) { return c[0] > 180 && c[1] > 160 && c[2] > 110 && c[0] > c[2] + 40; }

bool SamePicture(const TPicture& a, const TPicture& b) {
    return a.Width == b.Width && a.Height == b.Height && a.Rgba == b.Rgba;
}

// Pixels that differ in a region of two pictures of the same size.
int DifferentPixels(const TPicture& a, const TPicture& b, TRect r) {
    int n = 0;
    for (int y = r.Y1; y < r.Y2; ++y)
        for (int x = r.X1; x < r.X2; ++x)
            n += std::equal(a.At(x, y), a.At(x, y) + 3, b.At(x, y)) ? 0 : 1;
    return n;
}

// The 3D view above the HUD's bottom panels and below its top-left panels.
const TRect kField{120, 100, 640, 370};
// Where the game menu writes "GAME OVER" (x 0.21-0.81, y 0.825-0.975), below the frame rate.
const TRect kEndText{134, 30, 518, 84};

// ---- the session in a window ----

// Frames of the windowed session at 0.1 s a frame (the splash covers frames 0-9).
namespace session {
// Main menu buttons sit in the frame at x 0.625-0.925, y 0.09-0.64 (bottom-up):
// button k from 0.85 - 0.12k - 0.08 to 0.85 - 0.12k of the frame's height.
constexpr int MenuX = 496;  // 0.775 of the width
constexpr int NewGameY = 223, OptionsY = 286, ExitY = 318, ReturnY = 413;
constexpr int VolumeBarY = 232;  // the slider at 0.75-0.8 of the options frame
// The game menu's buttons, frame (0.35, 0.25)-(0.65, 0.8).
constexpr int GameMenuX = 320, ContinueY = 146, RestartY = 178, TerminateY = 209;

constexpr int Battle = 29;  // the first battle frame: "New game" is released at 28
constexpr int B(int n) { return Battle + n; }
// Where the troop meets the enemy: follows from the map and the seed.
constexpr int AttackAt = B(370);
constexpr int AttackX = 441, AttackY = 164;  // the label of a CPU2 cavalryman fighting our men
// The last human unit falls before frame B(650); the menu then comes up with "GAME OVER".
constexpr int GameOverShot = B(670);
constexpr int FrozenShot = B(660);
constexpr int Continue2 = B(671);
constexpr int Escape2 = B(677);
constexpr int Terminate = B(681);
constexpr int MenuAgain = B(684);    // the main menu's first frame after the loading thread
constexpr int Exit = MenuAgain + 4;  // released at Exit + 2: the run ends there
constexpr int Cap = 900;
const char* const Retune =
    "\nWhere the troop meets the enemy and when it is lost follow from the generated map, the\n"
    "computer players and the seed: look at the kept screenshots and move session::AttackAt,\n"
    "AttackX/AttackY (a CPU unit's label) and the frames after the defeat accordingly.";
}  // namespace session

TEST(Playthrough, AWholeSessionFromTheSplashToTheDefeatAndOut) {
    using namespace session;
    ASSERT_TRUE(GameDataBuilt());
    TGameFolder folder;
    // The settings exist already, with a volume the options frame changes.
    WriteText(folder.File("Config.ini"),
              "; here comment\r\n[system]\r\nMapScrollSpeed = 0.80\r\n[sound]\r\nMusicVolume = 0.80\r\n");
    auto shot = [&](const std::string& name) { return folder.File(name + ".png"); };

    TScript s;
    s.Shot(3, shot("splash"));
    s.Shot(12, shot("menu"));
    s.Click(13, MenuX, OptionsY);
    s.Click(16, MenuX, VolumeBarY);  // the middle of the slider: 50 %
    s.Shot(20, shot("options"));
    s.Click(21, MenuX, ReturnY);
    s.Shot(25, shot("back"));
    s.Click(26, MenuX, NewGameY);

    // The battle. The view starts centred on the first bowman; the warriors
    // stand to its left, the cavalry to its right.
    s.Shot(B(0), shot("battle"));
    s.Click(B(2), 320, 228);  // the first bowman
    s.Move(B(5), 600, 300);   // away, so that only the selected units keep a label
    s.Shot(B(6), shot("clicked"));
    s.Move(B(8), 175, 150);  // a box round the warriors
    s.At(B(9), "down left 175 150");
    s.Move(B(10), 265, 255);
    s.At(B(11), "up left 265 255");
    s.Move(B(12), 600, 300);
    s.Shot(B(13), shot("boxed"));
    s.At(B(14), "keydown 17");  // Control+1: the warriors are group 1
    s.Key(B(15), 49);
    s.At(B(17), "keyup 17");
    s.Move(B(18), 200, 330);  // a move order dragged eastwards to set the facing
    s.At(B(19), "down right 200 330");
    s.Move(B(20), 215, 330);
    s.Move(B(21), 260, 330);
    s.Shot(B(22), shot("dragging"));
    s.At(B(23), "up right 260 330");
    s.At(B(24), "keydown 16");  // Shift shows where they go
    s.Shot(B(26), shot("paths"));
    s.At(B(27), "keyup 16");
    s.Key(B(28), 49);  // group 1, then hold
    s.Key(B(30), 81);
    s.Shot(B(32), shot("hold"));
    s.Key(B(33), 49);  // 1 twice within 0.75 s centres the view on the group
    s.Key(B(35), 49);
    s.Shot(B(37), shot("centred"));
    s.Key(B(38), 33);  // Page Up tilts, pad + zooms out
    s.Key(B(40), 107);
    s.Shot(B(42), shot("zoomed"));
    s.Key(B(43), 34);
    s.Key(B(45), 109);
    s.Move(B(47), 0, 240);  // the left edge scrolls
    s.Shot(B(50), shot("scrolling"));
    s.Move(B(51), 600, 300);
    s.Key(B(52), 9);  // Tab hides the HUD and brings it back
    s.Shot(B(54), shot("hidden"));
    s.Key(B(55), 9);
    s.Key(B(57), 27);  // Escape: the game menu; "Continue" closes it
    s.Shot(B(59), shot("gamemenu"));
    s.Click(B(60), GameMenuX, ContinueY);
    s.Shot(B(64), shot("continued"));
    // Everyone runs (Control) to where CPU2 comes from, ordered on the minimap.
    s.Key(B(65), 88);
    s.At(B(67), "keydown 17");
    int mx, my;
    MiniMapPixel(7.0f, 120.0f, mx, my);
    s.Click(B(68), mx, my, "right");
    s.At(B(71), "keyup 17");
    // Space keeps the view on the first bowman on the way.
    for (int f = B(80); f <= B(360); f += 20)
        s.Key(f, 32);
    // An attack on a cavalryman of CPU2 who fights our men, picked by his label.
    s.Move(AttackAt - 2, AttackX, AttackY);
    s.At(AttackAt, "down right " + std::to_string(AttackX) + " " + std::to_string(AttackY));
    s.At(AttackAt + 1, "up right " + std::to_string(AttackX) + " " + std::to_string(AttackY));
    s.At(AttackAt + 2, "keydown 16");
    s.Shot(AttackAt + 5, shot("attack"));
    s.At(AttackAt + 6, "keyup 16");
    // The defeat freezes the battle behind the game menu.
    s.Shot(FrozenShot, shot("frozen"));
    s.Shot(GameOverShot, shot("gameover"));
    s.Click(Continue2, GameMenuX, ContinueY);
    s.Shot(Continue2 + 5, shot("lost"));
    s.Key(Escape2, 27);
    s.Shot(Escape2 + 3, shot("gameover2"));
    s.Click(Terminate, GameMenuX, TerminateY);
    s.Shot(MenuAgain + 3, shot("menuagain"));
    s.Click(Exit, MenuX, ExitY);
    s.Shot(Exit + 10, shot("afterexit"));  // never taken: the game has ended
    WriteText(folder.File("session.txt"), s.Text());

    TGameRun run =
        RunGame({"--batch", "--windowed", "640x480", "--fixed-dt", "0.1", "--seed", "2", "--frames",
                 std::to_string(Cap), "--script", folder.File("session.txt"), "--data", folder.Path()},
                kEnv, 500);
    ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
    EXPECT_EQ(run.Stdout, "");
    EXPECT_FALSE(fs::exists(shot("afterexit"))) << "\"Exit\" did not end the game";

    // ---- the log ----
    const std::vector<std::string> log = LogLines(folder.Log());
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "***** Log starting *****");
    EXPECT_EQ(log[1], "");
    EXPECT_EQ(TroubleLines(log), std::vector<std::string>{});
    EXPECT_EQ(UnbalancedCreation(log), "");
    // The programs are made once, at start-up: the landscape's file gives four, with
    // and without its shadow and its fog lookups.
    EXPECT_EQ(CountLines(log, "Create Shader: \"LandTile\" - complete."), 4u);
    // Start-up, the menu, the battle on the loading thread, the menu again on it.
    const std::string battle = "++CreateScene: \"" + folder.Path() + "/Data/Maps/FirstBlood.map\"";
    const std::vector<std::string> order{"Renderer Init - complete.",
                                         "Resource System Init - complete.",
                                         "Sound Storage Init - complete.",
                                         "++CreateScene: \"LoadingScene\" ...",
                                         "++CreateScene: \"LoadingScene\" - complete.",
                                         "++CreateScene: \"MainMenuScene\" ...",
                                         "++CreateScene: \"MainMenuScene\" - complete.",
                                         "Start Loading Thread ++++++++++++++++++++++++",
                                         battle + " ...",
                                         "CreateMap ...",
                                         "CreateMap - complete.",
                                         battle + " - complete.",
                                         "Close Loading Thread ++++++++++++++++++++++++",
                                         "Start Loading Thread ++++++++++++++++++++++++",
                                         "++CreateScene: \"MainMenuScene\" ...",
                                         "++CreateScene: \"MainMenuScene\" - complete.",
                                         "Close Loading Thread ++++++++++++++++++++++++"};
    size_t at = 0;
    for (const std::string& line : order) {
        at = FindLine(log, line, at);
        ASSERT_LT(at, log.size()) << "missing, or out of order: " << line;
        ++at;
    }
    EXPECT_EQ(CountLines(log, "Start Loading Thread ++++++++++++++++++++++++"), 2u);
    EXPECT_EQ(CountLines(log, "++CreateScene: \"LoadingScene\" ..."), 1u);
    // The voices answered: a selection, a move order, an attack.
    for (const char* voice : {"AGA.WAV\" - complete.", "YESSIR.WAV\" - complete.", "GO.WAV\" - complete."})
        EXPECT_TRUE(HasLineContaining(log, voice)) << voice << Retune;

    // ---- the settings: the volume set in the options, the scroll speed kept ----
    const std::vector<std::string> ini = LogLines(ReadText(folder.File("Config.ini")));
    ASSERT_EQ(ini.size(), 11u);
    EXPECT_EQ(ini[2], "MapScrollSpeed = 0.80");
    EXPECT_EQ(ini[10], "MusicVolume = 0.50");

    // ---- the pictures ----
    std::map<std::string, TPicture> pic;
    for (const char* name :
         {"splash", "menu",   "options",  "back",   "battle",    "clicked",  "boxed",    "dragging",
          "paths",  "hold",   "centred",  "zoomed", "scrolling", "hidden",   "gamemenu", "continued",
          "attack", "frozen", "gameover", "lost",   "gameover2", "menuagain"}) {
        pic[name] = ReadPng(shot(name));
        ASSERT_EQ(pic[name].Width, W) << name;
        ASSERT_EQ(pic[name].Height, H) << name;
    }

    // The splash: a small picture in the middle of a black screen.
    EXPECT_EQ(CountPixels(pic["splash"], {0, 0, W, 200}, Dark), W * 200);
    EXPECT_GT(CountPixels(pic["splash"], {220, 225, 420, 255}, [](auto c) { return !Dark(c); }), 1000);

    // The main menu: the frame's white outline at x 0.625 and 0.925, the header,
    // and no volume slider.
    const TPicture& menu = pic["menu"];
    EXPECT_GT(CountPixels(menu, {399, 190, 401, 430}, White), 230);
    EXPECT_GT(CountPixels(menu, {591, 190, 593, 430}, White), 230);
    EXPECT_GT(CountPixels(menu, {410, 176, 590, 190},
                          [](auto c) { return c[0] > 150 && Near(c, c[0], c[0], c[0], 16); }),
              1500);
    EXPECT_EQ(CountPixels(menu, {410, 228, 590, 238}, SliderGreen), 0);
    // The options: the slider filled to the middle where it was clicked.
    const TPicture& options = pic["options"];
    EXPECT_GT(CountPixels(options, {420, 230, 490, 234}, SliderGreen), 200);
    EXPECT_EQ(CountPixels(options, {502, 230, 575, 234}, SliderGreen), 0);
    // "Return" brings back the very same main frame (the ornament turns only after 3 s).
    EXPECT_TRUE(SamePicture(pic["back"], menu));

    // The battle: HUD panels, the minimap with the troop's dots where it starts.
    const TPicture& battle0 = pic["battle"];
    EXPECT_GT(CountPixels(battle0, {140, 400, 500, 470}, Parchment), 15000);
    int tx, ty;
    MiniMapPixel(98.0f, 60.0f, tx, ty);
    EXPECT_GT(CountPixels(battle0, {tx - 12, ty - 12, tx + 12, ty + 12},
                          [](auto c) { return Near(c, 128, 255, 128, 40); }),
              10);
    EXPECT_EQ(CountPixels(battle0, kField, LabelGreen), 0);
    EXPECT_EQ(CountPixels(battle0, kField, RingYellow), 0);

    // One bowman clicked: one ring and one label; five warriors boxed: five of each.
    const int oneLabel = CountPixels(pic["clicked"], kField, LabelGreen);
    const int oneRing = CountPixels(pic["clicked"], kField, RingYellow);
    EXPECT_GT(oneLabel, 120);
    EXPECT_GT(oneRing, 40);
    EXPECT_GT(CountPixels(pic["clicked"], {300, 220, 340, 255}, RingYellow), oneRing * 3 / 4);
    const int fiveLabels = CountPixels(pic["boxed"], kField, LabelGreen);
    EXPECT_GT(fiveLabels, oneLabel * 4);
    EXPECT_LT(fiveLabels, oneLabel * 6);
    EXPECT_GT(CountPixels(pic["boxed"], kField, RingYellow), oneRing * 4);
    // The box left the bowman.
    EXPECT_EQ(CountPixels(pic["boxed"], {300, 220, 340, 255}, RingYellow), 0);

    // Group 1 shows in the first slot of the groups panel.
    EXPECT_EQ(CountPixels(pic["boxed"], {2, 2, 26, 26}, [](auto c) { return Near(c, 0, 255, 0, 8); }), 0);
    EXPECT_GT(CountPixels(pic["dragging"], {2, 2, 26, 26}, [](auto c) { return Near(c, 0, 255, 0, 8); }), 10);

    // While the order is dragged the arrows show the formation and its facing.
    EXPECT_GT(DifferentPixels(pic["dragging"], pic["boxed"], {120, 290, 280, 360}), 1000);
    // With Shift held each walker's path is drawn; without it, none.
    EXPECT_GT(CountPixels(pic["paths"], kField, PathGrey), 300);
    EXPECT_EQ(CountPixels(pic["dragging"], kField, PathGrey), 0);
    // On hold, the labels wear a yellow aura.
    EXPECT_GT(CountPixels(pic["hold"], kField, [](auto c) { return c[0] > 150 && c[1] > 150 && c[2] < 60; }),
              CountPixels(pic["paths"], kField, [](auto c) {
                  return c[0] > 150 && c[1] > 150 && c[2] < 60;
              }) + 200);
    // A double press of 1 puts the group's first warrior in the middle of the view.
    EXPECT_GT(CountPixels(pic["centred"], {280, 200, 360, 280}, RingYellow), 100);
    // Tilting and zooming changes the view; scrolling at the left edge shows its arrow.
    EXPECT_GT(DifferentPixels(pic["zoomed"], pic["centred"], kField), 50000);
    EXPECT_GT(CountPixels(pic["scrolling"], {0, 200, 20, 280}, ArrowYellow), 30);
    EXPECT_EQ(CountPixels(pic["centred"], {0, 200, 20, 280}, ArrowYellow), 0);
    // Tab: no panels, but the frame rate stays.
    EXPECT_LT(CountPixels(pic["hidden"], {140, 400, 500, 470}, Parchment), 500);
    EXPECT_GT(CountPixels(pic["hidden"], {296, 8, 322, 24}, [](auto c) { return c[1] > 180 && c[0] < 100; }),
              10);

    // The game menu over the frozen battle, then "Continue" back to the HUD.
    const TPicture& gameMenu = pic["gamemenu"];
    EXPECT_GT(CountPixels(gameMenu, {223, 110, 225, 350}, White), 230);
    EXPECT_LT(CountPixels(gameMenu, {140, 400, 500, 470}, Parchment), 500);
    EXPECT_EQ(CountPixels(gameMenu, kEndText, White), 0);
    EXPECT_GT(CountPixels(pic["continued"], {140, 400, 500, 470}, Parchment), 15000);

    // The attack: with Shift held the attackers' lines lead to their enemy.
    EXPECT_GT(CountPixels(pic["attack"], kField, AttackBlue), 100) << Retune;

    // The defeat: "GAME OVER" above the game menu, the battle standing still.
    const TPicture& gameOver = pic["gameover"];
    EXPECT_GT(CountPixels(gameOver, kEndText, White), 1500) << Retune;
    EXPECT_GT(CountPixels(gameOver, {223, 110, 225, 350}, White), 230);
    EXPECT_TRUE(SamePicture(pic["frozen"], gameOver));
    // "Continue" shows the lost battle; Escape brings the menu back with its title.
    EXPECT_EQ(CountPixels(pic["lost"], kEndText, White), 0);
    EXPECT_GT(CountPixels(pic["lost"], {140, 400, 500, 470}, Parchment), 15000);
    EXPECT_EQ(CountPixels(pic["lost"], kField, LabelGreen), 0);
    EXPECT_GT(CountPixels(pic["gameover2"], kEndText, White), 1500);
    // "Terminate": the main menu again, as it was at first.
    EXPECT_TRUE(SamePicture(pic["menuagain"], menu));

    folder.KeepOnFailure("playthrough-failures", "session");
}

// ---- headless runs ----

// Without a window the menus still lay themselves out on the size given, so a
// script written for a 640x480 window clicks the same buttons.
TEST(Playthrough, HeadlessMenusTakeClicksWhereTheWindowWouldHaveThem) {
    ASSERT_TRUE(GameDataBuilt());
    TGameFolder folder;
    TScript s;
    s.Click(0, session::MenuX, session::ExitY);
    WriteText(folder.File("exit.txt"), s.Text());
    TGameRun run = RunGame({"--batch", "--headless", "--windowed", "640x480", "--fixed-dt", "0.02",
                            "--frames", "500", "--script", folder.File("exit.txt"), "--data", folder.Path()},
                           kEnv, 120);
    ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
    EXPECT_EQ(run.Stdout, "{\"frames\": 3}\n");
}

// The battle left to itself: the computer players find the troop and wipe it
// out; the battle then stands still behind the game menu until the run ends.
TEST(Playthrough, AHeadlessBattleLeftAloneIsLostAndStaysFrozen) {
    ASSERT_TRUE(GameDataBuilt());
    TGameFolder folder;
    WriteText(folder.File("Config.ini"), "MapScrollSpeed = 0.65\r\nMusicVolume = 1.00\r\n");
    const auto started = std::chrono::steady_clock::now();
    TGameRun run = RunGame({"--batch", "--headless", "--fixed-dt", "0.02", "--seed", "1", "--frames", "90000",
                            "--map", folder.MapFile(), "--data", folder.Path()},
                           kEnv, 500);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::cout << "90000 headless frames took " << seconds << " s\n";
    ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
    const TSummary summary = ParseSummary(run.Stdout);
    EXPECT_EQ(summary.Frames, 90000);
    ASSERT_EQ(summary.Players.size(), 3u) << run.Stdout;
    EXPECT_EQ(summary.Players[0].Units, 0) << run.Stdout;
    // The clock stopped at the defeat, long before the 1800 s of the run.
    EXPECT_GT(summary.BattleTime, 30.0);
    EXPECT_LT(summary.BattleTime, 600.0);
    ExpectBalancedBooks(summary);

    const std::vector<std::string> log = LogLines(folder.Log());
    EXPECT_EQ(TroubleLines(log), std::vector<std::string>{});
    EXPECT_EQ(UnbalancedCreation(log), "");
    // Nothing is drawn, so no shader is built and no renderer is started.
    EXPECT_FALSE(HasLineContaining(log, "Create Shader"));
    EXPECT_FALSE(HasLineContaining(log, "Renderer Init"));
    EXPECT_EQ(CountLines(log, "++CreateScene: \"" + folder.MapFile() + "\" - complete."), 1u);
    const std::string text = folder.Log();
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << "the log ends with a whole line";
    EXPECT_EQ(LogLines(ReadText(folder.File("Config.ini"))).size(), 11u);
}

// The troop marched across the map into CPU1's camp by an order on the
// minimap (Control: running). The same seed plays the same battle; another seed
// another one.
class MarchIntoTheEnemy : public ::testing::Test {
protected:
    static constexpr int Battle = 3;  // "New game" is released at frame 2
    // With seed 2 the last human falls at battle time 55.2 s, frame 2764.
    static constexpr int AfterDefeat = 2800;

    TScript March() const {
        TScript s;
        s.Click(0, session::MenuX, session::NewGameY);
        s.Key(Battle + 10, 88);
        s.At(Battle + 12, "keydown 17");
        int x, y;
        MiniMapPixel(7.0f, 10.0f, x, y);
        s.Click(Battle + 13, x, y, "right");
        s.At(Battle + 16, "keyup 17");
        return s;
    }
    void SetUp() override {
        ASSERT_TRUE(GameDataBuilt());
        WriteText(folder.File("Config.ini"), "MusicVolume = 0.30\r\n");
    }
    TGameRun Run(const TScript& script, int seed, int frames) {
        WriteText(folder.File("march.txt"), script.Text());
        return RunGame({"--batch", "--headless", "--windowed", "640x480", "--fixed-dt", "0.02", "--seed",
                        std::to_string(seed), "--frames", std::to_string(frames), "--script",
                        folder.File("march.txt"), "--data", folder.Path()},
                       kEnv, 300);
    }
    TGameFolder folder;
};

TEST_F(MarchIntoTheEnemy, TheTroopIsLostAndTheSameSeedLosesItTheSameWay) {
    TGameRun first = Run(March(), 2, AfterDefeat);
    ASSERT_EQ(first.ExitCode, 0) << first.Stderr;
    const TSummary summary = ParseSummary(first.Stdout);
    ASSERT_EQ(summary.Players.size(), 3u) << first.Stdout;
    EXPECT_EQ(summary.Players[0].Units, 0) << first.Stdout;
    // Frozen since the defeat: no battle time passed in the last frames.
    EXPECT_LT(summary.BattleTime, (AfterDefeat - Battle) * 0.02 - 0.5) << first.Stdout;
    ExpectBalancedBooks(summary);
    EXPECT_EQ(TroubleLines(LogLines(folder.Log())), std::vector<std::string>{});

    TGameRun again = Run(March(), 2, AfterDefeat);
    EXPECT_EQ(again.Stdout, first.Stdout);
    TGameRun other = Run(March(), 3, AfterDefeat);
    EXPECT_NE(other.Stdout, first.Stdout);
}

TEST_F(MarchIntoTheEnemy, AfterTheDefeatRestartTerminateAndExitLeadOut) {
    using namespace session;
    TScript s = March();
    s.Click(AfterDefeat, GameMenuX, RestartY);
    const int again = AfterDefeat + 3;  // the new battle's first frame
    s.Key(again + 5, 27);
    s.Click(again + 7, GameMenuX, TerminateY);
    const int menu = again + 10;  // the main menu's first frame
    s.Click(menu + 2, MenuX, ExitY);
    TGameRun run = Run(s, 2, AfterDefeat + 1000);
    ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
    // The run ended by "Exit" in the main menu, which has no battle to report.
    EXPECT_EQ(run.Stdout, "{\"frames\": " + std::to_string(menu + 5) + "}\n");

    const std::vector<std::string> log = LogLines(folder.Log());
    EXPECT_EQ(TroubleLines(log), std::vector<std::string>{});
    EXPECT_EQ(UnbalancedCreation(log), "");
    const std::string battle =
        "++CreateScene: \"" + folder.Path() + "/Data/Maps/FirstBlood.map\" - complete.";
    EXPECT_EQ(CountLines(log, battle), 2u);
    EXPECT_EQ(CountLines(log, "++CreateScene: \"MainMenuScene\" - complete."), 2u);
    EXPECT_EQ(CountLines(log, "Start Loading Thread ++++++++++++++++++++++++"), 3u);
    EXPECT_EQ(CountLines(log, "Close Loading Thread ++++++++++++++++++++++++"), 3u);
}

}  // namespace
