// ".gpr" shader program files: sections, comments and declarations are scanned
// without a GL context; then definitions are applied as the renderer does.

#include "FuzzSupport.h"
#include "render/e_ShaderObject.h"

#include <set>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TShaderProgramText program = ParseShaderProgram(text);

    // Each name is registered once, at its first declaration.
    std::set<std::string> names;
    for (const auto& u : program.Uniforms) {
        fuzz::Require(u.SamplerType >= SamplerNone && u.SamplerType <= Sampler3D,
                      "unknown sampler type code");
        fuzz::Require(names.insert(u.Name).second, "uniform registered twice");
    }
    names.clear();
    for (const auto& a : program.Attributes)
        fuzz::Require(names.insert(a.Name).second, "attribute registered twice");

    // The first line of the input doubles as a list of definitions.
    const std::string_view defines = text.substr(0, std::min(text.find('\n'), size_t(200)));
    std::string name = "fuzz";
    ApplyShaderDefines(defines, name, program.VertexSource, program.FragmentSource);
    return 0;
}
