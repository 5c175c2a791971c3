#pragma once

// A clickable control: normal, hot (pointer inside) and pushed states, and a
// click when the left button goes down and up inside it. A button that is
// not enabled in its tree ignores presses and shows the normal state. The
// press is over (capture let go, no longer pushed) when Click runs, so a
// click may open a modal dialog.

#include "widgets/core/Control.h"

namespace My {

class Button : public virtual Control {
public:
    enum State { Normal = 0, Hot = 1, Pushed = 2 };

    virtual void Click();

    void OnLeftDown(UINT flags, const CPoint& point) override;
    void OnLeftUp(UINT flags, const CPoint& point) override;
    void OnMouseMove(UINT flags, const CPoint& point) override;
    // A double click counts as a second click.
    void OnLeftDoubleClick(UINT flags, const CPoint& point) override;

    int GetState() const { return m_state; }

protected:
    void UpdateState();

private:
    int m_state = Normal;
    bool m_inside = false;
    bool m_pushed = false;
};

} // namespace My
