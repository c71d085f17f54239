// `mygame-data info` for shader program files: the uniforms and attributes the renderer learns
// from a ".gpr", and whether the program compiles and links. Compiling needs a GL context; the
// tool makes a hidden one on SDL's offscreen driver (unless the environment names another) and
// reports "compiled": null where none can be had.

#include "DataTool.h"

#include "render/e_ShaderObject.h"

#include <SDL.h>

#include <cstdlib>
#include <iostream>
#include <memory>

namespace {

struct TToolContext {
    SDL_Window* Window = nullptr;
    SDL_GLContext Context = nullptr;
    TToolContext() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        Window = SDL_CreateWindow("mygame-data", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (Window)
            Context = SDL_GL_CreateContext(Window);
    }
    ~TToolContext() {
        if (Context)
            SDL_GL_DeleteContext(Context);
        if (Window)
            SDL_DestroyWindow(Window);
    }
    static bool Ready() {
        static TToolContext instance;
        return instance.Context && SDL_GL_MakeCurrent(instance.Window, instance.Context) == 0;
    }
};

int PrintShader(const std::string& path, std::ostream& out) {
    // The renderer names a program by its file name in the shader folder.
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string file = path.substr(folder.size());
    const std::string name = file.substr(0, file.find_last_of('.'));
    const std::string savedDir = ShaderDir;
    ShaderDir = folder.empty() ? "./" : folder;
    std::unique_ptr<TShader> shader;
    try {
        shader = std::make_unique<TShader>(name, "", false);
    } catch (const EShaderFileError& e) {
        ShaderDir = savedDir;
        std::cerr << e.what() << "\n";
        return 1;
    }
    ShaderDir = savedDir;
    const char* compiled = "null";
    if (TToolContext::Ready()) {
        std::string message;
        if (!shader->TryCompile(message)) {
            std::cerr << message << "\n";
            return 1;
        }
        compiled = "true";
    } else {
        AssignTextureUnits(shader->Uniforms);
    }
    out << "{\"program\": " << JsonString(shader->Name) << ", \"uniforms\": [";
    for (size_t i = 0; i < shader->Uniforms.size(); ++i) {
        const TUniformData& u = shader->Uniforms[i];
        out << (i ? ", " : "") << "{\"name\": " << JsonString(u.Name) << ", \"sampler\": " << u.SamplerType
            << ", \"unit\": " << u.TextureUnit << "}";
    }
    out << "], \"attributes\": [";
    for (size_t i = 0; i < shader->Attributes.size(); ++i)
        out << (i ? ", " : "") << JsonString(shader->Attributes[i].Name);
    out << "], \"compiled\": " << compiled << "}\n";
    return 0;
}

const InfoHandler gprInfo(".GPR", "shader", PrintShader);

}  // namespace
