#include "widgets/properties/PEditor.h"

#include <algorithm>

#include "platform/gui/colors.h"
#include "platform/gui/cursor.h"
#include "widgets/containers/ContainerGlyphs.h"
#include "widgets/controls/Glyph.h"
#include "widgets/core/Drawing.h"
#include "widgets/properties/EditableObject.h"
#include "widgets/properties/PropertyRow.h"

namespace My {

namespace {

// Splits text into lines of at most `width` pixels at blanks; at most
// `max_lines` lines, the last cut at a word and ended with "..." when text
// remains.
std::vector<std::string> wrap_words(CDC& dc, const std::string& text, int width, int max_lines)
{
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t blank = text.find_first_of(" \n", start);
        const std::size_t end = blank == std::string::npos ? text.size() : blank;
        if (end > start)
            words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::string> lines;
    std::string line;
    std::size_t i = 0;
    for (; i < words.size(); ++i) {
        const std::string candidate = line.empty() ? words[i] : line + " " + words[i];
        if (line.empty() || dc.GetTextExtent(candidate).cx <= width) {
            line = candidate;
            continue;
        }
        if (int(lines.size()) + 1 == max_lines)
            break;
        lines.push_back(line);
        line = words[i];
    }
    if (i < words.size() && max_lines > 0) {
        // Words remain: end the last line at a word that leaves room.
        while (line.find(' ') != std::string::npos && dc.GetTextExtent(line + "...").cx > width)
            line.erase(line.rfind(' '));
        line += "...";
    }
    if (!line.empty() && max_lines > 0)
        lines.push_back(line);
    return lines;
}

} // namespace

PEditor::InfoPanel::InfoPanel(PEditor& editor)
    : m_editor(editor)
{
    LOGFONT lf;
    lf.lfHeight = -11;
    lf.lfWeight = FW_NORMAL;
    lf.lfFaceName = "Tahoma";
    m_font.CreateFontIndirect(&lf);
    SetFont(&m_font);
}

void PEditor::InfoPanel::Draw(CDC& dc, const CRect&)
{
    const CRect r(CPoint(), GetSize());
    dc.FillSolidRect(r, GetSysColor(COLOR_BTNFACE));
    dc.FillSolidRect(0, 0, r.Width(), 1, GetSysColor(COLOR_BTNSHADOW));
    PropertyRow* row = m_editor.GetList().GetSelectedRow();
    if (!row)
        return;
    const std::string text = row->GetProperty()->GetDescription(m_editor.GetObjects());
    if (text.empty())
        return;
    CRect inner = r;
    inner.DeflateRect(4, 2);
    static const struct InfoGlyph {
        SysColorGlyph glyph;
        InfoGlyph()
        {
            EnsureContainerGlyphs();
            glyph.Load("INFO", "INFOMASK");
        }
    } info_glyph;
    const SysColorGlyph& info = info_glyph.glyph;
    info.Draw(dc, inner.left, inner.top);
    CRect area(inner.left + info.GetWidth() + 4, inner.top, inner.right, r.bottom - 2);
    if (area.IsRectEmpty())
        return;
    DCObjectScope scope(dc);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
    if (m_editor.GetInfoHeight() == min_info_height) {
        dc.DrawText(text, &area, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
        return;
    }
    TEXTMETRIC tm;
    dc.GetTextMetrics(&tm);
    const int line_height = std::max<int>(tm.tmHeight, 1);
    const int max_lines = std::max(1, area.Height() / line_height);
    int y = area.top;
    for (const std::string& line : wrap_words(dc, text, area.Width(), max_lines)) {
        CRect lr(area.left, y, area.right, y + line_height);
        dc.DrawText(line, &lr, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
        y += line_height;
    }
}

PEditor::VSplitter::VSplitter(PEditor& editor)
    : m_editor(editor)
{
}

bool PEditor::VSplitter::OnCursor(UINT, const CPoint&)
{
    ::SetCursor(LoadCursor(IDC_SIZEWE));
    return true;
}

void PEditor::VSplitter::OnLeftDown(UINT flags, const CPoint& point)
{
    Widget::OnLeftDown(flags, point);
    m_width = m_editor.GetEffectiveCaptionWidth();
    // Measured in the host's coordinates: the splitter follows the drag.
    m_x = (point + GetOrigin()).x;
}

bool PEditor::VSplitter::BeginDrag(UINT, const CPoint&, const CPoint&)
{
    return true;
}

void PEditor::VSplitter::Drag(UINT, const CPoint& point)
{
    m_editor.SetCaptionWidth(m_width + (point + GetOrigin()).x - m_x);
}

PEditor::HSplitter::HSplitter(PEditor& editor)
    : m_editor(editor)
{
}

bool PEditor::HSplitter::OnCursor(UINT, const CPoint&)
{
    ::SetCursor(LoadCursor(IDC_SIZENS));
    return true;
}

void PEditor::HSplitter::OnLeftDown(UINT flags, const CPoint& point)
{
    Widget::OnLeftDown(flags, point);
    m_height = m_editor.GetInfoHeight();
    m_y = (point + GetOrigin()).y;
}

bool PEditor::HSplitter::BeginDrag(UINT, const CPoint&, const CPoint&)
{
    return true;
}

void PEditor::HSplitter::Drag(UINT, const CPoint& point)
{
    m_editor.SetInfoHeight(m_height - ((point + GetOrigin()).y - m_y));
}

PEditor::PEditor(const std::string& name, platform::registry_profile profile)
    : m_name(name)
    , m_profile(std::move(profile))
    , m_list(this)
    , m_info(*this)
    , m_vsplitter(*this)
    , m_hsplitter(*this)
    , m_captionWidth(int(m_profile.get_int(name, "Caption", default_caption_width)))
    , m_infoHeight(int(m_profile.get_int(name, "Info", default_info_height)))
{
    AddChild(&m_list);
    AddChild(&m_info);
    AddChild(&m_hsplitter);
    m_list.AddSplitter(&m_vsplitter);
}

PEditor::~PEditor()
{
    Clear();
    m_profile.write_int(m_name, "Caption", m_captionWidth);
    m_profile.write_int(m_name, "Info", m_infoHeight);
    m_list.RemoveChild(&m_vsplitter);
    RemoveChild(&m_hsplitter);
    RemoveChild(&m_info);
    RemoveChild(&m_list);
}

bool PEditor::WantsExpanded(PropertyBase* property) const
{
    auto it = m_expansion.find(property);
    return it != m_expansion.end() ? it->second : property->IsInitiallyExpanded();
}

void PEditor::SetObject(EditableObject* object)
{
    if (m_objects.GetCount() > 0 || !m_roots.empty())
        Clear();
    if (!object)
        return;
    m_objects.Resize(1);
    m_objects.Set(0, object);
    for (const auto& [key, property] : object->GetProperties().GetMap())
        m_roots.push_back(new PropertyRow(this, &m_list, key, property, &m_objects, nullptr));
    std::vector<RowControl*> rows(m_roots.begin(), m_roots.end());
    m_list.InsertRows(0, rows.data(), int(rows.size()));
    for (PropertyRow* root : m_roots)
        if (WantsExpanded(root->GetProperty()))
            root->Expand();
    if (m_selection) {
        for (int i = 0; i < m_list.GetRowCount(); ++i)
            if (m_list.GetPropertyRow(i)->GetProperty() == m_selection) {
                m_list.SelectRow(i);
                break;
            }
        m_selection = nullptr;
    }
}

void PEditor::Clear()
{
    if (PropertyRow* selected = m_list.GetSelectedRow())
        m_selection = selected->GetProperty();
    for (PropertyRow* root : m_roots) {
        RememberExpanded(root->GetProperty(), root->IsExpanded());
        root->Collapse();
    }
    m_list.RemoveAll();
    for (PropertyRow* root : m_roots)
        delete root;
    m_roots.clear();
    m_objects.Resize(0);
    m_info.Invalidate(CRect(CPoint(), m_info.GetSize()));
}

void PEditor::SetCaptionWidth(int width)
{
    width = std::max(width, min_caption_width);
    if (width == m_captionWidth)
        return;
    m_captionWidth = width;
    Layout();
    for (int i = 0; i < m_list.GetRowCount(); ++i)
        m_list.GetPropertyRow(i)->Layout();
    m_list.Invalidate(CRect(CPoint(), m_list.GetSize()));
}

int PEditor::GetEffectiveCaptionWidth() const
{
    CRect client;
    if (m_list.GetSafeHwnd())
        m_list.GetClientRect(&client);
    else
        client = CRect(CPoint(), m_list.GetSize());
    return std::max(0, std::min(m_captionWidth, client.Width() - 8));
}

int PEditor::GetInfoHeight() const
{
    if (!m_infoVisible)
        return 0;
    return std::max(0, std::min(m_infoHeight, GetSize().cy - min_info_height));
}

void PEditor::SetInfoHeight(int height)
{
    height = std::max(height, min_info_height);
    if (height == m_infoHeight)
        return;
    m_infoHeight = height;
    Layout();
}

void PEditor::ShowInfo(bool show)
{
    if (show == m_infoVisible)
        return;
    m_infoVisible = show;
    Layout();
}

void PEditor::Layout()
{
    const CSize size = GetSize();
    const int info = GetInfoHeight();
    const int list_height = std::max(0, size.cy - info);
    m_list.SetBounds(CRect(0, 0, std::max(size.cx, 0), list_height));
    m_info.SetVisible(m_infoVisible);
    m_hsplitter.SetVisible(m_infoVisible);
    m_info.SetBounds(CRect(0, list_height, std::max(size.cx, 0), list_height + info));
    m_hsplitter.SetBounds(CRect(0, list_height - 2, std::max(size.cx, 0), list_height + 3));
    const int caption = GetEffectiveCaptionWidth();
    m_vsplitter.SetBounds(CRect(caption - 2, 0, caption + 3, std::max(m_list.GetSize().cy, 0)));
    Invalidate(CRect(CPoint(), size));
}

void PEditor::BoundsChanged()
{
    m_infoHeight = std::max(m_infoHeight, int(min_info_height));
    const int width = m_captionWidth;
    // Re-applied so that the rows follow a changed limit.
    m_captionWidth = -1;
    SetCaptionWidth(width);
    Container::BoundsChanged();
}

void PEditor::Draw(CDC& dc, const CRect& clip)
{
    dc.FillSolidRect(clip, GetSysColor(COLOR_BTNFACE));
}

bool PEditor::OnCursor(UINT, const CPoint&)
{
    ::SetCursor(LoadCursor(IDC_ARROW));
    return true;
}

void PEditor::OnUpdateUI()
{
    const std::vector<PropertyRow*> roots = m_roots;
    for (PropertyRow* root : roots)
        root->RefreshStale();
}

} // namespace My
