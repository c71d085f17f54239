#pragma once
// What every decoded texture must satisfy, whichever file it came from: the pixel
// bytes fit the size and format, and the texture stream carries it unchanged to
// the resource class.

#include "FuzzSupport.h"
#include "resources/e_ResManagerClasses.h"
#include "resources/_TGA2.h"

namespace fuzz {

inline void CheckTexture(const TStoredTextureData& texture) {
    const int bpp = TextureFormatBytes(texture.Format);
    Require(bpp != 0, "accepted texture has no known format");
    Require(texture.Pixels.size() == size_t(texture.Width) * texture.Height * size_t(bpp),
            "pixel bytes do not match width x height x format");
    auto stream = WriteTextureStream(texture);
    Require(stream != nullptr, "texture stream not written");
    TResourceTexture resource("fuzz", false, *stream);
    Require(resource.Data.Format == texture.Format && resource.Data.Width == texture.Width &&
                resource.Data.Height == texture.Height && resource.Data.Pixels == texture.Pixels,
            "texture stream does not carry the texture unchanged");
}

}  // namespace fuzz
