// The log, the settings file, the input state and input scripts.

#include "TestSupport.h"
#include "app/e_Config.h"
#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "app/my_Input.h"
#include "app/my_Script.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <thread>
#include <vector>

namespace {

class WithAppPath : public ::testing::Test {
protected:
    void SetUp() override {
        saved = AppPath;
        AppPath = dir.path() + "/";
        StartLog();
    }
    void TearDown() override { AppPath = saved; }
    std::string LogText() { return ReadText(dir.file("InfoLog.txt")); }
    TempDir dir;
    std::string saved;
};

using LogFile = WithAppPath;
using ConfigFile = WithAppPath;

const std::string kHeader = "***** Log starting *****\r\n\r\n";

TEST_F(LogFile, StartsFreshAndSplitsLinesOnLineFeedsOnly) {
    EXPECT_EQ(LogText(), kHeader);
    Log("a");
    Log("b");
    Log("c\nd");
    Log("e\r\nf");
    Log("g\n");
    Log("");
    EXPECT_EQ(LogText(), kHeader + "a\r\nb\r\nc\r\nd\r\ne\r\r\nf\r\ng\r\n\r\n\r\n");
    StartLog();
    EXPECT_EQ(LogText(), kHeader);
}

TEST_F(LogFile, WholeCallsNeverInterleave) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i)
                Log("thread " + std::to_string(t) + " line\nsecond half");
        });
    for (auto& th : threads)
        th.join();
    std::string text = LogText().substr(kHeader.size());
    size_t pos = 0;
    int pairs = 0;
    while ((pos = text.find(" line\r\n", pos)) != std::string::npos) {
        pos += 7;
        EXPECT_EQ(text.compare(pos, 13, "second half\r\n"), 0);
        ++pairs;
    }
    EXPECT_EQ(pairs, 200);
}

TEST_F(ConfigFile, MissingFileIsRecreatedWithDefaultsInTheStandardLayout) {
    {
        TConfigApp config(AppPath);
        EXPECT_FLOAT_EQ(config.MusicVolume, 1.0f);
        EXPECT_FLOAT_EQ(config.MapScrollSpeed, 65.0f);
    }
    const std::string expected =
        "; here comment\r\n[system]\r\nMapScrollSpeed = 0.65\r\n[editor]\r\n...\r\n[physic]\r\n...\r\n"
        "[render]\r\n...\r\n[sound]\r\nMusicVolume = 1.00\r\n";
    EXPECT_EQ(ReadText(dir.file("Config.ini")), expected);
    EXPECT_EQ(LogText(), kHeader + "File \"Config.ini\" not found. Recreated!!\r\n");
}

TEST_F(ConfigFile, ValuesAreParsedStrictlyAndKeysCaseSensitively) {
    struct Case {
        std::string text;
        float volume;
        float speed;
    } cases[] = {
        {"MapScrollSpeed=1.5", 1.0f, 150.0f},
        {"MusicVolume = abc ; loud\r\n", 1.0f, 65.0f},
        {"mapscrollspeed = 2\r\nMusicVolume=0.25", 0.25f, 65.0f},
        {"MusicVolume = 0.5 = 3", 1.0f, 65.0f},
        {"[sound]\r\nMusicVolume = 0.3\r\nMusicVolume = 0.7 ; last wins\r\n", 0.7f, 65.0f},
        {"\tMapScrollSpeed\t=\t0.10  \r\n", 1.0f, 10.0f},
        {"MapScrollSpeed = 1,5", 1.0f, 65.0f},
    };
    for (const auto& c : cases) {
        WriteText(dir.file("Config.ini"), c.text);
        TConfigApp config(AppPath);
        EXPECT_FLOAT_EQ(config.MusicVolume, c.volume) << c.text;
        EXPECT_FLOAT_EQ(config.MapScrollSpeed, c.speed) << c.text;
    }
    WriteText(dir.file("Config.ini"), "MapScrollSpeed=1.5");
    { TConfigApp config(AppPath); }
    std::string saved = ReadText(dir.file("Config.ini"));
    EXPECT_NE(saved.find("\r\nMapScrollSpeed = 1.50\r\n"), std::string::npos) << saved;
    EXPECT_EQ(LogText().find("Recreated"), std::string::npos);
}

// Values a slider never gives are pulled into range and logged, so that neither
// the session nor the next start inherits them.
TEST_F(ConfigFile, ValuesOutOfRangeAreBoundedLoggedAndNeverSavedAsNonNumbers) {
    struct Case {
        std::string text;
        float volume;
        float speed;
    } cases[] = {
        {"MapScrollSpeed = 1e37\r\nMusicVolume = -0.5", 0.0f, 1000.0f},
        {"MapScrollSpeed = 0\r\nMusicVolume = 7", 1.0f, 5.0f},
        {"MapScrollSpeed = -3\r\nMusicVolume = 1e-50", 0.0f, 5.0f},
        {"MapScrollSpeed = 1e300\r\nMusicVolume = 0.4", 0.4f, 1000.0f},
    };
    for (const auto& c : cases) {
        WriteText(dir.file("Config.ini"), c.text);
        {
            TConfigApp config(AppPath);
            EXPECT_FLOAT_EQ(config.MusicVolume, c.volume) << c.text;
            EXPECT_FLOAT_EQ(config.MapScrollSpeed, c.speed) << c.text;
        }
        std::string saved = ReadText(dir.file("Config.ini"));
        EXPECT_EQ(saved.find("inf"), std::string::npos) << saved;
        EXPECT_EQ(saved.find('-'), std::string::npos) << saved;
    }
    const std::string log = LogText();
    EXPECT_NE(log.find("MapScrollSpeed = 1e37 is out of range, 10 used"), std::string::npos) << log;
    EXPECT_NE(log.find("MusicVolume = -0.5 is out of range, 0 used"), std::string::npos) << log;
    EXPECT_EQ(log.find("MusicVolume = 0.4"), std::string::npos) << log;

    // Whatever else sets the fields, the file keeps numbers the next run can read.
    {
        TConfigApp config(AppPath);
        config.MapScrollSpeed = std::numeric_limits<float>::infinity();
        config.MusicVolume = std::numeric_limits<float>::quiet_NaN();
    }
    std::string saved = ReadText(dir.file("Config.ini"));
    EXPECT_NE(saved.find("MapScrollSpeed = 0.65\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("MusicVolume = 1.00\r\n"), std::string::npos) << saved;
}

TEST_F(ConfigFile, AFolderNamedLikeTheFileDoesNotCountAndAnUnwritableFileDoesNotThrowAtExit) {
    std::filesystem::create_directory(dir.file("Config.ini"));
    EXPECT_THROW(TConfigApp config(AppPath), std::ios_base::failure);
    std::filesystem::remove(dir.file("Config.ini"));
    auto config = std::make_unique<TConfigApp>(AppPath);
    std::filesystem::remove(dir.file("Config.ini"));
    std::filesystem::create_directory(dir.file("Config.ini"));
    EXPECT_NO_THROW(config.reset());
}

int lastVolume = -1;
TEST_F(ConfigFile, VolumeChangesReachThePlayerAsAPercentageOnlyWhenTheyDiffer) {
    SetConfigMusicVolumeProc([](int percent) { lastVolume = percent; });
    TConfigApp config(AppPath);
    config.SetMusicVolume(1.0f);
    EXPECT_EQ(lastVolume, -1);
    config.SetMusicVolume(0.456f);
    EXPECT_EQ(lastVolume, 46);
    SetConfigMusicVolumeProc(nullptr);
}

class Input : public ::testing::Test {
protected:
    void SetUp() override {
        ScreenRect = TScreenRect{0, 0, 800, 600};
        ResetInputState();
        captures.clear();
        SetCaptureProc([](bool c) { captures.push_back(c); });
    }
    void TearDown() override { SetCaptureProc(nullptr); }
    static std::vector<bool> captures;
};
std::vector<bool> Input::captures;

TEST_F(Input, PositionsAreFlippedAndClampedToTheClientArea) {
    InputMouseMove(10, 100, false, false);
    EXPECT_EQ(InputState.MouseX, 10);
    EXPECT_EQ(InputState.MouseY, 500);
    EXPECT_TRUE(InputState.MouseInside);
    InputMouseMove(-5, 700, true, false);
    EXPECT_EQ(InputState.MouseX, 0);
    EXPECT_EQ(InputState.MouseY, 0);
    EXPECT_FALSE(InputState.MouseInside);
    InputMouseMove(900, -40, false, false);
    EXPECT_EQ(InputState.MouseX, 800);
    EXPECT_EQ(InputState.MouseY, 600);
    // inside: capture; outside with a button held: keep it; outside with none: release
    EXPECT_EQ(captures, (std::vector<bool>{true, false}));
}

TEST_F(Input, DragsCaptureAndReleaseAsTheButtonsSay) {
    InputButtonDown(TMouseButton::Left, 100, 100);
    EXPECT_TRUE(InputState.LeftDrag);
    EXPECT_EQ(InputState.DragStartY, 500);
    InputButtonDown(TMouseButton::Right, 200, 200);
    EXPECT_FALSE(InputState.RightDrag);
    EXPECT_EQ(InputState.DragStartX, 100);
    captures.clear();
    InputButtonUp(TMouseButton::Left, -10, 50);  // outside, right still held
    EXPECT_TRUE(captures.empty());
    InputButtonUp(TMouseButton::Right, -10, 50);
    EXPECT_EQ(captures, (std::vector<bool>{false}));
    InputButtonDown(TMouseButton::Right, 300, 300);
    EXPECT_TRUE(InputState.RightDrag);
    EXPECT_EQ(InputState.DragStartX, 300);
}

TEST_F(Input, PerFrameFlagsLastOneUpdate) {
    InputKeyDown(VK::Escape);
    InputChar('a');
    InputChar('b');
    InputDoubleClick(TMouseButton::Left, 5, 5);
    EXPECT_EQ(InputState.LastChar, 'b');
    EndInputFrame();
    EXPECT_TRUE(PrevInputState.KeyEvent);
    EXPECT_TRUE(PrevInputState.LeftDoubleClick);
    EXPECT_FALSE(InputState.KeyEvent);
    EXPECT_FALSE(InputState.LeftDoubleClick);
    EXPECT_EQ(InputState.LastChar, 0);
    EXPECT_TRUE(InputState.Keys[VK::Escape]);
    InputKeyDown(300);  // out of range: flagged as an event, no key stored
    EXPECT_TRUE(InputState.KeyEvent);
}

// Keys as a player on any layout presses them: digits and the numeric pad by
// position, letters by what the layout calls them; the four control keys bring
// their character with the key-down (widgets wait for it); double clicks only
// within the small rectangle the game was made for.
TEST_F(Input, KeysOfAnyLayoutAndTheCharactersOfControlKeys) {
    for (int code : {VK::Escape, VK::Return, VK::Tab, VK::Back}) {
        EndInputFrame();
        InputKeyDown(code);
        EXPECT_EQ(InputState.LastChar, code);
        EXPECT_TRUE(InputState.Keys[code]);
        EndInputFrame();
        InputKeyUp(code);
        EXPECT_EQ(InputState.LastChar, 0) << code;
    }
    EndInputFrame();
    InputKeyDown('A');
    InputKeyDown(VK::Space);
    EXPECT_EQ(InputState.LastChar, 0);

    struct Key {
        int scancode, keycode, expected;
    } keys[] = {
        {SDL_SCANCODE_1, SDLK_AMPERSAND, '1'},  // French: "&" unshifted
        {SDL_SCANCODE_9, 0xE7, '9'},            // "ç"
        {SDL_SCANCODE_0, 0xE0, '0'},            // "à"
        {SDL_SCANCODE_KP_7, SDLK_HOME, VK::Numpad0 + 7},
        {SDL_SCANCODE_KP_0, SDLK_INSERT, VK::Numpad0},
        {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, VK::Return},
        {SDL_SCANCODE_Q, SDLK_a, 'A'},  // the layout's letter
        {SDL_SCANCODE_A, SDLK_q, 'Q'},
        {SDL_SCANCODE_M, SDLK_COMMA, -1},
        {SDL_SCANCODE_F, 0x0430, 'F'},  // Cyrillic "а": letters by position
        {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, VK::Escape},
        {SDL_SCANCODE_F3, SDLK_F3, VK::F1 + 2},
        {SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, VK::Shift},
    };
    for (const Key& k : keys)
        EXPECT_EQ(VirtualKeyFromSdl(k.scancode, k.keycode), k.expected)
            << SDL_GetScancodeName(SDL_Scancode(k.scancode));

    SetInputHints();
    const char* radius = SDL_GetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_RADIUS);
    ASSERT_NE(radius, nullptr);
    EXPECT_STREQ(radius, "2");
    EXPECT_EQ(SDL_GetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_TIME), nullptr);
}

TEST(InputScript, ParsesEveryCommandAndKeepsTheOrderWithinAFrame) {
    std::vector<TScriptEvent> events;
    std::string error;
    ASSERT_TRUE(
        ParseInputScript("# comment\n\n5 move 10 20\n2 down left 1 2\n2 up right 3 4\r\n"
                         "7 dblclick right 5 6\n8 keydown 27\n8 keyup 27\n9 char 65\n"
                         "10 screenshot shots/a b.png\n11 quit\n",
                         "s.txt", events, error))
        << error;
    ASSERT_EQ(events.size(), 9u);
    EXPECT_EQ(events[0].Type, TScriptEvent::Kind::Down);
    EXPECT_EQ(events[1].Type, TScriptEvent::Kind::Up);
    EXPECT_TRUE(events[1].Right);
    EXPECT_EQ(events[2].Frame, 5);
    EXPECT_EQ(events[7].File, "shots/a b.png");
    EXPECT_EQ(events[8].Type, TScriptEvent::Kind::Quit);
}

TEST(InputScript, BadLinesNameTheFileAndLine) {
    const char* bad[] = {"x move 1 2",    "1 jump",       "1 move 1",   "1 down middle 1 2",
                         "1 keydown 256", "1 screenshot", "1 quit now", "-1 quit"};
    for (const char* text : bad) {
        std::vector<TScriptEvent> events;
        std::string error;
        EXPECT_FALSE(ParseInputScript(std::string("# ok\n") + text + "\n", "s.txt", events, error)) << text;
        EXPECT_EQ(error.rfind("s.txt:2: ", 0), 0u) << error;
    }
}

}  // namespace
