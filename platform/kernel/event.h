#pragma once

#include "platform/kernel/wait.h"

namespace platform {

// An event object: a flag that threads wait for. A manual-reset event stays
// set until reset; an auto-reset event is reset by the single wait that it
// ends. Every operation may be called from any thread.
class event : public waitable {
public:
    event(bool manual_reset, bool initial_state);

    void set() { signal(); }
    void reset() { unsignal(); }
};

} // namespace platform
