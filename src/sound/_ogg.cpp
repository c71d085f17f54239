#include "sound/_ogg.h"

#include "app/e_Platform.h"
#include "sound/e_SoundPlayer.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

int32_t OggStreamBufferSize = DefaultOggStreamBufferSize;

// ---------------------------------------------------------------------------

TStream::TStream(const std::string& fileName) {
    auto real = ResolvePath(fileName);
    Handle = ::open(real ? real->c_str() : fileName.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (Handle >= 0 && (::fstat(Handle, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(Handle);
        Handle = -1;
    }
}

TStream::~TStream() {
    if (Handle >= 0)
        ::close(Handle);
}

bool TStream::IsOpen() const { return Handle >= 0; }

size_t TStream::Read(void* buffer, size_t count) {
    if (Handle < 0 || !buffer)
        return 0;
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::read(Handle, out + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool TStream::Seek(int64_t position) {
    if (Handle < 0 || position < 0)
        return false;
    return ::lseek(Handle, static_cast<off_t>(position), SEEK_SET) >= 0;
}

int64_t TStream::Position() const {
    if (Handle < 0)
        return -1;
    return ::lseek(Handle, 0, SEEK_CUR);
}

int64_t TStream::Size() const {
    struct stat info {};
    if (Handle < 0 || ::fstat(Handle, &info) != 0)
        return -1;
    return info.st_size;
}

// ---------------------------------------------------------------------------
// The decoder reads through these, so that it sees our reader rather than stdio.

namespace {

size_t OggRead(void* buffer, size_t size, size_t count, void* source) {
    if (size == 0 || count == 0 || !source)
        return 0;
    if (count > std::numeric_limits<size_t>::max() / size)
        return 0;
    return static_cast<TStream*>(source)->Read(buffer, size * count) / size;
}

int OggSeek(void* source, ogg_int64_t offset, int whence) {
    auto* stream = static_cast<TStream*>(source);
    if (!stream)
        return -1;
    int64_t base = 0;
    switch (whence) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = stream->Position();
        break;
    case SEEK_END:
        base = stream->Size();
        break;
    default:
        return 0;
    }
    if (base < 0)
        return -1;
    if (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset)
        return -1;
    return stream->Seek(base + offset) ? 0 : -1;
}

// The player closes its file itself.
int OggClose(void*) { return 0; }

long OggTell(void* source) {
    auto* stream = static_cast<TStream*>(source);
    return stream ? static_cast<long>(stream->Position()) : -1;
}

const ov_callbacks OggCallbacks = {OggRead, OggSeek, OggClose, OggTell};

int32_t FormatForChannels(int channels) { return channels == 1 ? 0x1101 : 0x1103; }

}  // namespace

// ---------------------------------------------------------------------------

TOGG::TOGG(const std::string& fileName, bool looping, bool streaming) {
    Reader = std::make_unique<TStream>(fileName);
    if (!Reader->IsOpen()) {
        Problem = "the file cannot be opened";
        Reader.reset();
        return;
    }
    VorbisFile = std::make_unique<OggVorbis_File>();
    if (ov_open_callbacks(Reader.get(), VorbisFile.get(), nullptr, 0, OggCallbacks) < 0) {
        // The decoder has already let go of its state.
        Problem = "not an Ogg Vorbis file";
        VorbisFile.reset();
        Reader.reset();
        return;
    }
    vorbis_info* info = ov_info(VorbisFile.get(), -1);
    const ogg_int64_t samples = ov_pcm_total(VorbisFile.get(), -1);
    if (!info || (info->channels != 1 && info->channels != 2) || info->rate <= 0 ||
        info->rate > std::numeric_limits<int32_t>::max() || samples < 0) {
        Problem = info && info->channels != 1 && info->channels != 2
                      ? "only mono or stereo pieces are played"
                      : "the stream has no usable length or rate";
        Release();
        return;
    }
    Channels = info->channels;
    Format = FormatForChannels(Channels);
    Rate = static_cast<int32_t>(info->rate);

    // The whole piece as 16-bit samples. A piece too long for one OpenAL buffer
    // is streamed whatever was asked for.
    const int64_t decoded = samples > std::numeric_limits<int64_t>::max() / 4
                                ? std::numeric_limits<int64_t>::max()
                                : static_cast<int64_t>(samples) * Channels * 2;
    Streaming = streaming && decoded >= OggStreamBufferSize;
    if (decoded > std::numeric_limits<int32_t>::max())
        Streaming = true;
    Looping = looping;
    BufferSize = Streaming ? OggStreamBufferSize : static_cast<int32_t>(decoded);

    try {
        {
            std::lock_guard<std::recursive_mutex> guard(SoundLock());
            alGetError();
            alGenSources(1, &Source);
            RequireALNoError();
            alSourcef(Source, AL_PITCH, 1.0f);
            RequireALNoError();
            alSourcef(Source, AL_GAIN, 1.0f);
            RequireALNoError();
            alSource3f(Source, AL_POSITION, 0.0f, 0.0f, 0.0f);
            RequireALNoError();
            alSource3f(Source, AL_VELOCITY, 0.0f, 0.0f, 0.0f);
            RequireALNoError();
            alSourcei(Source, AL_LOOPING, Looping && !Streaming ? AL_TRUE : AL_FALSE);
            RequireALNoError();
        }
        SetVolume(100);

        for (int i = 0; i < 2; ++i) {
            {
                std::lock_guard<std::recursive_mutex> guard(SoundLock());
                alGenBuffers(1, &Buffers[i]);
                RequireALNoError();
            }
            bool endReached = false;
            int32_t bytes = FillBuffer(Buffers[i], BufferSize, endReached);
            std::lock_guard<std::recursive_mutex> guard(SoundLock());
            if (!Streaming) {
                if (bytes > 0) {
                    alSourcei(Source, AL_BUFFER, static_cast<ALint>(Buffers[0]));
                    RequireALNoError();
                }
                break;
            }
            if (bytes > 0) {
                alSourceQueueBuffers(Source, 1, &Buffers[i]);
                RequireALNoError();
            }
            if (endReached) {
                if (!Looping)
                    break;
                ov_pcm_seek(VorbisFile.get(), 0);
                ++Rewinds;
            }
        }
    } catch (...) {
        Release();
        throw;
    }
    if (!Streaming)
        std::vector<char>().swap(FillData);
    ThreadRunning = false;
}

TOGG::~TOGG() {
    Stop();
    Release();
}

void TOGG::Release() {
    {
        std::lock_guard<std::recursive_mutex> guard(SoundLock());
        if (Source != 0 && alIsSource(Source)) {
            alSourceStop(Source);
            alDeleteSources(1, &Source);
        }
        Source = 0;
        for (ALuint& buffer : Buffers) {
            if (buffer != 0 && alIsBuffer(buffer))
                alDeleteBuffers(1, &buffer);
            buffer = 0;
        }
        alGetError();
    }
    if (VorbisFile) {
        ov_clear(VorbisFile.get());
        VorbisFile.reset();
    }
    Reader.reset();
}

int32_t TOGG::Decode(int32_t size, bool& endReached) {
    endReached = true;
    if (size < 1 || !VorbisFile)
        return 0;
    if (FillData.size() < static_cast<size_t>(size))
        FillData.resize(static_cast<size_t>(size));
    int32_t filled = 0;
    long n = 0;
    while (filled < size) {
        int section = 0;
        n = ov_read(VorbisFile.get(), FillData.data() + filled, size - filled, 0, 2, 1, &section);
        if (n <= 0)
            break;
        // A chained file may switch layout; what follows is not ours to play.
        vorbis_info* info = ov_info(VorbisFile.get(), section);
        if (!info || info->channels != Channels || info->rate != Rate) {
            n = 0;
            break;
        }
        filled += static_cast<int32_t>(n);
    }
    endReached = n <= 0;
    return filled;
}

int32_t TOGG::FillBuffer(ALuint buffer, int32_t size, bool& endReached) {
    int32_t bytes = Decode(size, endReached);
    if (bytes > 0) {
        std::lock_guard<std::recursive_mutex> guard(SoundLock());
        alBufferData(buffer, Format, FillData.data(), bytes, Rate);
        RequireALNoError();
    }
    return bytes;
}

int TOGG::GetState() {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    if (Source == 0)
        return OggStateOther;
    ALint state = 0;
    alGetSourcei(Source, AL_SOURCE_STATE, &state);
    switch (state) {
    case AL_INITIAL:
        return OggStateInitial;
    case AL_PLAYING:
        return OggStatePlaying;
    case AL_PAUSED:
        return OggStatePaused;
    case AL_STOPPED:
        return OggStateStopped;
    default:
        return OggStateOther;
    }
}

void TOGG::Play() {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    if (Source == 0)
        return;
    const int state = GetState();
    if (state == OggStatePaused) {
        alSourcePlay(Source);
        return;
    }
    if (state == OggStatePlaying)
        return;
    alSourcePlay(Source);
    if (Streaming && !ThreadRunning) {
        if (Thread.joinable())
            Thread.join();
        ThreadRunning = true;
        Thread = std::thread(&TOGG::ThreadProc, this);
    }
}

void TOGG::Pause() {
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    if (Source != 0)
        alSourcePause(Source);
}

void TOGG::Stop() {
    {
        std::lock_guard<std::recursive_mutex> guard(SoundLock());
        {
            // Cleared before the source stops, so that the worker never mistakes
            // this stop for a buffer underrun.
            std::lock_guard<std::mutex> wait(WaitLock);
            ThreadRunning = false;
        }
        WakeUp.notify_all();
        if (Source != 0)
            alSourceStop(Source);
    }
    // The caller may still hold the module lock; the worker only try-locks it and
    // gives up once ThreadRunning is false, so this cannot deadlock.
    if (Thread.joinable())
        Thread.join();
}

void TOGG::SetVolume(int percent) {
    percent = std::max(0, std::min(100, percent));
    std::lock_guard<std::recursive_mutex> guard(SoundLock());
    if (Source != 0)
        alSourcef(Source, AL_GAIN, static_cast<float>(percent) / 100.0f);
}

bool TOGG::LockForWorker(std::unique_lock<std::recursive_mutex>& lock) {
    while (ThreadRunning) {
        if (lock.try_lock())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

bool TOGG::WorkerCheck() {
    if (!WorkerReported) {
        if (CheckALError())
            return true;
        WorkerReported = true;
        return false;
    }
    return alGetError() == AL_NO_ERROR;
}

void TOGG::Update() {
    if (!Streaming || Source == 0 || !VorbisFile)
        return;
    std::unique_lock<std::recursive_mutex> lock(SoundLock(), std::defer_lock);
    if (!LockForWorker(lock))
        return;
    alGetError();
    ALint processed = 0;
    alGetSourcei(Source, AL_BUFFERS_PROCESSED, &processed);
    if (!WorkerCheck())
        return;
    lock.unlock();

    bool queued = false;
    for (ALint i = 0; i < processed; ++i) {
        ALuint buffer = 0;
        if (!LockForWorker(lock))
            return;
        alSourceUnqueueBuffers(Source, 1, &buffer);
        if (!WorkerCheck())
            return;
        lock.unlock();

        // Decoding happens without the lock: the decoder belongs to this thread
        // while it runs.
        bool endReached = false;
        int32_t bytes = Decode(BufferSize, endReached);
        if (endReached && Looping) {
            ov_pcm_seek(VorbisFile.get(), 0);
            ++Rewinds;
            if (bytes == 0) {
                // The previous fill ended exactly at the end: start over at once,
                // or this buffer would drop out of the rotation for good.
                bytes = Decode(BufferSize, endReached);
                if (endReached) {
                    ov_pcm_seek(VorbisFile.get(), 0);
                    ++Rewinds;
                }
            }
        }
        if (bytes <= 0)
            continue;  // a piece that is not looped ends when both buffers have drained

        if (!LockForWorker(lock))
            return;
        alBufferData(buffer, Format, FillData.data(), bytes, Rate);
        if (!WorkerCheck())
            return;
        alSourceQueueBuffers(Source, 1, &buffer);
        if (!WorkerCheck())
            return;
        lock.unlock();
        ++Refills;
        queued = true;
    }

    if (queued) {
        if (!LockForWorker(lock))
            return;
        // The source ran dry before the refill (a stalled machine): carry on.
        ALint state = 0;
        alGetSourcei(Source, AL_SOURCE_STATE, &state);
        if (state == AL_STOPPED && ThreadRunning)
            alSourcePlay(Source);
        alGetError();
    }
}

void TOGG::ThreadProc() {
    while (ThreadRunning) {
        Update();
        std::unique_lock<std::mutex> wait(WaitLock);
        WakeUp.wait_for(wait, std::chrono::milliseconds(100), [this] { return !ThreadRunning; });
    }
}

// ---------------------------------------------------------------------------

bool ReadOggInfo(const std::string& fileName, TOggInfo& result, std::string* problem) {
    TStream reader(fileName);
    if (!reader.IsOpen()) {
        if (problem)
            *problem = "file cannot be opened";
        return false;
    }
    OggVorbis_File file{};
    if (ov_open_callbacks(&reader, &file, nullptr, 0, OggCallbacks) < 0) {
        if (problem)
            *problem = "not an Ogg Vorbis file";
        return false;
    }
    bool ok = false;
    if (vorbis_info* info = ov_info(&file, -1)) {
        result.Channels = info->channels;
        result.Rate = static_cast<int>(info->rate);
        result.PcmSamples = ov_pcm_total(&file, -1);
        ok = result.PcmSamples >= 0;
        if (!ok && problem)
            *problem = "the stream length cannot be found";
    } else if (problem) {
        *problem = "the stream has no header";
    }
    ov_clear(&file);
    return ok;
}
