// Entry point of mygame-data: dispatches to the registered commands.

#include "DataTool.h"

#include <algorithm>
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

std::map<std::string, InfoHandler::Print>& InfoHandlers() {
    static std::map<std::string, InfoHandler::Print> handlers;
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

// Every answer is one JSON object per file that says whether the game's reader
// accepts the file: "ok": true and what it holds, or "ok": false and why not.
int RunInfo(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << "mygame-data info: give one or more files\n";
        return 2;
    }
    int rc = 0;
    for (const auto& path : args) {
        auto it = InfoHandlers().find(UpperExtension(path));
        if (it == InfoHandlers().end()) {
            std::cout << "{\"file\": " << JsonString(path) << ", \"ok\": false, \"error\": \"unknown file kind\"}\n";
            rc = 1;
            continue;
        }
        std::ostringstream answer, problem;
        std::streambuf* savedErr = std::cerr.rdbuf(problem.rdbuf());
        int handled = 1;
        try {
            handled = it->second(path, answer);
        } catch (const std::exception& e) {
            problem << e.what();
        }
        std::cerr.rdbuf(savedErr);
        std::string text = answer.str();
        if (handled == 0 && !text.empty() && text[0] == '{') {
            std::cout << "{\"ok\": true, " << text.substr(1);
            if (text.back() != '\n')
                std::cout << '\n';
        } else {
            std::string why = problem.str();
            while (!why.empty() && (why.back() == '\n' || why.back() == '\r'))
                why.pop_back();
            if (!why.empty())
                std::cerr << why << '\n';  // people read the reason; scripts read the JSON
            std::cout << "{\"file\": " << JsonString(path) << ", \"ok\": false, \"error\": "
                      << JsonString(why.empty() ? "the reader refused the file" : why) << "}\n";
            rc = 1;
        }
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

const DataCommand infoCommand("info", "info FILE...        print what a data file holds, as JSON", RunInfo);
const DataCommand generateCommand("generate", "generate OUTDIR     write the game's data under OUTDIR/Data", RunGenerate);

void PrintHelp() {
    std::cout << "Usage: mygame-data COMMAND [ARGS]\n\nCommands:\n";
    for (const auto& [name, entry] : Commands())
        std::cout << "  " << entry.usage << "\n";
}

}  // namespace

DataCommand::DataCommand(const char* name, const char* usage, Run run) {
    Commands()[name] = CommandEntry{usage, run};
}

InfoHandler::InfoHandler(const char* extension, Print print) { InfoHandlers()[extension] = print; }

DataGenerator::DataGenerator(int order, const char* name, Generate generate) {
    Generators().push_back({order, name, generate});
}

std::string JsonString(const std::string& s) {
    std::ostringstream out;
    out << '"';
    for (unsigned char c : s) {
        switch (c) {
            case '"': out << "\\\""; break;
            case '\\': out << "\\\\"; break;
            case '\n': out << "\\n"; break;
            case '\r': out << "\\r"; break;
            case '\t': out << "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out << buf;
                } else {
                    out << c;
                }
        }
    }
    out << '"';
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
