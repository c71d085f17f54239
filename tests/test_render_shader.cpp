#include "render/e_ShaderObject.h"

#include "app/e_Platform.h"
#include "TestGL.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <epoxy/gl.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> logLines;
void CaptureLog(const std::string& text) { logLines.push_back(text); }

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

const char* const SkinnedProgram =
    "// Skinned mesh with a shadow map\r\n"
    "uniform sampler2D diffMap;\r\n"
    "\r\n"
    "  [Vertex Shader]  // the marker may stand anywhere in the line\r\n"
    "#version 120\r\n"
    "attribute vec4 bIndexes;\r\n"
    "attribute  vec4 bWeights ;\r\n"
    "uniform mat4 modelMatrix;\r\n"
    "uniform float bones[224];\r\n"
    "varying vec2 uv;\r\n"
    "void main() {\r\n"
    "    // only a comment\r\n"
    "    int bone = int(bIndexes.x) * 7;\r\n"
    "    uv = gl_MultiTexCoord0.xy + vec2(bones[bone] * bWeights.x);\r\n"
    "    gl_Position = gl_ModelViewProjectionMatrix * modelMatrix * gl_Vertex;\r\n"
    "}\r\n"
    "[FRAGMENT SHADER]\r\n"
    "#version 120\r\n"
    "uniform sampler2D diffMap;\r\n"
    "uniform sampler2D shadowMap; // depth\r\n"
    "uniform float refValueATest;\r\n"
    "uniform vec3 lightPos;\r\n"
    "uniform vec2 texScale;\r\n"
    "uniform int userColor;\r\n"
    "varying vec2 uv;\r\n"
    "void main() {\r\n"
    "    vec4 c = texture2D(diffMap, uv * texScale) + texture2D(shadowMap, uv) * refValueATest;\r\n"
    "    if (userColor != 0) c.rgb += lightPos;\r\n"
    "    gl_FragColor = c;\r\n"
    "}\r\n";

const TUniformData* Find(const std::vector<TUniformData>& list, const std::string& name) {
    for (const TUniformData& u : list)
        if (u.Name == name)
            return &u;
    return nullptr;
}

std::vector<std::string> Names(const std::vector<TUniformData>& list) {
    std::vector<std::string> names;
    for (const TUniformData& u : list)
        names.push_back(u.Name);
    return names;
}

}  // namespace

// ---- Reading program files (no GL) -------------------------------------------

TEST(ShaderParse, RegistersDeclarationsOnceInOrderWithSamplerCodes) {
    const TShaderProgramText p = ParseShaderProgram(SkinnedProgram);
    // Declared twice (above the sections and in the fragment shader), registered once;
    // the array under its base name.
    EXPECT_EQ(Names(p.Uniforms),
              (std::vector<std::string>{"diffMap", "modelMatrix", "bones", "shadowMap", "refValueATest",
                                        "lightPos", "texScale", "userColor"}));
    EXPECT_EQ(Find(p.Uniforms, "diffMap")->SamplerType, Sampler2D);
    EXPECT_EQ(Find(p.Uniforms, "shadowMap")->SamplerType, Sampler2D);
    EXPECT_EQ(Find(p.Uniforms, "bones")->SamplerType, SamplerNone);
    for (const TUniformData& u : p.Uniforms) {
        EXPECT_EQ(u.Location, -1);
        EXPECT_EQ(u.TextureUnit, -1);
    }
    ASSERT_EQ(p.Attributes.size(), 2u);
    EXPECT_EQ(p.Attributes[0].Name, "bIndexes");
    EXPECT_EQ(p.Attributes[1].Name, "bWeights");  // blanks before the ";" skipped
}

TEST(ShaderParse, SamplerTypeWords) {
    const TShaderProgramText p = ParseShaderProgram(
        "UNIFORM SAMPLER2DRECT fogRect;\n"
        "uniform samplerCube sky;\n"
        "uniform sampler2DArray layers;\n"
        "uniform sampler2DArrayShadow cascades;\n"
        "uniform sampler3D noise;\n"
        "uniform sampler2DShadow notInTheTable;\n"  // not a known word: a plain uniform
        "uniform\tsampler2D\ttabbed;\n"
        "uniform float samplerBias;\n");
    const std::vector<int32_t> expected = {Sampler2DRect, SamplerCube, Sampler2DArray, Sampler2DArrayShadow,
                                           Sampler3D,     SamplerNone, Sampler2D,      SamplerNone};
    ASSERT_EQ(p.Uniforms.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(p.Uniforms[i].SamplerType, expected[i]) << p.Uniforms[i].Name;
    EXPECT_EQ(p.Uniforms[6].Name, "tabbed");
    EXPECT_EQ(SamplerTypeCode("SAMPLER2D"), 1);
    EXPECT_EQ(SamplerTypeCode("sampler2D"), 0);  // the word is compared upper-cased and exactly
    EXPECT_EQ(SamplerTypeCode("SAMPLER2D;"), 0);
}

TEST(ShaderParse, SectionsCommentsAndLineBreaks) {
    const TShaderProgramText p = ParseShaderProgram(
        "uniform float early; // declared before any section\n"
        "float notCompiled = 1.0;\n"
        "[VERTEX SHADER]\r"
        "void main() { gl_Position = ftransform(); } // tail\r\n"
        "// gone entirely\n"
        "\n"
        "[fragment shader]\n"
        "void main() { gl_FragColor = vec4(early); }");
    EXPECT_EQ(p.VertexSource, "void main() { gl_Position = ftransform(); } \r\n");
    EXPECT_EQ(p.FragmentSource, "void main() { gl_FragColor = vec4(early); }\r\n");
    ASSERT_EQ(p.Uniforms.size(), 1u);
    EXPECT_EQ(p.Uniforms[0].Name, "early");

    // No markers: declarations still count, but nothing is compiled.
    const TShaderProgramText none = ParseShaderProgram("uniform vec3 lightPos;\nattribute vec3 tangent;\n");
    EXPECT_TRUE(none.VertexSource.empty());
    EXPECT_TRUE(none.FragmentSource.empty());
    EXPECT_EQ(none.Uniforms.size(), 1u);
    EXPECT_EQ(none.Attributes.size(), 1u);
}

TEST(ShaderParse, MalformedDeclarationsRegisterNothing) {
    const TShaderProgramText p = ParseShaderProgram(
        "uniform float noSemicolon\n"
        ";uniform\n"
        "uniform mat4 [4];\n"
        "attribute vec3 noSemicolon\n"
        "uniform vec2 a; uniform vec2 b;\n");  // one declaration per line: the first
    EXPECT_EQ(Names(p.Uniforms), std::vector<std::string>{"a"});
    EXPECT_TRUE(p.Attributes.empty());
}

TEST(ShaderParse, SurvivesArbitraryBytes) {
    std::mt19937 rng(1234);
    const std::string seed = SkinnedProgram;
    const std::string alphabet = "[]; /\r\n\tuniformATTRIBUTESAMPLER2Dsampler\0x";
    for (int round = 0; round < 3000; ++round) {
        std::string text = seed;
        const int edits = 1 + static_cast<int>(rng() % 40);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const size_t at = rng() % text.size();
            switch (rng() % 3) {
            case 0:
                text[at] = alphabet[rng() % alphabet.size()];
                break;
            case 1:
                text.erase(at, 1 + rng() % 8);
                break;
            default:
                text.insert(at, 1, static_cast<char>(rng() % 256));
            }
        }
        if (round % 10 == 0)
            text = text.substr(0, rng() % (text.size() + 1));
        const TShaderProgramText p = ParseShaderProgram(text);
        for (const TUniformData& u : p.Uniforms)
            EXPECT_FALSE(u.Name.empty());
    }
}

TEST(ShaderDefines, NameAndSourcesOfVariants) {
    std::string name = "F", vs = "void main(){}\r\n", fs = "void main(){}\r\n";
    ApplyShaderDefines("", name, vs, fs);
    EXPECT_EQ(name, "F");
    EXPECT_EQ(vs, "void main(){}\r\n");

    ApplyShaderDefines("SHADOW", name, vs, fs);
    EXPECT_EQ(name, "F_SHADOW");
    EXPECT_EQ(vs, "#define SHADOW\r\nvoid main(){}\r\n");
    EXPECT_EQ(fs, vs);

    // Later items stand above earlier ones.
    name = "G";
    vs = fs = "x\r\n";
    ApplyShaderDefines("A,B", name, vs, fs);
    EXPECT_EQ(name, "G_A_B");
    EXPECT_EQ(vs, "#define B\r\n#define A\r\nx\r\n");
    EXPECT_EQ(fs, vs);

    // Empty items would only make a bare "#define"; a "#version" line must stay first.
    name = "H";
    vs = "#version 120\r\nx\r\n";
    fs = "y\r\n";
    ApplyShaderDefines(",SKIN,", name, vs, fs);
    EXPECT_EQ(name, "H_SKIN");
    EXPECT_EQ(vs, "#version 120\r\n#define SKIN\r\nx\r\n");
    EXPECT_EQ(fs, "#define SKIN\r\ny\r\n");
}

class ShaderFiles : public ::testing::Test {
protected:
    void SetUp() override {
        savedDir = ShaderDir;
        ShaderDir = dir.path();  // no trailing "/": one is added
        ShaderLog = CaptureLog;
        logLines.clear();
    }
    void TearDown() override {
        ShaderDir = savedDir;
        ShaderLog = nullptr;
    }
    TempDir dir;
    std::string savedDir;
};

TEST_F(ShaderFiles, LoadsVariantsWithoutCompiling) {
    WriteText(dir.file("skinned.gpr"), SkinnedProgram);  // the name is asked for in another case
    TShader plain("Skinned", "", false);
    TShader shadow("Skinned", "SHADOW", false);
    EXPECT_EQ(plain.Name, "Skinned");
    EXPECT_EQ(shadow.Name, "Skinned_SHADOW");
    EXPECT_FALSE(plain.Linked);
    EXPECT_EQ(plain.Program, 0u);
    EXPECT_TRUE(StartsWith(plain.VertexSource, "#version 120\r\nattribute vec4 bIndexes;"));
    EXPECT_TRUE(StartsWith(shadow.VertexSource, "#version 120\r\n#define SHADOW\r\n"));
    EXPECT_TRUE(StartsWith(shadow.FragmentSource, "#version 120\r\n#define SHADOW\r\n"));
    EXPECT_EQ(plain.UniformCount(), 8);
    EXPECT_EQ(plain.AttributeCount(), 2);
    EXPECT_EQ(plain.UniformLocation("nothing"), -1);
    for (int32_t slot : plain.Slots)
        EXPECT_EQ(slot, -1);
    EXPECT_EQ(logLines, (std::vector<std::string>{
                            "Create Shader: \"Skinned\" ...", "Create Shader: \"Skinned\" - complete.",
                            "Create Shader: \"Skinned\" ...", "Create Shader: \"Skinned\" - complete."}));
}

TEST_F(ShaderFiles, MissingFileIsLoggedAndThrown) {
    EXPECT_THROW(TShader("Nowhere", "", true), EShaderFileError);
    ASSERT_EQ(logLines.size(), 2u);
    EXPECT_EQ(logLines[0], "Create Shader: \"Nowhere\" ...");
    EXPECT_EQ(logLines[1], "ERROR: file \"" + dir.path() + "/Nowhere.gpr\" - not exist");
}

// ---- Compiling and using programs (GL) ----------------------------------------

namespace {

class ShaderGL : public ShaderFiles {
protected:
    void SetUp() override {
        if (!TGLContext::Get().context)
            GTEST_SKIP() << "no GL context: " << SDL_GetError();
        ShaderFiles::SetUp();
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    void TearDown() override {
        if (TGLContext::Get().context) {
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        }
        ShaderFiles::TearDown();
    }
    static GLint CurrentProgram() {
        GLint p = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &p);
        return p;
    }
};

}  // namespace

TEST_F(ShaderGL, CompilesLinksAndAssignsTextureUnitsInDeclarationOrder) {
    WriteText(dir.file("Skinned.gpr"), SkinnedProgram);
    TShader s("Skinned", "", true);
    EXPECT_TRUE(s.Linked);
    EXPECT_NE(s.Program, 0u);
    EXPECT_NE(s.VertexShader, 0u);
    EXPECT_NE(s.FragmentShader, 0u);
    EXPECT_EQ(CurrentProgram(), 0);  // compiling leaves no program current

    const TUniformData* diff = Find(s.Uniforms, "diffMap");
    const TUniformData* shadow = Find(s.Uniforms, "shadowMap");
    EXPECT_EQ(diff->TextureUnit, 0);
    EXPECT_EQ(shadow->TextureUnit, 1);
    EXPECT_EQ(Find(s.Uniforms, "bones")->TextureUnit, -1);
    GLint unit = -1;
    glGetUniformiv(s.Program, shadow->Location, &unit);
    EXPECT_EQ(unit, 1);
    for (const char* name : {"diffMap", "shadowMap", "modelMatrix", "bones", "lightPos", "userColor"})
        EXPECT_GE(s.UniformLocation(name), 0) << name;
    EXPECT_GE(s.AttributeLocation("bIndexes"), 0);
    EXPECT_GE(s.AttributeLocation("bWeights"), 0);
    EXPECT_EQ(s.AttributeLocation("tangent"), -1);

    // One check per compile, link and validate; the logs are empty on success.
    const std::vector<std::string> expected = {"Create Shader: \"Skinned\" ...",
                                               "glSLang error: ",
                                               "glSLang error: ",
                                               "glSLang error: ",
                                               "glSLang error: ",
                                               "Create Shader: \"Skinned\" - complete."};
    ASSERT_EQ(logLines.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(StartsWith(logLines[i], expected[i])) << logLines[i];
}

TEST_F(ShaderGL, BindCompilesOnDemandAndSettersReachTheProgram) {
    WriteText(dir.file("Skinned.gpr"), SkinnedProgram);
    TShader s("Skinned", "", false);
    s.Bind();
    EXPECT_TRUE(s.Linked);
    EXPECT_TRUE(s.Bound);
    EXPECT_EQ(CurrentProgram(), static_cast<GLint>(s.Program));

    s.SetFloat("refValueATest", 0.5f);
    s.SetInt("userColor", 1);
    s.SetVec2("texScale", 2.0f, 3.0f);
    s.SetVec3("lightPos", TMyVector3f{1.0f, 2.0f, 3.0f});
    TMatrix4f m;
    for (int i = 0; i < 16; ++i)
        m[i] = static_cast<float>(i);
    s.SetMatrix("modelMatrix", m);
    std::vector<float> pose(224);
    for (size_t i = 0; i < pose.size(); ++i)
        pose[i] = static_cast<float>(i) * 0.25f;
    s.SetFloats("bones", pose.data(), static_cast<int32_t>(pose.size()));
    // Names a program lacks are skipped, so every program can be given the same values.
    s.SetFloat("specPower", 8.0f);
    s.SetMatrix("lightMatrix", m);
    s.SetTexture("glossMap", 5);

    GLfloat f[16] = {};
    glGetUniformfv(s.Program, s.UniformLocation("refValueATest"), f);
    EXPECT_FLOAT_EQ(f[0], 0.5f);
    GLint i = 0;
    glGetUniformiv(s.Program, s.UniformLocation("userColor"), &i);
    EXPECT_EQ(i, 1);
    glGetUniformfv(s.Program, s.UniformLocation("texScale"), f);
    EXPECT_FLOAT_EQ(f[1], 3.0f);
    glGetUniformfv(s.Program, s.UniformLocation("lightPos"), f);
    EXPECT_FLOAT_EQ(f[2], 3.0f);
    glGetUniformfv(s.Program, s.UniformLocation("modelMatrix"), f);
    EXPECT_FLOAT_EQ(f[12], 12.0f);  // not transposed: translation stays in 12..14
    glGetUniformfv(s.Program, glGetUniformLocation(s.Program, "bones[223]"), f);
    EXPECT_FLOAT_EQ(f[0], 223 * 0.25f);

    // A texture goes to its sampler's unit; a plain uniform takes no texture.
    GLuint textures[2];
    glGenTextures(2, textures);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, textures[0]);
    glActiveTexture(GL_TEXTURE0);
    s.SetTexture("shadowMap", textures[1]);
    GLint active = 0, bound = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(active, GL_TEXTURE1);
    EXPECT_EQ(bound, static_cast<GLint>(textures[1]));
    s.SetTexture("refValueATest", textures[0]);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, static_cast<GLint>(textures[1]));

    s.Unbind();
    EXPECT_EQ(CurrentProgram(), 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(GL_TEXTURE0);
    glDeleteTextures(2, textures);
}

TEST_F(ShaderGL, DefinesSelectVariantsOfOneFile) {
    WriteText(
        dir.file("Tint.gpr"),
        "[VERTEX SHADER]\n#version 120\nvoid main() { gl_Position = ftransform(); }\n"
        "[FRAGMENT SHADER]\n#version 120\n"
        "#ifdef RED\nuniform float redLevel;\n#endif\n"
        "void main() {\n#ifdef RED\n gl_FragColor = vec4(redLevel);\n#else\n gl_FragColor = vec4(1.0);\n#endif\n}\n");
    TShader plain("Tint", "", true);
    TShader red("Tint", "RED,BRIGHT", true);
    EXPECT_EQ(red.Name, "Tint_RED_BRIGHT");
    // Declared in the file either way, but only the variant that keeps it has a location.
    EXPECT_EQ(plain.UniformLocation("redLevel"), -1);
    EXPECT_GE(red.UniformLocation("redLevel"), 0);
}

TEST_F(ShaderGL, CompileErrorIsLoggedShownAndEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    WriteText(dir.file("Broken.gpr"),
              "[VERTEX SHADER]\nvoid main() { gl_Position = undeclaredThing; }\n"
              "[FRAGMENT SHADER]\nvoid main() { gl_FragColor = vec4(1.0); }\n");
    // The death test re-runs this test in a fresh process, which makes a folder of
    // its own; the environment hands it ours so that the log can be read here.
    setenv("MYGAME_SHADER_DEATH_DIR", dir.path().c_str(), 0);
    const std::string logDir = std::string(std::getenv("MYGAME_SHADER_DEATH_DIR")) + "/";
    EXPECT_EXIT(
        {
            if (logDir != dir.path() + "/")
                std::filesystem::remove_all(dir.path());
            ShaderDir = AppPath = logDir;
            SetMessageBoxesEnabled(false);
            ShaderLog = Log;
            StartLog();
            TShader broken("Broken", "SKIN", true);
        },
        ::testing::ExitedWithCode(0), "Error Message Shader \"Broken_SKIN\" failed: \n.*undeclaredThing");
    const std::string log = ReadText(dir.file("InfoLog.txt"));
    EXPECT_NE(log.find("Create Shader: \"Broken\" ...\r\nglSLang error: "), std::string::npos) << log;
    EXPECT_NE(log.find("undeclaredThing"), std::string::npos);
    EXPECT_EQ(log.find("- complete."), std::string::npos);
    unsetenv("MYGAME_SHADER_DEATH_DIR");
}
