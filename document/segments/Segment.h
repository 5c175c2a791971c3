#pragma once

// A segment as the timeline and the views see it: a time span around a key
// frame, the span that has results, and its processing state. UI thread only.

#include "foundation/numbers/span.h"
#include "widgets/core/Event.h"
#include "widgets/core/EventDispatcher.h"

namespace My {

class Segment : public virtual EventDispatcher {
public:
    class Event : public My::Event {
    public:
        explicit Event(Segment* source_)
            : source(source_)
        {
        }
        Segment* source;
    };
    class TimeSpanChange : public Event {
    public:
        using Event::Event;
    };
    class DataSpanChange : public Event {
    public:
        using Event::Event;
    };
    // Processing, selection or editing changed: the segment's rows redraw.
    class StateChange : public Event {
    public:
        using Event::Event;
    };

    virtual ~Segment() = default;
    virtual int GetKeyFrame() const = 0;
    // {first, last}, last exclusive.
    virtual Span GetTimeSpan() const = 0;
    virtual void SetTimeSpan(int first, int last) = 0;
    // The frames that have results; first = last means none.
    virtual Span GetDataSpan() const = 0;
    virtual bool IsProcessing() const = 0;
    virtual bool CanProcess() const = 0;
    virtual bool RequestProcessing() = 0;
    // With wait, returns only when the processing has ended.
    virtual void StopProcessing(bool wait) = 0;
    virtual bool IsBeingEdited() const = 0;
    virtual void BeginEditing() = 0;
    virtual void EndEditing() = 0;
    // Stops the processing (waiting) and ends editing: afterwards no message
    // of the worker reaches the segment and the mask editor does not hold it.
    virtual void Detach() = 0;
};

} // namespace My
