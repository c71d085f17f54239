// Ogg Vorbis music through the game's own file reader and decoder callbacks: the
// stream facts the data tool prints, then the music player, which decodes the whole
// piece into an OpenAL buffer (OpenAL's null device: ALSOFT_DRIVERS=null).

#include "FuzzSupport.h"
#include "app/e_Log.h"
#include "sound/_ogg.h"
#include "sound/e_SoundPlayer.h"

#include <cstdlib>

// libvorbisfile 1.3.7 loses memory when ov_open_callbacks gives up on some damaged
// headers or links (plain stdio callbacks do the same): 8 bytes of its own, or a whole
// vorbis_info of libvorbis. Those leaks are the libraries', not ours.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
    return "leak:libvorbisfile.so\nleak:libvorbis.so\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("ALSOFT_DRIVERS", "null", 0);
    SetMessageBoxesEnabled(false);
    const std::string root = fuzz::ScratchDir().string() + "/";
    if (!InitSound(root, root))
        std::fprintf(stderr, "fuzz_ogg: no sound device, only the stream facts are read\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteScratchFile("input.ogg", data, size);
    TOggInfo info;
    std::string problem;
    const bool readable = ReadOggInfo(path, info, &problem);
    if (!readable)
        fuzz::Require(!problem.empty(), "refused Ogg file without a reason");

    if (SoundAvailable()) {
        TOGG player(path, false, false);
        if (player.HasSound()) {
            fuzz::Require(player.Channels == 1 || player.Channels == 2,
                          "player accepted a piece it cannot play");
            fuzz::Require(player.Rate > 0, "player accepted a piece without a rate");
        } else {
            fuzz::Require(!player.Problem.empty(), "silent player without a reason");
        }
    }
    return 0;
}
