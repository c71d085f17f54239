// `mygame-data info` for texture and animation files: what the game's readers make of a
// .TGA, .BMP or .PSA file, as one JSON object per file.

#include "DataTool.h"

#include "app/e_Platform.h"
#include "resources/_TGA2.h"
#include "resources/e_ResManagerClasses.h"

#include <epoxy/gl.h>

#include <cmath>
#include <iostream>
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

std::string Num(double v) {
    if (!std::isfinite(v))
        return "null";  // JSON has no NaN or infinity
    std::ostringstream out;
    out << v;
    return out.str();
}

int Refuse(const std::string& path, const std::string& why) {
    std::cerr << "mygame-data info: " << path << ": " << why << "\n";
    return 1;
}

int PrintTga(const std::string& path, std::ostream& out) {
    auto file = ReadWholeFile(path);
    if (!file)
        return Refuse(path, "file cannot be read");
    TMemoryStream stream(*file);
    TTGAImage image;
    if (!image.LoadFromStream(stream))
        return Refuse(path, image.Error);
    TStoredTextureData tex;
    std::string why;
    if (!ConvertTGAImage(image, tex, why))
        return Refuse(path, why);
    const int storedType = (*file)[2];
    out << "{\"file\": " << JsonString(path) << ", \"type\": " << storedType << ", \"width\": " << image.Width
        << ", \"height\": " << image.Height << ", \"bits\": " << int(image.PixelBits)
        << ", \"run_length\": " << (storedType > 8 ? "true" : "false")
        << ", \"right_to_left\": " << ((image.Descriptor & 0x10) ? "true" : "false")
        << ", \"top_to_bottom\": " << ((image.Descriptor & 0x20) ? "true" : "false")
        << ", \"colour_map_entries\": " << (image.ColorMapType == 1 ? image.ColorMapLength : 0)
        << ", \"texture\": " << FormatName(tex.Format) << ", \"texture_bytes\": " << tex.Pixels.size() << "}\n";
    return 0;
}

int PrintBmp(const std::string& path, std::ostream& out) {
    auto file = ReadWholeFile(path);
    if (!file)
        return Refuse(path, "file cannot be read");
    TStoredTextureData tex;
    TBMPInfo info;
    std::string why;
    if (!DecodeBMPTexture(*file, tex, why, &info))
        return Refuse(path, why);
    out << "{\"file\": " << JsonString(path) << ", \"width\": " << tex.Width << ", \"height\": " << tex.Height
        << ", \"bits\": " << info.Bits << ", \"compression\": " << info.Compression
        << ", \"top_to_bottom\": " << (info.Height < 0 ? "true" : "false") << ", \"texture\": " << FormatName(tex.Format)
        << ", \"texture_bytes\": " << tex.Pixels.size() << "}\n";
    return 0;
}

int PrintPsa(const std::string& path, std::ostream& out) {
    TMemoryStream stream;
    if (!stream.LoadFromFile(path))
        return Refuse(path, "file cannot be read");
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
        auto vec = [](const TMyVector3f& v) { return "[" + Num(v.x) + ", " + Num(v.y) + ", " + Num(v.z) + "]"; };
        out << "{\"file\": " << JsonString(path) << ", \"bones\": " << d.BoneCount << ", \"frames\": " << d.FrameCount
            << ", \"frame_rate\": " << d.FrameRate
            << ", \"seconds\": " << (d.FrameRate > 0 ? Num(double(d.FrameCount) / d.FrameRate) : "null")
            << ", \"position_min\": " << (first ? "null" : vec(lo))
            << ", \"position_max\": " << (first ? "null" : vec(hi))
            << ", \"trailing_bytes\": " << stream.Remaining() << "}\n";
    } catch (const TStreamReadError& e) {
        return Refuse(path, e.what());
    }
    return 0;
}

InfoHandler tgaInfo(".TGA", PrintTga);
InfoHandler bmpInfo(".BMP", PrintBmp);
InfoHandler psaInfo(".PSA", PrintPsa);

}  // namespace
