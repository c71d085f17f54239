#pragma once
// The user's settings: music volume and map scroll speed, kept in "Config.ini"
// beside the game. Read once at start-up, written back when the object dies, so
// a changed volume survives to the next run.

#include <string>

class TConfigApp {
public:
    // Sets the defaults and reads basePath + "Config.ini", recreating it when missing.
    explicit TConfigApp(const std::string& basePath);
    // Writes the settings back. A failure to write is logged, not thrown: a
    // destructor must not throw, and losing the settings is all that can happen.
    ~TConfigApp();
    TConfigApp(const TConfigApp&) = delete;
    TConfigApp& operator=(const TConfigApp&) = delete;

    void Load();
    // Replaces the file with the eleven-line layout. Throws std::ios_base::failure
    // when the file cannot be written.
    void Save();
    // Stores the volume and passes it as a percentage to the music player.
    void SetMusicVolume(float value);

    std::string FileName;
    float MusicVolume = 1.0f;
    // Map units per second; the file holds a hundredth of it.
    float MapScrollSpeed = 65.0f;
};

// How the settings reach the music player; set by the application once the
// sound module is up, so that the settings do not depend on it.
using TMusicVolumeProc = void (*)(int percent);
void SetConfigMusicVolumeProc(TMusicVolumeProc proc);
