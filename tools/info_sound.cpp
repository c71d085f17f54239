// `mygame-data info` for sound files: what the game's readers make of them.

#include "DataTool.h"

#include "app/e_Platform.h"
#include "sound/_ogg.h"
#include "sound/e_SoundLoader.h"

#include <iostream>

namespace {

int PrintWave(const std::string& path, std::ostream& out) {
    auto file = ReadWholeFile(path);
    TStoredSoundData sound;
    std::string problem;
    if (!file || !LoadWave(file->data(), file->size(), sound, &problem)) {
        // The sound storage's message for a file its reader refuses.
        std::cerr << "Файл \"" << path << "\" поврежден. Загрузка невозможна.\n";
        return 1;
    }
    out << "{\"format\": " << sound.Format << ", \"frequency\": " << sound.Frequency
        << ", \"bytes\": " << sound.Size << "}\n";
    return 0;
}

// The header as the music player checks it when it opens a piece (without opening a device).
int PrintOgg(const std::string& path, std::ostream& out) {
    TOggInfo info;
    std::string problem;
    if (!ReadOggInfo(path, info, &problem)) {
        if (problem == "file cannot be opened")
            problem = "the file cannot be opened";
        else if (problem != "not an Ogg Vorbis file")
            problem = "the stream has no usable length or rate";
    } else if (info.Channels != 1 && info.Channels != 2) {
        problem = "only mono or stereo pieces are played";
    } else if (info.Rate <= 0) {
        problem = "the stream has no usable length or rate";
    }
    if (!problem.empty()) {
        // What the game logs when a piece cannot be played.
        std::cerr << "Music \"" << path << "\": " << problem << "; the music stays silent.\n";
        return 1;
    }
    out << "{\"channels\": " << info.Channels << ", \"rate\": " << info.Rate
        << ", \"pcm_samples\": " << info.PcmSamples << "}\n";
    return 0;
}

InfoHandler waveInfo(".WAV", "sound", PrintWave);
InfoHandler oggInfo(".OGG", "music", PrintOgg);

}  // namespace
