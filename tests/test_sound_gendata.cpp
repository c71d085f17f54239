// The sound data that the build generates (build/Data/Sounds), read back through
// the game's own storage, WAV reader and music player, and checked the way a
// listener would: long enough, loud enough, never clipped, loops without a click,
// and the same bytes on every run of the generator.

#include "test_sound_support.h"

#include "sound/_ogg.h"
#include "sound/e_SoundManager.h"
#include "sound/e_SoundPlayer.h"

#include <vorbis/vorbisfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sys/wait.h>

using namespace soundtest;

namespace {

const std::string BuildRoot = MYGAME_BINARY_DIR "/";
const std::string BuiltSounds = BuildRoot + "Data/Sounds/";

// The data files, as the generator writes them.
const char* const DataFiles[] = {"AGA.WAV",      "GO.WAV",      "YESSIR.WAV", "FUCKYOU.WAV",
                                 "AMBIENT1.WAV", "BATTLE1.WAV", "FINISH.WAV", "DEAD1.WAV",
                                 "ARROW1.WAV",   "MUZ_1.OGG",   "MUZ_2.OGG"};

// Frames of 16-bit samples, one vector per channel.
using TChannels = std::vector<std::vector<double>>;

TChannels Split(const uint8_t* bytes, size_t size, int channels) {
    TChannels out(static_cast<size_t>(channels));
    const size_t frames = size / (2 * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            const uint8_t* p = bytes + 2 * (i * channels + c);
            out[c].push_back(static_cast<int16_t>(p[0] | (p[1] << 8)));
        }
    return out;
}

// The whole piece as the player's decoder gives it (16-bit little-endian).
bool DecodeOgg(const std::string& path, TChannels& out, int& rate) {
    const auto real = ResolvePath(path);
    OggVorbis_File file{};
    if (!real || ov_fopen(real->c_str(), &file) != 0)
        return false;
    const int channels = ov_info(&file, -1)->channels;
    rate = static_cast<int>(ov_info(&file, -1)->rate);
    std::vector<uint8_t> pcm;
    char buffer[65536];
    int section = 0;
    for (;;) {
        const long n = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section);
        if (n < 0) {
            ov_clear(&file);
            return false;
        }
        if (n == 0)
            break;
        pcm.insert(pcm.end(), buffer, buffer + n);
    }
    ov_clear(&file);
    out = Split(pcm.data(), pcm.size(), channels);
    return true;
}

double DbToGainForTest(double db) { return std::pow(10.0, db / 20.0); }

double Rms(const std::vector<double>& x) {
    double sum = 0;
    for (double v : x)
        sum += v * v;
    return std::sqrt(sum / std::max<size_t>(1, x.size())) / 32768.0;
}

double PeakOf(const std::vector<double>& x) {
    double peak = 0;
    for (double v : x)
        peak = std::max(peak, std::fabs(v));
    return peak / 32768.0;
}

// The quietest and loudest stretch of `seconds`, as RMS.
std::pair<double, double> LevelRange(const std::vector<double>& x, int rate, double seconds) {
    const auto window = static_cast<size_t>(seconds * rate);
    double quietest = 1e9, loudest = 0;
    for (size_t start = 0; start + window <= x.size(); start += window) {
        const double level =
            Rms(std::vector<double>(x.begin() + static_cast<std::ptrdiff_t>(start),
                                    x.begin() + static_cast<std::ptrdiff_t>(start + window)));
        quietest = std::min(quietest, level);
        loudest = std::max(loudest, level);
    }
    return {quietest, loudest};
}

// The pitch (Hz) of the loudest 40 ms, by autocorrelation between 60 and 400 Hz
// of the voice with its formants (which ring at their own periods) filtered off.
double LoudestPitch(const std::vector<double>& voice, int rate) {
    std::vector<double> x(voice.size());
    const double k = 1.0 - std::exp(-2.0 * 3.14159265 * 300.0 / rate);
    double a = 0, b = 0;
    for (size_t i = 0; i < voice.size(); ++i) {
        a += k * (voice[i] - a);
        b += k * (a - b);
        x[i] = b;
    }
    const auto window = static_cast<size_t>(rate / 25);
    size_t best = 0;
    double bestEnergy = -1;
    for (size_t start = 0; start + window <= x.size(); start += window / 4) {
        double energy = 0;
        for (size_t i = start; i < start + window; ++i)
            energy += x[i] * x[i];
        if (energy > bestEnergy) {
            bestEnergy = energy;
            best = start;
        }
    }
    std::vector<double> scores;
    const int minLag = rate / 400, maxLag = rate / 60;
    for (int lag = minLag; lag <= maxLag; ++lag) {
        double product = 0, early = 0, late = 0;
        for (size_t i = best; i < best + window && i + static_cast<size_t>(lag) < x.size(); ++i) {
            product += x[i] * x[i + lag];
            early += x[i] * x[i];
            late += x[i + lag] * x[i + lag];
        }
        scores.push_back(product / std::sqrt(std::max(early * late, 1e-9)));
    }
    // The period is the first lag that correlates nearly as well as the best one;
    // its multiples correlate as well and would read an octave low.
    const double top = *std::max_element(scores.begin(), scores.end());
    int bestLag = 0;
    for (size_t i = 1; i + 1 < scores.size() && bestLag == 0; ++i)
        if (scores[i] >= 0.9 * top && scores[i] >= scores[i - 1] && scores[i] >= scores[i + 1])
            bestLag = minLag + static_cast<int>(i);
    return bestLag > 0 ? static_cast<double>(rate) / bestLag : 0.0;
}

double Percentile(std::vector<double> values, double fraction) {
    const auto k = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
    return values[k];
}

// How a loop joins: the step and the bend (second difference) from the last
// sample into the first, against the loudest 0.1 % of the steps and bends found
// anywhere inside the loop, and against the largest step within 50 ms on either
// side of the seam. A click is a step far outside what the music does there.
// A loop whose tails are not carried round also drops in level at the seam,
// which a listener hears as a gap: the 20 ms on either side are compared.
struct TSeam {
    double Step, TypicalStep, Bend, TypicalBend, NearbyStep, LevelBefore, LevelAfter;
};

TSeam MeasureSeam(const std::vector<double>& x, int rate) {
    const size_t n = x.size();
    std::vector<double> steps, bends;
    for (size_t i = 0; i + 1 < n; ++i)
        steps.push_back(std::fabs(x[i + 1] - x[i]));
    for (size_t i = 0; i + 2 < n; ++i)
        bends.push_back(std::fabs(x[i + 2] - 2 * x[i + 1] + x[i]));
    const size_t nearby = std::min(n / 4, static_cast<size_t>(rate / 20));
    double nearbyStep = 0;
    for (size_t i = 0; i < nearby; ++i)
        nearbyStep = std::max({nearbyStep, steps[i], steps[steps.size() - 1 - i]});
    const auto window = static_cast<std::ptrdiff_t>(std::min(n / 4, static_cast<size_t>(rate / 50)));
    const double before = Rms(std::vector<double>(x.end() - window, x.end()));
    const double after = Rms(std::vector<double>(x.begin(), x.begin() + window));
    return {std::fabs(x[0] - x[n - 1]),
            Percentile(steps, 0.999),
            std::fabs(x[0] - 2 * x[n - 1] + x[n - 2]),
            Percentile(bends, 0.999),
            nearbyStep,
            before,
            after};
}

void ExpectSeamless(const TChannels& channels, int rate, const std::string& what) {
    for (size_t c = 0; c < channels.size(); ++c) {
        const TSeam seam = MeasureSeam(channels[c], rate);
        std::cout << what << " channel " << c << ": step at the seam " << seam.Step << " (nearby up to "
                  << seam.NearbyStep << ", 99.9% of all steps <= " << seam.TypicalStep << "), bend "
                  << seam.Bend << " (99.9% <= " << seam.TypicalBend << "), level " << seam.LevelBefore
                  << " -> " << seam.LevelAfter << "\n";
        EXPECT_LE(seam.Step, seam.TypicalStep) << what << " channel " << c << " jumps at the loop point";
        EXPECT_LE(seam.Step, seam.NearbyStep) << what << " channel " << c << " jumps at the loop point";
        EXPECT_LE(seam.Bend, seam.TypicalBend) << what << " channel " << c << " kinks at the loop point";
        EXPECT_LT(seam.LevelAfter, 2 * seam.LevelBefore)
            << what << " channel " << c << " swells at the loop point";
        EXPECT_LT(seam.LevelBefore, 2 * seam.LevelAfter)
            << what << " channel " << c << " drops out at the loop point";
    }
}

class GeneratedSounds : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* file : DataFiles)
            ASSERT_TRUE(std::filesystem::exists(BuiltSounds + file))
                << BuiltSounds << file << " is missing: build the gamedata target first";
    }
    GameFolder game;  // the log and message boxes of the test, not the game's folder
};

}  // namespace

TEST_F(GeneratedSounds, EveryEffectTheScenesAskForIsFoundByNameAndPlayable) {
    struct TExpected {
        const char* Name;
        int32_t Format;
        double MinSeconds, MaxSeconds;
    };
    const TExpected expected[] = {
        {"Aga", SoundFormatMono16, 0.3, 2.0},         {"Go", SoundFormatMono16, 0.3, 2.0},
        {"YesSir", SoundFormatMono16, 0.3, 2.0},      {"FuckYou", SoundFormatMono16, 0.4, 2.5},
        {"Ambient1", SoundFormatStereo16, 8.0, 40.0}, {"Battle1", SoundFormatMono16, 2.0, 8.0},
        {"Finish", SoundFormatMono16, 1.5, 8.0},      {"Dead1", SoundFormatMono16, 0.5, 3.0},
        {"Arrow1", SoundFormatMono16, 0.4, 2.0},
    };
    InitSoundStorage(Log, BuildRoot, "Data/Sounds/");
    for (const auto& sound : expected) {
        SCOPED_TRACE(sound.Name);
        const int index = GetSoundIndex(sound.Name);
        ASSERT_GE(index, 0);
        const TStoragesSound* stored = GetStoredSound(index);
        ASSERT_NE(stored, nullptr);
        const TStoredSoundData& data = stored->SoundData;
        EXPECT_EQ(data.Format, sound.Format);
        EXPECT_EQ(data.Frequency, 22050);
        const int channels = sound.Format == SoundFormatStereo16 ? 2 : 1;
        const double seconds = static_cast<double>(data.Size) / (2.0 * channels * data.Frequency);
        EXPECT_GE(seconds, sound.MinSeconds);
        EXPECT_LE(seconds, sound.MaxSeconds);
        for (const auto& channel : Split(data.Data.data(), data.Data.size(), channels)) {
            // Clearly audible next to the music, and never driven into the rails.
            EXPECT_GT(Rms(channel), 0.03);
            EXPECT_LT(PeakOf(channel), 0.95);
            // A sound that starts or stops on a large sample value pops (the
            // ambience is a loop: its seam is checked on its own).
            if (std::string(sound.Name) != "Ambient1") {
                EXPECT_LT(std::fabs(channel.front()) / 32768.0, 0.02);
                EXPECT_LT(std::fabs(channel.back()) / 32768.0, 0.02);
            }
        }
    }
    // The voices are men speaking: at the sample rate the file claims, the
    // loudest vowel of each lies where a man's voice does.
    for (int v = 0; v < 4; ++v) {
        const TStoredSoundData& voice = GetStoredSound(GetSoundIndex(expected[v].Name))->SoundData;
        const double pitch = LoudestPitch(Split(voice.Data.data(), voice.Data.size(), 1)[0], voice.Frequency);
        std::cout << expected[v].Name << ": " << pitch << " Hz\n";
        EXPECT_GT(pitch, 60.0) << expected[v].Name;
        EXPECT_LT(pitch, 200.0) << expected[v].Name;
    }
    // The voices are different words, not one file four times.
    for (int a = 0; a < 4; ++a)
        for (int b = a + 1; b < 4; ++b)
            EXPECT_NE(GetStoredSound(GetSoundIndex(expected[a].Name))->SoundData.Data,
                      GetStoredSound(GetSoundIndex(expected[b].Name))->SoundData.Data);
    DoneSoundStorage();
    EXPECT_EQ(CountOf(game.LogText(), "Program Message:"), 0u) << game.LogText();
}

TEST_F(GeneratedSounds, TheAmbienceLoopsWithoutAClick) {
    auto file = ReadWholeFile(BuiltSounds + "AMBIENT1.WAV");
    ASSERT_TRUE(file);
    TStoredSoundData sound;
    ASSERT_TRUE(LoadWave(file->data(), file->size(), sound));
    const TChannels channels = Split(sound.Data.data(), sound.Data.size(), 2);
    ExpectSeamless(channels, sound.Frequency, "Ambient1");
    // A bed of sound: no second of it falls silent, none of it blares.
    for (const auto& channel : channels) {
        const auto [quietest, loudest] = LevelRange(channel, sound.Frequency, 1.0);
        EXPECT_GT(quietest, DbToGainForTest(-40));
        EXPECT_LT(loudest, 4 * quietest);
    }
}

TEST_F(GeneratedSounds, MusicIsStereoOggOverAMinuteThatThePlayerLoopsWhole) {
    const bool device = InitSound(BuildRoot, "Data/Sounds/");
    for (const char* piece : {"Muz_1", "Muz_2"}) {
        SCOPED_TRACE(piece);
        TOggInfo info;
        std::string problem;
        ASSERT_TRUE(ReadOggInfo(BuiltSounds + piece + ".OGG", info, &problem)) << problem;
        EXPECT_EQ(info.Channels, 2);
        EXPECT_EQ(info.Rate, 44100);
        EXPECT_GE(info.PcmSamples, 60 * 44100);
        if (!device)
            continue;
        PlayMusic(piece);
        TOGG* player = GetMusicPlayer();
        ASSERT_NE(player, nullptr);
        ASSERT_TRUE(player->HasSound()) << player->Problem;
        EXPECT_EQ(player->Format, SoundFormatStereo16);
        EXPECT_FALSE(player->Streaming);
        EXPECT_TRUE(player->Looping);
        EXPECT_EQ(player->BufferSize, info.PcmSamples * 4);
    }
    if (device)
        DoneSound();
}

TEST_F(GeneratedSounds, MusicIsBalancedUnclippedAndLoopsWithoutAClick) {
    std::vector<double> levels;
    for (const char* piece : {"MUZ_1.OGG", "MUZ_2.OGG"}) {
        SCOPED_TRACE(piece);
        TChannels channels;
        int rate = 0;
        ASSERT_TRUE(DecodeOgg(BuiltSounds + piece, channels, rate));
        ASSERT_EQ(channels.size(), 2u);
        for (const auto& channel : channels) {
            EXPECT_GT(Rms(channel), DbToGainForTest(-28));
            EXPECT_LT(Rms(channel), DbToGainForTest(-10));
            EXPECT_LT(PeakOf(channel), 0.99);
        }
        // Real stereo: the instruments sit in different places.
        double difference = 0;
        for (size_t i = 0; i < channels[0].size(); ++i)
            difference += std::fabs(channels[0][i] - channels[1][i]);
        EXPECT_GT(difference / static_cast<double>(channels[0].size()) / 32768.0, 0.005);
        ExpectSeamless(channels, rate, piece);
        // No hole in the music: every two seconds carry sound.
        for (const auto& channel : channels)
            EXPECT_GT(LevelRange(channel, rate, 2.0).first, DbToGainForTest(-36));
        levels.push_back(Rms(channels[0]) + Rms(channels[1]));
    }
    // Switching from the menu to the battle does not jump in loudness.
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_LT(std::max(levels[0], levels[1]) / std::min(levels[0], levels[1]), DbToGainForTest(3));
}

TEST_F(GeneratedSounds, TheGeneratorWritesTheSameBytesOnEveryRun) {
    TempDir again;
    const std::string command = "\"" + BuildRoot + "mygame-data\" sounds \"" + again.path() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const char* file : DataFiles) {
        SCOPED_TRACE(file);
        const auto first = ReadBytes(BuiltSounds + file);
        const auto second = ReadBytes(again.path() + "/Data/Sounds/" + file);
        ASSERT_FALSE(first.empty());
        EXPECT_TRUE(first == second) << "sizes " << first.size() << " and " << second.size();
    }
}

TEST_F(GeneratedSounds, TheGeneratorNamesTheFolderItCannotWrite) {
    TempDir scratch;
    WriteText(scratch.file("Data"), "a file where the folder should be");
    const std::string errors = scratch.file("errors.txt");
    const std::string command =
        "\"" + BuildRoot + "mygame-data\" sounds \"" + scratch.path() + "\" 2>\"" + errors + "\"";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(ReadText(errors).find(scratch.path() + "/Data/Sounds"), std::string::npos) << ReadText(errors);

    const std::string usage = "\"" + BuildRoot + "mygame-data\" sounds 2>/dev/null";
    const int noFolder = std::system(usage.c_str());
    ASSERT_TRUE(WIFEXITED(noFolder));
    EXPECT_EQ(WEXITSTATUS(noFolder), 2);
}

TEST_F(GeneratedSounds, EachEffectSoundsLikeWhatItIsCalled) {
    auto load = [](const char* file, int& rate) {
        auto bytes = ReadWholeFile(BuiltSounds + file);
        TStoredSoundData sound;
        EXPECT_TRUE(bytes && LoadWave(bytes->data(), bytes->size(), sound)) << file;
        rate = sound.Frequency;
        return Split(sound.Data.data(), sound.Data.size(), 1)[0];
    };
    auto levels = [](const std::vector<double>& x, size_t window) {
        std::vector<double> out;
        if (window == 0)
            return out;
        for (size_t start = 0; start + window <= x.size(); start += window)
            out.push_back(Rms(std::vector<double>(x.begin() + static_cast<std::ptrdiff_t>(start),
                                                  x.begin() + static_cast<std::ptrdiff_t>(start + window))));
        return out;
    };
    int rate = 0;

    // A melee is a run of separate blows: count the sudden rises in 10 ms steps.
    const auto battle = load("BATTLE1.WAV", rate);
    const auto melee = levels(battle, static_cast<size_t>(rate / 100));
    int blows = 0;
    for (size_t i = 3, quiet = 0; i < melee.size(); ++i, ++quiet) {
        const double before = (melee[i - 1] + melee[i - 2] + melee[i - 3]) / 3;
        if (melee[i] > 2.5 * before && melee[i] > 0.05 && quiet >= 8) {
            ++blows;
            quiet = 0;
        }
    }
    std::cout << "Battle1: " << blows << " blows\n";
    EXPECT_GE(blows, 5);

    // The arrow: after the snap, a bright whistle (many zero crossings).
    const auto arrow = load("ARROW1.WAV", rate);
    int crossings = 0;
    for (size_t i = static_cast<size_t>(0.15 * rate); i < static_cast<size_t>(0.6 * rate) && i < arrow.size();
         ++i)
        crossings += (arrow[i - 1] < 0) != (arrow[i] < 0);
    std::cout << "Arrow1: " << crossings / 0.45 << " zero crossings per second in the whistle\n";
    EXPECT_GT(crossings / 0.45, 1500.0);

    // The defeat sting and the death cry die away.
    const auto finish = load("FINISH.WAV", rate);
    const auto sting = levels(finish, static_cast<size_t>(rate / 2));
    ASSERT_GE(sting.size(), 4u);
    EXPECT_LT(sting.back(), 0.25 * *std::max_element(sting.begin(), sting.end()));
    const auto dead = load("DEAD1.WAV", rate);
    const auto cry = levels(dead, static_cast<size_t>(rate / 8));
    ASSERT_GE(cry.size(), 8u);
    EXPECT_LT(cry[cry.size() * 3 / 4], 0.5 * cry[cry.size() / 4]);
}
