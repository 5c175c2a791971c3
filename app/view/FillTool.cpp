#include "app/view/FillTool.h"

#include "app/view/FloodFill.h"
#include "app/view/MaskEditor.h"
#include "app/view/SequenceView.h"
#include "platform/gui/cursor.h"

#include <cmath>

namespace My {

FillTool::FillTool(SequenceView& view, MaskEditor& editor)
    : m_view(view)
    , m_editor(editor)
{
}

void FillTool::LeftDown(UINT, CPoint p)
{
    Fill(p, true);
}

void FillTool::RightDown(UINT, CPoint p)
{
    Fill(p, false);
}

void FillTool::Fill(CPoint p, bool value)
{
    if (!m_editor.IsEditing())
        return;
    img::image<img::bit>& mask = m_editor.GetMask();
    const ImagePoint at = m_view.GetGeometry().ClientToImage(p);
    // Floor, not truncation: a click just left of or above the image is
    // outside it, not on its first column or row.
    const double x = std::floor(at.x);
    const double y = std::floor(at.y);
    if (!(x >= 0 && y >= 0 && x < mask.width && y < mask.height))
        return;
    HCURSOR old = ::SetCursor(LoadCursor(IDC_WAIT));
    FloodFill(mask, static_cast<int>(x), static_cast<int>(y), value);
    m_editor.Commit("Fill");
    ::SetCursor(old);
    if (m_view.GetSafeHwnd())
        m_view.InvalidateImage();
}

bool FillTool::SetCursor(UINT)
{
    ::SetCursor(LoadCursor(IDC_CROSS));
    return true;
}

} // namespace My
