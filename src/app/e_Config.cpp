#include "app/e_Config.h"

#include "app/e_Log.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

namespace {

TMusicVolumeProc musicVolumeProc = nullptr;

std::string TrimControl(const std::string& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && static_cast<unsigned char>(s[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(s[end - 1]) <= 32)
        --end;
    return s.substr(begin, end - begin);
}

// The whole text must be a decimal number with "." as separator, as a strict
// string-to-float conversion would accept it.
bool ParseDecimal(const std::string& text, float& out) {
    if (text.empty())
        return false;
    for (char c : text) {
        bool ok = (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
        if (!ok)
            return false;
    }
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value))
        return false;
    out = static_cast<float>(value);
    return true;
}

std::string Fixed2(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", value);
    return buf;
}

}  // namespace

void SetConfigMusicVolumeProc(TMusicVolumeProc proc) { musicVolumeProc = proc; }

TConfigApp::TConfigApp(const std::string& basePath) : FileName(basePath + "Config.ini") { Load(); }

TConfigApp::~TConfigApp() {
    try {
        Save();
    } catch (const std::exception&) {
        std::string text = "File \"Config.ini\" could not be written: " + FileName;
        std::cerr << text << std::endl;
        try {
            Log(text);
        } catch (const std::exception&) {
        }
    }
}

void TConfigApp::Load() {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(FileName, ec)) {
        Save();
        Log("File \"Config.ini\" not found. Recreated!!");
    }
    std::ifstream in(FileName, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        auto semicolon = line.find(';');
        if (semicolon != std::string::npos)
            line.resize(semicolon);
        auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = TrimControl(line.substr(0, eq));
        std::string value = TrimControl(line.substr(eq + 1));
        float parsed = 0.0f;
        if (key == "MusicVolume") {
            MusicVolume = ParseDecimal(value, parsed) ? parsed : 1.0f;
        } else if (key == "MapScrollSpeed") {
            MapScrollSpeed = ParseDecimal(value, parsed) ? parsed * 100.0f : 65.0f;
        }
    }
}

void TConfigApp::Save() {
    std::ostringstream text;
    text << "; here comment\r\n"
         << "[system]\r\n"
         << "MapScrollSpeed = " << Fixed2(MapScrollSpeed / 100.0) << "\r\n"
         << "[editor]\r\n"
         << "...\r\n"
         << "[physic]\r\n"
         << "...\r\n"
         << "[render]\r\n"
         << "...\r\n"
         << "[sound]\r\n"
         << "MusicVolume = " << Fixed2(MusicVolume) << "\r\n";
    std::ofstream out;
    out.exceptions(std::ios::failbit | std::ios::badbit);
    out.open(FileName, std::ios::binary | std::ios::trunc);
    std::string s = text.str();
    out.write(s.data(), static_cast<std::streamsize>(s.size()));
    out.flush();
}

void TConfigApp::SetMusicVolume(float value) {
    if (value == MusicVolume)
        return;
    MusicVolume = value;
    if (musicVolumeProc)
        musicVolumeProc(static_cast<int>(std::lround(value * 100.0f)));
}
