#include "document/segments/TLSegmentSet.h"

#include "document/composition/TLComp.h"
#include "document/processing/ProcessorControl.h"
#include "document/segments/SegmentData.h"
#include "document/segments/SegmentHost.h"
#include "document/segments/SegmentSelection.h"
#include "document/segments/TLSegment.h"
#include "engine/frame_record.h"

#include <algorithm>
#include <cstdint>
#include <exception>

namespace {

constexpr std::uint32_t kNewSegment = 32773;
constexpr std::uint32_t kNewFromActive = 32854;
constexpr std::uint32_t kDeleteActive = 33203;
constexpr std::uint32_t kProcessAll = 33105;
constexpr std::uint32_t kCancelAll = 33106;

// Keeps the selection across a change of the list: the selected segment stays
// selected at its new index; when it left the list, the same index is
// selected again (clamped into the shorter list).
class KeepSelection {
public:
    explicit KeepSelection(TLSegmentSet& set)
        : m_set(set)
        , m_index(set.GetSelectedIndex())
        , m_segment(set.GetAt(m_index))
    {
        if (m_index >= 0)
            m_set.SelectSegment(-1);
    }
    void Restore()
    {
        m_set.NotifyChange();
        const int found = m_set.IndexOf(m_segment);
        if (m_segment && found >= 0)
            m_set.SelectSegment(found);
        else if (m_index >= 0)
            m_set.SelectSegment(m_index);
    }

private:
    TLSegmentSet& m_set;
    int m_index;
    TLSegment* m_segment;
};

} // namespace

namespace My {

// The creation of a segment at the top of the list.
template <class T> class CreateSegment : public Action {
public:
    CreateSegment(TLSegmentSet& set, std::unique_ptr<T> segment)
        : m_set(set)
        , m_owned(std::move(segment))
        , m_segment(m_owned.get())
    {
    }
    bool Do() override
    {
        m_previous = m_set.GetSelected();
        KeepSelection keep(m_set);
        m_set.Insert(0, m_owned.release());
        keep.Restore();
        m_set.SelectSegment(0);
        return true;
    }
    // The segment leaves the list and what was selected before it came is
    // selected again.
    // A failure while the segment is detached (a message run during the
    // wait threw) puts it back, so the entry stays done, and passes on.
    void Undo() override
    {
        KeepSelection keep(m_set);
        const int index = m_set.IndexOf(m_segment);
        if (index < 0)
            return;
        m_owned.reset(m_set.RemoveAt(index));
        try {
            m_owned->Detach();
        } catch (...) {
            m_set.Insert(index, m_owned.release());
            keep.Restore();
            throw;
        }
        keep.Restore();
        m_set.SelectSegment(m_set.IndexOf(m_previous));
    }
    std::string GetName() const override { return "Create Segment"; }

private:
    TLSegmentSet& m_set;
    std::unique_ptr<T> m_owned;
    T* m_segment;
    TLSegment* m_previous = nullptr;
};

template <class T> class DeleteSegment : public Action {
public:
    DeleteSegment(TLSegmentSet& set, int index)
        : m_set(set)
        , m_index(index)
    {
    }
    // A failure while the segment is detached puts it back: nothing is
    // recorded, and the failure passes on.
    bool Do() override
    {
        m_wasSelected = m_index == m_set.GetSelectedIndex();
        KeepSelection keep(m_set);
        m_owned.reset(m_set.RemoveAt(m_index));
        if (!m_owned)
            return false;
        try {
            m_owned->Detach();
        } catch (...) {
            m_set.Insert(m_index, m_owned.release());
            keep.Restore();
            throw;
        }
        keep.Restore();
        return true;
    }
    void Undo() override
    {
        KeepSelection keep(m_set);
        m_set.Insert(m_index, m_owned.release());
        keep.Restore();
        if (m_wasSelected)
            m_set.SelectSegment(m_index);
    }
    std::string GetName() const override { return "Delete Segment"; }

private:
    TLSegmentSet& m_set;
    int m_index;
    std::unique_ptr<T> m_owned;
    bool m_wasSelected = false;
};

template <class T> class MoveSegment : public Action {
public:
    MoveSegment(TLSegmentSet& set, int from, int to)
        : m_set(set)
        , m_from(from)
        , m_to(to)
    {
    }
    bool Do() override
    {
        if (m_from == m_to)
            return false;
        Move(m_from, m_to);
        return true;
    }
    void Undo() override { Move(m_to, m_from); }
    void Redo() override { Move(m_from, m_to); }
    std::string GetName() const override { return "Move Segment"; }

private:
    void Move(int from, int to)
    {
        KeepSelection keep(m_set);
        m_set.Insert(to, m_set.RemoveAt(from));
        keep.Restore();
    }

    TLSegmentSet& m_set;
    int m_from;
    int m_to;
};

} // namespace My

TLSegmentSet::TLSegmentSet(TLComp* composition)
    : m_composition(composition)
{
    BuildCommands();
}

TLSegmentSet::~TLSegmentSet()
{
    // The composition clears its members when it closes; this is for a set
    // destroyed without that.
    std::vector<std::unique_ptr<TLSegment>> segments;
    segments.swap(m_segments);
    for (auto& segment : segments)
        try {
            segment->Detach();
        } catch (...) {
        }
}

My::Doc* TLSegmentSet::GetOwner() const
{
    return m_composition;
}

bool TLSegmentSet::IsEmpty() const
{
    return m_composition->IsEmpty();
}

int TLSegmentSet::GetCount() const
{
    return static_cast<int>(m_segments.size());
}

My::Segment* TLSegmentSet::GetSegment(int index) const
{
    return GetAt(index);
}

TLSegment* TLSegmentSet::GetAt(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_segments[static_cast<std::size_t>(index)].get();
}

void TLSegmentSet::Insert(int index, TLSegment* segment)
{
    if (!segment)
        return;
    std::unique_ptr<TLSegment> owned(segment);
    index = std::clamp(index, 0, GetCount());
    m_segments.insert(m_segments.begin() + index, std::move(owned));
}

TLSegment* TLSegmentSet::RemoveAt(int index)
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    auto it = m_segments.begin() + index;
    TLSegment* segment = it->release();
    m_segments.erase(it);
    return segment;
}

int TLSegmentSet::IndexOf(const TLSegment* segment) const
{
    if (!segment)
        return -1;
    for (std::size_t i = 0; i < m_segments.size(); ++i)
        if (m_segments[i].get() == segment)
            return static_cast<int>(i);
    return -1;
}

void TLSegmentSet::OnEvent(My::Event& event)
{
    if (dynamic_cast<My::Segment::Event*>(&event))
        m_segmentEvents.Send(event);
}

void TLSegmentSet::NotifyChange()
{
    My::SegmentSet::Change change(this);
    Send(change);
}

void TLSegmentSet::OnOpenChange(bool)
{
    NotifyChange();
}

void TLSegmentSet::Clear()
{
    if (auto* selection = dynamic_cast<My::SegmentSelection*>(m_composition->GetSelection().get()))
        selection->Clear();
    std::vector<std::unique_ptr<TLSegment>> segments;
    segments.swap(m_segments);
    NotifyChange();
    // Every segment is detached before it goes, so no message of the worker
    // reaches a deleted segment. Detaching returns, or throws, only once the
    // segment is idle; a failure reported meanwhile still lets the rest go.
    for (auto& segment : segments) {
        try {
            segment->Detach();
        } catch (...) {
        }
        segment.reset();
    }
}

int TLSegmentSet::GetSelectedIndex() const
{
    const auto* selection = dynamic_cast<const My::SegmentSelection*>(m_composition->GetSelection().get());
    return selection && selection->GetSet() == this ? selection->GetIndex() : -1;
}

TLSegment* TLSegmentSet::GetSelected() const
{
    return GetAt(GetSelectedIndex());
}

void TLSegmentSet::SelectSegment(int index)
{
    m_composition->Select(boost::shared_ptr<My::Selection>(new My::SegmentSelection(this, index)));
}

TLSegment* TLSegmentSet::CreateSegment(int frame, const TLSegment* source)
{
    auto segment = source ? std::make_unique<TLSegment>(this, *source, frame)
                          : std::make_unique<TLSegment>(this, frame);
    TLSegment* created = segment.get();
    if (!m_composition->GetHistory().Perform(
            std::make_unique<My::CreateSegment<TLSegment>>(*this, std::move(segment))))
        return nullptr;
    return created;
}

void TLSegmentSet::DeleteSelected()
{
    const int index = GetSelectedIndex();
    if (index < 0)
        return;
    m_composition->GetHistory().Perform(std::make_unique<My::DeleteSegment<TLSegment>>(*this, index));
}

void TLSegmentSet::MoveSelected(int to)
{
    const int from = GetSelectedIndex();
    if (from < 0)
        return;
    if (to > from)
        --to;
    to = std::clamp(to, 0, GetCount() - 1);
    m_composition->GetHistory().Perform(std::make_unique<My::MoveSegment<TLSegment>>(*this, from, to));
}

TLSegment* TLSegmentSet::FindSegmentAt(int frame) const
{
    for (const auto& segment : m_segments) {
        const My::Span time = segment->GetTimeSpan();
        const My::Span data = segment->GetDataSpan();
        const int first = std::clamp(time.first, data.first, std::max(data.first, data.last));
        const int last = std::clamp(time.last, data.first, std::max(data.first, data.last));
        if (first <= frame && frame < last && segment->GetMaskMode().mode != MaskMode::None)
            return segment.get();
    }
    return nullptr;
}

bool TLSegmentSet::IsAnyProcessing() const
{
    return std::any_of(
        m_segments.begin(), m_segments.end(), [](const auto& segment) { return segment->IsProcessing(); });
}

void TLSegmentSet::CollectMaskLayers(int frame, bool encoded, std::vector<MaskLayer>& out) const
{
    if (m_segments.empty())
        return;
    // Each segment's record is read once, under its engine's lock, and the
    // decision and the layer both rest on that copy.
    std::vector<boost::shared_ptr<trm::frame_record>> shown(m_segments.size());
    for (std::size_t i = 0; i < m_segments.size(); ++i) {
        const TLSegment& segment = *m_segments[i];
        const My::Span time = segment.GetTimeSpan();
        if (frame < time.first || frame >= time.last)
            continue;
        auto record = segment.GetEngine()->frame_data(frame);
        if (record && (encoded ? !is_empty(record->grey_mask) : record->bit_mask.data != nullptr))
            shown[i] = std::move(record);
    }
    std::size_t base = m_segments.size() - 1;
    for (std::size_t i = 0; i < m_segments.size(); ++i)
        if (shown[i] && m_segments[i]->GetMaskMode().mode == MaskMode::Substitute) {
            base = i;
            break;
        }
    for (std::size_t j = base + 1; j-- > 0;) {
        const MaskMode mode = m_segments[j]->GetMaskMode();
        if (shown[j] && mode.mode != MaskMode::None)
            out.push_back({ shown[j], mode });
    }
}

bool TLSegmentSet::CanProcessAny() const
{
    return std::any_of(
        m_segments.begin(), m_segments.end(), [](const auto& segment) { return segment->CanProcess(); });
}

void TLSegmentSet::ProcessAll()
{
    // A segment may leave the list while another is requested (a listener);
    // the copy keeps the walk valid. One segment's failed request keeps no
    // other from being queued; the first failure passes on afterwards.
    std::vector<TLSegment*> segments;
    for (const auto& segment : m_segments)
        segments.push_back(segment.get());
    std::exception_ptr failure;
    for (TLSegment* segment : segments) {
        if (IndexOf(segment) < 0)
            continue;
        try {
            segment->RequestProcessing();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

void TLSegmentSet::CancelAll()
{
    if (ProcessorControl* processor = m_composition->GetProcessor())
        processor->CancelAll();
}

void TLSegmentSet::SetEditTarget(TLSegment* segment)
{
    if (segment == m_editTarget)
        return;
    m_editTarget = segment;
    if (m_host)
        m_host->OnEditTargetChange(segment);
}

bool TLSegmentSet::RouteCommand(My::CommandEventBase& event)
{
    if (TLSegment* selected = GetSelected())
        if (selected->RouteCommand(event))
            return true;
    return m_commands.Dispatch(event);
}

void TLSegmentSet::BuildCommands()
{
    const auto open = [this] { return !m_composition->IsEmpty(); };
    m_commands.Add(
        kNewSegment,
        [this, open] {
            if (open())
                CreateSegment(m_composition->GetCurrentFrame());
        },
        [open](My::CommandUI& ui) { ui.Enable(open()); });
    const auto canNewFromActive = [this, open] {
        const TLSegment* selected = GetSelected();
        return open() && selected && selected->GetEngine()->has_mask(m_composition->GetCurrentFrame());
    };
    m_commands.Add(
        kNewFromActive,
        [this, canNewFromActive] {
            if (canNewFromActive())
                CreateSegment(m_composition->GetCurrentFrame(), GetSelected());
        },
        [canNewFromActive](My::CommandUI& ui) { ui.Enable(canNewFromActive()); });
    m_commands.Add(
        kDeleteActive, [this] { m_composition->GetSelection()->Delete(); },
        [this](My::CommandUI& ui) { ui.Enable(GetSelected() != nullptr); });
    m_commands.Add(
        kProcessAll, [this] { ProcessAll(); }, [this](My::CommandUI& ui) { ui.Enable(CanProcessAny()); });
    m_commands.Add(
        kCancelAll,
        [this, open] {
            if (open())
                CancelAll();
        },
        [this, open](My::CommandUI& ui) { ui.Enable(open() && m_composition->IsProcessing()); });
}
