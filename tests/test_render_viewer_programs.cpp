// The game's GLSL programs: every one compiles and links on a GL 2.1 / GLSL 1.20
// driver, declares what the renderer relies on, and passes the reference compiler.
// Also the start-up refusals on drivers that lack what the game needs.

#include "TestSupport.h"

#include "app/e_Platform.h"
#include "render/e_ShaderObject.h"
#include "render/my_Viewer.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const ProgramNames[] = {
    "LandTile",    "modelSimple",     "modelBamp",           "modelSimpleSkel",
    "noTextured",  "noBamp",          "noBampSpec",          "Emission",
    "Bamp",        "BampSpec",        "BampParallax",        "BampParallaxSpec",
    "blendObj",    "blendObjSpec",    "SimpleTextured",      "blurGausHOR",
    "blurGausVER", "noBampSkel",      "noBampSpecSkel",      "EmissionSkel",
    "WarFog",      "DrawToShadowMap", "DrawToShadowMapSkel", "viewDepth",
    "basicShader", "flatShad",        "flatShadSkel",        "Noise",
    "WaterRing",   "RangeRing",
};

std::string ShaderFile(const std::string& name) {
    return std::string(MYGAME_SOURCE_DIR) + "/Shaders/" + name + ".gpr";
}

TShaderProgramText Parse(const std::string& name) { return ParseShaderProgram(ReadText(ShaderFile(name))); }

// The texture unit a sampler gets: samplers are numbered in declaration order.
int UnitOf(const TShaderProgramText& p, const std::string& sampler) {
    int unit = 0;
    for (const TUniformData& u : p.Uniforms) {
        if (u.SamplerType == SamplerNone)
            continue;
        if (u.Name == sampler)
            return unit;
        ++unit;
    }
    return -1;
}

const TUniformData* Uniform(const TShaderProgramText& p, const std::string& name) {
    for (const TUniformData& u : p.Uniforms)
        if (u.Name == name)
            return &u;
    return nullptr;
}

bool HasAttribute(const TShaderProgramText& p, const std::string& name) {
    for (const TAttributeData& a : p.Attributes)
        if (a.Name == name)
            return true;
    return false;
}

class ProgramsOnGL21 : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Mesa then reports exactly GL 2.1 / GLSL 1.20, so anything newer fails here.
        setenv("MESA_GL_VERSION_OVERRIDE", "2.1", 1);
        setenv("MESA_GLSL_VERSION_OVERRIDE", "120", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        SetRendererContextAttributes();
        Window = SDL_CreateWindow("programs", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        ASSERT_NE(Window, nullptr) << SDL_GetError();
        Context = SDL_GL_CreateContext(Window);
        ASSERT_NE(Context, nullptr) << SDL_GetError();
    }
    static void TearDownTestSuite() {
        SDL_GL_DeleteContext(Context);
        SDL_DestroyWindow(Window);
        SDL_Quit();
    }

    // Compiles one stage; on failure returns the driver's log.
    static GLuint CompileStage(GLenum kind, const std::string& source, std::string& log) {
        GLuint s = glCreateShader(kind);
        const char* text = source.c_str();
        glShaderSource(s, 1, &text, nullptr);
        glCompileShader(s);
        GLint ok = 0;
        glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char buffer[4096] = {};
            glGetShaderInfoLog(s, sizeof(buffer), nullptr, buffer);
            log = buffer;
        }
        return s;
    }

    static SDL_Window* Window;
    static SDL_GLContext Context;
};

SDL_Window* ProgramsOnGL21::Window = nullptr;
SDL_GLContext ProgramsOnGL21::Context = nullptr;

TEST_F(ProgramsOnGL21, DriverIsExactlyGL21) {
    EXPECT_EQ(epoxy_gl_version(), 21);
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION))).substr(0, 4),
        "1.20");
}

TEST_F(ProgramsOnGL21, EveryProgramCompilesAndLinks) {
    for (const char* name : ProgramNames) {
        SCOPED_TRACE(name);
        TShaderProgramText p = Parse(name);
        ASSERT_FALSE(p.VertexSource.empty());
        ASSERT_FALSE(p.FragmentSource.empty());
        std::string vlog, flog;
        GLuint vs = CompileStage(GL_VERTEX_SHADER, p.VertexSource, vlog);
        GLuint fs = CompileStage(GL_FRAGMENT_SHADER, p.FragmentSource, flog);
        EXPECT_EQ(vlog, "");
        EXPECT_EQ(flog, "");
        GLuint program = glCreateProgram();
        glAttachShader(program, vs);
        glAttachShader(program, fs);
        glLinkProgram(program);
        GLint linked = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        char log[4096] = {};
        glGetProgramInfoLog(program, sizeof(log), nullptr, log);
        EXPECT_TRUE(linked) << log;

        // The pose array must hold exactly what the renderer sends at most.
        if (Uniform(p, "bones")) {
            GLint count = 0;
            glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
            bool found = false;
            for (GLint i = 0; i < count; ++i) {
                char uname[256];
                GLint size = 0;
                GLenum type = 0;
                glGetActiveUniform(program, i, sizeof(uname), nullptr, &size, &type, uname);
                if (std::string(uname).rfind("bones", 0) == 0) {
                    found = true;
                    EXPECT_EQ(size, MaxSkinBones * 7);
                }
            }
            EXPECT_TRUE(found);
        }
        glDeleteProgram(program);
        glDeleteShader(vs);
        glDeleteShader(fs);
    }
}

TEST(Programs, TextureUnitsMatchWhatTheRendererBinds) {
    // The landscape binds the atlas on units 0 and 1, the renderer the fog on 2 and
    // the shadow map on 3.
    TShaderProgramText land = Parse("LandTile");
    EXPECT_EQ(UnitOf(land, "tumMap"), 2);
    EXPECT_EQ(UnitOf(land, "shadowMap"), 3);
    EXPECT_EQ(Uniform(land, "tumMap")->SamplerType, Sampler2DRect);
    ASSERT_NE(Uniform(land, "lightMatrix"), nullptr);
    ASSERT_NE(Uniform(land, "texSize"), nullptr);

    // Programs whose single texture is bound on unit 0 by their caller.
    for (const char* name : {"Noise", "WaterRing", "RangeRing", "WarFog", "blurGausHOR", "blurGausVER"}) {
        SCOPED_TRACE(name);
        TShaderProgramText p = Parse(name);
        int samplers = 0;
        for (const TUniformData& u : p.Uniforms)
            if (u.SamplerType != SamplerNone)
                ++samplers;
        EXPECT_EQ(samplers, 1);
    }
    for (const char* name : {"WarFog", "blurGausHOR", "blurGausVER"}) {
        TShaderProgramText p = Parse(name);
        EXPECT_EQ(p.Uniforms.back().SamplerType, Sampler2DRect) << name;
    }
    // The map sets these by name on the water program.
    TShaderProgramText noise = Parse("Noise");
    EXPECT_NE(Uniform(noise, "time"), nullptr);
    EXPECT_NE(Uniform(noise, "mapSize"), nullptr);
}

TEST(Programs, ModelProgramsDeclareTheRenderersInterface) {
    struct Expect {
        const char* Name;
        std::vector<const char*> Uniforms;
        std::vector<const char*> Attributes;
    };
    const Expect expected[] = {
        {"modelSimple",
         {"modelMatrix", "diffMap", "tumMap", "lightPos", "refValueATest", "specPower", "glossMap"},
         {}},
        {"modelBamp",
         {"modelMatrix", "diffMap", "bumpMap", "glossMap", "tumMap", "shadowMap", "lightMatrix", "texSize",
          "lightPos", "refValueATest", "specPower", "parScale"},
         {"tangent"}},
        {"modelSimpleSkel",
         {"bones", "userColor", "diffMap", "lightPos", "refValueATest"},
         {"bIndexes", "bWeights"}},
        {"Emission", {"diffMap", "tumMap", "refValueATest"}, {}},
        {"blendObj", {"diffMap", "tumMap"}, {}},
        {"DrawToShadowMap", {"diffMap", "refValueATest"}, {}},
        {"DrawToShadowMapSkel", {"bones", "diffMap", "refValueATest"}, {"bIndexes", "bWeights"}},
    };
    for (const Expect& e : expected) {
        SCOPED_TRACE(e.Name);
        TShaderProgramText p = Parse(e.Name);
        for (const char* u : e.Uniforms)
            EXPECT_NE(Uniform(p, u), nullptr) << u;
        for (const char* a : e.Attributes)
            EXPECT_TRUE(HasAttribute(p, a)) << a;
        // The fog texture is a rectangle texture wherever it is sampled.
        if (const TUniformData* fog = Uniform(p, "tumMap")) {
            EXPECT_EQ(fog->SamplerType, Sampler2DRect);
        }
    }
}

TEST(Programs, ReferenceCompilerAcceptsEverySection) {
    if (std::system("command -v glslangValidator >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "glslangValidator is not installed";
    TempDir dir;
    for (const char* name : ProgramNames) {
        TShaderProgramText p = Parse(name);
        for (const auto& [source, ext] :
             {std::pair{&p.VertexSource, "vert"}, std::pair{&p.FragmentSource, "frag"}}) {
            std::string file = dir.file(std::string(name) + "." + ext);
            std::string out = dir.file("out.txt");
            WriteText(file, *source);
            int rc = std::system(("glslangValidator '" + file + "' >'" + out + "' 2>&1").c_str());
            EXPECT_EQ(rc, 0) << name << "." << ext << ":\n" << ReadText(out);
        }
    }
}

// Programs no pass draws with may be missing from an installation; the ones the
// passes use may not. Either way a failed start leaves nothing behind.
TEST(RendererStart, ProgramsNoPassUsesMayBeMissing) {
    const char* used[] = {"LandTile",  "modelSimple",     "modelBamp",           "modelSimpleSkel",
                          "Emission",  "blendObj",        "blurGausHOR",         "blurGausVER",
                          "WarFog",    "DrawToShadowMap", "DrawToShadowMapSkel", "Noise",
                          "WaterRing", "RangeRing"};
    TempDir dir;
    for (const char* name : used)
        WriteText(dir.file(std::string("Shaders/") + name + ".gpr"), ReadText(ShaderFile(name)));
    setenv("MESA_GL_VERSION_OVERRIDE", "2.1", 1);
    setenv("MESA_GLSL_VERSION_OVERRIDE", "120", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    SetRendererContextAttributes();
    SDL_Window* window = SDL_CreateWindow("partial", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr);
    std::string savedPath = AppPath;
    AppPath = dir.path() + "/";
    static std::vector<std::string> log;
    log.clear();
    TLogProc logProc = [](const std::string& text) { log.push_back(text); };

    EXPECT_NO_THROW(InitRenderer(logProc, window));
    EXPECT_TRUE(RendererActive());
    EXPECT_EQ(GetRendererObjects().ShaderCount, 14);
    EXPECT_EQ(FindRendererShader("viewDepth"), nullptr);
    EXPECT_NE(FindRendererShader("RangeRing"), nullptr);
    ShutdownRenderer();
    EXPECT_FALSE(RendererActive());
    ShutdownRenderer();  // twice is harmless

    std::remove(dir.file("Shaders/WaterRing.gpr").c_str());
    EXPECT_THROW(InitRenderer(logProc, window), EShaderFileError);
    EXPECT_FALSE(RendererActive());
    TRendererObjects left = GetRendererObjects();
    EXPECT_EQ(left.ShaderCount, 0);
    EXPECT_EQ(left.ShadowFBO, 0u);
    EXPECT_EQ(log.back().find("ERROR: file"), 0u) << log.back();

    AppPath = savedPath;
    SDL_DestroyWindow(window);
    SDL_Quit();
}

// A driver without what the game needs stops the start with the message the
// player sees. Each runs in a fresh process: Mesa reads its overrides once.
void StartWith(const char* variable, const char* value) {
    setenv(variable, value, 1);
    SDL_Init(SDL_INIT_VIDEO);
    SetRendererContextAttributes();
    SDL_Window* window = SDL_CreateWindow("refusal", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window)
        std::exit(4);
    AppPath = std::string(MYGAME_BINARY_DIR) + "/";
    try {
        InitRenderer([](const std::string&) {}, window);
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
        std::exit(RendererActive() ? 5 : 3);
    }
    std::exit(0);
}

TEST(RendererStartDeathTest, MissingRectangleTexturesAreRefused) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(StartWith("MESA_EXTENSION_OVERRIDE", "-GL_ARB_texture_rectangle"),
                ::testing::ExitedWithCode(3), "This program requires GL_ARB_texture_rectangle!");
}

TEST(RendererStartDeathTest, MissingFramebufferObjectsAreRefusedFirst) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(StartWith("MESA_EXTENSION_OVERRIDE", "-GL_EXT_framebuffer_object -GL_ARB_texture_rectangle"),
                ::testing::ExitedWithCode(3), "This program requires GL_EXT_framebuffer_object!");
}

TEST(RendererStartDeathTest, AnOldDriverNamesTheFirstMissingVersion) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(StartWith("MESA_GL_VERSION_OVERRIDE", "1.4"), ::testing::ExitedWithCode(3),
                "There was an error loading Load_GL_version_1_5!");
}

}  // namespace
