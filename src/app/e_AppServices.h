#pragma once
// What scenes and their GUIs may ask of the program that runs them. The
// application object implements it; scenes, menus and the HUD see only this,
// so they sit below the application in the build and tests can stand in for it.

#include <string>

class TConfigApp;

class TAppServices {
public:
    virtual ~TAppServices() = default;
    // Replaces the current scene: "defMainMenu" or the path of a map file.
    virtual void SwitchScene(const std::string& name) = 0;
    // The loading screen's bar, 0..1; the loading thread may call it.
    virtual void SetProgress(float value) = 0;
    // Ends the program after this frame, with that exit code.
    virtual void RequestQuit(int exitCode = 0) = 0;
    // The settings; null before they are read.
    virtual TConfigApp* Settings() = 0;
    // The folder of the map files, below AppPath ("Data/Maps/").
    virtual std::string MapsFolder() const = 0;
};

// The running program's services; null when nothing runs (tests of a scene on its own).
extern TAppServices* AppServices;
