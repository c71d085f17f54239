// mygame-data as the people who make maps, models and mods use it (and outside checks do):
// `info` gives one JSON object per file on one line, `check` says whether a folder will run.

#include "GameProcess.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const std::string Build = MYGAME_BINARY_DIR;
const std::string Tool = Build + "/mygame-data";

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Runs a shell command; the exit code, or -1 when the program did not end by itself (a crash).
int RunShell(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The members of one JSON object, parsed strictly enough to tell a well-formed line: each
// value keeps its type ('s', 'n', 'b', 'z' for null, 'a', 'o'), its text for strings and
// numbers, and the element types of an array.
struct TValue {
    char Type = 0;
    std::string Text;
    std::vector<TValue> Items;
    std::map<std::string, TValue> Members;
};

class TJsonReader {
public:
    explicit TJsonReader(const std::string& s) : S(s) {}
    bool ReadLine(TValue& out) {
        if (!Value(out) || out.Type != 'o')
            return false;
        Blank();
        return P == S.size();
    }

private:
    const std::string& S;
    size_t P = 0;
    void Blank() {
        while (P < S.size() && (S[P] == ' ' || S[P] == '\t'))
            ++P;
    }
    bool String(std::string& out) {
        if (P >= S.size() || S[P] != '"')
            return false;
        for (++P; P < S.size(); ++P) {
            const unsigned char c = static_cast<unsigned char>(S[P]);
            if (c == '"') {
                ++P;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c == '\\') {
                if (++P >= S.size())
                    return false;
                const char e = S[P];
                if (e == 'u') {
                    if (P + 4 >= S.size())
                        return false;
                    out += char(std::stoi(S.substr(P + 1, 4), nullptr, 16));
                    P += 4;
                } else {
                    const std::string plain = "\"\\/bfnrt", meant = "\"\\/\b\f\n\r\t";
                    const size_t k = plain.find(e);
                    if (k == std::string::npos)
                        return false;
                    out += meant[k];
                }
            } else {
                out += char(c);
            }
        }
        return false;
    }
    bool Value(TValue& v) {
        Blank();
        if (P >= S.size())
            return false;
        const char c = S[P];
        if (c == '{') {
            v.Type = 'o';
            ++P;
            Blank();
            if (P < S.size() && S[P] == '}')
                return ++P, true;
            for (;;) {
                Blank();
                std::string key;
                if (!String(key))
                    return false;
                Blank();
                if (P >= S.size() || S[P++] != ':')
                    return false;
                TValue member;
                if (!Value(member) || v.Members.count(key))
                    return false;
                v.Members[key] = std::move(member);
                Blank();
                if (P < S.size() && S[P] == ',') {
                    ++P;
                    continue;
                }
                return P < S.size() && S[P++] == '}';
            }
        }
        if (c == '[') {
            v.Type = 'a';
            ++P;
            Blank();
            if (P < S.size() && S[P] == ']')
                return ++P, true;
            for (;;) {
                TValue item;
                if (!Value(item))
                    return false;
                v.Items.push_back(std::move(item));
                Blank();
                if (P < S.size() && S[P] == ',') {
                    ++P;
                    continue;
                }
                return P < S.size() && S[P++] == ']';
            }
        }
        if (c == '"') {
            v.Type = 's';
            return String(v.Text);
        }
        for (const char* word : {"true", "false", "null"})
            if (S.compare(P, std::strlen(word), word) == 0) {
                v.Type = word[0] == 'n' ? 'z' : 'b';
                v.Text = word;
                P += std::strlen(word);
                return true;
            }
        const size_t start = P;
        if (P < S.size() && S[P] == '-')
            ++P;
        while (P < S.size() && (std::isdigit(static_cast<unsigned char>(S[P])) || S[P] == '.' ||
                                S[P] == 'e' || S[P] == 'E' || S[P] == '+' || S[P] == '-'))
            ++P;
        if (P == start)
            return false;
        v.Type = 'n';
        v.Text = S.substr(start, P - start);
        char* end = nullptr;
        std::strtod(v.Text.c_str(), &end);
        return end && *end == '\0';
    }
};

// Runs the tool with `args`; stdout split into lines, stderr kept, exit code returned.
int RunTool(const std::string& args, std::vector<std::string>& lines, std::string* errors = nullptr) {
    TempDir out;
    const int rc =
        RunShell(Quote(Tool) + " " + args + " > " + Quote(out.file("out")) + " 2> " + Quote(out.file("err")));
    lines = Lines(ReadText(out.file("out")));
    if (errors)
        *errors = ReadText(out.file("err"));
    return rc;
}

std::string UpperExt(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return ext;
}

std::string KindOf(const std::string& path) {
    const std::string ext = UpperExt(path);
    if (ext == ".TGA" || ext == ".BMP")
        return "texture";
    if (ext == ".PRM" || ext == ".PAM" || ext == ".ASE" || ext == ".3DS")
        return "model";
    if (ext == ".PSA")
        return "animation";
    if (ext == ".MAP")
        return "map";
    if (ext == ".GPR")
        return "shader";
    if (ext == ".WAV")
        return "sound";
    if (ext == ".OGG")
        return "music";
    return "unknown";
}

// Every data file the build generated, and every shader program, relative to the build folder.
std::vector<std::string> GeneratedFiles() {
    std::vector<std::string> files;
    for (const char* top : {"Data", "Shaders"}) {
        if (!fs::exists(Build + "/" + top))
            continue;
        for (const auto& e : fs::recursive_directory_iterator(Build + "/" + top))
            if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                files.push_back(fs::relative(e.path(), Build).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class DataTool : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(Tool) || !fs::exists(Build + "/Data/Maps") || !fs::exists(Build + "/Shaders"))
            GTEST_SKIP() << "build mygame-data, gamedata and shaders first";
    }
};

// The members every object of a kind must have, with their JSON types.
const std::map<std::string, std::vector<std::pair<const char*, char>>> Contract = {
    {"texture", {{"format", 's'}, {"width", 'n'}, {"height", 'n'}, {"bytes", 'n'}, {"pixels_crc32", 'n'}}},
    {"model",
     {{"version", 'n'},
      {"skinned", 'b'},
      {"scale", 'n'},
      {"bone_count", 'n'},
      {"collision_meshes", 'n'},
      {"render_meshes", 'n'},
      {"vertices", 'n'},
      {"triangles", 'n'},
      {"box_min", 'a'},
      {"box_max", 'a'},
      {"animations", 'a'}}},
    {"animation", {{"bones", 'n'}, {"frames", 'n'}, {"rate", 'n'}}},
    {"map",
     {{"cols", 'n'},
      {"rows", 'n'},
      {"trees", 'n'},
      {"entities", 'n'},
      {"entities2", 'n'},
      {"waters", 'n'},
      {"water_triangles", 'n'},
      {"height_min", 'n'},
      {"height_max", 'n'},
      {"leaves", 'n'},
      {"impassable", 'a'}}},
    {"shader", {{"uniforms", 'a'}, {"attributes", 'a'}}},
    {"sound", {{"format", 'n'}, {"frequency", 'n'}, {"bytes", 'n'}}},
    {"music", {{"channels", 'n'}, {"rate", 'n'}, {"pcm_samples", 'n'}}},
};

double Number(const TValue& v) { return std::strtod(v.Text.c_str(), nullptr); }

TEST_F(DataTool, InfoGivesOneObjectPerGeneratedFileOnOneLineWithTheAgreedMembers) {
    const std::vector<std::string> files = GeneratedFiles();
    ASSERT_GT(files.size(), 100u);
    std::string args;
    for (const auto& f : files)
        args += " " + Quote(f);
    std::vector<std::string> lines;
    std::string errors;
    TempDir scratch;
    const int rc = RunShell("cd " + Quote(Build) + " && " + Quote(Tool) + " info" + args + " > " +
                            Quote(scratch.file("out")) + " 2> " + Quote(scratch.file("err")));
    lines = Lines(ReadText(scratch.file("out")));
    EXPECT_EQ(rc, 0) << ReadText(scratch.file("err"));
    ASSERT_EQ(lines.size(), files.size());

    std::set<std::string> kinds;
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        TValue o;
        ASSERT_TRUE(TJsonReader(lines[i]).ReadLine(o)) << lines[i].substr(0, 300);
        ASSERT_EQ(o.Members["file"].Text, files[i]);
        const std::string kind = KindOf(files[i]);
        ASSERT_EQ(o.Members["kind"].Type, 's');
        EXPECT_EQ(o.Members["kind"].Text, kind);
        EXPECT_EQ(o.Members["ok"].Text, "true") << lines[i].substr(0, 300);
        kinds.insert(kind);
        for (const auto& [name, type] : Contract.at(kind))
            EXPECT_EQ(o.Members[name].Type, type) << name << ": " << lines[i].substr(0, 300);

        auto& m = o.Members;
        if (kind == "texture") {
            const std::map<std::string, int> channels = {{"RGB", 3}, {"RGBA", 4}, {"LUMINANCE", 1}};
            ASSERT_TRUE(channels.count(m["format"].Text)) << m["format"].Text;
            EXPECT_EQ(Number(m["bytes"]),
                      Number(m["width"]) * Number(m["height"]) * channels.at(m["format"].Text));
            EXPECT_GT(Number(m["pixels_crc32"]), 0);
        } else if (kind == "model") {
            EXPECT_EQ(Number(m["version"]), 200);
            EXPECT_GE(Number(m["render_meshes"]), 1);
            EXPECT_GT(Number(m["triangles"]), 0);
            ASSERT_EQ(m["box_min"].Items.size(), 3u);
            for (int a = 0; a < 3; ++a)
                EXPECT_LE(Number(m["box_min"].Items[a]), Number(m["box_max"].Items[a]));
            // The soldiers bring their clips: every one lies beside the model and is named by it.
            if (m["skinned"].Text == "true") {
                EXPECT_GT(Number(m["bone_count"]), 0);
                EXPECT_GE(m["animations"].Items.size(), 5u);
            }
        } else if (kind == "map") {
            EXPECT_EQ(m["impassable"].Items.size(), 4u);
            EXPECT_GT(Number(m["leaves"]), 1);
            EXPECT_GT(Number(m["water_triangles"]), 0);
            EXPECT_LT(Number(m["height_min"]), Number(m["height_max"]));
        } else if (kind == "shader") {
            // Samplers take units 0, 1, ... in declaration order; plain uniforms none.
            int next = 0;
            for (const TValue& u : m["uniforms"].Items) {
                ASSERT_EQ(u.Type, 'o');
                auto um = u.Members;
                ASSERT_EQ(um["name"].Type, 's');
                ASSERT_EQ(um["sampler"].Type, 'n');
                EXPECT_EQ(Number(um["unit"]), Number(um["sampler"]) != 0 ? next++ : -1) << um["name"].Text;
            }
            for (const TValue& a : m["attributes"].Items)
                EXPECT_EQ(a.Type, 's');
        }
    }
    EXPECT_EQ(kinds.size(), Contract.size());
}

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t keep) {
    bytes.resize(std::min(keep, bytes.size()));
    return bytes;
}

std::vector<uint8_t> WithFirstInt(std::vector<uint8_t> bytes, int32_t value) {
    for (int k = 0; k < 4 && size_t(k) < bytes.size(); ++k)
        bytes[size_t(k)] = uint8_t(uint32_t(value) >> (8 * k));
    return bytes;
}

std::vector<uint8_t> Garbage(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes)
        b = uint8_t((seed = seed * 1664525u + 1013904223u) >> 24);
    return bytes;
}

std::vector<uint8_t> Text(const std::string& s) { return {s.begin(), s.end()}; }

TEST_F(DataTool, DamagedFilesOfEveryKindAreRefusedWithTheGamesMessage) {
    TempDir dir;
    auto from = [](const std::string& relative) { return ReadBytes(Build + "/" + relative); };
    const std::string damaged = "\" поврежден. Загрузка невозможна.";
    const std::string outdated = "\" устарела. Загрузка невозможна.";
    struct TCase {
        std::string Name;
        std::vector<uint8_t> Bytes;
        std::string Kind;
        std::string Expected;  // the whole message, or its start when it ends in "..."
    };
    const std::string d = dir.path() + "/";
    const std::vector<TCase> cases = {
        {"Cut.tga", Cut(from("Data/Textures/Aura.tga"), 300), "texture", "Файл \"" + d + "Cut.tga" + damaged},
        {"Noise.tga", Garbage(5000, 1), "texture", "Файл \"" + d + "Noise.tga" + damaged},
        {"Cut.PRM", Cut(from("Data/Modeles/Flag.PRM"), 200), "model",
         "model \"" + d + "Cut.PRM\" is damaged: ..."},
        {"Old.PRM", WithFirstInt(from("Data/Modeles/Flag.PRM"), 199), "model",
         "Версия файла \"" + d + "Old.PRM" + outdated},
        {"Noise.PRM", WithFirstInt(Garbage(3000, 2), 200), "model",
         "model \"" + d + "Noise.PRM\" is damaged: ..."},
        {"Cut.PAM", Cut(from("Data/Animates/Kestrin.PAM"), 5000), "model",
         "model \"" + d + "Cut.PAM\" is damaged: ..."},
        {"Old.PAM", WithFirstInt(from("Data/Animates/Kestrin.PAM"), 100), "model",
         "Версия файла \"" + d + "Old.PAM" + outdated},
        {"Noise.ASE", Garbage(4000, 3), "model", "Файл \"" + d + "Noise.ASE" + damaged},
        {"Cut.3DS", Cut(from("Data/Modeles/House1.3DS"), 40), "model", "Файл \"" + d + "Cut.3DS" + damaged},
        {"Noise.3DS", Garbage(4000, 4), "model", "Файл \"" + d + "Noise.3DS" + damaged},
        {"Cut.PSA", Cut(from("Data/Animates/Kestrin_Walk.PSA"), 100), "animation",
         "animation \"" + d + "Cut.PSA\" is damaged: ..."},
        {"Cut.map", Cut(from("Data/Maps/FirstBlood.map"), 5000), "map", "..."},
        {"Old.map", WithFirstInt(from("Data/Maps/FirstBlood.map"), 99), "map",
         "Версия файла \"" + d + "Old.map" + outdated},
        {"Noise.map", WithFirstInt(Garbage(4000, 5), 100), "map", "..."},
        {"Cut.WAV", Cut(from("Data/Sounds/GO.WAV"), 30), "sound", "Файл \"" + d + "Cut.WAV" + damaged},
        {"Noise.WAV", Garbage(3000, 6), "sound", "Файл \"" + d + "Noise.WAV" + damaged},
        {"Cut.OGG", Cut(from("Data/Sounds/MUZ_1.OGG"), 40), "music", "Music \"" + d + "Cut.OGG\": ..."},
        {"Noise.OGG", Garbage(3000, 7), "music",
         "Music \"" + d + "Noise.OGG\": not an Ogg Vorbis file; the music stays silent."},
        {"Cut.gpr", Cut(from("Shaders/WarFog.gpr"), from("Shaders/WarFog.gpr").size() - 40), "shader",
         "Shader \"Cut\" failed: \n..."},
        {"Noise.gpr",
         Text("[VERTEX SHADER]\nvoid main() { gl_Position = nonsense; }\n[FRAGMENT SHADER]\n%%%\n"), "shader",
         "Shader \"Noise\" failed: \n..."},
        {"Notes.txt", Text("not data"), "unknown", "File \"" + d + "Notes.txt\" unknown type"},
    };
    std::string args;
    for (const TCase& c : cases) {
        WriteBytes(dir.file(c.Name), c.Bytes);
        args += " " + Quote(dir.file(c.Name));
    }
    args += " " + Quote(dir.file("Absent.PRM"));
    std::vector<std::string> lines;
    std::string errors;
    const int rc = RunTool("info" + args, lines, &errors);
    EXPECT_EQ(rc, 1);  // refused, not crashed
    ASSERT_EQ(lines.size(), cases.size() + 1);
    for (size_t i = 0; i <= cases.size(); ++i) {
        const std::string name = i < cases.size() ? cases[i].Name : "Absent.PRM";
        SCOPED_TRACE(name);
        TValue o;
        ASSERT_TRUE(TJsonReader(lines[i]).ReadLine(o)) << lines[i];
        EXPECT_EQ(o.Members["file"].Text, dir.file(name));
        const std::string error = o.Members["error"].Text;
        std::string expected =
            i < cases.size() ? cases[i].Expected : "File \"" + dir.file(name) + "\" not found";
        EXPECT_EQ(o.Members["kind"].Text, i < cases.size() ? cases[i].Kind : "model");
        // A program only fails to compile where the tool has a GL context to compile it with.
        if (i < cases.size() && cases[i].Kind == "shader" && o.Members["ok"].Text == "true") {
            EXPECT_EQ(o.Members["compiled"].Type, 'z');
            continue;
        }
        EXPECT_EQ(o.Members["ok"].Text, "false") << lines[i];
        if (expected.ends_with("...")) {
            expected.resize(expected.size() - 3);
            EXPECT_TRUE(error.starts_with(expected)) << error;
            EXPECT_GT(error.size(), expected.size());
        } else {
            EXPECT_EQ(error, expected);
        }
        // People read the same message on standard error.
        if (!error.empty()) {
            EXPECT_NE(errors.find(error), std::string::npos) << error;
        }
    }
}

TEST_F(DataTool, CheckAnswersWhetherTheGameRunsWithAFolder) {
    std::vector<std::string> lines;
    std::string errors;
    ASSERT_EQ(RunTool("check " + Quote(Build), lines, &errors), 0) << errors;
    ASSERT_EQ(lines.size(), 1u) << lines[0];
    TValue summary;
    ASSERT_TRUE(TJsonReader(lines[0]).ReadLine(summary));
    EXPECT_EQ(summary.Members["ok"].Text, "true");
    EXPECT_GT(Number(summary.Members["checked"]), 90);

    // A copy with one model, one texture, one sound and one shader program taken away.
    TempDir copy;
    for (const char* top : {"Data", "Shaders"})
        fs::copy(Build + "/" + top, copy.path() + "/" + top, fs::copy_options::recursive);
    fs::remove(copy.path() + "/Data/.generated");
    const std::set<std::string> removed = {"Data/Modeles/Stand.PRM", "Data/Textures/Aura.tga",
                                           "Data/Sounds/DEAD1.WAV", "Shaders/WaterRing.gpr"};
    for (const auto& r : removed)
        ASSERT_TRUE(fs::remove(copy.path() + "/" + r)) << r;
    EXPECT_EQ(RunTool("check " + Quote(copy.path()), lines, &errors), 1);
    ASSERT_EQ(lines.size(), removed.size() + 1);
    std::set<std::string> reported;
    for (size_t i = 0; i < removed.size(); ++i) {
        TValue o;
        ASSERT_TRUE(TJsonReader(lines[i]).ReadLine(o)) << lines[i];
        std::string name = o.Members["name"].Text;
        // The game finds its files without regard to case.
        std::string key = name, want;
        for (const auto& r : removed)
            if (std::equal(r.begin(), r.end(), key.begin(), key.end(), [](char a, char b) {
                    return std::toupper((unsigned char)a) == std::toupper((unsigned char)b);
                }))
                want = r;
        EXPECT_FALSE(want.empty()) << name;
        reported.insert(want);
        EXPECT_EQ(o.Members["asked_by"].Type, 's');
        EXPECT_EQ(o.Members["asked_by"].Text.find(' '), std::string::npos);
        EXPECT_NE(o.Members["error"].Text.find("not found"), std::string::npos) << lines[i];
    }
    EXPECT_EQ(reported, removed);
    TValue after;
    ASSERT_TRUE(TJsonReader(lines.back()).ReadLine(after)) << lines.back();
    EXPECT_EQ(after.Members["ok"].Text, "false");
    EXPECT_EQ(Number(after.Members["missing"]), 4);

    // A file that is there but damaged is refused, not missing.
    WriteBytes(copy.path() + "/Data/Modeles/Flag.PRM", Garbage(100, 9));
    EXPECT_EQ(RunTool("check " + Quote(copy.path()), lines, &errors), 1);
    ASSERT_EQ(lines.size(), removed.size() + 2);
    bool flagRefused = false;
    for (const auto& line : lines)
        flagRefused |= line.find("\"name\": \"Data/Modeles/Flag.PRM\"") != std::string::npos &&
                       line.find("\"missing\": false") != std::string::npos;
    EXPECT_TRUE(flagRefused);
}

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return s;
}

// The names `check` reports as missing, upper-cased (the game ignores case).
std::set<std::string> ReportedMissing(const std::string& dir) {
    std::vector<std::string> lines;
    RunTool("check " + Quote(dir), lines);
    std::set<std::string> names;
    for (const auto& line : lines) {
        TValue o;
        if (TJsonReader(line).ReadLine(o) && o.Members["missing"].Text == "true")
            names.insert(Upper(o.Members["name"].Text));
    }
    return names;
}

TEST_F(DataTool, CheckKnowsEveryFileTheGameLoads) {
    // What a short battle really loads, from the game's own log.
    TempDir copy;
    for (const char* top : {"Data", "Shaders"})
        fs::copy(Build + "/" + top, copy.path() + "/" + top, fs::copy_options::recursive);
    const TGameRun run =
        RunGame({"--data", copy.path(), "--batch", "--headless", "--seed", "1", "--fixed-dt", "0.1",
                 "--frames", "100", "--map", copy.path() + "/Data/Maps/FirstBlood.map"},
                {"SDL_VIDEODRIVER=offscreen", "ALSOFT_DRIVERS=null"}, 120);
    ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
    const std::string log = ReadText(copy.path() + "/InfoLog.txt");
    const std::regex created("Create(Model|Texture|Sound): \"([^\"]*)\" \\.\\.\\.");
    const std::string root = Upper(copy.path() + "/");
    std::set<std::string> models, others, present;
    for (const auto& e : fs::recursive_directory_iterator(copy.path()))
        if (e.is_regular_file())
            present.insert(Upper(fs::relative(e.path(), copy.path()).string()));
    for (std::sregex_iterator it(log.begin(), log.end(), created), end; it != end; ++it) {
        std::string name = Upper((*it)[2].str());
        ASSERT_TRUE(name.starts_with(root)) << name;
        name = name.substr(root.size());
        if (!present.count(name))
            continue;  // asked for and absent from our data too: nothing to take away
        // A soldier's colour variants are taken when they lie beside his picture: without
        // them the game is not missing anything.
        if (std::regex_search(name, std::regex("_[1-7]\\.TGA$")))
            continue;
        ((*it)[1] == "Model" ? models : others).insert(name);
    }
    ASSERT_GT(models.size(), 15u);
    ASSERT_GT(others.size(), 40u);

    // Take away everything but the models: check misses each file.
    auto remove = [&](const std::set<std::string>& names) {
        for (const auto& e : fs::recursive_directory_iterator(copy.path()))
            if (e.is_regular_file() && names.count(Upper(fs::relative(e.path(), copy.path()).string())))
                fs::remove(e.path());
    };
    remove(others);
    std::set<std::string> reported = ReportedMissing(copy.path());
    for (const auto& name : others)
        EXPECT_TRUE(reported.count(name)) << name << " is loaded by the game but not checked";

    // Then the models (the map that places some of them stays).
    models.erase("DATA/MAPS/FIRSTBLOOD.MAP");
    remove(models);
    reported = ReportedMissing(copy.path());
    for (const auto& name : models)
        EXPECT_TRUE(reported.count(name)) << name << " is loaded by the game but not checked";
}

}  // namespace
