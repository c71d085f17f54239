// The golden battles: seeded scripted battles whose end states and pictures
// were recorded once and must not change when code moves. Each battle runs
// headless and in a window at two window sizes; the end state is the run's
// summary line (the players' counters and the battle-state checksum), which a
// headless run prints and every run writes into its log.
//
// When a change is meant to alter a battle or a picture, record anew with
//   MYGAME_GOLDEN_RECORD=<folder> ctest -R test_app_golden
// and copy the folder's files over tests/golden/ in the commit that makes the
// change, saying in its message what changed and why.

#include "GameProcess.h"
#include "GameScript.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const std::string kGoldenDir = std::string(MYGAME_SOURCE_DIR) + "/tests/golden";

// Where the recording goes when asked for; empty when the test compares.
std::string RecordDir() {
    const char* dir = std::getenv("MYGAME_GOLDEN_RECORD");
    return dir ? dir : "";
}

// "name: summary" lines.
std::map<std::string, std::string> ReadStates(const std::string& path) {
    std::map<std::string, std::string> states;
    std::istringstream in(ReadText(path));
    std::string line;
    while (std::getline(in, line)) {
        const size_t colon = line.find(": ");
        if (!line.empty() && line[0] != '#' && colon != std::string::npos)
            states[line.substr(0, colon)] = line.substr(colon + 2);
    }
    return states;
}

struct TBattle {
    std::string Name;  // of the battle, without the mode and size
    int Seed = 1;
    bool Orders = false;
    int Frames = 0;
};

const std::vector<TBattle> kBattles{
    {"idle-seed3", 3, false, 400},
    {"orders-seed1", 1, true, 420},
    {"orders-seed2", 2, true, 420},
};

struct TSize {
    int W, H;
};
const std::vector<TSize> kSizes{{1024, 768}, {640, 480}};

// The frames whose pictures are kept: after the first orders, and at the end.
std::vector<int> ShotFrames(const TBattle& b) { return {27, b.Frames - 1}; }

std::string RunName(const TBattle& b, bool windowed, TSize size) {
    return b.Name + (windowed ? "-window-" : "-headless-") + std::to_string(size.W) + "x" +
           std::to_string(size.H);
}

std::string ShotName(const TBattle& b, TSize size, int frame) {
    return b.Name + "-" + std::to_string(size.W) + "x" + std::to_string(size.H) + "-" +
           std::to_string(frame) + ".png";
}

// Runs one battle; returns its summary, and leaves its screenshots in the folder.
std::string Play(const TBattle& b, bool windowed, TSize size, const TGameFolder& folder) {
    TScript s = b.Orders ? OrdersScript(size.W, size.H) : TScript();
    s.Key(b.Frames - 6, 32);  // Space: the last picture looks at the selection
    if (windowed)
        for (int f : ShotFrames(b))
            s.Shot(f, folder.File(ShotName(b, size, f)));
    WriteText(folder.File("script.txt"), s.Text());
    std::vector<std::string> args{"--batch",
                                  "--data",
                                  folder.Path(),
                                  "--map",
                                  folder.MapFile(),
                                  "--seed",
                                  std::to_string(b.Seed),
                                  "--fixed-dt",
                                  "0.1",
                                  "--frames",
                                  std::to_string(b.Frames),
                                  "--script",
                                  folder.File("script.txt"),
                                  "--windowed",
                                  std::to_string(size.W) + "x" + std::to_string(size.H)};
    if (!windowed)
        args.push_back("--headless");
    const TGameRun run = RunGame(args, kEnv, 600);
    EXPECT_EQ(run.ExitCode, 0) << RunName(b, windowed, size) << "\n" << run.Stderr;
    const std::string logged = folder.LoggedStatus();
    if (!windowed) {
        // The printed line and the logged one are the same summary.
        EXPECT_EQ(run.Stdout, logged + "\n") << RunName(b, windowed, size);
    }
    return logged;
}

// Near enough to be the same picture: software rasterisers may differ in a
// few edge pixels from one build of the driver to the next.
::testing::AssertionResult AlikePictures(const std::string& expectedPath, const std::string& actualPath) {
    const TPicture a = ReadPng(expectedPath), b = ReadPng(actualPath);
    if (a.Width == 0 || b.Width == 0)
        return ::testing::AssertionFailure() << "cannot read " << (a.Width == 0 ? expectedPath : actualPath);
    if (a.Width != b.Width || a.Height != b.Height)
        return ::testing::AssertionFailure() << actualPath << " has another size";
    size_t differing = 0;
    for (size_t i = 0; i < a.Rgba.size(); i += 4)
        for (size_t c = 0; c < 3; ++c)
            if (std::abs(int(a.Rgba[i + c]) - int(b.Rgba[i + c])) > 24) {
                ++differing;
                break;
            }
    const size_t pixels = a.Rgba.size() / 4;
    if (differing * 200 > pixels)  // more than 0.5 %
        return ::testing::AssertionFailure() << actualPath << ": " << differing << " of " << pixels
                                             << " pixels differ from " << expectedPath;
    return ::testing::AssertionSuccess();
}

class GoldenBattle : public ::testing::TestWithParam<TBattle> {};

TEST_P(GoldenBattle, EndsAsRecordedHeadlessAndInAWindowAtEverySize) {
    ASSERT_TRUE(GameDataBuilt());
    const TBattle& b = GetParam();
    const std::string record = RecordDir();
    const auto golden = ReadStates(kGoldenDir + "/battles.txt");
    std::ostringstream recorded;

    for (TSize size : kSizes) {
        std::string headless;
        for (bool windowed : {false, true}) {
            TGameFolder folder;
            const std::string name = RunName(b, windowed, size);
            const std::string state = Play(b, windowed, size, folder);
            ASSERT_FALSE(state.empty()) << name << ": no summary in the log";
            // A window changes nothing in the battle.
            if (windowed) {
                EXPECT_EQ(state, headless) << name;
            } else {
                headless = state;
            }
            recorded << name << ": " << state << "\n";
            if (record.empty()) {
                auto it = golden.find(name);
                ASSERT_NE(it, golden.end()) << name << " was never recorded";
                EXPECT_EQ(state, it->second) << name;
            }
            if (windowed)
                for (int f : ShotFrames(b)) {
                    const std::string shot = folder.File(ShotName(b, size, f));
                    if (!record.empty())
                        fs::copy_file(shot, fs::path(record) / ShotName(b, size, f),
                                      fs::copy_options::overwrite_existing);
                    else
                        EXPECT_TRUE(AlikePictures(kGoldenDir + "/" + ShotName(b, size, f), shot));
                }
            folder.KeepOnFailure("golden-failures", name);
        }
    }
    if (!record.empty()) {
        fs::create_directories(record);
        std::ofstream(fs::path(record) / ("battles-" + b.Name + ".txt")) << recorded.str();
    }
}

INSTANTIATE_TEST_SUITE_P(Recorded, GoldenBattle, ::testing::ValuesIn(kBattles),
                         [](const ::testing::TestParamInfo<TBattle>& info) {
                             std::string n = info.param.Name;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return n;
                         });

}  // namespace
