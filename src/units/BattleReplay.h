#pragma once
// Replay files: a battle as its seed, its time steps and its commands, with a
// checksum of the battle state every hundred frames so that a playback can
// prove it plays the same battle. The format is plain text, one record a line,
// written as the battle goes (each frame is flushed whole, so a crash leaves a
// file that plays up to its last frame):
//
//   mygame-replay 1                 format and its version
//   game 0.1                        the game's version
//   map FirstBlood.map 1c291ca3     the map's file name and CRC-32 (hex)
//   seed 1234                       the random generator at the battle's start
//   d 0x1.999999999999ap-4          the time step of the frames that follow (hex float)
//   f                               one battle frame
//   c 2 0 0 -1 -1 0 0x1.2p+6 ...    a command given in that frame (BattleCommand.h)
//   k 100 9ae1c0f3a5e2b710          the checksum after frame 100
//   w 40                            40 frames in which the battle stood (the game menu was open)
//   end 4210 9ae1c0f3a5e2b710       the battle ended after that many frames, with that checksum
//
// Ten minutes at 60 frames a second take about 90 kB.

#include "units/BattleCommand.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline constexpr int32_t ReplayFormatVersion = 1;
inline constexpr int64_t ReplayChecksumInterval = 100;

struct TReplayHeader {
    std::string GameVersion;
    std::string MapName;  // the file name, without folders
    uint32_t MapCrc = 0;
    uint32_t Seed = 0;
};

struct TReplayFrame {
    int64_t StandBefore = 0;  // frames the battle stood just before this one
    double Dt = 0.0;
    std::vector<TBattleCommand> Commands;
    bool HasChecksum = false;
    uint64_t Checksum = 0;
};

struct TReplay {
    TReplayHeader Header;
    std::vector<TReplayFrame> Frames;
    // The file has its end record: the battle was recorded to its end.
    bool Complete = false;
    uint64_t EndChecksum = 0;
    int64_t StandAtEnd = 0;  // frames the battle stood after its last frame
};

// Reads a whole replay. False, with a message naming the file and what is
// wrong with it, for anything that is not a replay: a missing file, a wrong
// or missing header, an unknown record, a record cut in the middle, values out
// of range. A file that just stops after a whole line is a replay cut short
// (Complete = false), not an error.
bool ReadReplay(const std::string& path, TReplay& out, std::string& error);

// Writes a replay as the battle goes.
class TReplayWriter {
public:
    // Opens (truncates) the file and writes the header; Ok() tells whether it worked.
    TReplayWriter(const std::string& path, const TReplayHeader& header);
    ~TReplayWriter();
    TReplayWriter(const TReplayWriter&) = delete;
    TReplayWriter& operator=(const TReplayWriter&) = delete;

    bool Ok() const { return File != nullptr; }
    const std::string& Path() const { return FilePath; }
    // `frames` frames in which the battle did not move.
    void Stand(int64_t frames);
    void BeginFrame(double dt);
    void Command(const TBattleCommand& command);
    // Ends frame `frame` (counted from 1): writes its checksum when it has one
    // and puts the frame on disk.
    void EndFrame(int64_t frame, bool withChecksum, uint64_t checksum);
    // The end record; nothing more is written after it.
    void Finish(int64_t frames, uint64_t checksum);

private:
    std::FILE* File = nullptr;
    std::string FilePath;
    bool HasDt = false;
    double LastDt = 0.0;
};

// zlib's CRC-32 of a whole file; false when it cannot be read.
bool FileCrc32(const std::string& path, uint32_t& crc);

// Keeps the newest `keep` files named "*.replay" in the folder (by name, which
// begins with the date and time) and deletes the others.
void PruneReplays(const std::string& folder, size_t keep);
