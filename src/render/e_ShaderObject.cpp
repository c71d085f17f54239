#include "render/e_ShaderObject.h"

#include "app/e_Platform.h"

#include <epoxy/gl.h>

#include <cstdio>
#include <cstdlib>

std::string ShaderDir = "Shaders/";
TLogProc ShaderLog = nullptr;

namespace {

void LogLine(const std::string& text) {
    if (ShaderLog)
        ShaderLog(text);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string UpperCopy(std::string_view s) {
    std::string up(s);
    for (char& c : up)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return up;
}

// Lines end in LF, CR LF or a lone CR, whichever the file's editor wrote.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

// The last word before the first ";", blanks before the ";" skipped.
std::string_view DeclaredName(std::string_view line) {
    const size_t semi = line.find(';');
    if (semi == std::string_view::npos)
        return {};
    size_t end = semi;
    while (end > 0 && IsBlank(line[end - 1]))
        --end;
    size_t start = end;
    while (start > 0 && !IsBlank(line[start - 1]))
        --start;
    return line.substr(start, end - start);
}

void RegisterDeclaration(std::string_view line, TShaderProgramText& out) {
    const std::string up = UpperCopy(line);
    if (up.find("UNIFORM") != std::string::npos) {
        std::string_view name = DeclaredName(line);
        // Arrays are set through their base name.
        name = name.substr(0, name.find('['));
        if (name.empty())
            return;
        for (const TUniformData& u : out.Uniforms)
            if (u.Name == name)
                return;
        TUniformData uniform;
        uniform.Name = std::string(name);
        const size_t sampler = up.find("SAMPLER");
        if (sampler != std::string::npos) {
            size_t end = sampler;
            while (end < up.size() && !IsBlank(up[end]))
                ++end;
            uniform.SamplerType = SamplerTypeCode(std::string_view(up).substr(sampler, end - sampler));
        }
        out.Uniforms.push_back(std::move(uniform));
    } else if (up.find("ATTRIBUTE") != std::string::npos) {
        const std::string_view name = DeclaredName(line);
        if (name.empty())
            return;
        for (const TAttributeData& a : out.Attributes)
            if (a.Name == name)
                return;
        TAttributeData attribute;
        attribute.Name = std::string(name);
        out.Attributes.push_back(std::move(attribute));
    }
}

// GLSL wants "#version" before anything else, definitions included.
size_t DefineInsertPosition(const std::string& source) {
    size_t first = 0;
    while (first < source.size() && IsBlank(source[first]))
        ++first;
    if (source.compare(first, 8, "#version") != 0)
        return 0;
    const size_t eol = source.find('\n', first);
    return eol == std::string::npos ? source.size() : eol + 1;
}

void InsertDefine(std::string& source, const std::string& line) {
    source.insert(DefineInsertPosition(source), line);
}

GLenum SamplerTarget(int32_t samplerType) {
    switch (samplerType) {
    case Sampler2D:
        return GL_TEXTURE_2D;
    case Sampler2DRect:
        return GL_TEXTURE_RECTANGLE_ARB;
    case SamplerCube:
        return GL_TEXTURE_CUBE_MAP;
    case Sampler2DArray:
    case Sampler2DArrayShadow:
        return GL_TEXTURE_2D_ARRAY_EXT;
    case Sampler3D:
        return GL_TEXTURE_3D;
    default:
        return 0;
    }
}

std::string TrimLog(std::string s) {
    auto junk = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    size_t b = 0;
    while (b < s.size() && junk(s[b]))
        ++b;
    size_t e = s.size();
    while (e > b && junk(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

}  // namespace

int32_t SamplerTypeCode(std::string_view word) {
    if (word == "SAMPLER2D")
        return Sampler2D;
    if (word == "SAMPLER2DRECT")
        return Sampler2DRect;
    if (word == "SAMPLERCUBE")
        return SamplerCube;
    if (word == "SAMPLER2DARRAY")
        return Sampler2DArray;
    if (word == "SAMPLER2DARRAYSHADOW")
        return Sampler2DArrayShadow;
    if (word == "SAMPLER3D")
        return Sampler3D;
    return SamplerNone;
}

TShaderProgramText ParseShaderProgram(std::string_view text) {
    TShaderProgramText out;

    // Comments go first, so that nothing in them is taken for a declaration or a marker.
    std::vector<std::string_view> lines;
    for (std::string_view line : SplitLines(text)) {
        line = line.substr(0, line.find("//"));
        if (!line.empty())
            lines.push_back(line);
    }

    // Declarations count wherever they stand, even above the first section.
    for (std::string_view line : lines)
        RegisterDeclaration(line, out);

    enum {
        NoSection,
        VertexSection,
        FragmentSection
    } section = NoSection;
    for (std::string_view line : lines) {
        const std::string up = UpperCopy(line);
        if (up.find("[VERTEX SHADER]") != std::string::npos) {
            section = VertexSection;
            continue;
        }
        if (up.find("[FRAGMENT SHADER]") != std::string::npos) {
            section = FragmentSection;
            continue;
        }
        std::string* target = section == VertexSection     ? &out.VertexSource
                              : section == FragmentSection ? &out.FragmentSource
                                                           : nullptr;
        if (target) {
            target->append(line);
            target->append("\r\n");
        }
    }
    return out;
}

void ApplyShaderDefines(std::string_view defines, std::string& name, std::string& vertexSource,
                        std::string& fragmentSource) {
    while (!defines.empty()) {
        const size_t comma = defines.find(',');
        const std::string_view item = defines.substr(0, comma);
        defines = comma == std::string_view::npos ? std::string_view() : defines.substr(comma + 1);
        // An empty item ("A,,B") would only give a bare "#define" that cannot compile.
        if (item.empty())
            continue;
        name += "_";
        name += item;
        const std::string line = "#define " + std::string(item) + "\r\n";
        InsertDefine(vertexSource, line);
        InsertDefine(fragmentSource, line);
    }
}

TShader::TShader(const std::string& name, const std::string& defines, bool compileNow) {
    LogLine("Create Shader: \"" + name + "\" ...");
    Name = name;
    Slots.fill(-1);
    LoadFile(name);
    ApplyShaderDefines(defines, Name, VertexSource, FragmentSource);
    if (compileNow)
        Compile();
    LogLine("Create Shader: \"" + name + "\" - complete.");
}

TShader::~TShader() {
    // Never compiled means no GL was touched, and there may be no context at all.
    if (Program)
        glDeleteProgram(Program);
    if (VertexShader)
        glDeleteShader(VertexShader);
    if (FragmentShader)
        glDeleteShader(FragmentShader);
}

void TShader::LoadFile(const std::string& name) {
    std::string dir = ShaderDir;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    const std::string path = dir + name + ".gpr";
    const auto data = ReadWholeFile(path);
    if (!data) {
        LogLine("ERROR: file \"" + path + "\" - not exist");
        throw EShaderFileError("Shader program file \"" + path + "\" cannot be read");
    }
    TShaderProgramText parsed =
        ParseShaderProgram(std::string_view(reinterpret_cast<const char*>(data->data()), data->size()));
    VertexSource = std::move(parsed.VertexSource);
    FragmentSource = std::move(parsed.FragmentSource);
    Uniforms = std::move(parsed.Uniforms);
    Attributes = std::move(parsed.Attributes);
}

bool TShader::CheckStatus(uint32_t object, bool isProgram, uint32_t statusKind, std::string* failure) {
    GLint status = GL_FALSE;
    GLint length = 0;
    if (isProgram) {
        glGetProgramiv(object, statusKind, &status);
        glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    } else {
        glGetShaderiv(object, statusKind, &status);
        glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    }
    std::string log;
    if (length > 0) {
        log.resize(static_cast<size_t>(length));
        GLsizei written = 0;
        if (isProgram)
            glGetProgramInfoLog(object, length, &written, log.data());
        else
            glGetShaderInfoLog(object, length, &written, log.data());
        log.resize(static_cast<size_t>(written < 0 ? 0 : written < length ? written : length));
    }
    log = TrimLog(std::move(log));
    LogLine("glSLang error: " + log);
    if (status == GL_TRUE)
        return true;
    const std::string message = "Shader \"" + Name + "\" failed: \n" + log;
    if (failure) {
        *failure = message;
        return false;
    }
    ShowMessageBox("Error Message", message);
    std::fflush(nullptr);
    std::_Exit(0);
}

void AssignTextureUnits(std::vector<TUniformData>& uniforms) {
    // Samplers take texture units in declaration order, so the first one is unit 0.
    int32_t unit = 0;
    for (TUniformData& u : uniforms)
        u.TextureUnit = u.SamplerType != SamplerNone ? unit++ : -1;
}

void TShader::Compile() { CompileChecked(nullptr); }

bool TShader::TryCompile(std::string& message) { return CompileChecked(&message); }

bool TShader::CompileChecked(std::string* failure) {
    // Compiling again starts afresh instead of leaking the earlier objects.
    if (Program)
        glDeleteProgram(Program);
    if (VertexShader)
        glDeleteShader(VertexShader);
    if (FragmentShader)
        glDeleteShader(FragmentShader);
    VertexShader = FragmentShader = 0;
    Linked = false;
    Program = glCreateProgram();

    auto compileOne = [this, failure](GLenum kind, const std::string& source, uint32_t& shader) {
        shader = glCreateShader(kind);
        const GLchar* text = source.data();
        const GLint length = static_cast<GLint>(source.size());
        glShaderSource(shader, 1, &text, &length);
        glCompileShader(shader);
        if (!CheckStatus(shader, false, GL_COMPILE_STATUS, failure))
            return false;
        glAttachShader(Program, shader);
        return true;
    };
    if (!compileOne(GL_VERTEX_SHADER, VertexSource, VertexShader) ||
        !compileOne(GL_FRAGMENT_SHADER, FragmentSource, FragmentShader))
        return false;

    glLinkProgram(Program);
    if (!CheckStatus(Program, true, GL_LINK_STATUS, failure))
        return false;

    for (TUniformData& u : Uniforms)
        u.Location = glGetUniformLocation(Program, u.Name.c_str());
    for (TAttributeData& a : Attributes)
        a.Location = glGetAttribLocation(Program, a.Name.c_str());

    AssignTextureUnits(Uniforms);
    glUseProgram(Program);
    for (const TUniformData& u : Uniforms)
        if (u.TextureUnit >= 0)
            glUniform1i(u.Location, u.TextureUnit);
    glUseProgram(0);

    glValidateProgram(Program);
    if (!CheckStatus(Program, true, GL_VALIDATE_STATUS, failure))
        return false;
    Linked = true;
    return true;
}

void TShader::Bind() {
    if (!Linked)
        Compile();
    Bound = true;
    glUseProgram(Program);
}

void TShader::Unbind() { glUseProgram(0); }

const TUniformData* TShader::FindUniform(std::string_view name) const {
    for (const TUniformData& u : Uniforms)
        if (u.Name == name)
            return &u;
    return nullptr;
}

void TShader::SetTexture(std::string_view name, uint32_t texture) {
    const TUniformData* u = FindUniform(name);
    if (!u || u->SamplerType == SamplerNone || u->TextureUnit < 0)
        return;
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(u->TextureUnit));
    glBindTexture(SamplerTarget(u->SamplerType), texture);
}

void TShader::SetInt(std::string_view name, int32_t value) {
    if (const TUniformData* u = FindUniform(name))
        glUniform1i(u->Location, value);
}

void TShader::SetFloat(std::string_view name, float value) {
    if (const TUniformData* u = FindUniform(name))
        glUniform1f(u->Location, value);
}

void TShader::SetFloats(std::string_view name, const float* values, int32_t count) {
    if (!values || count <= 0)
        return;
    if (const TUniformData* u = FindUniform(name))
        glUniform1fv(u->Location, count, values);
}

void TShader::SetVec2(std::string_view name, float x, float y) {
    if (const TUniformData* u = FindUniform(name))
        glUniform2f(u->Location, x, y);
}

void TShader::SetVec3(std::string_view name, float x, float y, float z) {
    if (const TUniformData* u = FindUniform(name))
        glUniform3f(u->Location, x, y, z);
}

void TShader::SetMatrix(std::string_view name, const float* matrix4x4) {
    if (!matrix4x4)
        return;
    if (const TUniformData* u = FindUniform(name))
        glUniformMatrix4fv(u->Location, 1, GL_FALSE, matrix4x4);
}

int32_t TShader::AttributeLocation(std::string_view name) const {
    for (const TAttributeData& a : Attributes)
        if (a.Name == name)
            return a.Location;
    return -1;
}

int32_t TShader::UniformLocation(std::string_view name) const {
    const TUniformData* u = FindUniform(name);
    return u ? u->Location : -1;
}
