#pragma once
// The WAV reader: a RIFF/WAVE file becomes an OpenAL format code, a sample rate
// and the sample bytes of its "data" chunk. It never touches OpenAL, so it can be
// used by tools and on any thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// OpenAL's format codes (AL_FORMAT_MONO8 ... AL_FORMAT_STEREO16).
constexpr int32_t SoundFormatMono8 = 0x1100;
constexpr int32_t SoundFormatMono16 = 0x1101;
constexpr int32_t SoundFormatStereo8 = 0x1102;
constexpr int32_t SoundFormatStereo16 = 0x1103;

struct TStoredSoundData {
    int32_t Format = 0;
    int32_t Frequency = 0;
    // Number of bytes in Data.
    int32_t Size = 0;
    std::vector<uint8_t> Data;
};

// Bytes of one sample frame for a format code (0 for an unknown code).
int32_t SoundFrameBytes(int32_t format);

// Reads a whole WAV file image. Gives false for anything that cannot be played:
// a short header, a fmt chunk under 16 bytes, a chunk running past the end, a
// channel count other than 1 or 2, a depth other than 8 or 16 bits, a compressed
// format, a sample rate of 0 or less, or no "data" chunk. `problem` (when given)
// receives a short English reason.
bool LoadWave(const uint8_t* bytes, size_t size, TStoredSoundData& sound, std::string* problem = nullptr);

// The loaded-sound stream handed from the reader to the storage (little-endian):
// offset 0 Format, 4 Frequency, 8 Size, 12 the Size sample bytes.
std::vector<uint8_t> WriteSoundStream(const TStoredSoundData& sound);
// Reads the stream back; false when it is shorter than its own header says.
bool ReadSoundStream(const std::vector<uint8_t>& stream, TStoredSoundData& sound);

// Reads the file (found without regard to case) and runs LoadWave on it. Nothing
// when the file cannot be read or is not a playable WAV.
std::optional<std::vector<uint8_t>> LoadWaveFile(const std::string& fileName, std::string* problem = nullptr);
