#pragma once

// The pass loop shared by the matting and smoothing stages, with their
// diagnostic lines: each pass visits the pixels of a band in serpentine
// order, with the window sums carried to each, and updates them until a
// pass changes nothing.

#include <ostream>

#include "engine/sliding_window.h"
#include "foundation/image.h"

namespace trm {

// For pass = 1 to `passes`: logs "pass " pass "/" passes (flushed), calls
// start(), visits every pixel of `band` in serpentine order with `sums`
// moved to its window and calls update(x, y), which returns true when it
// changed the pixel (in the stage's working copy) and false otherwise (the
// pixel then leaves the band); then logs ": checked = " N ", alpha changes = "
// N. A pass without changes ends the loop; otherwise finish(pass) takes the
// working copy over and grows the band. Nothing is logged when `quiet`.
template <class Sums, class Start, class Update, class Finish>
void alpha_passes(unsigned width, unsigned height, int half, int passes, bool quiet, std::ostream& log,
    img::image<img::bit>& band, Sums& sums, Start&& start, Update&& update, Finish&& finish)
{
    for (int pass = 1; pass <= passes; ++pass) {
        if (!quiet)
            log << "pass " << pass << '/' << passes << std::flush;
        start();
        unsigned checked = 0;
        unsigned changes = 0;
        sliding_window<Sums> window(width, height, static_cast<unsigned>(half));
        visit_serpentine(band, [&](unsigned x, unsigned y) {
            ++checked;
            window.move_to(x, y, sums);
            if (update(x, y))
                ++changes;
            else
                band.at(x, y) = false;
        });
        if (!quiet)
            log << ": checked = " << checked << ", alpha changes = " << changes << std::endl;
        if (changes == 0)
            return;
        finish(pass);
    }
}

} // namespace trm
