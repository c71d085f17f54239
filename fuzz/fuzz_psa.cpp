// ".PSA" skeletal animations: bone count, frame count, frame rate and the tracks.

#include "FuzzSupport.h"
#include "resources/e_ResManagerClasses.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemoryStream stream(std::vector<uint8_t>(data, data + size));
    try {
        TSkeletalAnimation animation("fuzz.PSA", 0.5f, stream);
        fuzz::Require(animation.Loaded, "animation read but not marked loaded");
        fuzz::Require(animation.Data.BoneCount >= 0 && animation.Data.FrameCount >= 0 &&
                          animation.Data.Frames.size() == size_t(animation.Data.BoneCount),
                      "animation has another number of tracks than bones");
        for (const auto& track : animation.Data.Frames)
            fuzz::Require(track.size() == size_t(animation.Data.FrameCount),
                          "track length differs from frame count");
    } catch (const TStreamReadError&) {
    }
    return 0;
}
