#include "sound/e_SoundManager.h"

#include "app/e_Platform.h"
#include "sound/e_SoundPlayer.h"

#include <algorithm>
#include <limits>
#include <set>

namespace {

std::vector<std::unique_ptr<TStoragesSound>> SoundList;
TLogProc StorageLog = nullptr;
std::string StorageRoot;
std::string StorageFolder;
// Keys that could not be loaded. The battle asks for its sounds every time it
// plays them, so a missing file would otherwise raise a box every frame.
std::set<std::string> FailedNames;

void StorageMessage(const std::string& text) {
    if (!StorageLog)
        return;
    try {
        StorageLog(text);
    } catch (const std::exception&) {
        // An unwritable log must not stop the sounds.
    }
}

std::string EnsureSlash(std::string path) {
    path = NormalizeSlashes(path);
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

}  // namespace

TStoragesSound::TStoragesSound(const std::string& fileName, const std::vector<uint8_t>& stream)
    : FileName(fileName) {
    if (!ReadSoundStream(stream, SoundData))
        throw std::runtime_error("sound stream is truncated");
}

TStoragesSound::~TStoragesSound() { ReleaseBuffer(); }

void TStoragesSound::ReleaseBuffer() {
    if (!BufferReady)
        return;
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    if (SoundDevice && alIsBuffer(Buffer))
        alDeleteBuffers(1, &Buffer);
    BufferReady = false;
    Buffer = 0;
}

void InitSoundStorage(TLogProc logRoutine, const std::string& root, const std::string& folder) {
    {
        std::lock_guard<std::recursive_mutex> guard(SoundLock());
        StorageLog = logRoutine;
        StorageRoot = EnsureSlash(root);
        StorageFolder = EnsureSlash(folder);
        FailedNames.clear();
    }
    StorageMessage("Sound Storage Init - complete.");
}

void DoneSoundStorage() {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    SoundList.clear();
    FailedNames.clear();
    StorageRoot.clear();
    StorageFolder.clear();
    StorageLog = nullptr;
}

std::string SoundKey(const std::string& rawName) {
    std::string name = NormalizeSlashes(rawName);
    auto slash = name.find_last_of('/');
    std::string filepart = slash == std::string::npos ? name : name.substr(slash + 1);
    if (filepart.empty())
        return {};
    if (filepart.find('.') == std::string::npos)
        name += ".WAV";
    // Only what lies below the sounds folder is upper-cased: the install folder
    // keeps its case, or a sibling folder spelt in capitals would be taken for it.
    const std::string folder = StorageRoot + StorageFolder;
    if (slash == std::string::npos)
        return folder + ToUpperAscii(name);
    if (name.compare(0, StorageRoot.size(), StorageRoot) == 0 && name.size() >= folder.size() &&
        ToUpperAscii(name.substr(StorageRoot.size(), StorageFolder.size())) == ToUpperAscii(StorageFolder))
        return folder + ToUpperAscii(name.substr(folder.size()));
    // Elsewhere the folders are the caller's; the file name is compared in capitals.
    slash = name.find_last_of('/');
    return name.substr(0, slash + 1) + ToUpperAscii(name.substr(slash + 1));
}

int GetSoundIndex(const std::string& rawName) {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    const std::string name = SoundKey(rawName);
    if (name.empty())
        return -1;
    for (size_t i = 0; i < SoundList.size(); ++i) {
        auto& entry = SoundList[i];
        if (entry && entry->FileName == name) {
            if (entry->UseCount < std::numeric_limits<int32_t>::max())
                ++entry->UseCount;
            return static_cast<int>(i);
        }
    }
    if (FailedNames.count(name))
        return -1;

    auto sound = CreateSound(name);
    if (!sound) {
        FailedNames.insert(name);
        return -1;
    }
    sound->UseCount = 1;
    auto slot = std::find(SoundList.begin(), SoundList.end(), nullptr);
    if (slot != SoundList.end()) {
        *slot = std::move(sound);
        return static_cast<int>(slot - SoundList.begin());
    }
    SoundList.push_back(std::move(sound));
    return static_cast<int>(SoundList.size()) - 1;
}

ALuint GetSoundBuffer(int index) {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    if (index < 0 || static_cast<size_t>(index) >= SoundList.size() || !SoundList[static_cast<size_t>(index)])
        return 0;
    TStoragesSound& sound = *SoundList[static_cast<size_t>(index)];
    if (sound.BufferReady)
        return sound.Buffer;
    if (sound.BufferFailed || !SoundDevice)
        return 0;

    const TStoredSoundData& data = sound.SoundData;
    // OpenAL takes whole sample frames only; a stray byte at the end is dropped.
    const int32_t frame = std::max(SoundFrameBytes(data.Format), 1);
    const int32_t size = std::min<int32_t>(data.Size, static_cast<int32_t>(data.Data.size())) / frame * frame;

    alGetError();
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    if (!CheckALError()) {
        sound.BufferFailed = true;
        return 0;
    }
    alBufferData(buffer, data.Format, data.Data.data(), size, data.Frequency);
    if (!CheckALError()) {
        alDeleteBuffers(1, &buffer);
        alGetError();
        sound.BufferFailed = true;
        return 0;
    }
    sound.Buffer = buffer;
    sound.BufferReady = true;
    return buffer;
}

std::unique_ptr<TStoragesSound> CreateSound(const std::string& fileName) {
    StorageMessage("CreateSound: \"" + fileName + "\" ...");
    if (!FileExistsNoCase(fileName)) {
        ShowProgramMessage("File \"" + fileName + "\" not found");
        return nullptr;
    }
    std::string extension = fileName.size() >= 4 ? ToUpperAscii(fileName.substr(fileName.size() - 4)) : "";
    if (extension != ".WAV") {
        ShowProgramMessage("File \"" + fileName + "\" unknown type");
        return nullptr;
    }
    std::string problem;
    auto stream = LoadWaveFile(fileName, &problem);
    std::unique_ptr<TStoragesSound> sound;
    if (stream) {
        try {
            sound = std::make_unique<TStoragesSound>(fileName, *stream);
        } catch (const std::exception& e) {
            problem = e.what();
        }
    }
    if (!sound) {
        StorageMessage("CreateSound: \"" + fileName + "\": " + problem);
        ShowProgramMessage("Файл \"" + fileName + "\" поврежден. Загрузка невозможна.");
        return nullptr;
    }
    StorageMessage("CreateSound: \"" + fileName + "\" - complete.");
    return sound;
}

int StoredSoundCount() {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    return static_cast<int>(SoundList.size());
}

const TStoragesSound* GetStoredSound(int index) {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    if (index < 0 || static_cast<size_t>(index) >= SoundList.size())
        return nullptr;
    return SoundList[static_cast<size_t>(index)].get();
}

void ReleaseSoundBuffers() {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    for (auto& sound : SoundList)
        if (sound) {
            sound->ReleaseBuffer();
            sound->BufferFailed = false;
        }
}
