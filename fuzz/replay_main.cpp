// Runs a fuzz target as a plain program: every file of the folders (and every file)
// named on the command line is fed once to LLVMFuzzerTestOneInput. This replays the
// corpora with any compiler, sanitizers included, without libFuzzer.
//
//     fuzz_tga_replay [-v] [-max_len=N] [-suffix=.tga,.bmp] PATH...
//
// Folders are walked recursively in name order; with -suffix only the files of a
// folder whose names end in one of the suffixes (in any case) are taken, so the
// game's whole data folder can be given to each target. Other arguments starting with "-"
// are libFuzzer options and are ignored, so one command line serves both programs.
// A missing path is reported and skipped: the third-party files may be absent.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));
// Present when a sanitizer runtime is linked in.
extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

namespace {

// The input being run, for the last words of a crash.
char currentInput[4096] = "";

void SayWhichInput() {
    if (currentInput[0])
        std::fprintf(stderr, "\nreplay: crashed on %s\n", currentInput);
}

void OnTerminate() {
    SayWhichInput();
    if (auto e = std::current_exception()) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            std::fprintf(stderr, "replay: uncaught exception: %s\n", ex.what());
        } catch (...) {
            std::fprintf(stderr, "replay: uncaught exception of an unknown type\n");
        }
    }
    std::abort();
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

bool HasSuffix(const std::filesystem::path& path, const std::vector<std::string>& suffixes) {
    if (suffixes.empty())
        return true;
    const std::string name = Lower(path.filename().string());
    for (const auto& s : suffixes)
        if (name.size() >= s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0)
            return true;
    return false;
}

bool ReadFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    std::set_terminate(OnTerminate);
    if (__sanitizer_set_death_callback)
        __sanitizer_set_death_callback(SayWhichInput);

    bool verbose = false;
    size_t maxLen = 0;
    std::vector<std::string> suffixes;
    std::vector<std::filesystem::path> files;
    int missing = 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] == '-') {
            if (std::strcmp(arg, "-v") == 0)
                verbose = true;
            else if (std::strncmp(arg, "-max_len=", 9) == 0)
                maxLen = std::strtoull(arg + 9, nullptr, 10);
            else if (std::strncmp(arg, "-suffix=", 8) == 0) {
                std::string list = Lower(arg + 8);
                for (size_t at = 0; at <= list.size();) {
                    size_t comma = std::min(list.find(',', at), list.size());
                    if (comma > at)
                        suffixes.push_back(list.substr(at, comma - at));
                    at = comma + 1;
                }
            }
            continue;
        }
        std::error_code ec;
        std::filesystem::path path(arg);
        if (std::filesystem::is_directory(path, ec)) {
            std::vector<std::filesystem::path> found;
            for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
                 !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
                if (it->is_regular_file(ec) && HasSuffix(it->path(), suffixes))
                    found.push_back(it->path());
            }
            std::sort(found.begin(), found.end());
            files.insert(files.end(), found.begin(), found.end());
        } else if (std::filesystem::is_regular_file(path, ec)) {
            files.push_back(path);
        } else {
            std::fprintf(stderr, "replay: %s: not found, skipped\n", arg);
            ++missing;
        }
    }

    size_t totalBytes = 0;
    // libFuzzer never passes a null pointer, not even for an empty input.
    static uint8_t noBytes = 0;
    std::vector<uint8_t> bytes;
    for (const auto& path : files) {
        if (!ReadFile(path, bytes)) {
            std::fprintf(stderr, "replay: %s: cannot be read\n", path.c_str());
            return 1;
        }
        if (maxLen && bytes.size() > maxLen)
            bytes.resize(maxLen);
        std::snprintf(currentInput, sizeof currentInput, "%s", path.c_str());
        if (verbose)
            std::fprintf(stderr, "Running: %s (%zu bytes)\n", path.c_str(), bytes.size());
        // An exact copy, so that reading one byte past the input is caught.
        std::vector<uint8_t> input(bytes.begin(), bytes.end());
        LLVMFuzzerTestOneInput(input.empty() ? &noBytes : input.data(), input.size());
        totalBytes += bytes.size();
    }
    currentInput[0] = 0;
    // An empty input is always worth one run.
    LLVMFuzzerTestOneInput(&noBytes, 0);
    std::printf("replay: %zu files (%zu bytes) ran without a crash", files.size(), totalBytes);
    if (missing)
        std::printf(", %d paths missing", missing);
    std::printf("\n");
    return 0;
}
