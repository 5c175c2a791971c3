#pragma once

// The program's body, shared by the program users run and by its scripted
// test build: starts the window system, builds the application and runs its
// main loop until the main window closes.

#include <functional>

class ShellPrompt;
class Tavelo;

// What a test build adds to a session; every member may be empty.
struct ProgramExtension {
    // Called once the application object and the prompt exist, before the
    // main window is created.
    std::function<void(Tavelo&, ShellPrompt&)> created;
    // Called when the main window is up, just before the main loop runs.
    std::function<void()> started;
    // Called after the main loop, while the application object still
    // exists; its answer, when not 0, becomes the exit status.
    std::function<int()> finished;
};

// The exit status: 0, or 1 when there is no display or no main window.
int RunProgram(const ProgramExtension& extension);
