#include "app/commands/SegmentCommands.h"

#include "document/composition/Sequence.h"
#include "document/segments/Segment.h"

namespace My {

namespace {

// A command runs only while its menu state would enable it: keys reach
// the command without the menu being asked first.
template <class Condition, class Action>
void AddGuarded(CommandMap& map, std::uint32_t id, Condition condition, Action action)
{
    map.Add(
        id,
        [condition, action] {
            if (condition())
                action();
        },
        [condition](CommandUI& ui) { ui.Enable(condition()); });
}

} // namespace

SegmentCommands::SegmentCommands()
{
    AddGuarded(
        m_commands, kProcess, [this] { return GetSegment()->CanProcess(); },
        [this] { GetSegment()->RequestProcessing(); });
    AddGuarded(
        m_commands, kCancel, [this] { return GetSegment()->IsProcessing(); },
        [this] { GetSegment()->StopProcessing(false); });
    AddGuarded(
        m_commands, kSetBackEnd,
        [this] {
            const Sequence* sequence = GetSequence();
            if (!sequence || sequence->IsEmpty())
                return false;
            const int current = sequence->GetCurrentFrame();
            return current != GetSegment()->GetTimeSpan().first && current <= GetSegment()->GetKeyFrame();
        },
        [this] {
            GetSegment()->SetTimeSpan(GetSequence()->GetCurrentFrame(), GetSegment()->GetTimeSpan().last);
        });
    AddGuarded(
        m_commands, kSetFrontEnd,
        [this] {
            const Sequence* sequence = GetSequence();
            if (!sequence || sequence->IsEmpty())
                return false;
            const int current = sequence->GetCurrentFrame();
            return current != GetSegment()->GetTimeSpan().last && current > GetSegment()->GetKeyFrame();
        },
        [this] {
            GetSegment()->SetTimeSpan(GetSegment()->GetTimeSpan().first, GetSequence()->GetCurrentFrame());
        });
}

bool SegmentCommands::RouteCommand(CommandEventBase& event)
{
    if (!GetSegment())
        return false;
    return m_commands.Dispatch(event);
}

} // namespace My
