#pragma once

// The program's main window: a My::Frame over the composition that hosts the
// video view, the timeline, the tool strip, the property editor, the time
// controls and the display panel in the frame's bars, keeps the property
// editor on the selected object, and gives the composition the first chance
// at every menu command. The view, the timeline and the panels are later
// parts of the program: their places hold titled stand-ins. UI thread only.

#include "app/shell/Frame.h"

class TLComp;

namespace My {
class EditableObject;
}

class MainFrame : public My::Frame {
public:
    explicit MainFrame(TLComp* composition);
    ~MainFrame() override;

    CWnd* GetView() override { return &m_view; }
    bool OnCmdMsg(std::uint32_t id, int code, My::CommandUI* ui) override;
    void OnEvent(My::Event& event) override;
    std::vector<platform::gui::menu_entry> BuildMenu() override;

    // What the property editor shows: the selected segment's parameters, else
    // the composition's own properties while it is open, else nothing.
    My::EditableObject* GetPropertyObject() const { return m_propertyObject; }
    bool IsDisplayPanelAttached() const { return m_displayAttached; }

protected:
    int OnCreate() override;

private:
    void RefreshPropertyObject();

    TLComp* m_composition;
    My::PanelPlaceholder m_view;
    My::EditableObject* m_propertyObject = nullptr;
    bool m_displayAttached = false;
};
