#pragma once
// Sound synthesis shared by the effect and music generators: a seeded random
// source, filters, wavetable instruments, drums, a reverb that keeps loops
// seamless, and the WAV and Ogg Vorbis writers. Nothing here reads the clock or
// a global random state, so the same build always writes the same bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

using Samples = std::vector<float>;

// splitmix64: small, fast and the same on every platform.
class TRandom {
public:
    explicit TRandom(uint64_t seed) : State(seed) {}
    uint64_t Next();
    // Uniform in [0, 1).
    double Uniform();
    double Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
    // Uniform in [-1, 1).
    float Noise() { return static_cast<float>(2.0 * Uniform() - 1.0); }
    int Below(int bound);

private:
    uint64_t State;
};

// Second-order filter (RBJ cookbook), transposed direct form II.
struct TBiquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double z1 = 0, z2 = 0;

    void SetLowPass(double rate, double freq, double q);
    void SetHighPass(double rate, double freq, double q);
    // Peak gain 0 dB at `freq`.
    void SetBandPass(double rate, double freq, double q);
    void SetPeak(double rate, double freq, double q, double gainDb);
    float Process(float x) {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return static_cast<float>(y);
    }
    void Reset() { z1 = z2 = 0; }
};

struct TStereo {
    TStereo() = default;
    explicit TStereo(size_t frames) : Left(frames, 0.0f), Right(frames, 0.0f) {}
    size_t Frames() const { return Left.size(); }
    Samples Left, Right;
};

double NoteHz(double midiNote);
double DbToGain(double db);

// Adds `src` × gain into `dst` from frame `start` on. With `wrap` whatever runs
// past the end comes in again at the start, so a loop's last notes ring on into
// its first frames exactly as they would when the loop repeats.
void MixInto(Samples& dst, const Samples& src, int64_t start, float gain, bool wrap);
// Constant-power pan: -1 left, 0 centre, +1 right.
void MixInto(TStereo& dst, const Samples& src, int64_t start, float gain, float pan, bool wrap);

float Peak(const Samples& s);
float Peak(const TStereo& s);
void Scale(Samples& s, float gain);
void Scale(TStereo& s, float gain);
// Short raised-cosine fades against clicks at the ends of a one-shot sound.
void FadeEdges(Samples& s, size_t fadeIn, size_t fadeOut);
// Runs `filter` over a loop twice and keeps the second pass: its state at the
// seam is then the state the loop leaves behind, so no step appears there.
void FilterLoop(Samples& s, TBiquad filter);

// One cycle of a band-limited waveform, read with linear interpolation.
class TWaveTable {
public:
    // amplitudes[k] is the strength of harmonic k + 1.
    explicit TWaveTable(const std::vector<double>& amplitudes);
    float At(double phase) const {  // phase in cycles, [0, 1)
        const double x = phase * Size;
        const int i = static_cast<int>(x);
        const float f = static_cast<float>(x - i);
        return Table[i] + f * (Table[i + 1] - Table[i]);
    }
    static const TWaveTable& Sine();
    // Soft, rounded tone: 1/n² harmonics.
    static const TWaveTable& Soft();
    // Sawtooth, 1/n up to the 24th harmonic.
    static const TWaveTable& Saw();
    // Odd harmonics: hollow, clarinet-like.
    static const TWaveTable& Hollow();
    // Fundamental with weak second and third harmonics: a flute's body.
    static const TWaveTable& Flute();

private:
    static constexpr int Size = 2048;
    std::vector<float> Table;
};

// A sustained instrument voice: oscillators through a low-pass filter whose
// cutoff follows its own envelope, with vibrato and breath noise.
struct TVoiceSpec {
    const TWaveTable* Table = nullptr;
    double Attack = 0.01, Decay = 0.1, Sustain = 0.8, Release = 0.2;  // seconds, level 0..1
    int Unison = 1;                                                   // oscillators per note
    double DetuneCents = 0;                                           // spread of the unison oscillators
    double VibratoHz = 5, VibratoCents = 0, VibratoDelay = 0.3;
    double Cutoff = 8000;       // Hz at rest
    double CutoffEnv = 0;       // extra Hz at the peak of the filter envelope
    double CutoffKeyTrack = 0;  // extra cutoff per Hz of pitch
    double FilterAttack = 0.02, FilterDecay = 0.3, FilterSustain = 0.3;
    double Resonance = 0.7;
    double Breath = 0;  // noise level, shaped by the amplitude envelope
};
// Renders a note held for `hold` seconds plus its release.
Samples RenderVoice(int rate, double hz, double hold, float velocity, const TVoiceSpec& tone, TRandom& rng);

// Plucked string (Karplus-Strong). brightness 0..1 sets the pluck's tone.
Samples Pluck(int rate, double hz, double seconds, float velocity, double brightness, TRandom& rng);
// FM bell or celesta.
Samples Bell(int rate, double hz, double seconds, float velocity);
// Struck metal with inharmonic partials: a blade, an anvil, a shield boss.
Samples MetalHit(int rate, double baseHz, double seconds, float velocity, TRandom& rng);

// Drums.
Samples Kick(int rate, float velocity);
Samples Snare(int rate, float velocity, TRandom& rng);
// Tuned drum: a tom or a kettle drum at `hz`, ringing for `seconds`.
Samples Timpani(int rate, double hz, double seconds, float velocity, TRandom& rng);
Samples Crash(int rate, double seconds, float velocity, TRandom& rng);

// Stereo reverb: eight damped combs in parallel into four all-passes per side.
class TReverb {
public:
    TReverb(int rate, double roomSize, double damping);
    void Process(float in, float& outLeft, float& outRight);

private:
    struct TComb {
        std::vector<float> Buffer;
        size_t Index = 0;
        float Store = 0;
    };
    struct TAllPass {
        std::vector<float> Buffer;
        size_t Index = 0;
    };
    std::vector<TComb> Combs[2];
    std::vector<TAllPass> AllPasses[2];
    float Feedback, Damp;
};
// Adds the reverb of `send` to `mix`. A loop is run twice so that the tail of
// its end is heard at its start; a one-shot sound simply rings into its end.
void AddReverb(TStereo& mix, const Samples& send, int rate, double roomSize, double damping, float wet,
               bool loop);

// 16-bit PCM RIFF/WAVE file image; `interleaved` holds frames of `channels` samples.
std::vector<uint8_t> EncodeWave(const Samples& interleaved, int channels, int rate);
std::vector<uint8_t> EncodeWave(const Samples& mono, int rate);
std::vector<uint8_t> EncodeWave(const TStereo& stereo, int rate);
// Ogg Vorbis (VBR, `quality` -0.1..1) with a fixed stream serial number. Gives
// false with `problem` set when the encoder refuses the settings.
bool EncodeVorbis(const TStereo& stereo, int rate, float quality, int serial, const std::string& title,
                  std::vector<uint8_t>& out, std::string& problem);

// OUTDIR/Data/Sounds/, created when missing; empty (with a message on stderr)
// when it cannot be made.
std::string SoundsFolder(const std::string& outDir);
// Writes a file whole; false with a message naming the file on failure.
bool WriteDataFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace audio

// The two sound generators, also run on their own by `mygame-data sounds OUTDIR`.
bool GenerateSoundEffects(const std::string& outDir);
bool GenerateMusic(const std::string& outDir);
