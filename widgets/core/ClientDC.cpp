#include "widgets/core/ClientDC.h"

#include "widgets/core/Control.h"

namespace My {

ClientDC::ClientDC(const Control* control)
    : CClientDC(control ? control->GetWnd() : nullptr)
{
    const CPoint o = control ? control->GetOrigin() : CPoint();
    m_oldOrigin = SetWindowOrg(-o.x, -o.y);
}

ClientDC::~ClientDC()
{
    SetWindowOrg(m_oldOrigin);
}

} // namespace My
