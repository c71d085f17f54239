#pragma once
// JSON strings for the lines the game and its data tool print (headless
// summaries, the inspector): quotes, backslashes and control characters
// escaped, every other byte as it is, so UTF-8 text passes through.

#include <string>

// The text as a quoted JSON string.
std::string JsonString(const std::string& text);
