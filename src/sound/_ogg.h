#pragma once
// Ogg Vorbis music on an OpenAL source of its own. A piece is either decoded
// whole into one buffer (OpenAL loops it) or streamed through two buffers that a
// worker thread refills, rewinding the decoder to loop.

#include <AL/al.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct OggVorbis_File;

// The file reader handed to the decoder: read-only, shared with other readers.
class TStream {
public:
    explicit TStream(const std::string& fileName);
    ~TStream();
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    bool IsOpen() const;
    // Bytes read; 0 on failure or at the end.
    size_t Read(void* buffer, size_t count);
    // Absolute position; false on failure.
    bool Seek(int64_t position);
    // -1 on failure.
    int64_t Position() const;
    int64_t Size() const;

private:
    int Handle = -1;
};

// Bytes per buffer when streaming, and the decoded size below which a piece is
// never streamed. Tests lower it to exercise the worker on short pieces.
extern int32_t OggStreamBufferSize;
constexpr int32_t DefaultOggStreamBufferSize = 1048576;

// AL_SOURCE_STATE as the player reports it.
enum : int {
    OggStateOther = 0,
    OggStateInitial = 1,
    OggStatePlaying = 2,
    OggStatePaused = 3,
    OggStateStopped = 4
};

class TOGG {
public:
    // Opens and prepares the piece (decoding it whole unless streaming). A file that
    // cannot be opened or decoded gives a silent player (HasSound false, Problem
    // says why). OpenAL errors show the module's message box and throw ESoundError.
    TOGG(const std::string& fileName, bool looping, bool streaming);
    ~TOGG();
    TOGG(const TOGG&) = delete;
    TOGG& operator=(const TOGG&) = delete;

    void Play();
    void Pause();
    // Stops the source and waits for the worker to end.
    void Stop();
    int GetState();
    // Percent, clamped to 0..100.
    void SetVolume(int percent);
    // One refill round of the streaming worker.
    void Update();

    bool HasSound() const { return Source != 0; }

    std::unique_ptr<TStream> Reader;
    std::unique_ptr<OggVorbis_File> VorbisFile;
    std::thread Thread;
    ALuint Buffers[2] = {0, 0};
    ALuint Source = 0;
    int32_t Format = 0;
    int32_t Rate = 0;
    int32_t Channels = 0;
    bool Streaming = false;
    bool Looping = false;
    int32_t BufferSize = 0;
    std::atomic<bool> ThreadRunning{false};
    // Why the player is silent (empty when it is not).
    std::string Problem;
    // Worker statistics, read by tests.
    std::atomic<int> Refills{0};
    std::atomic<int> Rewinds{0};

private:
    // Decodes up to `size` bytes of 16-bit PCM into FillData; endReached tells
    // whether the decoder ran out (or hit a damaged page). Touches no OpenAL.
    int32_t Decode(int32_t size, bool& endReached);
    // Decodes and uploads one buffer: FillBuffer of the constructor.
    int32_t FillBuffer(ALuint buffer, int32_t size, bool& endReached);
    void Release();
    void ThreadProc();
    // Takes the module lock for the worker, giving up when the worker is told to stop
    // (whoever stops it may hold the lock while waiting for it).
    bool LockForWorker(std::unique_lock<std::recursive_mutex>& lock);
    // CheckALError for the worker: the message box is shown for the first error only.
    bool WorkerCheck();

    std::vector<char> FillData;
    bool WorkerReported = false;
    std::mutex WaitLock;
    std::condition_variable WakeUp;
};

// The stream facts that `mygame-data info` prints.
struct TOggInfo {
    int Channels = 0;
    int Rate = 0;
    int64_t PcmSamples = 0;
};
bool ReadOggInfo(const std::string& fileName, TOggInfo& info, std::string* problem = nullptr);
