#include "document/composition/TLComp.h"

#include "document/composition/Background.h"
#include "document/composition/CompositionHost.h"
#include "document/composition/CompositionMember.h"
#include "document/history/ChangeValueAction.h"
#include "document/processing/ProcessorControl.h"
#include "document/properties/FootagePage.h"
#include "document/properties/SpanProperty.h"
#include "document/segments/TLSegmentSet.h"
#include "foundation/system/exception.h"
#include "lumvex/footage/footage.h"
#include "platform/kernel/event.h"
#include "widgets/core/Message.h"
#include "widgets/core/Prompt.h"
#include "widgets/core/Strings.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::uint32_t kWorkArea = 51011;
constexpr std::uint32_t kCurrentFrame = 51012;
constexpr std::uint32_t kObjectFootage = 51013;
constexpr std::uint32_t kCreatingProject = 51054;
constexpr std::uint32_t kExport = 51056;
constexpr std::uint32_t kExportHelp = 51057;
constexpr std::uint32_t kFramerate = 51058;
constexpr std::uint32_t kFramerateHelp = 51059;
constexpr std::uint32_t kInaccuracy = 51060;
constexpr std::uint32_t kInaccuracyHelp = 51061;

constexpr std::uint32_t kImportBackground = 33128;
constexpr std::uint32_t kExportCrispMasks = 33204;
constexpr std::uint32_t kExportSmoothMasks = 33205;
constexpr std::uint32_t kRender = 33213;

// The composition's property table: typed properties bound to its getters
// and undoable setters.
struct CompProperties {
    My::SpanProperty workArea;
    My::Property<int> currentFrame;
    My::FootagePage footage;
    My::PropertyGroup exportGroup { My::LoadString(kExportHelp) };
    My::Property<fraction> framerate;
    My::Property<float> inaccuracy;
    My::PropertyTable table;

    CompProperties()
    {
        workArea.SetReadAccess(My::ReadAccessPtr<My::Span>(
            new My::GetObjectValueFunction<TLComp, My::Span>(&TLComp::GetWorkArea)));
        workArea.SetWriteAccess(My::WriteAccessPtr<My::Span>(new My::SetObjectValueFunction<TLComp, My::Span>(
            [](TLComp& comp, My::Span span) { comp.SetWorkArea(span.first, span.last); })));
        currentFrame.SetReadAccess(
            My::ReadAccessPtr<int>(new My::GetObjectValueFunction<TLComp, int>(&TLComp::GetCurrentFrame)));
        currentFrame.SetWriteAccess(
            My::WriteAccessPtr<int>(new My::SetObjectValueFunction<TLComp, int>(&TLComp::SetCurrentFrame)));
        footage.SetReadAccess(My::ReadAccessPtr<boost::shared_ptr<lumvex::footage>>(
            new My::GetObjectRefFunction<TLComp, boost::shared_ptr<lumvex::footage>>(&TLComp::GetFootage)));
        framerate.SetReadAccess(My::ReadAccessPtr<fraction>(
            new My::GetObjectValueFunction<TLComp, fraction>(&TLComp::GetExportFramerate)));
        framerate.SetWriteAccess(My::WriteAccessPtr<fraction>(
            new My::SetObjectValueFunction<TLComp, fraction>(&TLComp::SetExportFramerate)));
        framerate.SetDescription(My::ResourceString(kFramerateHelp));
        inaccuracy.SetReadAccess(My::ReadAccessPtr<float>(
            new My::GetObjectValueFunction<TLComp, float>(&TLComp::GetExportInaccuracy)));
        inaccuracy.SetWriteAccess(My::WriteAccessPtr<float>(
            new My::SetObjectValueFunction<TLComp, float>(&TLComp::SetExportInaccuracy)));
        inaccuracy.SetDescription(My::ResourceString(kInaccuracyHelp));

        exportGroup.Add(My::ResourceString(kFramerate), &framerate);
        exportGroup.Add(My::ResourceString(kInaccuracy), &inaccuracy);
        table.Add(My::ResourceString(kWorkArea), &workArea);
        table.Add(My::ResourceString(kCurrentFrame), &currentFrame);
        table.Add(My::ResourceString(kObjectFootage), &footage);
        table.Add(My::ResourceString(kExport), &exportGroup);
        table.SetBuilt();
    }

    My::PropertyBase* Find(std::uint32_t id)
    {
        switch (id) {
        case kWorkArea:
            return &workArea;
        case kCurrentFrame:
            return &currentFrame;
        case kFramerate:
            return &framerate;
        case kInaccuracy:
            return &inaccuracy;
        default:
            return nullptr;
        }
    }
};

CompProperties& Properties()
{
    static CompProperties properties;
    return properties;
}

bool SameRate(const fraction& a, const fraction& b)
{
    return static_cast<std::int64_t>(a.numerator) * static_cast<std::int64_t>(b.denominator)
        == static_cast<std::int64_t>(b.numerator) * static_cast<std::int64_t>(a.denominator);
}

// Field by field: a rate written the other way round (50/2 for 25/1) is a
// change the setter already refused to record.
struct SameFields {
    bool operator()(const fraction& a, const fraction& b) const
    {
        return a.numerator == b.numerator && a.denominator == b.denominator;
    }
};

bool IsValidRate(const fraction& rate)
{
    return rate.denominator != 0 && rate.numerator > 0;
}

} // namespace

TLComp::TLComp(CompositionHost* host, ProcessorControl* processor)
    : m_host(host)
    , m_processor(processor)
{
    auto segments = std::make_unique<TLSegmentSet>(this);
    m_segments = segments.get();
    AddMember(std::move(segments));
    auto background = std::make_unique<Background>(this);
    m_background = background.get();
    AddMember(std::move(background));
    BuildCommands();
}

TLComp::~TLComp()
{
    // Members and listeners may be told of the close; a failure there must
    // not escape a destructor.
    try {
        Close();
    } catch (...) {
    }
    // Segments kept by undo entries refer to the segment set: they go first.
    try {
        GetHistory().Clear();
    } catch (...) {
    }
    m_members.clear();
    My::GetMessageQueue().Discard(this);
}

bool TLComp::IsEmpty() const
{
    return m_empty;
}

int TLComp::GetFirstFrame() const
{
    return 0;
}

int TLComp::GetFrameCount() const
{
    return m_footage ? std::max(0, m_footage->frame_count()) : 0;
}

My::Span TLComp::GetWorkArea() const
{
    return m_workArea;
}

void TLComp::SetWorkArea(int first, int last)
{
    const int lo = GetFirstFrame();
    const int hi = lo + GetFrameCount();
    const My::Span span { std::clamp(first, lo, hi), std::clamp(last, lo, hi) };
    if (span == m_workArea || span.last - span.first <= 0)
        return;
    GetHistory().Perform(std::make_unique<My::ChangeValueAction<My::Span>>(
        "Change Work Area", [this] { return m_workArea; },
        [this](const My::Span& value) { StoreWorkArea(value); }, span));
}

void TLComp::StoreWorkArea(const My::Span& span)
{
    m_workArea = span;
    NotifyLabel(kWorkArea);
    My::Sequence::WorkAreaChange change(this);
    My::Sequence::Send(change);
}

int TLComp::GetCurrentFrame() const
{
    return m_currentFrame;
}

void TLComp::SetCurrentFrame(int frame)
{
    const int lo = GetFirstFrame();
    if (frame < lo || frame >= lo + GetFrameCount() || frame == m_currentFrame)
        return;
    m_currentFrame = frame;
    NotifyLabel(kCurrentFrame);
    SetPreviewFrame(frame);
    My::Sequence::CurrentFrameChange change(this);
    My::Sequence::Send(change);
}

int TLComp::GetPreviewFrame() const
{
    return m_previewFrame;
}

void TLComp::SetPreviewFrame(int frame)
{
    const int lo = GetFirstFrame();
    if (frame < lo || frame >= lo + GetFrameCount() || frame == m_previewFrame)
        return;
    m_previewFrame = frame;
    My::Sequence::PreviewFrameChange change(this);
    My::Sequence::Send(change);
}

types::extent<unsigned> TLComp::GetFrameSize() const
{
    return m_footage ? m_footage->frame_size() : types::extent<unsigned> { 0, 0 };
}

bool TLComp::IsProcessing() const
{
    return m_processor && !m_processor->GetIdleEvent().wait(0);
}

void TLComp::SetEmpty(bool empty)
{
    if (empty == m_empty)
        return;
    m_empty = empty;
    if (empty) {
        for (auto& member : m_members)
            member->OnOpenChange(false);
        My::Sequence::CloseEvent close(this);
        My::Sequence::Send(close);
    } else {
        My::Sequence::OpenEvent open(this);
        My::Sequence::Send(open);
        for (auto& member : m_members)
            member->OnOpenChange(true);
    }
}

void TLComp::SetFootagePointer(boost::shared_ptr<lumvex::footage> footage)
{
    m_footage = std::move(footage);
}

void TLComp::SetFootage(boost::shared_ptr<lumvex::footage> footage)
{
    m_footage = std::move(footage);
    if (!m_footage)
        return;
    m_storedWorkArea.reset();
    const int first = GetFirstFrame();
    m_workArea = { first, first + GetFrameCount() };
    m_currentFrame = first;
    m_previewFrame = first;
    fraction rate = m_footage->frame_rate();
    if (rate.denominator == 0)
        rate = m_footage->fields() != lumvex::deinterlace_fields::off ? fraction(50, 1) : fraction(25, 1);
    m_exportFramerate = ValidExportFramerate(rate);
    m_exportInaccuracy = 1.0f;
    SetEmpty(false);
    GetHistory().Touch();
}

void TLComp::CreateNew()
{
    My::PushOperation(My::LoadString(kCreatingProject));
    if (m_host)
        SetFootage(m_host->ChooseFootage(false));
    My::PopOperation();
}

bool TLComp::CanClose()
{
    if (m_runningJobs > 0) {
        My::MessageBox(
            "Please, wait until rendering and mask exporting are finished.", My::MB_ICONEXCLAMATION);
        return false;
    }
    if (IsProcessing()) {
        const int answer
            = My::MessageBox("Closing the project will cancel all current processing.\nClose anyway?",
                My::MB_OKCANCEL | My::MB_ICONEXCLAMATION);
        if (answer != My::IDOK)
            return false;
        m_processor->CancelAll();
        // The worker posts its last messages (the cancelled segments' done
        // calls) before it turns idle; they run here, while their targets
        // still exist.
        My::WaitRunningMessages(m_processor->GetIdleEvent());
    }
    return true;
}

void TLComp::Close()
{
    SetEmpty(true);
    m_footage.reset();
    m_storedWorkArea.reset();
    m_workArea = { 0, 0 };
    m_currentFrame = -1;
    m_previewFrame = -1;
    for (auto& member : m_members)
        member->Clear();
    My::Doc::Close();
}

My::PropertyTable& TLComp::GetProperties()
{
    return Properties().table;
}

std::string TLComp::GetTypeName() const
{
    return "Composition";
}

void TLComp::NotifyLabel(std::uint32_t id)
{
    if (My::PropertyBase* property = Properties().Find(id))
        NotifyChange(property);
}

fraction TLComp::ValidExportFramerate(fraction rate)
{
    return IsValidRate(rate) ? rate : fraction(50, 1);
}

void TLComp::SetExportFramerate(fraction rate)
{
    if (!IsValidRate(rate))
        throw xtd::exception("The frame rate must be a positive number of frames per second.");
    if (SameRate(rate, m_exportFramerate))
        return;
    GetHistory().Perform(std::make_unique<My::ChangeValueAction<fraction, SameFields>>(
        "Change Export Framerate", [this] { return m_exportFramerate; },
        [this](const fraction& value) { StoreExportFramerate(value); }, rate));
}

void TLComp::StoreExportFramerate(const fraction& rate)
{
    m_exportFramerate = rate;
    NotifyLabel(kFramerate);
}

void TLComp::SetExportInaccuracy(float value)
{
    if (value < 0.0f)
        value = 0.0f;
    if (value == m_exportInaccuracy)
        return;
    GetHistory().Perform(std::make_unique<My::ChangeValueAction<float>>(
        "Change Export Inaccuracy", [this] { return m_exportInaccuracy; },
        [this](const float& v) { StoreExportInaccuracy(v); }, value));
}

void TLComp::StoreExportInaccuracy(const float& value)
{
    m_exportInaccuracy = value;
    NotifyLabel(kInaccuracy);
}

void TLComp::JobStarted()
{
    ++m_runningJobs;
}

void TLComp::JobEnded()
{
    if (m_runningJobs > 0)
        --m_runningJobs;
}

void TLComp::AddMember(std::unique_ptr<CompositionMember> member)
{
    if (member)
        m_members.push_back(std::move(member));
}

bool TLComp::RouteCommand(My::CommandEventBase& event)
{
    for (auto& member : m_members)
        if (member->RouteCommand(event))
            return true;
    return m_commands.Dispatch(event);
}

void TLComp::BuildCommands()
{
    auto enabledWhenOpen = [this](My::CommandUI& ui) { ui.Enable(!IsEmpty()); };
    auto whenOpen = [this](auto action) {
        return [this, action] {
            if (!IsEmpty())
                action();
        };
    };
    m_commands.Add(kExportCrispMasks, whenOpen([this] {
        if (m_host)
            m_host->StartMaskExport(*this, false);
    }),
        enabledWhenOpen);
    m_commands.Add(kExportSmoothMasks, whenOpen([this] {
        if (m_host)
            m_host->StartMaskExport(*this, true);
    }),
        enabledWhenOpen);
    m_commands.Add(kRender, whenOpen([this] {
        if (m_host)
            m_host->StartRender(*this);
    }),
        enabledWhenOpen);
    m_commands.Add(kImportBackground, whenOpen([this] { LoadBackground(); }), enabledWhenOpen);
}

void TLComp::LoadBackground()
{
    if (!m_background->Load(GetFrameSize()))
        return;
    const auto& footage = m_background->GetFootage();
    if (footage && footage->frame_count() == 1) {
        m_background->SetStart(0);
        m_background->SetTrimming(0, GetFrameCount());
    }
}
