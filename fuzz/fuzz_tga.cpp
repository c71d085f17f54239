// TGA files: the whole-file decoder and the image class on its own.

#include "FuzzTexture.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file(data, data + size);

    TStoredTextureData texture;
    std::string error;
    if (DecodeTGATexture(file, texture, error))
        fuzz::CheckTexture(texture);
    else
        fuzz::Require(!error.empty(), "refused TGA without a reason");

    TMemoryStream stream(file);
    TTGAImage image;
    if (image.LoadFromStream(stream)) {
        fuzz::Require(
            image.Pixels.size() == size_t(image.Width) * image.Height * size_t(image.BytesPerPixel()),
            "TGA pixels do not match the header");
        image.FlipVertical();
        image.FlipHorizontal();
        image.SwapRedBlue();
        TStoredTextureData converted;
        if (ConvertTGAImage(image, converted, error))
            fuzz::CheckTexture(converted);
    }
    return 0;
}
