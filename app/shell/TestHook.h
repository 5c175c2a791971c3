#pragma once

// A scripted session for tests of the whole program: when the environment
// names a script (TAVELO_TEST_SCRIPT), its lines run one by one on the UI
// thread once the main window is up, each after the events of the previous
// one were handled:
//
//   answer yes|no|cancel|ok      the next question gets this answer
//   dialog PATH                  the next file dialog answers PATH (OK)
//   dialog-cancel                the next file dialog is cancelled
//   native-dialogs               file dialogs are the window system's own
//   command ID                   runs a menu command through the frame
//   key VK MODIFIERS             presses a key with the frame focused
//   drop PATH                    drops the file on the main window
//   edit                         makes one undoable edit of the project
//   expect-title TEXT            the window title must read TEXT
//   expect-menu ID TEXT          menu item ID must read TEXT (\t: a tab)
//   expect-enabled ID 0|1        menu item ID must be disabled/enabled
//   expect-message TEXT          the last message box must have read TEXT
//   screenshot PATH              writes the screen as an xwd file
//   expect-layout PATH           the screen (written to PATH) shows the
//                                frame's areas in their colours
//   fault                        raises a fault signal (SIGSEGV)
//   close                        closes the main window
//
// A message box without a queued answer is not shown and counts as a
// failure. A line that fails is written to the diagnostic stream and makes
// GetFailures count it. UI thread only.

#include <deque>
#include <string>

class ShellPrompt;
class Tavelo;

class TestHook {
public:
    TestHook(Tavelo& app, ShellPrompt& prompt);
    ~TestHook();

    // Reads the script named by the environment and schedules its first
    // line; false when there is none.
    bool Start();
    // Schedules the lines of `script` (one per line).
    void StartScript(const std::string& script);
    // Failed lines and message boxes that came without a queued answer.
    int GetFailures() const;

private:
    void Next();
    void Run(const std::string& line);
    void Fail(const std::string& line, const std::string& what);

    Tavelo& m_app;
    ShellPrompt& m_prompt;
    std::deque<std::string> m_lines;
    int m_failures = 0;
    bool m_installed = false;
};
