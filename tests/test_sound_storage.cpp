// The sound storage on the null OpenAL device: name rules, lazy buffers, use
// counts and how files that cannot be loaded are reported.

#include "test_sound_support.h"

#include "sound/e_SoundManager.h"
#include "sound/e_SoundPlayer.h"

#include <gtest/gtest.h>

using namespace soundtest;

namespace {

class SoundStorage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(InitSound(game.root, "Data/Sounds/"));
        InitSoundStorage(Log, game.root, "Data/Sounds/");
    }
    void TearDown() override {
        DoneSound();
        DoneSoundStorage();
    }
    GameFolder game;
};

}  // namespace

TEST_F(SoundStorage, OneEntryWhateverTheNameLooksLike) {
    game.WriteSound("Aga.wav", MakeWave({}));
    const int bare = GetSoundIndex("Aga");
    ASSERT_GE(bare, 0);
    EXPECT_EQ(GetSoundIndex("aga.WAV"), bare);
    EXPECT_EQ(GetSoundIndex(game.root + "data/sounds/AGA.wav"), bare);
    EXPECT_EQ(GetSoundIndex(game.root + "Data\\Sounds\\aga"), bare);
    EXPECT_EQ(StoredSoundCount(), 1);
    const TStoragesSound* sound = GetStoredSound(bare);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->UseCount, 4);
    EXPECT_EQ(sound->FileName, game.root + "Data/Sounds/AGA.WAV");
    EXPECT_NE(CountOf(game.LogText(), "CreateSound: \"" + sound->FileName + "\" - complete."), 0u);
    EXPECT_EQ(CountOf(game.LogText(), "Sound Storage Init - complete."), 1u);
}

TEST_F(SoundStorage, BufferIsMadeOnFirstUseAndShared) {
    WaveSpec wave;
    wave.samples.assign(441, 0x22);  // not a whole number of 16-bit frames
    game.WriteSound("GO.WAV", MakeWave(wave));
    int index = -1;
    for (int i = 0; i < 3; ++i)
        index = GetSoundIndex("Go");
    const TStoragesSound* sound = GetStoredSound(index);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->UseCount, 3);
    EXPECT_FALSE(sound->BufferReady);

    const ALuint buffer = GetSoundBuffer(index);
    ASSERT_NE(buffer, 0u);
    EXPECT_TRUE(sound->BufferReady);
    EXPECT_EQ(GetSoundBuffer(index), buffer);
    ALint size = 0, frequency = 0;
    alGetBufferi(buffer, AL_SIZE, &size);
    alGetBufferi(buffer, AL_FREQUENCY, &frequency);
    EXPECT_EQ(size, 440);  // the stray byte is not uploaded
    EXPECT_EQ(frequency, 22050);
    EXPECT_EQ(sound->SoundData.Data.size(), 441u);  // but stays with the samples

    EXPECT_EQ(GetSoundBuffer(-1), 0u);
    EXPECT_EQ(GetSoundBuffer(index + 1), 0u);
}

TEST_F(SoundStorage, UnloadableNamesAreReportedOnceEach) {
    WaveSpec broken;
    broken.withData = false;
    game.WriteSound("Broken.wav", MakeWave(broken));
    game.WriteSound("Music.mp3", {1, 2, 3});

    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(GetSoundIndex("Missing"), -1);
        EXPECT_EQ(GetSoundIndex("broken"), -1);
        EXPECT_EQ(GetSoundIndex("Music.mp3"), -1);
    }
    const std::string log = game.LogText();
    const std::string dir = game.sounds;
    EXPECT_EQ(CountOf(log, "File \"" + dir + "MISSING.WAV\" not found"), 1u);
    EXPECT_EQ(CountOf(log, "Файл \"" + dir + "BROKEN.WAV\" поврежден. Загрузка невозможна."), 1u);
    EXPECT_EQ(CountOf(log, "File \"" + dir + "MUSIC.MP3\" unknown type"), 1u);
    EXPECT_EQ(CountOf(log, "Program Message:"), 3u);
    // The log says what is wrong with the damaged one.
    EXPECT_NE(log.find("no \"data\" chunk"), std::string::npos);
    EXPECT_EQ(StoredSoundCount(), 0);

    EXPECT_EQ(GetSoundIndex(""), -1);
    EXPECT_EQ(GetSoundIndex("Data/Sounds/"), -1);
}

TEST_F(SoundStorage, BuffersGoWithTheDeviceAndComeBackWithIt) {
    game.WriteSound("Dead1.wav", MakeWave({}));
    const int index = GetSoundIndex("Dead1");
    ASSERT_NE(GetSoundBuffer(index), 0u);
    DoneSound();
    EXPECT_FALSE(GetStoredSound(index)->BufferReady);
    EXPECT_EQ(GetSoundBuffer(index), 0u);  // no device, no buffer
    ASSERT_TRUE(InitSound(game.root, "Data/Sounds/"));
    EXPECT_NE(GetSoundBuffer(index), 0u);
}

// Only the part below the sounds folder is spelt in capitals: a game installed in
// "Game/" next to a folder "GAME/" plays its own effects, and says so in the log.
TEST_F(SoundStorage, TheInstallFolderKeepsItsCase) {
    const std::string own = game.root + "Game/", other = game.root + "GAME/";
    WaveSpec mine, theirs;
    theirs.rate = 11025;
    WriteBytes(own + "Data/Sounds/Hit.wav", MakeWave(mine));
    WriteBytes(other + "Data/Sounds/HIT.WAV", MakeWave(theirs));
    WriteBytes(other + "Data/Sounds/ONLYTHERE.WAV", MakeWave(theirs));
    InitSoundStorage(Log, own, "Data/Sounds/");

    const int hit = GetSoundIndex("hit");
    ASSERT_GE(hit, 0);
    EXPECT_EQ(GetSoundIndex(own + "data/sounds/Hit"), hit);
    const TStoragesSound* sound = GetStoredSound(hit);
    EXPECT_EQ(sound->FileName, own + "Data/Sounds/HIT.WAV");
    EXPECT_EQ(sound->SoundData.Frequency, 22050);
    EXPECT_EQ(GetSoundIndex("OnlyThere"), -1);
    const std::string log = game.LogText();
    EXPECT_EQ(CountOf(log, "CreateSound: \"" + own + "Data/Sounds/HIT.WAV\" - complete."), 1u);
    EXPECT_EQ(CountOf(log, "File \"" + own + "Data/Sounds/ONLYTHERE.WAV\" not found"), 1u);
}
