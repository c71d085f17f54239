#pragma once
// Texture files: the TGA reader, a reader for plain true-colour BMP files, the texture
// stream both produce. (The renderer's resource device turns decoded pixels into textures.)
//
// What the texture path makes of each kind of image:
//  - TGA true colour, 24 and 32 bits (types 2, 10): GL_RGB / GL_RGBA.
//  - TGA true colour, 15 and 16 bits: expanded to 8 bits per channel; GL_RGBA when the
//    file declares an alpha bit (16 bits and attribute bits in the descriptor), else GL_RGB.
//  - TGA grey, 8 bits (types 3, 11): GL_LUMINANCE; grey with alpha (16 bits): GL_RGBA.
//  - TGA colour-mapped (types 1, 9) with 8- or 16-bit indices: expanded through the colour
//    map (entries of 15, 16, 24 or 32 bits) to GL_RGB, or GL_RGBA for 32-bit entries and
//    16-bit entries with an alpha bit. An index outside the map refuses the file.
//  - BMP, uncompressed 16, 24 and 32 bits (BI_RGB, BI_BITFIELDS, BI_ALPHABITFIELDS):
//    GL_RGB, or GL_RGBA when the file has an alpha mask. Palette and compressed BMPs are refused.
// Everything else, and any file shorter than its header announces (run-length packets
// included), is refused: the loaders return null and say why, never reading or writing
// outside their buffers.

#include "resources/e_ResManagerTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TTGAImage {
public:
    TTGAImage();
    ~TTGAImage();

    // The 18-byte file header.
    uint8_t IdLength;
    uint8_t ColorMapType;
    uint8_t ImageType;  // 1, 2, 3 after loading (run-length types have 8 subtracted)
    uint16_t ColorMapStart;
    uint16_t ColorMapLength;
    uint8_t ColorMapEntryBits;
    uint16_t OriginX;
    uint16_t OriginY;
    uint16_t Width;
    uint16_t Height;
    uint8_t PixelBits;
    uint8_t Descriptor;  // 0x10 right-to-left, 0x20 top-to-bottom, low nibble alpha bits

    // Width x Height x BytesPerPixel(), first row at the bottom, first column at the left.
    std::vector<uint8_t> Pixels;
    std::vector<uint8_t> ColorMap;
    // Why the last load was refused.
    std::string Error;

    // False when the file cannot be read or is refused (see Error).
    bool LoadFromFile(const std::string& fileName);
    // Reads from the stream's position. False when refused (see Error).
    bool LoadFromStream(TMemoryStream& stream);

    int BytesPerPixel() const { return (PixelBits + 7) / 8; }
    void FlipVertical();
    void FlipHorizontal();
    // Exchanges bytes 0 and 2 of every pixel of 24 and 32 bits (files store blue first).
    void SwapRedBlue();

private:
    bool DecodeRLE(TMemoryStream& stream);
    bool Fail(std::string why);
};

// Builds the texture record from a loaded image (see the list at the top).
bool ConvertTGAImage(const TTGAImage& image, TStoredTextureData& out, std::string& error);

// Whole-file decoders into the texture record; false with a reason when refused.
bool DecodeTGATexture(const std::vector<uint8_t>& file, TStoredTextureData& out, std::string& error);

struct TBMPInfo {
    int32_t Width = 0;
    int32_t Height = 0;  // negative: rows stored top to bottom
    uint16_t Bits = 0;
    uint32_t Compression = 0;
    uint32_t HeaderSize = 0;
};
// `info` receives whatever of the header could be read, even for a refused file.
bool DecodeBMPTexture(const std::vector<uint8_t>& file, TStoredTextureData& out, std::string& error,
                      TBMPInfo* info = nullptr);

// The texture stream: format (int32), width (uint16), height (uint16), byte count n (int32),
// then n pixel bytes. Positioned at 0.
std::unique_ptr<TMemoryStream> WriteTextureStream(const TStoredTextureData& data);

// Read a texture file into a new texture stream; null when the file is missing or refused
// (the reason goes to *error when given).
std::unique_ptr<TMemoryStream> LoadTGATexture(const std::string& fileName, std::string* error = nullptr);
std::unique_ptr<TMemoryStream> LoadBMPTexture(const std::string& fileName, std::string* error = nullptr);
