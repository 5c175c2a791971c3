#include "platform/kernel/event.h"

namespace platform {

event::event(bool manual_reset, bool initial_state)
    : waitable(manual_reset, initial_state)
{
}

} // namespace platform
