#include "document/segments/SegmentData.h"

#include "document/processing/AsyncMessage.h"
#include "document/processing/ProcessorControl.h"
#include "document/segments/TLSegment.h"

SegmentData::SegmentData(TLSegment* owner, ProcessorControl* processor, int origin,
    const boost::shared_ptr<lumvex::footage>& footage)
    : trm::segment(origin, footage)
    , m_owner(owner)
    , m_processor(processor)
{
}

void SegmentData::frame_calculated(int frame, int, const My::Span& range)
{
    if (!m_owner)
        return;
    // A progress report that cannot be posted (no memory) is lost; the
    // completion call still brings the final range.
    try {
        My::PostCall2<TLSegment, My::Span, int>(m_owner, &TLSegment::OnProcessingProgress, range, frame);
    } catch (...) {
    }
}

bool SegmentData::cancelled()
{
    return m_processor && m_processor->IsCancelled();
}

My::Span SegmentData::ComputedRange() const
{
    return param().smooth_mask != trm::smooth_mask_method::off ? smoothed() : segmented();
}
