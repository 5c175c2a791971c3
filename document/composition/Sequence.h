#pragma once

// The frame sequence that views, the player and the timeline show: its
// length, work area, current and preview frames, frame size and whether
// segments are being processed. Its notifications go through its dispatcher.

#include "foundation/numbers/extent.h"
#include "foundation/numbers/span.h"
#include "widgets/core/Event.h"
#include "widgets/core/EventDispatcher.h"

namespace My {

class Sequence : public virtual EventDispatcher {
public:
    class Event : public My::Event {
    public:
        explicit Event(Sequence* source_)
            : source(source_)
        {
        }
        ~Event() override = 0;
        Sequence* source;
    };
    class OpenEvent : public Event {
    public:
        using Event::Event;
        ~OpenEvent() override;
    };
    class CloseEvent : public Event {
    public:
        using Event::Event;
        ~CloseEvent() override;
    };
    class WorkAreaChange : public Event {
    public:
        using Event::Event;
        ~WorkAreaChange() override;
    };
    class CurrentFrameChange : public Event {
    public:
        using Event::Event;
        ~CurrentFrameChange() override;
    };
    class PreviewFrameChange : public Event {
    public:
        using Event::Event;
        ~PreviewFrameChange() override;
    };

    virtual bool IsEmpty() const = 0;
    virtual int GetFirstFrame() const = 0;
    virtual int GetFrameCount() const = 0;
    // Frames first to last - 1.
    virtual Span GetWorkArea() const = 0;
    virtual void SetWorkArea(int first, int last) = 0;
    virtual int GetCurrentFrame() const = 0;
    virtual void SetCurrentFrame(int frame) = 0;
    // The frame shown while the player runs or follows processing.
    virtual int GetPreviewFrame() const = 0;
    virtual void SetPreviewFrame(int frame) = 0;
    virtual types::extent<unsigned> GetFrameSize() const = 0;
    virtual bool IsProcessing() const = 0;

protected:
    ~Sequence() = default;
};

} // namespace My
