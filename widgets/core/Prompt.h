#pragma once

// Questions and notices to the user, and the report of a failed operation.
// The window layer installs a Prompt that shows message boxes; headless code
// and tests install their own. UI thread only.

#include <string>

namespace My {

// Message-box styles and answers, with the platform's values.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr unsigned MB_TYPEMASK = 0xF;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

class Prompt {
public:
    // Shows text with the buttons and icon of style (MB_ values) and returns
    // the answer (ID values).
    virtual int MessageBox(const std::string& text, unsigned style) = 0;

protected:
    ~Prompt() = default;
};

// Installs the prompt used from now on (null: the default one, which writes
// the text to the diagnostic stream and answers IDOK to a notice and IDCANCEL
// to any question, so that nothing is lost without the user's consent).
// Returns the previous one. The caller keeps ownership.
Prompt* SetPrompt(Prompt* prompt);

// Shows a message box through the installed prompt.
int MessageBox(const std::string& text, unsigned style = MB_OK);

// The names of the operations under way, innermost last. An operation pushes
// its name while it runs and pops it when it succeeded; on failure the name
// stays for the report.
void PushOperation(const std::string& name);
void PopOperation();
void ClearOperations();
std::string GetCurrentOperation();

// The report of a failure: "Error while " + the current operation + ":\n"
// (or "performing operation:\n" when none is named) + text, with "."
// appended unless it ends in "." or a line break.
std::string ComposeErrorReport(const std::string& text);

// Shows ComposeErrorReport(text) with MB_ICONERROR and clears the operation
// names. This is where an exception caught at a boundary (a window-system
// callback, the main loop) ends. Never throws.
void ReportError(const std::string& text) noexcept;

} // namespace My
