// A machine without a sound device: the game goes on silently.

#include "test_sound_support.h"

#include "sound/e_SoundManager.h"
#include "sound/e_SoundPlayer.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace soundtest;

namespace {

// OpenAL reads its driver list once, at its first call: before any test runs.
const bool noDrivers = setenv("ALSOFT_DRIVERS", "none", 1) == 0;

}  // namespace

TEST(NoSoundDevice, EverythingIsSilentAndNothingFails) {
    ASSERT_TRUE(noDrivers);
    GameFolder game;
    game.WriteSound("YesSir.wav", MakeWave({}));
    WriteBytes(game.sounds + "Muz_1.ogg", EncodeOgg(Tone(1, 8000, 0.2), 1, 8000));

    EXPECT_FALSE(InitSound(game.root, "Data/Sounds/"));
    EXPECT_FALSE(SoundAvailable());
    InitSoundStorage(Log, game.root, "Data/Sounds/");

    const int s = NewSource({});
    EXPECT_EQ(s, -1);
    PlaySound(s, "YesSir", false);
    PlaySound(0, "YesSir", false);
    EXPECT_FALSE(IsSourcePlaying(0));
    StopSource(0);
    FreeSource(0);

    // The storage still reads its files; it just makes no buffers.
    const int index = GetSoundIndex("YesSir");
    EXPECT_GE(index, 0);
    EXPECT_EQ(GetSoundBuffer(index), 0u);

    PlayMusic("Muz_1");
    EXPECT_EQ(GetMusicPlayer(), nullptr);
    ResumeMusic();
    SetMusicVolume(40);
    PauseMusic();

    EXPECT_EQ(CountOf(game.LogText(), "Default sound device not present"), 1u);
    DoneSound();
    DoneSoundStorage();
}
