#pragma once
// Input scripts: recorded mouse and keyboard events replayed at given frames,
// so that tests and benchmarks can play the game without a person.

#include <string>
#include <vector>

struct TScriptEvent {
    enum class Kind {
        Move,
        Down,
        Up,
        DoubleClick,
        KeyDown,
        KeyUp,
        Char,
        Screenshot,
        Quit
    };
    long long Frame = 0;
    Kind Type = Kind::Move;
    bool Right = false;  // the button, for Down, Up and DoubleClick
    int X = 0, Y = 0;    // window pixels, y downward
    int Code = 0;        // virtual-key or character code
    std::string File;    // for Screenshot
};

// Parses a script. On a bad line, returns false and sets `error` to
// "FILE:LINE: what is wrong".
bool ParseInputScript(const std::string& text, const std::string& fileName, std::vector<TScriptEvent>& events,
                      std::string& error);
bool LoadInputScript(const std::string& path, std::vector<TScriptEvent>& events, std::string& error);
