#pragma once

// The program's main window: a My::Frame over the composition that hosts the
// video view, the timeline, the tool strip, the property editor, the time
// controls and the display panel in the frame's bars, keeps the property
// editor on the selected object, and gives the composition the first chance
// at every menu command; the commands it declines go to the timeline before
// the document. The view and the display panel are later parts of the
// program: the view's place holds a stand-in window, and the display panel
// is empty. UI thread only.

#include "app/player/TimeControls.h"
#include "app/shell/DisplayPanel.h"
#include "app/shell/Frame.h"
#include "app/timeline/TLTimeline.h"
#include "app/view/TLView.h"
#include "document/segments/SegmentHost.h"
#include "widgets/controls/ToolBar.h"
#include "widgets/properties/PEditor.h"

#include <memory>

class CDialog;
class TLComp;

namespace My {
class EditableObject;
}

class MainFrame : public My::Frame, public SegmentHost {
public:
    explicit MainFrame(TLComp* composition);
    ~MainFrame() override;

    CWnd* GetView() override { return &m_view; }
    TLView& GetCompositionView() { return m_view; }
    bool RouteViewCommand(My::CommandEventBase& event) override;
    bool OnCmdMsg(std::uint32_t id, int code, My::CommandUI* ui) override;
    void OnEvent(My::Event& event) override;
    std::vector<platform::gui::menu_entry> BuildMenu() override;

    // What the property editor shows: the selected segment's parameters, else
    // the composition's own properties while it is open, else nothing.
    My::EditableObject* GetPropertyObject() const { return m_propertyObject; }
    bool IsDisplayPanelAttached() const { return m_displayAttached; }
    DisplayPanel& GetDisplayPanel() { return m_displayPanel; }
    My::PEditor& GetPropertyEditor() { return m_propertyEditor; }
    TLTimeline& GetTimeline() { return m_timeline; }

    // SegmentHost.
    void OnEditTargetChange(TLSegment* segment) override;
    void ReloadMask(TLSegment& segment) override;
    void RefreshSegment(TLSegment& segment) override;
    void OnSegmentProgress(TLSegment& segment, int frame) override;
    void OnSegmentProcessed(TLSegment& segment) override;
    void OnProcessingRequested(TLSegment& segment) override;
    std::string ChooseKeyMaskFile(bool save) override;
    // Dialog 137 shown, the frame disabled; hidden, the frame enabled again.
    void ShowCancelling(bool show) override;
    // Handles the pending window messages, then waits a moment for posted.
    void WaitDispatching(platform::waitable& posted) override;
    // The cancelling notice is on screen.
    bool IsCancellingShown() const;

protected:
    int OnCreate() override;

private:
    void RefreshPropertyObject();
    // Binds the display panel and the frame's display strip to the view, or
    // unbinds them.
    void AttachDisplay(bool attach);

    TLComp* m_composition;
    TLView m_view;
    TLTimeline m_timeline;
    My::WidgetPanel m_timelinePanel;
    My::ToolBar m_toolBar;
    My::WidgetPanel m_toolsPanel;
    My::PEditor m_propertyEditor;
    My::WidgetPanel m_propertiesPanel;
    My::TimeControls m_timeControls;
    My::WidgetPanel m_timeControlsPanel;
    DisplayPanel m_displayPanel;
    My::EditableObject* m_propertyObject = nullptr;
    bool m_displayAttached = false;
    std::unique_ptr<CDialog> m_cancelling;
};
