#include "app/commands/SegmentSetCmdImpl.h"

#include "document/Doc.h"
#include "document/composition/Sequence.h"
#include "document/segments/Segment.h"
#include "document/segments/SegmentSelection.h"
#include "document/segments/SegmentSet.h"

#include <boost/make_shared.hpp>

namespace My {

SegmentSetCmdImpl::SegmentSetCmdImpl()
{
    auto add = [this](std::uint32_t id, auto condition, auto action) {
        m_commands.Add(
            id,
            [condition, action] {
                if (condition())
                    action();
            },
            [condition](CommandUI& ui) { ui.Enable(condition()); });
    };
    auto current = [this] {
        return GetSequence() && !GetSequence()->IsEmpty() ? GetSequence()->GetCurrentFrame() : 0;
    };
    auto open = [this] { return GetSequence() && !GetSequence()->IsEmpty(); };

    add(
        kSegmentBackEnd,
        [=, this] {
            const Segment* s = GetSelectedSegment();
            return open() && s && current() != s->GetTimeSpan().first;
        },
        [this] { GetSequence()->SetCurrentFrame(GetSelectedSegment()->GetTimeSpan().first); });
    add(
        kSegmentFrontEnd,
        [=, this] {
            const Segment* s = GetSelectedSegment();
            return open() && s && current() != s->GetTimeSpan().last - 1;
        },
        [this] { GetSequence()->SetCurrentFrame(GetSelectedSegment()->GetTimeSpan().last - 1); });
    const auto notEmpty = [this] { return GetSegmentSet() && GetSegmentSet()->GetCount() > 0; };
    add(kActivateAbove, notEmpty, [this] {
        const int index = GetSelectedIndex();
        SelectSegment((index < 0 ? GetSegmentSet()->GetCount() : index) - 1);
    });
    add(kActivateBelow, notEmpty, [this] {
        const int index = GetSelectedIndex();
        SelectSegment(index == GetSegmentSet()->GetCount() - 1 ? -1 : index + 1);
    });
    add(
        kDeactivate, [this] { return GetSelectedSegment() != nullptr; }, [this] { SelectSegment(-1); });

    auto mode = [this](std::uint32_t id, bool editing) {
        m_commands.Add(
            id,
            [this, editing] {
                if (Segment* s = GetSelectedSegment()) {
                    if (editing)
                        s->BeginEditing();
                    else
                        s->EndEditing();
                }
            },
            [this, editing](CommandUI& ui) {
                const Segment* s = GetSelectedSegment();
                ui.Enable(s != nullptr);
                ui.SetRadio(s && s->IsBeingEdited() == editing);
            });
    };
    mode(kEditMask, true);
    mode(kPreview, false);
}

Doc* SegmentSetCmdImpl::GetDocument() const
{
    return GetSegmentSet() ? GetSegmentSet()->GetOwner() : nullptr;
}

int SegmentSetCmdImpl::GetSelectedIndex() const
{
    const Doc* doc = GetDocument();
    if (!doc)
        return -1;
    const auto* selection = dynamic_cast<const SegmentSelection*>(doc->GetSelection().get());
    return selection ? selection->GetIndex() : -1;
}

Segment* SegmentSetCmdImpl::GetSelectedSegment() const
{
    const int index = GetSelectedIndex();
    const SegmentSet* set = GetSegmentSet();
    if (!set || index < 0 || index >= set->GetCount())
        return nullptr;
    return set->GetSegment(index);
}

void SegmentSetCmdImpl::SelectSegment(int k)
{
    Doc* doc = GetDocument();
    if (!doc || !GetSegmentSet())
        return;
    doc->Select(boost::make_shared<SegmentSelection>(GetSegmentSet(), k));
}

bool SegmentSetCmdImpl::RouteCommand(CommandEventBase& event)
{
    return m_commands.Dispatch(event);
}

} // namespace My
