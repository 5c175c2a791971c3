#include "document/composition/Background.h"

#include "document/composition/CompositionHost.h"
#include "document/composition/TLComp.h"
#include "lumvex/footage/footage.h"
#include "widgets/core/Prompt.h"

#include <algorithm>

Background::Background(TLComp* composition)
    : m_composition(composition)
{
}

bool Background::IsEmpty() const
{
    return !m_footage;
}

bool Background::IsLocked() const
{
    return false;
}

bool Background::IsStill() const
{
    return m_footage && m_footage->frame_count() == 1;
}

int Background::GetLength() const
{
    if (!m_footage)
        return 0;
    return IsStill() ? m_composition->GetFrameCount() : std::max(0, m_footage->frame_count());
}

void Background::SetStart(int offset)
{
    if (offset == m_start)
        return;
    m_start = offset;
    My::Layer::TimeSpanChange change(this);
    Send(change);
}

void Background::SetTrimming(int first, int last)
{
    if (first > last)
        return;
    if (!IsStill()) {
        const int count = m_footage ? std::max(0, m_footage->frame_count()) : 0;
        first = std::clamp(first, 0, count);
        last = std::clamp(last, 0, count);
    }
    const My::Span span { first, last };
    if (span == m_trimming)
        return;
    m_trimming = span;
    My::Layer::TrimmingChange change(this);
    Send(change);
}

bool Background::Load(types::extent<unsigned> frame_size)
{
    CompositionHost* host = m_composition->GetHost();
    if (!host)
        return false;
    My::PushOperation("loading footage");
    boost::shared_ptr<lumvex::footage> chosen = host->ChooseFootage(true);
    My::PopOperation();
    if (!chosen)
        return false;
    const types::extent<unsigned> size = chosen->frame_size();
    if (size.width != frame_size.width || size.height != frame_size.height) {
        My::MessageBox("Dimensions of the footage (" + chosen->path()
                + ") differ from composition dimensions.\nTherefore, its loading as a background is "
                  "prohibited, sorry.",
            My::MB_ICONEXCLAMATION);
        return false;
    }
    SetFootage(std::move(chosen));
    m_composition->GetHistory().Touch();
    return true;
}

void Background::SetFootage(boost::shared_ptr<lumvex::footage> footage)
{
    m_footage = std::move(footage);
    SetTrimming(0, m_footage ? m_footage->frame_count() : 0);
    SendStateChange();
}

void Background::Clear()
{
    m_footage.reset();
    SetStart(0);
    SetTrimming(0, 0);
    SendStateChange();
}

void Background::SendStateChange()
{
    My::Layer::StateChange change(this);
    Send(change);
}

int Background::GetFootageFrame(int frame) const
{
    if (IsEmpty())
        return -1;
    const int start = GetStart();
    const My::Span trimming = GetTrimming();
    const long long a = static_cast<long long>(start) + trimming.first;
    const long long b = static_cast<long long>(start) + trimming.last;
    if (frame < a || frame >= b)
        return -1;
    return IsStill() ? 0 : frame - start;
}
