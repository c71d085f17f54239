#pragma once
// The sound storage: every effect file is read once, its samples stay in memory,
// and its OpenAL buffer is made the first time it is played. Sounds are found by
// name; a bare name means NAME.WAV in the sounds folder.

#include "app/e_Log.h"
#include "sound/e_SoundLoader.h"

#include <AL/al.h>

#include <memory>
#include <string>
#include <vector>

class TStoragesSound {
public:
    // Reads Format, Frequency, Size and the samples from a loaded-sound stream;
    // throws std::runtime_error when the stream is shorter than it claims.
    TStoragesSound(const std::string& fileName, const std::vector<uint8_t>& stream);
    ~TStoragesSound();
    TStoragesSound(const TStoragesSound&) = delete;
    TStoragesSound& operator=(const TStoragesSound&) = delete;

    // Deletes the OpenAL buffer (when there is one); the samples stay.
    void ReleaseBuffer();

    // The full upper-case path: the registry's key.
    std::string FileName;
    bool BufferReady = false;
    // 1 when loaded, plus 1 for every later lookup of the same name.
    int32_t UseCount = 0;
    TStoredSoundData SoundData;
    ALuint Buffer = 0;
    // OpenAL refused the samples once; not tried again.
    bool BufferFailed = false;
};

// Stores the log routine and the folders, then logs "Sound Storage Init - complete.".
void InitSoundStorage(TLogProc logRoutine, const std::string& root, const std::string& folder);
// Frees every stored sound (and its buffer) and forgets the folders.
void DoneSoundStorage();

// The registry index of the sound, loading it on first use; -1 when it cannot be
// had. A name that failed to load is reported once and then refused quietly.
int GetSoundIndex(const std::string& name);
// The entry's OpenAL buffer, made on first use; 0 for a bad index, without a sound
// device, or when OpenAL refused the samples (reported once).
ALuint GetSoundBuffer(int index);
// Loads one file with its log lines and messages; nothing on failure.
std::unique_ptr<TStoragesSound> CreateSound(const std::string& fileName);

// The registry key for a name as GetSoundIndex forms it ("" for an empty name).
std::string SoundKey(const std::string& name);
// Read-only views for tools and tests.
int StoredSoundCount();
const TStoragesSound* GetStoredSound(int index);

// Deletes every buffer but keeps the samples; called before the device closes.
void ReleaseSoundBuffers();
