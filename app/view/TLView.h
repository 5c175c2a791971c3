#pragma once

// The composition view: the large video view of the main frame. It shows
// the composition's preview frame painted by display style on its own
// painter thread, carries the mask editor and its tools, follows segment
// processing, and keeps the display style and the "RAMPreview" setting.
//
// Embedding: construct it with the composition and the image cache, create
// its window as a child (CreateView), route the frame's commands to
// RouteCommand, and call OnSegmentProgress / OnSegmentProcessed from the
// segment host. UI thread only; the painter thread calls only the fetch.

#include "app/display/DisplayStyle.h"
#include "app/display/PaintingKey.h"
#include "app/view/AsyncPainter.h"
#include "app/view/FrameRateMeter.h"
#include "app/view/MaskEditor.h"
#include "app/view/PlayerImpl.h"
#include "app/view/SequenceView.h"
#include "widgets/core/EventDispatcher.h"

#include <functional>
#include <memory>
#include <string>

class TLComp;
class TLSegment;

namespace My {
class TimeControls;
}

namespace platform {
class registry_profile;
}

namespace lumvex {
class cache;
class cached_image;
} // namespace lumvex

inline constexpr UINT ID_RAM_PREVIEW = 33207;
inline constexpr UINT ID_DISPLAY_TYPE_FIRST = 33231;

class TLView : public My::SequenceView {
public:
    using Painter = My::AsyncPainter<PaintingKey, lumvex::cached_image>;

    // cache: where frames are looked up and, with RAMPreview, stored.
    // profile (may be null): "RAMPreview" of section "Display" is read now
    // and written back by the destructor.
    TLView(TLComp& composition, lumvex::cache& cache, platform::registry_profile* profile = nullptr);
    ~TLView() override;

    My::MaskEditor& GetMaskEditor() { return m_editor; }
    Painter& GetPainter() { return *m_painter; }

    // Sent to the style listeners after the display style changed.
    class StyleChange : public My::Event { };

    const DisplayStyle& GetDisplayStyle() const { return m_style; }
    void SetDisplayStyle(const DisplayStyle& style);
    // Listeners told of every display-style change, whoever made it.
    My::EventDispatcher& GetStyleDispatcher() { return m_styleDispatcher; }
    void SetDisplayType(int type);
    // The colour a user chose for the view's surroundings: the view's
    // background colour and the matte colour's red, green and blue (alpha
    // kept), through SetDisplayStyle, so that it lasts as the style does.
    void SetBackgroundColor(COLORREF color) override;
    bool GetRAMPreview() const { return m_ramPreview; }
    void SetRAMPreview(bool on) { m_ramPreview = on; }
    // Called with the frame-rate label's suffix at each delivery.
    void SetFrameRateLabel(std::function<void(const std::string&)> label) { m_fpsLabel = std::move(label); }
    // Called with the measured playback rate at each delivery (0 while not
    // playing): the time controls' SetMeasuredRate.
    void SetMeasuredRateSink(std::function<void(double)> sink) { m_measuredRate = std::move(sink); }
    // Called when the play rate changed: the time controls' RefreshRate.
    void SetRateChanged(std::function<void()> changed) { m_rateChanged = std::move(changed); }
    // Replaces the go-to-frame question (tests and scripted sessions).
    void SetGoToFrame(std::function<void()> ask) { m_goToFrame = std::move(ask); }

    // The player: its timer steps the preview frame while playing; it
    // carries the Time menu's commands.
    My::PlayerImpl& GetPlayer() { return m_player; }
    // Binds the time controls (not owned, may be null to unbind) to the
    // player: its rate field, its buttons' states and the measured rate.
    // Bound controls are unbound by the destructor; controls destroyed
    // before the view must be unbound first.
    void BindTimeControls(My::TimeControls* controls);

    // The painting key of a frame under the current state (empty while the
    // composition has no footage).
    boost::shared_ptr<PaintingKey> MakePaintingKey(int frame) const;

    void RequestPaint() override;
    void ClearImage() override;
    void SetPlayerMode(int mode) override;

    // Segment processing, from the segment host.
    void OnSegmentProgress(TLSegment& segment, int frame);
    void OnSegmentProcessed(TLSegment& segment);
    // The segment forgotten when deleted or when the project closes.
    void ForgetSegment(const TLSegment* segment);
    TLSegment* GetProgressSegment() const { return m_progressSegment; }

    bool RouteCommand(My::CommandEventBase& event) override;
    void OnEvent(My::Event& event) override;

protected:
    void DrawImage(CDC& dc, const CRect& dest, const CRect& source) override;

private:
    void Delivered();
    void OverlayChanged();
    // The sequence view's copy of the player's mode (and the painter's
    // reading hint) follow the player.
    void SyncPlayerMode();
    // Hands the frame-rate suffix and the measured rate to their sinks.
    void ShowRate(const std::string& suffix, double rate);
    void AskGoToFrame();
    // Editing follows the selection: a segment that is no longer selected
    // (deactivated, another one chosen) stops being edited.
    void EndEditOfUnselected();

    TLComp& m_comp;
    lumvex::cache& m_cache;
    platform::registry_profile* m_profile;
    DisplayStyle m_style;
    My::EventDispatcher m_styleDispatcher;
    std::atomic<bool> m_ramPreview { false };
    // The style the edited mask was last drawn with.
    DisplayStyle m_overlay;
    TLSegment* m_progressSegment = nullptr;
    My::MaskEditor m_editor;
    My::FrameRateMeter m_fps;
    std::function<void(const std::string&)> m_fpsLabel;
    std::function<void(double)> m_measuredRate;
    std::function<void()> m_rateChanged;
    std::function<void()> m_goToFrame;
    My::PlayerImpl m_player;
    My::TimeControls* m_timeControls = nullptr;
    My::CommandMap m_viewCommands;
    std::unique_ptr<Painter> m_painter;
};
