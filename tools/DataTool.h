#pragma once
// mygame-data: the data generator and inspector. Each command lives in its own
// file and registers itself with a static DataCommand object.

#include "app/e_Json.h"
#include <ostream>
#include <string>
#include <vector>

struct DataCommand {
    using Run = int (*)(const std::vector<std::string>& args);
    // Registers the command under `name`; `usage` is one line for --help.
    DataCommand(const char* name, const char* usage, Run run);
};

// `mygame-data info FILE...` looks up a handler by the file's extension (upper case, with dot).
// A handler writes one JSON object on one line with what the file holds (the tool puts "file",
// "kind" and "ok" in front) and returns 0; or it writes the message the game would show for the
// file to std::cerr and returns non-zero.
struct InfoHandler {
    using Print = int (*)(const std::string& path, std::ostream& out);
    InfoHandler(const char* extension, const char* kind, Print print);
};

// The handler for a file's extension, or null for a kind the game does not read.
struct InfoKind {
    const char* Kind;
    InfoHandler::Print Print;
};
const InfoKind* FindInfoHandler(const std::string& path);

// Runs the handler on one file: true when the game's reader accepts it. `json` receives the
// whole line (without the line feed), `error` the game's message for a refused file.
bool DescribeFile(const std::string& path, std::string& json, std::string& error);

// `mygame-data generate OUTDIR` runs every generator in order of `order`.
struct DataGenerator {
    using Generate = bool (*)(const std::string& outDir);
    DataGenerator(int order, const char* name, Generate generate);
};

// A number as JSON: null for NaN and infinities, which JSON cannot spell.
std::string JsonNumber(double v);
