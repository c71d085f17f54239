#include "sound/e_SoundLoader.h"

#include "app/e_ByteReader.h"
#include "app/e_Platform.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

bool Fail(std::string* problem, const char* text) {
    if (problem)
        *problem = text;
    return false;
}

constexpr size_t HeaderSize = 36;
constexpr uint16_t FormatTagPcm = 1;
constexpr uint16_t FormatTagExtensible = 0xFFFE;

}  // namespace

int32_t SoundFrameBytes(int32_t format) {
    switch (format) {
    case SoundFormatMono8:
        return 1;
    case SoundFormatMono16:
        return 2;
    case SoundFormatStereo8:
        return 2;
    case SoundFormatStereo16:
        return 4;
    default:
        return 0;
    }
}

bool LoadWave(const uint8_t* bytes, size_t size, TStoredSoundData& sound, std::string* problem) {
    if (!bytes || size < HeaderSize)
        return Fail(problem, "file is shorter than a WAVE header");
    if (std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return Fail(problem, "not a RIFF/WAVE file");
    if (std::memcmp(bytes + 12, "fmt ", 4) != 0)
        return Fail(problem, "the fmt chunk does not follow the RIFF header");

    const uint32_t fmtSize = LoadLE32(bytes + 16);
    const uint16_t formatTag = LoadLE16(bytes + 20);
    const uint16_t channels = LoadLE16(bytes + 22);
    const uint32_t rate = LoadLE32(bytes + 24);
    const uint16_t bits = LoadLE16(bytes + 34);

    if (fmtSize < 16)
        return Fail(problem, "fmt chunk is shorter than 16 bytes");
    if (fmtSize > size - 20)
        return Fail(problem, "fmt chunk runs past the end of the file");
    if (formatTag != FormatTagPcm && formatTag != FormatTagExtensible)
        return Fail(problem, "samples are compressed (only PCM is played)");
    if (rate == 0 || rate > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
        return Fail(problem, "sample rate is out of range");

    int32_t format = 0;
    if (channels == 1 && bits == 8)
        format = SoundFormatMono8;
    else if (channels == 1 && bits == 16)
        format = SoundFormatMono16;
    else if (channels == 2 && bits == 8)
        format = SoundFormatStereo8;
    else if (channels == 2 && bits == 16)
        format = SoundFormatStereo16;
    else
        return Fail(problem, "only mono or stereo with 8 or 16 bits per sample is played");

    size_t pos = 20 + static_cast<size_t>(fmtSize);
    bool found = false;
    TStoredSoundData result;
    result.Format = format;
    result.Frequency = static_cast<int32_t>(rate);

    // A few trailing bytes too short to hold a chunk header are not a chunk.
    while (size - pos >= 8) {
        const uint8_t* id = bytes + pos;
        const uint32_t chunkSize = LoadLE32(bytes + pos + 4);
        pos += 8;
        if (chunkSize > size - pos)
            return Fail(problem, "a chunk runs past the end of the file");
        if (std::memcmp(id, "data", 4) == 0) {
            if (chunkSize > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
                return Fail(problem, "data chunk is too large");
            result.Size = static_cast<int32_t>(chunkSize);
            result.Data.assign(bytes + pos, bytes + pos + chunkSize);
            found = true;
        }
        pos += chunkSize;
        // Writers that follow RIFF pad odd chunks with a zero byte; chunk names
        // never begin with one, so such a byte can be skipped without ambiguity.
        if ((chunkSize & 1) != 0 && pos < size && bytes[pos] == 0)
            ++pos;
    }
    if (!found)
        return Fail(problem, "there is no \"data\" chunk");

    sound = std::move(result);
    return true;
}

std::vector<uint8_t> WriteSoundStream(const TStoredSoundData& sound) {
    std::vector<uint8_t> out;
    const size_t size = std::min(static_cast<size_t>(std::max<int32_t>(sound.Size, 0)), sound.Data.size());
    out.reserve(12 + size);
    AppendLE32(out, static_cast<uint32_t>(sound.Format));
    AppendLE32(out, static_cast<uint32_t>(sound.Frequency));
    AppendLE32(out, static_cast<uint32_t>(size));
    out.insert(out.end(), sound.Data.begin(), sound.Data.begin() + static_cast<std::ptrdiff_t>(size));
    return out;
}

bool ReadSoundStream(const std::vector<uint8_t>& stream, TStoredSoundData& sound) {
    if (stream.size() < 12)
        return false;
    const int32_t size = static_cast<int32_t>(LoadLE32(stream.data() + 8));
    if (size < 0 || static_cast<size_t>(size) > stream.size() - 12)
        return false;
    sound.Format = static_cast<int32_t>(LoadLE32(stream.data()));
    sound.Frequency = static_cast<int32_t>(LoadLE32(stream.data() + 4));
    sound.Size = size;
    sound.Data.assign(stream.begin() + 12, stream.begin() + 12 + size);
    return true;
}

std::optional<std::vector<uint8_t>> LoadWaveFile(const std::string& fileName, std::string* problem) {
    auto file = ReadWholeFile(fileName);
    if (!file) {
        if (problem)
            *problem = "file cannot be read";
        return std::nullopt;
    }
    TStoredSoundData sound;
    if (!LoadWave(file->data(), file->size(), sound, problem))
        return std::nullopt;
    return WriteSoundStream(sound);
}
