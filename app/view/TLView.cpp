#include "app/view/TLView.h"

#include "app/display/DisplayStyleProfile.h"
#include "app/display/FramePainting.h"
#include "app/display/PaintingSource.h"
#include "app/player/GoToFrameDlg.h"
#include "app/player/TimeControls.h"
#include "document/Doc.h"
#include "document/composition/Background.h"
#include "document/composition/Layer.h"
#include "document/composition/TLComp.h"
#include "document/segments/SegmentSet.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"
#include "foundation/image/image_draw.h"
#include "lumvex/cache/cache.h"
#include "platform/registry/profile.h"

#include <algorithm>
#include <cstdint>

namespace {

img::BGRA<unsigned char> ToPixel(COLORREF c, unsigned char alpha)
{
    return { static_cast<unsigned char>((c >> 16) & 0xFF), static_cast<unsigned char>((c >> 8) & 0xFF),
        static_cast<unsigned char>(c & 0xFF), alpha };
}

COLORREF ToColor(img::BGRA<unsigned char> p)
{
    return RGB(p.r, p.g, p.b);
}

bool OverlayEqual(const DisplayStyle& a, const DisplayStyle& b)
{
    return (a.type == DisplayType::MaskOnly) == (b.type == DisplayType::MaskOnly) && a.inverse == b.inverse
        && a.matte.r == b.matte.r && a.matte.g == b.matte.g && a.matte.b == b.matte.b
        && a.matte.a == b.matte.a;
}

} // namespace

TLView::TLView(TLComp& composition, lumvex::cache& cache, platform::registry_profile* profile)
    : m_comp(composition)
    , m_cache(cache)
    , m_profile(profile)
    , m_editor(*this)
    , m_player(profile)
{
    m_style = m_profile ? LoadDisplayStyle(*m_profile) : DefaultDisplayStyle();
    if (m_profile)
        m_ramPreview = m_profile->get_int("Display", "RAMPreview", 0) != 0;
    m_painter = std::make_unique<Painter>(
        [this](const Painter::KeyPtr& key, int request) {
            return PaintingKey::Fetch(m_cache, key, request, m_ramPreview.load());
        },
        &PaintingKey::Unreadable, [](const PaintingKey& a, const PaintingKey& b) { return a.equals(b); },
        [this] { Delivered(); });
    SetSequence(&m_comp);
    m_player.SetSequence(&m_comp);
    My::PlayerImpl::Hooks hooks;
    hooks.busy = [this] { return m_painter && m_painter->IsBusy(); };
    hooks.following = [this](bool) { RequestPaint(); };
    hooks.goToFrame = [this] { AskGoToFrame(); };
    hooks.rateChanged = [this] {
        if (m_rateChanged)
            m_rateChanged();
    };
    hooks.stepped = [this] { SyncPlayerMode(); };
    m_player.SetHooks(std::move(hooks));
    m_player.AddListener(this);
    // Space's play toggle goes to the player through the view's commands.
    SetFrameCommandSink([this](UINT id) {
        My::CommandEvent command(id);
        RouteCommand(command);
    });
    if (!m_comp.IsEmpty()) {
        const auto size = m_comp.GetFrameSize();
        SetImageSize(static_cast<int>(size.width), static_cast<int>(size.height));
    }
    SequenceView::SetBackgroundColor(m_comp.IsEmpty() ? My::WorkspaceColor() : ToColor(m_style.matte));
    m_comp.GetSegmentSet().AddListener(this);
    m_comp.GetSegmentSet().GetSegmentEvents().AddListener(this);
    m_editor.AddListener(this);
    m_comp.GetBackground().AddListener(this);
    m_viewCommands.Add(
        ID_RAM_PREVIEW, [this] { m_ramPreview = !m_ramPreview; },
        [this](My::CommandUI& ui) {
            ui.Enable(true);
            ui.SetCheck(m_ramPreview ? 1 : 0);
        });
    m_viewCommands.AddRange(
        ID_DISPLAY_TYPE_FIRST, ID_DISPLAY_TYPE_FIRST + 5,
        [this](std::uint32_t id) {
            // 33231, then 33233 to 33236.
            const int type
                = id == ID_DISPLAY_TYPE_FIRST ? 0 : static_cast<int>(id - ID_DISPLAY_TYPE_FIRST - 1);
            if (id != ID_DISPLAY_TYPE_FIRST + 1)
                SetDisplayType(type);
        },
        [](std::uint32_t, My::CommandUI& ui) { ui.Enable(true); });
}

TLView::~TLView()
{
    BindTimeControls(nullptr);
    m_player.RemoveListener(this);
    m_player.SetHooks({});
    m_player.SetPlayMode(My::Player::Stopped);
    // The painter first: no fetch may run on a view being taken down.
    m_painter.reset();
    if (m_profile) {
        SaveDisplayStyle(*m_profile, m_style);
        m_profile->write_int("Display", "RAMPreview", m_ramPreview ? 1 : 0);
    }
    m_comp.GetBackground().RemoveListener(this);
    m_editor.RemoveListener(this);
    m_comp.GetSegmentSet().GetSegmentEvents().RemoveListener(this);
    m_comp.GetSegmentSet().RemoveListener(this);
    SetSequence(nullptr);
}

boost::shared_ptr<PaintingKey> TLView::MakePaintingKey(int frame) const
{
    PaintingSource source;
    source.composition = &m_comp;
    source.style = m_style;
    source.editingMask = m_editor.IsEditing();
    source.following = GetPlayerMode() == 3;
    source.progressSegment = m_progressSegment;
    return ::MakePaintingKey(source, frame);
}

void TLView::SetDisplayStyle(const DisplayStyle& style)
{
    const bool sameMatte = style.matte.r == m_style.matte.r && style.matte.g == m_style.matte.g
        && style.matte.b == m_style.matte.b && style.matte.a == m_style.matte.a;
    if (style == m_style && sameMatte)
        return;
    m_style = style;
    if (!sameMatte && !m_comp.IsEmpty())
        SequenceView::SetBackgroundColor(ToColor(m_style.matte));
    RequestPaint();
    if (m_editor.IsEditing())
        InvalidateImage();
    StyleChange change;
    m_styleDispatcher.Send(change);
}

void TLView::SetDisplayType(int type)
{
    if (type < 0 || type > 4)
        return;
    DisplayStyle s = m_style;
    s.type = static_cast<DisplayType>(type);
    SetDisplayStyle(s);
}

void TLView::SetBackgroundColor(COLORREF color)
{
    DisplayStyle s = m_style;
    s.matte = ToPixel(color, m_style.matte.a);
    SetDisplayStyle(s);
}

void TLView::OverlayChanged()
{
    if (m_editor.IsEditing() && !OverlayEqual(m_overlay, m_style)) {
        m_overlay = m_style;
        InvalidateImage();
    }
}

void TLView::RequestPaint()
{
    if (m_comp.IsEmpty())
        return;
    OverlayChanged();
    const auto outcome = m_painter->Request(MakePaintingKey(m_comp.GetPreviewFrame()));
    if (outcome == Painter::Outcome::Cleared)
        InvalidateImage();
}

void TLView::ClearImage()
{
    m_painter->Clear();
}

void TLView::SetPlayerMode(int mode)
{
    m_player.SetPlayMode(mode);
    SyncPlayerMode();
}

void TLView::SyncPlayerMode()
{
    const int mode = m_player.GetPlayMode();
    if (mode == GetPlayerMode())
        return;
    SequenceView::SetPlayerMode(mode);
    m_painter->SetRequestHint(mode == 1 ? 2 : mode == 2 ? 1 : 0);
    // Stopping shows no rate at once, even when the frame shown needs no new
    // painting (and so brings no delivery that would reset it).
    if (!m_player.IsPlaying())
        ShowRate(m_fps.Reset(), 0.0);
}

void TLView::ShowRate(const std::string& suffix, double rate)
{
    if (m_fpsLabel)
        m_fpsLabel(suffix);
    if (m_measuredRate)
        m_measuredRate(rate);
}

void TLView::BindTimeControls(My::TimeControls* controls)
{
    if (m_timeControls && m_timeControls != controls)
        m_timeControls->SetPlayer(nullptr);
    m_timeControls = controls;
    if (!controls) {
        SetMeasuredRateSink({});
        SetRateChanged({});
        return;
    }
    controls->SetPlayer(&m_player);
    SetMeasuredRateSink([controls](double rate) { controls->SetMeasuredRate(rate); });
    SetRateChanged([controls] { controls->RefreshRate(); });
}

void TLView::AskGoToFrame()
{
    if (m_goToFrame) {
        m_goToFrame();
        return;
    }
    if (m_comp.IsEmpty())
        return;
    CWnd* parent = GetSafeHwnd() ? this : nullptr;
    while (parent && parent->GetParent())
        parent = parent->GetParent();
    My::RunGoToFrame(m_comp, parent);
}

void TLView::Delivered()
{
    InvalidateImage();
    const bool playing = m_player.IsPlaying();
    const std::string suffix = playing ? m_fps.Deliver() : m_fps.Reset();
    ShowRate(suffix, playing ? m_fps.GetRate() : 0.0);
    // A tick skipped while this frame was painted runs now.
    m_player.Delivered();
}

void TLView::OnSegmentProgress(TLSegment& segment, int frame)
{
    // Auto follow acts when processing is requested, never here: a user who
    // paused while the segment is processed stays paused.
    m_progressSegment = &segment;
    if (GetPlayerMode() == 3 && !m_painter->IsBusy())
        m_comp.SetPreviewFrame(frame);
    else
        RequestPaint();
}

void TLView::OnSegmentProcessed(TLSegment& segment)
{
    // Completion in any mode forgets the segment: nothing may point at it
    // once it is deleted.
    if (&segment == m_progressSegment || !m_comp.IsProcessing())
        m_progressSegment = nullptr;
    if (!m_comp.IsProcessing() && GetPlayerMode() == 3)
        SetPlayerMode(0);
    RequestPaint();
}

void TLView::EndEditOfUnselected()
{
    TLSegmentSet& set = m_comp.GetSegmentSet();
    TLSegment* edited = set.GetEditTarget();
    if (!edited || edited == set.GetSelected())
        return;
    // The segment's own end tells the editor, which commits a stroke under
    // way before it lets go.
    edited->EndEditing();
    if (m_editor.GetTarget() == edited)
        m_editor.EndEdit();
}

void TLView::ForgetSegment(const TLSegment* segment)
{
    if (!segment || segment == m_progressSegment)
        m_progressSegment = nullptr;
}

bool TLView::RouteCommand(My::CommandEventBase& event)
{
    if (m_editor.RouteCommand(event))
        return true;
    if (m_viewCommands.Dispatch(event))
        return true;
    if (m_player.RouteCommand(event))
        return true;
    return SequenceView::RouteCommand(event);
}

void TLView::OnEvent(My::Event& event)
{
    if (dynamic_cast<My::Player::PlaymodeChange*>(&event)) {
        SyncPlayerMode();
        return;
    }
    if (dynamic_cast<My::MaskEditor::StateChange*>(&event)
        || dynamic_cast<My::MaskEditor::MaskChange*>(&event) || dynamic_cast<My::Layer::Event*>(&event)) {
        RequestPaint();
        InvalidateImage();
        return;
    }
    if (dynamic_cast<My::Doc::SelectionChange*>(&event))
        EndEditOfUnselected();
    // An edit of the footage's properties (its field order) comes as a
    // history entry: the frames it changed get new keys.
    if (dynamic_cast<My::Doc::ActionsChange*>(&event)) {
        RequestPaint();
        return;
    }
    if (dynamic_cast<My::Segment::Event*>(&event) || dynamic_cast<My::SegmentSet::Change*>(&event)
        || dynamic_cast<My::Doc::SelectionChange*>(&event)) {
        if (dynamic_cast<My::SegmentSet::Change*>(&event) && m_progressSegment) {
            // A deleted segment is forgotten.
            const TLSegmentSet& set = m_comp.GetSegmentSet();
            bool present = false;
            for (int i = 0; i < set.GetCount() && !present; ++i)
                present = set.GetAt(i) == m_progressSegment;
            if (!present)
                m_progressSegment = nullptr;
        }
        RequestPaint();
        return;
    }
    if (dynamic_cast<My::Sequence::CloseEvent*>(&event)) {
        m_progressSegment = nullptr;
        m_editor.EndEdit();
    }
    SequenceView::OnEvent(event);
    if (dynamic_cast<My::Sequence::OpenEvent*>(&event) || dynamic_cast<My::Sequence::CloseEvent*>(&event))
        SequenceView::SetBackgroundColor(m_comp.IsEmpty() ? My::WorkspaceColor() : ToColor(m_style.matte));
}

void TLView::DrawImage(CDC& dc, const CRect& dest, const CRect& source)
{
    bool first = false;
    const Painter::Buffer& buffer = m_painter->Take(&first);
    // Without a delivered frame: the background colour, never stale pixels.
    if (!buffer.image || buffer.image->image.width == 0) {
        dc.FillSolidRect(dest, GetBackgroundColor());
        return;
    }
    const img::image<img::BGRA<unsigned char>>& frame = buffer.image->image;
    if (!m_editor.IsEditing()) {
        // A picture that does not cover the source rectangle shows the
        // background around it, never what was drawn there before.
        CRect covered;
        covered.IntersectRect(source, CRect(0, 0, int(frame.width), int(frame.height)));
        if (covered == source) {
            img::draw_to_dc(dc, dest.left, dest.top, dest.Width(), dest.Height(), source.left, source.top,
                source.Width(), source.Height(), frame, SRCCOPY);
            return;
        }
        dc.FillSolidRect(dest, GetBackgroundColor());
        if (covered.IsRectEmpty())
            return;
        const auto along = [](int at, int from, int to_from, int to_length, int length) {
            return to_from + int(std::int64_t(at - from) * to_length / length);
        };
        const CRect part(along(covered.left, source.left, dest.left, dest.Width(), source.Width()),
            along(covered.top, source.top, dest.top, dest.Height(), source.Height()),
            along(covered.right, source.left, dest.left, dest.Width(), source.Width()),
            along(covered.bottom, source.top, dest.top, dest.Height(), source.Height()));
        img::draw_to_dc(dc, part.left, part.top, part.Width(), part.Height(), covered.left, covered.top,
            covered.Width(), covered.Height(), frame, SRCCOPY);
        return;
    }
    // The edited mask over the frame, crisp, for the source rectangle only.
    m_overlay = m_style;
    const img::image<img::bit>& mask = m_editor.GetMask();
    const int w = source.Width();
    const int h = source.Height();
    img::image<img::BGRA<unsigned char>> out(static_cast<unsigned>(w), static_cast<unsigned>(h), 4);
    const bool maskOnly = m_style.type == DisplayType::MaskOnly;
    const img::BGRA<unsigned char> matte = m_style.matte;
    for (int y = 0; y < h; ++y) {
        const unsigned sy = static_cast<unsigned>(source.top + y);
        img::BGRA<unsigned char>* row = out.row(static_cast<unsigned>(y));
        const unsigned char* bits = sy < mask.height ? mask.row(sy) : nullptr;
        const img::BGRA<unsigned char>* in = sy < frame.height ? frame.row(sy) : nullptr;
        for (int x = 0; x < w; ++x) {
            const unsigned sx = static_cast<unsigned>(source.left + x);
            bool set = bits && sx < mask.width && (bits[sx >> 3] & (0x80u >> (sx & 7)));
            if (m_style.inverse)
                set = !set;
            const unsigned n = set ? 255u : 0u;
            if (maskOnly) {
                const auto v = static_cast<unsigned char>(n);
                row[x] = { v, v, v, static_cast<unsigned char>(255 - n) };
                continue;
            }
            const img::BGRA<unsigned char> f = in && sx < frame.width ? in[sx] : img::BGRA<unsigned char> {};
            const unsigned a = matte.a * n / 255;
            const auto mix = [a](unsigned fg, unsigned m) {
                return static_cast<unsigned char>(((255 - a) * fg + a * m) / 255);
            };
            row[x] = { mix(f.b, matte.b), mix(f.g, matte.g), mix(f.r, matte.r),
                static_cast<unsigned char>(255 - a) };
        }
    }
    img::draw_to_dc(dc, dest.left, dest.top, dest.Width(), dest.Height(), 0, 0, w, h, out, SRCCOPY);
}
