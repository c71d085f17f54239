#include "app/my_Script.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

bool ParseButton(const std::string& word, bool& right) {
    if (word == "left") {
        right = false;
        return true;
    }
    if (word == "right") {
        right = true;
        return true;
    }
    return false;
}

}  // namespace

bool ParseInputScript(const std::string& text, const std::string& fileName, std::vector<TScriptEvent>& events,
                      std::string& error) {
    std::istringstream in(text);
    std::string line;
    int lineNumber = 0;
    auto fail = [&](const std::string& what) {
        error = fileName + ":" + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        std::istringstream words(line);
        TScriptEvent ev;
        std::string command;
        if (!(words >> ev.Frame) || ev.Frame < 0)
            return fail("expected a frame number");
        if (!(words >> command))
            return fail("expected a command after the frame number");
        if (command == "move") {
            ev.Type = TScriptEvent::Kind::Move;
            if (!(words >> ev.X >> ev.Y))
                return fail("move needs X Y");
        } else if (command == "down" || command == "up" || command == "dblclick") {
            ev.Type = command == "down" ? TScriptEvent::Kind::Down
                      : command == "up" ? TScriptEvent::Kind::Up
                                        : TScriptEvent::Kind::DoubleClick;
            std::string button;
            if (!(words >> button) || !ParseButton(button, ev.Right))
                return fail(command + " needs left or right");
            if (!(words >> ev.X >> ev.Y))
                return fail(command + " needs X Y");
        } else if (command == "keydown" || command == "keyup") {
            ev.Type = command == "keydown" ? TScriptEvent::Kind::KeyDown : TScriptEvent::Kind::KeyUp;
            if (!(words >> ev.Code) || ev.Code < 0 || ev.Code > 255)
                return fail(command + " needs a key code 0-255");
        } else if (command == "char") {
            ev.Type = TScriptEvent::Kind::Char;
            if (!(words >> ev.Code) || ev.Code < 0 || ev.Code > 65535)
                return fail("char needs a character code");
        } else if (command == "screenshot") {
            ev.Type = TScriptEvent::Kind::Screenshot;
            std::getline(words >> std::ws, ev.File);
            if (ev.File.empty())
                return fail("screenshot needs a file name");
        } else if (command == "quit") {
            ev.Type = TScriptEvent::Kind::Quit;
        } else {
            return fail("unknown command '" + command + "'");
        }
        std::string extra;
        if (ev.Type != TScriptEvent::Kind::Screenshot && (words >> extra))
            return fail("unexpected '" + extra + "'");
        events.push_back(ev);
    }
    // Events of one frame keep their order in the file.
    std::stable_sort(events.begin(), events.end(),
                     [](const TScriptEvent& a, const TScriptEvent& b) { return a.Frame < b.Frame; });
    return true;
}

bool LoadInputScript(const std::string& path, std::vector<TScriptEvent>& events, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    return ParseInputScript(text.str(), path, events, error);
}
