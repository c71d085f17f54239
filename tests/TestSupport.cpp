#include "TestSupport.h"

#include "app/e_ByteReader.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {
constexpr const char* FolderBaseVariable = "MYGAME_TEST_TMPDIR";
}

TempDir::TempDir() {
    const char* base = std::getenv(FolderBaseVariable);
    std::string pattern =
        ((base && *base ? fs::path(base) : fs::temp_directory_path()) / "mygame-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& name) const { return path_ + "/" + name; }

TChildFoldersInside::TChildFoldersInside(const TempDir& dir) {
    setenv(FolderBaseVariable, dir.path().c_str(), 1);
}

TChildFoldersInside::~TChildFoldersInside() { unsetenv(FolderBaseVariable); }

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& data) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

void WriteText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string TestDataPath(const std::string& relative) {
    return std::string(MYGAME_TESTDATA) + "/" + relative;
}

std::vector<uint8_t> TgaHeader(uint8_t type, int width, int height, uint8_t bits, uint8_t descriptor) {
    std::vector<uint8_t> t(18, 0);
    t[2] = type;
    StoreLE16(&t[12], static_cast<uint16_t>(width));
    StoreLE16(&t[14], static_cast<uint16_t>(height));
    t[16] = bits;
    t[17] = descriptor;
    return t;
}

std::vector<uint8_t> MakeTga(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> t = TgaHeader(2, width, height, 24);
    for (int i = 0; i < width * height; ++i) {
        t.push_back(b);
        t.push_back(g);
        t.push_back(r);
    }
    return t;
}
