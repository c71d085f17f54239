#include "units/BattleReplay.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <zlib.h>

namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

bool ParseU64(const std::string& word, int base, uint64_t max, uint64_t& out) {
    if (word.empty() || word[0] == '-' || word[0] == '+')
        return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(word.c_str(), &end, base);
    if (errno != 0 || *end != '\0' || v > max)
        return false;
    out = v;
    return true;
}

}  // namespace

bool ReadReplay(const std::string& path, TReplay& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "Replay \"" + path + "\" cannot be opened.";
        return false;
    }
    std::ostringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    auto fail = [&](size_t line, const std::string& what) {
        error = "Replay \"" + path + "\", line " + std::to_string(line) + ": " + what;
        return false;
    };

    TReplay replay;
    bool hasDt = false, ended = false;
    int64_t standing = 0;
    double dt = 0.0;
    size_t lineNo = 0, pos = 0;
    int headerLines = 0;
    while (pos < text.size()) {
        ++lineNo;
        const size_t eol = text.find('\n', pos);
        if (eol == std::string::npos)
            return fail(lineNo, "the record is cut short (the file ends in the middle of a line).");
        const std::string line = text.substr(pos, eol - pos);
        pos = eol + 1;
        const std::vector<std::string> w = Words(line);
        if (w.empty())
            return fail(lineNo, "empty line.");
        if (ended)
            return fail(lineNo, "records after the end record.");
        // The header: four records in a fixed order.
        if (headerLines < 4) {
            static const char* const expected[4] = {"mygame-replay", "game", "map", "seed"};
            if (w[0] != expected[headerLines])
                return fail(lineNo, headerLines == 0
                                        ? "not a replay file (no \"mygame-replay\" header)."
                                        : "the header has no \"" + std::string(expected[headerLines]) +
                                              "\" record here.");
            uint64_t v = 0;
            switch (headerLines) {
            case 0:
                if (w.size() != 2 || !ParseU64(w[1], 10, 1u << 30, v))
                    return fail(lineNo, "the format version is not a number.");
                if (int64_t(v) != ReplayFormatVersion)
                    return fail(lineNo, "format version " + w[1] + " is not the version this game reads (" +
                                            std::to_string(ReplayFormatVersion) + ").");
                break;
            case 1:
                if (w.size() != 2)
                    return fail(lineNo, "the game version is missing.");
                replay.Header.GameVersion = w[1];
                break;
            case 2:
                if (w.size() != 3 || !ParseU64(w[2], 16, UINT32_MAX, v))
                    return fail(lineNo, "the map record wants a file name and a CRC-32.");
                replay.Header.MapName = w[1];
                replay.Header.MapCrc = uint32_t(v);
                break;
            case 3:
                if (w.size() != 2 || !ParseU64(w[1], 10, UINT32_MAX, v))
                    return fail(lineNo, "the seed is not a number.");
                replay.Header.Seed = uint32_t(v);
                break;
            }
            ++headerLines;
            continue;
        }
        const std::string& kind = w[0];
        if (kind == "d") {
            char* end = nullptr;
            const double v = w.size() == 2 ? std::strtod(w[1].c_str(), &end) : 0.0;
            if (w.size() != 2 || *end != '\0' || !std::isfinite(v) || v < 0.0 || v > 10.0)
                return fail(lineNo, "the time step is not a number from 0 to 10.");
            dt = v;
            hasDt = true;
        } else if (kind == "f") {
            if (w.size() != 1 || !hasDt)
                return fail(lineNo, w.size() != 1 ? "a frame record has no fields."
                                                  : "a frame before any time step.");
            replay.Frames.push_back(TReplayFrame{standing, dt, {}, false, 0});
            standing = 0;
        } else if (kind == "w") {
            uint64_t n = 0;
            if (w.size() != 2 || !ParseU64(w[1], 10, UINT32_MAX, n) || n == 0)
                return fail(lineNo, "a standing record wants a count of frames.");
            standing += int64_t(n);
        } else if (kind == "c") {
            TBattleCommand c;
            if (replay.Frames.empty())
                return fail(lineNo, "a command before the first frame.");
            if (!ParseCommand(line.substr(line.find('c') + 1), c))
                return fail(lineNo, "the command is damaged.");
            replay.Frames.back().Commands.push_back(c);
        } else if (kind == "k" || kind == "end") {
            uint64_t frame = 0, sum = 0;
            if (w.size() != 3 || !ParseU64(w[1], 10, UINT32_MAX, frame) ||
                !ParseU64(w[2], 16, UINT64_MAX, sum))
                return fail(lineNo, "the checksum record wants a frame number and 16 hex digits.");
            if (frame != replay.Frames.size())
                return fail(lineNo, "the checksum names frame " + w[1] + " but " +
                                        std::to_string(replay.Frames.size()) + " frames came before it.");
            if (kind == "k") {
                if (replay.Frames.empty())
                    return fail(lineNo, "a checksum before the first frame.");
                replay.Frames.back().HasChecksum = true;
                replay.Frames.back().Checksum = sum;
            } else {
                ended = true;
                replay.Complete = true;
                replay.EndChecksum = sum;
                replay.StandAtEnd = standing;
            }
        } else {
            return fail(lineNo, "unknown record \"" + kind + "\".");
        }
    }
    if (headerLines < 4)
        return fail(lineNo + 1, "the header is incomplete.");
    out = std::move(replay);
    return true;
}

TReplayWriter::TReplayWriter(const std::string& path, const TReplayHeader& header) : FilePath(path) {
    File = std::fopen(path.c_str(), "wb");
    if (!File)
        return;
    std::fprintf(File, "mygame-replay %d\ngame %s\nmap %s %08x\nseed %u\n", int(ReplayFormatVersion),
                 header.GameVersion.c_str(), header.MapName.c_str(), unsigned(header.MapCrc),
                 unsigned(header.Seed));
    std::fflush(File);
}

TReplayWriter::~TReplayWriter() {
    if (File)
        std::fclose(File);
}

void TReplayWriter::Stand(int64_t frames) {
    if (File && frames > 0)
        std::fprintf(File, "w %lld\n", static_cast<long long>(frames));
}

void TReplayWriter::BeginFrame(double dt) {
    if (!File)
        return;
    if (!HasDt || dt != LastDt) {
        std::fprintf(File, "d %a\n", dt);
        HasDt = true;
        LastDt = dt;
    }
    std::fputs("f\n", File);
}

void TReplayWriter::Command(const TBattleCommand& command) {
    if (File)
        std::fprintf(File, "c %s\n", FormatCommand(command).c_str());
}

void TReplayWriter::EndFrame(int64_t frame, bool withChecksum, uint64_t checksum) {
    if (!File)
        return;
    if (withChecksum)
        std::fprintf(File, "k %lld %016llx\n", static_cast<long long>(frame),
                     static_cast<unsigned long long>(checksum));
    std::fflush(File);
}

void TReplayWriter::Finish(int64_t frames, uint64_t checksum) {
    if (!File)
        return;
    std::fprintf(File, "end %lld %016llx\n", static_cast<long long>(frames),
                 static_cast<unsigned long long>(checksum));
    std::fclose(File);
    File = nullptr;
}

void PruneReplays(const std::string& folder, size_t keep) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file(ec) && entry.path().extension() == ".replay")
            files.push_back(entry.path());
    if (files.size() <= keep)
        return;
    std::sort(files.begin(), files.end());
    for (size_t i = 0; i + keep < files.size(); ++i)
        fs::remove(files[i], ec);
}

bool FileCrc32(const std::string& path, uint32_t& crc) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    uLong sum = crc32(0L, Z_NULL, 0);
    char buffer[1 << 16];
    while (in) {
        in.read(buffer, sizeof buffer);
        const std::streamsize n = in.gcount();
        if (n > 0)
            sum = crc32(sum, reinterpret_cast<const Bytef*>(buffer), uInt(n));
    }
    crc = uint32_t(sum);
    return in.eof();
}
