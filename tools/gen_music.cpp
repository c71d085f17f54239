// The two music pieces, composed here and written as Ogg Vorbis: "Muz_1", a calm
// modal theme for the main menu, and "Muz_2", a march with drums for the battle.
//
// The game decodes a piece whole and lets OpenAL loop the buffer, so each piece
// is rendered as a circle: notes that ring past the last bar are folded back onto
// the first, the reverb runs round the loop twice, and the last bar leads
// harmonically into the first. The seam is then as smooth as any other bar line.

#include "DataTool.h"
#include "audio_synth.h"

#include <cmath>
#include <iostream>
#include <utility>

using namespace audio;

namespace {

constexpr int Rate = 44100;
// Seconds from the start of the file to the first downbeat.
constexpr double DownbeatLead = 0.04;

// (pitch, length in beats); pitch 0 is a rest.
using TPhrase = std::vector<std::pair<int, double>>;

struct TChord {
    int Root;  // MIDI note in the octave of C2
    bool Minor;
};

// The chord's three tones, each put in the octave that lands it in [low, low + 12).
std::vector<int> Voicing(const TChord& chord, int low) {
    std::vector<int> tones;
    for (int step : {0, chord.Minor ? 3 : 4, 7}) {
        int pitch = chord.Root + step;
        while (pitch < low)
            pitch += 12;
        while (pitch >= low + 12)
            pitch -= 12;
        tones.push_back(pitch);
    }
    return tones;
}

// A piece being rendered: the dry stereo mix, a mono reverb send and the beat grid.
class TPiece {
public:
    TPiece(const char* name, double bpm, int beatsPerBar, int bars, uint64_t seed)
        : Name(name),
          BeatFrames(static_cast<int64_t>(std::llround(60.0 * Rate / bpm))),
          BeatsPerBar(beatsPerBar),
          Bars(bars),
          Mix(static_cast<size_t>(BeatFrames * beatsPerBar * bars)),
          Send(Mix.Frames(), 0.0f),
          Rng(seed) {}

    double Seconds(double beats) const { return beats * static_cast<double>(BeatFrames) / Rate; }
    double Bar(int bar) const { return static_cast<double>(bar) * BeatsPerBar; }

    // Adds a rendered note at `beat`, a few milliseconds early or late as a player would be.
    // The beat grid starts a moment into the file, so that the loop point falls where
    // notes ring on, never on the attack of the first downbeat.
    void Add(const Samples& note, double beat, float gain, float pan, float reverb,
             double looseness = 0.006) {
        const auto at =
            static_cast<int64_t>(std::llround(DownbeatLead * Rate + beat * static_cast<double>(BeatFrames) +
                                              Rng.Range(-1.0, 1.0) * looseness * Rate));
        MixInto(Mix, note, at, gain, pan, true);
        MixInto(Send, note, at, gain * reverb, true);
    }

    // One note of `tone`, held for `legato` of its `beats`.
    Samples Voice(const TVoiceSpec& tone, int pitch, double beats, float velocity, double legato = 1.0) {
        return RenderVoice(Rate, NoteHz(pitch), Seconds(beats) * legato, velocity, tone, Rng);
    }

    // Plays a phrase from `beat` on; every note is rendered by `render(pitch, beats, velocity)`.
    // Gives the beat after the phrase.
    template <typename Render>
    double Play(const TPhrase& phrase, double beat, float gain, float pan, float reverb, Render render) {
        for (const auto& [pitch, beats] : phrase) {
            if (pitch > 0) {
                const auto velocity = static_cast<float>(Rng.Range(0.85, 1.0));
                Add(render(pitch, beats, velocity), beat, gain, pan, reverb);
            }
            beat += beats;
        }
        return beat;
    }

    // Checks that a melody fills exactly its bars, so that no later edit can push
    // the tune off the beat grid (or past the loop) unnoticed.
    bool Fits(const TPhrase& phrase, int bars, const char* what) const {
        double beats = 0;
        for (const auto& note : phrase)
            beats += note.second;
        if (std::fabs(beats - bars * BeatsPerBar) > 1e-9) {
            std::cerr << "mygame-data: " << Name << ": the " << what << " runs " << beats << " beats, its "
                      << bars << " bars hold " << bars * BeatsPerBar << "\n";
            return false;
        }
        return true;
    }

    // Reverb round the loop, then the whole mix brought to its peak level (below
    // full scale, leaving headroom for the codec's ripple).
    TStereo Finish(double roomSize, double damping, float wet, float masterPeak) {
        AddReverb(Mix, Send, Rate, roomSize, damping, wet, true);
        const float peak = Peak(Mix);
        if (peak > 0)
            Scale(Mix, masterPeak / peak);
        return std::move(Mix);
    }

    const char* Name;
    int64_t BeatFrames;
    int BeatsPerBar, Bars;
    TStereo Mix;
    Samples Send;
    TRandom Rng;
};

TPhrase Join(std::initializer_list<TPhrase> parts) {
    TPhrase all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

bool WritePiece(const std::string& folder, const char* fileName, const TStereo& music, int serial,
                const char* title) {
    std::vector<uint8_t> ogg;
    std::string problem;
    if (!EncodeVorbis(music, Rate, 0.4f, serial, title, ogg, problem)) {
        std::cerr << "mygame-data: " << fileName << ": " << problem << "\n";
        return false;
    }
    return WriteDataFile(folder + fileName, ogg);
}

// ---------------------------------------------------------------------------
// "Muz_1": D dorian in 3/4, flute over harp, strings and a soft bass.

bool ComposeMenuTheme(TStereo& out) {
    TPiece piece("MUZ_1.OGG", 84, 3, 32, 0x4D454E55);
    const TChord Dm{38, true}, G{43, false}, C{36, false}, F{41, false}, Am{45, true}, Bb{46, false};
    const std::vector<TChord> chords = {
        Dm, G, Dm, C,  F,  C, G,  Am,  // A
        Dm, G, Dm, C,  F,  C, Am, Dm,  // A'
        F,  C, G,  Dm, Bb, F, G,  Am,  // B
        Dm, G, Dm, C,  F,  C, G,  Am,  // A again; Am leads back to the first Dm
    };
    const TPhrase themeHead = {{69, 2}, {74, 1}, {71, 1.5}, {69, .5}, {67, 1},   {65, 1},  {64, 1}, {62, 1},
                               {64, 2}, {67, 1}, {69, 2},   {72, 1},  {67, 1.5}, {65, .5}, {64, 1}};
    const TPhrase a = Join({themeHead, {{62, 1}, {67, 1}, {71, 1}, {69, 3}}});
    const TPhrase a2 = {{69, 2}, {74, 1}, {74, 1},   {76, 1},  {74, .5}, {71, .5}, {72, 1},
                        {69, 1}, {65, 1}, {67, 1.5}, {64, .5}, {72, 1},  {72, 2},  {69, 1},
                        {67, 1}, {64, 1}, {67, 1},   {64, 1},  {72, 1},  {71, 1},  {74, 3}};
    const TPhrase b = {{77, 2}, {76, 1},   {76, 1},  {74, 1}, {72, 1}, {74, 2}, {71, 1}, {69, 3}, {77, 2},
                       {74, 1}, {72, 1.5}, {69, .5}, {72, 1}, {71, 1}, {74, 1}, {79, 1}, {76, 3}};
    const TPhrase a3 = Join({themeHead, {{62, 1}, {67, 1}, {71, 1}, {69, 2}, {64, 1}}});
    if (!piece.Fits(a, 8, "first theme") || !piece.Fits(a2, 8, "second theme") ||
        !piece.Fits(b, 8, "middle") || !piece.Fits(a3, 8, "last theme"))
        return false;

    TVoiceSpec flute;
    flute.Table = &TWaveTable::Flute();
    flute.Attack = 0.07;
    flute.Decay = 0.3;
    flute.Sustain = 0.85;
    flute.Release = 0.25;
    flute.VibratoHz = 5.2;
    flute.VibratoCents = 14;
    flute.VibratoDelay = 0.25;
    flute.Cutoff = 4500;
    flute.Breath = 0.05;

    TVoiceSpec strings;
    strings.Table = &TWaveTable::Saw();
    strings.Unison = 3;
    strings.DetuneCents = 14;
    strings.Attack = 0.18;
    strings.Decay = 0.5;
    strings.Sustain = 0.9;
    strings.Release = 0.5;
    strings.VibratoHz = 5.0;
    strings.VibratoCents = 10;
    strings.Cutoff = 2600;

    TVoiceSpec pad = strings;
    pad.Attack = 0.9;
    pad.Release = 1.6;
    pad.Cutoff = 1500;
    pad.VibratoCents = 6;

    TVoiceSpec bass;
    bass.Table = &TWaveTable::Soft();
    bass.Attack = 0.04;
    bass.Decay = 0.8;
    bass.Sustain = 0.6;
    bass.Release = 0.5;
    bass.Cutoff = 700;

    auto& rng = piece.Rng;
    auto legato = [&](const TVoiceSpec& tone) {
        return [&piece, tone](int pitch, double beats, float velocity) {
            return piece.Voice(tone, pitch, beats, velocity, 0.96);
        };
    };

    // Melody: flute for the themes, the string section sings the middle part.
    double beat = piece.Play(a, 0, 0.42f, 0.1f, 0.35f, legato(flute));
    beat = piece.Play(a2, beat, 0.42f, 0.1f, 0.35f, legato(flute));
    beat = piece.Play(b, beat, 0.32f, 0.15f, 0.4f, legato(strings));
    piece.Play(a3, beat, 0.42f, 0.1f, 0.35f, legato(flute));

    for (int bar = 0; bar < piece.Bars; ++bar) {
        const TChord& chord = chords[bar];
        const double start = piece.Bar(bar);
        const std::vector<int> low = Voicing(chord, 50), mid = Voicing(chord, 57);
        // Harp: six quavers rising through the chord.
        const int arpeggio[6] = {low[0], low[2], mid[0], mid[1], mid[2], mid[1]};
        for (int i = 0; i < 6; ++i) {
            const double brightness = i == 0 ? 0.4 : 0.28;
            const auto velocity = static_cast<float>(rng.Range(0.75, 0.95) * (i == 0 ? 1.0 : 0.8));
            piece.Add(Pluck(Rate, NoteHz(arpeggio[i]), 2.2, velocity, brightness, rng), start + 0.5 * i, 0.3f,
                      -0.35f + 0.1f * i, 0.3f);
        }
        // Strings hold the chord through the bar.
        const std::vector<int> held = Voicing(chord, 55);
        for (int i = 0; i < 3; ++i)
            piece.Add(piece.Voice(pad, held[i], 3.0, 0.8f), start, 0.085f, -0.5f + 0.5f * i, 0.6f, 0.0);
        // Bass on the downbeat.
        piece.Add(piece.Voice(bass, chord.Root, 2.7, 0.9f), start, 0.3f, 0.0f, 0.15f, 0.0);
        // A bell answers the flute in the second theme and the return.
        if ((bar >= 8 && bar < 16) || bar >= 24) {
            const int bell = Voicing(chord, 79)[bar % 2 == 0 ? 2 : 1];
            piece.Add(Bell(Rate, NoteHz(bell), 2.5, 0.8f), start + 1.5, 0.06f, 0.45f, 0.7f);
        }
    }
    // Sustained chords carry more power per peak than the march: a lower peak
    // brings both pieces to about the same loudness.
    out = piece.Finish(0.88, 0.45, 2.7f, 0.62f);
    return true;
}

// ---------------------------------------------------------------------------
// "Muz_2": a march in D minor, 4/4: brass, strings, tuba, snare, bass drum, timpani.

bool ComposeBattleMarch(TStereo& out) {
    TPiece piece("MUZ_2.OGG", 112, 4, 32, 0x4D415243);
    const TChord Dm{38, true}, Bb{46, false}, C{36, false}, Gm{43, true}, A{45, false}, F{41, false};
    const std::vector<TChord> chords = {
        Dm, Bb, C,  Dm, Dm, Gm, A,  A,   // A
        Dm, Bb, C,  Dm, Gm, Dm, A,  Dm,  // A'
        F,  C,  Dm, Bb, F,  C,  Gm, A,   // B
        Dm, Bb, C,  Dm, Dm, Gm, A,  A,   // A again; the dominant leads back to the start
    };
    const TPhrase head = {{62, 1.5}, {62, .5}, {69, 1},   {69, 1},  {70, 1.5}, {69, .5},
                          {67, 1},   {65, 1},  {67, 1.5}, {65, .5}, {64, 1},   {60, 1}};
    const TPhrase a = Join({head,
                            {{62, 3},
                             {57, 1},
                             {62, 1.5},
                             {64, .5},
                             {65, 1},
                             {67, 1},
                             {69, 1.5},
                             {70, .5},
                             {69, 1},
                             {67, 1},
                             {64, 1.5},
                             {65, .5},
                             {64, 1},
                             {61, 1},
                             {69, 2},
                             {64, 1},
                             {61, 1}}});
    const TPhrase a2 = Join({head,
                             {{62, 2},
                              {65, 1},
                              {69, 1},
                              {70, 1.5},
                              {69, .5},
                              {67, 1},
                              {74, 1},
                              {74, 1.5},
                              {72, .5},
                              {69, 2},
                              {67, 1},
                              {65, 1},
                              {64, 1},
                              {61, 1},
                              {62, 4}}});
    const TPhrase b = {{69, 1.5}, {69, .5},  {72, 1},  {69, 1}, {67, 1.5}, {67, .5}, {64, 1},
                       {60, 1},   {65, 1.5}, {67, .5}, {69, 1}, {74, 1},   {74, 2},  {70, 2},
                       {72, 1.5}, {72, .5},  {69, 1},  {65, 1}, {64, 1},   {67, 1},  {72, 1},
                       {76, 1},   {74, 1.5}, {72, .5}, {70, 1}, {67, 1},   {73, 2},  {69, 2}};
    if (!piece.Fits(a, 8, "theme") || !piece.Fits(a2, 8, "second theme") || !piece.Fits(b, 8, "middle"))
        return false;

    TVoiceSpec trumpet;
    trumpet.Table = &TWaveTable::Saw();
    trumpet.Unison = 2;
    trumpet.DetuneCents = 8;
    trumpet.Attack = 0.03;
    trumpet.Decay = 0.25;
    trumpet.Sustain = 0.8;
    trumpet.Release = 0.12;
    trumpet.Cutoff = 450;
    trumpet.CutoffKeyTrack = 1.5;
    trumpet.CutoffEnv = 2600;
    trumpet.FilterAttack = 0.05;
    trumpet.FilterDecay = 0.4;
    trumpet.FilterSustain = 0.45;
    trumpet.VibratoHz = 5.5;
    trumpet.VibratoCents = 12;
    trumpet.VibratoDelay = 0.3;

    TVoiceSpec horn = trumpet;
    horn.Unison = 3;
    horn.DetuneCents = 12;
    horn.Cutoff = 300;
    horn.CutoffEnv = 1400;
    horn.Attack = 0.02;
    horn.Release = 0.1;

    TVoiceSpec strings;
    strings.Table = &TWaveTable::Saw();
    strings.Unison = 3;
    strings.DetuneCents = 12;
    strings.Attack = 0.08;
    strings.Decay = 0.3;
    strings.Sustain = 0.85;
    strings.Release = 0.3;
    strings.VibratoHz = 5.5;
    strings.VibratoCents = 10;
    strings.Cutoff = 3000;

    TVoiceSpec cellos;
    cellos.Table = &TWaveTable::Saw();
    cellos.Unison = 2;
    cellos.DetuneCents = 10;
    cellos.Attack = 0.01;
    cellos.Decay = 0.12;
    cellos.Sustain = 0.5;
    cellos.Release = 0.08;
    cellos.Cutoff = 500;
    cellos.CutoffEnv = 1200;
    cellos.FilterAttack = 0.01;
    cellos.FilterDecay = 0.15;
    cellos.FilterSustain = 0.2;

    TVoiceSpec tuba;
    tuba.Table = &TWaveTable::Hollow();
    tuba.Attack = 0.03;
    tuba.Decay = 0.3;
    tuba.Sustain = 0.7;
    tuba.Release = 0.1;
    tuba.Cutoff = 350;
    tuba.CutoffEnv = 500;

    auto& rng = piece.Rng;
    auto voice = [&](const TVoiceSpec& tone, double legato, int transpose) {
        return [&piece, tone, legato, transpose](int pitch, double beats, float velocity) {
            return piece.Voice(tone, pitch + transpose, beats, velocity, legato);
        };
    };

    // The tune: trumpets with horns an octave below; strings take the middle part.
    double beat = 0;
    for (const TPhrase* phrase : {&a, &a2}) {
        piece.Play(*phrase, beat, 0.13f, -0.2f, 0.3f, voice(horn, 0.9, -12));
        beat = piece.Play(*phrase, beat, 0.3f, 0.05f, 0.3f, voice(trumpet, 0.88, 0));
    }
    piece.Play(b, beat, 0.12f, -0.2f, 0.3f, voice(horn, 0.9, -12));
    beat = piece.Play(b, beat, 0.2f, 0.25f, 0.35f, voice(strings, 0.95, 12));
    piece.Play(a, beat, 0.13f, -0.2f, 0.3f, voice(horn, 0.9, -12));
    piece.Play(a, beat, 0.3f, 0.05f, 0.3f, voice(trumpet, 0.88, 0));
    piece.Play(a, beat, 0.09f, 0.3f, 0.35f, voice(strings, 0.95, 12));  // the return, doubled above

    const Samples kick = Kick(Rate, 1.0f);
    for (int bar = 0; bar < piece.Bars; ++bar) {
        const TChord& chord = chords[bar];
        const double start = piece.Bar(bar);
        const bool middle = bar >= 16 && bar < 24;
        const bool lastOfPhrase = bar % 8 == 7;

        // Oom-pah: tuba on one and three, horn chords on two and four.
        piece.Add(piece.Voice(tuba, chord.Root, 0.8, 0.9f), start, 0.4f, 0.0f, 0.1f);
        piece.Add(piece.Voice(tuba, chord.Root + 7, 0.8, 0.85f), start + 2, 0.36f, 0.0f, 0.1f);
        for (double offbeat : {1.0, 3.0})
            for (int pitch : Voicing(chord, 55))
                piece.Add(piece.Voice(horn, pitch, 0.4, 0.7f), start + offbeat, 0.05f, 0.35f, 0.25f);
        // Cellos drive quavers on the root.
        for (int i = 0; i < 8; ++i) {
            const auto velocity = static_cast<float>((i % 2 == 0 ? 0.9 : 0.65) * rng.Range(0.9, 1.0));
            piece.Add(piece.Voice(cellos, chord.Root + 12, 0.3, velocity), start + 0.5 * i, 0.11f, -0.4f,
                      0.15f);
        }
        // High strings hold the harmony in the middle part.
        if (middle)
            for (int pitch : Voicing(chord, 67))
                piece.Add(piece.Voice(strings, pitch, 3.9, 0.6f), start, 0.035f, 0.4f, 0.5f, 0.0);

        // Drums, in semiquavers: the bass drum on one and three, the snare's march figure.
        piece.Add(kick, start, 0.38f, 0.0f, 0.1f, 0.002);
        piece.Add(kick, start + 2, middle ? 0.26f : 0.34f, 0.0f, 0.1f, 0.002);
        static const float snareFigure[16] = {0.45f, 0, 0,    0.3f,  0.9f, 0, 0.25f, 0.4f,
                                              0.5f,  0, 0.3f, 0.35f, 0.9f, 0, 0.3f,  0.45f};
        const int figureEnd = lastOfPhrase ? 12 : 16;
        for (int step = 0; step < figureEnd; ++step)
            if (snareFigure[step] > 0)
                piece.Add(Snare(Rate, snareFigure[step], rng), start + 0.25 * step, 0.35f, 0.1f, 0.2f, 0.003);
        if (lastOfPhrase) {
            // A roll in demisemiquavers swells into the next phrase.
            for (int step = 0; step < 8; ++step)
                piece.Add(Snare(Rate, 0.35f + 0.08f * step, rng), start + 3 + 0.125 * step, 0.33f, 0.1f, 0.2f,
                          0.002);
        }
        if (bar % 8 == 0)
            piece.Add(Crash(Rate, 2.5, 0.5f, rng), start, 0.3f, -0.25f, 0.3f, 0.0);
        if (bar % 2 == 0 || middle) {
            const int drum = chord.Root + (chord.Root > 41 ? -12 : 0) + 12;
            piece.Add(Timpani(Rate, NoteHz(drum), 1.5, 0.8f, rng), start, 0.18f, -0.15f, 0.3f, 0.0);
        }
    }
    out = piece.Finish(0.6, 0.5, 2.2f, 0.85f);
    return true;
}

}  // namespace

bool GenerateMusic(const std::string& outDir) {
    const std::string folder = SoundsFolder(outDir);
    if (folder.empty())
        return false;
    TStereo menu, battle;
    if (!ComposeMenuTheme(menu) || !WritePiece(folder, "MUZ_1.OGG", menu, 0x4D555A31, "Muz_1 (main menu)"))
        return false;
    if (!ComposeBattleMarch(battle) || !WritePiece(folder, "MUZ_2.OGG", battle, 0x4D555A32, "Muz_2 (battle)"))
        return false;
    return true;
}

namespace {
const DataGenerator musicGenerator(410, "music", GenerateMusic);
}
