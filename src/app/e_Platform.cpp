#include "app/e_Platform.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include <unistd.h>

namespace fs = std::filesystem;

std::string AppPath = "./";
std::string ConfigPath;
std::string LogFolder;

std::string LogFolderOrAppPath() { return LogFolder.empty() ? AppPath : LogFolder; }

namespace {

std::atomic<bool> fixedClock{false};
std::atomic<double> fixedClockMs{0.0};
const auto clockStart = std::chrono::steady_clock::now();

std::mutex randomLock;
uint32_t randomSeed = 0;

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

uint32_t GetTickCountMs() {
    if (fixedClock)
        return static_cast<uint32_t>(static_cast<uint64_t>(fixedClockMs.load()));
    auto elapsed = std::chrono::steady_clock::now() - clockStart;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void SetFixedClock(bool fixed) { fixedClock = fixed; }
bool IsFixedClock() { return fixedClock; }

void AdvanceFixedClock(double seconds) { fixedClockMs = fixedClockMs.load() + seconds * 1000.0; }

double GetPerfSeconds() {
    if (fixedClock)
        return fixedClockMs.load() / 1000.0;
    return static_cast<double>(SDL_GetPerformanceCounter()) /
           static_cast<double>(SDL_GetPerformanceFrequency());
}

std::vector<TThreadCpu> ThreadCpuTimes() {
    std::vector<TThreadCpu> threads;
    static const double ticks = double(sysconf(_SC_CLK_TCK));
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
        TThreadCpu t;
        t.Id = std::atoi(entry.path().filename().c_str());
        std::ifstream comm(entry.path() / "comm");
        std::getline(comm, t.Name);
        if (t.Id == getpid())
            t.Name = "main";
        // The name in the stat line may hold blanks: the fields are counted after its ')'.
        std::ifstream statFile(entry.path() / "stat");
        std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
        const size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(stat.substr(close + 1));
        std::string field;
        long long user = 0, system = 0;
        for (int i = 0; i < 11 && fields >> field; ++i) {
        }
        if (!(fields >> user >> system) || ticks <= 0.0)
            continue;
        t.Seconds = double(user + system) / ticks;
        threads.push_back(std::move(t));
    }
    return threads;
}

void RandomSeed(uint32_t seed) {
    std::lock_guard<std::mutex> guard(randomLock);
    randomSeed = seed;
}

const char* GameVersion() { return MYGAME_VERSION; }

uint32_t RandomGetSeed() {
    std::lock_guard<std::mutex> guard(randomLock);
    return randomSeed;
}

static uint32_t NextRandom() {
    std::lock_guard<std::mutex> guard(randomLock);
    randomSeed = randomSeed * 134775813u + 1u;
    return randomSeed;
}

double RandomFloat() { return static_cast<double>(NextRandom()) / 4294967296.0; }

int32_t RandomInt(int32_t bound) {
    if (bound <= 0)
        return 0;
    return static_cast<int32_t>((static_cast<uint64_t>(NextRandom()) * static_cast<uint32_t>(bound)) >> 32);
}

std::string NormalizeSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string ToUpperAscii(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string ToLowerAscii(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::optional<std::string> ResolvePath(const std::string& rawPath) {
    std::string path = NormalizeSlashes(rawPath);
    if (path.empty())
        return std::nullopt;
    std::error_code ec;
    if (fs::exists(path, ec))
        return path;

    // Walk the components, matching each without regard to case.
    fs::path p(path);
    fs::path current = p.is_absolute() ? p.root_path() : fs::path(".");
    bool first = true;
    for (const auto& part : p.relative_path()) {
        std::string name = part.string();
        if (name.empty() || name == ".") {
            continue;
        }
        if (name == "..") {
            current /= name;
            continue;
        }
        fs::path candidate = current / name;
        if (!fs::exists(candidate, ec)) {
            bool found = false;
            for (fs::directory_iterator it(current, ec), end; !ec && it != end; it.increment(ec)) {
                if (EqualNoCase(it->path().filename().string(), name)) {
                    candidate = it->path();
                    found = true;
                    break;
                }
            }
            if (!found)
                return std::nullopt;
        }
        current = candidate;
        first = false;
    }
    (void)first;
    std::string result = current.string();
    if (!p.is_absolute() && result.rfind("./", 0) == 0 && path.rfind("./", 0) != 0)
        result = result.substr(2);
    return result;
}

bool FileExistsNoCase(const std::string& path) {
    auto real = ResolvePath(path);
    std::error_code ec;
    return real && fs::is_regular_file(*real, ec);
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
    auto real = ResolvePath(path);
    if (!real)
        return std::nullopt;
    std::error_code ec;
    if (!fs::is_regular_file(*real, ec))
        return std::nullopt;
    std::ifstream in(*real, std::ios::binary | std::ios::ate);
    if (!in)
        return std::nullopt;
    // One read of the whole size: byte-wise stream iteration showed up in map loading.
    const std::streamoff size = in.tellg();
    if (size < 0)
        return std::nullopt;
    std::vector<uint8_t> data(static_cast<size_t>(size));
    in.seekg(0);
    if (size > 0 && !in.read(reinterpret_cast<char*>(data.data()), size))
        return std::nullopt;
    return data;
}

std::vector<std::string> ListFilesWithSuffix(const std::string& dir, const std::string& suffix) {
    std::vector<std::string> out;
    auto real = ResolvePath(dir.empty() ? std::string(".") : dir);
    if (!real)
        return out;
    std::string upperSuffix = ToUpperAscii(suffix);
    std::error_code ec;
    for (fs::directory_iterator it(*real, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() >= suffix.size() &&
            ToUpperAscii(name.substr(name.size() - suffix.size())) == upperSuffix)
            out.push_back(name);
    }
    std::sort(out.begin(), out.end());
    return out;
}

namespace {

// $VAR/mygame/, or $HOME/fallback/mygame/; created when missing. Empty when neither works.
std::string XdgFolder(const char* variable, const char* fallback) {
    std::string base;
    if (const char* v = std::getenv(variable); v && *v == '/')
        base = v;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/" + fallback;
    else
        return {};
    std::string folder = base + "/mygame/";
    std::error_code ec;
    fs::create_directories(folder, ec);
    return ec ? std::string() : folder;
}

}  // namespace

void ChooseUserFolders() {
    ConfigPath = AppPath;
    LogFolder = AppPath;
    if (access(AppPath.c_str(), W_OK) == 0)
        return;
    if (std::string config = XdgFolder("XDG_CONFIG_HOME", ".config"); !config.empty())
        ConfigPath = config;
    if (std::string state = XdgFolder("XDG_STATE_HOME", ".local/state"); !state.empty())
        LogFolder = state;
}
