// Tavelo: starts the window system, builds the application and runs its
// main loop until the main window closes. The program takes no arguments.

#include <iostream>
#include <memory>

#include "app/shell/ShellPrompt.h"
#include "app/shell/Tavelo.h"
#include "app/shell/TestHook.h"
#include "platform/gui/app.h"
#include "platform/gui/shell.h"
#include "platform/kernel/module.h"
#include "widgets/core/Prompt.h"
#include "widgets/core/WindowSystem.h"

int main()
{
    std::string executable;
    platform::module_file_name(executable);
    if (!My::StartWindowSystem()) {
        std::cerr << "Tavelo needs a display (DISPLAY or WAYLAND_DISPLAY).\n";
        return 1;
    }
    platform::gui::use_native_message_box();
    int code = 0;
    int failures = 0;
    {
        ShellPrompt prompt;
        My::SetPrompt(&prompt);
        {
            Tavelo app;
            platform::gui::set_key_filter([&app](CWnd* target, UINT key, UINT modifiers) {
                return app.PreTranslateMessage(target, key, modifiers);
            });
            TestHook hook(app, prompt);
            if (!app.InitInstance(executable)) {
                std::cerr << "Tavelo's main window could not be created.\n";
                code = 1;
            } else {
                hook.Start();
                code = app.Run();
            }
            platform::gui::set_key_filter({});
            failures = hook.GetFailures();
        }
        My::SetPrompt(nullptr);
    }
    platform::gui::stop();
    return failures > 0 ? 3 : code;
}
