#include "widgets/core/WindowSystem.h"

#include <exception>

#include "platform/gui/app.h"
#include "widgets/core/Message.h"
#include "widgets/core/Prompt.h"

namespace My {

bool StartWindowSystem()
{
    platform::gui::set_error_report([](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            ReportError(x.what());
        } catch (...) {
            ReportError("unknown error");
        }
    });
    GetMessageQueue().SetWakeHandler([] { platform::gui::post([] { GetMessageQueue().RunPending(); }); });
    return platform::gui::start();
}

} // namespace My
