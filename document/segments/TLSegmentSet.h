#pragma once

// The ordered list of the composition's segments (index 0 the top). It
// creates, deletes and moves segments through undoable actions, routes
// commands to the selected segment, starts and cancels processing for all
// segments, keeps the mask editor's target and collects the mask layers of a
// frame. UI thread only.

#include "document/composition/CompositionMember.h"
#include "document/segments/MaskMode.h"
#include "document/segments/SegmentSet.h"
#include "widgets/core/CommandMap.h"
#include "widgets/core/EventDispatcher.h"

#include <memory>
#include <vector>

namespace xml {
class stream;
}

class SegmentHost;
class TLComp;
class TLSegment;

class TLSegmentSet : public My::CommandTarget,
                     public My::SegmentSet,
                     public My::EventListener,
                     public CompositionMember {
public:
    explicit TLSegmentSet(TLComp* composition);
    // Detaches and deletes every segment.
    ~TLSegmentSet() override;
    TLSegmentSet(const TLSegmentSet&) = delete;
    TLSegmentSet& operator=(const TLSegmentSet&) = delete;

    // My::SegmentSet
    My::Doc* GetOwner() const override;
    bool IsEmpty() const override;
    int GetCount() const override;
    My::Segment* GetSegment(int index) const override;
    void DeleteSelected() override;
    void MoveSelected(int to) override;
    void Insert(int index, TLSegment* segment) override;
    TLSegment* RemoveAt(int index) override;
    TLSegment* GetAt(int index) const override;

    // My::EventListener: every segment's events, handed on to the
    // listeners of GetSegmentEvents.
    void OnEvent(My::Event& event) override;
    // Listeners told of every event of every segment of this set (the views
    // that paint the segments: a change of the mask mode, the bounds, the
    // parameters or the results, and their undo, alters the painted frame),
    // in registration order, before the segment's other listeners. A
    // listener removes itself before it goes.
    My::EventDispatcher& GetSegmentEvents() { return m_segmentEvents; }

    // CompositionMember
    void OnOpenChange(bool open) override;
    // Selects nothing, takes the list out, announces the change, then
    // detaches and deletes every segment.
    void Clear() override;
    bool RouteCommand(My::CommandEventBase& event) override;

    TLComp& GetComposition() const { return *m_composition; }

    // The selected segment, or null.
    TLSegment* GetSelected() const;
    // The index selected by the document's segment selection, else -1.
    int GetSelectedIndex() const;
    // A segment selection of index (clamped) becomes the document's.
    void SelectSegment(int index);
    // The index of segment, or -1.
    int IndexOf(const TLSegment* segment) const;

    // Undoable ("Create Segment"): a new segment at frame at the top, then
    // selected. With source, the segment takes over source's result there.
    TLSegment* CreateSegment(int frame, const TLSegment* source = nullptr);

    // The first segment in list order whose time span, each end clamped into
    // its data span, contains frame and whose mode is not None; else null.
    TLSegment* FindSegmentAt(int frame) const;
    bool IsAnyProcessing() const;
    // Appends the layers of frame in combining order: the base layer (the
    // topmost Substitute segment showing the frame, else the bottom segment)
    // first, the top segment last. A segment shows the frame when its time
    // span contains it and its engine has a mask there (a grey mask with
    // encoded, else a crisp one).
    void CollectMaskLayers(int frame, bool encoded, std::vector<MaskLayer>& out) const;

    // "Process All": RequestProcessing of every segment in list order; a
    // request that throws keeps none of the others from being queued, and
    // the first failure passes on after the last request.
    void ProcessAll();
    bool CanProcessAny() const;
    // "Cancel All": the worker's cancel-all.
    void CancelAll();

    // The window layer (may be null: headless).
    void SetHost(SegmentHost* host) { m_host = host; }
    SegmentHost* GetHost() const { return m_host; }
    // The mask editor's target, or null.
    TLSegment* GetEditTarget() const { return m_editTarget; }
    void SetEditTarget(TLSegment* segment);

    // The project file's "Segment" children of the stream's element, in list
    // order. Reading appends a segment per child that fits the composition,
    // drops the others silently and then sends My::SegmentSet::Change.
    void Serialize(xml::stream& stream);

    // Sends My::SegmentSet::Change.
    void NotifyChange();

private:
    void BuildCommands();

    TLComp* m_composition;
    std::vector<std::unique_ptr<TLSegment>> m_segments;
    SegmentHost* m_host = nullptr;
    TLSegment* m_editTarget = nullptr;
    My::EventDispatcher m_segmentEvents;
    My::CommandMap m_commands;
};
