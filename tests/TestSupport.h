#pragma once
// Helpers shared by the unit tests.

#include <cstdint>
#include <string>
#include <vector>

// A fresh empty folder under the system's temporary folder, removed by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

// A "threadsafe" death test's child runs the test again in a process of its own, and
// ends it without running destructors, so the folders it makes would stay behind.
// While one of these lives, new folders are made inside `dir` and go with it.
class TChildFoldersInside {
public:
    explicit TChildFoldersInside(const TempDir& dir);
    ~TChildFoldersInside();
    TChildFoldersInside(const TChildFoldersInside&) = delete;
    TChildFoldersInside& operator=(const TChildFoldersInside&) = delete;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& data);
void WriteText(const std::string& path, const std::string& text);

// Third-party test files (../shared/testdata seen from the project root).
std::string TestDataPath(const std::string& relative);

// The 18-byte header of a TGA file: no identification field, no palette.
// `descriptor` holds the alpha bits and the origin flags.
std::vector<uint8_t> TgaHeader(uint8_t type, int width, int height, uint8_t bits, uint8_t descriptor = 0);
// An uncompressed 24-bit TGA of one colour.
std::vector<uint8_t> MakeTga(int width, int height, uint8_t r, uint8_t g, uint8_t b);
