#pragma once

// What the composition asks of the application around it: a footage chosen
// by the user, and the render and mask-export jobs it starts. The window
// layer implements it; tests use fakes. UI thread only.

#include <boost/shared_ptr.hpp>

namespace lumvex {
class footage;
}

class TLComp;

class CompositionHost {
public:
    // Asks the user for a footage (still images only when allow_stills);
    // empty when the user cancelled. Errors opening the footage pass on.
    virtual boost::shared_ptr<lumvex::footage> ChooseFootage(bool allow_stills) = 0;
    // Starts a job exporting the composition's masks (crisp or smooth).
    virtual void StartMaskExport(TLComp& composition, bool smooth) = 0;
    // Starts a job rendering the composition.
    virtual void StartRender(TLComp& composition) = 0;

protected:
    ~CompositionHost() = default;
};
