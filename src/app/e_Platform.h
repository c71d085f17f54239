#pragma once
// Small services of the operating system that every subsystem shares: the base
// folder, the millisecond clock, the game's random generator and file lookup.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The folder that holds the executable (or --data DIR), always ending in "/".
extern std::string AppPath;
// Where "Config.ini" and "InfoLog.txt" live: AppPath, unless that folder cannot be
// written (an installed game), then the user's XDG config and state folders.
extern std::string ConfigPath;
extern std::string LogFolder;
// The folder of "InfoLog.txt" and the replays: LogFolder, or AppPath while no
// folder has been chosen, so nothing lands in whatever folder the game was started from.
std::string LogFolderOrAppPath();
// Chooses ConfigPath and LogFolder for the current AppPath.
void ChooseUserFolders();

// Milliseconds since an arbitrary start. With a fixed time step the clock is
// driven by the frame loop instead of the wall clock (see SetFixedClock).
uint32_t GetTickCountMs();
// Switches the clock to manual mode: it only moves when AdvanceFixedClock is called.
void SetFixedClock(bool fixed);
bool IsFixedClock();
void AdvanceFixedClock(double seconds);
// High-resolution counter in seconds, for the frame-rate meter.
double GetPerfSeconds();

// CPU seconds each thread of the process has used so far, by thread: "main" for
// the main thread, else the thread's name. On a software rasteriser the frame
// is the rasteriser's threads' work, which the process's total does not show.
// Empty where the system does not tell (no /proc).
struct TThreadCpu {
    int32_t Id = 0;
    std::string Name;
    double Seconds = 0.0;
};
std::vector<TThreadCpu> ThreadCpuTimes();

// The game's version, as the build names it ("0.1").
const char* GameVersion();

// The game's one random generator: a 32-bit linear congruential sequence, so a
// seeded run draws the same numbers on every machine.
void RandomSeed(uint32_t seed);
uint32_t RandomGetSeed();
// Uniform real in [0, 1).
double RandomFloat();
// Uniform integer in [0, bound); 0 when bound <= 0.
int32_t RandomInt(int32_t bound);

// Finds a file whose path matches `path` with each component compared without
// regard to case (the data names files in mixed case). Returns the real path,
// or nothing when there is no such file.
std::optional<std::string> ResolvePath(const std::string& path);
bool FileExistsNoCase(const std::string& path);
// Reads a whole file (case-insensitive lookup); nothing when it cannot be read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);
// Lists the files in `dir` whose names end in `suffix` (case-insensitive), sorted.
std::vector<std::string> ListFilesWithSuffix(const std::string& dir, const std::string& suffix);

// Windows-style paths ("Data\Textures\") become "/" paths.
std::string NormalizeSlashes(std::string path);
std::string ToUpperAscii(std::string s);
std::string ToLowerAscii(std::string s);
