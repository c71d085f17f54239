#pragma once
// The sound device: one OpenAL device and context, a fixed listener, a table of
// positional sources that callers hold by index, and the background music.
//
// Everything else in the game goes through the plain functions below. When the
// machine has no sound device, InitSound logs that once and gives false; from then
// on every operation does nothing, so the game plays silently.
//
// The functions may be called from the loading thread as well as the main thread
// (scenes create their sources and load their music while being built); one
// module lock keeps the tables and OpenAL's error state consistent.

#include "world/e_Math.h"

#include <AL/al.h>
#include <AL/alc.h>

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

class TOGG;

// Raised by the sound classes when OpenAL refuses something; the module-level
// functions catch it, so callers of those never see it.
class ESoundError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TSndSource {
public:
    // Generates the OpenAL source; throws ESoundError (after the message box) on failure.
    explicit TSndSource(const TMyVector3f& position);
    ~TSndSource();
    TSndSource(const TSndSource&) = delete;
    TSndSource& operator=(const TSndSource&) = delete;

    void Play();
    void Stop();
    bool IsPlaying() const;
    void SetBuffer(ALuint buffer);
    // Sends AL_LOOPING only when the flag changes.
    void SetLooping(bool flag);

    ALuint SourceId = 0;
    float Pitch = 1.0f;
    float Gain = 1.0f;
    TMyVector3f Position;
    TMyVector3f Velocity;
    bool Looping = false;
};

class TSoundDevice {
public:
    // Opens the default device and makes a context current; throws ESoundError
    // ("Default sound device not present" when there is no device).
    TSoundDevice();
    ~TSoundDevice();
    TSoundDevice(const TSoundDevice&) = delete;
    TSoundDevice& operator=(const TSoundDevice&) = delete;

    // Fills the first empty slot (or a new one) and gives its index.
    int AddSource(const TMyVector3f& position);
    void RemoveSource(int index);
    bool ValidIndex(int index) const;
    // Shows "ALC error: ..." and gives false when the device reports an error.
    bool CheckError();

    ALCdevice* Device = nullptr;
    ALCcontext* Context = nullptr;
    TMyVector3f ListenerPosition;
    TMyVector3f ListenerVelocity;
    float ListenerOrientation[6] = {0.0f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f};
    // Index = the handle given to callers; an empty pointer is a free slot.
    std::vector<std::unique_ptr<TSndSource>> Sources;
};

// The device, or nothing when sound is unavailable. Guarded by SoundLock().
extern std::unique_ptr<TSoundDevice> SoundDevice;
// The application's folder and the sounds folder ("Data/Sounds/"), both ending in "/".
extern std::string SoundRoot;
extern std::string SoundFolder;

// Stores the folders and opens the device; false (logged once) when there is no
// usable device. May be called again after DoneSound.
bool InitSound(const std::string& root, const std::string& folder);
// Frees the music, every source and every stored sound's buffer, then the device.
void DoneSound();
// True while a device is open.
bool SoundAvailable();

// A new source at `position`; -1 when sound is unavailable or OpenAL refused.
int NewSource(const TMyVector3f& position);
void FreeSource(int index);
bool IsSourcePlaying(int index);
// Restarts the source with the named sound of the storage. A sound that cannot be
// loaded leaves the source stopped.
void PlaySound(int index, const std::string& soundName, bool loop);
void StopSource(int index);

// Loads the piece `name` + ".OGG" from the sounds folder (whatever extension or
// folder `fileName` carries) and keeps it ready; it starts at ResumeMusic.
void PlayMusic(const std::string& fileName);
void ResumeMusic();
void PauseMusic();
// Percent 0..100 (clamped). Remembered, so that a piece loaded later starts at
// the same volume: the application passes the configured volume once at start-up.
void SetMusicVolume(int percent);

// The current music player (or nothing) and its bare name; for the scenes' tests.
TOGG* GetMusicPlayer();
std::string GetMusicName();

// The module lock: held around every table change and every OpenAL call that is
// followed by an error check. The music worker only ever try-locks it.
std::recursive_mutex& SoundLock();
// Reads OpenAL's error state. On an error shows "OpenAL error: ..." captioned
// "Sound Module Message:" and gives false.
bool CheckALError();
// CheckALError, throwing ESoundError on an error.
void RequireALNoError();
