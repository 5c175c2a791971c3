#include "document/segments/SegmentDataAction.h"

#include "document/segments/SegmentData.h"
#include "document/segments/TLSegment.h"

#include <algorithm>

SegmentDataAction::SegmentDataAction(TLSegment& segment)
    : m_segment(segment)
{
}

void SegmentDataAction::Undo()
{
    m_segment.StopProcessing(true);
    m_segment.InstallEngine(m_old);
}

void SegmentDataAction::Redo()
{
    m_segment.StopProcessing(true);
    if (!m_old)
        m_old = m_segment.GetEngine();
    if (!m_new)
        m_new = boost::shared_ptr<SegmentData>(new SegmentData(*m_old));
    m_segment.InstallEngine(m_new);
}

SegmentMaskAction::SegmentMaskAction(TLSegment& segment, const img::image<img::bit>& mask, std::string name)
    : SegmentDataAction(segment)
    , m_mask(mask)
    , m_name(name.empty() ? "Change Mask" : std::move(name))
{
}

bool SegmentMaskAction::Do()
{
    // A commit that leaves the key mask as it was (a click beside the
    // picture, a stroke over pixels already set) must not throw the results
    // away, stop a calculation or mark the project modified.
    if (m_mask.same_pixels(m_segment.GetMask()))
        return false;
    Redo();
    m_new->set_keymask(m_mask);
    // The results are gone with the old mask; the copy is not needed again.
    m_mask.clear();
    const int key = m_segment.GetKeyFrame();
    m_segment.SetDataSpan(key, key);
    m_segment.ReloadMaskIfEdited();
    return true;
}

std::string SegmentMaskAction::GetName() const
{
    return m_name;
}

SegmentParamsAction::SegmentParamsAction(TLSegment& segment, const trm::param& params)
    : SegmentDataAction(segment)
    , m_params(params)
{
}

bool SegmentParamsAction::Do()
{
    // Parameters that validate to the current ones change nothing: they must
    // not stop the calculation under way (a text field commits its unchanged
    // text when it loses the focus).
    trm::param validated = m_params;
    validated.validate();
    if (validated == m_segment.GetParams())
        return false;
    Redo();
    if (!m_new->set_param(m_params)) {
        m_segment.InstallEngine(m_old);
        return false;
    }
    const My::Span range = m_new->ComputedRange();
    m_segment.SetDataSpan(range.first, range.last);
    m_segment.NotifyParamsChange();
    return true;
}

std::string SegmentParamsAction::GetName() const
{
    return "Change Parameters";
}

SegmentTrimAction::SegmentTrimAction(TLSegment& segment)
    : m_segment(segment)
{
}

bool SegmentTrimAction::Do()
{
    m_segment.StopProcessing(true);
    if (!m_old)
        m_old = m_segment.GetEngine();
    const My::Span time = m_segment.GetTimeSpan();
    const My::Span data = m_old->ComputedRange();
    if (data.first >= time.first && data.last <= time.last)
        return false;
    boost::shared_ptr<SegmentData> trimmed(new SegmentData(*m_old));
    m_segment.SwapEngine(trimmed);
    My::Span kept { std::max(time.first, data.first), std::min(time.last, data.last) };
    if (kept.last < kept.first)
        kept = { std::clamp(m_segment.GetKeyFrame(), time.first, time.last),
            std::clamp(m_segment.GetKeyFrame(), time.first, time.last) };
    trimmed->trim(kept);
    m_segment.SetDataSpan(kept.first, kept.last);
    return true;
}

void SegmentTrimAction::Undo()
{
    m_segment.StopProcessing(true);
    m_segment.InstallEngine(m_old);
}

std::string SegmentTrimAction::GetName() const
{
    return "Trim Data";
}
