#pragma once

// A part that the composition owns and that opens, closes and receives
// commands with it (its segment set, its background layer). UI thread only.

namespace My {
class CommandEventBase;
}

class CompositionMember {
public:
    virtual ~CompositionMember();
    // The composition has opened (after its OpenEvent) or is closing (before
    // its CloseEvent).
    virtual void OnOpenChange(bool open);
    // Empties the member when the composition closes.
    virtual void Clear();
    // Offered each command before the composition's own commands; true when
    // handled.
    virtual bool RouteCommand(My::CommandEventBase& event);
};
