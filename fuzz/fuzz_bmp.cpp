// BMP files through the whole-file decoder.

#include "FuzzTexture.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file(data, data + size);
    TStoredTextureData texture;
    std::string error;
    TBMPInfo info;
    if (DecodeBMPTexture(file, texture, error, &info)) {
        fuzz::CheckTexture(texture);
        fuzz::Require(
            texture.Width == uint32_t(info.Width) &&
                int64_t(texture.Height) == (info.Height < 0 ? -int64_t(info.Height) : int64_t(info.Height)),
            "BMP size differs from its header");
    } else {
        fuzz::Require(!error.empty(), "refused BMP without a reason");
    }
    return 0;
}
