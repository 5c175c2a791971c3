#pragma once

// The bucket of the mask editor: a left click fills the region under the
// pointer with set pixels, a right click with clear ones; each fill is one
// undoable "Fill" action, also when it changed nothing.

#include "app/view/Tool.h"

namespace My {

class MaskEditor;
class SequenceView;

class FillTool : public Tool {
public:
    FillTool(SequenceView& view, MaskEditor& editor);

    void LeftDown(UINT flags, CPoint p) override;
    void RightDown(UINT flags, CPoint p) override;
    bool SetCursor(UINT hit) override;

private:
    void Fill(CPoint p, bool value);

    SequenceView& m_view;
    MaskEditor& m_editor;
};

} // namespace My
