#pragma once

// The engine state of one document segment: the engine's segment state plus
// the segment it belongs to. Its calculation runs on the segment worker's
// thread, which reports each calculated frame to the UI thread through a
// posted message and asks the worker whether to stop.

#include "engine/segment.h"

class ProcessorControl;
class TLSegment;

class SegmentData : public trm::segment {
public:
    // owner and processor (may be null: never cancelled) outlive every
    // calculation of this state.
    SegmentData(TLSegment* owner, ProcessorControl* processor, int origin,
        const boost::shared_ptr<lumvex::footage>& footage);
    // The whole engine state (records shared) and the same owner.
    SegmentData(const SegmentData& other) = default;

    // Worker thread: posts the owner's progress call with the grown range and
    // the frame. Never throws.
    void frame_calculated(int frame, int direction, const My::Span& range) override;
    // The worker's cancel flag.
    bool cancelled() override;

    TLSegment* GetOwner() const { return m_owner; }

    // The range that has current results: the smoothed one when the
    // parameters switch smoothing on, else the segmented one.
    My::Span ComputedRange() const;

private:
    TLSegment* m_owner;
    ProcessorControl* m_processor;
};
