// TGA and BMP textures: decoding against independently written files and their PNG
// twins, orientation, run-length data, conversions, and refusal of damaged files.

#include "test_resources_support.h"

#include "resources/_TGA2.h"
#include "resources/e_ResManagerClasses.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> FilesIn(const std::string& relDir, const std::string& ext) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(TestDataPath(relDir)))
        if (e.path().extension() == ext)
            out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

// A TGA file from its parts.
struct TgaSpec {
    uint8_t Type;
    uint16_t Width;
    uint16_t Height;
    uint8_t Bits;
    std::vector<uint8_t> Data;
    uint8_t Descriptor;
    std::vector<uint8_t> Id;
    std::vector<uint8_t> Map;  // colour map bytes
    uint16_t MapStart = 0;
    uint16_t MapLength = 0;
    uint8_t MapBits = 0;

    TgaSpec(uint8_t type, uint16_t width, uint16_t height, uint8_t bits, std::vector<uint8_t> data,
            uint8_t descriptor = 0)
        : Type(type),
          Width(width),
          Height(height),
          Bits(bits),
          Data(std::move(data)),
          Descriptor(descriptor) {}
    TgaSpec& WithMap(std::vector<uint8_t> map, uint16_t start, uint16_t length, uint8_t bits) {
        Map = std::move(map);
        MapStart = start;
        MapLength = length;
        MapBits = bits;
        return *this;
    }
};

std::vector<uint8_t> MakeTga(const TgaSpec& s) {
    std::vector<uint8_t> f = {uint8_t(s.Id.size()),
                              uint8_t(s.MapLength ? 1 : 0),
                              s.Type,
                              uint8_t(s.MapStart),
                              uint8_t(s.MapStart >> 8),
                              uint8_t(s.MapLength),
                              uint8_t(s.MapLength >> 8),
                              s.MapBits,
                              0,
                              0,
                              0,
                              0,
                              uint8_t(s.Width),
                              uint8_t(s.Width >> 8),
                              uint8_t(s.Height),
                              uint8_t(s.Height >> 8),
                              s.Bits,
                              s.Descriptor};
    f.insert(f.end(), s.Id.begin(), s.Id.end());
    f.insert(f.end(), s.Map.begin(), s.Map.end());
    f.insert(f.end(), s.Data.begin(), s.Data.end());
    return f;
}

TStoredTextureData Decode(const std::vector<uint8_t>& file) {
    TStoredTextureData tex;
    std::string error;
    EXPECT_TRUE(DecodeTGATexture(file, tex, error)) << error;
    return tex;
}

std::string RefusalOf(const std::vector<uint8_t>& file) {
    TStoredTextureData tex;
    std::string error;
    if (DecodeTGATexture(file, tex, error))
        return "accepted";
    EXPECT_FALSE(error.empty());
    return error;
}

// 3x3 pixels of 24 bits, stored bottom row first, blue-green-red.
std::vector<uint8_t> Bgr3x3() {
    std::vector<uint8_t> d;
    for (int i = 0; i < 9; ++i) {
        d.push_back(uint8_t(10 * i + 1));  // blue
        d.push_back(uint8_t(10 * i + 2));  // green
        d.push_back(uint8_t(10 * i + 3));  // red
    }
    return d;
}

std::vector<uint8_t> ReverseRows(const std::vector<uint8_t>& d, size_t rowBytes) {
    std::vector<uint8_t> out;
    for (size_t r = d.size() / rowBytes; r-- > 0;)
        out.insert(out.end(), d.begin() + long(r * rowBytes), d.begin() + long((r + 1) * rowBytes));
    return out;
}

}  // namespace

// ---- Files written by other programs ----------------------------------------------------

TEST(TgaFiles, EveryCommonFileDecodesToItsPngTwin) {
    int compared = 0;
    for (const auto& path : FilesIn("images/tga", ".tga")) {
        SCOPED_TRACE(path);
        // 200x32_rgba_tl_rle.tga -> 200x32_rgba.png
        std::string name = fs::path(path).filename().string();
        std::string stem = name.substr(0, name.find('_', name.find('_') + 1));
        auto twin = ReadPngRgba(TestDataPath("images/tga/" + stem + ".png"));
        ASSERT_TRUE(twin) << "cannot read the twin " << stem << ".png";
        TStoredTextureData tex;
        std::string error;
        ASSERT_TRUE(DecodeTGATexture(ReadBytes(path), tex, error)) << error;
        EXPECT_EQ(CompareWithTwin(tex, *twin), "");
        // Grey stays grey; grey with alpha, palette and true colour become RGB(A).
        if (stem.find("_la") != std::string::npos || stem.find("_rgba") != std::string::npos)
            EXPECT_EQ(tex.Format, GLenum(GL_RGBA));
        else if (stem.find("_l") != std::string::npos)
            EXPECT_EQ(tex.Format, GLenum(GL_LUMINANCE));
        else
            EXPECT_EQ(tex.Format, GLenum(GL_RGB));
        ++compared;
    }
    EXPECT_EQ(compared, 24);
}

TEST(TgaFiles, MiscFilesAreDecodedOrRefusedCleanly) {
    std::map<std::string, TStoredTextureData> accepted;
    for (const auto& path : FilesIn("images/tga/misc", ".tga")) {
        TStoredTextureData tex;
        std::string error;
        if (DecodeTGATexture(ReadBytes(path), tex, error)) {
            EXPECT_EQ(tex.Pixels.size(), size_t(tex.Width) * tex.Height * TextureFormatBytes(tex.Format))
                << path;
            accepted[fs::path(path).filename().string()] = tex;
        } else {
            EXPECT_FALSE(error.empty()) << path;
        }
    }
    // Truncated files are refused; a run that crosses scan lines is fine.
    EXPECT_FALSE(accepted.count("cross_scan_line_truncated.tga"));
    EXPECT_FALSE(accepted.count("p_8.tga"));
    ASSERT_TRUE(accepted.count("cross_scan_line.tga"));
    EXPECT_EQ(accepted["cross_scan_line.tga"].Pixels, (std::vector<uint8_t>{0, 255, 255, 0}));
    for (const char* name :
         {"la.tga", "p_16.tga", "rgba16.tga", "tga_id_field.tga", "rgb32rle.tga", "rgb32rle_bottom_right.tga",
          "rgb32rle_top_right.tga", "200x32_p_bl_raw_origin.tga"})
        EXPECT_TRUE(accepted.count(name)) << name;

    // The image origin fields do not move the picture.
    auto twin = ReadPngRgba(TestDataPath("images/tga/200x32_p.png"));
    ASSERT_TRUE(twin);
    EXPECT_EQ(CompareWithTwin(accepted["200x32_p_bl_raw_origin.tga"], *twin), "");

    // Three files with the same pixel data and different origins: right-to-left mirrors
    // the picture, top-to-bottom turns it upside down.
    const auto& bl = accepted["rgb32rle.tga"];
    const auto& br = accepted["rgb32rle_bottom_right.tga"];
    const auto& tr = accepted["rgb32rle_top_right.tga"];
    ASSERT_EQ(bl.Width, 199);
    ASSERT_EQ(bl.Pixels.size(), br.Pixels.size());
    ASSERT_EQ(bl.Pixels.size(), tr.Pixels.size());
    size_t mismatches = 0;
    for (size_t y = 0; y < bl.Height; ++y)
        for (size_t x = 0; x < bl.Width; ++x)
            for (size_t c = 0; c < 4; ++c) {
                uint8_t v = bl.Pixels[(y * bl.Width + x) * 4 + c];
                mismatches += br.Pixels[(y * bl.Width + (bl.Width - 1 - x)) * 4 + c] != v;
                mismatches += tr.Pixels[((bl.Height - 1 - y) * bl.Width + (bl.Width - 1 - x)) * 4 + c] != v;
            }
    EXPECT_EQ(mismatches, 0u);
}

TEST(BmpFiles, TrueColourFilesDecodeToTheirTwins) {
    auto rgb24 = ReadPngRgba(TestDataPath("images/bmp/html/rgb24.png"));
    auto rgb16 = ReadPngRgba(TestDataPath("images/bmp/html/rgb16.png"));
    auto rgb565 = ReadPngRgba(TestDataPath("images/bmp/html/rgb16-565.png"));
    ASSERT_TRUE(rgb24 && rgb16 && rgb565);
    const std::pair<const char*, const TRgbaImage*> cases[] = {
        {"rgb24.bmp", &*rgb24},         {"rgb24pal.bmp", &*rgb24}, {"rgb32.bmp", &*rgb24},
        {"rgb32bf.bmp", &*rgb24},       {"rgb16.bmp", &*rgb16},    {"rgb16-565.bmp", &*rgb565},
        {"rgb16-565pal.bmp", &*rgb565},
    };
    for (const auto& [name, twin] : cases) {
        SCOPED_TRACE(name);
        TStoredTextureData tex;
        std::string error;
        ASSERT_TRUE(
            DecodeBMPTexture(ReadBytes(TestDataPath(std::string("images/bmp/g/") + name)), tex, error))
            << error;
        EXPECT_EQ(tex.Format, GLenum(GL_RGB));
        EXPECT_EQ(CompareWithTwin(tex, *twin), "");
    }
}

TEST(BmpFiles, DamagedFilesAreRefusedAndNothingCrashes) {
    for (const auto& path : FilesIn("images/bmp/b", ".bmp")) {
        TStoredTextureData tex;
        std::string error;
        EXPECT_FALSE(DecodeBMPTexture(ReadBytes(path), tex, error)) << path;
        EXPECT_FALSE(error.empty()) << path;
        EXPECT_TRUE(tex.Pixels.empty()) << path;
    }
    int accepted = 0;
    for (const char* folder : {"images/bmp/g", "images/bmp/q"}) {
        for (const auto& path : FilesIn(folder, ".bmp")) {
            TStoredTextureData tex;
            std::string error;
            TBMPInfo info;
            if (DecodeBMPTexture(ReadBytes(path), tex, error, &info)) {
                ++accepted;
                EXPECT_EQ(tex.Pixels.size(), size_t(tex.Width) * tex.Height * TextureFormatBytes(tex.Format));
                EXPECT_TRUE(info.Bits == 16 || info.Bits == 24 || info.Bits == 32) << path;
            } else {
                EXPECT_NE(error, "") << path;
            }
        }
    }
    EXPECT_GE(accepted, 7);

    // Alpha comes through when the file has an alpha mask.
    TStoredTextureData tex;
    std::string error;
    ASSERT_TRUE(DecodeBMPTexture(ReadBytes(TestDataPath("images/bmp/q/rgba32.bmp")), tex, error)) << error;
    EXPECT_EQ(tex.Format, GLenum(GL_RGBA));
}

TEST(ImageFiles, MutatedFilesNeverReadOutsideTheirBuffers) {
    // Damaged copies of real files: each decode must either succeed with a consistent
    // record or refuse. Run under AddressSanitizer this proves the bounds checks.
    std::mt19937 random(1234);
    std::vector<std::string> files = FilesIn("images/tga", ".tga");
    for (const auto& f : FilesIn("images/tga/misc", ".tga"))
        files.push_back(f);
    for (const char* name : {"rgb24.bmp", "rgb32bf.bmp", "rgb16-565.bmp"})
        files.push_back(TestDataPath(std::string("images/bmp/g/") + name));
    for (const auto& path : files) {
        const auto original = ReadBytes(path);
        const bool bmp = path.ends_with(".bmp");
        for (int round = 0; round < 60; ++round) {
            auto bytes = original;
            int edits = 1 + int(random() % 4);
            for (int e = 0; e < edits && !bytes.empty(); ++e) {
                // Most damage goes into the header, where the sizes and counts are.
                size_t at =
                    random() % 3 ? random() % std::min<size_t>(bytes.size(), 64) : random() % bytes.size();
                bytes[at] = uint8_t(random());
            }
            if (random() % 4 == 0)
                bytes.resize(random() % (bytes.size() + 1));
            TStoredTextureData tex;
            std::string error;
            bool ok = bmp ? DecodeBMPTexture(bytes, tex, error) : DecodeTGATexture(bytes, tex, error);
            if (ok) {
                ASSERT_EQ(tex.Pixels.size(), size_t(tex.Width) * tex.Height * TextureFormatBytes(tex.Format));
            }
        }
    }
}

// ---- Orientation and encoding ------------------------------------------------------------

TEST(TgaDecoding, BottomUpAndTopDownStoreTheSameTexture) {
    TgaSpec bottomUp(2, 3, 3, 24, Bgr3x3());
    TStoredTextureData tex = Decode(MakeTga(bottomUp));
    EXPECT_EQ(tex.Format, GLenum(GL_RGB));
    EXPECT_EQ(tex.Width, 3);
    EXPECT_EQ(tex.Height, 3);
    // The file's bytes with red and blue exchanged, in the file's row order.
    std::vector<uint8_t> expect = Bgr3x3();
    for (size_t i = 0; i < expect.size(); i += 3)
        std::swap(expect[i], expect[i + 2]);
    EXPECT_EQ(tex.Pixels, expect);

    TgaSpec topDown = bottomUp;
    topDown.Descriptor = 0x20;
    topDown.Data = ReverseRows(Bgr3x3(), 9);  // odd height: the middle row stays where it is
    EXPECT_EQ(Decode(MakeTga(topDown)).Pixels, expect);

    // An identification field is skipped.
    TgaSpec withId = bottomUp;
    withId.Id = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(Decode(MakeTga(withId)).Pixels, expect);

    // Right-to-left mirrors every row.
    TgaSpec mirrored = bottomUp;
    mirrored.Descriptor = 0x10;
    std::vector<uint8_t> data;
    for (int y = 0; y < 3; ++y)
        for (int x = 2; x >= 0; --x)
            for (int c = 0; c < 3; ++c)
                data.push_back(Bgr3x3()[(y * 3 + x) * 3 + c]);
    mirrored.Data = data;
    EXPECT_EQ(Decode(MakeTga(mirrored)).Pixels, expect);
}

TEST(TgaDecoding, RunLengthDataMatchesRawData) {
    // 3x2 pixels of 32 bits; packets cross the end of the first row.
    const std::vector<uint8_t> p0 = {1, 2, 3, 4}, p1 = {5, 6, 7, 8}, p2 = {9, 10, 11, 12};
    std::vector<uint8_t> raw;
    for (const auto* p : {&p0, &p1, &p1, &p1, &p1, &p2})
        raw.insert(raw.end(), p->begin(), p->end());
    std::vector<uint8_t> rle = {0x00};  // raw packet, 1 pixel
    rle.insert(rle.end(), p0.begin(), p0.end());
    rle.push_back(0x83);  // run of 4 pixels, over the row end
    rle.insert(rle.end(), p1.begin(), p1.end());
    rle.push_back(0x00);
    rle.insert(rle.end(), p2.begin(), p2.end());

    TgaSpec a(2, 3, 2, 32, raw, 8);
    TgaSpec b(10, 3, 2, 32, rle, 8);
    TStoredTextureData ta = Decode(MakeTga(a)), tb = Decode(MakeTga(b));
    EXPECT_EQ(ta.Format, GLenum(GL_RGBA));
    EXPECT_EQ(ta.Pixels, tb.Pixels);
    EXPECT_EQ(std::vector<uint8_t>(ta.Pixels.begin(), ta.Pixels.begin() + 4),
              (std::vector<uint8_t>{3, 2, 1, 4}));

    // The image type seen after loading is the plain one.
    TMemoryStream stream(MakeTga(b));
    TTGAImage image;
    ASSERT_TRUE(image.LoadFromStream(stream));
    EXPECT_EQ(image.ImageType, 2);

    // Grey, raw and run-length, gives one byte per pixel.
    TgaSpec grey(3, 2, 2, 8, {10, 20, 30, 40});
    TgaSpec greyRle(11, 2, 2, 8, {0x01, 10, 20, 0x81, 30});
    EXPECT_EQ(Decode(MakeTga(grey)).Format, GLenum(GL_LUMINANCE));
    EXPECT_EQ(Decode(MakeTga(grey)).Pixels, (std::vector<uint8_t>{10, 20, 30, 40}));
    EXPECT_EQ(Decode(MakeTga(greyRle)).Pixels, (std::vector<uint8_t>{10, 20, 30, 30}));
}

TEST(TgaDecoding, DamagedFilesAreRefused) {
    // A run that would write past the last pixel.
    EXPECT_NE(RefusalOf(MakeTga(TgaSpec(11, 2, 2, 8, {0x84, 7}))), "accepted");
    // A raw packet longer than the image, and one longer than the file.
    EXPECT_NE(RefusalOf(MakeTga(TgaSpec(11, 2, 1, 8, {0x02, 1, 2, 3}))), "accepted");
    EXPECT_NE(RefusalOf(MakeTga(TgaSpec(11, 4, 1, 8, {0x03, 1, 2}))), "accepted");
    // Raw pixels missing at the end, a header cut short, an identification field past the end.
    EXPECT_NE(RefusalOf(MakeTga(TgaSpec(3, 2, 2, 8, {1, 2, 3}))), "accepted");
    EXPECT_NE(RefusalOf({0, 0, 2, 0, 0}), "accepted");
    auto idPastEnd = MakeTga(TgaSpec(3, 1, 1, 8, {1}));
    idPastEnd[0] = 200;
    EXPECT_NE(RefusalOf(idPastEnd), "accepted");
    // Announcing 65535 x 65535 pixels in a few bytes is refused before any memory is taken.
    EXPECT_NE(RefusalOf(MakeTga(TgaSpec(10, 65535, 65535, 32, {0xFF, 1, 2, 3, 4}))), "accepted");
    // Unknown types and depths, empty images.
    EXPECT_NE(RefusalOf(MakeTga(TgaSpec(0, 1, 1, 8, {1}))), "accepted");
    EXPECT_NE(RefusalOf(MakeTga(TgaSpec(2, 1, 1, 8, {1}))), "accepted");
    EXPECT_NE(RefusalOf(MakeTga(TgaSpec(3, 0, 5, 8, {}))), "accepted");
    // A colour-mapped image whose index lies outside its map.
    EXPECT_NE(RefusalOf(MakeTga(TgaSpec(1, 1, 1, 8, {1}).WithMap({1, 2, 3}, 0, 1, 24))), "accepted");
}

TEST(TgaDecoding, SixteenBitAndColourMappedImagesAreExpanded) {
    // 0x7C00 pure red, 0x83E0 green with the alpha bit, 0x001F blue.
    const std::vector<uint8_t> px = {0x00, 0x7C, 0xE0, 0x83, 0x1F, 0x00};
    TStoredTextureData noAlpha = Decode(MakeTga(TgaSpec(2, 3, 1, 16, px)));
    EXPECT_EQ(noAlpha.Format, GLenum(GL_RGB));
    EXPECT_EQ(noAlpha.Pixels, (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255}));
    TStoredTextureData alpha = Decode(MakeTga(TgaSpec(2, 3, 1, 16, px, 1)));
    EXPECT_EQ(alpha.Format, GLenum(GL_RGBA));
    EXPECT_EQ(alpha.Pixels, (std::vector<uint8_t>{255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 255, 0}));
    // 5-bit values spread over the full 8-bit range: 16 becomes 132.
    EXPECT_EQ(Decode(MakeTga(TgaSpec(2, 1, 1, 15, {0x00, 0x40}))).Pixels, (std::vector<uint8_t>{132, 0, 0}));

    // A colour map of 24-bit entries whose first index is 5; indices of 8 and 16 bits.
    const std::vector<uint8_t> map = {1, 2, 3, 4, 5, 6};  // two entries, blue first
    TStoredTextureData mapped = Decode(MakeTga(TgaSpec(1, 2, 1, 8, {6, 5}).WithMap(map, 5, 2, 24)));
    EXPECT_EQ(mapped.Format, GLenum(GL_RGB));
    EXPECT_EQ(mapped.Pixels, (std::vector<uint8_t>{6, 5, 4, 3, 2, 1}));
    TStoredTextureData mapped16 =
        Decode(MakeTga(TgaSpec(9, 2, 1, 16, {0x81, 0, 0}).WithMap({1, 2, 3, 4}, 0, 1, 32)));
    EXPECT_EQ(mapped16.Format, GLenum(GL_RGBA));
    EXPECT_EQ(mapped16.Pixels, (std::vector<uint8_t>{3, 2, 1, 4, 3, 2, 1, 4}));
}

// ---- The texture stream and the texture resource ------------------------------------------

TEST(TextureStream, FilesBecomeStreamsThatTheTextureResourceReads) {
    TempDir dir;
    auto file = MakeTga(TgaSpec(2, 3, 3, 24, Bgr3x3()));
    WriteBytes(dir.file("a.tga"), file);
    auto stream = LoadTGATexture(dir.file("A.TGA"));  // found without regard to case
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->GetPosition(), 0);
    ASSERT_EQ(stream->GetSize(), 12 + 27);
    EXPECT_EQ(stream->ReadInt32(), GL_RGB);
    EXPECT_EQ(stream->ReadUInt16(), 3);
    EXPECT_EQ(stream->ReadUInt16(), 3);
    EXPECT_EQ(stream->ReadInt32(), 27);

    TResourceTexture texture("a.tga", true, *stream);  // reads from offset 0 whatever the position
    EXPECT_TRUE(texture.Loaded);
    EXPECT_FALSE(texture.Uploaded);
    EXPECT_TRUE(texture.Mipmaps);
    EXPECT_EQ(texture.Data.Pixels, Decode(file).Pixels);

    std::string why;
    EXPECT_FALSE(LoadTGATexture(dir.file("missing.tga"), &why));
    EXPECT_FALSE(why.empty());
    WriteBytes(dir.file("short.tga"), {0, 0, 2});
    EXPECT_FALSE(LoadTGATexture(dir.file("short.tga")));
    WriteBytes(dir.file("b.bmp"), ReadBytes(TestDataPath("images/bmp/g/rgb24.bmp")));
    auto bmp = LoadBMPTexture(dir.file("b.bmp"));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(TResourceTexture("b.bmp", false, *bmp).Data.Width, 127);
}

TEST(TextureStream, InconsistentStreamsThrow) {
    auto make = [](int32_t format, uint16_t w, uint16_t h, int32_t n, size_t actual) {
        TMemoryStream s;
        s.WriteInt32(format);
        s.WriteUInt16(w);
        s.WriteUInt16(h);
        s.WriteInt32(n);
        std::vector<uint8_t> px(actual, 7);
        s.WriteBuffer(px.data(), px.size());
        return s;
    };
    auto good = make(GL_RGBA, 2, 2, 16, 16);
    EXPECT_NO_THROW(TResourceTexture("ok", false, good));
    auto shortStream = make(GL_RGBA, 2, 2, 16, 10);
    EXPECT_THROW(TResourceTexture("short", false, shortStream), TStreamReadError);
    auto wrongCount = make(GL_RGB, 2, 2, 4, 4);  // GL would read 12 bytes
    EXPECT_THROW(TResourceTexture("count", false, wrongCount), TStreamReadError);
    auto negative = make(GL_LUMINANCE, 1, 1, -1, 0);
    EXPECT_THROW(TResourceTexture("negative", false, negative), TStreamReadError);
    auto format = make(0x1234, 1, 1, 1, 1);
    EXPECT_THROW(TResourceTexture("format", false, format), TStreamReadError);
}
