// The real executable: start-up, settings, the single-instance guard and the
// command line, run without a display.

#include "GameProcess.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kNoSound{"ALSOFT_DRIVERS=null"};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0, pos;
    while ((pos = text.find("\r\n", start)) != std::string::npos) {
        out.push_back(text.substr(start, pos - start));
        start = pos + 2;
    }
    return out;
}

TEST(GameStartUp, AHeadlessRunWritesTheLogAndTheSettingsAndReportsItsFrames) {
    TempDir dir;
    TGameRun run = RunGame({"--batch", "--headless", "--frames", "60", "--data", dir.path()}, kNoSound);
    ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
    EXPECT_EQ(run.Stdout, "{\"frames\": 60}\n");
    std::string log = ReadText(dir.file("InfoLog.txt"));
    EXPECT_EQ(log.rfind("***** Log starting *****\r\n\r\n", 0), 0u);
    auto lines = Lines(ReadText(dir.file("Config.ini")));
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[2], "MapScrollSpeed = 0.65");
    EXPECT_EQ(lines[10], "MusicVolume = 1.00");

    // A second run truncates the log and keeps the settings.
    WriteText(dir.file("Config.ini"), "MapScrollSpeed=1.5");
    run = RunGame({"--batch", "--headless", "--frames", "5", "--data", dir.path()}, kNoSound);
    ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
    lines = Lines(ReadText(dir.file("Config.ini")));
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[2], "MapScrollSpeed = 1.50");
    log = ReadText(dir.file("InfoLog.txt"));
    EXPECT_EQ(log.find("Recreated"), std::string::npos);
    EXPECT_EQ(log.find("***** Log starting *****", 1), std::string::npos);
}

TEST(GameStartUp, ASecondCopyLeavesAtOnceAndTouchesNothing) {
    TempDir lockDir, first, second;
    std::vector<std::string> env = kNoSound;
    env.push_back("XDG_RUNTIME_DIR=" + lockDir.path());
    std::thread runner([&] {
        RunGame({"--headless", "--fixed-dt", "0.01", "--frames", "3000000", "--data", first.path()}, env, 60);
    });
    // Wait for the first copy to be up.
    for (int i = 0; i < 200 && !fs::exists(first.file("InfoLog.txt")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(fs::exists(first.file("InfoLog.txt")));
    std::string firstLog = ReadText(first.file("InfoLog.txt"));
    TGameRun run = RunGame({"--headless", "--frames", "5", "--data", second.path()}, env, 30);
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_TRUE(run.Stdout.empty());
    EXPECT_TRUE(fs::is_empty(second.path()));
    EXPECT_EQ(ReadText(first.file("InfoLog.txt")).substr(0, firstLog.size()), firstLog);
    // --batch runs are not guarded: tests run side by side.
    run = RunGame({"--batch", "--headless", "--frames", "5", "--data", second.path()}, env, 30);
    EXPECT_EQ(run.ExitCode, 0);
    runner.join();
}

TEST(GameStartUp, TheCommandLineIsCheckedAndExplained) {
    TGameRun help = RunGame({"--help"});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_NE(help.Stdout.find("--screenshot N:FILE"), std::string::npos);
    for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{{"--windowed", "big"},
                                                                              {"--frames"},
                                                                              {"--fixed-dt", "-1"},
                                                                              {"--screenshot", "12"},
                                                                              {"--bogus"}}) {
        TGameRun run = RunGame(bad);
        EXPECT_EQ(run.ExitCode, 2) << bad[0];
        EXPECT_NE(run.Stderr.find("--help"), std::string::npos);
    }
    TempDir dir;
    WriteText(dir.file("script.txt"), "1 move 10\n");
    TGameRun run =
        RunGame({"--batch", "--headless", "--script", dir.file("script.txt"), "--data", dir.path()});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_NE(run.Stderr.find("script.txt:1: move needs X Y"), std::string::npos) << run.Stderr;
}

// The options frame opens and the Escape key goes back, driven by a script in a real window.
// The splash picture covers the first second (50 frames of 0.02 s).
TEST(GameStartUp, ScriptedClicksReachTheMenuAndScreenshotsAreTaken) {
    TempDir dir;
    fs::copy(std::string(MYGAME_BINARY_DIR) + "/Shaders", dir.file("Shaders"));
    // "Options" is the third button of the frame at x 0.625-0.925, y 0.09-0.64 (bottom-up).
    WriteText(dir.file("script.txt"),
              "55 move 790 340\n"
              "60 move 790 460\n"
              "61 down left 790 460\n"
              "62 up left 790 460\n"
              "70 screenshot " +
                  dir.file("options.png") +
                  "\n"
                  "71 keydown 27\n"
                  "72 keyup 27\n"
                  "75 screenshot " +
                  dir.file("main.png") +
                  "\n"
                  "76 quit\n");
    TGameRun run = RunGame({"--batch", "--windowed", "1024x768", "--fixed-dt", "0.02", "--script",
                            dir.file("script.txt"), "--data", dir.path()},
                           {"ALSOFT_DRIVERS=null", "SDL_VIDEODRIVER=offscreen"});
    ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
    TPicture options = ReadPng(dir.file("options.png"));
    TPicture menu = ReadPng(dir.file("main.png"));
    ASSERT_EQ(options.Width, 1024);
    ASSERT_EQ(menu.Height, 768);
    // The options frame has a green volume bar where the main frame has buttons.
    auto greenAt = [](const TPicture& p, int x, int y) {
        const unsigned char* c = p.At(x, y);
        return c[1] > 150 && c[0] < 120 && c[2] < 120;
    };
    int greenOptions = 0, greenMenu = 0;
    for (int x = 660; x < 930; ++x) {
        greenOptions += greenAt(options, x, 768 - static_cast<int>(0.09 * 768 + 0.775 * 0.55 * 768));
        greenMenu += greenAt(menu, x, 768 - static_cast<int>(0.09 * 768 + 0.775 * 0.55 * 768));
    }
    EXPECT_GT(greenOptions, 100);
    EXPECT_EQ(greenMenu, 0);
    EXPECT_TRUE(fs::exists(dir.file("Config.ini")));
}

}  // namespace

namespace {

// Options, the volume slider dragged to about a quarter, "Return", then "Exit":
// the program ends normally and the new volume is in Config.ini.
TEST(GameStartUp, TheVolumeSliderIsSavedWhenExitIsPressed) {
    TempDir dir;
    fs::copy(std::string(MYGAME_BINARY_DIR) + "/Shaders", dir.file("Shaders"));
    WriteText(dir.file("script.txt"),
              "60 move 790 460\n61 down left 790 460\n62 up left 790 460\n"  // Options
              "70 move 700 372\n71 down left 700 372\n72 move 900 372\n"     // drag the slider
              "73 move 730 372\n74 up left 730 372\n"
              "80 move 793 661\n81 down left 793 661\n82 up left 793 661\n"  // Return
              "90 move 793 509\n91 down left 793 509\n92 up left 793 509\n"  // Exit
              "400 screenshot " +
                  dir.file("late.png") + "\n");
    TGameRun run = RunGame({"--batch", "--windowed", "1024x768", "--fixed-dt", "0.02", "--script",
                            dir.file("script.txt"), "--data", dir.path()},
                           {"ALSOFT_DRIVERS=null", "SDL_VIDEODRIVER=offscreen"});
    ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
    EXPECT_FALSE(fs::exists(dir.file("late.png")));  // "Exit" ended the run before frame 400
    auto lines = Lines(ReadText(dir.file("Config.ini")));
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[10], "MusicVolume = 0.25");
}

}  // namespace

namespace {

// A quick start under a fixed step: the clock stands still while the battle loads,
// so the splash's first second covers the same counted frames however long loading
// takes, and every --screenshot given is taken.
TEST(GameStartUp, AQuickStartShowsTheSplashOnTheSameFramesOnAnyMachine) {
    const std::string data = std::string(MYGAME_BINARY_DIR) + "/Data";
    ASSERT_TRUE(fs::exists(data + "/Maps/FirstBlood.map")) << "build the gamedata target first";
    TempDir dir;
    fs::create_directory_symlink(data, dir.file("Data"));
    fs::create_directory_symlink(std::string(MYGAME_BINARY_DIR) + "/Shaders", dir.file("Shaders"));
    TGameRun run = RunGame(
        {"--batch", "--windowed", "640x480", "--fixed-dt", "0.5", "--seed", "1", "--frames", "4", "--map",
         dir.file("Data/Maps/FirstBlood.map"), "--screenshot", "0:" + dir.file("f0.png"), "--screenshot",
         "1:" + dir.file("f1.png"), "--screenshot", "3:" + dir.file("f3.png"), "--data", dir.path()},
        {"ALSOFT_DRIVERS=null", "SDL_AUDIODRIVER=dummy", "SDL_VIDEODRIVER=offscreen"});
    ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
    // The splash is a small picture on black: the top third of the screen is dark.
    auto litAtTop = [](const TPicture& p) {
        int lit = 0;
        for (int y = 0; y < p.Height / 3; ++y)
            for (int x = 0; x < p.Width; ++x) {
                const unsigned char* c = p.At(x, y);
                lit += c[0] + c[1] + c[2] > 60;
            }
        return lit;
    };
    const TPicture f0 = ReadPng(dir.file("f0.png")), f1 = ReadPng(dir.file("f1.png")),
                   f3 = ReadPng(dir.file("f3.png"));
    ASSERT_EQ(f0.Width, 640);
    ASSERT_EQ(f1.Width, 640);
    ASSERT_EQ(f3.Width, 640);
    EXPECT_EQ(litAtTop(f0), 0);
    EXPECT_EQ(litAtTop(f1), 0);
    EXPECT_GT(litAtTop(f3), 640 * 160 / 2);  // the battlefield
}

}  // namespace
