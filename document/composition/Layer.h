#pragma once

// A layer of the composition's timeline: a footage placed at a start offset
// and trimmed to a span of its own frames. UI thread only.

#include "foundation/numbers/span.h"
#include "widgets/core/Event.h"
#include "widgets/core/EventDispatcher.h"

namespace My {

class Layer : public virtual EventDispatcher {
public:
    class Event : public My::Event {
    public:
        explicit Event(Layer* source_)
            : source(source_)
        {
        }
        Layer* source;
    };
    // The footage came or went.
    class StateChange : public Event {
    public:
        using Event::Event;
    };
    class TimeSpanChange : public Event {
    public:
        using Event::Event;
    };
    class TrimmingChange : public Event {
    public:
        using Event::Event;
    };

    virtual ~Layer() = default;
    // An empty layer refuses edits on the timeline.
    virtual bool IsEmpty() const = 0;
    virtual bool IsLocked() const = 0;
    virtual int GetLength() const = 0;
    // The composition frame at which the layer's frame 0 lies.
    virtual int GetStart() const = 0;
    // The layer's own frames it shows, last exclusive.
    virtual Span GetTrimming() const = 0;
    virtual void SetStart(int offset) = 0;
    virtual void SetTrimming(int first, int last) = 0;
    // A press on the layer's row of the timeline.
    virtual void OnPress() { }

    // The composition frames the layer covers, last exclusive.
    Span GetAbsoluteSpan() const
    {
        const Span trimming = GetTrimming();
        return { GetStart() + trimming.first, GetStart() + trimming.last };
    }
};

} // namespace My
