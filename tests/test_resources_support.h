#pragma once
// Helpers shared by the resource tests: reading PNG twins of the test images, and a
// resource system started in a temporary game folder with its log captured.

#include "TestSupport.h"

#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "resources/e_ResourceManager.h"

#include <gtest/gtest.h>
#include <png.h>

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// A PNG decoded to 8-bit RGBA, rows from the top.
struct TRgbaImage {
    uint32_t Width = 0;
    uint32_t Height = 0;
    std::vector<uint8_t> Pixels;
};

// libpng's simplified reader, opened at run time so that the test needs no link flag of
// its own; expands palette and grey images to RGBA without touching the values.
inline std::optional<TRgbaImage> ReadPngRgba(const std::string& path) {
    using BeginFn = int (*)(png_imagep, const char*);
    using FinishFn = int (*)(png_imagep, png_const_colorp, void*, png_int_32, void*);
    using FreeFn = void (*)(png_imagep);
    static void* lib = dlopen("libpng16.so.16", RTLD_NOW | RTLD_LOCAL);
    if (!lib)
        return std::nullopt;
    static auto begin = reinterpret_cast<BeginFn>(dlsym(lib, "png_image_begin_read_from_file"));
    static auto finish = reinterpret_cast<FinishFn>(dlsym(lib, "png_image_finish_read"));
    static auto release = reinterpret_cast<FreeFn>(dlsym(lib, "png_image_free"));
    if (!begin || !finish || !release)
        return std::nullopt;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!begin(&image, path.c_str()))
        return std::nullopt;
    image.format = PNG_FORMAT_RGBA;
    TRgbaImage out;
    out.Width = image.width;
    out.Height = image.height;
    out.Pixels.resize(PNG_IMAGE_SIZE(image));
    if (!finish(&image, nullptr, out.Pixels.data(), 0, nullptr)) {
        release(&image);
        return std::nullopt;
    }
    return out;
}

// Compares a decoded texture (rows from the bottom, 1, 3 or 4 bytes per pixel) with an
// RGBA picture (rows from the top). Returns "" or a description of the first difference.
inline std::string CompareWithTwin(const TStoredTextureData& tex, const TRgbaImage& twin, int tolerance = 0) {
    if (tex.Width != twin.Width || tex.Height != twin.Height)
        return "size " + std::to_string(tex.Width) + "x" + std::to_string(tex.Height) + " vs " +
               std::to_string(twin.Width) + "x" + std::to_string(twin.Height);
    const int n = TextureFormatBytes(tex.Format);
    if (n == 0 || tex.Pixels.size() != size_t(tex.Width) * tex.Height * n)
        return "bad texture record";
    for (uint32_t y = 0; y < twin.Height; ++y) {
        for (uint32_t x = 0; x < twin.Width; ++x) {
            const uint8_t* t = &tex.Pixels[(size_t(twin.Height - 1 - y) * twin.Width + x) * n];
            const uint8_t* p = &twin.Pixels[(size_t(y) * twin.Width + x) * 4];
            uint8_t expect[4] = {p[0], p[1], p[2], p[3]};
            uint8_t got[4] = {t[0], n >= 3 ? t[1] : t[0], n >= 3 ? t[2] : t[0], n == 4 ? t[3] : uint8_t(255)};
            for (int c = 0; c < 4; ++c) {
                if (std::abs(int(expect[c]) - int(got[c])) > tolerance)
                    return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") channel " +
                           std::to_string(c) + ": " + std::to_string(got[c]) + " vs " +
                           std::to_string(expect[c]);
            }
        }
    }
    return {};
}

// The resource system started on a temporary game folder; log lines are collected.
class ResourceSystemTest : public ::testing::Test {
protected:
    static std::mutex& LogLock() {
        static std::mutex lock;
        return lock;
    }
    static std::vector<std::string>& LogLines() {
        static std::vector<std::string> lines;
        return lines;
    }
    static void CaptureLog(const std::string& text) {
        std::lock_guard guard(LogLock());
        LogLines().push_back(text);
    }
    std::vector<std::string> Lines() {
        std::lock_guard guard(LogLock());
        return LogLines();
    }
    void ClearLines() {
        std::lock_guard guard(LogLock());
        LogLines().clear();
    }

    void SetUp() override {
        SetMessageBoxesEnabled(false);
        Root = dir.path() + "/";
        savedAppPath = AppPath;
        AppPath = Root;  // the program messages go to Root/InfoLog.txt
        StartLog();
        ClearLines();
        InitResourceSystem(CaptureLog, Root, "Data/Textures/", "Data/Modeles/", "Data/Animates/");
        ClearLines();
    }
    void TearDown() override {
        FreeResourceSystem();
        AppPath = savedAppPath;
    }

    // The program messages shown so far (each logged as "Program Message: <text>").
    std::string Messages() { return ReadText(Root + "InfoLog.txt"); }

    TempDir dir;
    std::string Root;
    std::string savedAppPath;
};
