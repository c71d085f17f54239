// Replays: a battle played through the HUD, the minimap and the keyboard is
// recorded, and plays back to the same state at another window size, headless
// or in a window; a replay that was tampered with says where it diverges, one
// cut short plays as far as it goes, and a damaged one is refused.

#include "GameProcess.h"
#include "GameScript.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr int kFrames = 260;

std::string Summary(const TGameRun& run) { return run.Stdout; }

std::vector<std::string> Base(const TGameFolder& folder, int w, int h) {
    return {"--batch", "--data", folder.Path(), "--windowed", std::to_string(w) + "x" + std::to_string(h)};
}

// Plays the scripted battle at 1024x768 headless and records it; the game menu
// is open for a while in the middle, when the battle stands.
TGameRun Record(const TGameFolder& folder, int seed, const std::string& replay) {
    TScript script = OrdersScript(1024, 768);
    script.Key(120, 27);
    script.Key(131, 27);
    WriteText(folder.File("orders.txt"), script.Text());
    std::vector<std::string> args = Base(folder, 1024, 768);
    for (const std::string& a :
         {std::string("--headless"), std::string("--map"), folder.MapFile(), std::string("--seed"),
          std::to_string(seed), std::string("--fixed-dt"), std::string("0.1"), std::string("--frames"),
          std::to_string(kFrames), std::string("--script"), folder.File("orders.txt"),
          std::string("--record"), replay})
        args.push_back(a);
    return RunGame(args, kEnv, 300);
}

TGameRun Replay(const TGameFolder& folder, const std::string& replay, bool headless, int w = 640,
                int h = 480) {
    std::vector<std::string> args = Base(folder, w, h);
    args.push_back("--replay");
    args.push_back(replay);
    if (headless) {
        args.push_back("--headless");
    } else {
        // A window plays at its own pace; it stops where the recording did.
        args.push_back("--frames");
        args.push_back(std::to_string(kFrames + 20));
        args.push_back("--fixed-dt");
        args.push_back("0.05");
    }
    return RunGame(args, kEnv, 300);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

TEST(Replay, APlayedBattlePlaysBackToTheSameStateAtAnySizeHeadlessAndInAWindow) {
    ASSERT_TRUE(GameDataBuilt());
    for (int seed : {1, 2, 5}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TGameFolder folder;
        const std::string replay = folder.File("battle.replay");
        const TGameRun recorded = Record(folder, seed, replay);
        ASSERT_EQ(recorded.ExitCode, 0) << recorded.Stderr;
        ASSERT_NE(Summary(recorded).find("\"checksum\""), std::string::npos) << recorded.Stdout;
        const std::string text = ReadText(replay);
        // Orders went in as commands, the state was checked on the way, and the end was written.
        EXPECT_NE(text.find("\nc "), std::string::npos);
        EXPECT_NE(text.find("\nk 200 "), std::string::npos);
        EXPECT_NE(text.find("\nend "), std::string::npos);
        EXPECT_NE(text.find("\nw "), std::string::npos);  // the menu
        EXPECT_LT(text.size(), 16u * 1024u);

        const TGameRun headless = Replay(folder, replay, true);
        EXPECT_EQ(headless.ExitCode, 0) << headless.Stderr;
        EXPECT_EQ(Summary(headless), Summary(recorded));

        const TGameRun windowed = Replay(folder, replay, false);
        EXPECT_EQ(windowed.ExitCode, 0) << windowed.Stderr;
        const std::string logged = folder.LoggedStatus() + "\n";
        auto checksum = [](const std::string& s) {
            std::smatch m;
            return std::regex_search(s, m, std::regex("\"checksum\": \"([0-9a-f]+)\"")) ? std::string(m[1])
                                                                                        : "";
        };
        EXPECT_NE(checksum(logged), "");
        // The same summary but for the frame count, which includes the frames
        // the window went on showing after the battle's last recorded frame.
        const std::regex frames("\"frames\": \\d+, ");
        EXPECT_EQ(std::regex_replace(logged, frames, ""), std::regex_replace(Summary(recorded), frames, ""));
    }
}

TEST(Replay, ATamperedReplayDivergesAtTheNextChecksumAndADamagedOneIsRefused) {
    ASSERT_TRUE(GameDataBuilt());
    TGameFolder folder;
    const std::string replay = folder.File("battle.replay");
    ASSERT_EQ(Record(folder, 3, replay).ExitCode, 0);
    const std::vector<std::string> lines = Lines(ReadText(replay));

    // The move ordered on the ground in frame ~12: sent elsewhere, the battle
    // parts from the recording and the first checksum after it says so.
    std::vector<std::string> tampered = lines;
    int frame = 0;
    bool changed = false;
    for (std::string& l : tampered) {
        if (l == "f")
            ++frame;
        if (!changed && l.rfind("c 2 ", 0) == 0) {
            std::istringstream in(l);
            std::vector<std::string> w;
            for (std::string x; in >> x;)
                w.push_back(x);
            w[7] = "0x1p+4";  // X: column 16
            l.clear();
            for (size_t i = 0; i < w.size(); ++i)
                l += (i ? " " : "") + w[i];
            changed = true;
            break;
        }
    }
    ASSERT_TRUE(changed) << "no move command in the replay";
    const int expected = (frame / 100 + 1) * 100;
    WriteText(folder.File("tampered.replay"), Join(tampered));
    const TGameRun diverged = Replay(folder, folder.File("tampered.replay"), true);
    EXPECT_EQ(diverged.ExitCode, 3);
    EXPECT_NE(diverged.Stderr.find("Replay diverges at frame " + std::to_string(expected) + "\n"),
              std::string::npos)
        << diverged.Stderr;

    // What a crash leaves: everything up to a frame, no end record.
    std::vector<std::string> cut;
    int frames = 0;
    for (const std::string& l : lines) {
        if (l == "f" && ++frames > 150)
            break;
        cut.push_back(l);
    }
    WriteText(folder.File("cut.replay"), Join(cut));
    const TGameRun shortened = Replay(folder, folder.File("cut.replay"), true);
    EXPECT_EQ(shortened.ExitCode, 0) << shortened.Stderr;
    EXPECT_NE(shortened.Stderr.find("is cut short: played up to its last whole frame, 150."),
              std::string::npos)
        << shortened.Stderr;
    EXPECT_NE(shortened.Stdout.find("\"battle_time\": 15.000000"), std::string::npos) << shortened.Stdout;

    // Damaged files are refused before anything starts, naming the file and the fault.
    const std::string text = Join(lines);
    const std::string commandLine = lines[size_t(
        std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("c ", 0) == 0; }) -
        lines.begin())];
    const struct {
        std::string Name, Content, Reason;
    } damaged[] = {
        {"garbage.replay",
         "\x7f"
         "ELF\x02\x01\x01 binary noise\n",
         "not a replay file"},
        {"version.replay", "mygame-replay 7\n" + text.substr(text.find('\n') + 1), "format version 7"},
        {"game.replay", std::regex_replace(text, std::regex("game [^\n]*"), "game 9.9"),
         "version 9.9 of the game"},
        {"map.replay", std::regex_replace(text, std::regex("map (\\S+) [0-9a-f]+"), "map $1 00000000"),
         "the map has changed"},
        {"midfield.replay", text.substr(0, text.find(commandLine) + commandLine.size() / 2), "cut short"},
        {"unknown.replay", Join({lines[0], lines[1], lines[2], lines[3], "zz 1 2"}), "unknown record"},
        {"empty.replay", "", "header is incomplete"},
    };
    for (const auto& d : damaged) {
        WriteText(folder.File(d.Name), d.Content);
        const TGameRun run = Replay(folder, folder.File(d.Name), true);
        EXPECT_EQ(run.ExitCode, 1) << d.Name;
        EXPECT_NE(run.Stderr.find(folder.File(d.Name)), std::string::npos) << d.Name << ": " << run.Stderr;
        EXPECT_NE(run.Stderr.find(d.Reason), std::string::npos) << d.Name << ": " << run.Stderr;
        EXPECT_EQ(run.Stdout, "") << d.Name;
    }
}

TEST(Replay, EveryBattleIsRecordedInTheReplaysFolderWhichKeepsTheLastTwenty) {
    ASSERT_TRUE(GameDataBuilt());
    TGameFolder folder;
    const fs::path replays = fs::path(folder.Path()) / "replays";
    fs::create_directories(replays);
    for (int i = 0; i < 25; ++i)
        WriteText(
            (replays / ("2000-01-01_00-00-" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".replay"))
                .string(),
            "old\n");
    const TGameRun run = RunGame({"--batch", "--data", folder.Path(), "--headless", "--map", folder.MapFile(),
                                  "--fixed-dt", "0.1", "--frames", "30"},
                                 kEnv, 120);
    ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(replays))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 20u);
    EXPECT_EQ(names.front(), "2000-01-01_00-00-06.replay");  // the oldest went
    const std::string newest = (replays / names.back()).string();
    EXPECT_EQ(ReadText(newest).rfind("mygame-replay 1\n", 0), 0u);
    // It plays.
    const TGameRun again =
        RunGame({"--batch", "--data", folder.Path(), "--headless", "--replay", newest}, kEnv, 120);
    EXPECT_EQ(again.ExitCode, 0) << again.Stderr;
    EXPECT_EQ(again.Stdout, run.Stdout);
}

}  // namespace
