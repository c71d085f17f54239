#pragma once
// mygame-data: the data generator and inspector. Each command lives in its own
// file and registers itself with a static DataCommand object.

#include <ostream>
#include <string>
#include <vector>

struct DataCommand {
    using Run = int (*)(const std::vector<std::string>& args);
    // Registers the command under `name`; `usage` is one line for --help.
    DataCommand(const char* name, const char* usage, Run run);
};

// `mygame-data info FILE...` looks up a handler by the file's extension (upper case, with dot).
struct InfoHandler {
    using Print = int (*)(const std::string& path, std::ostream& out);
    InfoHandler(const char* extension, Print print);
};

// `mygame-data generate OUTDIR` runs every generator in order of `order`.
struct DataGenerator {
    using Generate = bool (*)(const std::string& outDir);
    DataGenerator(int order, const char* name, Generate generate);
};

// Prints JSON string literal escaping of `s` (with quotes).
std::string JsonString(const std::string& s);
