#pragma once
// Shared by the sound tests: WAV images built in memory, small Ogg Vorbis pieces
// encoded on the spot, and a sounds folder under a temporary game folder.

#include "TestSupport.h"

#include "app/e_Log.h"
#include "app/e_Platform.h"

#include <vorbis/vorbisenc.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

// OpenAL Soft's mixer thread hands data to the caller through atomics inside the
// library, which ThreadSanitizer cannot see (the library is not instrumented).
// Races whose stacks lie in the library are its own business, not ours.
extern "C" __attribute__((used)) inline const char* __tsan_default_suppressions() {
    return "called_from_lib:libopenal.so\n";
}

namespace soundtest {

inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

inline void PutId(std::vector<uint8_t>& out, const char* id) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(id[i]));
}

struct WaveSpec {
    uint16_t channels = 1;
    uint16_t bits = 16;
    uint32_t rate = 22050;
    uint16_t formatTag = 1;
    uint32_t fmtSize = 16;  // extra bytes past 16 are written as zeros
    std::vector<uint8_t> samples = std::vector<uint8_t>(400, 0x10);
    bool withData = true;
    // Chunks written between fmt and data: id and body.
    std::vector<std::pair<std::string, std::vector<uint8_t>>> before;
};

inline std::vector<uint8_t> MakeWave(const WaveSpec& wave) {
    std::vector<uint8_t> out;
    PutId(out, "RIFF");
    Put32(out, 0);  // patched below
    PutId(out, "WAVE");
    PutId(out, "fmt ");
    Put32(out, wave.fmtSize);
    Put16(out, wave.formatTag);
    Put16(out, wave.channels);
    Put32(out, wave.rate);
    Put32(out, wave.rate * wave.channels * wave.bits / 8);
    Put16(out, static_cast<uint16_t>(wave.channels * wave.bits / 8));
    Put16(out, wave.bits);
    for (uint32_t i = 16; i < wave.fmtSize; ++i)
        out.push_back(0);
    for (const auto& [id, body] : wave.before) {
        PutId(out, id.c_str());
        Put32(out, static_cast<uint32_t>(body.size()));
        out.insert(out.end(), body.begin(), body.end());
        if (body.size() % 2)
            out.push_back(0);
    }
    if (wave.withData) {
        PutId(out, "data");
        Put32(out, static_cast<uint32_t>(wave.samples.size()));
        out.insert(out.end(), wave.samples.begin(), wave.samples.end());
    }
    const uint32_t riff = static_cast<uint32_t>(out.size() - 8);
    std::memcpy(out.data() + 4, &riff, 4);
    return out;
}

// A sine tone as interleaved 16-bit samples.
inline std::vector<int16_t> Tone(int channels, int rate, double seconds, double hz = 440.0) {
    const int frames = static_cast<int>(rate * seconds);
    std::vector<int16_t> pcm(static_cast<size_t>(frames) * channels);
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            pcm[static_cast<size_t>(f) * channels + c] =
                static_cast<int16_t>(8000.0 * std::sin(2.0 * M_PI * hz * (c + 1) * f / rate));
    return pcm;
}

// The encoder's analysis calls live in libvorbis and libogg, which the link line
// only carries indirectly (through libvorbisfile and libvorbisenc); they are
// taken from the already loaded libraries instead.
struct VorbisCalls {
    template <typename F>
    static F Find(const char* name) {
        void* symbol = dlsym(RTLD_DEFAULT, name);
        for (const char* lib : {"libvorbis.so.0", "libogg.so.0"}) {
            if (symbol)
                break;
            if (void* handle = dlopen(lib, RTLD_NOW | RTLD_GLOBAL))
                symbol = dlsym(handle, name);
        }
        if (!symbol)
            throw std::runtime_error(std::string("missing ") + name);
        return reinterpret_cast<F>(symbol);
    }
#define MG_VORBIS_CALL(name) decltype(&::name) name = Find<decltype(&::name)>(#name)
    MG_VORBIS_CALL(vorbis_info_init);
    MG_VORBIS_CALL(vorbis_info_clear);
    MG_VORBIS_CALL(vorbis_comment_init);
    MG_VORBIS_CALL(vorbis_comment_clear);
    MG_VORBIS_CALL(vorbis_analysis_init);
    MG_VORBIS_CALL(vorbis_block_init);
    MG_VORBIS_CALL(vorbis_block_clear);
    MG_VORBIS_CALL(vorbis_dsp_clear);
    MG_VORBIS_CALL(vorbis_analysis_headerout);
    MG_VORBIS_CALL(vorbis_analysis_buffer);
    MG_VORBIS_CALL(vorbis_analysis_wrote);
    MG_VORBIS_CALL(vorbis_analysis_blockout);
    MG_VORBIS_CALL(vorbis_analysis);
    MG_VORBIS_CALL(vorbis_bitrate_addblock);
    MG_VORBIS_CALL(vorbis_bitrate_flushpacket);
    MG_VORBIS_CALL(ogg_stream_init);
    MG_VORBIS_CALL(ogg_stream_clear);
    MG_VORBIS_CALL(ogg_stream_packetin);
    MG_VORBIS_CALL(ogg_stream_flush);
    MG_VORBIS_CALL(ogg_stream_pageout);
    MG_VORBIS_CALL(ogg_page_eos);
#undef MG_VORBIS_CALL
};

// Encodes interleaved 16-bit samples as an Ogg Vorbis file image.
inline std::vector<uint8_t> EncodeOgg(const std::vector<int16_t>& pcm, int channels, int rate) {
    static const VorbisCalls v;
    std::vector<uint8_t> out;
    vorbis_info vi;
    v.vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.1f) != 0) {
        v.vorbis_info_clear(&vi);
        return out;
    }
    vorbis_comment vc;
    v.vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    v.vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    v.vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    v.ogg_stream_init(&os, 12345);
    ogg_page og;
    ogg_packet op;

    auto writePage = [&out](const ogg_page& page) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    ogg_packet header, headerComm, headerCode;
    v.vorbis_analysis_headerout(&vd, &vc, &header, &headerComm, &headerCode);
    v.ogg_stream_packetin(&os, &header);
    v.ogg_stream_packetin(&os, &headerComm);
    v.ogg_stream_packetin(&os, &headerCode);
    while (v.ogg_stream_flush(&os, &og) != 0)
        writePage(og);

    const size_t frames = pcm.size() / channels;
    size_t done = 0;
    bool eos = false;
    while (!eos) {
        const size_t chunk = std::min<size_t>(1024, frames - done);
        if (chunk == 0) {
            v.vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buffer = v.vorbis_analysis_buffer(&vd, static_cast<int>(chunk));
            for (size_t f = 0; f < chunk; ++f)
                for (int c = 0; c < channels; ++c)
                    buffer[c][f] = pcm[(done + f) * channels + c] / 32768.0f;
            v.vorbis_analysis_wrote(&vd, static_cast<int>(chunk));
            done += chunk;
        }
        while (v.vorbis_analysis_blockout(&vd, &vb) == 1) {
            v.vorbis_analysis(&vb, nullptr);
            v.vorbis_bitrate_addblock(&vb);
            while (v.vorbis_bitrate_flushpacket(&vd, &op)) {
                v.ogg_stream_packetin(&os, &op);
                while (v.ogg_stream_pageout(&os, &og) != 0) {
                    writePage(og);
                    if (v.ogg_page_eos(&og))
                        eos = true;
                }
            }
        }
    }
    v.ogg_stream_clear(&os);
    v.vorbis_block_clear(&vb);
    v.vorbis_dsp_clear(&vd);
    v.vorbis_comment_clear(&vc);
    v.vorbis_info_clear(&vi);
    return out;
}

// A game folder with a fresh log; message boxes only reach the log and stderr.
struct GameFolder {
    TempDir dir;
    std::string root;
    std::string sounds;

    GameFolder() {
        root = dir.path() + "/";
        sounds = root + "Data/Sounds/";
        AppPath = root;
        SetMessageBoxesEnabled(false);
        StartLog();
    }
    std::string LogText() const { return ReadText(root + "InfoLog.txt"); }
    void WriteSound(const std::string& name, const std::vector<uint8_t>& bytes) const {
        WriteBytes(sounds + name, bytes);
    }
};

inline size_t CountOf(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

}  // namespace soundtest
