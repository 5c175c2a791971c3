#pragma once

// A control with stored bounds, visibility, enabled state and its own font.

#include "widgets/core/Control.h"

namespace My {

class Widget : public virtual Control {
public:
    virtual CSize GetPreferredSize() const;
    // May change a requested rectangle before it is stored.
    virtual void AdjustBounds(CRect& r);
    virtual void OnSize(int width, int height);
    virtual void OnShow(bool visible);
    virtual void OnEnable(bool enabled);

    CRect GetBounds() const override { return m_bounds; }
    bool IsVisible() const override { return m_visible; }
    bool IsEnabled() const override { return m_enabled; }
    CFont* GetFont() const override;

    void SetBounds(const CRect& r);
    void SetVisible(bool visible);
    void SetEnabled(bool enabled);
    // The font is not owned; null inherits the parent's.
    void SetFont(CFont* font);

private:
    CRect m_bounds;
    bool m_visible = true;
    bool m_enabled = true;
    CFont* m_font = nullptr;
};

} // namespace My
