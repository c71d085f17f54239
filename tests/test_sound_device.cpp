// The source table on the null OpenAL device: handles, reuse and playing by name.

#include "test_sound_support.h"

#include "sound/e_SoundManager.h"
#include "sound/e_SoundPlayer.h"

#include <gtest/gtest.h>

using namespace soundtest;

namespace {

class SoundDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        WaveSpec longOne;
        longOne.samples.assign(22050 * 2 * 4, 0);  // four seconds, long enough to still be playing
        game.WriteSound("Battle1.wav", MakeWave(longOne));
        game.WriteSound("Finish.wav", MakeWave(longOne));
        ASSERT_TRUE(InitSound(game.root, "Data/Sounds"));
        InitSoundStorage(Log, game.root, "Data/Sounds");
    }
    void TearDown() override {
        DoneSound();
        DoneSoundStorage();
    }
    ALuint Attached(int index) {
        ALint buffer = 0;
        alGetSourcei(SoundDevice->Sources[static_cast<size_t>(index)]->SourceId, AL_BUFFER, &buffer);
        return static_cast<ALuint>(buffer);
    }
    GameFolder game;
};

}  // namespace

TEST_F(SoundDeviceTest, ListenerAndNewSourcesStartAsSetUp) {
    ALfloat orientation[6] = {};
    alGetListenerfv(AL_ORIENTATION, orientation);
    EXPECT_FLOAT_EQ(orientation[2], -1.0f);
    EXPECT_FLOAT_EQ(orientation[4], 1.0f);

    const int index = NewSource({1.0f, 2.0f, -3.0f});
    ASSERT_EQ(index, 0);
    const ALuint id = SoundDevice->Sources[0]->SourceId;
    ALfloat x = 0, y = 0, z = 0, gain = 0, pitch = 0;
    ALint looping = -1;
    alGetSource3f(id, AL_POSITION, &x, &y, &z);
    alGetSourcef(id, AL_GAIN, &gain);
    alGetSourcef(id, AL_PITCH, &pitch);
    alGetSourcei(id, AL_LOOPING, &looping);
    EXPECT_EQ(x, 1.0f);
    EXPECT_EQ(y, 2.0f);
    EXPECT_EQ(z, -3.0f);
    EXPECT_EQ(gain, 1.0f);
    EXPECT_EQ(pitch, 1.0f);
    EXPECT_EQ(looping, AL_FALSE);
}

TEST_F(SoundDeviceTest, FreedSlotsAreReusedAndOtherHandlesStay) {
    const int a = NewSource({});
    const int b = NewSource({});
    const int c = NewSource({});
    ASSERT_EQ(a, 0);
    ASSERT_EQ(b, 1);
    ASSERT_EQ(c, 2);
    const ALuint idB = SoundDevice->Sources[1]->SourceId;
    const ALuint idC = SoundDevice->Sources[2]->SourceId;

    FreeSource(a);
    FreeSource(a);  // twice is harmless
    FreeSource(-1);
    FreeSource(99);
    EXPECT_EQ(NewSource({}), 0);
    EXPECT_EQ(SoundDevice->Sources[1]->SourceId, idB);
    EXPECT_EQ(SoundDevice->Sources[2]->SourceId, idC);
    EXPECT_EQ(NewSource({}), 3);
}

TEST_F(SoundDeviceTest, PlayingRestartsWithTheNewSound) {
    const int s = NewSource({0.0f, 0.0f, -1.0f});
    PlaySound(s, "Battle1", false);
    EXPECT_TRUE(IsSourcePlaying(s));
    const ALuint battle = GetSoundBuffer(GetSoundIndex("Battle1"));
    EXPECT_EQ(Attached(s), battle);

    PlaySound(s, "Finish", true);
    EXPECT_TRUE(IsSourcePlaying(s));
    EXPECT_EQ(Attached(s), GetSoundBuffer(GetSoundIndex("Finish")));
    ALint looping = 0;
    alGetSourcei(SoundDevice->Sources[0]->SourceId, AL_LOOPING, &looping);
    EXPECT_EQ(looping, AL_TRUE);

    StopSource(s);
    EXPECT_FALSE(IsSourcePlaying(s));

    // A sound that cannot be had leaves the source stopped rather than replaying the old one.
    PlaySound(s, "Battle1", false);
    PlaySound(s, "NoSuchSound", false);
    EXPECT_FALSE(IsSourcePlaying(s));
    EXPECT_EQ(CountOf(game.LogText(), "NOSUCHSOUND.WAV\" not found"), 1u);
}

TEST_F(SoundDeviceTest, InvalidHandlesDoNothing) {
    EXPECT_FALSE(IsSourcePlaying(-1));
    EXPECT_FALSE(IsSourcePlaying(0));
    const int s = NewSource({});
    PlaySound(s, "Battle1", false);
    FreeSource(s);
    EXPECT_FALSE(IsSourcePlaying(s));
    PlaySound(s, "Battle1", false);
    StopSource(s);
    PlaySound(-5, "Battle1", false);
    StopSource(1000);
    EXPECT_FALSE(IsSourcePlaying(s));
}

TEST_F(SoundDeviceTest, LoopingIsSentOnlyWhenItChanges) {
    const int s = NewSource({});
    TSndSource& source = *SoundDevice->Sources[static_cast<size_t>(s)];
    // Changed behind the object's back: an unchanged flag must not overwrite it.
    alSourcei(source.SourceId, AL_LOOPING, AL_TRUE);
    source.SetLooping(false);
    ALint looping = 0;
    alGetSourcei(source.SourceId, AL_LOOPING, &looping);
    EXPECT_EQ(looping, AL_TRUE);

    source.SetLooping(true);
    alSourcei(source.SourceId, AL_LOOPING, AL_FALSE);
    source.SetLooping(true);
    alGetSourcei(source.SourceId, AL_LOOPING, &looping);
    EXPECT_EQ(looping, AL_FALSE);
    source.SetLooping(false);
    source.SetLooping(true);
    alGetSourcei(source.SourceId, AL_LOOPING, &looping);
    EXPECT_EQ(looping, AL_TRUE);
}
