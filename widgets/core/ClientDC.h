#pragma once

// A DC for drawing into a control outside its painting, in the control's own
// coordinates: a client DC of the control's host window whose window origin
// is moved to the control's origin. The previous origin comes back when the
// DC goes. Without a host window it draws nowhere.

#include "platform/gui/dc.h"

namespace My {

class Control;

class ClientDC : public CClientDC {
public:
    explicit ClientDC(const Control* control);
    ~ClientDC() override;

private:
    CPoint m_oldOrigin;
};

} // namespace My
