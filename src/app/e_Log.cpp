#include "app/e_Log.h"

#include "app/e_Platform.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <mutex>

namespace {

std::mutex logLock;
std::atomic<bool> boxesEnabled{true};

std::string LogPath() { return LogFolderOrAppPath() + "InfoLog.txt"; }

}  // namespace

void StartLog() {
    std::lock_guard<std::mutex> guard(logLock);
    std::ofstream file(LogPath(), std::ios::binary | std::ios::trunc);
    file.exceptions(std::ios::failbit | std::ios::badbit);
    file << "***** Log starting *****\r\n\r\n";
    file.flush();
}

void Log(const std::string& text) {
    std::lock_guard<std::mutex> guard(logLock);
    std::ofstream file;
    file.exceptions(std::ios::failbit | std::ios::badbit);
    file.open(LogPath(), std::ios::binary | std::ios::app);
    // A line feed ends a line; anything else, a carriage return included, is kept.
    std::string out;
    out.reserve(text.size() + 2);
    for (char c : text) {
        if (c == '\n')
            out += "\r\n";
        else
            out += c;
    }
    out += "\r\n";
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    file.flush();
}

void CloseLog() {
    // The lock is a static mutex; nothing to delete. Kept so that the shutdown
    // order reads the same as the start-up order.
}

void SetMessageBoxesEnabled(bool enabled) { boxesEnabled = enabled; }

void ShowMessageBox(const std::string& caption, const std::string& text) {
    std::cerr << caption << ' ' << text << std::endl;
    try {
        Log(caption + " " + text);
    } catch (const std::exception&) {
        // The box still has to reach the user when the log cannot be written.
    }
    if (boxesEnabled)
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), nullptr);
}

void ShowProgramMessage(const std::string& text) { ShowMessageBox("Program Message:", text); }

void FatalProgramMessage(const std::string& text) {
    ShowProgramMessage(text);
    std::fflush(nullptr);
    std::_Exit(0);
}
