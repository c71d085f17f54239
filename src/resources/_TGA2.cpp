#include "resources/_TGA2.h"

#include "app/e_ByteReader.h"
#include "app/e_Platform.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// The texture stream stores the byte count as a signed 32-bit number.
constexpr uint64_t MaxTextureBytes = INT32_MAX;

// A run packet of 1 + bpp bytes expands to at most 128 pixels.
constexpr uint64_t MaxRleExpansion = 128;

// 5-bit channel to 8 bits, the same as replicating the high bits.
uint8_t Expand5(unsigned v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }

// A 15/16-bit TGA colour (little-endian ARRRRRGG GGGBBBBB) to RGB(A).
void Unpack16(const uint8_t* src, uint8_t* dst, bool alpha) {
    unsigned v = LoadLE16(src);
    dst[0] = Expand5((v >> 10) & 31);
    dst[1] = Expand5((v >> 5) & 31);
    dst[2] = Expand5(v & 31);
    if (alpha)
        dst[3] = (v & 0x8000) ? 255 : 0;
}

// A colour of `bits` bits (15, 16, 24, 32, stored blue first) to RGB(A).
void UnpackColor(const uint8_t* src, int bits, uint8_t* dst, bool alpha) {
    if (bits <= 16) {
        Unpack16(src, dst, alpha);
        return;
    }
    dst[0] = src[2];
    dst[1] = src[1];
    dst[2] = src[0];
    if (alpha)
        dst[3] = bits == 32 ? src[3] : 255;
}

bool IsColorBits(int bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// TTGAImage

TTGAImage::TTGAImage()
    : IdLength(0),
      ColorMapType(0),
      ImageType(0),
      ColorMapStart(0),
      ColorMapLength(0),
      ColorMapEntryBits(0),
      OriginX(0),
      OriginY(0),
      Width(0),
      Height(0),
      PixelBits(0),
      Descriptor(0) {}

TTGAImage::~TTGAImage() = default;

bool TTGAImage::Fail(std::string why) {
    Error = std::move(why);
    Pixels.clear();
    return false;
}

bool TTGAImage::LoadFromFile(const std::string& fileName) {
    TMemoryStream stream;
    if (!stream.LoadFromFile(fileName))
        return Fail("cannot be read");
    return LoadFromStream(stream);
}

bool TTGAImage::LoadFromStream(TMemoryStream& stream) {
    Error.clear();
    Pixels.clear();
    ColorMap.clear();
    if (stream.Remaining() < 18)
        return Fail("shorter than a TGA header");
    IdLength = stream.ReadByte();
    ColorMapType = stream.ReadByte();
    ImageType = stream.ReadByte();
    ColorMapStart = stream.ReadUInt16();
    ColorMapLength = stream.ReadUInt16();
    ColorMapEntryBits = stream.ReadByte();
    OriginX = stream.ReadUInt16();
    OriginY = stream.ReadUInt16();
    Width = stream.ReadUInt16();
    Height = stream.ReadUInt16();
    PixelBits = stream.ReadByte();
    Descriptor = stream.ReadByte();

    if (stream.Remaining() < IdLength)
        return Fail("ends inside the identification field");
    stream.Seek(stream.GetPosition() + IdLength);

    if (ColorMapType == 1) {
        uint64_t mapBytes = uint64_t(ColorMapLength) * ((ColorMapEntryBits + 7) / 8);
        if (static_cast<uint64_t>(stream.Remaining()) < mapBytes)
            return Fail("ends inside the colour map");
        ColorMap.resize(mapBytes);
        stream.ReadBuffer(ColorMap.data(), ColorMap.size());
    }

    const int base = ImageType > 8 ? ImageType - 8 : ImageType;
    if (ImageType != 1 && ImageType != 2 && ImageType != 3 && ImageType != 9 && ImageType != 10 &&
        ImageType != 11)
        return Fail("image type " + std::to_string(ImageType) + " is not supported");
    if (Width == 0 || Height == 0)
        return Fail("has no pixels (" + std::to_string(Width) + "x" + std::to_string(Height) + ")");
    bool bitsOk = (base == 1 && (PixelBits == 8 || PixelBits == 16)) ||
                  (base == 2 && IsColorBits(PixelBits)) || (base == 3 && (PixelBits == 8 || PixelBits == 16));
    if (!bitsOk)
        return Fail(std::to_string(PixelBits) + " bits per pixel are not supported for image type " +
                    std::to_string(ImageType));
    if (base == 1) {
        if (ColorMapType != 1 || ColorMapLength == 0)
            return Fail("colour-mapped image without a colour map");
        if (!IsColorBits(ColorMapEntryBits))
            return Fail("colour map entries of " + std::to_string(ColorMapEntryBits) +
                        " bits are not supported");
    }

    const uint64_t total = uint64_t(Width) * Height * BytesPerPixel();
    if (total > MaxTextureBytes)
        return Fail("is too large");
    if (ImageType > 8) {
        if (!DecodeRLE(stream))
            return false;
    } else {
        if (static_cast<uint64_t>(stream.Remaining()) < total)
            return Fail("ends inside the pixel data");
        Pixels.resize(total);
        stream.ReadBuffer(Pixels.data(), Pixels.size());
    }

    if (Descriptor & 0x10)
        FlipHorizontal();
    if (Descriptor & 0x20)
        FlipVertical();
    return true;
}

bool TTGAImage::DecodeRLE(TMemoryStream& stream) {
    const size_t bpp = BytesPerPixel();
    const uint64_t total = uint64_t(Width) * Height * bpp;
    // A file that cannot possibly hold the image is refused before anything is allocated.
    if (total > static_cast<uint64_t>(stream.Remaining()) * MaxRleExpansion * bpp)
        return Fail("ends inside the run-length data");
    Pixels.assign(total, 0);
    const uint8_t* in = stream.Bytes().data();
    uint64_t pos = stream.GetPosition();
    const uint64_t end = stream.Bytes().size();
    uint64_t p = 0;
    while (p < total) {
        if (pos >= end)
            return Fail("ends inside the run-length data");
        uint8_t h = in[pos++];
        uint64_t k = (h & 0x7F) + 1;
        if (k * bpp > total - p)
            return Fail("a run-length packet runs past the end of the image");
        if (h & 0x80) {
            if (end - pos < bpp)
                return Fail("ends inside the run-length data");
            for (uint64_t i = 0; i < k; ++i, p += bpp)
                std::memcpy(&Pixels[p], in + pos, bpp);
            pos += bpp;
        } else {
            if (end - pos < k * bpp)
                return Fail("ends inside the run-length data");
            std::memcpy(&Pixels[p], in + pos, k * bpp);
            pos += k * bpp;
            p += k * bpp;
        }
    }
    stream.Seek(static_cast<int64_t>(pos));
    ImageType -= 8;
    return true;
}

void TTGAImage::FlipVertical() {
    const size_t row = size_t(Width) * BytesPerPixel();
    if (Pixels.size() < row * Height)
        return;
    std::vector<uint8_t> tmp(row);
    for (size_t i = 0; i < Height / 2u; ++i) {
        uint8_t* a = &Pixels[i * row];
        uint8_t* b = &Pixels[(Height - 1 - i) * row];
        std::memcpy(tmp.data(), a, row);
        std::memcpy(a, b, row);
        std::memcpy(b, tmp.data(), row);
    }
}

void TTGAImage::FlipHorizontal() {
    const size_t bpp = BytesPerPixel();
    const size_t row = size_t(Width) * bpp;
    if (Pixels.size() < row * Height)
        return;
    for (size_t y = 0; y < Height; ++y) {
        uint8_t* r = &Pixels[y * row];
        for (size_t x = 0; x < Width / 2u; ++x)
            std::swap_ranges(r + x * bpp, r + (x + 1) * bpp, r + (Width - 1 - x) * bpp);
    }
}

void TTGAImage::SwapRedBlue() {
    if (PixelBits <= 23)
        return;
    const size_t bpp = BytesPerPixel();
    for (size_t i = 0; i + bpp <= Pixels.size(); i += bpp)
        std::swap(Pixels[i], Pixels[i + 2]);
}

// ---------------------------------------------------------------------------------------------
// Conversion to the texture record

bool ConvertTGAImage(const TTGAImage& image, TStoredTextureData& out, std::string& error) {
    const size_t count = size_t(image.Width) * image.Height;
    const size_t bpp = image.BytesPerPixel();
    if (image.Pixels.size() < count * bpp) {
        error = "the image holds no pixels";
        return false;
    }
    out.Width = image.Width;
    out.Height = image.Height;
    const uint8_t* src = image.Pixels.data();
    // A 16-bit colour carries alpha only when the descriptor declares attribute bits.
    const bool alpha16 = (image.Descriptor & 0x0F) != 0;

    switch (image.ImageType) {
    case 2:
        if (image.PixelBits >= 24) {
            out.Format = image.PixelBits == 24 ? TextureRGB : TextureRGBA;
            out.Pixels.assign(src, src + count * bpp);
            for (size_t i = 0; i < count; ++i)
                std::swap(out.Pixels[i * bpp], out.Pixels[i * bpp + 2]);
        } else {
            const bool alpha = image.PixelBits == 16 && alpha16;
            out.Format = alpha ? TextureRGBA : TextureRGB;
            const size_t n = alpha ? 4 : 3;
            out.Pixels.resize(count * n);
            for (size_t i = 0; i < count; ++i)
                Unpack16(src + i * 2, &out.Pixels[i * n], alpha);
        }
        return true;
    case 3:
        if (image.PixelBits == 8) {
            out.Format = TextureLuminance;
            out.Pixels.assign(src, src + count);
        } else {
            out.Format = TextureRGBA;
            out.Pixels.resize(count * 4);
            for (size_t i = 0; i < count; ++i) {
                uint8_t* d = &out.Pixels[i * 4];
                d[0] = d[1] = d[2] = src[i * 2];
                d[3] = src[i * 2 + 1];
            }
        }
        return true;
    case 1: {
        const int entryBits = image.ColorMapEntryBits;
        const size_t entryBytes = (entryBits + 7) / 8;
        const size_t entries = image.ColorMap.size() / entryBytes;
        const bool alpha = entryBits == 32 || (entryBits == 16 && alpha16);
        const size_t n = alpha ? 4 : 3;
        out.Format = alpha ? TextureRGBA : TextureRGB;
        out.Pixels.resize(count * n);
        for (size_t i = 0; i < count; ++i) {
            unsigned index = bpp == 1 ? src[i] : unsigned(LoadLE16(&src[i * 2]));
            if (index < image.ColorMapStart || index - image.ColorMapStart >= entries) {
                out.Pixels.clear();
                error = "colour index " + std::to_string(index) + " lies outside the colour map";
                return false;
            }
            UnpackColor(&image.ColorMap[(index - image.ColorMapStart) * entryBytes], entryBits,
                        &out.Pixels[i * n], alpha);
        }
        return true;
    }
    default:
        error = "image type " + std::to_string(image.ImageType) + " is not supported";
        return false;
    }
}

bool DecodeTGATexture(const std::vector<uint8_t>& file, TStoredTextureData& out, std::string& error) {
    TMemoryStream stream(file);
    TTGAImage image;
    if (!image.LoadFromStream(stream)) {
        error = image.Error;
        return false;
    }
    return ConvertTGAImage(image, out, error);
}

// ---------------------------------------------------------------------------------------------
// BMP

namespace {

uint16_t Get16(const std::vector<uint8_t>& d, size_t at) { return LoadLE16(&d[at]); }
uint32_t Get32(const std::vector<uint8_t>& d, size_t at) { return LoadLE32(&d[at]); }

// One channel of a bit-field pixel: where it sits and how wide it is.
struct TChannelMask {
    uint32_t Mask = 0;
    int Shift = 0;
    uint32_t Max = 0;

    explicit TChannelMask(uint32_t mask) : Mask(mask) {
        if (mask == 0)
            return;
        while (!((mask >> Shift) & 1))
            ++Shift;
        Max = mask >> Shift;
    }
    uint8_t Extract(uint32_t pixel) const {
        if (Max == 0)
            return 0;
        uint64_t v = (pixel & Mask) >> Shift;
        return static_cast<uint8_t>((v * 255 + Max / 2) / Max);
    }
};

}  // namespace

bool DecodeBMPTexture(const std::vector<uint8_t>& file, TStoredTextureData& out, std::string& error,
                      TBMPInfo* infoOut) {
    TBMPInfo local;
    TBMPInfo& info = infoOut ? *infoOut : local;
    auto fail = [&](std::string why) {
        error = std::move(why);
        out.Pixels.clear();
        return false;
    };
    if (file.size() < 18 || file[0] != 'B' || file[1] != 'M')
        return fail("not a BMP file");
    const uint32_t dataOffset = Get32(file, 10);
    const uint32_t hs = Get32(file, 14);
    info.HeaderSize = hs;
    if (hs != 12 && hs != 40 && hs != 52 && hs != 56 && hs != 64 && hs != 108 && hs != 124)
        return fail("unknown BMP header size " + std::to_string(hs));
    if (file.size() < 14 + size_t(hs))
        return fail("ends inside the BMP header");

    uint16_t planes;
    if (hs == 12) {
        info.Width = Get16(file, 18);
        info.Height = static_cast<int16_t>(Get16(file, 20));
        planes = Get16(file, 22);
        info.Bits = Get16(file, 24);
        info.Compression = 0;
    } else {
        info.Width = static_cast<int32_t>(Get32(file, 18));
        info.Height = static_cast<int32_t>(Get32(file, 22));
        planes = Get16(file, 26);
        info.Bits = Get16(file, 28);
        info.Compression = Get32(file, 30);
    }
    if (planes != 1)
        return fail("plane count " + std::to_string(planes) + " (must be 1)");
    if (info.Bits != 16 && info.Bits != 24 && info.Bits != 32) {
        if (info.Bits == 1 || info.Bits == 2 || info.Bits == 4 || info.Bits == 8)
            return fail("palette images (" + std::to_string(info.Bits) +
                        " bits per pixel) are not supported; save it with 24 or 32 bits");
        return fail(std::to_string(info.Bits) + " bits per pixel are not supported");
    }
    const uint32_t comp = info.Compression;
    if (comp != 0 && !((comp == 3 || comp == 6) && info.Bits != 24))
        return fail("compression " + std::to_string(comp) + " is not supported");
    if (info.Width <= 0 || info.Width > 65535)
        return fail("width " + std::to_string(info.Width) + " is out of range");
    if (info.Height == 0 || info.Height < -65535 || info.Height > 65535)
        return fail("height " + std::to_string(info.Height) + " is out of range");
    const uint32_t width = uint32_t(info.Width);
    const uint32_t height = uint32_t(info.Height < 0 ? -info.Height : info.Height);

    // Channel masks: fixed for BI_RGB, else after a 40-byte header or inside a longer one.
    uint32_t rMask = 0, gMask = 0, bMask = 0, aMask = 0;
    if (comp == 0) {
        if (info.Bits == 16) {
            rMask = 0x7C00;
            gMask = 0x03E0;
            bMask = 0x001F;
        } else {
            rMask = 0x00FF0000;
            gMask = 0x0000FF00;
            bMask = 0x000000FF;
        }
    } else {
        if (hs == 12 || hs == 64)
            return fail("compression " + std::to_string(comp) + " is not supported");
        // Both places start right after the first 40 bytes of the header.
        const size_t at = 14 + 40;
        const bool hasAlpha = comp == 6 || hs >= 56;
        if (file.size() < at + (hasAlpha ? 16 : 12))
            return fail("ends inside the colour masks");
        rMask = Get32(file, at);
        gMask = Get32(file, at + 4);
        bMask = Get32(file, at + 8);
        if (hasAlpha)
            aMask = Get32(file, at + 12);
    }
    if ((rMask | gMask | bMask) == 0)
        return fail("has no colour masks");

    const uint64_t bytesPerPixel = info.Bits / 8;
    const uint64_t stride = (uint64_t(width) * info.Bits + 31) / 32 * 4;
    const uint64_t lastRow = uint64_t(width) * bytesPerPixel;
    if (dataOffset < 14 + hs || dataOffset > file.size())
        return fail("pixel data offset " + std::to_string(dataOffset) + " is out of range");
    // The padding after the last row is sometimes left out; the pixels themselves must be there.
    if (uint64_t(file.size() - dataOffset) < stride * (height - 1) + lastRow)
        return fail("ends inside the pixel data");
    const bool alpha = aMask != 0;
    const size_t n = alpha ? 4 : 3;
    if (uint64_t(width) * height * n > MaxTextureBytes)
        return fail("is too large");

    out.Format = alpha ? TextureRGBA : TextureRGB;
    out.Width = static_cast<uint16_t>(width);
    out.Height = static_cast<uint16_t>(height);
    out.Pixels.resize(size_t(width) * height * n);
    const TChannelMask r(rMask), g(gMask), b(bMask), a(aMask);
    for (uint32_t y = 0; y < height; ++y) {
        // Bottom-up files store the bottom row first, as the texture wants it.
        uint32_t fileRow = info.Height > 0 ? y : height - 1 - y;
        const uint8_t* src = file.data() + dataOffset + fileRow * stride;
        uint8_t* dst = &out.Pixels[size_t(y) * width * n];
        for (uint32_t x = 0; x < width; ++x, dst += n) {
            if (info.Bits == 24) {
                const uint8_t* p = src + x * 3;
                dst[0] = p[2];
                dst[1] = p[1];
                dst[2] = p[0];
                continue;
            }
            uint32_t pixel = info.Bits == 16 ? uint32_t(LoadLE16(src + x * 2)) : LoadLE32(src + x * 4);
            dst[0] = r.Extract(pixel);
            dst[1] = g.Extract(pixel);
            dst[2] = b.Extract(pixel);
            if (alpha)
                dst[3] = a.Extract(pixel);
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Texture streams

std::unique_ptr<TMemoryStream> WriteTextureStream(const TStoredTextureData& data) {
    auto stream = std::make_unique<TMemoryStream>();
    stream->WriteInt32(static_cast<int32_t>(data.Format));
    stream->WriteUInt16(data.Width);
    stream->WriteUInt16(data.Height);
    stream->WriteInt32(static_cast<int32_t>(data.Pixels.size()));
    stream->WriteBuffer(data.Pixels.data(), data.Pixels.size());
    stream->Seek(0);
    return stream;
}

namespace {

using TDecoder = bool (*)(const std::vector<uint8_t>&, TStoredTextureData&, std::string&);

std::unique_ptr<TMemoryStream> LoadTextureFile(const std::string& fileName, std::string* error,
                                               TDecoder decode) {
    std::string why;
    auto bytes = ReadWholeFile(fileName);
    TStoredTextureData data;
    if (!bytes)
        why = "cannot be read";
    else if (decode(*bytes, data, why))
        return WriteTextureStream(data);
    if (error)
        *error = why;
    return nullptr;
}

bool DecodeBMPOnly(const std::vector<uint8_t>& file, TStoredTextureData& out, std::string& error) {
    return DecodeBMPTexture(file, out, error);
}

}  // namespace

std::unique_ptr<TMemoryStream> LoadTGATexture(const std::string& fileName, std::string* error) {
    return LoadTextureFile(fileName, error, DecodeTGATexture);
}

std::unique_ptr<TMemoryStream> LoadBMPTexture(const std::string& fileName, std::string* error) {
    return LoadTextureFile(fileName, error, DecodeBMPOnly);
}
