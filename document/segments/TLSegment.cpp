#include "document/segments/TLSegment.h"

#include "document/composition/TLComp.h"
#include "document/history/ChangeValueAction.h"
#include "document/processing/ProcessorControl.h"
#include "document/properties/MaskModeProperty.h"
#include "document/properties/ParamPage.h"
#include "document/properties/SpanProperty.h"
#include "document/segments/SegmentData.h"
#include "document/segments/SegmentDataAction.h"
#include "document/segments/SegmentHost.h"
#include "document/segments/TLSegmentSet.h"
#include "foundation/system/exception.h"
#include "platform/kernel/wait.h"
#include "widgets/core/Message.h"
#include "widgets/core/Prompt.h"
#include "widgets/core/Strings.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>

namespace {

constexpr std::uint32_t kDisplayMask = 50996;
constexpr std::uint32_t kDisplayMaskHelp = 50997;
constexpr std::uint32_t kTrackingBounds = 51014;
constexpr std::uint32_t kTrackingBoundsHelp = 51064;
constexpr std::uint32_t kParameters = 51015;

constexpr std::uint32_t kImportKeyMask = 32804;
constexpr std::uint32_t kExportKeyMask = 32832;
constexpr std::uint32_t kTrim = 33125;
constexpr std::uint32_t kResetParameters = 33227;

// The segment's property table: typed properties bound to its getters and
// undoable setters; the parameters are shown field by field by their page.
struct SegmentProperties {
    My::MaskModeProperty maskMode;
    My::SpanProperty timeSpan;
    My::ParamPage params;
    My::PropertyTable table;

    SegmentProperties()
    {
        maskMode.SetReadAccess(My::ReadAccessPtr<MaskMode>(
            new My::GetObjectValueFunction<TLSegment, MaskMode>(&TLSegment::GetMaskMode)));
        maskMode.SetWriteAccess(
            My::WriteAccessPtr<MaskMode>(new My::SetObjectValueFunction<TLSegment, MaskMode>(
                [](TLSegment& segment, MaskMode mode) { segment.SetMaskMode(mode.mode, mode.inverted); })));
        maskMode.SetDescription(My::ResourceString(kDisplayMaskHelp));
        timeSpan.SetReadAccess(My::ReadAccessPtr<My::Span>(
            new My::GetObjectValueFunction<TLSegment, My::Span>(&TLSegment::GetTimeSpan)));
        timeSpan.SetWriteAccess(
            My::WriteAccessPtr<My::Span>(new My::SetObjectValueFunction<TLSegment, My::Span>(
                [](TLSegment& segment, My::Span span) { segment.SetTimeSpan(span.first, span.last); })));
        timeSpan.SetDescription(My::ResourceString(kTrackingBoundsHelp));
        params.SetReadAccess(My::ReadAccessPtr<trm::param>(
            new My::GetObjectRefFunction<TLSegment, trm::param>(&TLSegment::GetParams)));
        params.SetWriteAccess(My::WriteAccessPtr<trm::param>(
            new My::SetObjectRefFunction<TLSegment, trm::param>(&TLSegment::SetParams)));

        table.Add(My::ResourceString(kDisplayMask), &maskMode);
        table.Add(My::ResourceString(kTrackingBounds), &timeSpan);
        table.Add(My::ResourceString(kParameters), &params);
        table.SetBuilt();
    }
};

SegmentProperties& Properties()
{
    static SegmentProperties properties;
    return properties;
}

struct SameMode {
    bool operator()(const MaskMode& a, const MaskMode& b) const { return a == b; }
};

std::string SizeText(unsigned width, unsigned height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

} // namespace

TLSegment::TLSegment(TLSegmentSet* set, int frame)
    : m_set(set)
{
    Init(frame);
    const types::extent<unsigned> size = GetComposition().GetFrameSize();
    img::image<img::bit> clear(size.width, size.height, 4);
    clear.fill(false);
    m_engine->set_keymask(clear);
    SetDataSpan(m_keyFrame, m_keyFrame);
    ReloadMaskIfEdited();
}

TLSegment::TLSegment(TLSegmentSet* set, const TLSegment& source, int frame)
    : m_set(set)
{
    Init(frame);
    const types::extent<unsigned> size = GetComposition().GetFrameSize();
    img::image<img::bit> key(size.width, size.height, 4);
    key.fill(false);
    const auto record = source.GetEngine()->frame_data(frame);
    if (record && record->bit_mask.data && record->bit_mask.width == size.width
        && record->bit_mask.height == size.height)
        key = record->bit_mask;
    m_engine->set_keymask(key);
    m_engine->set_param(source.GetParams());
    const My::Span span = source.GetTimeSpan();
    if (span.first <= frame && frame < span.last)
        m_timeSpan = span;
    SetDataSpan(m_keyFrame, m_keyFrame);
}

void TLSegment::Init(int frame)
{
    m_keyFrame = frame;
    m_timeSpan = { frame, frame + 1 };
    m_dataSpan = { frame, frame };
    m_engine = boost::shared_ptr<SegmentData>(
        new SegmentData(this, GetComposition().GetProcessor(), frame, GetComposition().GetFootage()));
    AddListener(m_set);
    BuildCommands();
}

TLSegment::~TLSegment()
{
    try {
        EndEditing();
    } catch (...) {
    }
    My::GetMessageQueue().Discard(this);
}

TLComp& TLSegment::GetComposition() const
{
    return m_set->GetComposition();
}

void TLSegment::SetTimeSpan(int first, int last)
{
    // Frames past the footage cannot be calculated: the bounds are kept to
    // its frames, as the timeline's drag and the project's loading keep them.
    const int count = GetComposition().GetFrameCount();
    const My::Span span { std::clamp(first, 0, count), std::clamp(last, 0, count) };
    if (!(span.first < span.last) || m_keyFrame < span.first || m_keyFrame >= span.last)
        throw xtd::exception("The tracking bounds " + std::to_string(first) + " to " + std::to_string(last)
            + " must contain the key frame " + std::to_string(m_keyFrame) + " and end after they start.");
    if (span == m_timeSpan)
        return;
    GetComposition().GetHistory().Perform(std::make_unique<My::ChangeValueAction<My::Span>>(
        "Adjust Segment", [this] { return m_timeSpan; }, [this](const My::Span& v) { StoreTimeSpan(v); },
        span));
}

void TLSegment::StoreTimeSpan(const My::Span& span)
{
    if (span == m_timeSpan)
        return;
    m_timeSpan = span;
    NotifyChange(&Properties().timeSpan);
    My::Segment::TimeSpanChange change(this);
    My::Segment::Send(change);
}

void TLSegment::SetDataSpan(int first, int last)
{
    const My::Span span { first, last };
    if (span == m_dataSpan)
        return;
    m_dataSpan = span;
    My::Segment::DataSpanChange change(this);
    My::Segment::Send(change);
}

void TLSegment::SetMaskMode(int mode, bool inverted)
{
    const MaskMode value { std::clamp(mode, 0, static_cast<int>(MaskMode::Substitute)), inverted };
    if (value == m_maskMode)
        return;
    GetComposition().GetHistory().Perform(std::make_unique<My::ChangeValueAction<MaskMode, SameMode>>(
        "Change Mask Mode of Segment", [this] { return m_maskMode; },
        [this](const MaskMode& v) { StoreMaskMode(v); }, value));
}

void TLSegment::StoreMaskMode(const MaskMode& mode)
{
    if (mode == m_maskMode)
        return;
    m_maskMode = mode;
    NotifyChange(&Properties().maskMode);
    MaskModeChange change(this);
    My::Segment::Send(change);
}

const trm::param& TLSegment::GetParams() const
{
    return m_engine->param();
}

void TLSegment::SetParams(const trm::param& params)
{
    GetComposition().GetHistory().Perform(std::make_unique<SegmentParamsAction>(*this, params));
}

void TLSegment::TrimData()
{
    GetComposition().GetHistory().Perform(std::make_unique<SegmentTrimAction>(*this));
}

const img::image<img::bit>& TLSegment::GetMask() const
{
    return m_engine->keymask();
}

void TLSegment::SetMask(const img::image<img::bit>& mask, const std::string& name)
{
    const types::extent<unsigned> size = GetComposition().GetFrameSize();
    if (mask.width != size.width || mask.height != size.height)
        throw xtd::exception("The key mask is " + SizeText(mask.width, mask.height)
            + " pixels, but the composition's frames are " + SizeText(size.width, size.height) + ".");
    GetComposition().GetHistory().Perform(std::make_unique<SegmentMaskAction>(*this, mask, name));
}

bool TLSegment::HasUsableKeyMask() const
{
    const img::image<img::bit>& key = m_engine->keymask();
    if (!key.data)
        return false;
    const std::uint64_t set = key.count();
    return set > 0 && set < std::uint64_t(key.width) * key.height;
}

bool TLSegment::CanProcess() const
{
    const bool covered = m_timeSpan.first >= m_dataSpan.first && m_timeSpan.last <= m_dataSpan.last;
    return HasUsableKeyMask() && !covered && !m_processing;
}

bool TLSegment::RequestProcessing()
{
    ProcessorControl* processor = GetComposition().GetProcessor();
    if (!processor || !CanProcess())
        return false;
    m_processing = true;
    try {
        const My::Span table = m_engine->range();
        m_engine->set_range(
            { std::min(table.first, m_timeSpan.first), std::max(table.last, m_timeSpan.last) });
        SendStateChange();
        EndEditing();
        processor->Enqueue(*this);
    } catch (...) {
        // Not queued, so no done call would ever clear the flag: a segment
        // left marked would block editing and every wait for it.
        m_processing = false;
        try {
            SendStateChange();
        } catch (...) {
        }
        throw;
    }
    if (SegmentHost* host = m_set->GetHost())
        host->OnProcessingRequested(*this);
    return true;
}

void TLSegment::StopProcessing(bool wait)
{
    if (!m_processing)
        return;
    // The wait goes on whatever the messages run meanwhile throw: it ends
    // only when the segment is idle, so that the callers may let go of it;
    // the first failure passes on afterwards.
    std::exception_ptr failure;
    const auto keep = [&failure] {
        if (!failure)
            failure = std::current_exception();
    };
    if (ProcessorControl* processor = GetComposition().GetProcessor()) {
        try {
            processor->Remove(*this);
        } catch (...) {
            keep();
        }
    }
    if (wait && m_processing) {
        SegmentHost* host = m_set->GetHost();
        bool shown = false;
        if (host) {
            try {
                host->ShowCancelling(true);
                shown = true;
            } catch (...) {
                keep();
            }
        }
        // The worker posts the completion call when the calculation stops;
        // the messages before it (progress) run first, in order.
        My::MessageQueue& queue = My::GetMessageQueue();
        while (m_processing) {
            try {
                queue.RunPending();
                if (!m_processing)
                    break;
                if (host)
                    host->WaitDispatching(queue.GetPostedEvent());
                else
                    queue.GetPostedEvent().wait();
            } catch (...) {
                keep();
            }
        }
        if (shown) {
            try {
                host->ShowCancelling(false);
            } catch (...) {
                keep();
            }
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

void TLSegment::OnProcessingProgress(My::Span span, int frame)
{
    GetComposition().GetHistory().Touch();
    if (SegmentHost* host = m_set->GetHost())
        host->OnSegmentProgress(*this, frame);
    SetDataSpan(span.first, span.last);
}

void TLSegment::OnProcessingDone()
{
    m_processing = false;
    const My::Span range = m_engine->ComputedRange();
    SetDataSpan(range.first, range.last);
    SendStateChange();
    if (SegmentHost* host = m_set->GetHost())
        host->OnSegmentProcessed(*this);
}

bool TLSegment::IsBeingEdited() const
{
    return m_set->GetEditTarget() == this;
}

void TLSegment::BeginEditing()
{
    if (m_processing || IsBeingEdited())
        return;
    TLSegment* previous = m_set->GetEditTarget();
    m_set->SetEditTarget(this);
    SendStateChange();
    if (previous)
        previous->SendStateChange();
}

void TLSegment::EndEditing()
{
    if (!IsBeingEdited())
        return;
    m_set->SetEditTarget(nullptr);
    SendStateChange();
}

void TLSegment::Detach()
{
    // Editing ends also when the wait reports a failure: the segment is
    // idle then, and the caller may let go of it.
    std::exception_ptr failure;
    try {
        StopProcessing(true);
    } catch (...) {
        failure = std::current_exception();
    }
    EndEditing();
    if (failure)
        std::rethrow_exception(failure);
}

void TLSegment::SendStateChange()
{
    My::Segment::StateChange change(this);
    My::Segment::Send(change);
}

void TLSegment::InstallEngine(const boost::shared_ptr<SegmentData>& engine)
{
    const bool paramsChanged = !(engine->param() == m_engine->param());
    m_engine = engine;
    const My::Span range = m_engine->ComputedRange();
    SetDataSpan(range.first, range.last);
    if (paramsChanged)
        NotifyParamsChange();
    if (IsBeingEdited()) {
        if (SegmentHost* host = m_set->GetHost()) {
            host->RefreshSegment(*this);
            host->ReloadMask(*this);
        }
    }
}

void TLSegment::NotifyParamsChange()
{
    ParamsChange change(this);
    My::Segment::Send(change);
    NotifyChange(&Properties().params);
}

void TLSegment::ReloadMaskIfEdited()
{
    if (IsBeingEdited())
        if (SegmentHost* host = m_set->GetHost())
            host->ReloadMask(*this);
}

MaskLayer TLSegment::GetMaskLayer(int frame) const
{
    return { m_engine->frame_data(frame), m_maskMode };
}

My::PropertyTable& TLSegment::GetProperties()
{
    return Properties().table;
}

std::string TLSegment::GetTypeName() const
{
    return "Segment";
}

bool TLSegment::RouteCommand(My::CommandEventBase& event)
{
    return m_commands.Dispatch(event);
}

void TLSegment::BuildCommands()
{
    m_commands.Add(
        kImportKeyMask, [this] { ImportKeyMask(); }, [this](My::CommandUI& ui) { ui.Enable(!m_processing); });
    m_commands.Add(
        kExportKeyMask, [this] { ExportKeyMask(); },
        [this](My::CommandUI& ui) { ui.Enable(HasUsableKeyMask()); });
    const auto canTrim = [this] {
        return !m_processing && (m_dataSpan.first < m_timeSpan.first || m_dataSpan.last > m_timeSpan.last);
    };
    m_commands.Add(
        kTrim,
        [this, canTrim] {
            if (canTrim())
                TrimData();
        },
        [canTrim](My::CommandUI& ui) { ui.Enable(canTrim()); });
    m_commands.Add(
        kResetParameters, [this] { SetParams(trm::param()); },
        [this](My::CommandUI& ui) { ui.Enable(!(GetParams() == trm::param())); });
}
