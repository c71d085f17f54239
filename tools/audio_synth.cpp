#include "audio_synth.h"

#include "app/e_ByteReader.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>

namespace audio {

namespace {

constexpr double TwoPi = 2.0 * std::numbers::pi;

double ClampFreq(double rate, double freq) { return std::clamp(freq, 10.0, rate * 0.45); }

}  // namespace

// ---------------------------------------------------------------------------
// Random numbers

uint64_t TRandom::Next() {
    State += 0x9E3779B97F4A7C15ull;
    uint64_t z = State;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double TRandom::Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

int TRandom::Below(int bound) {
    if (bound <= 1)
        return 0;
    return static_cast<int>(Next() % static_cast<uint64_t>(bound));
}

// ---------------------------------------------------------------------------
// Filters

namespace {

void Normalise(TBiquad& f, double a0) {
    f.b0 /= a0;
    f.b1 /= a0;
    f.b2 /= a0;
    f.a1 /= a0;
    f.a2 /= a0;
}

}  // namespace

void TBiquad::SetLowPass(double rate, double freq, double q) {
    const double w = TwoPi * ClampFreq(rate, freq) / rate, c = std::cos(w), alpha = std::sin(w) / (2 * q);
    b0 = (1 - c) / 2;
    b1 = 1 - c;
    b2 = (1 - c) / 2;
    a1 = -2 * c;
    a2 = 1 - alpha;
    Normalise(*this, 1 + alpha);
}

void TBiquad::SetHighPass(double rate, double freq, double q) {
    const double w = TwoPi * ClampFreq(rate, freq) / rate, c = std::cos(w), alpha = std::sin(w) / (2 * q);
    b0 = (1 + c) / 2;
    b1 = -(1 + c);
    b2 = (1 + c) / 2;
    a1 = -2 * c;
    a2 = 1 - alpha;
    Normalise(*this, 1 + alpha);
}

void TBiquad::SetBandPass(double rate, double freq, double q) {
    const double w = TwoPi * ClampFreq(rate, freq) / rate, c = std::cos(w), alpha = std::sin(w) / (2 * q);
    b0 = alpha;
    b1 = 0;
    b2 = -alpha;
    a1 = -2 * c;
    a2 = 1 - alpha;
    Normalise(*this, 1 + alpha);
}

void TBiquad::SetPeak(double rate, double freq, double q, double gainDb) {
    const double w = TwoPi * ClampFreq(rate, freq) / rate, c = std::cos(w), alpha = std::sin(w) / (2 * q);
    const double a = std::pow(10.0, gainDb / 40.0);
    b0 = 1 + alpha * a;
    b1 = -2 * c;
    b2 = 1 - alpha * a;
    a1 = -2 * c;
    a2 = 1 - alpha / a;
    Normalise(*this, 1 + alpha / a);
}

// ---------------------------------------------------------------------------
// Buffers

double NoteHz(double midiNote) { return 440.0 * std::pow(2.0, (midiNote - 69.0) / 12.0); }

double DbToGain(double db) { return std::pow(10.0, db / 20.0); }

void MixInto(Samples& dst, const Samples& src, int64_t start, float gain, bool wrap) {
    const auto n = static_cast<int64_t>(dst.size());
    if (n == 0 || src.empty())
        return;
    // Copy in runs that do not cross the end of `dst`.
    int64_t done = 0;
    const auto total = static_cast<int64_t>(src.size());
    while (done < total) {
        int64_t at = start + done;
        if (wrap) {
            at = ((at % n) + n) % n;
        } else if (at < 0) {
            done = -start;
            continue;
        } else if (at >= n) {
            break;
        }
        const int64_t run = std::min(total - done, n - at);
        float* out = dst.data() + at;
        const float* in = src.data() + done;
        for (int64_t i = 0; i < run; ++i)
            out[i] += gain * in[i];
        done += run;
    }
}

void MixInto(TStereo& dst, const Samples& src, int64_t start, float gain, float pan, bool wrap) {
    const double angle = (std::clamp(pan, -1.0f, 1.0f) + 1.0) * std::numbers::pi / 4.0;
    const auto left = static_cast<float>(gain * std::cos(angle) * std::numbers::sqrt2);
    const auto right = static_cast<float>(gain * std::sin(angle) * std::numbers::sqrt2);
    MixInto(dst.Left, src, start, left, wrap);
    MixInto(dst.Right, src, start, right, wrap);
}

float Peak(const Samples& s) {
    float peak = 0;
    for (float v : s)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

float Peak(const TStereo& s) { return std::max(Peak(s.Left), Peak(s.Right)); }

void Scale(Samples& s, float gain) {
    for (float& v : s)
        v *= gain;
}

void Scale(TStereo& s, float gain) {
    Scale(s.Left, gain);
    Scale(s.Right, gain);
}

void FadeEdges(Samples& s, size_t fadeIn, size_t fadeOut) {
    fadeIn = std::min(fadeIn, s.size());
    fadeOut = std::min(fadeOut, s.size());
    for (size_t i = 0; i < fadeIn; ++i)
        s[i] *= static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * i / fadeIn));
    for (size_t i = 0; i < fadeOut; ++i)
        s[s.size() - 1 - i] *= static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * i / fadeOut));
}

void FilterLoop(Samples& s, TBiquad filter) {
    for (float v : s)
        filter.Process(v);
    for (float& v : s)
        v = filter.Process(v);
}

namespace {

// Adds amp·e^(−t/tau)·sin(2π(f·t + phase)) by a two-term recurrence, stopping
// once it has faded below hearing.
void AddDampedSine(Samples& out, int rate, double freq, double phase, double amp, double tau) {
    if (freq <= 0 || freq >= rate * 0.45)
        return;
    const double w = TwoPi * freq / rate;
    const double r = std::exp(-1.0 / (tau * rate));
    const double c = 2.0 * r * std::cos(w), r2 = r * r;
    double previous = amp * std::sin(TwoPi * phase - w) / r;
    double current = amp * std::sin(TwoPi * phase);
    const auto audible = static_cast<size_t>(std::log(1e-5) / std::log(r)) + 1;
    const size_t n = std::min(out.size(), audible);
    for (size_t i = 0; i < n; ++i) {
        out[i] += static_cast<float>(current);
        const double next = c * current - r2 * previous;
        previous = current;
        current = next;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Wavetables

TWaveTable::TWaveTable(const std::vector<double>& amplitudes) : Table(Size + 1, 0.0f) {
    std::vector<double> sum(Size, 0.0);
    for (size_t k = 0; k < amplitudes.size(); ++k) {
        if (amplitudes[k] == 0)
            continue;
        for (int i = 0; i < Size; ++i)
            sum[i] += amplitudes[k] * std::sin(TwoPi * static_cast<double>(k + 1) * i / Size);
    }
    double peak = 1e-9;
    for (double v : sum)
        peak = std::max(peak, std::fabs(v));
    for (int i = 0; i < Size; ++i)
        Table[i] = static_cast<float>(sum[i] / peak);
    Table[Size] = Table[0];
}

const TWaveTable& TWaveTable::Sine() {
    static const TWaveTable table({1.0});
    return table;
}

const TWaveTable& TWaveTable::Soft() {
    static const TWaveTable table = [] {
        std::vector<double> a;
        for (int n = 1; n <= 12; ++n)
            a.push_back(1.0 / (n * n));
        return TWaveTable(a);
    }();
    return table;
}

const TWaveTable& TWaveTable::Saw() {
    static const TWaveTable table = [] {
        std::vector<double> a;
        for (int n = 1; n <= 24; ++n)
            a.push_back(1.0 / n);
        return TWaveTable(a);
    }();
    return table;
}

const TWaveTable& TWaveTable::Hollow() {
    static const TWaveTable table = [] {
        std::vector<double> a;
        for (int n = 1; n <= 15; ++n)
            a.push_back(n % 2 == 1 ? 1.0 / n : 0.0);
        return TWaveTable(a);
    }();
    return table;
}

const TWaveTable& TWaveTable::Flute() {
    static const TWaveTable table({1.0, 0.22, 0.09, 0.03});
    return table;
}

// ---------------------------------------------------------------------------
// Instruments

Samples RenderVoice(int rate, double hz, double hold, float velocity, const TVoiceSpec& tone, TRandom& rng) {
    const TWaveTable& table = tone.Table ? *tone.Table : TWaveTable::Sine();
    const double total = hold + tone.Release;
    const auto n = static_cast<size_t>(total * rate);
    Samples out(n, 0.0f);
    if (n == 0)
        return out;

    const int unison = std::clamp(tone.Unison, 1, 8);
    double phase[8], ratio[8], step[8];
    for (int u = 0; u < unison; ++u) {
        const double cents =
            unison == 1 ? 0.0 : tone.DetuneCents * (static_cast<double>(u) / (unison - 1) - 0.5);
        ratio[u] = std::pow(2.0, cents / 1200.0);
        phase[u] = rng.Uniform();
    }
    TBiquad filter;
    TBiquad breathFilter;
    breathFilter.SetBandPass(rate, std::min(hz * 3.0, rate * 0.4), 0.8);

    // The envelopes as functions of time; they are evaluated at a control rate
    // and the amplitude is interpolated in between.
    const double attack = std::max(tone.Attack, 0.001);
    const double decayTau = std::max(tone.Decay, 0.001) / 3.0;
    const double filterAttack = std::max(tone.FilterAttack, 0.001);
    const double filterTau = std::max(tone.FilterDecay / 3.0, 0.001);
    const double release = std::max(tone.Release, 0.001);
    auto held = [&](double t) {
        return t < attack ? t / attack
                          : tone.Sustain + (1.0 - tone.Sustain) * std::exp(-(t - attack) / decayTau);
    };
    auto heldFilter = [&](double t) {
        return t < filterAttack ? t / filterAttack
                                : tone.FilterSustain +
                                      (1.0 - tone.FilterSustain) * std::exp(-(t - filterAttack) / filterTau);
    };
    const double releaseLevel = held(hold), filterRelease = heldFilter(hold);
    auto amplitude = [&](double t) {
        if (t < hold)
            return held(t);
        const double x = std::min(1.0, (t - hold) / release);
        return releaseLevel * (1.0 - x) * (1.0 - x);
    };
    auto filterLevel = [&](double t) {
        return t < hold ? heldFilter(t) : filterRelease * (1.0 - std::min(1.0, (t - hold) / release));
    };

    const double vibratoDepth = tone.VibratoCents / 1200.0;
    const double vibratoPhase0 = rng.Uniform();
    constexpr size_t Block = 16;
    for (size_t start = 0; start < n; start += Block) {
        const double t0 = static_cast<double>(start) / rate;
        const double t1 = static_cast<double>(start + Block) / rate;
        const double level0 = amplitude(t0), level1 = amplitude(t1);
        if (start % (2 * Block) == 0) {
            const double cutoff =
                tone.Cutoff + tone.CutoffKeyTrack * hz + tone.CutoffEnv * filterLevel(t0) * velocity;
            filter.SetLowPass(rate, cutoff, tone.Resonance);
        }
        // Vibrato fades in after its delay.
        double bend = 1.0;
        if (vibratoDepth > 0 && t0 > tone.VibratoDelay) {
            const double depth = vibratoDepth * std::min(1.0, (t0 - tone.VibratoDelay) / 0.4);
            bend = std::pow(2.0, depth * std::sin(TwoPi * (tone.VibratoHz * t0 + vibratoPhase0)));
        }
        for (int u = 0; u < unison; ++u)
            step[u] = hz * ratio[u] * bend / rate;
        const size_t end = std::min(n, start + Block);
        for (size_t i = start; i < end; ++i) {
            const double level = level0 + (level1 - level0) * static_cast<double>(i - start) / Block;
            double sample = 0;
            for (int u = 0; u < unison; ++u) {
                sample += table.At(phase[u]);
                phase[u] += step[u];
                if (phase[u] >= 1.0)
                    phase[u] -= 1.0;
            }
            sample /= unison;
            if (tone.Breath > 0)
                sample += tone.Breath * breathFilter.Process(rng.Noise());
            out[i] = filter.Process(static_cast<float>(sample * level * velocity));
        }
    }
    FadeEdges(out, 0, std::min<size_t>(n, static_cast<size_t>(rate * 0.004)));
    return out;
}

Samples Pluck(int rate, double hz, double seconds, float velocity, double brightness, TRandom& rng) {
    const auto n = static_cast<size_t>(seconds * rate);
    Samples out(n, 0.0f);
    const int length = std::max(2, static_cast<int>(rate / hz - 0.5));
    std::vector<float> line(length);
    // The pluck: a noise burst, darker for a softer touch, without DC.
    double y = 0, mean = 0;
    const double coeff = 0.15 + 0.8 * std::clamp(brightness, 0.0, 1.0);
    for (float& v : line) {
        y += coeff * (rng.Noise() - y);
        v = static_cast<float>(y);
        mean += y;
    }
    mean /= length;
    for (float& v : line)
        v -= static_cast<float>(mean);
    const double loss = std::pow(0.001, 1.0 / std::max(1.0, seconds * hz));
    int index = 0;
    for (size_t i = 0; i < n; ++i) {
        const int next = index + 1 == length ? 0 : index + 1;
        out[i] = line[index] * velocity;
        line[index] = static_cast<float>(loss * 0.5 * (line[index] + line[next]));
        index = next;
    }
    FadeEdges(out, static_cast<size_t>(rate * 0.001), static_cast<size_t>(rate * 0.02));
    return out;
}

Samples Bell(int rate, double hz, double seconds, float velocity) {
    const auto n = static_cast<size_t>(seconds * rate);
    Samples out(n, 0.0f);
    const double decay = seconds / 5.0;
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double index = 1.6 * std::exp(-t / (decay * 0.6));
        const double mod = index * std::sin(TwoPi * hz * 3.5 * t);
        const double env = std::min(1.0, t / 0.002) * std::exp(-t / decay);
        out[i] = static_cast<float>(velocity * env *
                                    (std::sin(TwoPi * hz * t + mod) + 0.25 * std::sin(TwoPi * hz * 2.0 * t)));
    }
    FadeEdges(out, 0, static_cast<size_t>(rate * 0.01));
    return out;
}

Samples MetalHit(int rate, double baseHz, double seconds, float velocity, TRandom& rng) {
    static const double ratios[] = {1.0, 1.52, 2.17, 2.71, 3.33, 4.12, 5.01, 6.3};
    const auto n = static_cast<size_t>(seconds * rate);
    Samples out(n, 0.0f);
    for (size_t k = 0; k < std::size(ratios); ++k) {
        const double f = baseHz * ratios[k] * rng.Range(0.97, 1.03);
        if (f > rate * 0.45)
            continue;
        const double amp = rng.Range(0.5, 1.0) / std::pow(k + 1.0, 0.6);
        const double tau = seconds * rng.Range(0.15, 0.3) / (1.0 + 0.4 * k);
        AddDampedSine(out, rate, f, rng.Uniform(), amp, tau);
    }
    // The strike itself: a few milliseconds of bright noise.
    TBiquad high;
    high.SetHighPass(rate, 2000, 0.7);
    const auto click = std::min(n, static_cast<size_t>(rate * 0.012));
    for (size_t i = 0; i < click; ++i)
        out[i] += 1.2f * high.Process(rng.Noise()) * static_cast<float>(1.0 - static_cast<double>(i) / click);
    const float peak = std::max(Peak(out), 1e-6f);
    Scale(out, velocity / peak);
    FadeEdges(out, 0, static_cast<size_t>(rate * 0.01));
    return out;
}

Samples Kick(int rate, float velocity) {
    const auto n = static_cast<size_t>(0.45 * rate);
    Samples out(n, 0.0f);
    double phase = 0;
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double f = 48.0 + 95.0 * std::exp(-t / 0.03);
        phase += f / rate;
        out[i] = static_cast<float>(velocity * std::exp(-t / 0.16) * std::sin(TwoPi * phase));
    }
    FadeEdges(out, static_cast<size_t>(rate * 0.0005), static_cast<size_t>(rate * 0.02));
    return out;
}

Samples Snare(int rate, float velocity, TRandom& rng) {
    const auto n = static_cast<size_t>(0.3 * rate);
    Samples out(n, 0.0f);
    AddDampedSine(out, rate, 190, 0.0, 0.5, 0.04);
    AddDampedSine(out, rate, 340, 0.0, 0.25, 0.04);
    TBiquad high, band;
    high.SetHighPass(rate, 1200, 0.7);
    band.SetPeak(rate, 5000, 1.0, 5);
    const double fade = std::exp(-1.0 / (0.09 * rate));
    double envelope = 0.8;
    for (size_t i = 0; i < n; ++i) {
        out[i] = velocity * (out[i] + static_cast<float>(envelope) * band.Process(high.Process(rng.Noise())));
        envelope *= fade;
    }
    FadeEdges(out, static_cast<size_t>(rate * 0.0005), static_cast<size_t>(rate * 0.03));
    return out;
}

Samples Timpani(int rate, double hz, double seconds, float velocity, TRandom& rng) {
    static const double ratios[] = {1.0, 1.5, 1.98, 2.44, 2.9};
    static const double amps[] = {1.0, 0.55, 0.35, 0.2, 0.1};
    const auto n = static_cast<size_t>(seconds * rate);
    Samples out(n, 0.0f);
    for (size_t k = 0; k < std::size(ratios); ++k) {
        AddDampedSine(out, rate, hz * ratios[k], rng.Uniform(), amps[k], seconds / (3.0 + 1.5 * k));
    }
    TBiquad low;
    low.SetLowPass(rate, 900, 0.7);
    const auto thump = std::min(n, static_cast<size_t>(rate * 0.03));
    for (size_t i = 0; i < thump; ++i)
        out[i] += 0.8f * low.Process(rng.Noise()) * static_cast<float>(1.0 - static_cast<double>(i) / thump);
    Scale(out, velocity / std::max(Peak(out), 1e-6f));
    FadeEdges(out, static_cast<size_t>(rate * 0.001), static_cast<size_t>(rate * 0.03));
    return out;
}

Samples Crash(int rate, double seconds, float velocity, TRandom& rng) {
    const auto n = static_cast<size_t>(seconds * rate);
    Samples out(n, 0.0f);
    const double tau = seconds / 4.0;
    for (int k = 0; k < 16; ++k)
        AddDampedSine(out, rate, rng.Range(3000, std::min(9000.0, rate * 0.42)), rng.Uniform(), 0.03, tau);
    TBiquad high;
    high.SetHighPass(rate, 3000, 0.6);
    const double fade = std::exp(-1.0 / (tau * rate));
    double envelope = 0.9;
    for (size_t i = 0; i < n; ++i) {
        out[i] = velocity * (out[i] + static_cast<float>(envelope) * high.Process(rng.Noise()));
        envelope *= fade;
    }
    FadeEdges(out, static_cast<size_t>(rate * 0.001), static_cast<size_t>(rate * 0.05));
    return out;
}

// ---------------------------------------------------------------------------
// Reverb

TReverb::TReverb(int rate, double roomSize, double damping)
    : Feedback(static_cast<float>(0.7 + 0.28 * std::clamp(roomSize, 0.0, 1.0))),
      Damp(static_cast<float>(0.4 * std::clamp(damping, 0.0, 1.0))) {
    static const int combTuning[] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const int allPassTuning[] = {556, 441, 341, 225};
    const double scale = rate / 44100.0;
    for (int side = 0; side < 2; ++side) {
        const int spread = side * 23;
        for (int length : combTuning) {
            TComb comb;
            comb.Buffer.assign(std::max(1, static_cast<int>((length + spread) * scale)), 0.0f);
            Combs[side].push_back(std::move(comb));
        }
        for (int length : allPassTuning) {
            TAllPass pass;
            pass.Buffer.assign(std::max(1, static_cast<int>((length + spread) * scale)), 0.0f);
            AllPasses[side].push_back(std::move(pass));
        }
    }
}

void TReverb::Process(float in, float& outLeft, float& outRight) {
    const float input = in * 0.015f;
    float result[2];
    for (int side = 0; side < 2; ++side) {
        float sum = 0;
        for (auto& comb : Combs[side]) {
            const float out = comb.Buffer[comb.Index];
            comb.Store = out * (1 - Damp) + comb.Store * Damp;
            comb.Buffer[comb.Index] = input + comb.Store * Feedback;
            if (++comb.Index == comb.Buffer.size())
                comb.Index = 0;
            sum += out;
        }
        for (auto& pass : AllPasses[side]) {
            const float buffered = pass.Buffer[pass.Index];
            const float out = buffered - sum;
            pass.Buffer[pass.Index] = sum + buffered * 0.5f;
            if (++pass.Index == pass.Buffer.size())
                pass.Index = 0;
            sum = out;
        }
        result[side] = sum;
    }
    outLeft = result[0];
    outRight = result[1];
}

void AddReverb(TStereo& mix, const Samples& send, int rate, double roomSize, double damping, float wet,
               bool loop) {
    TReverb reverb(rate, roomSize, damping);
    float l = 0, r = 0;
    if (loop)
        for (float v : send)
            reverb.Process(v, l, r);
    const size_t n = std::min(send.size(), mix.Frames());
    for (size_t i = 0; i < n; ++i) {
        reverb.Process(send[i], l, r);
        mix.Left[i] += wet * l;
        mix.Right[i] += wet * r;
    }
}

// ---------------------------------------------------------------------------
// Writers

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) { AppendLE16(out, static_cast<uint16_t>(v)); }

void PutId(std::vector<uint8_t>& out, const char* id) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(id[i]));
}

int16_t ToPcm16(float v) {
    const double x = std::clamp(static_cast<double>(v), -1.0, 1.0) * 32767.0;
    return static_cast<int16_t>(std::lround(x));
}

}  // namespace

std::vector<uint8_t> EncodeWave(const Samples& interleaved, int channels, int rate) {
    const auto dataBytes = static_cast<uint32_t>(interleaved.size() * 2);
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    PutId(out, "RIFF");
    AppendLE32(out, 36 + dataBytes);
    PutId(out, "WAVE");
    PutId(out, "fmt ");
    AppendLE32(out, 16);
    Put16(out, 1);  // PCM
    Put16(out, static_cast<uint32_t>(channels));
    AppendLE32(out, static_cast<uint32_t>(rate));
    AppendLE32(out, static_cast<uint32_t>(rate * channels * 2));
    Put16(out, static_cast<uint32_t>(channels * 2));
    Put16(out, 16);
    PutId(out, "data");
    AppendLE32(out, dataBytes);
    for (float v : interleaved)
        Put16(out, static_cast<uint16_t>(ToPcm16(v)));
    return out;
}

std::vector<uint8_t> EncodeWave(const Samples& mono, int rate) { return EncodeWave(mono, 1, rate); }

std::vector<uint8_t> EncodeWave(const TStereo& stereo, int rate) {
    Samples interleaved(stereo.Frames() * 2);
    for (size_t i = 0; i < stereo.Frames(); ++i) {
        interleaved[2 * i] = stereo.Left[i];
        interleaved[2 * i + 1] = stereo.Right[i];
    }
    return EncodeWave(interleaved, 2, rate);
}

bool EncodeVorbis(const TStereo& stereo, int rate, float quality, int serial, const std::string& title,
                  std::vector<uint8_t>& out, std::string& problem) {
    out.clear();
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, 2, rate, quality) != 0) {
        vorbis_info_clear(&info);
        problem = "the Vorbis encoder refuses " + std::to_string(rate) + " Hz stereo at this quality";
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "TITLE", title.c_str());
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, serial);

    auto takePage = [&out](const ogg_page& page) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    ogg_page page;
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    // Audio starts on a fresh page, as decoders expect.
    while (ogg_stream_flush(&stream, &page) != 0)
        takePage(page);

    auto drain = [&] {
        ogg_packet packet;
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0)
                    takePage(page);
            }
        }
    };
    constexpr size_t Chunk = 4096;
    for (size_t start = 0; start < stereo.Frames(); start += Chunk) {
        const size_t count = std::min(Chunk, stereo.Frames() - start);
        float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
        std::copy_n(stereo.Left.begin() + static_cast<std::ptrdiff_t>(start), count, buffer[0]);
        std::copy_n(stereo.Right.begin() + static_cast<std::ptrdiff_t>(start), count, buffer[1]);
        vorbis_analysis_wrote(&dsp, static_cast<int>(count));
        drain();
    }
    vorbis_analysis_wrote(&dsp, 0);
    drain();
    while (ogg_stream_flush(&stream, &page) != 0)
        takePage(page);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return true;
}

std::string SoundsFolder(const std::string& outDir) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(outDir) / "Data" / "Sounds";
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        std::cerr << "mygame-data: cannot create " << folder.string() << ": " << ec.message() << "\n";
        return {};
    }
    return folder.string() + "/";
}

bool WriteDataFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file)
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        std::cerr << "mygame-data: cannot write " << path << "\n";
        return false;
    }
    return true;
}

}  // namespace audio
