#pragma once

// The "Display" panel of the main frame's right bar: the property editor
// "Display Style Editor" over the view's display style (its info pane
// hidden), a tool bar with the Preview and Edit Mask commands, and a row of
// zoom controls at the bottom. The view is bound with SetView. UI thread
// only.

#include "app/view/ZoomControls.h"
#include "widgets/containers/PanelBar.h"
#include "widgets/controls/ToolBar.h"
#include "widgets/properties/EditableObject.h"
#include "widgets/properties/PEditor.h"

struct DisplayStyle;
class TLView;

// The view's display style as an object of the property editor: reading
// and writing go to the view, whose setter records no action.
class DisplayStyleObject : public My::EditableObject {
public:
    void SetView(TLView* view) { m_view = view; }
    TLView* GetView() const { return m_view; }
    My::PropertyTable& GetProperties() override;
    std::string GetTypeName() const override { return "Display Style"; }
    // The default style while there is no view.
    const DisplayStyle& GetStyle() const;
    // Hands the style to the view and tells the rows.
    void SetStyle(const DisplayStyle& style);

private:
    TLView* m_view = nullptr;
};

class DisplayPanel : public My::Panel {
public:
    static constexpr std::uint32_t kPreview = 50059;
    static constexpr std::uint32_t kEditMask = 50060;

    // The tool bar's buttons send their commands to the window hosting it.
    DisplayPanel();
    ~DisplayPanel() override;

    // Binds the editor and the zoom controls to a view (null: none) and
    // listens to the view's style changes, so the editor shows styles set
    // elsewhere (display keys, the background colour box).
    void SetView(TLView* view);
    TLView* GetView() const { return m_style.GetView(); }
    void OnEvent(My::Event& event) override;

    My::PEditor& GetEditor() { return m_editor; }
    DisplayStyleObject& GetStyleObject() { return m_style; }
    My::ToolBar& GetToolBar() { return m_toolBar; }
    My::ZoomEdit& GetZoomEdit() { return m_zoomEdit; }
    My::ZoomSlider& GetZoomSlider() { return m_zoomSlider; }
    My::ZoomIn& GetZoomIn() { return m_zoomIn; }
    My::ZoomOut& GetZoomOut() { return m_zoomOut; }

    // The rows of the style tree with every row expanded.
    int GetStyleRowCount() const;
    // The tool bar's preferred size plus 160 in width; in height, room for
    // every row of the style tree and the zoom row (at least 60).
    CSize GetContentSize() const override;
    void Layout() override;

private:
    DisplayStyleObject m_style;
    My::PEditor m_editor;
    My::ToolBar m_toolBar;
    My::ZoomEdit m_zoomEdit;
    My::ZoomIn m_zoomIn;
    My::ZoomOut m_zoomOut;
    My::ZoomSlider m_zoomSlider;
};
