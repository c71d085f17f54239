// The music player on the null OpenAL device: the game's whole-piece looping and
// the streaming worker (also run under ThreadSanitizer).

#include "test_sound_support.h"

#include "sound/_ogg.h"
#include "sound/e_SoundPlayer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

using namespace soundtest;

namespace {

class Music : public ::testing::Test {
protected:
    void SetUp() override {
        OggStreamBufferSize = DefaultOggStreamBufferSize;
        ASSERT_TRUE(InitSound(game.root, "Data/Sounds/"));
        SetMusicVolume(100);
    }
    void TearDown() override {
        DoneSound();
        OggStreamBufferSize = DefaultOggStreamBufferSize;
    }
    std::string WritePiece(const std::string& name, int channels, int rate, double seconds) {
        const std::string path = game.sounds + name;
        WriteBytes(path, EncodeOgg(Tone(channels, rate, seconds), channels, rate));
        return path;
    }
    static float Gain(const TOGG& player) {
        ALfloat gain = -1.0f;
        alGetSourcef(player.Source, AL_GAIN, &gain);
        return gain;
    }
    // Waits up to `seconds` for `done`, checking every 20 ms.
    static bool WaitFor(double seconds, const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return done();
    }
    GameFolder game;
};

}  // namespace

TEST_F(Music, PieceIsDecodedWholeAndLoopedByOpenAL) {
    WritePiece("Muz_1.ogg", 2, 22050, 0.5);
    TOggInfo info;
    ASSERT_TRUE(ReadOggInfo(game.sounds + "Muz_1.ogg", info));
    EXPECT_EQ(info.Channels, 2);
    EXPECT_EQ(info.Rate, 22050);

    SetMusicVolume(40);
    PlayMusic("Muz_1");
    TOGG* player = GetMusicPlayer();
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(player->HasSound()) << player->Problem;
    EXPECT_FALSE(player->Streaming);
    EXPECT_TRUE(player->Looping);
    EXPECT_EQ(player->Format, 0x1103);
    EXPECT_EQ(player->Rate, 22050);
    EXPECT_EQ(player->Buffers[1], 0u);
    ALint looping = 0, attached = 0, size = 0;
    alGetSourcei(player->Source, AL_LOOPING, &looping);
    alGetSourcei(player->Source, AL_BUFFER, &attached);
    alGetBufferi(player->Buffers[0], AL_SIZE, &size);
    EXPECT_EQ(looping, AL_TRUE);
    EXPECT_EQ(static_cast<ALuint>(attached), player->Buffers[0]);
    EXPECT_EQ(size, info.PcmSamples * 4);
    EXPECT_FLOAT_EQ(Gain(*player), 0.4f);

    // Loaded, not started: the scene starts it with ResumeMusic.
    EXPECT_EQ(player->GetState(), OggStateInitial);
    ResumeMusic();
    EXPECT_EQ(player->GetState(), OggStatePlaying);
    PauseMusic();
    EXPECT_EQ(player->GetState(), OggStatePaused);
    ResumeMusic();
    EXPECT_EQ(player->GetState(), OggStatePlaying);
    // Longer than the piece: OpenAL's looping keeps it going.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(player->GetState(), OggStatePlaying);
}

TEST_F(Music, TheBareNameDecidesWhichPieceAndWhetherItChanges) {
    WritePiece("MUZ_1.OGG", 1, 8000, 0.3);
    WritePiece("Muz_2.ogg", 1, 8000, 0.3);
    PlayMusic("Data/Sounds/Muz_1.wav");
    TOGG* first = GetMusicPlayer();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->HasSound()) << first->Problem;
    EXPECT_EQ(GetMusicName(), "Muz_1");
    ResumeMusic();

    PlayMusic("Muz_1.ogg");
    PlayMusic("elsewhere/Muz_1");
    EXPECT_EQ(GetMusicPlayer(), first);
    EXPECT_EQ(first->GetState(), OggStatePlaying);

    PlayMusic("Muz_2");
    EXPECT_EQ(GetMusicName(), "Muz_2");
    ASSERT_NE(GetMusicPlayer(), nullptr);
    EXPECT_TRUE(GetMusicPlayer()->HasSound());
    EXPECT_EQ(GetMusicPlayer()->GetState(), OggStateInitial);

    PlayMusic("");
    EXPECT_EQ(GetMusicName(), "Muz_2");
}

TEST_F(Music, VolumeIsClampedAndKeptForTheNextPiece) {
    WritePiece("Muz_1.ogg", 1, 8000, 0.2);
    WritePiece("Muz_2.ogg", 1, 8000, 0.2);
    PlayMusic("Muz_1");
    SetMusicVolume(150);
    EXPECT_FLOAT_EQ(Gain(*GetMusicPlayer()), 1.0f);
    SetMusicVolume(-20);
    EXPECT_FLOAT_EQ(Gain(*GetMusicPlayer()), 0.0f);
    SetMusicVolume(65);
    PlayMusic("Muz_2");
    EXPECT_FLOAT_EQ(Gain(*GetMusicPlayer()), 0.65f);
}

TEST_F(Music, MissingOrDamagedPiecesStaySilentAndAreLoggedOnce) {
    WritePiece("Muz_1.ogg", 1, 8000, 0.2);
    WriteBytes(game.sounds + "Noise.ogg", std::vector<uint8_t>(3000, 0x5A));
    for (int i = 0; i < 3; ++i) {
        PlayMusic("Lost");
        ASSERT_NE(GetMusicPlayer(), nullptr);
        EXPECT_FALSE(GetMusicPlayer()->HasSound());
        ResumeMusic();
        SetMusicVolume(50);
        PauseMusic();
        EXPECT_EQ(GetMusicPlayer()->GetState(), OggStateOther);
        PlayMusic("Noise");
        EXPECT_FALSE(GetMusicPlayer()->HasSound());
        PlayMusic("Muz_1");
        EXPECT_TRUE(GetMusicPlayer()->HasSound());
    }
    const std::string log = game.LogText();
    EXPECT_EQ(CountOf(log, "LOST.OGG") + CountOf(log, "Lost.OGG"), 1u) << log;
    EXPECT_EQ(CountOf(log, "Noise.OGG\": not an Ogg Vorbis file"), 1u) << log;
    EXPECT_EQ(CountOf(log, "Sound Module Message:"), 0u);
}

TEST_F(Music, CutPiecesNeverCrashTheDecoder) {
    const auto whole = EncodeOgg(Tone(2, 11025, 0.6), 2, 11025);
    ASSERT_GT(whole.size(), 400u);
    for (size_t keep :
         {size_t{0}, size_t{27}, size_t{100}, whole.size() / 3, whole.size() / 2, whole.size() - 1}) {
        WriteBytes(game.sounds + "Cut.ogg", std::vector<uint8_t>(whole.begin(), whole.begin() + keep));
        TOGG player(game.sounds + "Cut.ogg", true, false);
        player.Play();
        TOggInfo info;
        ReadOggInfo(game.sounds + "Cut.ogg", info);
    }
}

TEST_F(Music, ShortPiecesAreNeverStreamed) {
    const std::string path = WritePiece("Short.ogg", 1, 8000, 0.3);
    TOGG player(path, true, true);
    ASSERT_TRUE(player.HasSound());
    EXPECT_FALSE(player.Streaming);
    player.Play();
    EXPECT_FALSE(player.Thread.joinable());
}

TEST_F(Music, StreamingLoopsByRewindingAndPauseKeepsOneWorker) {
    OggStreamBufferSize = 8192;  // about 0.19 s of 22 kHz mono per buffer
    const std::string path = WritePiece("Stream.ogg", 1, 22050, 0.6);
    TOGG player(path, true, true);
    ASSERT_TRUE(player.HasSound()) << player.Problem;
    ASSERT_TRUE(player.Streaming);
    EXPECT_EQ(player.BufferSize, 8192);
    ALint queued = 0;
    alGetSourcei(player.Source, AL_BUFFERS_QUEUED, &queued);
    EXPECT_EQ(queued, 2);
    ALint looping = 1;
    alGetSourcei(player.Source, AL_LOOPING, &looping);
    EXPECT_EQ(looping, AL_FALSE);  // looping is the worker's rewinding

    player.Play();
    ASSERT_TRUE(player.Thread.joinable());
    const auto worker = player.Thread.get_id();
    int volume = 0;
    // The main thread keeps using the player while the worker refills it.
    EXPECT_TRUE(WaitFor(8.0, [&] {
        player.SetVolume(volume++ % 100);
        return player.Rewinds >= 2;
    }));
    EXPECT_EQ(player.GetState(), OggStatePlaying);

    player.Pause();
    EXPECT_EQ(player.GetState(), OggStatePaused);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    player.Play();
    EXPECT_EQ(player.GetState(), OggStatePlaying);
    EXPECT_EQ(player.Thread.get_id(), worker);

    const int before = player.Refills;
    EXPECT_TRUE(WaitFor(5.0, [&] { return player.Refills > before + 2; }));
    player.Stop();
    EXPECT_FALSE(player.ThreadRunning);
    EXPECT_FALSE(player.Thread.joinable());
    EXPECT_EQ(player.GetState(), OggStateStopped);
}

TEST_F(Music, StreamedPieceWithoutLoopingDrainsToStopped) {
    OggStreamBufferSize = 8192;
    const std::string path = WritePiece("Once.ogg", 2, 11025, 0.8);
    TOGG player(path, false, true);
    ASSERT_TRUE(player.Streaming);
    player.Play();
    EXPECT_TRUE(WaitFor(8.0, [&] { return player.GetState() == OggStateStopped; }));
    EXPECT_GE(player.Refills, 3);
    EXPECT_EQ(player.Rewinds, 0);
    // The worker keeps polling until the player is stopped or destroyed.
    EXPECT_TRUE(player.ThreadRunning);
}

TEST_F(Music, ReplacingAStreamedPieceJoinsItsWorker) {
    OggStreamBufferSize = 8192;
    const std::string path = WritePiece("Stream.ogg", 1, 22050, 0.6);
    for (int i = 0; i < 5; ++i) {
        auto player = std::make_unique<TOGG>(path, true, true);
        player->Play();
        std::this_thread::sleep_for(std::chrono::milliseconds(30 * i));
        player.reset();  // destroyed while the worker may be mid-refill
    }
}
