// Entry point of mygame-data: dispatches to the registered commands.

#include "DataTool.h"

#include "app/e_Platform.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>

namespace {

struct CommandEntry {
    std::string usage;
    DataCommand::Run run;
};

std::map<std::string, CommandEntry>& Commands() {
    static std::map<std::string, CommandEntry> commands;
    return commands;
}

std::map<std::string, InfoKind>& InfoHandlers() {
    static std::map<std::string, InfoKind> handlers;
    return handlers;
}

struct GeneratorEntry {
    int order;
    std::string name;
    DataGenerator::Generate generate;
};

std::vector<GeneratorEntry>& Generators() {
    static std::vector<GeneratorEntry> generators;
    return generators;
}

std::string UpperExtension(const std::string& path) {
    auto dot = path.find_last_of('.');
    if (dot == std::string::npos)
        return {};
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
    return ext;
}

// Every answer is one JSON object on one line per file, in the order given, that says whether
// the game's reader accepts the file: "ok": true and what it holds, or "ok": false and the
// message the game would show (people read that on standard error; scripts read the JSON).
int RunInfo(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << "mygame-data info: give one or more files\n";
        return 2;
    }
    int rc = 0;
    for (const auto& path : args) {
        std::string json, error;
        if (!DescribeFile(path, json, error)) {
            std::cerr << error << '\n';
            rc = 1;
        }
        std::cout << json << '\n' << std::flush;
    }
    return rc;
}

int RunGenerate(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::cerr << "mygame-data generate: give the output folder (it receives Data/)\n";
        return 2;
    }
    auto generators = Generators();
    std::stable_sort(generators.begin(), generators.end(),
                     [](const GeneratorEntry& a, const GeneratorEntry& b) { return a.order < b.order; });
    for (const auto& g : generators) {
        if (!g.generate(args[0])) {
            std::cerr << "mygame-data generate: " << g.name << " failed\n";
            return 1;
        }
    }
    return 0;
}

const DataCommand infoCommand("info",
                              "info FILE...        what the game makes of each file, one JSON line per file",
                              RunInfo);
const DataCommand generateCommand("generate", "generate OUTDIR     write the game's data under OUTDIR/Data",
                                  RunGenerate);

void PrintHelp() {
    std::cout << "Usage: mygame-data COMMAND [ARGS]\n\nCommands:\n";
    for (const auto& [name, entry] : Commands())
        std::cout << "  " << entry.usage << "\n";
}

}  // namespace

DataCommand::DataCommand(const char* name, const char* usage, Run run) {
    Commands()[name] = CommandEntry{usage, run};
}

InfoHandler::InfoHandler(const char* extension, const char* kind, Print print) {
    InfoHandlers()[extension] = InfoKind{kind, print};
}

const InfoKind* FindInfoHandler(const std::string& path) {
    auto it = InfoHandlers().find(UpperExtension(path));
    return it == InfoHandlers().end() ? nullptr : &it->second;
}

bool DescribeFile(const std::string& path, std::string& json, std::string& error) {
    const InfoKind* handler = FindInfoHandler(path);
    std::string head = "{\"file\": " + JsonString(path) + ", \"kind\": ";
    if (!handler) {
        error = "File \"" + path + "\" unknown type";
        json = head + "\"unknown\", \"ok\": false, \"error\": " + JsonString(error) + "}";
        return false;
    }
    head += JsonString(handler->Kind);
    std::ostringstream answer, problem;
    int handled = 1;
    if (!FileExistsNoCase(path)) {
        problem << "File \"" << path << "\" not found";
    } else {
        std::streambuf* savedErr = std::cerr.rdbuf(problem.rdbuf());
        try {
            handled = handler->Print(path, answer);
        } catch (const std::exception& e) {
            problem << e.what();
        } catch (...) {
            problem << "the reader failed";
        }
        std::cerr.rdbuf(savedErr);
    }
    std::string text = answer.str();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    // One object on one line, whatever a handler printed.
    const bool oneLine =
        text.size() >= 2 && text.front() == '{' && text.back() == '}' && text.find('\n') == std::string::npos;
    if (handled == 0 && oneLine) {
        json = head + ", \"ok\": true" + (text.size() > 2 ? ", " + text.substr(1) : "}");
        error.clear();
        return true;
    }
    error = problem.str();
    while (!error.empty() && (error.back() == '\n' || error.back() == '\r'))
        error.pop_back();
    if (error.empty())
        error = "Файл \"" + path + "\" поврежден. Загрузка невозможна.";
    json = head + ", \"ok\": false, \"error\": " + JsonString(error) + "}";
    return false;
}

DataGenerator::DataGenerator(int order, const char* name, Generate generate) {
    Generators().push_back({order, name, generate});
}

std::string JsonNumber(double v) {
    if (!std::isfinite(v))
        return "null";
    std::ostringstream out;
    out << v;
    return out.str();
}

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintHelp();
        return argc < 2 ? 2 : 0;
    }
    auto it = Commands().find(argv[1]);
    if (it == Commands().end()) {
        std::cerr << "mygame-data: unknown command '" << argv[1] << "' (try --help)\n";
        return 2;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    return it->second.run(args);
}
