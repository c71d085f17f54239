#include "app/e_Config.h"

#include "app/e_Log.h"

#include <algorithm>
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
bool ParseDecimal(const std::string& text, double& out) {
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
    out = value;
    return true;
}

// A value outside what the game can use (a scroll speed that overflows to
// infinity, a negative volume) would spoil the whole session and be saved back:
// it is pulled into range and the change is logged.
double Bounded(const std::string& key, const std::string& text, double value, double low, double high) {
    double bounded = std::clamp(value, low, high);
    if (bounded != value) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%g", bounded);
        Log("File \"Config.ini\": " + key + " = " + text + " is out of range, " + buf + " used");
    }
    return bounded;
}

constexpr double kMinVolume = 0.0, kMaxVolume = 1.0;
// In the file's unit; a slider or a person never goes beyond these.
constexpr double kMinScrollSpeed = 0.05, kMaxScrollSpeed = 10.0;

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
        double parsed = 0.0;
        if (key == "MusicVolume") {
            MusicVolume = ParseDecimal(value, parsed)
                              ? static_cast<float>(Bounded(key, value, parsed, kMinVolume, kMaxVolume))
                              : 1.0f;
        } else if (key == "MapScrollSpeed") {
            MapScrollSpeed = ParseDecimal(value, parsed)
                                 ? static_cast<float>(
                                       Bounded(key, value, parsed, kMinScrollSpeed, kMaxScrollSpeed) * 100.0)
                                 : 65.0f;
        }
    }
}

void TConfigApp::Save() {
    // Whatever set the fields, the file never gets a number the next run cannot read.
    double speed = std::isfinite(MapScrollSpeed) ? MapScrollSpeed / 100.0 : 0.65;
    double volume = std::isfinite(MusicVolume) ? MusicVolume : 1.0;
    std::ostringstream text;
    text << "; here comment\r\n"
         << "[system]\r\n"
         << "MapScrollSpeed = " << Fixed2(speed) << "\r\n"
         << "[editor]\r\n"
         << "...\r\n"
         << "[physic]\r\n"
         << "...\r\n"
         << "[render]\r\n"
         << "...\r\n"
         << "[sound]\r\n"
         << "MusicVolume = " << Fixed2(volume) << "\r\n";
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
