#pragma once
// Shared by the fuzz targets: a scratch folder for readers that only take file
// names, and a check that stops the run when a reader's result contradicts itself.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fuzz {

// A folder of this process, removed when the process ends normally.
inline const std::filesystem::path& ScratchDir() {
    struct Holder {
        std::filesystem::path Path;
        Holder() {
            std::error_code ec;
            auto base = std::filesystem::temp_directory_path(ec);
            if (ec)
                base = "/tmp";
            Path = base / ("mygame-fuzz-" + std::to_string(::getpid()));
            std::filesystem::create_directories(Path, ec);
        }
        ~Holder() {
            std::error_code ec;
            std::filesystem::remove_all(Path, ec);
        }
    };
    static Holder holder;
    return holder.Path;
}

// Replaces the file `name` in the scratch folder with the input and gives its path.
inline std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size) {
    std::filesystem::path path = ScratchDir() / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", path.c_str());
        std::abort();
    }
    return path.string();
}

// A reader gave a result that cannot be right: stop here so the input is kept.
[[noreturn]] inline void Broken(const char* what) {
    std::fprintf(stderr, "fuzz: inconsistent result: %s\n", what);
    std::abort();
}

inline void Require(bool condition, const char* what) {
    if (!condition)
        Broken(what);
}

}  // namespace fuzz
