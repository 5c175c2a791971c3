// The project file's elements of the segment set, the segments and the
// background layer; the composition's own part is in TLCompFile.cpp.

#include "document/composition/Background.h"
#include "document/composition/TLComp.h"
#include "document/project/MissingFootage.h"
#include "document/segments/SegmentData.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"
#include "foundation/xml/xml_stream.h"
#include "lumvex/dll.h"

#include <algorithm>
#include <list>
#include <memory>

namespace {

My::Span ClampSpan(const My::Span& span, int count)
{
    return { std::clamp(span.first, 0, count), std::clamp(span.last, 0, count) };
}

My::Span ReadSpan(xml::stream element)
{
    My::Span span;
    element || span;
    return span;
}

} // namespace

void TLSegment::Serialize(xml::stream& stream)
{
    if (!stream.reading) {
        m_engine->serialize(stream);
        xml::stream span = stream.child("TimeSpan");
        My::Span time = m_timeSpan;
        span || time;
        xml::stream mode = stream.child("MaskMode");
        MaskMode maskMode = m_maskMode;
        mode || maskMode;
        return;
    }
    m_engine->serialize(stream);
    const My::Span time = ReadSpan(stream.child("TimeSpan"));
    xml::stream mode = stream.child("MaskMode");
    mode || m_maskMode;
    m_keyFrame = m_engine->origin();

    TLComp& comp = GetComposition();
    // A project whose footage is missing takes its frame size from its
    // first segment's key mask.
    if (auto* missing = dynamic_cast<MissingFootage*>(comp.GetFootage().get());
        missing && missing->frame_size().width == 0)
        missing->SetFrameSize({ m_engine->keymask().width, m_engine->keymask().height });

    const int count = comp.GetFrameCount();
    m_timeSpan = ClampSpan(time, count);
    const My::Span computed = m_engine->ComputedRange();
    const My::Span data = ClampSpan(computed, count);
    if (data != computed)
        m_engine->trim(data);
    SetDataSpan(data.first, data.last);
}

bool TLSegment::FitsComposition() const
{
    const types::extent<unsigned> size = GetComposition().GetFrameSize();
    const img::image<img::bit>& key = m_engine->keymask();
    return m_timeSpan.first <= m_keyFrame && m_keyFrame < m_timeSpan.last && key.width == size.width
        && key.height == size.height;
}

void TLSegmentSet::Serialize(xml::stream& stream)
{
    if (!stream.reading) {
        for (const auto& segment : m_segments) {
            xml::stream element = stream.child("Segment");
            segment->Serialize(element);
        }
        return;
    }
    std::list<xml::node> elements;
    stream.collect(xml::filter("Segment"), elements);
    for (const xml::node& node : elements) {
        xml::stream element(node, true);
        auto segment = std::make_unique<TLSegment>(this, 0);
        segment->Serialize(element);
        if (segment->FitsComposition())
            Insert(GetCount(), segment.release());
        else
            segment->Detach();
    }
    NotifyChange();
}

void Background::Serialize(xml::stream& stream, lumvex::dll* library, const std::string& base,
    const boost::shared_ptr<lumvex::footage>& missing)
{
    if (!stream.reading) {
        xml::stream footage = stream.child("Footage");
        footage || lumvex::footage_ptr_capsule { library, &m_footage, base };
        if (m_start != 0)
            stream.write("SourceOffset", m_start);
        xml::stream trimming = stream.child("Trimming");
        My::Span span = m_trimming;
        trimming || span;
        return;
    }
    boost::shared_ptr<lumvex::footage> read;
    if (!stream.is_null() && missing) {
        read = missing;
    } else if (!stream.is_null() && library) {
        xml::stream footage = stream.child("Footage");
        footage || lumvex::footage_ptr_capsule { library, &read, base };
    }
    if (!read) {
        Clear();
        return;
    }
    const int offset = stream.read<int>("SourceOffset", 0);
    My::Span span = ReadSpan(stream.child("Trimming"));
    auto* standIn = dynamic_cast<MissingFootage*>(read.get());
    if (standIn)
        standIn->SetFrameCount(standIn->StandsForStill() ? 1 : std::clamp(span.last, 1, 1 << 24));
    SetFootage(read);
    SetStart(offset);
    if (span.first == span.last && !standIn)
        span = { 0, std::max(0, m_footage->frame_count()) };
    SetTrimming(span.first, span.last);
    My::Layer::TimeSpanChange moved(this);
    Send(moved);
    SendStateChange();
}
