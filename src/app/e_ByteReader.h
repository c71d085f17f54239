#pragma once
// Little-endian numbers in byte buffers: the one place where the game's file formats (maps,
// model and texture streams, 3DS chunks, WAV and BMP headers, the generator's output) turn bytes
// into numbers and back. Every format of the game is little-endian whatever the machine is, so
// these assemble and split the bytes explicitly instead of copying a native integer.
//
// TByteReader is the bounded cursor the readers share. It never reads past the end of its bytes:
// a read that does not fit returns false and leaves the cursor where it was, so that each format
// keeps its own answer to a damaged file (an exception with its own message, a refused load).
// It does not own the bytes; they must outlive it.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

inline uint16_t LoadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t LoadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline float LoadLESingle(const uint8_t* p) { return std::bit_cast<float>(LoadLE32(p)); }

inline void StoreLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void StoreLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void AppendLE16(std::vector<uint8_t>& out, uint16_t v) {
    uint8_t b[2];
    StoreLE16(b, v);
    out.insert(out.end(), b, b + 2);
}

inline void AppendLE32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t b[4];
    StoreLE32(b, v);
    out.insert(out.end(), b, b + 4);
}

inline void AppendLESingle(std::vector<uint8_t>& out, float v) {
    AppendLE32(out, std::bit_cast<uint32_t>(v));
}

class TByteReader {
public:
    TByteReader() = default;
    TByteReader(const uint8_t* data, size_t size) : Data_(data), Size_(size) {}
    explicit TByteReader(const std::vector<uint8_t>& bytes) : TByteReader(bytes.data(), bytes.size()) {}

    size_t Size() const { return Size_; }
    size_t Position() const { return Pos_; }
    size_t Remaining() const { return Size_ - Pos_; }
    bool Has(size_t bytes) const { return bytes <= Remaining(); }
    // The unread bytes; valid while Has() says how many.
    const uint8_t* Here() const { return Data_ + Pos_; }

    // False (and the cursor unmoved) beyond the end; the end itself may be set.
    bool Seek(size_t pos) {
        if (pos > Size_)
            return false;
        Pos_ = pos;
        return true;
    }
    bool Skip(size_t bytes) {
        if (!Has(bytes))
            return false;
        Pos_ += bytes;
        return true;
    }

    bool Read(void* dest, size_t bytes) {
        if (!Has(bytes))
            return false;
        if (bytes > 0)
            std::memcpy(dest, Here(), bytes);
        Pos_ += bytes;
        return true;
    }
    bool ReadU8(uint8_t& v) {
        return Take(v, 1, [](const uint8_t* p) { return p[0]; });
    }
    bool ReadU16(uint16_t& v) { return Take(v, 2, LoadLE16); }
    bool ReadU32(uint32_t& v) { return Take(v, 4, LoadLE32); }
    bool ReadI16(int16_t& v) {
        return Take(v, 2, [](const uint8_t* p) { return static_cast<int16_t>(LoadLE16(p)); });
    }
    bool ReadI32(int32_t& v) {
        return Take(v, 4, [](const uint8_t* p) { return static_cast<int32_t>(LoadLE32(p)); });
    }
    bool ReadSingle(float& v) { return Take(v, 4, LoadLESingle); }

private:
    template <typename T, typename Decode>
    bool Take(T& v, size_t bytes, Decode decode) {
        if (!Has(bytes))
            return false;
        v = static_cast<T>(decode(Here()));
        Pos_ += bytes;
        return true;
    }

    const uint8_t* Data_ = nullptr;
    size_t Size_ = 0;
    size_t Pos_ = 0;
};
