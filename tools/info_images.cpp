// `mygame-data info` for texture and animation files: what the game's readers make of a
// .TGA, .BMP or .PSA file, as one JSON object per file.

#include "DataTool.h"

#include "app/e_Platform.h"
#include "resources/_TGA2.h"
#include "resources/e_ResManagerClasses.h"

#include <epoxy/gl.h>
#include <zlib.h>

#include <cmath>
#include <iostream>
#include <memory>
#include <sstream>

namespace {

std::string FormatName(uint32_t format) {
    switch (format) {
    case GL_RGB:
        return "\"GL_RGB\"";
    case GL_RGBA:
        return "\"GL_RGBA\"";
    case GL_LUMINANCE:
        return "\"GL_LUMINANCE\"";
    default:
        return "null";
    }
}

std::string ShortFormatName(uint32_t format) {
    switch (format) {
    case GL_RGB:
        return "\"RGB\"";
    case GL_RGBA:
        return "\"RGBA\"";
    case GL_LUMINANCE:
        return "\"LUMINANCE\"";
    default:
        return "null";
    }
}

std::string Num(double v) { return JsonNumber(v); }

// The message the resource manager shows for a picture its reader refuses.
int Damaged(const std::string& path) {
    std::cerr << "Файл \"" << path << "\" поврежден. Загрузка невозможна.\n";
    return 1;
}

// The texture as the registry keeps it: the reader's stream read back by the texture class.
bool ReadTexture(const std::string& path, std::unique_ptr<TMemoryStream> stream, TStoredTextureData& out) {
    if (!stream)
        return false;
    try {
        TResourceTexture texture(path, false, *stream);
        out = std::move(texture.Data);
    } catch (const TStreamReadError&) {
        return false;
    }
    return true;
}

// What every texture reports: the texture stream the game uploads.
std::string TextureMembers(const TStoredTextureData& tex) {
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), tex.Pixels.data(), static_cast<uInt>(tex.Pixels.size()));
    std::ostringstream out;
    out << "\"format\": " << ShortFormatName(tex.Format) << ", \"width\": " << tex.Width
        << ", \"height\": " << tex.Height << ", \"bytes\": " << tex.Pixels.size()
        << ", \"pixels_crc32\": " << crc << ", \"texture\": " << FormatName(tex.Format)
        << ", \"texture_bytes\": " << tex.Pixels.size();
    return out.str();
}

int PrintTga(const std::string& path, std::ostream& out) {
    auto file = ReadWholeFile(path);
    if (!file)
        return Damaged(path);
    TStoredTextureData tex;
    if (!ReadTexture(path, LoadTGATexture(path), tex))
        return Damaged(path);
    TMemoryStream stream(*file);
    TTGAImage image;
    if (!image.LoadFromStream(stream))
        return Damaged(path);
    const int storedType = (*file)[2];
    out << "{" << TextureMembers(tex) << ", \"type\": " << storedType
        << ", \"bits\": " << int(image.PixelBits)
        << ", \"run_length\": " << (storedType > 8 ? "true" : "false")
        << ", \"right_to_left\": " << ((image.Descriptor & 0x10) ? "true" : "false")
        << ", \"top_to_bottom\": " << ((image.Descriptor & 0x20) ? "true" : "false")
        << ", \"colour_map_entries\": " << (image.ColorMapType == 1 ? image.ColorMapLength : 0) << "}\n";
    return 0;
}

int PrintBmp(const std::string& path, std::ostream& out) {
    auto file = ReadWholeFile(path);
    if (!file)
        return Damaged(path);
    TStoredTextureData tex;
    if (!ReadTexture(path, LoadBMPTexture(path), tex))
        return Damaged(path);
    TStoredTextureData decoded;
    TBMPInfo info;
    std::string why;
    if (!DecodeBMPTexture(*file, decoded, why, &info))
        return Damaged(path);
    out << "{" << TextureMembers(tex) << ", \"bits\": " << info.Bits
        << ", \"compression\": " << info.Compression
        << ", \"top_to_bottom\": " << (info.Height < 0 ? "true" : "false") << "}\n";
    return 0;
}

int PrintPsa(const std::string& path, std::ostream& out) {
    TMemoryStream stream;
    if (!stream.LoadFromFile(path)) {
        std::cerr << "animation file \"" << path << "\" cannot be read\n";
        return 1;
    }
    try {
        TSkeletalAnimation anim(path, 1.0f, stream);
        const TStoredSkeletData& d = anim.Data;
        TMyVector3f lo{0, 0, 0}, hi{0, 0, 0};
        bool first = true;
        for (const auto& track : d.Frames)
            for (const auto& f : track) {
                const TMyVector3f& p = f.Position;
                if (first) {
                    lo = hi = p;
                    first = false;
                }
                lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
                hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
            }
        auto vec = [](const TMyVector3f& v) {
            return "[" + Num(v.x) + ", " + Num(v.y) + ", " + Num(v.z) + "]";
        };
        out << "{\"bones\": " << d.BoneCount << ", \"frames\": " << d.FrameCount
            << ", \"rate\": " << d.FrameRate << ", \"frame_rate\": " << d.FrameRate
            << ", \"seconds\": " << (d.FrameRate > 0 ? Num(double(d.FrameCount) / d.FrameRate) : "null")
            << ", \"position_min\": " << (first ? "null" : vec(lo))
            << ", \"position_max\": " << (first ? "null" : vec(hi))
            << ", \"trailing_bytes\": " << stream.Remaining() << "}\n";
    } catch (const TStreamReadError& e) {
        // As the game reports a clip that breaks off while it loads the model beside it.
        std::cerr << "animation \"" << path << "\" is damaged: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

InfoHandler tgaInfo(".TGA", "texture", PrintTga);
InfoHandler bmpInfo(".BMP", "texture", PrintBmp);
InfoHandler psaInfo(".PSA", "animation", PrintPsa);

}  // namespace
