#pragma once
// GLSL programs read from ".gpr" files: one text file holds the vertex and the
// fragment shader of a program in two marked sections,
//
//     uniform sampler2D diffMap;      // declarations may also stand above the sections
//     [VERTEX SHADER]
//     ...GLSL...
//     [FRAGMENT SHADER]
//     ...GLSL...
//
// The program's uniforms and attributes are learnt by scanning their declaration
// lines, so the renderer can set values by name and every sampler gets its own
// texture unit without further bookkeeping. Reading and scanning a file needs no
// GL context; only Compile and what follows it does.

#include "app/e_Log.h"
#include "world/e_Math.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Set by the renderer before it creates its programs. ShaderDir is the folder of
// the ".gpr" files ("/" is added when missing); without ShaderLog nothing is logged.
extern std::string ShaderDir;
extern TLogProc ShaderLog;

// Sampler type codes; any other sampler type counts as a plain uniform (0).
enum : int32_t {
    SamplerNone = 0,
    Sampler2D = 1,
    Sampler2DRect = 2,
    SamplerCube = 3,
    Sampler2DArray = 4,
    Sampler2DArrayShadow = 5,
    Sampler3D = 6,
};

struct TUniformData {
    std::string Name;
    int32_t Location = -1;
    int32_t SamplerType = SamplerNone;
    int32_t TextureUnit = -1;  // -1 for a plain uniform
};

struct TAttributeData {
    std::string Name;
    int32_t Location = -1;
};

// What a ".gpr" file yields before any GL is involved.
struct TShaderProgramText {
    std::string VertexSource;                // each line followed by CR LF
    std::string FragmentSource;              // each line followed by CR LF
    std::vector<TUniformData> Uniforms;      // in order of first declaration
    std::vector<TAttributeData> Attributes;  // in order of first declaration
};

// Scans the text of a ".gpr" file: comments removed, declarations registered,
// sections split. Any bytes are accepted.
TShaderProgramText ParseShaderProgram(std::string_view text);
// The code of an upper-case sampler type word such as "SAMPLER2D"; 0 when unknown.
int32_t SamplerTypeCode(std::string_view upperTypeWord);
// Applies a comma-separated list of definitions: each item extends `name` by
// "_" + item and puts "#define item" on top of both sources (so later items end
// up above earlier ones). A leading "#version" line stays first.
void ApplyShaderDefines(std::string_view defines, std::string& name, std::string& vertexSource,
                        std::string& fragmentSource);

// Gives every sampler its texture unit, in declaration order from 0; plain uniforms get -1.
void AssignTextureUnits(std::vector<TUniformData>& uniforms);

// Thrown when a program file cannot be read.
class EShaderFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TShader {
public:
    // Reads ShaderDir + name + ".gpr", applies the definitions and, when
    // compileNow, compiles (which needs a current GL context). A missing file is
    // logged and thrown as EShaderFileError. A program that fails to compile,
    // link or validate is reported in an "Error Message" box and ends the program.
    TShader(const std::string& name, const std::string& defines = "", bool compileNow = false);
    ~TShader();
    TShader(const TShader&) = delete;
    TShader& operator=(const TShader&) = delete;

    void Compile();
    // Compile without ending the program: false with the message the game would show.
    bool TryCompile(std::string& message);
    void Bind();
    void Unbind();

    // Setters by exact uniform name; a name the program does not declare is ignored.
    // They act on the current program, so the shader is bound first.
    void SetTexture(std::string_view name, uint32_t texture);  // samplers only
    void SetInt(std::string_view name, int32_t value);
    void SetFloat(std::string_view name, float value);
    void SetFloats(std::string_view name, const float* values, int32_t count);
    void SetVec2(std::string_view name, float x, float y);
    void SetVec3(std::string_view name, float x, float y, float z);
    void SetVec3(std::string_view name, const TMyVector3f& v) { SetVec3(name, v.x, v.y, v.z); }
    void SetMatrix(std::string_view name, const float* matrix4x4);
    void SetMatrix(std::string_view name, const TMatrix4f& m) { SetMatrix(name, m.m); }

    // The stored location of the named entry; -1 when there is none.
    int32_t AttributeLocation(std::string_view name) const;
    int32_t UniformLocation(std::string_view name) const;

    int32_t UniformCount() const { return static_cast<int32_t>(Uniforms.size()); }
    int32_t AttributeCount() const { return static_cast<int32_t>(Attributes.size()); }

    bool Bound = false;
    std::string Name;
    std::string VertexSource;
    std::string FragmentSource;
    bool Linked = false;
    uint32_t Program = 0;
    uint32_t VertexShader = 0;
    uint32_t FragmentShader = 0;
    std::vector<TUniformData> Uniforms;
    std::vector<TAttributeData> Attributes;
    // Spare per-program values for the renderer; -1 until someone uses them.
    std::array<int32_t, 8> Slots;

private:
    const TUniformData* FindUniform(std::string_view name) const;
    // Logs the object's info log; a failed status ends the program, or, given `failure`,
    // stores the message there and answers false.
    bool CheckStatus(uint32_t object, bool isProgram, uint32_t statusKind, std::string* failure);
    bool CompileChecked(std::string* failure);
    void LoadFile(const std::string& name);
};
