#pragma once

// The video view's window: it shows the frames of a My::Sequence at a zoom
// factor, scrolled or centred (ViewGeometry), routes its input to the
// effective tool (the temporary pan or zoom tool while Ctrl or Space is
// held, else the current tool), paints through an off-screen buffer and
// draws the tools' overlays after the picture. The picture itself comes from
// DrawImage, which the painting layers above override. UI thread only.
//
// The player that plays and follows frames belongs to the time controls;
// the view keeps only its mode (0 stopped, 1 forward, 2 backward, 3 follow
// processing), the seam the player will drive.

#include "app/view/PanTool.h"
#include "app/view/ViewGeometry.h"
#include "app/view/ZoomTool.h"
#include "platform/gui/dc.h"
#include "platform/gui/wnd.h"
#include "widgets/core/CommandMap.h"
#include "widgets/core/Event.h"
#include "widgets/core/EventDispatcher.h"

#include <functional>

namespace My {

class Sequence;
class Tool;

inline constexpr UINT ID_TOOL_HAND = 60001;
inline constexpr UINT ID_TOOL_ZOOM = 60002;
inline constexpr UINT ID_ZOOM_IN = 65000;
inline constexpr UINT ID_ZOOM_OUT = 65001;
inline constexpr UINT ID_FIT_ON_SCREEN = 65002;
inline constexpr UINT ID_ACTUAL_PIXELS = 65003;
inline constexpr UINT ID_PLAY_TOGGLE = 50030;

// The colour of an empty view (no sequence open).
COLORREF WorkspaceColor();

class SequenceView : public CWnd, public CommandTarget, public EventListener {
public:
    SequenceView();
    ~SequenceView() override;

    // Creates the view as a child of parent over rect.
    BOOL CreateView(CWnd* parent, const CRect& rect, UINT id);

    // The sequence shown (not owned); the view moves its registration.
    void SetSequence(Sequence* sequence);
    Sequence* GetSequence() const { return m_sequence; }

    const ViewGeometry& GetGeometry() const { return m_geometry; }

    // Tools. SetTool clears the temporary tool; both swap activation and
    // selection of the effective tool.
    void SetTool(Tool* tool);
    Tool* GetTool() const { return m_tool; }
    void SetTemporaryTool(Tool* tool);
    Tool* GetTemporaryTool() const { return m_temporaryTool; }
    Tool* GetEffectiveTool() const { return m_temporaryTool ? m_temporaryTool : m_tool; }
    PanTool& GetPanTool() { return m_panTool; }
    ZoomTool& GetZoomTool() { return m_zoomTool; }
    bool IsPointerOver() const { return m_pointerOver; }
    // Asks the effective tool for the cursor again.
    void RefreshCursor();

    // Geometry changes applied to the window (invalidation, notification).
    void SetImageSize(int width, int height);
    void ScrollTo(int x, int y, bool redraw);
    void SetZoom(double z);
    void ZoomAt(double z, std::optional<CPoint> at = std::nullopt);
    void ZoomBy(double factor, std::optional<CPoint> at = std::nullopt);
    void FitOnScreen();
    void ActualPixels() { ZoomAt(1.0); }
    // Called after every zoom change (the zoom controls listen).
    void SetZoomChanged(std::function<void()> changed) { m_zoomChanged = std::move(changed); }

    // Invalidates, without erasing, the client area the image covers.
    void InvalidateImage();
    COLORREF GetBackgroundColor() const { return m_background; }
    // The colour around the image; the colour a user chooses in the
    // background colour box comes here (the composition view makes it its
    // matte colour as well).
    virtual void SetBackgroundColor(COLORREF color);
    // Sent to the background listeners after the background colour changed.
    class BackgroundChange : public Event { };
    EventDispatcher& GetBackgroundDispatcher() { return m_backgroundDispatcher; }

    // The player's mode; see above.
    int GetPlayerMode() const { return m_playerMode; }
    virtual void SetPlayerMode(int mode) { m_playerMode = mode; }
    // Where the view sends frame commands (Space's play toggle); by default
    // WM_COMMAND to the parent window.
    void SetFrameCommandSink(std::function<void(UINT)> sink) { m_frameCommand = std::move(sink); }

    // Paints a frame of the sequence: called on every change that may alter
    // the frame shown.
    virtual void RequestPaint() { }
    // Forgets the frame shown.
    virtual void ClearImage() { }

    // CommandTarget: the effective tool's owner first, then the view's map.
    bool RouteCommand(CommandEventBase& event) override;
    // EventListener: the sequence's open, close and preview-frame events.
    void OnEvent(Event& event) override;

    // Draws the view's clip rectangle: the area outside the image, the
    // image, the overlay. Public for the off-screen painting and for tests.
    void Draw(CDC& dc, const CRect& clip);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Draws the image rectangle `source` (image pixels) into `dest` (client).
    virtual void DrawImage(CDC& dc, const CRect& dest, const CRect& source);
    virtual void OnKeyDown(UINT key, bool repeat);
    virtual void OnKeyUp(UINT key);
    void SendFrameCommand(UINT id);
    CommandMap& GetCommandMap() { return m_commands; }
    // Applies a geometry change to the window.
    void GeometryChanged(bool zoomChanged, bool redraw);

private:
    // Hands the bars' range, page and position to the window.
    void ApplyScrollBars();
    void ClientSizeChanged(int width, int height);
    void MakeActive(Tool* tool);
    void UpdateTemporaryTool();
    // Brings the view's belief about a held Ctrl, Alt or Space (key) in line
    // with `down`, as the key message it missed would have.
    void SyncModifier(UINT key, bool down);
    void HandleMouse(UINT message, UINT flags, CPoint p);
    void Paint();
    void ResizeBuffer(int width, int height);
    void BuildCommands();

    ViewGeometry m_geometry;
    PanTool m_panTool;
    ZoomTool m_zoomTool;
    Tool* m_tool = nullptr;
    Tool* m_temporaryTool = nullptr;
    Tool* m_activeTool = nullptr;
    bool m_pointerOver = false;
    bool m_ctrl = false;
    bool m_alt = false;
    bool m_space = false;
    // Space went down and nothing else happened while it was held.
    bool m_spaceTap = false;
    Sequence* m_sequence = nullptr;
    COLORREF m_background;
    EventDispatcher m_backgroundDispatcher;
    int m_playerMode = 0;
    CommandMap m_commands;
    std::function<void()> m_zoomChanged;
    std::function<void(UINT)> m_frameCommand;
    // The off-screen buffer.
    CDC m_memDC;
    CBitmap m_bitmap;
    CBitmap* m_oldBitmap = nullptr;
    CSize m_bufferSize;
    bool m_hasBuffer = false;
};

} // namespace My
