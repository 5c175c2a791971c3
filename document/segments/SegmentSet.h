#pragma once

// The ordered segments of a composition as the timeline and the views see
// them. Index 0 is the top of the list. UI thread only.

#include "widgets/core/Event.h"
#include "widgets/core/EventDispatcher.h"

class TLSegment;

namespace My {

class Doc;
class Segment;

class SegmentSet : public virtual EventDispatcher {
public:
    // The list changed (a segment created, deleted or moved; the composition
    // opened or closed).
    class Change : public My::Event {
    public:
        explicit Change(SegmentSet* source_)
            : source(source_)
        {
        }
        SegmentSet* source;
    };

    virtual ~SegmentSet() = default;
    virtual Doc* GetOwner() const = 0;
    virtual bool IsEmpty() const = 0;
    virtual int GetCount() const = 0;
    virtual Segment* GetSegment(int index) const = 0;
    virtual void DeleteSelected() = 0;
    // to is an insertion position counted before the selected segment is
    // removed.
    virtual void MoveSelected(int to) = 0;
    // Raw insertion before index (clamped into 0 … count), taking ownership;
    // no event.
    virtual void Insert(int index, TLSegment* segment) = 0;
    // Raw removal; the caller takes ownership; no event. Null for an index
    // outside the list.
    virtual TLSegment* RemoveAt(int index) = 0;
    // Null for an index outside the list.
    virtual TLSegment* GetAt(int index) const = 0;
};

} // namespace My
