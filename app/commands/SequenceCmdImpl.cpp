#include "app/commands/SequenceCmdImpl.h"

#include "document/composition/Sequence.h"

SequenceCmdImpl::SequenceCmdImpl()
{
    auto add = [this](std::uint32_t id, auto condition, auto action) {
        m_commands.Add(
            id,
            [condition, action] {
                if (condition())
                    action();
            },
            [condition](My::CommandUI& ui) { ui.Enable(condition()); });
    };
    auto open = [this] { return GetSequence() && !GetSequence()->IsEmpty(); };
    add(
        kBeginWorkArea,
        [=, this] {
            if (!open())
                return false;
            const int current = GetSequence()->GetCurrentFrame();
            const My::Span area = GetSequence()->GetWorkArea();
            return current != area.first && current < area.last;
        },
        [this] {
            GetSequence()->SetWorkArea(GetSequence()->GetCurrentFrame(), GetSequence()->GetWorkArea().last);
        });
    add(
        kEndWorkArea,
        [=, this] {
            if (!open())
                return false;
            const int current = GetSequence()->GetCurrentFrame();
            const My::Span area = GetSequence()->GetWorkArea();
            return current != area.last - 1 && current >= area.first;
        },
        [this] {
            GetSequence()->SetWorkArea(
                GetSequence()->GetWorkArea().first, GetSequence()->GetCurrentFrame() + 1);
        });
}

bool SequenceCmdImpl::RouteCommand(My::CommandEventBase& event)
{
    return m_commands.Dispatch(event);
}
