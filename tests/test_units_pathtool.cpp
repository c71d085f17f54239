// `mygame-data path` answers with the route the game's own path finder takes.

#include "TestSupport.h"
#include "units/my_PathFinder.h"
#include "world/MapObject.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

namespace {

std::string AskPath(const std::string& args, int& rc) {
    std::string command = std::string(MYGAME_BINARY_DIR) + "/mygame-data path " + args + " 2>&1";
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buf[512];
    while (pipe && fgets(buf, sizeof buf, pipe))
        out += buf;
    int status = pipe ? pclose(pipe) : -1;
    rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

// A 12 x 8 field of grass with a wall across column 5 that leaves row 7 open,
// and a river (terrain type 3) across column 8 that warriors may not enter.
TMapFileData WalledField() {
    TMapFileData map;
    map.Landscape.Cols = 12;
    map.Landscape.Rows = 8;
    map.Landscape.Tiles.resize(12 * 8);
    map.Landscape.Verts.resize((2 * 8 + 1) * (2 * 12 + 1));
    for (int row = 0; row < 8; ++row) {
        if (row < 7)
            map.Landscape.Tiles[row * 12 + 5].Flags = 0x8;
        map.Landscape.Tiles[row * 12 + 8].TileType = 3;
    }
    return map;
}

TEST(PathTool, PrintsTheRouteAroundTheWallAndRefusesBadQuestions) {
    TempDir dir;
    ASSERT_TRUE(SaveMapFile(dir.file("field.map"), WalledField()));
    int rc = 0;
    std::string out = AskPath(dir.file("field.map") + " 1 1 3 1 1", rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, "{\"path\": [[1, 1], [3, 1]]}\n");

    out = AskPath(dir.file("field.map") + " 1 1 7 1 1", rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out.rfind("{\"path\": [[1, 1], ", 0), 0u) << out;
    EXPECT_NE(out.find("[5, 7]"), std::string::npos) << "the only gap in the wall: " << out;
    EXPECT_NE(out.find("[7, 1]]}"), std::string::npos) << out;

    // Warriors cannot cross the river: no route reaches the far bank.
    out = AskPath(dir.file("field.map") + " 1 1 10 1 2", rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out.find("[1, 1], "), std::string::npos) << out;

    EXPECT_NE(AskPath(dir.file("field.map") + " 1 1 99 1 1", rc).find("inside the 12 x 8 map"),
              std::string::npos);
    EXPECT_EQ(rc, 2);
    EXPECT_NE(AskPath(dir.file("field.map") + " 1 1 3 1 7", rc).find("unit type 7"), std::string::npos);
    EXPECT_EQ(rc, 2);
    AskPath(dir.file("missing.map") + " 1 1 3 1 1", rc);
    EXPECT_EQ(rc, 1);
    WriteText(dir.file("bad.map"), "not a map");
    AskPath(dir.file("bad.map") + " 1 1 3 1 1", rc);
    EXPECT_EQ(rc, 1);
}

}  // namespace
