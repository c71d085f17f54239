#pragma once
// The log file and program messages. Every subsystem writes its progress through
// one routine; the renderer, the resource manager and the sound storage receive it
// as a callback so that they can be used (and tested) without the application.

#include <string>

// The shape of the routine handed to subsystems that log.
using TLogProc = void (*)(const std::string& text);

// Creates the lock and truncates AppPath + "InfoLog.txt".
void StartLog();
// Appends text as one or more CRLF lines. Thread-safe; whole calls never interleave.
// Throws std::ios_base::failure when the file cannot be written.
void Log(const std::string& text);
void CloseLog();

// A modal error box captioned "Program Message:"; also written to the log and stderr.
void ShowProgramMessage(const std::string& text);
// The same with a caption of the caller's choosing (the sound module has its own).
void ShowMessageBox(const std::string& caption, const std::string& text);

// Set by --batch, or when there is no display: no box is shown, nothing waits for a click.
void SetMessageBoxesEnabled(bool enabled);

// Shows the message and ends the program at once with exit code 0, as a failure
// that makes loading impossible does.
[[noreturn]] void FatalProgramMessage(const std::string& text);
