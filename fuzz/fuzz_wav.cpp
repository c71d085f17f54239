// WAV files through LoadWave, and the loaded-sound stream the storage keeps.

#include "FuzzSupport.h"
#include "sound/e_SoundLoader.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TStoredSoundData sound;
    std::string problem;
    if (LoadWave(data, size, sound, &problem)) {
        const int32_t frame = SoundFrameBytes(sound.Format);
        fuzz::Require(frame > 0, "accepted WAV has no known format");
        fuzz::Require(sound.Frequency > 0, "accepted WAV has no sample rate");
        fuzz::Require(sound.Size >= 0 && size_t(sound.Size) == sound.Data.size() && sound.Data.size() <= size,
                      "sample byte count differs from the samples");
        TStoredSoundData again;
        fuzz::Require(ReadSoundStream(WriteSoundStream(sound), again), "sound stream does not read back");
        fuzz::Require(
            again.Format == sound.Format && again.Frequency == sound.Frequency && again.Data == sound.Data,
            "sound stream does not carry the sound unchanged");
    } else {
        fuzz::Require(!problem.empty(), "refused WAV without a reason");
    }

    // The storage's own stream, should it ever come from elsewhere.
    TStoredSoundData stored;
    if (ReadSoundStream(std::vector<uint8_t>(data, data + size), stored))
        fuzz::Require(stored.Size >= 0 && size_t(stored.Size) == stored.Data.size(), "sound stream size");
    return 0;
}
