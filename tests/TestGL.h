#pragma once
// One hidden window with a GL 2.1 context for a whole test program, on SDL's offscreen
// driver unless the environment says otherwise; Mesa is held to GL 2.1 / GLSL 1.20.
// Tests skip themselves when `context` is null. With the context the resources get the
// renderer's GL device, so textures and models reach OpenGL at their first use.

#include <SDL.h>

#include "render/my_ViewerWorld.h"
#include "resources/e_ResourceDevice.h"

#include <cstdlib>

struct TGLContext {
    static constexpr int Size = 64;  // the window's width and height in pixels
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    TGLContext() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("MESA_GL_VERSION_OVERRIDE", "2.1", 0);
        setenv("MESA_GLSL_VERSION_OVERRIDE", "120", 0);
        if (SDL_Init(SDL_INIT_VIDEO) != 0)
            return;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        window = SDL_CreateWindow("test", 0, 0, Size, Size, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (window)
            context = SDL_GL_CreateContext(window);
        if (context)
            SetResourceDevice(&GLResourceDevice());
    }
    static TGLContext& Get() {
        static TGLContext instance;
        return instance;
    }
};
