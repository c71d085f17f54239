#pragma once
// Helpers shared by the world tests: landscapes and maps built in memory, and a game folder with
// the textures and models a map asks for, with the resource system started on it.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestDrawQueue.h"
#include "TestSupport.h"
#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "resources/e_ModelLoader.h"
#include "resources/e_ResourceManager.h"
#include "world/MapObject.h"

// A landscape whose vertex at grid (r, c) has the height heightAt(r, c) (in 1/200 units) and
// whose tiles are all of type 0.
inline TLandscapeSection MakeSection(int cols, int rows,
                                     const std::function<int16_t(int, int)>& heightAt = nullptr) {
    TLandscapeSection s;
    s.Cols = cols;
    s.Rows = rows;
    s.Tiles.resize(size_t(std::max(cols, 0)) * size_t(std::max(rows, 0)));
    for (size_t i = 0; i < s.Tiles.size(); ++i) {
        s.Tiles[i].Col1 = uint8_t(i % 4);
        s.Tiles[i].Row1 = uint8_t(i % 3);
    }
    const int vc = 2 * cols + 1, vr = 2 * rows + 1;
    s.Verts.resize(size_t(std::max(vc, 0)) * size_t(std::max(vr, 0)));
    for (int r = 0; r < vr; ++r)
        for (int c = 0; c < vc; ++c) {
            auto& v = s.Verts[size_t(r) * vc + c];
            v.Height = heightAt ? heightAt(r, c) : 0;
            v.Light = 200;
            v.Alpha = 100;
        }
    return s;
}

// A static model file holding one box-shaped mesh from boxMin to boxMax (two triangles suffice
// for the registry; the box is what the world uses).
inline std::vector<uint8_t> MakeBoxModel(TMyVector3f boxMin, TMyVector3f boxMax) {
    TModelStreamData d;
    TStoredRenderMesh mesh;
    mesh.Name = "box";
    mesh.BoxMin = boxMin;
    mesh.BoxMax = boxMax;
    const TMyVector3f corners[4] = {{boxMin.x, boxMin.y, boxMin.z},
                                    {boxMax.x, boxMin.y, boxMin.z},
                                    {boxMax.x, boxMax.y, boxMax.z},
                                    {boxMin.x, boxMax.y, boxMax.z}};
    for (const auto& p : corners) {
        const float v[StaticVertexSize] = {p.x, p.y, p.z, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0};
        mesh.Vertices.insert(mesh.Vertices.end(), v, v + StaticVertexSize);
    }
    mesh.VertCount = 4;
    mesh.Triangles = {{0, 1, 2}, {0, 2, 3}};
    mesh.TriCount = 2;
    d.RendData.Meshes.push_back(mesh);
    d.RendData.MeshCount = 1;
    d.RendData.BoxMin = boxMin;
    d.RendData.BoxMax = boxMax;
    return WriteModelStream(d);
}

// A game folder with "TileSet" (256 x 128), "Clouds", "CurvedRing" and the models "Tree" and
// "Rock"; the log goes to its InfoLog.txt and the resource system is started on it. The map
// draw queue is the null one before and after each test.
class WorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageBoxesEnabled(false);
        Root = dir.path() + "/";
        savedAppPath = AppPath;
        AppPath = Root;
        StartLog();
        WriteBytes(Root + "Data/Textures/TileSet.tga", MakeTga(256, 128, 90, 140, 60));
        WriteBytes(Root + "Data/Textures/Clouds.tga", MakeTga(4, 4, 255, 255, 255));
        WriteBytes(Root + "Data/Textures/CurvedRing.tga", MakeTga(4, 4, 255, 255, 255));
        WriteBytes(Root + "Data/Modeles/Tree.PRM", MakeBoxModel({-0.5f, 0.0f, -0.5f}, {0.5f, 3.0f, 0.5f}));
        WriteBytes(Root + "Data/Modeles/Rock.PRM", MakeBoxModel({-1.0f, 0.0f, -0.25f}, {1.0f, 0.5f, 0.25f}));
        InitResourceSystem(Log, Root, "Data/Textures/", "Data/Modeles/", "Data/Animates/");
        SetDrawQueue(nullptr);
    }
    void TearDown() override {
        SetDrawQueue(nullptr);
        FreeResourceSystem();
        AppPath = savedAppPath;
    }

    std::string LogText() { return ReadText(Root + "InfoLog.txt"); }

    TempDir dir;
    std::string Root;
    std::string savedAppPath;
};
