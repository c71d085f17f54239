#pragma once
// Runs the real game executable for whole-program tests.

#include <string>
#include <vector>

struct TGameRun {
    int ExitCode = -1;
    std::string Stdout;
    std::string Stderr;
};

// Runs build/mygame with the arguments and extra environment ("NAME=value"),
// waiting at most `timeoutSeconds`; a run that overstays is killed (ExitCode -9).
TGameRun RunGame(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                 int timeoutSeconds = 300);
// The path of build/mygame.
std::string GameExecutable();

// An RGBA picture read from a PNG file; empty when it cannot be read.
struct TPicture {
    int Width = 0, Height = 0;
    std::vector<unsigned char> Rgba;
    const unsigned char* At(int x, int y) const { return &Rgba[(static_cast<size_t>(y) * Width + x) * 4]; }
};
TPicture ReadPng(const std::string& path);
