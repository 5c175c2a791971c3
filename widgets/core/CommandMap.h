#pragma once

// Commands by identifier. A command target answers My::CommandEvent (run the
// command) and My::UpdateCommandUIEvent (report its state through a
// CommandUI) from a map of identifiers to handlers; the frame's routing
// offers each command to a chain of targets until one handles it.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace My {

class CommandEventBase;

// The state of one menu item or tool-bar button, as an update handler sets
// it. The window layer implements it; tests use fakes.
class CommandUI {
public:
    virtual void Enable(bool enabled) = 0;
    // 0 unchecked, 1 checked.
    virtual void SetCheck(int check) = 0;
    virtual void SetRadio(bool on) = 0;
    virtual void SetText(const std::string& text) = 0;
    // True for a menu item, false for other users (tool-bar buttons).
    virtual bool IsMenuItem() const = 0;

protected:
    ~CommandUI() = default;
};

class CommandMap {
public:
    using Handler = std::function<void()>;
    using UpdateHandler = std::function<void(CommandUI&)>;
    using RangeHandler = std::function<void(std::uint32_t id)>;
    using RangeUpdateHandler = std::function<void(std::uint32_t id, CommandUI&)>;

    // A later entry for the same identifier is not consulted: the first wins.
    void Add(std::uint32_t id, Handler handler, UpdateHandler update);
    // The identifiers first to last, both included.
    void AddRange(std::uint32_t first, std::uint32_t last, RangeHandler handler, RangeUpdateHandler update);

    // When the map has the event's identifier: runs the command or, for an
    // update event with a CommandUI, its update handler, and marks the event
    // handled. An update event without a CommandUI asks whether the command
    // has a handler: it is marked handled when it has one, and nothing runs. Returns whether the event is
    // handled. Handlers' exceptions pass on.
    bool Dispatch(CommandEventBase& event) const;

    bool Contains(std::uint32_t id) const;

private:
    struct Entry {
        std::uint32_t first;
        std::uint32_t last;
        RangeHandler handler;
        RangeUpdateHandler update;
    };
    const Entry* Find(std::uint32_t id) const;

    std::vector<Entry> m_entries;
};

// An object that commands are routed to (a document, a selection, a view).
class CommandTarget {
public:
    // Offers the event; true when this target (or one it routes to) handled it.
    virtual bool RouteCommand(CommandEventBase& event) = 0;

protected:
    ~CommandTarget() = default;
};

} // namespace My
