// The battle's sound effects and the soldiers' voices, written as 16-bit WAV
// files in Data/Sounds. The effects are synthesised here; the voices are spoken
// by espeak-ng and then given a little presence and room.
//
// File names are upper case: the sound storage asks for "AGA.WAV" and so on, and
// the music player's lookup of "Muz_1.OGG" ignores case.

#include "DataTool.h"
#include "audio_synth.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <numbers>

using namespace audio;

namespace {

constexpr int Rate = 22050;
constexpr double TwoPi = 2.0 * std::numbers::pi;

size_t Frames(double seconds) { return static_cast<size_t>(seconds * Rate); }
int64_t At(double seconds) { return static_cast<int64_t>(std::llround(seconds * Rate)); }

void Normalize(Samples& s, float peak) {
    const float current = Peak(s);
    if (current > 0)
        Scale(s, peak / current);
}

// A one-shot sound with a touch of room: the reverb rings into the added tail.
Samples WithRoom(const Samples& dry, double tailSeconds, double roomSize, float wet) {
    TStereo mix(dry.size() + Frames(tailSeconds));
    MixInto(mix.Left, dry, 0, 1.0f, false);
    Samples send = mix.Left;
    AddReverb(mix, send, Rate, roomSize, 0.5, wet, false);
    for (size_t i = 0; i < mix.Frames(); ++i)
        mix.Left[i] = 0.5f * (mix.Left[i] + mix.Right[i]);
    FadeEdges(mix.Left, 0, Frames(0.05));
    return mix.Left;
}

// ---------------------------------------------------------------------------
// A voice made of formants: a glottal buzz through three vowel resonances. It
// gives the death cry and the fighters' grunts.

struct TVowelPoint {
    double Time;        // seconds
    double Pitch;       // Hz
    double F1, F2, F3;  // formant frequencies, Hz
    double Level;       // 0..1
};

Samples FormantVoice(const std::vector<TVowelPoint>& path, double breathiness, double roughness,
                     TRandom& rng) {
    if (path.size() < 2)
        return {};
    const double length = path.back().Time;
    Samples out(Frames(length), 0.0f);
    TBiquad formants[3];
    TBiquad tilt;
    tilt.SetLowPass(Rate, 1200, 0.6);
    TBiquad aspiration;
    aspiration.SetHighPass(Rate, 900, 0.7);
    double phase = 0, jitter = 0, growl = 0;
    bool weakCycle = false;
    size_t segment = 0;
    TVowelPoint now = path.front();
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / Rate;
        while (segment + 2 < path.size() && t >= path[segment + 1].Time)
            ++segment;
        const TVowelPoint& a = path[segment];
        const TVowelPoint& b = path[segment + 1];
        const double x = std::clamp((t - a.Time) / std::max(b.Time - a.Time, 1e-6), 0.0, 1.0);
        auto mixd = [x](double p, double q) { return p + (q - p) * x; };
        now = {t,
               mixd(a.Pitch, b.Pitch),
               mixd(a.F1, b.F1),
               mixd(a.F2, b.F2),
               mixd(a.F3, b.F3),
               mixd(a.Level, b.Level)};
        if ((i & 31) == 0) {
            const double freq[3] = {now.F1, now.F2, now.F3};
            const double width[3] = {90, 120, 170};
            for (int k = 0; k < 3; ++k)
                formants[k].SetBandPass(Rate, freq[k], freq[k] / width[k]);
            // A strained voice wavers: slow random drift of the pitch.
            jitter += 0.2 * (rng.Noise() * 0.03 - jitter);
            growl += 0.3 * (rng.Uniform() - growl);
        }
        phase += now.Pitch * (1.0 + jitter) / Rate;
        if (phase >= 1.0) {
            phase -= std::floor(phase);
            weakCycle = !weakCycle;
        }
        double buzz = TWaveTable::Saw().At(phase);
        // Roughness: a strained voice alternates strong and weak cycles, which
        // gives the rasp of a scream an octave below its pitch.
        buzz *= 1.0 - roughness * (weakCycle ? 0.5 + 0.5 * growl : 0.2 * growl);
        const double source =
            tilt.Process(static_cast<float>(buzz)) * 2.0 + breathiness * aspiration.Process(rng.Noise());
        const double voiced = formants[0].Process(static_cast<float>(source)) +
                              0.6 * formants[1].Process(static_cast<float>(source)) +
                              0.3 * formants[2].Process(static_cast<float>(source));
        out[i] = static_cast<float>(voiced * now.Level);
    }
    Normalize(out, 1.0f);
    FadeEdges(out, Frames(0.005), Frames(0.02));
    return out;
}

Samples Grunt(double pitch, double seconds, bool open, TRandom& rng) {
    const double f1 = open ? 700 : 500, f2 = open ? 1150 : 950;
    return FormantVoice({{0.0, pitch * 1.1, f1, f2, 2500, 0.0},
                         {0.03, pitch * 1.2, f1, f2, 2500, 1.0},
                         {seconds * 0.6, pitch, f1 * 0.9, f2 * 0.9, 2400, 0.7},
                         {seconds, pitch * 0.8, f1 * 0.8, f2 * 0.85, 2300, 0.0}},
                        0.6, 0.4, rng);
}

// A shield or a body taking a blow: a low thump with a wooden knock.
Samples Thud(float velocity, TRandom& rng) {
    Samples out(Frames(0.35), 0.0f);
    TBiquad low, knock;
    low.SetLowPass(Rate, 700, 0.7);
    knock.SetBandPass(Rate, rng.Range(350, 500), 4);
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / Rate;
        const double body = std::sin(TwoPi * 82 * t) * std::exp(-t / 0.09);
        const float noise = rng.Noise();
        const double crack =
            low.Process(noise) * std::exp(-t / 0.03) + 2.5 * knock.Process(noise) * std::exp(-t / 0.05);
        out[i] = static_cast<float>(velocity * (0.8 * body + crack));
    }
    Normalize(out, velocity);
    FadeEdges(out, Frames(0.001), Frames(0.05));
    return out;
}

// A blade sliding along a blade.
Samples Scrape(double seconds, TRandom& rng) {
    Samples out(Frames(seconds), 0.0f);
    TBiquad band;
    for (size_t i = 0; i < out.size(); ++i) {
        const double x = static_cast<double>(i) / out.size();
        if ((i & 31) == 0)
            band.SetBandPass(Rate, 2800 + 2400 * x, 12);
        const double envelope = std::sin(std::numbers::pi * x) * (0.7 + 0.3 * std::sin(TwoPi * 23 * x));
        out[i] = static_cast<float>(envelope * band.Process(rng.Noise()));
    }
    Normalize(out, 1.0f);
    return out;
}

// ---------------------------------------------------------------------------
// The effects

// "Ambient1": sixteen seconds of wind, birds and a camp in the distance, made
// as a circle so that the looped source never clicks.
TStereo Ambience() {
    TRandom rng(0xA3B1E471);
    const size_t n = Frames(16.0);
    TStereo out(n);
    Samples send(n, 0.0f);

    // Wind: noise through a band-pass that breathes with gusts. Every modulation
    // completes whole cycles in the loop, and the filters run round it twice.
    const double tau = static_cast<double>(n);
    for (int side = 0; side < 2; ++side) {
        Samples noise(n);
        for (float& v : noise)
            v = rng.Noise();
        Samples& dst = side == 0 ? out.Left : out.Right;
        const double shift = side * 0.07;
        auto gust = [&](size_t i) {
            const double x = static_cast<double>(i) / tau;
            return 0.55 + 0.25 * std::sin(TwoPi * (2 * x + 0.1 + shift)) +
                   0.15 * std::sin(TwoPi * (5 * x + 0.6)) + 0.05 * std::sin(TwoPi * (11 * x + 0.3 + shift));
        };
        TBiquad band, body;
        body.SetLowPass(Rate, 350, 0.7);
        for (int pass = 0; pass < 2; ++pass) {
            for (size_t i = 0; i < n; ++i) {
                const double g = gust(i);
                if ((i & 63) == 0)
                    band.SetBandPass(Rate, 250 + 650 * g, 1.6);
                const float v =
                    band.Process(noise[i]) * static_cast<float>(g * g) + 0.5f * body.Process(noise[i]);
                if (pass == 1)
                    dst[i] += 0.5f * v;
            }
        }
    }

    // Birds: short phrases of chirps in the trees on either side.
    for (int call = 0; call < 12; ++call) {
        const double start = rng.Range(0.0, 16.0);
        const double base = rng.Range(2800, 4800);
        const int chirps = 2 + rng.Below(4);
        const bool falling = rng.Uniform() < 0.5;
        const float pan = static_cast<float>(rng.Range(-0.8, 0.8));
        const float level = static_cast<float>(rng.Range(0.05, 0.12));
        double at = start;
        for (int c = 0; c < chirps; ++c) {
            const double length = rng.Range(0.04, 0.11);
            const double sweep = rng.Range(600, 1600) * (falling ? -1 : 1);
            const double warble = rng.Range(25, 60);
            Samples chirp(Frames(length));
            double phase = 0;
            for (size_t i = 0; i < chirp.size(); ++i) {
                const double x = static_cast<double>(i) / chirp.size();
                const double f = base + sweep * x + 250 * std::sin(TwoPi * warble * x * length);
                phase += f / Rate;
                chirp[i] =
                    static_cast<float>(std::sin(TwoPi * phase) * std::pow(std::sin(std::numbers::pi * x), 2));
            }
            MixInto(out, chirp, At(at), level, pan, true);
            MixInto(send, chirp, At(at), level * 0.6f, true);
            at += length + rng.Range(0.03, 0.09);
        }
    }

    // The camp: a fire crackling and a smith at his anvil, far off to the right.
    TBiquad crackleTone;
    crackleTone.SetBandPass(Rate, 2200, 0.8);
    Samples fire(n, 0.0f);
    for (int pop = 0; pop < 110; ++pop) {
        Samples burst(Frames(rng.Range(0.002, 0.008)));
        for (size_t i = 0; i < burst.size(); ++i)
            burst[i] = rng.Noise() * static_cast<float>(1.0 - static_cast<double>(i) / burst.size());
        MixInto(fire, burst, At(rng.Range(0.0, 16.0)), static_cast<float>(std::pow(rng.Uniform(), 3.0)),
                true);
    }
    FilterLoop(fire, crackleTone);
    MixInto(out, fire, 0, 0.12f, 0.45f, true);
    MixInto(send, fire, 0, 0.05f, true);
    for (double strike : {2.1, 2.75, 3.4, 10.3, 10.95}) {
        Samples hit = MetalHit(Rate, 820, 1.2, 1.0f, rng);
        TBiquad distance;
        distance.SetLowPass(Rate, 2500, 0.7);
        for (float& v : hit)
            v = distance.Process(v);
        // Mostly reverb: the smithy is across the camp.
        MixInto(out, hit, At(strike), 0.025f, 0.6f, true);
        MixInto(send, hit, At(strike), 0.06f, true);
    }

    AddReverb(out, send, Rate, 0.8, 0.6, 2.0f, true);
    const float peak = Peak(out);
    if (peak > 0)
        Scale(out, 0.5f / peak);
    return out;
}

// "Battle1": a few seconds of melee: blades meeting, shields struck, men shouting.
Samples Melee() {
    TRandom rng(0xBA771E01);
    Samples dry(Frames(3.6), 0.0f);
    struct THit {
        double Time;
        char Kind;  // c clash, t thud, s scrape, g grunt, h shout
        double Pitch;
        float Level;
    };
    const THit hits[] = {
        {0.00, 'c', 2300, 1.0f},  {0.34, 't', 0, 0.8f},   {0.60, 'c', 1850, 0.9f}, {0.78, 'g', 140, 0.45f},
        {1.08, 'c', 2650, 0.85f}, {1.10, 's', 0, 0.3f},   {1.52, 't', 0, 0.7f},    {1.88, 'c', 2050, 1.0f},
        {1.92, 'c', 2400, 0.6f},  {2.30, 'h', 170, 0.5f}, {2.62, 'c', 2200, 0.9f}, {2.98, 't', 0, 0.75f},
        {3.10, 'c', 1950, 0.7f},
    };
    for (const THit& hit : hits) {
        Samples sound;
        switch (hit.Kind) {
        case 'c':
            sound = MetalHit(Rate, hit.Pitch, 0.9, 1.0f, rng);
            break;
        case 't':
            sound = Thud(1.0f, rng);
            break;
        case 's':
            sound = Scrape(0.35, rng);
            break;
        case 'g':
            sound = Grunt(hit.Pitch, 0.25, true, rng);
            break;
        default:
            sound = Grunt(hit.Pitch, 0.4, false, rng);
            break;
        }
        MixInto(dry, sound, At(hit.Time), hit.Level, false);
    }
    // The fight around them: a rumble of feet and voices.
    TBiquad crowd;
    crowd.SetBandPass(Rate, 450, 0.9);
    for (size_t i = 0; i < dry.size(); ++i) {
        const double x = static_cast<double>(i) / dry.size();
        const double swell = 0.6 + 0.4 * std::sin(TwoPi * (1.5 * x + 0.2));
        dry[i] += static_cast<float>(0.35 * swell * crowd.Process(rng.Noise()));
    }
    FadeEdges(dry, Frames(0.01), Frames(0.3));
    Samples out = WithRoom(dry, 0.8, 0.55, 1.5f);
    Normalize(out, 0.9f);
    return out;
}

// "Finish": the defeat: a kettle-drum roll and low brass falling to a dark D minor.
Samples DefeatSting() {
    TRandom rng(0xF1A15400);
    Samples dry(Frames(4.2), 0.0f);
    for (int stroke = 0; stroke < 12; ++stroke)
        MixInto(dry, Timpani(Rate, NoteHz(38), 0.8, 1.0f, rng), At(0.05 * stroke), 0.15f + 0.03f * stroke,
                false);
    MixInto(dry, Timpani(Rate, NoteHz(38), 2.5, 1.0f, rng), At(0.6), 0.9f, false);

    TVoiceSpec brass;
    brass.Table = &TWaveTable::Saw();
    brass.Unison = 3;
    brass.DetuneCents = 12;
    brass.Attack = 0.05;
    brass.Decay = 0.3;
    brass.Sustain = 0.75;
    brass.Release = 0.5;
    brass.Cutoff = 300;
    brass.CutoffKeyTrack = 1.2;
    brass.CutoffEnv = 1800;
    brass.FilterAttack = 0.08;
    brass.FilterDecay = 0.6;
    brass.FilterSustain = 0.35;
    brass.VibratoCents = 8;
    brass.VibratoDelay = 0.4;
    struct TChordAt {
        double Time, Hold;
        std::vector<int> Notes;
    };
    const TChordAt chords[] = {
        {0.6, 0.42, {50, 53, 57, 62}},   // D minor
        {1.08, 0.42, {46, 50, 53, 58}},  // B flat
        {1.56, 1.9, {38, 45, 50, 53}},   // D minor, low and long
    };
    for (const auto& chord : chords)
        for (int note : chord.Notes)
            MixInto(dry, RenderVoice(Rate, NoteHz(note), chord.Hold, 0.9f, brass, rng), At(chord.Time), 0.3f,
                    false);
    TRandom gongRng(0x6016);
    MixInto(dry, MetalHit(Rate, 180, 2.6, 1.0f, gongRng), At(1.56), 0.25f, false);
    Samples out = WithRoom(dry, 1.5, 0.75, 2.0f);
    Normalize(out, 0.9f);
    return out;
}

// "Dead1": a man's cry as he falls: a shout that breaks and sinks.
Samples DeathCry() {
    TRandom rng(0xDEAD0001);
    Samples cry = FormantVoice({{0.00, 250, 730, 1090, 2440, 0.0},
                                {0.05, 330, 750, 1150, 2500, 1.0},
                                {0.35, 370, 760, 1180, 2500, 1.0},
                                {0.70, 270, 620, 1000, 2400, 0.8},
                                {1.00, 170, 520, 880, 2300, 0.45},
                                {1.25, 120, 480, 820, 2250, 0.0}},
                               0.45, 0.6, rng);
    Samples out = WithRoom(cry, 0.6, 0.5, 1.2f);
    Normalize(out, 0.9f);
    return out;
}

// "Arrow1": the bowstring's snap and the shaft whistling away.
Samples ArrowShot() {
    TRandom rng(0xA7707001);
    Samples out(Frames(1.0), 0.0f);
    MixInto(out, Pluck(Rate, 140, 0.25, 0.9f, 0.9, rng), 0, 0.7f, false);
    Samples snap(Frames(0.06));
    TBiquad click;
    click.SetHighPass(Rate, 1500, 0.7);
    for (size_t i = 0; i < snap.size(); ++i) {
        const double t = static_cast<double>(i) / Rate;
        snap[i] = static_cast<float>(std::sin(TwoPi * 70 * t) * std::exp(-t / 0.02) +
                                     click.Process(rng.Noise()) * std::exp(-t / 0.003));
    }
    MixInto(out, snap, 0, 0.8f, false);

    TBiquad high, low;
    for (size_t i = Frames(0.02); i < out.size(); ++i) {
        const double t = static_cast<double>(i) / Rate;
        if ((i & 15) == 0) {
            // The pitch rises as the arrow leaves and falls as it passes away.
            const double centre =
                t < 0.3 ? 900 + 1900 * (t / 0.3) : 2800 - 1200 * std::min(1.0, (t - 0.3) / 0.6);
            high.SetBandPass(Rate, centre, 2.5);
            low.SetBandPass(Rate, centre * 0.3, 1.5);
        }
        const double envelope = t < 0.28 ? std::pow(t / 0.28, 2.0) : std::exp(-(t - 0.28) / 0.16);
        const float noise = rng.Noise();
        out[i] += static_cast<float>(envelope * (0.9 * high.Process(noise) + 0.5 * low.Process(noise)));
    }
    FadeEdges(out, Frames(0.001), Frames(0.05));
    Normalize(out, 0.85f);
    return out;
}

// ---------------------------------------------------------------------------
// The voices

Samples* SpeechTarget = nullptr;

int CollectSpeech(short* wave, int count, espeak_EVENT*) {
    if (wave && count > 0 && SpeechTarget)
        for (int i = 0; i < count; ++i)
            SpeechTarget->push_back(static_cast<float>(wave[i] / 32768.0));
    return 0;
}

struct TLine {
    const char* File;
    const char* Text;
    int Pitch;  // espeak's 0..100
    int Speed;  // words per minute
};

// Cuts espeak's silence off both ends, keeping a breath around the words.
void TrimSilence(Samples& s) {
    const float threshold = 0.02f * Peak(s);
    auto first = std::find_if(s.begin(), s.end(), [threshold](float v) { return std::fabs(v) > threshold; });
    auto last = std::find_if(s.rbegin(), s.rend(), [threshold](float v) { return std::fabs(v) > threshold; });
    if (first == s.end())
        return;
    const auto begin =
        std::max<std::ptrdiff_t>(0, (first - s.begin()) - static_cast<std::ptrdiff_t>(Frames(0.01)));
    const auto end = std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(s.size()),
                                              (s.rend() - last) + static_cast<std::ptrdiff_t>(Frames(0.04)));
    s = Samples(s.begin() + begin, s.begin() + end);
}

bool Speak(const TLine& line, Samples& out) {
    out.clear();
    SpeechTarget = &out;
    espeak_SetParameter(espeakRATE, line.Speed, 0);
    espeak_SetParameter(espeakPITCH, line.Pitch, 0);
    espeak_SetParameter(espeakRANGE, 60, 0);
    espeak_SetParameter(espeakVOLUME, 100, 0);
    const espeak_ERROR result = espeak_Synth(line.Text, std::strlen(line.Text) + 1, 0, POS_CHARACTER, 0,
                                             espeakCHARS_UTF8, nullptr, nullptr);
    espeak_Synchronize();
    SpeechTarget = nullptr;
    if (result != EE_OK || out.empty()) {
        std::cerr << "mygame-data: espeak-ng could not speak \"" << line.Text << "\" for " << line.File
                  << "\n";
        return false;
    }
    TrimSilence(out);
    // A soldier calling out: no rumble, more bite, a little room.
    TBiquad high, presence;
    high.SetHighPass(Rate, 110, 0.7);
    presence.SetPeak(Rate, 2400, 1.0, 4.0);
    Normalize(out, 1.0f);
    for (float& v : out)
        v = static_cast<float>(std::tanh(1.6 * presence.Process(high.Process(v))) / std::tanh(1.6));
    out = WithRoom(out, 0.3, 0.35, 0.6f);
    FadeEdges(out, Frames(0.005), Frames(0.02));
    Normalize(out, 0.85f);
    return true;
}

bool WriteVoices(const std::string& folder) {
    static const TLine lines[] = {
        {"AGA.WAV", "Ready!", 50, 165},
        {"GO.WAV", "Attack!", 46, 170},
        {"YESSIR.WAV", "Yes, sir!", 50, 165},
        {"FUCKYOU.WAV", "Cannot go there!", 44, 170},
    };
    const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (rate <= 0) {
        std::cerr
            << "mygame-data: espeak-ng does not start (is its data, package espeak-ng-data, installed?)\n";
        return false;
    }
    bool ok = rate == Rate;
    if (!ok)
        std::cerr << "mygame-data: espeak-ng speaks at " << rate << " Hz, the voices are made for " << Rate
                  << "\n";
    if (ok && espeak_SetVoiceByName("en+m3") != EE_OK && espeak_SetVoiceByName("en") != EE_OK) {
        std::cerr << "mygame-data: espeak-ng has no English voice\n";
        ok = false;
    }
    if (ok)
        espeak_SetSynthCallback(CollectSpeech);
    for (const TLine& line : lines) {
        Samples voice;
        if (!ok || !Speak(line, voice) || !WriteDataFile(folder + line.File, EncodeWave(voice, Rate))) {
            ok = false;
            break;
        }
    }
    espeak_Terminate();
    return ok;
}

}  // namespace

bool GenerateSoundEffects(const std::string& outDir) {
    const std::string folder = SoundsFolder(outDir);
    if (folder.empty())
        return false;
    const std::pair<const char*, Samples (*)()> effects[] = {
        {"BATTLE1.WAV", Melee},
        {"FINISH.WAV", DefeatSting},
        {"DEAD1.WAV", DeathCry},
        {"ARROW1.WAV", ArrowShot},
    };
    for (const auto& [file, make] : effects)
        if (!WriteDataFile(folder + file, EncodeWave(make(), Rate)))
            return false;
    return WriteDataFile(folder + "AMBIENT1.WAV", EncodeWave(Ambience(), Rate)) && WriteVoices(folder);
}

namespace {

int RunSounds(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::cerr << "mygame-data sounds: give the output folder (it receives Data/Sounds)\n";
        return 2;
    }
    return GenerateSoundEffects(args[0]) && GenerateMusic(args[0]) ? 0 : 1;
}

const DataGenerator soundGenerator(400, "sounds", GenerateSoundEffects);
const DataCommand soundsCommand("sounds",
                                "sounds OUTDIR       write only the sound effects, voices and music",
                                RunSounds);

}  // namespace
