// "Config.ini": the settings file is read from disk, so each input becomes that file.

#include "FuzzSupport.h"
#include "app/e_Config.h"
#include "app/e_Platform.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteScratchFile("Config.ini", data, size);
    const std::string base = fuzz::ScratchDir().string() + "/";
    // Warnings about the file go to the log: keep it in the scratch folder, not in
    // whatever folder the fuzzer was started from.
    LogFolder = base;
    float volume = 0.0f, speed = 0.0f;
    {
        TConfigApp config(base);
        volume = config.MusicVolume;
        speed = config.MapScrollSpeed;
        fuzz::Require(!std::isnan(volume) && !std::isnan(speed), "settings read as not-a-number");
    }
    // The destructor wrote the settings back: they must read as they were, to the
    // two decimals the file keeps.
    TConfigApp again(base);
    if (std::isfinite(volume) && std::fabs(volume) < 1e4f)
        fuzz::Require(std::fabs(again.MusicVolume - volume) <= 0.006f,
                      "music volume changed on the way through the file");
    if (std::isfinite(speed) && std::fabs(speed) < 1e5f)
        fuzz::Require(std::fabs(again.MapScrollSpeed - speed) <= 0.6f,
                      "scroll speed changed on the way through the file");
    return 0;
}
