// The program's test build: the program users run plus the scripted session
// that TAVELO_TEST_SCRIPT names (see app/shell/TestHook.h). A script with
// failed lines ends the program with status 3.

#include <memory>

#include "app/ProgramMain.h"
#include "app/shell/TestHook.h"

int main()
{
    std::unique_ptr<TestHook> hook;
    ProgramExtension extension;
    extension.created
        = [&hook](Tavelo& app, ShellPrompt& prompt) { hook = std::make_unique<TestHook>(app, prompt); };
    extension.started = [&hook] { hook->Start(); };
    extension.finished = [&hook] {
        const int failures = hook->GetFailures();
        hook.reset();
        return failures > 0 ? 3 : 0;
    };
    return RunProgram(extension);
}
