#pragma once
// The model readers' message boxes, caught as "caption|text" while a MessageCapture lives.

#include "resources/e_ModelLoader.h"

#include <string>
#include <vector>

inline std::vector<std::string> Messages;
inline void Capture(const std::string& caption, const std::string& text) {
    Messages.push_back(caption + "|" + text);
}

struct MessageCapture {
    TModelMessageProc previous;
    MessageCapture() {
        Messages.clear();
        previous = SetModelMessageProc(&Capture);
    }
    ~MessageCapture() { SetModelMessageProc(previous); }
};
