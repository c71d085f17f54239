#include "sound/e_SoundPlayer.h"

#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "sound/_ogg.h"
#include "sound/e_SoundManager.h"

#include <algorithm>
#include <set>

std::unique_ptr<TSoundDevice> SoundDevice;
std::string SoundRoot;
std::string SoundFolder;

namespace {

const char* const SoundCaption = "Sound Module Message:";

std::unique_ptr<TOGG> MusicPlayer;
std::string MusicName;
int MusicVolumePercent = 100;
// Pieces already reported as missing or unreadable: the menu reloads its piece
// every time it is built, and one line in the log is enough.
std::set<std::string> ReportedMusic;

void SafeLog(const std::string& text) {
    try {
        Log(text);
    } catch (const std::exception&) {
        // An unwritable log must not take the sound down with it.
    }
}

TSndSource* SourceAt(int index) {
    if (!SoundDevice || !SoundDevice->ValidIndex(index))
        return nullptr;
    return SoundDevice->Sources[static_cast<size_t>(index)].get();
}

std::string EnsureSlash(std::string path) {
    path = NormalizeSlashes(path);
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

// The file-name part of a path without its extension.
std::string BareName(const std::string& fileName) {
    std::string name = NormalizeSlashes(fileName);
    auto slash = name.find_last_of('/');
    if (slash != std::string::npos)
        name = name.substr(slash + 1);
    auto dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name = name.substr(0, dot);
    return name;
}

}  // namespace

std::recursive_mutex& SoundLock() {
    static std::recursive_mutex lock;
    return lock;
}

bool CheckALError() {
    ALenum error = alGetError();
    if (error == AL_NO_ERROR)
        return true;
    const ALchar* text = alGetString(error);
    ShowMessageBox(SoundCaption, std::string("OpenAL error: ") + (text ? text : "unknown error"));
    return false;
}

void RequireALNoError() {
    if (!CheckALError())
        throw ESoundError("OpenAL error");
}

// ---------------------------------------------------------------------------

TSndSource::TSndSource(const TMyVector3f& position) : Position(position) {
    alGetError();
    alGenSources(1, &SourceId);
    RequireALNoError();
    alSourcef(SourceId, AL_PITCH, Pitch);
    alSourcef(SourceId, AL_GAIN, Gain);
    alSource3f(SourceId, AL_POSITION, Position.x, Position.y, Position.z);
    alSource3f(SourceId, AL_VELOCITY, Velocity.x, Velocity.y, Velocity.z);
    alSourcei(SourceId, AL_LOOPING, AL_FALSE);
}

TSndSource::~TSndSource() {
    alSourceStop(SourceId);
    if (alIsSource(SourceId))
        alDeleteSources(1, &SourceId);
    alGetError();
}

void TSndSource::Play() { alSourcePlay(SourceId); }

void TSndSource::Stop() { alSourceStop(SourceId); }

bool TSndSource::IsPlaying() const {
    ALint state = 0;
    alGetSourcei(SourceId, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

void TSndSource::SetBuffer(ALuint buffer) { alSourcei(SourceId, AL_BUFFER, static_cast<ALint>(buffer)); }

void TSndSource::SetLooping(bool flag) {
    if (flag == Looping)
        return;
    Looping = flag;
    alSourcei(SourceId, AL_LOOPING, flag ? AL_TRUE : AL_FALSE);
}

// ---------------------------------------------------------------------------

TSoundDevice::TSoundDevice() {
    Device = alcOpenDevice(nullptr);
    if (!Device)
        throw ESoundError("Default sound device not present");
    Context = alcCreateContext(Device, nullptr);
    if (!CheckError() || !Context) {
        if (Context)
            alcDestroyContext(Context);
        alcCloseDevice(Device);
        throw ESoundError("Sound context cannot be created");
    }
    alcMakeContextCurrent(Context);
    alListener3f(AL_POSITION, ListenerPosition.x, ListenerPosition.y, ListenerPosition.z);
    alListener3f(AL_VELOCITY, ListenerVelocity.x, ListenerVelocity.y, ListenerVelocity.z);
    alListenerfv(AL_ORIENTATION, ListenerOrientation);
    Sources.clear();
}

TSoundDevice::~TSoundDevice() {
    Sources.clear();
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(Context);
    alcCloseDevice(Device);
}

int TSoundDevice::AddSource(const TMyVector3f& position) {
    auto slot = std::find(Sources.begin(), Sources.end(), nullptr);
    auto source = std::make_unique<TSndSource>(position);
    if (slot != Sources.end()) {
        *slot = std::move(source);
        return static_cast<int>(slot - Sources.begin());
    }
    Sources.push_back(std::move(source));
    return static_cast<int>(Sources.size()) - 1;
}

void TSoundDevice::RemoveSource(int index) {
    if (ValidIndex(index))
        Sources[static_cast<size_t>(index)].reset();
}

bool TSoundDevice::ValidIndex(int index) const {
    return index >= 0 && static_cast<size_t>(index) < Sources.size();
}

bool TSoundDevice::CheckError() {
    ALCenum error = alcGetError(Device);
    if (error == ALC_NO_ERROR)
        return true;
    const ALCchar* text = alcGetString(Device, error);
    ShowProgramMessage(std::string("ALC error: ") + (text ? text : "unknown error"));
    return false;
}

// ---------------------------------------------------------------------------

bool InitSound(const std::string& root, const std::string& folder) {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    SoundRoot = EnsureSlash(root);
    SoundFolder = EnsureSlash(folder);
    if (SoundDevice)
        return true;
    try {
        SoundDevice = std::make_unique<TSoundDevice>();
    } catch (const ESoundError& e) {
        SafeLog(std::string(e.what()) + ": the game goes on without sound.");
        return false;
    }
    return true;
}

void DoneSound() {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    MusicPlayer.reset();
    MusicName.clear();
    if (!SoundDevice)
        return;
    // Sources first: a buffer still attached to a source cannot be deleted.
    SoundDevice->Sources.clear();
    ReleaseSoundBuffers();
    SoundDevice.reset();
}

bool SoundAvailable() {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    return SoundDevice != nullptr;
}

int NewSource(const TMyVector3f& position) {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    if (!SoundDevice)
        return -1;
    try {
        return SoundDevice->AddSource(position);
    } catch (const ESoundError&) {
        // The message box has been shown; the caller holds -1 and stays silent.
        return -1;
    }
}

void FreeSource(int index) {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    if (SourceAt(index))
        SoundDevice->RemoveSource(index);
}

bool IsSourcePlaying(int index) {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    TSndSource* source = SourceAt(index);
    return source && source->IsPlaying();
}

void PlaySound(int index, const std::string& soundName, bool loop) {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    TSndSource* source = SourceAt(index);
    if (!source)
        return;
    source->Stop();
    ALuint buffer = GetSoundBuffer(GetSoundIndex(soundName));
    if (buffer == 0)
        return;  // nothing to hear: the storage has already said why
    source->SetBuffer(buffer);
    source->SetLooping(loop);
    source->Play();
}

void StopSource(int index) {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    if (TSndSource* source = SourceAt(index))
        source->Stop();
}

// ---------------------------------------------------------------------------

void PlayMusic(const std::string& fileName) {
    if (fileName.empty())
        return;
    const std::string name = BareName(fileName);
    std::string path;
    {
        std::lock_guard<std::recursive_mutex> guard(SoundLock());
        if (name == MusicName)
            return;
        MusicPlayer.reset();
        MusicName = name;
        if (!SoundDevice)
            return;
        path = SoundRoot + SoundFolder + name + ".OGG";
    }
    // Decoding a whole piece takes a while; the player takes the lock only for
    // its OpenAL calls, so the main thread is not held up meanwhile.
    std::unique_ptr<TOGG> player;
    try {
        player = std::make_unique<TOGG>(path, true, false);
    } catch (const ESoundError&) {
        return;  // the message box has been shown
    }
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    if (!player->HasSound() && ReportedMusic.insert(ToUpperAscii(path)).second)
        SafeLog("Music \"" + path + "\": " + player->Problem + "; the music stays silent.");
    if (MusicName != name || !SoundDevice)
        return;  // another piece was asked for meanwhile
    player->SetVolume(MusicVolumePercent);
    MusicPlayer = std::move(player);
}

void ResumeMusic() {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    if (!MusicName.empty() && MusicPlayer)
        MusicPlayer->Play();
}

void PauseMusic() {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    if (MusicPlayer)
        MusicPlayer->Pause();
}

void SetMusicVolume(int percent) {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    MusicVolumePercent = std::clamp(percent, 0, 100);
    if (MusicPlayer)
        MusicPlayer->SetVolume(MusicVolumePercent);
}

TOGG* GetMusicPlayer() {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    return MusicPlayer.get();
}

std::string GetMusicName() {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    return MusicName;
}
