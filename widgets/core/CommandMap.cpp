#include "widgets/core/CommandMap.h"

#include "widgets/core/Event.h"

namespace My {

void CommandMap::Add(std::uint32_t id, Handler handler, UpdateHandler update)
{
    RangeHandler run;
    if (handler)
        run = [h = std::move(handler)](std::uint32_t) { h(); };
    RangeUpdateHandler ui;
    if (update)
        ui = [u = std::move(update)](std::uint32_t, CommandUI& cmdui) { u(cmdui); };
    m_entries.push_back({ id, id, std::move(run), std::move(ui) });
}

void CommandMap::AddRange(
    std::uint32_t first, std::uint32_t last, RangeHandler handler, RangeUpdateHandler update)
{
    if (first > last)
        return;
    m_entries.push_back({ first, last, std::move(handler), std::move(update) });
}

const CommandMap::Entry* CommandMap::Find(std::uint32_t id) const
{
    for (const auto& entry : m_entries)
        if (entry.first <= id && id <= entry.last)
            return &entry;
    return nullptr;
}

bool CommandMap::Contains(std::uint32_t id) const
{
    return Find(id) != nullptr;
}

bool CommandMap::Dispatch(CommandEventBase& event) const
{
    const Entry* entry = Find(event.id);
    if (!entry)
        return event.handled;
    if (auto* update = dynamic_cast<UpdateCommandUIEvent*>(&event)) {
        if (!update->cmdui) {
            // A query: is there a handler that would run the command?
            if (entry->handler)
                event.handled = true;
            return event.handled;
        }
        if (!entry->update)
            return event.handled;
        entry->update(event.id, *update->cmdui);
        event.handled = true;
        return true;
    }
    if (!entry->handler)
        return event.handled;
    // Marked first: a handler that throws has still consumed the command.
    event.handled = true;
    entry->handler(event.id);
    return true;
}

} // namespace My
