#include "resources/e_ResManagerTypes.h"

#include "app/e_ByteReader.h"
#include "app/e_Platform.h"

#include <bit>
#include <cstring>
#include <fstream>

// Numbers go through the little-endian helpers; arrays of vertices and pixels are still copied
// as they lie in memory.
static_assert(std::endian::native == std::endian::little,
              "the vertex and pixel arrays of the file formats are copied byte for byte");

bool TMemoryStream::LoadFromFile(const std::string& fileName) {
    auto bytes = ReadWholeFile(fileName);
    if (!bytes)
        return false;
    Data = std::move(*bytes);
    Position = 0;
    return true;
}

bool TMemoryStream::SaveToFile(const std::string& fileName) const {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(reinterpret_cast<const char*>(Data.data()), static_cast<std::streamsize>(Data.size()));
    return static_cast<bool>(out);
}

void TMemoryStream::Seek(int64_t position) {
    if (position < 0)
        throw TStreamReadError("stream seek to a negative position");
    Position = position;
}

void TMemoryStream::RequireBytes(uint64_t count, const char* what) const {
    if (count > static_cast<uint64_t>(Remaining()))
        throw TStreamReadError(std::string("stream ends early: ") + what + " needs " + std::to_string(count) +
                               " bytes at offset " + std::to_string(Position) + ", " +
                               std::to_string(Remaining()) + " left");
}

void TMemoryStream::ReadBuffer(void* dest, size_t count) {
    RequireBytes(count, "a read");
    if (count > 0)
        std::memcpy(dest, Data.data() + Position, count);
    Position += static_cast<int64_t>(count);
}

void TMemoryStream::WriteBuffer(const void* src, size_t count) {
    size_t end = static_cast<size_t>(Position) + count;
    if (end > Data.size())
        Data.resize(end);
    if (count > 0)
        std::memcpy(Data.data() + Position, src, count);
    Position = static_cast<int64_t>(end);
}

uint8_t TMemoryStream::ReadByte() {
    uint8_t v;
    ReadBuffer(&v, 1);
    return v;
}

uint16_t TMemoryStream::ReadUInt16() {
    uint8_t b[2];
    ReadBuffer(b, 2);
    return LoadLE16(b);
}

int32_t TMemoryStream::ReadInt32() { return static_cast<int32_t>(ReadUInt32()); }

uint32_t TMemoryStream::ReadUInt32() {
    uint8_t b[4];
    ReadBuffer(b, 4);
    return LoadLE32(b);
}

float TMemoryStream::ReadSingle() { return std::bit_cast<float>(ReadUInt32()); }

bool TMemoryStream::ReadBool32() { return ReadInt32() != 0; }

std::string TMemoryStream::ReadString() {
    int32_t length = ReadInt32();
    if (length < 0)
        throw TStreamReadError("negative string length " + std::to_string(length) + " at offset " +
                               std::to_string(Position - 4));
    RequireBytes(static_cast<uint64_t>(length), "a string");
    std::string s(static_cast<size_t>(length), '\0');
    ReadBuffer(s.data(), s.size());
    return s;
}

TMyVector3f TMemoryStream::ReadVector3() {
    TMyVector3f v;
    v.x = ReadSingle();
    v.y = ReadSingle();
    v.z = ReadSingle();
    return v;
}

void TMemoryStream::WriteByte(uint8_t v) { WriteBuffer(&v, 1); }
void TMemoryStream::WriteUInt16(uint16_t v) {
    uint8_t b[2];
    StoreLE16(b, v);
    WriteBuffer(b, 2);
}
void TMemoryStream::WriteInt32(int32_t v) { WriteUInt32(static_cast<uint32_t>(v)); }
void TMemoryStream::WriteUInt32(uint32_t v) {
    uint8_t b[4];
    StoreLE32(b, v);
    WriteBuffer(b, 4);
}
void TMemoryStream::WriteSingle(float v) { WriteUInt32(std::bit_cast<uint32_t>(v)); }
void TMemoryStream::WriteBool32(bool v) { WriteInt32(v ? 1 : 0); }

void TMemoryStream::WriteString(const std::string& s) {
    WriteInt32(static_cast<int32_t>(s.size()));
    WriteBuffer(s.data(), s.size());
}

void TMemoryStream::WriteVector3(const TMyVector3f& v) {
    WriteSingle(v.x);
    WriteSingle(v.y);
    WriteSingle(v.z);
}

int TextureFormatBytes(uint32_t format) {
    switch (format) {
    case TextureRGB:
        return 3;
    case TextureRGBA:
        return 4;
    case TextureLuminance:
        return 1;
    default:
        return 0;
    }
}
