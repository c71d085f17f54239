// `mygame-data info` for sound files: what the game's readers make of them.

#include "DataTool.h"

#include "app/e_Platform.h"
#include "sound/_ogg.h"
#include "sound/e_SoundLoader.h"

#include <iostream>

namespace {

int PrintWave(const std::string& path, std::ostream& out) {
    auto file = ReadWholeFile(path);
    if (!file) {
        std::cerr << "mygame-data info: " << path << ": file cannot be read\n";
        return 1;
    }
    TStoredSoundData sound;
    std::string problem;
    if (!LoadWave(file->data(), file->size(), sound, &problem)) {
        std::cerr << "mygame-data info: " << path << ": " << problem << "\n";
        return 1;
    }
    out << "{\"file\": " << JsonString(path) << ", \"format\": " << sound.Format
        << ", \"frequency\": " << sound.Frequency << ", \"bytes\": " << sound.Size << "}\n";
    return 0;
}

int PrintOgg(const std::string& path, std::ostream& out) {
    TOggInfo info;
    std::string problem;
    if (!ReadOggInfo(path, info, &problem)) {
        std::cerr << "mygame-data info: " << path << ": " << problem << "\n";
        return 1;
    }
    out << "{\"file\": " << JsonString(path) << ", \"channels\": " << info.Channels << ", \"rate\": " << info.Rate
        << ", \"pcm_samples\": " << info.PcmSamples << "}\n";
    return 0;
}

InfoHandler waveInfo(".WAV", PrintWave);
InfoHandler oggInfo(".OGG", PrintOgg);

}  // namespace
