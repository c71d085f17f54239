// Drawing the landscape and the water with a GL 2.1 context on SDL's offscreen driver: the
// one-time upload, the vertex layout, culling by tile and the state the water leaves behind.

#include <SDL.h>
#include <epoxy/gl.h>

#include <cstdlib>

#include "TestGL.h"
#include "render/my_ViewerWorld.h"
#include "test_world_support.h"
#include "world/e_Frustum.h"

namespace {

constexpr int ViewSize = TGLContext::Size;

class WorldDraw : public WorldTest {
protected:
    void SetUp() override {
        if (!TGLContext::Get().context)
            GTEST_SKIP() << "no GL context: " << SDL_GetError();
        WorldTest::SetUp();
        while (glGetError() != GL_NO_ERROR) {
        }
        glViewport(0, 0, ViewSize, ViewSize);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_TEXTURE_2D);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    void TearDown() override {
        if (TGLContext::Get().context) {
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
            WorldTest::TearDown();
        }
    }

    // Looks straight down on a map of cols x rows tiles so that it fills the view: world z (mx)
    // across, world x (my) up the screen.
    static void TopView(int cols, int rows) {
        const float m[16] = {0, 2.0f / rows, 0, 0, 0, 0, 0, 0, 2.0f / cols, 0, 0, 0, -1, -1, 0, 1};
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(m);
        glMatrixMode(GL_MODELVIEW);
    }

    // The colour at map point (mx, my) of a map of cols x rows tiles shown by TopView.
    static std::array<int, 3> Pixel(float mx, float my, int cols, int rows) {
        uint8_t p[4] = {};
        glReadPixels(int(mx / cols * ViewSize), int(my / rows * ViewSize), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE,
                     p);
        return {p[0], p[1], p[2]};
    }

    std::unique_ptr<TGameMap> LoadMap(const TMapFileData& data) {
        file = WriteMapFile(data);
        TMapStream stream(file, "draw.map");
        stream.SetPosition(8);
        auto map = std::make_unique<TGameMap>();
        map->Load(stream);
        return map;
    }

    std::vector<uint8_t> file;
};

}  // namespace

TEST_F(WorldDraw, LandscapeUploadsOnceAndDrawsItsLight) {
    TMapFileData d;
    d.Landscape = MakeSection(12, 10);
    auto map = LoadMap(d);
    TLandshaftObject& land = *map->Landshaft;
    ASSERT_FALSE(land.Uploaded);
    TopView(12, 10);
    DrawLandscape(land);
    EXPECT_TRUE(land.Uploaded);
    EXPECT_NE(land.VertexBuffer, 0u);
    EXPECT_NE(land.IndexBuffer, 0u);
    // The host copies are gone; the buffers hold them.
    EXPECT_TRUE(land.RendVerts.empty());
    EXPECT_TRUE(land.Indices.empty());
    GLint size = 0;
    glBindBuffer(GL_ARRAY_BUFFER, land.VertexBuffer);
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    EXPECT_EQ(size, 12 * 10 * 504);
    glBindBuffer(GL_ARRAY_BUFFER, land.IndexBuffer);
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    EXPECT_EQ(size, 12 * 10 * 96);
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    // Fixed-function drawing shows the vertex light: 200/255 inside, black at the border.
    auto centre = Pixel(6.0f, 5.0f, 12, 10);
    for (int c : centre)
        EXPECT_NEAR(c, 200, 3);
    auto edge = Pixel(0.05f, 5.0f, 12, 10);
    EXPECT_LT(edge[0], 40);

    // A second draw reuses the buffers.
    const uint32_t buffer = land.VertexBuffer;
    DrawLandscape(land);
    EXPECT_EQ(land.VertexBuffer, buffer);
    GLboolean enabled = GL_TRUE;
    glGetBooleanv(GL_VERTEX_ARRAY, &enabled);
    EXPECT_FALSE(enabled);
}

TEST_F(WorldDraw, OnlyTilesInViewAreDrawn) {
    // 40 x 40 tiles: four leaves of 20 x 20. The frustum (the cube -1..1 round the origin) sees
    // only the corner of the leaf at the origin: its first tile, and none of its far tiles.
    TMapFileData d;
    d.Landscape = MakeSection(40, 40);
    auto map = LoadMap(d);
    TFrustum cube;
    cube.Calculate(IdentityMatrix);
    map->PrepareDraw(cube);
    TopView(40, 40);
    DrawLandscape(*map->Landshaft);
    EXPECT_GT(Pixel(0.5f, 0.5f, 40, 40)[0], 40);  // lit towards its centre, dark at the map's edge
    EXPECT_EQ(Pixel(10.0f, 10.0f, 40, 40)[0], 0);
    EXPECT_EQ(Pixel(30.0f, 10.0f, 40, 40)[0], 0);
    EXPECT_EQ(Pixel(10.0f, 30.0f, 40, 40)[0], 0);
    EXPECT_EQ(Pixel(30.0f, 30.0f, 40, 40)[0], 0);
}

TEST_F(WorldDraw, WaterBlendsAndRestoresTheState) {
    TMapFileData d;
    d.Landscape = MakeSection(12, 10);
    d.WaterColour = {0.1f, 0.2f, 0.7f, 0.5f};
    TMapWaterEntry pond;
    // An opaque square over map columns 1..3 and rows 6..8.
    pond.Section.Vertices = {{6, 0.3f, 1}, {6, 0.3f, 3}, {8, 0.3f, 1}, {8, 0.3f, 3}};
    pond.Section.Triangles = {{0, 1, 3, 1}, {0, 3, 2, 1}};
    d.Waters.push_back(pond);
    auto map = LoadMap(d);

    // The map's clock and size go to whatever program the renderer has bound.
    const char* vs =
        "uniform float time; uniform vec2 mapSize; varying vec4 c;\n"
        "void main() { c = gl_Color + vec4(0.0001 * (time + mapSize.x + mapSize.y));\n"
        "              gl_Position = ftransform(); }";
    const char* fs = "varying vec4 c; void main() { gl_FragColor = c; }";
    GLuint program = glCreateProgram();
    for (auto [type, source] : {std::pair{GL_VERTEX_SHADER, vs}, {GL_FRAGMENT_SHADER, fs}}) {
        GLuint shader = glCreateShader(type);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        glAttachShader(program, shader);
        glDeleteShader(shader);
    }
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    ASSERT_TRUE(linked);

    map->Update(12.5);
    TFrustum everything;
    everything.Calculate(MatMultiply(MatScaling(0.01f, 0.01f, 0.01f), IdentityMatrix));
    map->PrepareDraw(everything);
    TopView(12, 10);
    glUseProgram(program);
    DrawMapWater(*map);
    float time = 0, size[2] = {};
    glGetUniformfv(program, glGetUniformLocation(program, "time"), &time);
    glGetUniformfv(program, glGetUniformLocation(program, "mapSize"), size);
    glUseProgram(0);
    glDeleteProgram(program);
    EXPECT_FLOAT_EQ(time, 12.5f);
    EXPECT_FLOAT_EQ(size[0], 12.0f);
    EXPECT_FLOAT_EQ(size[1], 10.0f);

    EXPECT_TRUE(map->Waters[0]->Uploaded);
    // Half-transparent blue over the black background.
    const auto water = Pixel(2.0f, 7.0f, 12, 10);
    EXPECT_NEAR(water[2], 0.7 * 0.5 * 255, 3);
    EXPECT_NEAR(water[0], 0.1 * 0.5 * 255, 3);
    EXPECT_EQ(Pixel(6.0f, 3.0f, 12, 10)[2], 0);

    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));

    // Freed on the GL thread, the buffers go with the map.
    map.reset();
}
