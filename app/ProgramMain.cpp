#include "app/ProgramMain.h"

#include <iostream>
#include <string>

#include "app/shell/ShellPrompt.h"
#include "app/shell/Tavelo.h"
#include "platform/gui/app.h"
#include "platform/gui/shell.h"
#include "platform/kernel/module.h"
#include "widgets/core/Prompt.h"
#include "widgets/core/WindowSystem.h"

int RunProgram(const ProgramExtension& extension)
{
    std::string executable;
    platform::module_file_name(executable);
    if (!My::StartWindowSystem()) {
        std::cerr << "Tavelo needs a display (DISPLAY or WAYLAND_DISPLAY).\n";
        return 1;
    }
    platform::gui::use_native_message_box();
    int code = 0;
    {
        ShellPrompt prompt;
        My::SetPrompt(&prompt);
        {
            Tavelo app;
            platform::gui::set_key_filter([&app](CWnd* target, UINT key, UINT modifiers) {
                return app.PreTranslateMessage(target, key, modifiers);
            });
            if (extension.created)
                extension.created(app, prompt);
            if (!app.InitInstance(executable)) {
                std::cerr << "Tavelo's main window could not be created.\n";
                code = 1;
            } else {
                if (extension.started)
                    extension.started();
                code = app.Run();
            }
            platform::gui::set_key_filter({});
            if (extension.finished) {
                const int status = extension.finished();
                if (status != 0)
                    code = status;
            }
        }
        My::SetPrompt(nullptr);
    }
    platform::gui::stop();
    return code;
}
