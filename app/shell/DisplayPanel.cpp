#include "app/shell/DisplayPanel.h"

#include "app/display/DisplayStyle.h"
#include "app/display/DisplayStyleProperty.h"
#include "app/view/TLView.h"
#include "document/properties/Access.h"
#include "widgets/properties/PropertyRow.h"

#include <algorithm>
#include <iterator>

namespace {

const My::ToolBar::Entry g_buttons[] = {
    { DisplayPanel::kPreview, "DISPLAY_PREVIEW" },
    { DisplayPanel::kEditMask, "DISPLAY_EDITMASK" },
};

struct StyleProperties {
    My::DisplayStyleProperty style;
    My::PropertyTable table;
    StyleProperties()
    {
        style.SetReadAccess(My::ReadAccessPtr<DisplayStyle>(
            new My::GetObjectRefFunction<DisplayStyleObject, DisplayStyle>(&DisplayStyleObject::GetStyle)));
        style.SetWriteAccess(My::WriteAccessPtr<DisplayStyle>(
            new My::SetObjectRefFunction<DisplayStyleObject, DisplayStyle>(&DisplayStyleObject::SetStyle)));
        table.Add(My::ResourceString("Display Style"), &style);
        table.SetBuilt();
    }
};

StyleProperties& Properties()
{
    static StyleProperties properties;
    return properties;
}

// The rows of a property tree with every row expanded.
int CountRows(const My::PropertyMap& properties, const My::EditableList& objects)
{
    int rows = 0;
    for (const auto& [label, property] : properties) {
        ++rows;
        if (const My::PropertyMap* children = property->GetChildren(objects)) {
            My::EditableList childObjects;
            property->GetChildObjects(objects, childObjects);
            rows += CountRows(*children, childObjects);
        }
    }
    return rows;
}

void ExpandAll(My::PropertyRow& row)
{
    row.Expand();
    for (My::PropertyRow* child : row.GetChildRows())
        ExpandAll(*child);
}

} // namespace

My::PropertyTable& DisplayStyleObject::GetProperties()
{
    return Properties().table;
}

const DisplayStyle& DisplayStyleObject::GetStyle() const
{
    static const DisplayStyle none;
    return m_view ? m_view->GetDisplayStyle() : none;
}

void DisplayStyleObject::SetStyle(const DisplayStyle& style)
{
    if (!m_view)
        return;
    m_view->SetDisplayStyle(style);
    NotifyChange(nullptr);
}

DisplayPanel::DisplayPanel()
    : My::Panel("Display", 3)
    , m_editor("Display Style Editor")
{
    m_editor.ShowInfo(false);
    m_toolBar.SetButtonSize(18, 18);
    m_toolBar.SetButtons(g_buttons, int(std::size(g_buttons)));
    AddChild(&m_editor);
    AddChild(&m_toolBar);
    AddChild(&m_zoomEdit);
    AddChild(&m_zoomOut);
    AddChild(&m_zoomSlider);
    AddChild(&m_zoomIn);
}

DisplayPanel::~DisplayPanel()
{
    SetView(nullptr);
}

void DisplayPanel::SetView(TLView* view)
{
    if (TLView* old = m_style.GetView())
        old->GetStyleDispatcher().RemoveListener(this);
    if (view)
        view->GetStyleDispatcher().AddListener(this);
    m_style.SetView(view);
    m_editor.SetObject(view ? &m_style : nullptr);
    // The panel has room for the whole style: every row opens.
    for (My::PropertyRow* row : m_editor.GetRootRows())
        ExpandAll(*row);
    m_zoomEdit.SetView(view);
    m_zoomIn.SetView(view);
    m_zoomOut.SetView(view);
    m_zoomSlider.SetView(view);
}

void DisplayPanel::OnEvent(My::Event& event)
{
    if (dynamic_cast<TLView::StyleChange*>(&event)) {
        m_style.NotifyChange(nullptr);
        return;
    }
    My::Panel::OnEvent(event);
}

int DisplayPanel::GetStyleRowCount() const
{
    auto& style = const_cast<DisplayStyleObject&>(m_style);
    return CountRows(style.GetProperties().GetMap(), My::EditableList({ &style }));
}

CSize DisplayPanel::GetContentSize() const
{
    // Room for the whole style tree expanded and the zoom row, so that the
    // style is seen and edited without scrolling.
    const CSize bar = m_toolBar.GetPreferredSize();
    const int rows = GetStyleRowCount() * My::PropertyRow::height + m_zoomEdit.GetPreferredSize().cy;
    return CSize(bar.cx + 160, bar.cy + std::max(60, rows));
}

void DisplayPanel::Layout()
{
    const CSize size = GetSize();
    const int top = GetCaptionHeight();
    const CSize bar = m_toolBar.GetPreferredSize();
    m_toolBar.SetBounds(CRect(0, top, bar.cx, top + bar.cy));
    const int rowHeight = m_zoomEdit.GetPreferredSize().cy;
    const int rowTop = std::max(top + int(bar.cy), int(size.cy) - rowHeight);
    m_editor.SetBounds(CRect(0, top + bar.cy, size.cx, rowTop));
    // The field takes what the slider leaves, 100 pixels once the row is
    // 200 wide.
    const int w = size.cx;
    const int s = std::max(w - 100, 100);
    int x = 0;
    m_zoomEdit.SetBounds(CRect(x, rowTop, x + (w - s), rowTop + rowHeight));
    x += w - s;
    m_zoomOut.SetBounds(CRect(x, rowTop, x + 25, rowTop + rowHeight));
    x += 25;
    m_zoomSlider.SetBounds(CRect(x, rowTop, x + (s - 50), rowTop + rowHeight));
    x += s - 50;
    m_zoomIn.SetBounds(CRect(x, rowTop, x + 25, rowTop + rowHeight));
}
