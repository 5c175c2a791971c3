#include "widgets/core/Prompt.h"

#include <iostream>
#include <vector>

namespace My {

namespace {

class DiagnosticPrompt : public Prompt {
public:
    int MessageBox(const std::string& text, unsigned style) override
    {
        std::cerr << text << '\n';
        return (style & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
    }
};

DiagnosticPrompt g_diagnostic;
Prompt* g_prompt = nullptr;
std::vector<std::string> g_operations;

} // namespace

Prompt* SetPrompt(Prompt* prompt)
{
    Prompt* previous = g_prompt;
    g_prompt = prompt;
    return previous;
}

int MessageBox(const std::string& text, unsigned style)
{
    return (g_prompt ? g_prompt : &g_diagnostic)->MessageBox(text, style);
}

void PushOperation(const std::string& name)
{
    g_operations.push_back(name);
}

void PopOperation()
{
    if (!g_operations.empty())
        g_operations.pop_back();
}

void ClearOperations()
{
    g_operations.clear();
}

std::string GetCurrentOperation()
{
    return g_operations.empty() ? std::string() : g_operations.back();
}

std::string ComposeErrorReport(const std::string& text)
{
    const std::string operation = GetCurrentOperation();
    std::string message = "Error while ";
    message += operation.empty() ? std::string("performing operation:\n") : operation + ":\n";
    message += text;
    const char last = message.back();
    if (last != '.' && last != '\n' && last != '\r')
        message += '.';
    return message;
}

void ReportError(const std::string& text) noexcept
{
    try {
        const std::string message = ComposeErrorReport(text);
        ClearOperations();
        MessageBox(message, MB_ICONERROR);
    } catch (...) {
        // A report that cannot be shown (no memory, a failing prompt) must
        // not end the program from inside a boundary handler.
        ClearOperations();
    }
}

} // namespace My
