// The WAV reader: what it accepts, what it refuses, and that no input makes it
// read outside the file.

#include "test_sound_support.h"

#include "sound/e_SoundLoader.h"

#include <gtest/gtest.h>

#include <random>

using namespace soundtest;

namespace {

bool Load(const std::vector<uint8_t>& file, TStoredSoundData& sound, std::string* problem = nullptr) {
    return LoadWave(file.data(), file.size(), sound, problem);
}

std::vector<uint8_t> Bytes(size_t n, uint8_t start = 0) {
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<uint8_t>(start + i);
    return out;
}

}  // namespace

TEST(WaveReader, FormatCodesFollowChannelsAndDepth) {
    const struct {
        uint16_t channels, bits;
        int32_t format;
    } cases[] = {{1, 8, 0x1100}, {1, 16, 0x1101}, {2, 8, 0x1102}, {2, 16, 0x1103}};
    for (const auto& c : cases) {
        WaveSpec wave;
        wave.channels = c.channels;
        wave.bits = c.bits;
        wave.rate = 11025;
        wave.samples = Bytes(64, 7);
        TStoredSoundData sound;
        ASSERT_TRUE(Load(MakeWave(wave), sound)) << c.channels << "/" << c.bits;
        EXPECT_EQ(sound.Format, c.format);
        EXPECT_EQ(sound.Frequency, 11025);
        EXPECT_EQ(sound.Size, 64);
        EXPECT_EQ(sound.Data, wave.samples);
    }
}

TEST(WaveReader, LongerFmtChunkAndForeignChunksAreSkipped) {
    WaveSpec wave;
    wave.fmtSize = 18;
    wave.samples = Bytes(100, 3);
    wave.before = {{"LIST", Bytes(26, 0xAA)}, {"fact", Bytes(4, 0xBB)}};
    TStoredSoundData sound;
    ASSERT_TRUE(Load(MakeWave(wave), sound));
    EXPECT_EQ(sound.Data, wave.samples);

    // An odd chunk followed by its RIFF pad byte, and one written without the pad.
    wave.before = {{"junk", Bytes(5, 0xCC)}};
    ASSERT_TRUE(Load(MakeWave(wave), sound));
    EXPECT_EQ(sound.Data, wave.samples);
    auto unpadded = MakeWave(wave);
    unpadded.erase(unpadded.begin() + 20 + 18 + 8 + 5);
    ASSERT_TRUE(Load(unpadded, sound));
    EXPECT_EQ(sound.Data, wave.samples);
}

TEST(WaveReader, DamagedFilesAreRefusedWithAReason) {
    auto refused = [](const std::vector<uint8_t>& file, const std::string& reasonPart) {
        TStoredSoundData sound;
        std::string problem;
        EXPECT_FALSE(Load(file, sound, &problem));
        EXPECT_NE(problem.find(reasonPart), std::string::npos) << problem;
    };
    WaveSpec good;
    auto base = MakeWave(good);

    refused(std::vector<uint8_t>(base.begin(), base.begin() + 35), "shorter");
    refused({}, "shorter");

    WaveSpec shortFmt;
    shortFmt.fmtSize = 14;
    auto file = MakeWave(shortFmt);
    refused(file, "shorter than 16");

    auto hugeFmt = base;
    hugeFmt[16] = 0xFF, hugeFmt[17] = 0xFF, hugeFmt[18] = 0xFF, hugeFmt[19] = 0x7F;
    refused(hugeFmt, "past the end");

    auto truncated = base;
    truncated.resize(truncated.size() - 1);
    refused(truncated, "past the end");

    auto hugeData = base;
    const size_t sizeAt = 20 + 16 + 4;
    hugeData[sizeAt] = hugeData[sizeAt + 1] = hugeData[sizeAt + 2] = hugeData[sizeAt + 3] = 0xFF;
    refused(hugeData, "past the end");

    for (auto [channels, bits] : {std::pair<uint16_t, uint16_t>{3, 16}, {0, 16}, {1, 24}, {2, 32}, {1, 4}}) {
        WaveSpec wave;
        wave.channels = channels;
        wave.bits = bits;
        refused(MakeWave(wave), "mono or stereo");
    }

    WaveSpec noData;
    noData.withData = false;
    noData.before = {{"LIST", Bytes(8)}};
    refused(MakeWave(noData), "data");

    WaveSpec adpcm;
    adpcm.formatTag = 2;
    refused(MakeWave(adpcm), "compressed");

    WaveSpec noRate;
    noRate.rate = 0;
    refused(MakeWave(noRate), "rate");

    auto notRiff = base;
    std::memcpy(notRiff.data(), "RIFX", 4);
    refused(notRiff, "RIFF");
}

TEST(WaveReader, StreamRoundTripAndTruncatedStream) {
    TStoredSoundData sound;
    sound.Format = 0x1103;
    sound.Frequency = 44100;
    sound.Data = Bytes(40);
    sound.Size = 40;
    auto stream = WriteSoundStream(sound);
    ASSERT_EQ(stream.size(), 52u);
    TStoredSoundData back;
    ASSERT_TRUE(ReadSoundStream(stream, back));
    EXPECT_EQ(back.Format, 0x1103);
    EXPECT_EQ(back.Frequency, 44100);
    EXPECT_EQ(back.Size, 40);
    EXPECT_EQ(back.Data, sound.Data);

    stream.pop_back();
    EXPECT_FALSE(ReadSoundStream(stream, back));
    EXPECT_FALSE(ReadSoundStream({1, 2, 3}, back));
}

TEST(WaveReader, LoadWaveFileFindsTheFileWithoutRegardToCase) {
    TempDir dir;
    WaveSpec wave;
    WriteBytes(dir.file("Snd/Hit.wav"), MakeWave(wave));
    auto stream = LoadWaveFile(dir.path() + "/SND/HIT.WAV");
    ASSERT_TRUE(stream.has_value());
    EXPECT_EQ(stream->size(), 12 + wave.samples.size());
    std::string problem;
    EXPECT_FALSE(LoadWaveFile(dir.path() + "/missing.wav", &problem).has_value());
    EXPECT_FALSE(problem.empty());
}

// Mutated and cut copies of valid files: the reader may refuse them, but must
// stay inside the bytes it was given (run under AddressSanitizer to be sure).
TEST(WaveReader, MutatedFilesNeverReadOutOfBounds) {
    WaveSpec wave;
    wave.fmtSize = 18;
    wave.before = {{"LIST", Bytes(11)}};
    wave.samples = Bytes(33);
    const auto base = MakeWave(wave);
    std::mt19937 random(7);
    for (int round = 0; round < 4000; ++round) {
        auto file = base;
        const int changes = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < changes; ++i)
            file[random() % file.size()] = static_cast<uint8_t>(random());
        if (round % 3 == 0)
            file.resize(random() % (file.size() + 1));
        // A copy in a heap block of exactly its size, so that any overrun is caught.
        std::vector<uint8_t> exact(file.begin(), file.end());
        TStoredSoundData sound;
        if (LoadWave(exact.data(), exact.size(), sound)) {
            EXPECT_EQ(static_cast<size_t>(sound.Size), sound.Data.size());
            EXPECT_NE(SoundFrameBytes(sound.Format), 0);
            EXPECT_GT(sound.Frequency, 0);
        }
    }
}
